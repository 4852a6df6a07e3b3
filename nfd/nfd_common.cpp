// Start-up, shut-down and error reporting of the dialog layer. The dialogs
// themselves run an external helper when opened, so start-up needs no
// display: render nodes without one still describe the effect.
#include <string>

#include "nfd/nfd.h"

namespace {
thread_local std::string tlError;
thread_local bool tlHasError = false;
}  // namespace

namespace kalthorne_nfd {
// Used by the dialog implementations to report why a call failed.
void setError(const char* text) {
  tlError = text ? text : "unknown file dialog error";
  tlHasError = true;
}
}  // namespace kalthorne_nfd

extern "C" {

nfdresult_t NFD_Init(void) {
  NFD_ClearError();
  return NFD_OKAY;
}

void NFD_Quit(void) {}

const char* NFD_GetError(void) { return tlHasError ? tlError.c_str() : nullptr; }

void NFD_ClearError(void) {
  tlHasError = false;
  tlError.clear();
}

}  // extern "C"
