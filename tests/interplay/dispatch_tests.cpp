// Which changes act at all, the time values are read at, the product
// information message, and what a refused host call leaves behind.
#include "interplay_fixture.h"
#include "looks/param_dispatch.h"
#include "plugin/effect_description.h"

namespace interplay_test {
namespace {

using ofxtest::Event;

TEST_F(InterplayTest, PluginEditsTimeChangesAndOtherNamesDoNothing) {
    // Put the page where every reaction would change something.
    set("PrintDisplayBypass", 0);
    set("InputGamut", 27);
    set("CameraStock", 4);
    set("PrintProfile", 3);
    set("BrewDminRGB", 0.1);
    fx().clearRecords();
    for (const char* name : kReactingNames) {
        for (const char* reason : {kOfxChangePluginEdited, kOfxChangeTime}) {
            EXPECT_EQ(changed(name, reason, 2.0), kOfxStatOK) << name;
            EXPECT_EQ(paramChanges(), 0) << name << " " << reason;
        }
    }
    for (const char* other : {"Exposure", "HalationBypass", "AboutBrew", "inputgamut", "PrinterBlackPointGreen"})
        EXPECT_EQ(changed(other, kOfxChangeUserEdited), kOfxStatOK) << other;
    EXPECT_EQ(paramChanges(), 0);
    EXPECT_TRUE(fx().messages().empty());
}

TEST_F(InterplayTest, EveryReadIsAtTheTimeOfTheChange) {
    // Keys make the values differ between frame 0 and frame 12.
    fx().setValueAtTime("CameraStock", 0, 0);
    fx().setValueAtTime("CameraStock", 12, 3);
    fx().setValueAtTime("PrintProfile", 0, 5);
    fx().setValueAtTime("PrintProfile", 12, 0);
    fx().setCurrentTime(0);
    fx().clearRecords();
    ASSERT_EQ(changed("CameraStock", kOfxChangeUserEdited, 12), kOfxStatOK);
    // Stock 3 at frame 12, not the reset of frame 0; print stock None there,
    // so the stock writes the printer points.
    EXPECT_DOUBLE_EQ(get("BrewDmaxRGB"), 0.781);
    EXPECT_DOUBLE_EQ(get("PrinterLightsRGB"), 0.75);
    EXPECT_EQ(count(Event::Kind::GetValue), 0);
    for (const Event& e : fx().events(Event::Kind::GetValueAtTime)) EXPECT_EQ(e.time, 12) << e.name;
    EXPECT_GE(count(Event::Kind::GetValueAtTime), 5);

    fx().setValueAtTime("PrintDisplayBypass", 0, 1);
    fx().setValueAtTime("PrintDisplayBypass", 7, 0);
    fx().setValueAtTime("PrintProfile", 7, 2);
    fx().clearRecords();
    ASSERT_EQ(changed("PrintProfile", kOfxChangeUserEdited, 7), kOfxStatOK);
    EXPECT_DOUBLE_EQ(get("PrintGammaPivot"), 0.173);  // stock A applied: the bypass is off at frame 7
}

TEST_F(InterplayTest, AboutPostsOneMessageAndChangesNothing) {
    ASSERT_EQ(changed("About Brew", kOfxChangeUserEdited), kOfxStatOK);
    const auto messages = fx().messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, kOfxMessageMessage);
    EXPECT_EQ(messages[0].id, "");
    EXPECT_EQ(messages[0].text, kalthorne::kEffectDescription);
    EXPECT_FALSE(messages[0].persistent);
    EXPECT_EQ(paramChanges(), 0);
}

TEST_F(InterplayTest, RefusedCallsNeverReachTheHostAndTheNextEditRepairs) {
    set("PrintDisplayBypass", 0);
    set("InputGamut", 11);
    set("PrintProfile", 3);
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    ASSERT_TRUE(shown("PrintCast") && shown("PrinterLightRed"));
    fx().clearRecords();
    // The host refuses to hide PrintCast and to disable PrinterLightRed.
    fx().setRefusal([](const Event& e) {
        return (e.kind == Event::Kind::SetSecret && e.name == "PrintCast") ||
               (e.kind == Event::Kind::SetEnabled && e.name == "PrinterLightRed");
    });
    ASSERT_EQ(user("PrintDisplayBypass", 1), kOfxStatOK);
    ASSERT_EQ(fx().messages().size(), 1u);
    EXPECT_EQ(fx().messages()[0].text, kalthorne::looks::kRefusedChangeMessage);
    // Everything the host accepted was still done.
    EXPECT_TRUE(hidden("PrintProfile"));
    EXPECT_TRUE(hidden("DisplayGamutOutput"));
    EXPECT_TRUE(fx().secret("PrinterLightRed"));
    EXPECT_FALSE(fx().enabled("PrintCast"));

    fx().setRefusal(nullptr);
    fx().clearRecords();
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    ASSERT_EQ(user("PrintDisplayBypass", 1), kOfxStatOK);
    for (const char* n : {"PrintCast", "PrinterLightRed", "PrintProfile", "PrintBlend"}) EXPECT_TRUE(hidden(n)) << n;
    EXPECT_TRUE(fx().messages().empty());
}

TEST_F(InterplayTest, ARefusedReadLeavesTheGroupAsItWas) {
    set("PrintDisplayBypass", 0);
    set("InputGamut", 11);
    set("PrintProfile", 0);
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    ASSERT_TRUE(shown("PrintProfile"));
    fx().setRefusal([](const Event& e) { return e.kind == Event::Kind::GetValueAtTime && e.name == "PrintProfile"; });
    fx().clearRecords();
    set("PrintProfile", 4);
    ASSERT_EQ(user("InputGamut", 12), kOfxStatOK);
    EXPECT_EQ(count(Event::Kind::SetEnabled) + count(Event::Kind::SetSecret), 0);
    EXPECT_EQ(fx().messages().size(), 1u);
    fx().setRefusal(nullptr);
    ASSERT_EQ(user("InputGamut", 12), kOfxStatOK);
    EXPECT_TRUE(shown("PrintCast"));
}

TEST_F(InterplayTest, ARefusedWriteInsideTheCouplingStillClosesItsEditBlock) {
    fx().setRefusal([](const Event& e) { return e.kind == Event::Kind::SetValue && e.name == "BrewDmaxGreen"; });
    ASSERT_EQ(user("BrewDmaxRGB", 0.5), kOfxStatOK);
    EXPECT_EQ(count(Event::Kind::BeginEditBlock), 3);
    EXPECT_EQ(count(Event::Kind::EndEditBlock), 3);
    EXPECT_DOUBLE_EQ(get("BrewDmaxRed"), 0.5);
    EXPECT_DOUBLE_EQ(get("BrewDmaxBlue"), 0.5);
    EXPECT_EQ(fx().messages().size(), 1u);
}

}  // namespace
}  // namespace interplay_test
