// Camera- and print-stock presets checked against the parameter catalogue
// and the rules every preset must follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>

#include "looks/camera_presets.h"
#include "looks/print_presets.h"
#include "params/param_catalogue.h"

using namespace kalthorne::looks;
namespace params = kalthorne::params;

namespace {

std::map<std::string, double> byName(const PresetWrites& writes) {
    std::map<std::string, double> m;
    for (const auto& w : writes) m[w.name] = w.value;
    return m;
}

// Every write names a catalogue parameter of the same kind and stays inside
// its range; integers are whole.
void expectInsideCatalogue(const PresetWrites& list, const std::string& what) {
    for (const PresetWrite& w : list) {
        const params::ParamSpec* spec = params::findParamSpec(w.name);
        ASSERT_NE(spec, nullptr) << what << ": unknown parameter " << w.name;
        switch (w.kind) {
            case WriteKind::Double:
                EXPECT_EQ(spec->kind, params::ParamKind::Double) << what << " " << w.name;
                break;
            case WriteKind::Int:
                EXPECT_EQ(spec->kind, params::ParamKind::Int) << what << " " << w.name;
                EXPECT_EQ(w.value, std::floor(w.value)) << what << " " << w.name;
                break;
            case WriteKind::Bool:
                EXPECT_EQ(spec->kind, params::ParamKind::Boolean) << what << " " << w.name;
                EXPECT_TRUE(w.value == 0.0 || w.value == 1.0) << what << " " << w.name;
                continue;
        }
        EXPECT_GE(w.value, spec->low) << what << " " << w.name;
        EXPECT_LE(w.value, spec->high) << what << " " << w.name;
    }
}

const CameraSelectors kSelectorsOff{0, 0, 0};
const CameraSelectors kSelectorsOn{2, 3, 4};

}  // namespace

TEST(PresetRanges, EveryPresetStaysInsideTheCatalogue) {
    for (int stock = 1; stock <= kLastCameraStock; ++stock)
        for (int print : {0, 1, 5})
            for (const auto& sel : {kSelectorsOff, kSelectorsOn})
                expectInsideCatalogue(cameraPresetWrites(stock, print, sel), "camera " + std::to_string(stock));
    expectInsideCatalogue(cameraResetWrites(), "camera reset");
    for (int profile = 2; profile <= 9; ++profile) {
        expectInsideCatalogue(printPresetWrites(profile), "print " + std::to_string(profile));
        expectInsideCatalogue(printPresetWrites(profile, PrintPresetUse::LookFile), "look print");
    }
    for (int camera : {0, 1, 2, 24}) expectInsideCatalogue(printerPointsForCamera(camera), "printer points");
}

TEST(PresetCounts, WriteCountsOfEachKindOfChoice) {
    EXPECT_EQ(cameraPresetWrites(7, 0, kSelectorsOff).size(), 269u);
    // Selectors already on and a print stock that owns the printer points.
    EXPECT_EQ(cameraPresetWrites(7, 3, kSelectorsOn).size(), 269u - 3 - 8);
    EXPECT_EQ(cameraResetWrites().size(), 30u);
    EXPECT_EQ(printPresetWrites(2).size(), 203u);
    EXPECT_EQ(printPresetWrites(2, PrintPresetUse::LookFile).size(), 187u);
    for (int none : {-1, 0, 1, 10}) EXPECT_TRUE(printPresetWrites(none).empty()) << none;
    for (int none : {0, 25, -3}) EXPECT_TRUE(cameraPresetWrites(none, 0, kSelectorsOff).empty()) << none;
}

TEST(CameraPresets, ValuesEveryStockShares) {
    for (int stock = kFirstCameraStock; stock <= kLastCameraStock; ++stock) {
        SCOPED_TRACE(stock);
        const PresetWrites list = cameraPresetWrites(stock, 0, kSelectorsOff);
        auto m = byName(list);
        int zoneCount = 0;
        for (const auto& w : list) {
            if (w.name.find("Zone") == std::string::npos) continue;
            EXPECT_EQ(w.value, 0.5) << w.name;
            ++zoneCount;
        }
        EXPECT_EQ(zoneCount, 60);  // 4 families and 11 slots; no zone selector is written
        for (const char* kind : {"BrewDmin", "BrewDmax"})
            for (const char* c : {"Red", "Green", "Blue"})
                EXPECT_EQ(m[std::string(kind) + c], m[std::string(kind) + "RGB"]) << kind << c;
        // A slot's four qualities share one centre; Three..Six are fixed, Eight..Twelve neutral.
        const std::map<std::string, double> centres = {{"Three", 76.0}, {"Four", 50.0}, {"Five", 120.0},
                                                       {"Six", 212.3},  {"Eight", 180.0}, {"Twelve", 180.0}};
        for (const auto& [slot, centre] : centres)
            for (const char* q : {"Sat", "Hue", "Chr", "Vib"}) EXPECT_EQ(m["Refine" + slot + q + "Hue"], centre) << slot << q;
        for (const char* n : {"RefineTwoSatWidth", "RefineTwoHueWidth", "RefineThreeHueWidth", "RefineSixSatWidth",
                              "RefineSixHueWidth", "RefineSixChrWidth", "RefineSevenSatWidth", "RefineSevenChrWidth"})
            EXPECT_EQ(m[n], 60.0) << n;
    }
}

TEST(CameraPresets, StockDataStaysInsideItsStatedValues) {
    const std::set<double> chromaStrengths = {0.5, 0.789, 0.8, 0.891, 0.9};
    const std::set<double> satWidths = {60.0, 78.48}, hueWidths = {60.0, 62.82, 70.2625, 86.58},
                           chromaWidths = {60.0, 75.6, 80.1, 99.0};
    const std::set<double> slotWidths = {28.8, 43.02, 43.2, 60.0, 62.82, 66.06, 72.0, 79.2, 99.0};
    for (int stock = kFirstCameraStock; stock <= kLastCameraStock; ++stock) {
        SCOPED_TRACE(stock);
        auto m = byName(cameraPresetWrites(stock, 0, kSelectorsOff));
        for (const char* c : {"Red", "Magenta", "Blue", "Cyan", "Green", "Yellow"}) {
            EXPECT_TRUE(m[std::string("Saturation") + c] >= 0.202 && m[std::string("Saturation") + c] <= 0.642) << c;
            EXPECT_TRUE(m[std::string("Hue") + c] >= 0.1405 && m[std::string("Hue") + c] <= 0.734) << c;
            EXPECT_TRUE(m[std::string("Chroma") + c] >= 0.211 && m[std::string("Chroma") + c] <= 0.578) << c;
        }
        EXPECT_EQ(m["SaturationStrength"], (stock == 22 || stock == 24) ? 0.5045 : 0.5);
        EXPECT_EQ(m["VibranceYellow"], stock == 16 ? 0.0 : 0.5);
        EXPECT_TRUE(m["VibranceCustomHue"] == 44.0 || m["VibranceCustomHue"] == 180.0);
        EXPECT_EQ(chromaStrengths.count(m["ChromaStrength"]), 1u);
        EXPECT_EQ(satWidths.count(m["SaturationCustomWidth"]), 1u);
        EXPECT_EQ(hueWidths.count(m["HueCustomWidth"]), 1u);
        EXPECT_EQ(chromaWidths.count(m["ChromaCustomWidth"]), 1u);
        for (const char* slot : {"Two", "Three", "Four", "Five", "Six", "Seven"})
            for (const char* q : {"Sat", "Hue", "Chr"})
                EXPECT_EQ(slotWidths.count(m[std::string("Refine") + slot + q + "Width"]), 1u) << slot << q;
        EXPECT_EQ(m["RefineTwoSatHue"], (stock == 16 || stock == 23 || stock == 24) ? 67.0 : 66.0);
        EXPECT_EQ(m["RefineSevenSatHue"], stock == 18 ? 300.0 : 310.0);
        EXPECT_TRUE(m["BrewCurveShadowPivot"] >= 0.417 && m["BrewCurveShadowPivot"] <= 0.9535);
        EXPECT_TRUE(m["BrewCurveHighlightPivot"] >= 0.0725 && m["BrewCurveHighlightPivot"] <= 0.5);
        EXPECT_EQ(m["BrewFilmicPivotR"], stock == 9 ? 0.23 : 0.0);
        EXPECT_TRUE(m["BrewFilmicSlopeR"] >= 0.001 && m["BrewFilmicSlopeR"] <= 0.021);
    }
}

TEST(CameraPresets, CustomWritesCatalogueDefaultsAndTurnsToneCurvesOn) {
    for (int toneCurves : {0, 3}) {
        const PresetWrites list = cameraPresetWrites(1, 2, {4, 4, toneCurves});
        auto m = byName(list);
        EXPECT_EQ(m.count("ToneCurves"), toneCurves == 0 ? 1u : 0u);
        EXPECT_EQ(m["ColorCorrection"], 0);
        EXPECT_EQ(m["ColorRefine"], 0);
        EXPECT_FALSE(m.count("NegCast"));
        EXPECT_FALSE(m.count("NegTintGtoM"));
        for (const PresetWrite& w : list) {
            if (w.name == "ToneCurves" || w.name == "ColorCorrection" || w.name == "ColorRefine") continue;
            const params::ParamSpec* spec = params::findParamSpec(w.name);
            ASSERT_NE(spec, nullptr) << w.name;
            EXPECT_EQ(w.value, spec->defaultValue) << w.name;
        }
    }
}

TEST(PrintPresets, EveryZoneIsNeutralAndTheHueZoneRunsLowBandFirst) {
    for (int profile = 2; profile <= 5; ++profile) {
        SCOPED_TRACE(profile);
        const PresetWrites list = printPresetWrites(profile);
        for (const auto& w : list)
            if (w.name.find("Zone") != std::string::npos && w.kind == WriteKind::Double) {
                EXPECT_EQ(w.value, 0.5) << w.name;
            }
        auto it = std::find_if(list.begin(), list.end(), [](const PresetWrite& w) { return w.name == "PrintHueZoneLow"; });
        ASSERT_LE(it + 4, list.end());
        EXPECT_EQ((it + 1)->name, "PrintHueZoneLowRange");
        EXPECT_EQ((it + 2)->name, "PrintHueZoneHigh");
        EXPECT_EQ((it + 3)->name, "PrintHueZoneHighRange");
        EXPECT_EQ((it + 4)->name, "PrintChromaRed");
    }
}

TEST(PrintPresets, LookFileUseIsTheStockChoiceLessItsOwnLines) {
    const std::set<std::string> excluded = {
        "PrintCast", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation", "PrintFilmicPivotR", "PrintFilmicSlopeR",
        "PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue", "PrinterBlackPointsRGB",
        "PrinterLightRed", "PrinterLightGreen", "PrinterLightBlue", "PrinterLightsRGB", "PrintBlend",
        "PrintBleachBypass"};
    for (int profile = 2; profile <= 9; ++profile) {
        SCOPED_TRACE(profile);
        PresetWrites expected;
        for (const PresetWrite& w : printPresetWrites(profile))
            if (!excluded.count(w.name)) expected.push_back(w);
        const PresetWrites look = printPresetWrites(profile, PrintPresetUse::LookFile);
        ASSERT_EQ(look.size(), expected.size());
        const bool fuji = printStockOfProfile(profile) >= 2;
        for (size_t i = 0; i < look.size(); ++i) {
            EXPECT_EQ(look[i].name, expected[i].name);
            if (look[i].name == "PrintRefineFourHueWidth") {
                EXPECT_EQ(look[i].value, fuji ? 79.38 : expected[i].value);
                if (fuji) {
                    EXPECT_EQ(expected[i].value, 80.4825);
                }
            } else {
                EXPECT_EQ(look[i].value, expected[i].value) << look[i].name;
            }
        }
    }
}

