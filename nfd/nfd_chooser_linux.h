// The open dialog on Linux: the desktop's own file chooser (zenity, or kdialog
// on KDE) run as a separate process, so no second GUI toolkit is ever loaded
// into the host.
#pragma once

#include "nfd/nfd.h"

#include <string>

namespace nfd_linux {

struct ChooserOutcome {
    nfdresult_t result = NFD_ERROR;
    std::string path;  // the chosen file on NFD_OKAY
    std::string error; // why, on NFD_ERROR
};

// Runs the chooser and waits for it. Looks at DISPLAY / WAYLAND_DISPLAY,
// XDG_CURRENT_DESKTOP and PATH of the calling process.
ChooserOutcome runDesktopChooser(const nfdnfilteritem_t* filters, nfdfiltersize_t filterCount,
                                 const char* defaultPath);

} // namespace nfd_linux

namespace kalthorne_nfd {
// Records the text NFD_GetError returns on this thread (nfd_common.cpp).
void setError(const char* text);
} // namespace kalthorne_nfd
