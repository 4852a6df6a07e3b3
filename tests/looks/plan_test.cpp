// The Look load decided without a host: every line tokenised, parsed and
// range-checked first, then the writes, messages and visibility in order.
#include "look_plan.h"
#include "look_test_files.h"
#include "params/param_table.h"
#include "plugin/render_option_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <map>
#include <set>

using namespace kalthorne::looks;
using looktest::LookFile;

namespace {

struct Plan {
    LookPlan p;

    explicit Plan(const std::string& text, const LookContext& ctx = LookContext())
        : p(planLookLoad(text.data(), text.size(), ctx)) {
    }
    explicit Plan(const LookFile& f, const LookContext& ctx = LookContext()) : Plan(f.text(), ctx) {}

    std::vector<std::string> messages() const {
        std::vector<std::string> m;
        for (const auto& s : p.steps)
            if (s.kind == StepKind::Message) m.push_back(s.text);
        return m;
    }
    std::vector<double> values(const std::string& name) const {
        std::vector<double> v;
        for (const auto& s : p.steps)
            if (s.param == name && s.kind != StepKind::Hide && s.kind != StepKind::Show) v.push_back(s.value);
        return v;
    }
    int writes(const std::string& name) const { return int(values(name).size()); }
    double last(const std::string& name) const {
        const auto v = values(name);
        EXPECT_FALSE(v.empty()) << name << " not written";
        return v.empty() ? NAN : v.back();
    }
    // "h" / "s" for each hide or show of the parameter, in order.
    std::string visibility(const std::string& name) const {
        std::string v;
        for (const auto& s : p.steps)
            if (s.param == name && (s.kind == StepKind::Hide || s.kind == StepKind::Show))
                v += s.kind == StepKind::Hide ? 'h' : 's';
        return v;
    }
};

// Every step names a parameter of the catalogue with a setter of its kind and
// a value inside its range: the host layer drops a write to an unknown name,
// and a host may refuse or clamp a value out of range. A file with every line
// out of range posts one message per line (33 of them the "Brew: " kind) and
// writes the fallbacks.
TEST(LookPlan, StepsStayInsideTheCatalogue) {
    struct Param {
        std::string kind;
        double lo, hi;
    };
    std::map<std::string, Param> catalogue;
#define LOOKS_PARAM(A, Kind, Name, Label, Hint, Default, Low, High, Attr) catalogue[#Name] = {#Kind, Low, High};
    KALTHORNE_PARAM_TABLE(LOOKS_PARAM, 0)
#undef LOOKS_PARAM
    catalogue["InputGamut"].hi = kalthorne::kInputGamutOptions - 1;
    catalogue["CameraStock"].hi = kalthorne::kCameraStockOptions - 1;
    catalogue["PrintProfile"].hi = kalthorne::kPrintProfileOptions - 1;
    catalogue["DisplayGamutOutput"].hi = kalthorne::kDisplayGamutOutputOptions - 1;
    const std::map<StepKind, std::set<std::string>> setters = {
        {StepKind::SetDouble, {"Double"}}, {StepKind::SetInt, {"Int", "Choice"}}, {StepKind::SetBool, {"Boolean"}}};

    // every line too high, every line too low; the Look reset after the
    // negative bypass or no stock; every print stock
    LookFile high, low;
    for (int n = 1; n <= 372; ++n) high.set(n, "9999999"), low.set(n, "-999999");
    std::vector<LookFile> files = {high, low, LookFile().set(40, "1"), LookFile().set(45, "0")};
    for (int stock = 1; stock <= 9; ++stock)
        files.push_back(LookFile().set(353, std::to_string(stock)).set(1, "11").set(352, "0"));
    for (const LookFile& f : files) {
        Plan plan(f);
        ASSERT_EQ(plan.p.outcome, LookOutcome::Apply);
        for (const LookStep& s : plan.p.steps) {
            if (s.kind == StepKind::Message) continue;
            ASSERT_TRUE(catalogue.count(s.param)) << s.param;
            const Param& p = catalogue[s.param];
            const bool flag = s.kind == StepKind::Hide || s.kind == StepKind::Show;
            EXPECT_TRUE(flag ? p.kind != "PushButton" : setters.at(s.kind).count(p.kind) == 1) << s.param;
            EXPECT_TRUE(flag || p.kind == "Boolean" || (s.value >= p.lo && s.value <= p.hi)) << s.param;
        }
    }
    const auto messages = Plan(high).messages();
    EXPECT_EQ(messages.size(), 372u);
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(), [](auto& m) { return m.rfind("Brew: ", 0) == 0; }), 33);
}

TEST(LookPlan, NumbersIgnoreLocaleAndOverflow) {
    // A decimal-comma locale must not turn "0.58" into 0.
#ifdef LOOKS_TEST_LOCALE_DIR
    setenv("LOCPATH", LOOKS_TEST_LOCALE_DIR, 1); // built by the test build when localedef exists
#endif
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    bool haveComma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name) && std::string(localeconv()->decimal_point) == ",") {
            haveComma = true;
            break;
        }
    Plan plan{LookFile()}, intPlan(LookFile().set(46, "5600.9"));
    std::setlocale(LC_ALL, saved.c_str());
    if (!haveComma) GTEST_LOG_(INFO) << "no decimal-comma locale installed; ran in " << saved;
    EXPECT_EQ(plan.last("Exposure"), 0.58);
    EXPECT_EQ(intPlan.last("NegCast"), 5600);

    struct Case {
        int line;
        std::string text;
        const char* param;
        double expected;
    } cases[] = {
        {2, "nan", "Exposure", 0.0},          {2, "-nan", "Exposure", 0.0},
        {2, "inf", "Exposure", 0.0},          {2, "-1e999", "Exposure", 0.0},
        {2, "1e-999", "Exposure", 0.0},       {2, "0x0.8p0", "Exposure", 0.5},
        {46, " +6000x", "NegCast", 6000},     {46, "abc", "NegCast", 6504},
        {110, "11.9", "ColorRefine", 11},   {110, "12", "ColorRefine", 11}, // the choice's last option
    };
    for (const auto& c : cases) {
        Plan p(LookFile().set(c.line, c.text));
        ASSERT_EQ(p.p.outcome, LookOutcome::Apply) << c.text;
        EXPECT_EQ(p.last(c.param), c.expected) << c.text;
    }
}

// A read takes at most 44 bytes with the line feed; the rest of a longer line
// is read as the next Look line, which lacks that line's key. A Windows line
// end counts like a line feed. A file without one Look line is unreadable.
TEST(LookPlan, WhereLinesAndKeysEnd) {
    const auto crlf = [](const LookFile& f) {
        std::string out;
        for (char c : f.text()) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    const LookFile ok = LookFile().set(2, "0.12345"), long44 = LookFile().set(2, "0.123456"),
                   long60 = LookFile().set(2, "0.5" + std::string(21, ' '));
    const struct {
        const char* what;
        std::string text;
        LookOutcome outcome;
        int failedLine;
    } cases[] = {
        {"43 bytes, LF", ok.text(), LookOutcome::Apply, 0},
        {"43 bytes, CRLF", crlf(ok), LookOutcome::Apply, 0},
        {"44 bytes, LF", long44.text(), LookOutcome::MissingKey, 3},
        {"44 bytes, CRLF", crlf(long44), LookOutcome::MissingKey, 3},
        {"60 bytes, LF", long60.text(), LookOutcome::MissingKey, 3},
        {"60 bytes, CRLF", crlf(long60), LookOutcome::MissingKey, 3},
        {"damaged first key", LookFile().raw(1, "In | Out Colour Space 11\n").text(), LookOutcome::MissingKey, 1},
        {"blank line in the middle", LookFile().raw(10, "\n").text(), LookOutcome::MissingKey, 10},
        {"empty", "", LookOutcome::Unreadable, 0},
        {"byte-order mark only", "\xEF\xBB\xBF", LookOutcome::Unreadable, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Plan p(c.text);
        EXPECT_EQ(p.p.outcome, c.outcome);
        EXPECT_EQ(p.p.failedLine, c.failedLine);
        if (c.outcome == LookOutcome::Apply) {
            EXPECT_TRUE(p.messages().empty());
            EXPECT_EQ(p.last("Exposure"), 0.12345);
        } else {
            EXPECT_TRUE(p.p.steps.empty());
        }
    }
}

TEST(LookPlan, HalationHdrAndProcessLinearByInputClass) {
    struct Case {
        std::string bypass, breadth;
        std::vector<double> breadthWrites;
    } halation[] = {{"0", "0.7", {0.7}}, {"1", "0.7", {}}, {"0", "0.0", {}}, {"0", "1.5", {0.25}}};
    for (const auto& c : halation) {
        Plan p(LookFile().set(3, c.bypass).set(4, c.breadth));
        EXPECT_EQ(p.last("HalationBypass"), c.breadthWrites.empty() ? 1 : 0) << c.bypass << " " << c.breadth;
        EXPECT_EQ(p.values("HalationBreadth"), c.breadthWrites);
        EXPECT_EQ(p.writes("HalationBlendB"), 1) << "the other halation lines are written either way";
    }

    for (int input = 0; input <= 48; ++input) {
        const bool linear = input == 0 || input == 4 || input == 5 || input == 30;
        Plan p(LookFile().set(1, std::to_string(input)).set(17, "1").set(18, "1"));
        EXPECT_EQ(p.last("HDRcomp"), linear ? 1 : 0) << input;
        EXPECT_EQ(p.last("ProcessLinear"), linear ? 0 : 1) << input;
    }
    Plan off(LookFile().set(1, "4").set(17, "2").set(18, "0"));
    EXPECT_EQ(off.last("HDRcomp"), 0);
    EXPECT_EQ(off.messages().size(), 1u);
    // an out-of-range input class falls back to 0, a linear input
    Plan bad(LookFile().set(1, "49").set(17, "1"));
    EXPECT_EQ(bad.last("InputGamut"), 0);
    EXPECT_EQ(bad.last("HDRcomp"), 1);
}

TEST(LookPlan, CameraStockAndBleachExclusivity) {
    const char* negGroup[] = {"NegCast", "BrewDminRGB", "BrewDmaxBlue"};

    Plan stock(LookFile().set(40, "0").set(45, "12").set(319, "1").set(352, "0").set(358, "1"));
    EXPECT_EQ(stock.last("CameraStock"), 12);
    EXPECT_EQ(stock.last("BrewBleachBypass"), 1);
    EXPECT_EQ(stock.last("PrintBleachBypass"), 0) << "never both bleach bypasses";
    for (auto n : negGroup) EXPECT_EQ(stock.visibility(n), "s");
    EXPECT_EQ(stock.writes("ToneCurves"), 1) << "no Look reset for a film stock, only line 298";

    Plan bypassed(LookFile().set(40, "1").set(45, "12").set(319, "1").set(358, "1"));
    EXPECT_EQ(bypassed.last("CameraStock"), 0);
    EXPECT_EQ(bypassed.last("BrewBleachBypass"), 0);
    EXPECT_EQ(bypassed.last("PrintBleachBypass"), 1) << "the negative bleach this load decided is off";
    for (auto n : negGroup) EXPECT_EQ(bypassed.visibility(n), "h");
    EXPECT_EQ(bypassed.writes("ToneCurves"), 2) << "Look reset, then line 298";

    Plan custom(LookFile().set(45, "25"));
    EXPECT_EQ(custom.last("CameraStock"), 1);
    EXPECT_EQ(custom.messages(),
              std::vector<std::string>{"Brew : Set 'Brew Camera Film Stock(0 - 60)-----|' to a range between 0 and 24"});
    EXPECT_EQ(custom.writes("BrewBleachBypass"), 1) << "the Look reset leaves the bleach to line 319";

    EXPECT_EQ(Plan(LookFile().set(352, "1").set(319, "0").set(358, "1")).last("PrintBleachBypass"), 0);
}

TEST(LookPlan, EnsembleAndMasterMeans) {
    Plan pitches(LookFile().set(34, "1").set(35, "2").set(36, "3").set(37, "4").set(38, "5").set(39, "6"));
    EXPECT_EQ(pitches.last("EnsemblePitch"), 3.5);

    Plan dmin(LookFile().set(327, "0.5").set(328, "0.25").set(329, "2.0"));
    EXPECT_EQ(dmin.last("BrewDminBlue"), 0.584);
    EXPECT_EQ(dmin.last("BrewDminRGB"), (0.5 + 0.25 + 0.584) / 3.0);
}

TEST(LookPlan, FinalVisibilityFollowsTheLoad) {
    const char* group[] = {"PrintProfile", "PrintCast", "PrintBlend", "PrinterLightsRGB", "DisplayGamutOutput"};
    const auto expectGroup = [&](const Plan& p, const char* flags) {
        for (auto n : group) EXPECT_EQ(p.visibility(n), flags) << n;
    };
    Plan bypass(LookFile().set(352, "1").set(353, "2"));
    expectGroup(bypass, "h");
    EXPECT_EQ(bypass.last("PrintProfile"), 2);
    EXPECT_EQ(bypass.writes("PrintDisplayBypass"), 1);

    expectGroup(Plan(LookFile().set(1, "11").set(352, "0").set(353, "3")), "s");

    // no print stock: its five controls hide, the rest of the group shows
    Plan none(LookFile().set(1, "11").set(352, "0").set(353, "0"));
    EXPECT_EQ(none.visibility("PrintProfile") + none.visibility("PrintCast") + none.visibility("PrinterLightsRGB"),
              "shs");

    // an input of the print-bypass set forces the bypass after hiding
    Plan srgb(LookFile().set(1, "27").set(352, "0"));
    expectGroup(srgb, "h");
    EXPECT_EQ(srgb.values("PrintDisplayBypass"), (std::vector<double>{0, 1}));
}

TEST(LookPlan, LookPrintPresets) {
    for (int stock = 2; stock <= 9; ++stock) {
        // lines 354 to 372 own these, and PrintBlend stays the user's
        Plan p(LookFile().set(353, std::to_string(stock)));
        for (const char* n : {"PrintCast", "PrintSaturation", "PrintFilmicSlopeR", "PrinterLightRed",
                              "PrintBleachBypass"})
            EXPECT_EQ(p.writes(n), 1) << stock << " " << n;
        EXPECT_EQ(p.writes("PrintBlend"), 0);
        // the Fuji stocks' Look files carry their own refine-four hue width
        EXPECT_TRUE((stock != 4 && stock != 8) || p.last("PrintRefineFourHueWidth") == 79.38) << stock;
    }
    std::vector<LookStep> neutral;
    appendLookPrintPreset(1, neutral);
    EXPECT_EQ(neutral.size(), 190u);
    // neutral print look, then line 358 decides the print bleach
    Plan custom(LookFile().set(319, "0").set(352, "0").set(353, "1").set(358, "1"));
    EXPECT_EQ(custom.values("PrintBleachBypass"), (std::vector<double>{0, 1}));
    EXPECT_EQ(custom.last("PrintHueZoneHighRange"), 0.5);
}

} // namespace
