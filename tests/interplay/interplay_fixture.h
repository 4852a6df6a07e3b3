// One effect instance in the test host, with helpers over the host's record
// of parameter writes, flag changes, edit blocks and messages.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/host/ofx_test_host.h"

namespace interplay_test {

// The print group and the camera-negative group, as users see them.
inline const char* const kPrintStock[] = {"PrintCast", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation",
                                          "PrintBlend"};
inline const char* const kPrinterPoints[] = {"PrinterBlackPointsRGB", "PrinterBlackPointRed", "PrinterBlackkPointGreen",
                                             "PrinterBlackkPointBlue", "PrinterLightsRGB",     "PrinterLightRed",
                                             "PrinterLightGreen",      "PrinterLightBlue"};

struct Write {
    std::string name;
    double value;
};

class InterplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    // A fresh host and instance; `notify` makes the host report every write
    // of the plug-in back to it as a plug-in edit, as Natron does.
    void startInstance(bool notify);

    ofxtest::Instance& fx() { return *instance_; }
    OfxStatus user(const std::string& name, double value, double time = 0) { return fx().userEdit(name, value, time); }
    OfxStatus changed(const std::string& name, const char* reason, double time = 0) {
        return fx().paramChanged(name, reason, time);
    }
    void set(const std::string& name, double value) { fx().setValue(name, value); }
    double get(const std::string& name) { return fx().value(name); }

    std::vector<Write> writes() const;
    // Whether `name` is hidden (disabled and secret) or shown (enabled, not secret).
    bool hidden(const std::string& name) { return !fx().enabled(name) && fx().secret(name); }
    bool shown(const std::string& name) { return fx().enabled(name) && !fx().secret(name); }
    // The flag calls made for `name`, as "E0", "S1", ... in call order.
    std::vector<std::string> flagCalls(const std::string& name) const;
    int count(ofxtest::Event::Kind kind) const { return int(instance_->events(kind).size()); }
    // Every change the plug-in made to a parameter (values and flags).
    int paramChanges() const;

    std::unique_ptr<ofxtest::Host> host_;
    std::unique_ptr<ofxtest::Instance> instance_;
};

}  // namespace interplay_test
