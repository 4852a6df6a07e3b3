// Which CUDA device an instance renders on, settled once at construction:
// first the device the host works on, then device 0 as the fastest GPU,
// unless this process has lost device 0 and the host's device is usable; the
// device chosen must have machine code in the bundle.
#pragma once

#include <string>
#include <vector>

namespace kalthorne {

struct CudaDeviceChoice {
    bool ready = false;  // a device was chosen and passed the final checks
    int device = 0;      // 0 while none is chosen
    std::vector<std::string> messages;  // plain host messages, in order
};

// Asks the CUDA runtime; the messages say why a device was passed over.
// `probeKernel` is a kernel of the device code: the chosen device is ready
// only when the runtime finds machine code of it for that device.
CudaDeviceChoice chooseCudaDevice(const void* probeKernel);

// Whether a device of this capability can run the device code we built: the
// lowest compute capability compiled, compared the way the runtime numbers
// are always compared here (minor * 0.1f + major, in single precision).
bool meetsMinimumCapability(int major, int minor);

// "7.5" for the lowest capability compiled.
std::string minimumCapabilityText();

}  // namespace kalthorne
