// Camera- and print-stock presets against the parameter catalogue and the
// rules every preset must follow, and the arithmetic of a master edit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "looks/camera_presets.h"
#include "looks/interplay_rules.h"
#include "looks/print_presets.h"
#include "params/param_catalogue.h"
#include "tests/reference/reference_tables.h"

using namespace kalthorne::looks;
namespace params = kalthorne::params;

namespace {

std::map<std::string, double> byName(const PresetWrites& writes) {
    std::map<std::string, double> m;
    for (const auto& w : writes) m[w.name] = w.value;
    return m;
}

// `count` writes, each of a distinct catalogue parameter. That every value
// fits its parameter's range and kind is the strict host's to check.
void expectSound(const PresetWrites& list, size_t count, const std::string& what) {
    std::set<std::string> names;
    for (const PresetWrite& w : list) {
        EXPECT_TRUE(names.insert(w.name).second) << what << " writes twice: " << w.name;
        // The entry found must be the one named: a lookup that answered a
        // neighbour for an unknown name would otherwise let any name through.
        const params::ParamSpec* spec = params::findParamSpec(w.name);
        EXPECT_EQ(spec ? std::string(spec->name) : std::string(), w.name) << what << " writes unknown " << w.name;
    }
    EXPECT_EQ(list.size(), count) << what;
}

const CameraSelectors kSelectorsOff{0, 0, 0};
const CameraSelectors kSelectorsOn{2, 3, 4};

}  // namespace

TEST(Presets, EveryPresetWritesItsCountOfDistinctCatalogueParameters) {
    // Selectors are written only from 0, printer points only without a print stock.
    for (int stock = kFirstCameraStock; stock <= kLastCameraStock; ++stock) {
        expectSound(cameraPresetWrites(stock, 0, kSelectorsOff), 269, "camera " + std::to_string(stock));
        expectSound(cameraPresetWrites(stock, 5, kSelectorsOn), 269 - 3 - 8, "camera " + std::to_string(stock));
    }
    expectSound(cameraPresetWrites(kCameraCustom, 1, kSelectorsOff), 266, "custom");
    expectSound(cameraPresetWrites(kCameraCustom, 4, kSelectorsOn), 266 - 1 - 8, "custom");
    expectSound(cameraResetWrites(), 30, "camera reset");
    for (int profile = 2; profile <= 9; ++profile) {
        expectSound(printPresetWrites(profile), 203, "print " + std::to_string(profile));
        expectSound(printPresetWrites(profile, PrintPresetUse::LookFile), 187, "look print");
    }
    for (int camera : {0, 1, 2, 24}) expectSound(printerPointsForCamera(camera), 8, "printer points");
    for (int none : {-1, 0, 1, 10}) EXPECT_TRUE(printPresetWrites(none).empty()) << none;
    for (int none : {0, 25, -3}) EXPECT_TRUE(cameraPresetWrites(none, 0, kSelectorsOff).empty()) << none;
}

// The values common to every stock and the documented rows are held by
// PresetReference; the stock data the effect authored stays inside the
// documented ranges and value sets.
TEST(CameraPresets, StockDataStaysInsideTheStatedRangesAndValueSets) {
    std::map<std::string, std::pair<double, double>> ranges = {
        {"BrewCurveShadowPivot", {0.417, 0.9535}}, {"BrewCurveHighlightPivot", {0.0725, 0.5}},
        {"BrewFilmicSlopeR", {0.001, 0.021}}, {"HueCustomStrength", {0.0, 1.0}}};
    for (const char* c : {"Red", "Magenta", "Blue", "Cyan", "Green", "Yellow"}) {
        ranges[std::string("Saturation") + c] = {0.202, 0.642};
        ranges[std::string("Hue") + c] = {0.1405, 0.734};
        ranges[std::string("Chroma") + c] = {0.211, 0.578};
    }
    std::map<std::string, std::set<double>> sets = {
        {"VibranceCustomHue", {44.0, 180.0}}, {"ChromaStrength", {0.5, 0.789, 0.8, 0.891, 0.9}},
        {"SaturationCustomWidth", {60.0, 78.48}}, {"HueCustomWidth", {60.0, 62.82, 70.2625, 86.58}},
        {"ChromaCustomWidth", {60.0, 75.6, 80.1, 99.0}}};
    for (const char* slot : {"Two", "Three", "Four", "Five", "Six", "Seven"})
        for (const char* q : {"Sat", "Hue", "Chr"})
            sets[std::string("Refine") + slot + q + "Width"] = {28.8, 43.02, 43.2, 60.0, 62.82, 66.06, 72.0, 79.2, 99.0};
    for (int stock = kFirstCameraStock; stock <= kLastCameraStock; ++stock) {
        SCOPED_TRACE(stock);
        auto m = byName(cameraPresetWrites(stock, 0, kSelectorsOff));
        for (const auto& [name, r] : ranges) EXPECT_TRUE(m.at(name) >= r.first && m.at(name) <= r.second) << name;
        for (const auto& [name, set] : sets) EXPECT_EQ(set.count(m.at(name)), 1u) << name;
    }
}

TEST(CameraPresets, CustomTurnsToneCurvesOnOnlyFromZeroAndLeavesTheCast) {
    for (int toneCurves : {0, 3}) {
        auto m = byName(cameraPresetWrites(kCameraCustom, 2, {4, 4, toneCurves}));
        EXPECT_EQ(m.count("ToneCurves"), toneCurves == 0 ? 1u : 0u);
        EXPECT_EQ(m["ColorCorrection"], 0);
        EXPECT_EQ(m["ColorRefine"], 0);
        EXPECT_FALSE(m.count("NegCast") || m.count("NegTintGtoM"));
    }
}

TEST(PrintPresets, TheLookFileUseIsTheChoiceLessItsOwnLines) {
    const std::set<std::string> lookOwnLines = {
        "PrintCast", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation", "PrintFilmicPivotR", "PrintFilmicSlopeR",
        "PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue", "PrinterBlackPointsRGB",
        "PrinterLightRed", "PrinterLightGreen", "PrinterLightBlue", "PrinterLightsRGB", "PrintBlend",
        "PrintBleachBypass"};
    for (int profile = 2; profile <= 9; ++profile) {
        SCOPED_TRACE(profile);
        const PresetWrites choice = printPresetWrites(profile);
        // The Fuji stocks' Look files carry their own refine-four hue width.
        const bool fuji = printStockOfProfile(profile) >= 2;
        PresetWrites expected;
        for (PresetWrite w : choice) {
            if (fuji && w.name == "PrintRefineFourHueWidth") w.value = 79.38;
            if (!lookOwnLines.count(w.name)) expected.push_back(w);
        }
        const PresetWrites look = printPresetWrites(profile, PrintPresetUse::LookFile);
        ASSERT_EQ(look.size(), expected.size());
        for (size_t i = 0; i < look.size(); ++i) {
            EXPECT_EQ(look[i].name, expected[i].name);
            EXPECT_EQ(look[i].value, expected[i].value) << look[i].name;
        }
    }
}

// Each preset table against the documented preset values written down apart
// from the code (tests/reference/presets.tsv): a camera stock chosen while
// the print stock is Custom and the selectors are 0, a print stock chosen.
TEST(PresetReference, TheStockTablesGiveTheDocumentedValues) {
    for (const std::string source : {"camera", "print"}) {
        const auto documented = reference::presets(source);
        ASSERT_FALSE(documented.empty()) << source;
        for (const auto& [stock, values] : documented) {
            const auto m = byName(source == "camera" ? cameraPresetWrites(stock, 1, kSelectorsOff)
                                                     : printPresetWrites(stock));
            for (const auto& v : values) {
                const auto w = m.find(v.parameter);
                if (w == m.end())
                    ADD_FAILURE() << source << " stock " << stock << " does not write " << v.parameter;
                else
                    EXPECT_EQ(w->second, v.value) << source << " stock " << stock << ": " << v.parameter;
            }
        }
    }
}

// The host sees the writes in a fixed order: these landmarks must come in
// this order, each block after the one before it.
TEST(Presets, WritesKeepTheirOrder) {
    const auto expectOrder = [](const PresetWrites& list, const std::string& landmarks) {
        std::istringstream names(landmarks);
        auto at = list.begin();
        for (std::string name; names >> name;) {
            at = std::find_if(at, list.end(), [&](const PresetWrite& w) { return w.name == name; });
            ASSERT_NE(at, list.end()) << name << " missing or out of order";
        }
    };
    expectOrder(cameraPresetWrites(3, 0, kSelectorsOff),
                "ColorCorrection ColorRefine ToneCurves NegCast NegTintRtoC SaturationRed SaturationCustomStrength "
                "SatZoneLow HueRed VibZoneHighRange RefineTwoSatHue RefineTwoSatWidth RefineTwoVibStrength "
                "RefineTwoZoneLow RefineTwelveZoneHighRange BrewBleachBypass BrewCurveShadowPivot BrewCurveMidtoneRed "
                "BrewCurveHighlightPivot BrewFilmicSlopeR BrewDminRed BrewDminRGB BrewDmaxRed BrewDmaxRGB NegBlend "
                "PrinterBlackPointRed PrinterBlackPointsRGB PrinterLightRed PrinterLightsRGB");
    expectOrder(cameraPresetWrites(kCameraCustom, 0, kSelectorsOff),
                "ToneCurves ColorCorrection ColorRefine BrewBleachBypass BrewCurveShadowPivot BrewFilmicSlopeR "
                "BrewDminRed BrewDmaxRGB NegBlend SaturationRed VibZoneHighRange RefineTwoSatHue "
                "RefineTwelveZoneHighRange PrinterBlackPointRed PrinterLightsRGB");
    expectOrder(cameraResetWrites(),
                "ColorCorrection ColorRefine ToneCurves BrewBleachBypass BrewCurveBleachPivot BrewCurveBleachBlue "
                "BrewCurveShadowPivot BrewCurveHighlightBlue BrewFilmicPivotR BrewFilmicSlopeR BrewDminRed "
                "BrewDminRGB BrewDmaxRed BrewDmaxRGB NegBlend");
    expectOrder(printPresetWrites(4),
                "PrintCast PrintSaturation PrintSat PrintVib PrintSatZone PrintVibZone PrintSaturationRed "
                "PrintSatZoneHighRange PrintHueZoneLow PrintHueZoneHighRange PrintChromaRed PrintVibZoneHighRange "
                "PrintRefineTwo PrintRefineSeven PrintRefineTwoZone PrintRefineSevenZone PrintRefineTwoSatHue "
                "PrintRefineSevenZoneHighRange PrintGammaPivot PrintGammaBlue PrintCurveShadowPivot "
                "PrintCurveHighlightBlue PrintFilmicPivotR PrintFilmicSlopeR PrinterBlackPointRed "
                "PrinterBlackPointsRGB PrinterLightRed PrinterLightsRGB PrintBlend PrintBleachBypass");
}

// The channels follow the master; what one channel cannot take inside the
// range is shared by the other two.
TEST(MasterShift, WorkedExamples) {
    struct Case {
        const char* what;
        double master, r, g, b, lo, hi;
        double nr, ng, nb;
    };
    const Case cases[] = {
        {"balanced master", 0.6, 0.9, 0.5, 0.4, -1.0, 1.0, 0.9, 0.5, 0.4},
        {"red over the top", 0.8, 0.9, 0.5, 0.4, -1.0, 1.0, 1.0, 0.75, 0.65},
        {"red under the lights' floor", 0.1, 0.1, 0.4, 0.4, 0.0, 1.0, 0.0, 0.15, 0.15},
        {"red under the black points' floor", -0.8, -0.9, -0.5, -0.4, -1.0, 1.0, -1.0, -0.75, -0.65},
        // One pass: both overflowing channels take half of the other's excess
        // and clamp, so the mean (2.3 / 3) misses the master.
        {"two channels over", 0.8, 0.9, 0.9, 0.0, -1.0, 1.0, 1.0, 1.0, 0.3},
    };
    for (const Case& c : cases) {
        const auto got = masterShift(c.master, c.r, c.g, c.b, c.lo, c.hi);
        EXPECT_NEAR(got[0], c.nr, 1e-12) << c.what;
        EXPECT_NEAR(got[1], c.ng, 1e-12) << c.what;
        EXPECT_NEAR(got[2], c.nb, 1e-12) << c.what;
    }
}
