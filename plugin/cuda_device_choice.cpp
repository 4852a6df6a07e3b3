#include "plugin/cuda_device_choice.h"

#include <cuda_runtime_api.h>

#include "pipeline/cuda_context_guard.h"
#include "pipeline/lost_devices.h"

#ifndef KALTHORNE_MIN_COMPUTE_CAPABILITY
#define KALTHORNE_MIN_COMPUTE_CAPABILITY 75  // CUDA 13 builds sm_75 and up
#endif

namespace kalthorne {

namespace {

constexpr int kMinMajor = KALTHORNE_MIN_COMPUTE_CAPABILITY / 10;
constexpr int kMinMinor = KALTHORNE_MIN_COMPUTE_CAPABILITY % 10;

float capabilityValue(int major, int minor) {
    return static_cast<float>(minor) * 0.1f + static_cast<float>(major);
}

const char* const kNoCountText = "Kalthorne : unable to detect a CUDA device. Unable to process footage";
const char* const kNoDeviceText = "Kalthorne : can't find a CUDA capable device. Unable to process footage";
const char* const kNoHostIdText =
    "Kalthorne : can't get an ID for Natron's CUDA device. Unable to process footage";
const char* const kHostModeQueryText =
    "Kalthorne : can't get ComputeMode in Natron's CUDA device. Unable to process footage";
const char* const kHostExclusiveText =
    "Kalthorne : Natron's CUDA device to be in Compute Exclusive, or Compute Exclusive-process mode. Unable to "
    "process footage";
const char* const kHostMajorText =
    "Kalthorne : can't get ComputeCapabilityMajor in finding default CUDA Plugin device. Unable to process footage";
const char* const kHostMinorText =
    "Kalthorne : can't get ComputeCapabilityMinor in finding default CUDA Plugin device. Unable to process footage";
const char* const kProbeModeQueryFallbackText =
    "Kalthorne : can't get ComputeMode in CUDA Plugin device. Unable to find fastest GPU. Will use default GPU";
const char* const kProbeModeQueryText =
    "Kalthorne : can't get ComputeMode in CUDA Plugin device. Unable to process footage";
const char* const kProbeModeFallbackText =
    "Kalthorne : the CUDA device is not in Compute Default mode. Unable to find fastest GPU. Will use default GPU";
const char* const kProbeModeText =
    "Kalthorne : the CUDA device is not in Compute Default mode. Unable to process footage";
const char* const kProbeMajorFallbackText =
    "Kalthorne : can't get ComputeCapabilityMajor in finding fastest CUDA device. Will use default GPU";
const char* const kProbeMajorText =
    "Kalthorne : can't get ComputeCapabilityMajor in finding default CUDA device. Unable to process footage";
const char* const kProbeMinorFallbackText =
    "Kalthorne : can't get ComputeCapabilityMinor in finding fastest CUDA device. Will use default GPU";
const char* const kProbeMinorText =
    "Kalthorne : can't get ComputeCapabilityMinor in finding default CUDA device. Unable to process footage";
const char* const kPluginWidthText =
    "Kalthorne : can't get 1DWidth from the CUDA Plugin device. Unable to process footage";
const char* const kHostWidthText = "Kalthorne : can't get 1DWidth from the CUDA Host device. Unable to process footage";
const char* const kNoCodeText =
    "Kalthorne : the CUDA device has no compiled code for its Compute Capability. Unable to process footage";

std::string tooOldText() {
    return "Kalthorne : CUDA device does not have Compute Capability " + minimumCapabilityText() +
           ", or higher. Unable to process footage";
}

std::string fastestTooOldText() {
    return "Kalthorne : fastest CUDA device does not have Compute Capability " + minimumCapabilityText() +
           ", or higher. Will use default GPU";
}

bool attribute(int* value, cudaDeviceAttr attr, int device) {
    return cudaDeviceGetAttribute(value, attr, device) == cudaSuccess;
}

// The runtime looks a kernel up for the current device: a device of a family
// the bundle has no machine code for answers cudaErrorNoKernelImageForDevice,
// and any other error is a no as well. The lookup runs in the device's
// primary context, the one renders use; the host's thread gets its context
// and device back.
bool hasDeviceCode(int device, const void* probeKernel) {
    CudaContextGuard keepHostContext;
    if (cudaSetDevice(device) != cudaSuccess) return false;
    cudaFuncAttributes attributes;
    return cudaFuncGetAttributes(&attributes, probeKernel) == cudaSuccess;
}

// The steps device 0 goes through when probed as the fastest GPU; the
// outcome names the first step that failed.
enum class Probe { Passed, ModeQuery, Mode, Major, Minor, Capability };

Probe probeDevice(int device) {
    int mode = 0, major = 0, minor = 0;
    if (!attribute(&mode, cudaDevAttrComputeMode, device)) return Probe::ModeQuery;
    if (mode != 0) return Probe::Mode;
    if (!attribute(&major, cudaDevAttrComputeCapabilityMajor, device)) return Probe::Major;
    if (!attribute(&minor, cudaDevAttrComputeCapabilityMinor, device)) return Probe::Minor;
    if (!meetsMinimumCapability(major, minor)) return Probe::Capability;
    return Probe::Passed;
}

}  // namespace

bool meetsMinimumCapability(int major, int minor) {
    return capabilityValue(major, minor) >= capabilityValue(kMinMajor, kMinMinor);
}

std::string minimumCapabilityText() { return std::to_string(kMinMajor) + "." + std::to_string(kMinMinor); }

CudaDeviceChoice chooseCudaDevice(const void* probeKernel) {
    CudaDeviceChoice choice;
    auto post = [&](const std::string& text) { choice.messages.push_back(text); };

    // Phase A: the device the host works on.
    int count = -1;
    int dev = -1;
    bool hostUsable = false;
    [&] {
        int value = 0;
        if (cudaGetDeviceCount(&value) != cudaSuccess) return post(kNoCountText);
        count = value;
        if (count == 0) return post(kNoDeviceText);
        if (cudaGetDevice(&value) != cudaSuccess) return post(kNoHostIdText);
        dev = value;
        int mode = 0, major = 0, minor = 0;
        if (!attribute(&mode, cudaDevAttrComputeMode, dev)) return post(kHostModeQueryText);
        if (mode != 0) return post(kHostExclusiveText);
        if (!attribute(&major, cudaDevAttrComputeCapabilityMajor, dev)) return post(kHostMajorText);
        if (!attribute(&minor, cudaDevAttrComputeCapabilityMinor, dev)) return post(kHostMinorText);
        if (!meetsMinimumCapability(major, minor)) return post(tooOldText());
        hostUsable = true;
    }();

    // Phase B: prefer device 0 when the host works on another one.
    int candidate = -1;
    const char* widthText = kHostWidthText;
    if (count < 2 || (hostUsable && dev == 0)) {
        if (hostUsable) candidate = dev;
    } else if (dev > 0) {
        widthText = kPluginWidthText;
        const Probe probe = probeDevice(0);
        switch (probe) {
            case Probe::Passed: candidate = 0; break;
            case Probe::ModeQuery: post(hostUsable ? kProbeModeQueryFallbackText : kProbeModeQueryText); break;
            case Probe::Mode: post(hostUsable ? kProbeModeFallbackText : kProbeModeText); break;
            case Probe::Major: post(hostUsable ? kProbeMajorFallbackText : kProbeMajorText); break;
            case Probe::Minor: post(hostUsable ? kProbeMinorFallbackText : kProbeMinorText); break;
            case Probe::Capability: post(hostUsable ? fastestTooOldText() : tooOldText()); break;
        }
        // Device 0 lost earlier in this process would pass every frame
        // through: the host's device renders them instead, without a text,
        // since each fallback text names a cause that would be false and the
        // loss was reported where it happened. With no usable host device
        // the lost one is kept, its frames passing through with their text.
        if (hostUsable && (probe != Probe::Passed || is_cuda_device_lost(0))) candidate = dev;
    }
    if (candidate < 0) return choice;

    // Final checks: the texture width query must answer (its value is unused)
    // and the bundle must hold machine code for the device.
    int width = 0;
    if (!attribute(&width, cudaDevAttrMaxTexture1DWidth, candidate)) {
        post(widthText);
        return choice;
    }
    // A lost device answers no lookup; its frames pass through with their
    // own message, so it is taken without one.
    if (!is_cuda_device_lost(candidate) && !hasDeviceCode(candidate, probeKernel)) {
        post(kNoCodeText);
        return choice;
    }
    choice.device = candidate;
    choice.ready = true;
    return choice;
}

}  // namespace kalthorne
