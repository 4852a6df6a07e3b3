// The device choice against a scripted device table: the message sequence
// and the chosen device for each case, with the CUDA calls it makes.
#include <gtest/gtest.h>

#include <cuda_runtime_api.h>

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "plugin/cuda_device_choice.h"

using kalthorne::chooseCudaDevice;
using kalthorne::CudaDeviceChoice;
using Texts = std::vector<std::string>;

namespace {

const std::string M1 = "Kalthorne : unable to detect a CUDA device. Unable to process footage";
const std::string M5 =
    "Kalthorne : Natron's CUDA device to be in Compute Exclusive, or Compute Exclusive-process mode. Unable to "
    "process footage";
const std::string M7 =
    "Kalthorne : can't get ComputeCapabilityMinor in finding default CUDA Plugin device. Unable to process footage";
const std::string M9 =
    "Kalthorne : can't get ComputeMode in CUDA Plugin device. Unable to find fastest GPU. Will use default GPU";
const std::string M10 = "Kalthorne : can't get ComputeMode in CUDA Plugin device. Unable to process footage";
const std::string M11 =
    "Kalthorne : the CUDA device is not in Compute Default mode. Unable to find fastest GPU. Will use default GPU";
const std::string M12 = "Kalthorne : the CUDA device is not in Compute Default mode. Unable to process footage";
const std::string M13 =
    "Kalthorne : can't get ComputeCapabilityMajor in finding fastest CUDA device. Will use default GPU";
const std::string M14 =
    "Kalthorne : can't get ComputeCapabilityMajor in finding default CUDA device. Unable to process footage";
const std::string M15 =
    "Kalthorne : can't get ComputeCapabilityMinor in finding fastest CUDA device. Will use default GPU";
const std::string M16 =
    "Kalthorne : can't get ComputeCapabilityMinor in finding default CUDA device. Unable to process footage";
const std::string M18 = "Kalthorne : can't get 1DWidth from the CUDA Plugin device. Unable to process footage";
const std::string M19 = "Kalthorne : can't get 1DWidth from the CUDA Host device. Unable to process footage";

// The capability texts name the lowest capability the device code is built for.
std::string M8() {
    return "Kalthorne : CUDA device does not have Compute Capability " + kalthorne::minimumCapabilityText() +
           ", or higher. Unable to process footage";
}
std::string M17() {
    return "Kalthorne : fastest CUDA device does not have Compute Capability " +
           kalthorne::minimumCapabilityText() + ", or higher. Will use default GPU";
}

cudasim::Device device(int major, int minor, int mode = 0) {
    cudasim::Device d;
    d.major = major;
    d.minor = minor;
    d.computeMode = mode;
    return d;
}

class DeviceChoice : public ::testing::Test {
protected:
    void SetUp() override { cudasim::reset(); }
    void TearDown() override { cudasim::reset(); }

    // Host works on `hostDevice`; the call log starts empty.
    void script(const std::vector<cudasim::Device>& devices, int hostDevice) {
        cudasim::set_devices(devices);
        if (!devices.empty()) {
            ASSERT_EQ(cudaSetDevice(hostDevice), cudaSuccess);
        }
        cudasim::clear_call_log();
    }
    void failAttributeCall(int nth) { cudasim::fail_call("cudaDeviceGetAttribute", nth, cudaErrorInvalidValue); }

    bool queried(int device) const {
        for (const auto& c : cudasim::call_log())
            if (c.function == "cudaDeviceGetAttribute" &&
                c.arguments.substr(c.arguments.rfind(' ') + 1) == std::to_string(device))
                return true;
        return false;
    }
};

}  // namespace

TEST(Capability, LowestCompiledCapabilityIsTheThreshold) {
    const int min = KALTHORNE_MIN_COMPUTE_CAPABILITY;
    for (int major = 3; major <= 12; ++major)
        for (int minor = 0; minor <= 9; ++minor)
            EXPECT_EQ(kalthorne::meetsMinimumCapability(major, minor), major * 10 + minor >= min)
                << major << "." << minor;
    EXPECT_EQ(kalthorne::minimumCapabilityText(), std::to_string(min / 10) + "." + std::to_string(min % 10));
}

TEST_F(DeviceChoice, OneUsableDeviceIsChosenSilently) {
    script({device(7, 5)}, 0);
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_TRUE(c.ready);
    EXPECT_EQ(c.device, 0);
    EXPECT_TRUE(c.messages.empty());
}

// A 6.1 device cannot run kernels built for 7.5 only.
TEST_F(DeviceChoice, DeviceBelowTheBuiltCapabilityIsRefused) {
    script({device(6, 1)}, 0);
    CudaDeviceChoice c = chooseCudaDevice();
    if (KALTHORNE_MIN_COMPUTE_CAPABILITY > 61) {
        EXPECT_FALSE(c.ready);
        EXPECT_EQ(c.messages, Texts{M8()});
    } else {
        EXPECT_TRUE(c.ready);
    }
    script({device(6, 0)}, 0);
    c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.device, 0);
    EXPECT_EQ(c.messages, Texts{M8()});
}

TEST_F(DeviceChoice, DeviceCountUnreadable) {
    script({}, 0);  // the runtime reports no device as a failure
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.messages, Texts{M1});
    ASSERT_EQ(cudasim::call_log().size(), 1u);
}

TEST_F(DeviceChoice, HostOnSecondDevicePrefersDeviceZero) {
    script({device(8, 6), device(7, 5)}, 1);
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_TRUE(c.ready);
    EXPECT_EQ(c.device, 0);
    EXPECT_TRUE(c.messages.empty());

    script({device(5, 2), device(7, 5)}, 1);
    c = chooseCudaDevice();
    EXPECT_TRUE(c.ready);
    EXPECT_EQ(c.device, 1);
    EXPECT_EQ(c.messages, Texts{M17()});

    script({device(8, 6), device(7, 5, 1)}, 1);  // host device exclusive
    c = chooseCudaDevice();
    EXPECT_TRUE(c.ready);
    EXPECT_EQ(c.device, 0);
    EXPECT_EQ(c.messages, Texts{M5});
}

TEST_F(DeviceChoice, HostOnDeviceZeroFailingNeverTriesDeviceOne) {
    script({device(5, 2), device(8, 6)}, 0);
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.messages, Texts{M8()});
    EXPECT_TRUE(queried(0));
    EXPECT_FALSE(queried(1));
}

TEST_F(DeviceChoice, MinorQueryFailsOnHostDevice) {
    script({device(7, 5)}, 0);
    failAttributeCall(3);  // mode, major, minor
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.messages, Texts{M7});
}

TEST_F(DeviceChoice, FinalWidthQueryFails) {
    script({device(7, 5)}, 0);
    failAttributeCall(4);
    CudaDeviceChoice c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.device, 0);
    EXPECT_EQ(c.messages, Texts{M19});

    script({device(7, 5), device(7, 5)}, 1);
    failAttributeCall(7);  // three on the host device, three on device 0, then the width
    c = chooseCudaDevice();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.messages, Texts{M18});
}

// Each failing probe step of device 0, with the host device usable (it is
// kept) and not usable (no device).
TEST_F(DeviceChoice, ProbeOfDeviceZeroTable) {
    struct Row {
        cudasim::Device zero;
        int failProbeCall;  // 1-based attribute call within the probe, 0: none
        std::string usableText, unusableText;
    };
    const std::vector<Row> rows = {
        {device(8, 6), 1, M9, M10}, {device(8, 6, 2), 0, M11, M12}, {device(8, 6), 2, M13, M14},
        {device(8, 6), 3, M15, M16}, {device(6, 0), 0, M17(), M8()},
    };
    for (const Row& row : rows) {
        script({row.zero, device(7, 5)}, 1);
        if (row.failProbeCall) failAttributeCall(3 + row.failProbeCall);
        CudaDeviceChoice c = chooseCudaDevice();
        EXPECT_TRUE(c.ready) << row.usableText;
        EXPECT_EQ(c.device, 1) << row.usableText;
        EXPECT_EQ(c.messages, Texts{row.usableText});

        script({row.zero, device(7, 5, 3)}, 1);  // host device exclusive-process
        cudasim::clear_failures();
        if (row.failProbeCall) failAttributeCall(1 + row.failProbeCall);
        c = chooseCudaDevice();
        EXPECT_FALSE(c.ready) << row.unusableText;
        EXPECT_EQ(c.messages, (Texts{M5, row.unusableText}));
        cudasim::clear_failures();
    }
}
