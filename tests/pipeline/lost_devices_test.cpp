// The table of lost devices, in a process of its own (a mark is for good):
// each ordinal it holds marks its own flag and no other, and an ordinal past
// it or below 0 is never marked and writes nowhere. A write or read past the
// table's ends shows in the AddressSanitizer build, which runs this test too.
#include <gtest/gtest.h>

#include <climits>

#include "pipeline/lost_devices.h"
#include "tests/host/fresh_process.h"

TEST(LostDevices, EachOrdinalOfTheTableMarksItsOwnFlagAndNoOtherIsEverMarked) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    const int outside[] = {kLostDeviceOrdinals, kLostDeviceOrdinals + 1, INT_MAX, -1, -2, INT_MIN};
    for (int device : outside) mark_cuda_device_lost(device);
    for (int device : outside) EXPECT_FALSE(is_cuda_device_lost(device)) << device;
    for (int device = 0; device < kLostDeviceOrdinals; ++device)
      ASSERT_FALSE(is_cuda_device_lost(device)) << device << " marked by an ordinal outside the table";

    // From the last ordinal down, so each mark has an unmarked neighbour on
    // either side until the first.
    for (int device = kLostDeviceOrdinals - 1; device >= 0; --device) {
      mark_cuda_device_lost(device);
      ASSERT_TRUE(is_cuda_device_lost(device)) << device;
      if (device > 0) {
        ASSERT_FALSE(is_cuda_device_lost(device - 1)) << device;
      }
    }
    for (int device : outside) EXPECT_FALSE(is_cuda_device_lost(device)) << device;
  }));
}
