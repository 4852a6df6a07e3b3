// The dialog layer starts on a machine without a display (render nodes), so
// the effect can be described there.
#include <gtest/gtest.h>

#include <cstdlib>

#include "nfd/nfd.h"

TEST(DialogLayer, StartsWithoutADisplayAndAgainAfterQuit) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(NFD_Init(), NFD_OKAY);
    EXPECT_EQ(NFD_GetError(), nullptr);
    NFD_Quit();
  }
}
