// Start-up, shut-down and error reporting of the dialog layer. The dialogs
// themselves run an external helper when opened, so start-up needs no
// display: render nodes without one still describe the effect.
#include <cstddef>
#include <cstring>

#include "nfd/nfd.h"

namespace {
// The text NFD_GetError returns on this thread, in storage with no
// destructor: a thread-local with one (a std::string) is registered for the
// thread's exit, and that pins the bundle in memory after the host unloads
// it for as long as the describing thread (the host's main thread) lives.
// Longer texts are cut.
constexpr std::size_t kErrorCapacity = 1024;
thread_local char tlError[kErrorCapacity];
thread_local bool tlHasError = false;
}  // namespace

namespace kalthorne_nfd {
// Used by the dialog implementations to report why a call failed.
void setError(const char* text) {
  const char* from = text ? text : "unknown file dialog error";
  const std::size_t n = strnlen(from, kErrorCapacity - 1);
  std::memcpy(tlError, from, n);
  tlError[n] = '\0';
  tlHasError = true;
}
}  // namespace kalthorne_nfd

extern "C" {

nfdresult_t NFD_Init(void) {
  NFD_ClearError();
  return NFD_OKAY;
}

void NFD_Quit(void) {}

const char* NFD_GetError(void) { return tlHasError ? tlError : nullptr; }

void NFD_ClearError(void) {
  tlHasError = false;
  tlError[0] = '\0';
}

}  // extern "C"
