#include "plugin/print_options_fill.h"

#include <algorithm>

#include "plugin/color_group_fill.h"
#include "plugin/refine_slot_fill.h"
#include "plugin/render_option_rules.h"
#include "plugin/tone_curve_rule.h"

namespace kalthorne {

namespace {

using H = KalthorneParamHandles;

float asFloat(double v) { return static_cast<float>(v); }

void fillPrintBleach(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    o.printBleachBypass = r.read(h.m_PrintBleachBypass) ? 1 : 0;
    if (!o.printBleachBypass) return;
    applyBleachRule(r,
                    BleachHandles{h.m_PrintBleachPivot,
                                  {h.m_PrintBleachRed, h.m_PrintBleachGreen, h.m_PrintBleachBlue}},
                    BleachFields{&o.printBleachPivotScaled,
                                 {&o.printBleachRedScaled, &o.printBleachGreenScaled, &o.printBleachBlueScaled},
                                 {&o.printBleachRedGain, &o.printBleachGreenGain, &o.printBleachBlueGain}});
}

void fillPrintGammaAndCurves(const H& h, const ParamReader& r, int profile, TextureOptionsStruct& o) {
    if (profile == 1) {  // Custom stock: no print gamma or curves
        o.printCurvesOn = 0;
        o.printGammaRedOn = o.printGammaGreenOn = o.printGammaBlueOn = 0;
        return;
    }
    o.printGammaPivotScaled = asFloat(std::max(0.05, r.read(h.m_PrintGammaPivot)));
    OFX::DoubleParam* params[3] = {h.m_PrintGammaRed, h.m_PrintGammaGreen, h.m_PrintGammaBlue};
    float* fields[3] = {&o.printGammaRedScaled, &o.printGammaGreenScaled, &o.printGammaBlueScaled};
    float* gains[3] = {&o.printGammaRedGain, &o.printGammaGreenGain, &o.printGammaBlueGain};
    uint8_t* ons[3] = {&o.printGammaRedOn, &o.printGammaGreenOn, &o.printGammaBlueOn};
    for (int i = 0; i < 3; ++i) {
        const double v = r.read(params[i]);
        if (v == 0.4) {
            *ons[i] = 0;
            continue;
        }
        *fields[i] = asFloat(v * 2.5);
        *gains[i] = pivotGain(o.printGammaPivotScaled, *fields[i]);
        *ons[i] = 1;
    }
    o.printCurvesOn = 1;
    applyToneCurveRule(
        r,
        ToneCurveHandles{h.m_PrintCurveShadowPivot,
                         {h.m_PrintCurveShadowRed, h.m_PrintCurveShadowGreen, h.m_PrintCurveShadowBlue},
                         {h.m_PrintCurveMidtoneRed, h.m_PrintCurveMidtoneGreen, h.m_PrintCurveMidtoneBlue},
                         h.m_PrintCurveHighlightPivot,
                         {h.m_PrintCurveHighlightRed, h.m_PrintCurveHighlightGreen,
                          h.m_PrintCurveHighlightBlue}},
        ToneCurveFields{&o.printCurveShadowPivotScaled,
                        {&o.printCurveShadowRed, &o.printCurveShadowGreen, &o.printCurveShadowBlue},
                        {&o.printCurveMidtoneRed, &o.printCurveMidtoneGreen, &o.printCurveMidtoneBlue},
                        &o.printCurveHighlightPivotScaled,
                        {&o.printCurveHighlightRed, &o.printCurveHighlightGreen,
                         &o.printCurveHighlightBlue}});
}

void fillPrintFilmic(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    o.printFilmicPivotRGain = asFloat(1.0 / (0.72 - (r.read(h.m_PrintFilmicPivotR) * 0.7 + 0.01)));
    o.printFilmicSlopeRScaled = asFloat(r.read(h.m_PrintFilmicSlopeR) * 50.0 + 2.0);
}

}  // namespace

bool fillPrintOptions(const H& h, const ParamReader& r, bool printDisplayBypass, TextureOptionsStruct& o) {
    if (printDisplayBypass || isDisplayReferredInput(o.inputGamut)) {
        o.printOff = 1;
        o.printProfile = 0;
        return true;
    }
    const int profile = r.read(h.m_PrintProfile);
    if (!isChoiceIndexValid(profile, kPrintProfileOptions)) return false;
    o.printOff = 0;
    o.printProfile = profile;

    if (profile == 0) {
        o.printBleachBypass = 0;
    } else {
        fillPrintBleach(h, r, o);
        fillPrintColorGroups(h, r, o.printSaturationGroup, o.printHueGroup, o.printChromaGroup,
                             o.printVibranceGroup);
        fillPrintRefineSlots(h, r, o.printRefineOn, o.printRefineSlots);
        fillPrintGammaAndCurves(h, r, profile, o);
        fillPrintFilmic(h, r, o);
    }

    const int display = r.read(h.m_DisplayGamutOutput);
    if (!isChoiceIndexValid(display, kDisplayGamutOutputOptions)) return false;
    o.displayGamutOutput = display;
    o.displayScale = 100.0f;
    o.printerBlackPointRedScaled = asFloat(r.read(h.m_PrinterBlackPointRed) * 0.125);
    o.printerBlackPointGreenScaled = asFloat(r.read(h.m_PrinterBlackkPointGreen) * 0.125);
    o.printerBlackPointBlueScaled = asFloat(r.read(h.m_PrinterBlackkPointBlue) * 0.125);
    o.printerLightRedScaled = asFloat(r.read(h.m_PrinterLightRed) * 2.0);
    o.printerLightGreenScaled = asFloat(r.read(h.m_PrinterLightGreen) * 2.0);
    o.printerLightBlueScaled = asFloat(r.read(h.m_PrinterLightBlue) * 2.0);
    const CastSetting cast = castRule(r.read(h.m_PrintCast));
    o.printCastIndex = cast.index;
    o.printCastOn = cast.on;
    o.printTintGtoMScaled = asFloat(r.read(h.m_PrintTintGtoM) * 0.6);
    o.printTintRtoCScaled = asFloat(r.read(h.m_PrintTintRtoC) * 0.6);
    o.printSaturation = asFloat(r.read(h.m_PrintSaturation));
    o.printBlendComplement = asFloat(1.0 - r.read(h.m_PrintBlend));
    return true;
}

}  // namespace kalthorne
