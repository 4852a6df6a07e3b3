// Which changes act at all, the time values are read at, the product
// information message, the RGB coupling's edit blocks, and what a refused
// host call leaves behind.
#include <cmath>

#include "interplay_fixture.h"
#include "looks/param_dispatch.h"
#include "plugin/effect_description.h"

namespace interplay_test {
namespace {

TEST_F(InterplayTest, PluginEditsTimeChangesAndOtherNamesDoNothing) {
    // Put the page where every reaction would change something.
    for (const Write& w : {Write{"PrintDisplayBypass", 0}, {"InputGamut", 27}, {"CameraStock", 4},
                           {"PrintProfile", 3}, {"BrewDminRGB", 0.1}})
        set(w.name, w.value);
    fx().clearRecords();
    for (const char* name : kReactingNames)
        for (const char* reason : {kOfxChangePluginEdited, kOfxChangeTime})
            EXPECT_EQ(changed(name, reason, 2.0), kOfxStatOK) << name;
    for (const char* other : {"Exposure", "HalationBypass", "AboutBrew", "inputgamut", "PrinterBlackPointGreen"})
        EXPECT_EQ(changed(other, kOfxChangeUserEdited), kOfxStatOK) << other;
    EXPECT_EQ(paramChanges(), 0);
    EXPECT_TRUE(fx().messages().empty());
}

TEST_F(InterplayTest, EveryReadIsAtTheTimeOfTheChange) {
    fx().setValueAtTime("CameraStock", 0, 0);
    fx().setValueAtTime("CameraStock", 12, 3);
    fx().setValueAtTime("PrintProfile", 0, 5);
    fx().setValueAtTime("PrintProfile", 12, 0);
    fx().clearRecords();
    ASSERT_EQ(changed("CameraStock", kOfxChangeUserEdited, 12), kOfxStatOK);
    // Stock 3 at frame 12, not the reset of frame 0; print stock None there,
    // so the stock writes the printer points.
    EXPECT_DOUBLE_EQ(get("BrewDmaxRGB"), 0.781);
    EXPECT_DOUBLE_EQ(get("PrinterLightsRGB"), 0.75);
    EXPECT_EQ(count(Event::Kind::GetValue), 0);
    for (const Event& e : fx().events(Event::Kind::GetValueAtTime)) EXPECT_EQ(e.time, 12) << e.name;

    fx().setValueAtTime("PrintDisplayBypass", 0, 1);
    fx().setValueAtTime("PrintDisplayBypass", 7, 0);
    fx().setValueAtTime("PrintProfile", 7, 2);
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

// The edit blocks in order, each as "label:written parameter".
std::vector<std::string> blocks(const ofxtest::Instance& fx) {
    std::vector<std::string> out;
    std::string open;
    for (const Event& e : fx.events()) {
        if (e.kind == Event::Kind::BeginEditBlock) open = e.name;
        if (e.kind == Event::Kind::SetValue && !open.empty()) out.push_back(open + ":" + e.name);
        if (e.kind == Event::Kind::EndEditBlock) open.clear();
    }
    return out;
}

TEST_F(InterplayTest, CouplingWritesOneLabelledBlockEachAndSpreadsNoNonFiniteValue) {
    set("BrewDminRed", 0.9);
    set("BrewDminGreen", 0.5);
    set("BrewDminBlue", 0.4);
    fx().clearRecords();
    ASSERT_EQ(user("BrewDminRGB", 0.8), kOfxStatOK);
    EXPECT_NEAR(get("BrewDminGreen"), 0.75, 1e-12);
    // The host echoed each write as a plug-in edit: no channel reaction ran.
    EXPECT_EQ(blocks(fx()), (std::vector<std::string>{"BrewDminRed:BrewDminRed", "BrewDminGreen:BrewDminGreen",
                                                      "BrewDminBlue:BrewDminBlue"}));
    EXPECT_EQ(count(Event::Kind::EndEditBlock), 3);

    set("PrinterBlackPointRed", -0.9);
    set("PrinterBlackkPointBlue", -0.4);
    fx().clearRecords();
    ASSERT_EQ(user("PrinterBlackkPointGreen", -0.2), kOfxStatOK);
    EXPECT_EQ(blocks(fx()), std::vector<std::string>{"PrinterBlackPointsRGB:PrinterBlackPointsRGB"});
    EXPECT_NEAR(get("PrinterBlackPointsRGB"), (-0.9 + -0.2 + -0.4) / 3.0, 1e-15);

    for (int i = 2; i < 20; ++i) {
        if (i == 10 || i == 11) continue;
        fx().clearRecords();
        ASSERT_EQ(user(kReactingNames[i], 0.5), kOfxStatOK);
        const bool master = std::string(kReactingNames[i]).find("RGB") != std::string::npos;
        EXPECT_EQ(count(Event::Kind::BeginEditBlock), master ? 3 : 1) << kReactingNames[i];
    }

    // A NaN or infinity, typed into a set or already stored in it, is never
    // spread over the set: nothing is written.
    set("PrinterLightGreen", NAN);
    for (const char* name : {"BrewDminRGB", "BrewDmaxBlue", "PrinterLightsRGB", "PrinterLightRed"})
        for (double typed : {double(NAN), HUGE_VAL, -HUGE_VAL, 0.5}) {
            if (typed == 0.5 && std::string(name).find("PrinterLight") != 0) continue;
            fx().clearRecords();
            ASSERT_EQ(user(name, typed), kOfxStatOK);
            EXPECT_TRUE(writes().empty()) << name << " = " << typed;
        }
}

// A refused host call fails no handler: the host gets one message, what it
// accepted stays done, and the next edit repairs the rest.
TEST_F(InterplayTest, RefusedCallsNeverReachTheHostAndTheNextEditRepairs) {
    using K = Event::Kind;
    set("PrintDisplayBypass", 0);
    set("InputGamut", 11);
    set("PrintProfile", 3);
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    fx().clearRecords();
    fx().setRefusal([](const Event& e) {
        return (e.kind == K::SetSecret && e.name == "PrintCast") ||
               (e.kind == K::SetEnabled && e.name == "PrinterLightRed");
    });
    ASSERT_EQ(user("PrintDisplayBypass", 1), kOfxStatOK);
    ASSERT_EQ(fx().messages().size(), 1u);
    EXPECT_EQ(fx().messages()[0].text, kalthorne::looks::kRefusedChangeMessage);
    EXPECT_TRUE(hidden("PrintProfile"));
    EXPECT_TRUE(fx().secret("PrinterLightRed"));
    EXPECT_FALSE(fx().enabled("PrintCast"));
    fx().setRefusal(nullptr);
    fx().clearRecords();
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    ASSERT_EQ(user("PrintDisplayBypass", 1), kOfxStatOK);
    for (const char* n : {"PrintCast", "PrinterLightRed", "PrintProfile", "PrintBlend"}) EXPECT_TRUE(hidden(n)) << n;
    EXPECT_TRUE(fx().messages().empty());

    // A refused read changes no flag at all.
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    fx().setRefusal([](const Event& e) { return e.kind == K::GetValueAtTime && e.name == "PrintProfile"; });
    fx().clearRecords();
    set("PrintProfile", 4);
    ASSERT_EQ(user("InputGamut", 12), kOfxStatOK);
    EXPECT_EQ(count(K::SetEnabled) + count(K::SetSecret), 0);
    EXPECT_EQ(fx().messages().size(), 1u);
    fx().setRefusal(nullptr);
    ASSERT_EQ(user("InputGamut", 12), kOfxStatOK);
    EXPECT_TRUE(shown("PrintCast"));

    // A refused write inside the coupling still closes its edit block.
    fx().setRefusal([](const Event& e) { return e.kind == K::SetValue && e.name == "BrewDmaxGreen"; });
    fx().clearRecords();
    ASSERT_EQ(user("BrewDmaxRGB", 0.5), kOfxStatOK);
    EXPECT_EQ(count(K::BeginEditBlock), 3);
    EXPECT_EQ(count(K::EndEditBlock), 3);
    EXPECT_DOUBLE_EQ(get("BrewDmaxBlue"), 0.5);
    EXPECT_EQ(fx().messages().size(), 1u);
}

}  // namespace
}  // namespace interplay_test
