// The device choice against a scripted device table: the message sequence
// and the chosen device for each case, with the CUDA calls it makes.
#include <gtest/gtest.h>

#include <cuda.h>
#include <cuda_runtime_api.h>

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/lost_devices.h"
#include "plugin/cuda_device_choice.h"
#include "tests/host/fresh_process.h"

using kalthorne::chooseCudaDevice;
using kalthorne::CudaDeviceChoice;
using Texts = std::vector<std::string>;

namespace {

// Every text starts with the plug-in's name and ends by saying whether footage
// is still processed.
const std::string K = "Kalthorne : ", kStop = ". Unable to process footage", kFallback = ". Will use default GPU";
const std::string M1 = K + "unable to detect a CUDA device" + kStop;
const std::string M5 = K + "Natron's CUDA device to be in Compute Exclusive, or Compute Exclusive-process mode" + kStop;
const std::string M7 = K + "can't get ComputeCapabilityMinor in finding default CUDA Plugin device" + kStop;
const std::string M9 = K + "can't get ComputeMode in CUDA Plugin device. Unable to find fastest GPU" + kFallback;
const std::string M10 = K + "can't get ComputeMode in CUDA Plugin device" + kStop;
const std::string M11 = K + "the CUDA device is not in Compute Default mode. Unable to find fastest GPU" + kFallback;
const std::string M12 = K + "the CUDA device is not in Compute Default mode" + kStop;
const std::string M13 = K + "can't get ComputeCapabilityMajor in finding fastest CUDA device" + kFallback;
const std::string M14 = K + "can't get ComputeCapabilityMajor in finding default CUDA device" + kStop;
const std::string M15 = K + "can't get ComputeCapabilityMinor in finding fastest CUDA device" + kFallback;
const std::string M16 = K + "can't get ComputeCapabilityMinor in finding default CUDA device" + kStop;
const std::string M18 = K + "can't get 1DWidth from the CUDA Plugin device" + kStop;
const std::string M19 = K + "can't get 1DWidth from the CUDA Host device" + kStop;
// The capability texts name the lowest capability the device code is built for.
const std::string kMinimum = std::to_string(KALTHORNE_MIN_COMPUTE_CAPABILITY / 10) + "." +
                             std::to_string(KALTHORNE_MIN_COMPUTE_CAPABILITY % 10);
const std::string M8 = K + "CUDA device does not have Compute Capability " + kMinimum + ", or higher" + kStop;
const std::string M17 =
    K + "fastest CUDA device does not have Compute Capability " + kMinimum + ", or higher" + kFallback;
const std::string kNoCode = K + "the CUDA device has no compiled code for its Compute Capability" + kStop;
const int kBelow = KALTHORNE_MIN_COMPUTE_CAPABILITY - 1;  // e.g. 7.4

// Stands for a kernel of the device code; the stand-in answers for the device.
void probeKernel() {}
CudaDeviceChoice choose() { return chooseCudaDevice(reinterpret_cast<const void*>(&probeKernel)); }

cudasim::Device D(int major, int minor, int computeMode = 0) {
    cudasim::Device d;
    d.major = major, d.minor = minor, d.computeMode = computeMode;
    return d;
}

// A device of a family the device code has no machine code for.
cudasim::Device NoCode(int major, int minor) {
    cudasim::Device d = D(major, minor);
    d.hasCode = false;
    return d;
}

// A device table, the host's device, an attribute query made to fail, and
// what the choice must give: readiness, device and the message sequence.
struct Case {
    const char* what;
    std::vector<cudasim::Device> devices;
    int hostDevice;
    int failAttributeCall;  // 1-based, 0: none
    bool ready;
    int device;
    Texts messages;
};

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

    void expectChoices(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            script(c.devices, c.hostDevice);
            if (c.failAttributeCall) failAttributeCall(c.failAttributeCall);
            const CudaDeviceChoice choice = choose();
            EXPECT_EQ(choice.ready, c.ready) << c.what;
            EXPECT_EQ(choice.device, c.device) << c.what;
            EXPECT_EQ(choice.messages, c.messages) << c.what;
            int current = -1;  // the host's thread keeps its device
            EXPECT_TRUE(c.devices.empty() || (cudaGetDevice(&current) == cudaSuccess && current == c.hostDevice))
                << c.what;
            cudasim::clear_failures();
        }
    }

    bool queried(int device) const {
        for (const auto& c : cudasim::call_log())
            if (c.function == "cudaDeviceGetAttribute" &&
                c.arguments.substr(c.arguments.rfind(' ') + 1) == std::to_string(device))
                return true;
        return false;
    }
};

}  // namespace

TEST_F(DeviceChoice, Scenarios) {
    const bool sixOneTooOld = KALTHORNE_MIN_COMPUTE_CAPABILITY > 61;
    expectChoices({
        {"one usable device", {D(7, 5)}, 0, 0, true, 0, {}},
        {"6.1 against the built kernels", {D(6, 1)}, 0, 0, !sixOneTooOld, 0,
         sixOneTooOld ? Texts{M8} : Texts{}},
        {"6.0", {D(6, 0)}, 0, 0, false, 0, {M8}},
        {"no device: count unreadable", {}, 0, 0, false, 0, {M1}},
        {"minor query fails (mode, major, minor)", {D(7, 5)}, 0, 3, false, 0, {M7}},
        {"width query of the host device fails", {D(7, 5)}, 0, 4, false, 0, {M19}},
        {"width query of device 0 fails", {D(7, 5), D(7, 5)}, 1, 7, false, 0, {M18}},
        {"host on 1, device 0 usable", {D(8, 6), D(7, 5)}, 1, 0, true, 0, {}},
        {"host on 1, device 0 too old", {D(5, 2), D(7, 5)}, 1, 0, true, 1, {M17}},
        {"host on 1 exclusive, device 0 usable", {D(8, 6), D(7, 5, 1)}, 1, 0, true, 0, {M5}},
        {"host on 0 too old", {D(5, 2), D(8, 6)}, 0, 0, false, 0, {M8}},
        {"8.9", {D(8, 9)}, 0, 0, true, 0, {}},
        {"12.0", {D(12, 0)}, 0, 0, true, 0, {}},
        {"13.0 without code", {NoCode(13, 0)}, 0, 0, false, 0, {kNoCode}},
        {"host on 1, device 0 without code", {NoCode(13, 0), D(8, 9)}, 1, 0, false, 0, {kNoCode}},
        {"host on 1 exclusive, device 0 without code", {NoCode(13, 0), D(7, 5, 1)}, 1, 0, false, 0, {M5, kNoCode}},
        {"host on 1 without code, device 0 too old", {D(5, 2), NoCode(13, 0)}, 1, 0, false, 0, {M17, kNoCode}},
        {"width query fails before the code check", {NoCode(13, 0)}, 0, 4, false, 0, {M19}},
        {"just under the lowest compiled capability", {D(kBelow / 10, kBelow % 10)}, 0, 0, false, 0, {M8}},
        // Each failing probe step of device 0, with the host device usable
        // (it is kept) and exclusive-process (no device).
        {"device 0 mode unreadable", {D(8, 6), D(7, 5)}, 1, 4, true, 1, {M9}},
        {"device 0 mode unreadable, host exclusive", {D(8, 6), D(7, 5, 3)}, 1, 2, false, 0, {M5, M10}},
        {"device 0 not default mode", {D(8, 6, 2), D(7, 5)}, 1, 0, true, 1, {M11}},
        {"device 0 not default mode, host exclusive", {D(8, 6, 2), D(7, 5, 3)}, 1, 0, false, 0, {M5, M12}},
        {"device 0 major unreadable", {D(8, 6), D(7, 5)}, 1, 5, true, 1, {M13}},
        {"device 0 major unreadable, host exclusive", {D(8, 6), D(7, 5, 3)}, 1, 3, false, 0, {M5, M14}},
        {"device 0 minor unreadable", {D(8, 6), D(7, 5)}, 1, 6, true, 1, {M15}},
        {"device 0 minor unreadable, host exclusive", {D(8, 6), D(7, 5, 3)}, 1, 4, false, 0, {M5, M16}},
        {"device 0 too old", {D(6, 0), D(7, 5)}, 1, 0, true, 1, {M17}},
        {"device 0 too old, host exclusive", {D(6, 0), D(7, 5, 3)}, 1, 0, false, 0, {M5, M8}},
    });
}

// Device 0 lost earlier in the process (a process of its own: the loss is
// for good) gives way to a usable host device without a text, and the code
// check is then the host device's. Everything else goes as before: a
// failing probe keeps its text, and with no usable host device, or the host
// on device 0 itself, the lost device is taken, its frames passing through
// with the lost device's own text.
TEST_F(DeviceChoice, ALostDeviceZeroGivesWayToAUsableHostDevice) {
    EXPECT_TRUE(ofxtest::runInFreshProcess([&] {
        mark_cuda_device_lost(0);
        expectChoices({
            {"host on 1, device 0 lost", {D(8, 6), D(7, 5)}, 1, 0, true, 1, {}},
            {"host on 1 without code, device 0 lost", {D(8, 6), NoCode(13, 0)}, 1, 0, false, 0, {kNoCode}},
            {"host on 1, device 0 lost, its width unread", {D(8, 6), D(7, 5)}, 1, 7, false, 0, {M18}},
            {"host on 1, device 0 lost and too old", {D(6, 0), D(7, 5)}, 1, 0, true, 1, {M17}},
            {"host on 1, device 0 lost, its mode not default", {D(8, 6, 2), D(7, 5)}, 1, 0, true, 1, {M11}},
            {"host on 1 exclusive, device 0 lost", {D(8, 6), D(7, 5, 1)}, 1, 0, true, 0, {M5}},
            {"host on 1 too old, device 0 lost", {D(8, 6), D(6, 0)}, 1, 0, true, 0, {M8}},
            {"host on 0, which is lost", {D(8, 6), D(7, 5)}, 0, 0, true, 0, {}},
            {"one device, lost", {D(8, 6)}, 0, 0, true, 0, {}},
        });
    }));
}

TEST_F(DeviceChoice, CallsStopAtTheFirstFailure) {
    script({}, 0);
    choose();
    EXPECT_EQ(cudasim::call_log().size(), 1u);  // only the count

    script({D(5, 2), D(8, 6)}, 0);  // host on device 0, which fails
    choose();
    EXPECT_TRUE(queried(0));
    EXPECT_FALSE(queried(1));
}

// Not only the missing image: any error of the runtime's lookup means the
// device cannot run the device code.
TEST_F(DeviceChoice, AnyLookupErrorMeansNoCode) {
    script({D(8, 9)}, 0);
    cudasim::fail_call("cudaFuncGetAttributes", 1, cudaErrorInsufficientDriver);
    const CudaDeviceChoice c = choose();
    EXPECT_FALSE(c.ready);
    EXPECT_EQ(c.messages, Texts{kNoCode});
}

// The code check runs on the candidate's primary context; the host's thread
// gets back the context it had made current itself, and its device.
TEST_F(DeviceChoice, CodeCheckGivesTheHostItsContextBack) {
    for (const int host : {1, 0}) {
        script({D(8, 6), D(7, 5)}, host);
        void* own = cudasim::create_context(host);
        void* set = nullptr;
        ASSERT_EQ(cudaGetDriverEntryPointByVersion("cuCtxSetCurrent", &set, 4000, cudaEnableDefault, nullptr),
                  cudaSuccess);
        reinterpret_cast<CUresult (*)(CUcontext)>(set)(static_cast<CUcontext>(own));
        const CudaDeviceChoice c = choose();
        EXPECT_TRUE(c.ready);
        EXPECT_EQ(c.device, 0);
        int current = -1;
        EXPECT_EQ(cudaGetDevice(&current), cudaSuccess);
        EXPECT_EQ(current, host);
        EXPECT_EQ(cudasim::current_context(), own);
    }
}
