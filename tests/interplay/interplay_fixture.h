// One effect instance in a strict test host that echoes every plug-in write
// back as a plug-in edit, as Natron does, with helpers over its records.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/host/ofx_test_host.h"

namespace interplay_test {

using ofxtest::Event;

inline const char* const kNegativeGroup[] = {"NegCast",       "NegTintGtoM",  "NegTintRtoC",   "NegBlend",
                                             "BrewDminRGB",   "BrewDminRed",  "BrewDminGreen", "BrewDminBlue",
                                             "BrewDmaxRGB",   "BrewDmaxRed",  "BrewDmaxGreen", "BrewDmaxBlue"};
inline const char* const kPrintStock[] = {"PrintCast", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation",
                                          "PrintBlend"};
inline const char* const kPrinterPoints[] = {"PrinterBlackPointsRGB", "PrinterBlackPointRed", "PrinterBlackkPointGreen",
                                             "PrinterBlackkPointBlue", "PrinterLightsRGB",     "PrinterLightRed",
                                             "PrinterLightGreen",      "PrinterLightBlue"};

// The names the interplay reacts to; the 16 RGB set members sit at 2..9 and 12..19.
inline const char* const kReactingNames[22] = {
    "InputGamut",  "CameraStock",         "BrewDminRGB",          "BrewDminRed",
    "BrewDminGreen", "BrewDminBlue",      "BrewDmaxRGB",          "BrewDmaxRed",
    "BrewDmaxGreen", "BrewDmaxBlue",      "PrintDisplayBypass",   "PrintProfile",
    "PrinterBlackPointsRGB", "PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue",
    "PrinterLightsRGB", "PrinterLightRed", "PrinterLightGreen",   "PrinterLightBlue",
    "LoadLooks",   "About Brew"};

struct Write {
    std::string name;
    double value;
    bool operator==(const Write& o) const { return name == o.name && value == o.value; }
};

class InterplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ofxtest::HostOptions options;
        options.notifyPluginEdits = true;
        options.strictValues = true;
        host_ = std::make_unique<ofxtest::Host>(options);
        std::string error;
        ASSERT_TRUE(host_->loadAndDescribe(KALTHORNE_TEST_BUNDLE, &error)) << error;
        instance_ = host_->createInstance();
        ASSERT_EQ(instance_->createStatus(), kOfxStatOK);
        instance_->clearRecords();
    }

    ofxtest::Instance& fx() { return *instance_; }
    OfxStatus user(const std::string& name, double value, double time = 0) { return fx().userEdit(name, value, time); }
    OfxStatus changed(const std::string& name, const char* reason, double time = 0) {
        return fx().paramChanged(name, reason, time);
    }
    void set(const std::string& name, double value) { fx().setValue(name, value); }
    double get(const std::string& name) { return fx().value(name); }
    int count(Event::Kind kind) const { return int(instance_->events(kind).size()); }

    std::vector<Write> writes() const {
        std::vector<Write> out;
        for (const Event& e : instance_->events())
            if (e.kind == Event::Kind::SetValue || e.kind == Event::Kind::SetValueAtTime) out.push_back({e.name, e.value});
        return out;
    }
    // Hidden is disabled and secret; shown is enabled and not secret.
    bool hidden(const std::string& name) { return !fx().enabled(name) && fx().secret(name); }
    bool shown(const std::string& name) { return fx().enabled(name) && !fx().secret(name); }
    // The flag calls made for `name`, as "E0", "S1", ... in call order.
    std::vector<std::string> flagCalls(const std::string& name) const {
        std::vector<std::string> out;
        for (const Event& e : instance_->events()) {
            if (e.name != name) continue;
            if (e.kind == Event::Kind::SetEnabled) out.push_back(e.value != 0 ? "E1" : "E0");
            if (e.kind == Event::Kind::SetSecret) out.push_back(e.value != 0 ? "S1" : "S0");
        }
        return out;
    }
    // Every change the plug-in made to a parameter: values, flags, edit blocks.
    int paramChanges() const {
        return int(writes().size()) + count(Event::Kind::SetEnabled) + count(Event::Kind::SetSecret) +
               count(Event::Kind::BeginEditBlock);
    }

    std::unique_ptr<ofxtest::Host> host_;
    std::unique_ptr<ofxtest::Instance> instance_;
};

}  // namespace interplay_test
