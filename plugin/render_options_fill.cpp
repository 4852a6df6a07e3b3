#include "plugin/render_options_fill.h"

#include <algorithm>
#include <cmath>

#include "plugin/color_group_fill.h"
#include "plugin/print_options_fill.h"
#include "plugin/refine_slot_fill.h"
#include "plugin/render_option_rules.h"
#include "plugin/tone_curve_rule.h"

namespace kalthorne {

namespace {

using H = KalthorneParamHandles;

float asFloat(double v) { return static_cast<float>(v); }

bool isSoftClipNeutral(double highlightsCeiling, double shadowsCeiling) {
    return highlightsCeiling == 1.0 && shadowsCeiling * 1.5 == 0.0;
}

void fillHalation(const H& h, const ParamReader& r, bool bypass, TextureOptionsStruct& o) {
    if (bypass) {
        o.halationOff = 1;
        return;
    }
    const double breadth = r.read(h.m_HalationBreadth);
    if (breadth == 0.0) {
        o.halationOff = 1;
        return;
    }
    o.halationOff = 0;
    o.halationBreadthScaled = asFloat(breadth * 0.5);
    o.halationSaturation = asFloat(r.read(h.m_HalationSaturation));
    o.halationCyanRed = asFloat(r.read(h.m_HalationCyanRed));
    o.halationMagentaGreen = asFloat(r.read(h.m_HalationMagentaGreen));
    o.halationYellowBlue = asFloat(r.read(h.m_HalationYellowBlue));
    o.halationBlendRComplement = asFloat(1.0 - r.read(h.m_HalationBlendR));
    o.halationBlendGComplement = asFloat(1.0 - r.read(h.m_HalationBlendG));
    o.halationBlendBComplement = asFloat(1.0 - r.read(h.m_HalationBlendB));
}

void fillCameraSoftClip(const H& h, const ParamReader& r, const LookSwitches& s, TextureOptionsStruct& o) {
    if (s.softClips == 0) {
        o.softClipOn = 0;
        return;
    }
    const double ceiling = r.read(h.m_CameraHighlightsCeiling);
    const double recover = r.read(h.m_CameraHighlightsRecover);
    const double shadows = r.read(h.m_CameraShadowsCeiling);
    const double shadowsRecover = r.read(h.m_CameraShadowsRecover);
    o.cameraHighlightsCeiling = asFloat(ceiling);
    o.cameraHighlightsRecoverScaled = asFloat(recover * 5.0 + 1.0);
    o.cameraShadowsCeilingScaled = asFloat(shadows * 1.5);
    o.cameraShadowsRecoverScaled = asFloat(shadowsRecover * -1.5);
    // A neutral soft clip is simply off; the stored parameter is left alone
    // (renders run on many threads and must not write parameters).
    o.softClipOn = isSoftClipNeutral(ceiling, shadows) ? 0 : 1;
}

void fillPitch(const H& h, const ParamReader& r, const LookSwitches& s, TextureOptionsStruct& o) {
    if (s.pitchBypass) {
        o.pitchOff = 1;
        return;
    }
    const double ensemble = pitchScaled(s.ensemblePitch);
    if (ensemble == 1.0) {
        o.pitchOff = 1;
        return;
    }
    o.ensemblePitchScaled = asFloat(ensemble);
    o.sopranoPitchScaled = asFloat(pitchScaled(r.read(h.m_SopranoPitch)));
    o.mezzoSopranoPitchScaled = asFloat(pitchScaled(r.read(h.m_MezzoSopranoPitch)));
    o.altoPitchScaled = asFloat(pitchScaled(r.read(h.m_AltoPitch)));
    o.tenorPitchScaled = asFloat(pitchScaled(r.read(h.m_TenorPitch)));
    o.baritonePitchScaled = asFloat(pitchScaled(r.read(h.m_BaritonePitch)));
    o.bassPitchScaled = asFloat(pitchScaled(r.read(h.m_BassPitch)));
    o.pitchOff = 0;
}

void fillNegativeSoftClip(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    const double ceiling = r.read(h.m_BrewHighlightCeiling);
    o.brewHighlightCeiling = asFloat(ceiling);
    const double floorScaled = r.read(h.m_BrewShadowFloor) * 1.5;
    o.brewShadowFloorScaled = asFloat(floorScaled);
    if (ceiling == 1.0 && floorScaled == 0.0) {
        o.brewSoftClipOn = 0;
        return;
    }
    o.brewHighlightCompressScaled = asFloat(r.read(h.m_BrewHighlightCompress) * 5.0 + 1.0);
    o.brewShadowExpandScaled = asFloat(r.read(h.m_BrewShadowExpand) * -1.5);
    o.brewSoftClipOn = 1;
}

void fillDevelopment(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    o.silverRedScaled = asFloat(r.read(h.m_SilverRed) + 0.5);
    o.silverGreenScaled = asFloat(r.read(h.m_SilverGreen) + 0.5);
    o.silverBlueScaled = asFloat(r.read(h.m_SilverBlue) + 0.5);
    o.pullPushScaled = asFloat((r.read(h.m_PullPush) + 0.3) * 125.0);
    o.developScaled = asFloat(std::max(0.091, r.read(h.m_Develop)) * 1.111111111);
    o.agitate = r.read(h.m_Agitate);
    o.replenishScaled = asFloat(std::max(0.2, (1.0 - r.read(h.m_Replenish)) * 3.2));
    o.spectrumBand = asFloat(r.read(h.m_SpectrumBand));
}

void fillDiffusion(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    const double loMid = r.read(h.m_DiffuseLoMid);
    if (loMid != 1.0) {
        o.diffuseLoMidOn = 1;
        o.diffuseLoMidComplement = asFloat(1.0 - loMid);
    } else {
        o.diffuseLoMidOn = 0;
    }
    const double midHi = r.read(h.m_DiffuseMidHi) * 2.0 - 1.0;
    o.diffuseMidHiOn = midHi != 1.0 ? 1 : 0;
    // The diffusion pass feeds this to its first band whenever it runs, so it
    // must be this render's value (1.0 when neutral), never a stale one.
    o.diffuseMidHiScaled = asFloat(midHi);
}

void fillNegativeBleach(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    o.brewBleachBypass = r.read(h.m_BrewBleachBypass) ? 1 : 0;
    if (!o.brewBleachBypass) return;
    applyBleachRule(r,
                    BleachHandles{h.m_BrewCurveBleachPivot,
                                  {h.m_BrewCurveBleachRed, h.m_BrewCurveBleachGreen, h.m_BrewCurveBleachBlue}},
                    BleachFields{&o.brewCurveBleachPivotScaled,
                                 {&o.brewCurveBleachRedScaled, &o.brewCurveBleachGreenScaled,
                                  &o.brewCurveBleachBlueScaled},
                                 {&o.brewCurveBleachRedGain, &o.brewCurveBleachGreenGain,
                                  &o.brewCurveBleachBlueGain}});
}

void fillNegativeToneCurves(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    if (r.read(h.m_ToneCurves) == 0) {
        o.toneCurvesOn = 0;
        return;
    }
    applyToneCurveRule(
        r,
        ToneCurveHandles{h.m_BrewCurveShadowPivot,
                         {h.m_BrewCurveShadowRed, h.m_BrewCurveShadowGreen, h.m_BrewCurveShadowBlue},
                         {h.m_BrewCurveMidtoneRed, h.m_BrewCurveMidtoneGreen, h.m_BrewCurveMidtoneBlue},
                         h.m_BrewCurveHighlightPivot,
                         {h.m_BrewCurveHighlightRed, h.m_BrewCurveHighlightGreen, h.m_BrewCurveHighlightBlue}},
        ToneCurveFields{&o.brewCurveShadowPivotScaled,
                        {&o.brewCurveShadowRed, &o.brewCurveShadowGreen, &o.brewCurveShadowBlue},
                        {&o.brewCurveMidtoneRed, &o.brewCurveMidtoneGreen, &o.brewCurveMidtoneBlue},
                        &o.brewCurveHighlightPivotScaled,
                        {&o.brewCurveHighlightRed, &o.brewCurveHighlightGreen, &o.brewCurveHighlightBlue}});
    o.brewFilmicPivotRGain = asFloat(1.0 / (0.72 - (r.read(h.m_BrewFilmicPivotR) * 0.7 + 0.01)));
    o.brewFilmicSlopeRScaled = asFloat(r.read(h.m_BrewFilmicSlopeR) * 50.0 + 1.5);
    o.toneCurvesOn = 1;
}

void fillNegativeStage(const H& h, const ParamReader& r, TextureOptionsStruct& o) {
    fillNegativeSoftClip(h, r, o);
    fillDevelopment(h, r, o);
    fillDiffusion(h, r, o);
    o.pixelCountFactor = pixelCountFactor(o.frameWidth, o.frameHeight);
    fillColorGroups(h, r, o.saturationGroup, o.hueGroup, o.chromaGroup, o.vibranceGroup);
    fillRefineSlots(h, r, o.colorRefineOn, o.refineSlots);
    fillNegativeBleach(h, r, o);
    fillNegativeToneCurves(h, r, o);
    o.brewDminRedScaled = asFloat(r.read(h.m_BrewDminRed) * 0.125);
    o.brewDminGreenScaled = asFloat(r.read(h.m_BrewDminGreen) * 0.125);
    o.brewDminBlueScaled = asFloat(r.read(h.m_BrewDminBlue) * 0.125);
    o.brewDmaxRedScaled = asFloat(r.read(h.m_BrewDmaxRed) * 2.0);
    o.brewDmaxGreenScaled = asFloat(r.read(h.m_BrewDmaxGreen) * 2.0);
    o.brewDmaxBlueScaled = asFloat(r.read(h.m_BrewDmaxBlue) * 2.0);
    const CastSetting cast = castRule(r.read(h.m_NegCast));
    o.negCastIndex = cast.index;
    o.negCastOn = cast.on;
    o.negTintGtoMScaled = asFloat(r.read(h.m_NegTintGtoM) * 0.4);
    o.negTintRtoCScaled = asFloat(r.read(h.m_NegTintRtoC) * 0.4);
    o.negBlendComplement = asFloat(1.0 - r.read(h.m_NegBlend));
}

}  // namespace

LookSwitches readLookSwitches(const H& h, const ParamReader& r) {
    LookSwitches s;
    s.ensemblePitch = r.read(h.m_EnsemblePitch);
    s.cameraStock = r.read(h.m_CameraStock);
    s.printDisplayBypass = r.read(h.m_PrintDisplayBypass);
    s.halationBypass = r.read(h.m_HalationBypass);
    s.exposure = r.read(h.m_Exposure);
    s.pitchBypass = r.read(h.m_PitchBypass);
    s.softClips = r.read(h.m_SoftClips);
    if (s.softClips != 0)
        s.softClipNeutral = isSoftClipNeutral(r.read(h.m_CameraHighlightsCeiling),
                                              r.read(h.m_CameraShadowsCeiling));
    return s;
}

bool isNeutralLook(const LookSwitches& s) {
    return s.cameraStock == 0 && s.printDisplayBypass && s.halationBypass && s.exposure == 0.0 &&
           (s.pitchBypass || s.ensemblePitch == 3.0) && (s.softClips == 0 || s.softClipNeutral);
}

RenderPlan fillRenderOptions(const H& h, const ParamReader& r, int32_t width, int32_t height,
                             int32_t channelCount, TextureOptionsStruct& o) {
    const LookSwitches s = readLookSwitches(h, r);
    if (isNeutralLook(s)) return RenderPlan::CopySource;

    o.frameWidth = width;
    o.frameHeight = height;
    o.channelCount = channelCount;

    o.inputGamut = r.read(h.m_InputGamut);
    // A hand-edited project may hold any index: never index past a table.
    if (!isChoiceIndexValid(o.inputGamut, kInputGamutOptions) ||
        !isChoiceIndexValid(s.cameraStock, kCameraStockOptions))
        return RenderPlan::CopySource;

    if (s.exposure == 0.0) {
        o.exposureAmount = 0.0f;
    } else {
        const ExposureSetting e = exposureFor(o.inputGamut, s.exposure);
        o.exposureAmount = e.amount;
        o.exposureMode = e.mode;
    }
    fillHalation(h, r, s.halationBypass, o);
    o.hdrComp = r.read(h.m_HDRcomp) ? 1 : 0;
    fillCameraSoftClip(h, r, s, o);
    fillPitch(h, r, s, o);

    o.cameraStock = s.cameraStock;
    if (o.cameraStock != 0) fillNegativeStage(h, r, o);

    if (!fillPrintOptions(h, r, s.printDisplayBypass, o)) return RenderPlan::CopySource;

    o.negGreyMid = greyMidField(o.inputGamut);
    o.printGreyMid = o.negGreyMid;
    return RenderPlan::Process;
}

TextureOptionsStruct firstFill(const H& h, const ParamReader& r, ParamControl& c, int cudaDevice) {
    TextureOptionsStruct o;

    const int gamut = r.read(h.m_InputGamut);
    const double exposure = r.read(h.m_Exposure);
    o.inputGamut = gamut;
    if (isLinearInput(gamut)) o.hdrComp = r.read(h.m_HDRcomp) ? 1 : 0;
    const ExposureSetting e = exposureFor(gamut, exposure);
    o.exposureMode = e.mode;
    o.exposureAmount = e.amount;

    const int softClips = r.read(h.m_SoftClips);
    if (softClips == 1)
        o.softClipOn = r.read(h.m_CameraHighlightsCeiling) != 1.0 ? 1 : 0;
    else if (softClips == 2)
        o.softClipOn = r.read(h.m_CameraShadowsCeiling) != 0.0 ? 1 : 0;
    else
        o.softClipOn = 0;

    o.halationOff = r.read(h.m_HalationBypass) ? 1 : 0;
    o.pitchOff = r.read(h.m_PitchBypass) ? 1 : 0;
    o.colorRefineOn = r.read(h.m_ColorRefine) != 0 ? 1 : 0;

    o.cameraStock = r.read(h.m_CameraStock);
    if (o.cameraStock != 0) {
        const int cast = r.read(h.m_NegCast);
        if (cast == 6504) {
            o.negCastOn = 0;  // the index stays 0 until a render sets it
        } else {
            o.negCastIndex = castRule(cast).index;
            o.negCastOn = 1;
        }
        o.negTintGtoMScaled = asFloat(0.4 * r.read(h.m_NegTintGtoM));
        o.negTintRtoCScaled = asFloat(0.4 * r.read(h.m_NegTintRtoC));
        // The whole camera-negative group, so a reopened project can edit the
        // densities without re-choosing the stock (which would reset the look).
        c.show(h.m_NegCast);
        for (OFX::DoubleParam* p :
             {h.m_NegTintGtoM, h.m_NegTintRtoC, h.m_NegBlend, h.m_BrewDminRGB, h.m_BrewDminRed,
              h.m_BrewDminGreen, h.m_BrewDminBlue, h.m_BrewDmaxRGB, h.m_BrewDmaxRed, h.m_BrewDmaxGreen,
              h.m_BrewDmaxBlue})
            c.show(p);
    }

    const bool bypass = r.read(h.m_PrintDisplayBypass);
    if (bypass) {
        o.brewBleachBypass = r.read(h.m_BrewBleachBypass) ? 1 : 0;
        o.printOff = 1;
        o.printProfile = 0;
    } else if (isGammaBasedInput(gamut)) {
        c.setValue(h.m_PrintDisplayBypass, true);
        o.printOff = 1;
        o.printProfile = 0;
        o.printBleachBypass = 0;
        o.brewBleachBypass = r.read(h.m_BrewBleachBypass) ? 1 : 0;
    } else {
        o.printOff = 0;
        o.printProfile = r.read(h.m_PrintProfile);
        c.show(h.m_PrintProfile);
        if (o.printProfile != 0) {
            const int cast = r.read(h.m_PrintCast);
            if (cast == 6504) {
                o.printCastOn = 0;
            } else {
                o.printCastIndex = castRule(cast).index;
                o.printCastOn = 1;
            }
            c.show(h.m_PrintCast);
            o.printTintGtoMScaled = asFloat(0.6 * r.read(h.m_PrintTintGtoM));
            c.show(h.m_PrintTintGtoM);
            o.printTintRtoCScaled = asFloat(0.6 * r.read(h.m_PrintTintRtoC));
            c.show(h.m_PrintTintRtoC);
            o.printSaturation = asFloat(r.read(h.m_PrintSaturation));
            c.show(h.m_PrintSaturation);
            c.show(h.m_PrintBlend);
            if (r.read(h.m_BrewBleachBypass)) {
                o.brewBleachBypass = 1;
                o.printBleachBypass = 0;
            } else {
                o.printBleachBypass = r.read(h.m_PrintBleachBypass) ? 1 : 0;
                o.brewBleachBypass = 0;
            }
        } else {
            o.brewBleachBypass = r.read(h.m_BrewBleachBypass) ? 1 : 0;
        }
        for (OFX::DoubleParam* p : {h.m_PrinterBlackPointsRGB, h.m_PrinterBlackPointRed,
                                    h.m_PrinterBlackkPointGreen, h.m_PrinterBlackkPointBlue,
                                    h.m_PrinterLightsRGB, h.m_PrinterLightRed, h.m_PrinterLightGreen,
                                    h.m_PrinterLightBlue})
            c.show(p);
        o.displayGamutOutput = r.read(h.m_DisplayGamutOutput);
        c.show(h.m_DisplayGamutOutput);
    }

    o.cudaDevice = cudaDevice;

    // Starting values of the fields a render writes only while a flag is set.
    o.cameraHighlightsCeiling = o.brewHighlightCeiling = 1.0f;
    o.sopranoPitchScaled = o.mezzoSopranoPitchScaled = o.altoPitchScaled = o.tenorPitchScaled =
        o.baritonePitchScaled = o.bassPitchScaled = o.ensemblePitchScaled = 1.0f;
    o.brewDminRedScaled = o.brewDminGreenScaled = o.brewDminBlueScaled = 0.584f;
    o.brewDmaxRedScaled = o.brewDmaxGreenScaled = o.brewDmaxBlueScaled = 0.838f;
    o.silverRedScaled = o.silverGreenScaled = o.silverBlueScaled = 0.5f;
    o.pullPushScaled = 0.5f;
    o.developScaled = 0.9f;
    o.agitate = 1;
    o.replenishScaled = 1.0f;
    o.spectrumBand = 0.5f;
    o.diffuseMidHiOn = 1;
    o.diffuseLoMidComplement = 1.0f;
    o.negGreyMid = o.printGreyMid = 0.458984375f;
    o.pixelCountFactor = 864.0f;
    o.brewCurveBleachPivotScaled = 0.3f;
    o.brewCurveShadowPivotScaled = 0.669f;
    o.brewCurveShadowRed = o.brewCurveShadowGreen = o.brewCurveShadowBlue = 0.02f;
    o.brewCurveMidtoneRed = o.brewCurveMidtoneGreen = o.brewCurveMidtoneBlue = -0.093f;
    o.brewCurveHighlightPivotScaled = 0.334f;
    o.brewCurveHighlightRed = o.brewCurveHighlightGreen = o.brewCurveHighlightBlue = 0.145f;
    o.brewFilmicSlopeRScaled = 0.014f;
    o.halationBreadthScaled = 0.25f;
    o.halationSaturation = o.halationCyanRed = 1.0f;
    o.halationMagentaGreen = 0.15f;
    o.halationYellowBlue = 0.07f;
    o.halationBlendRComplement = o.halationBlendGComplement = o.halationBlendBComplement = 0.3f;
    o.printerBlackPointRedScaled = o.printerBlackPointGreenScaled = o.printerBlackPointBlueScaled = 0.141f;
    o.printerLightRedScaled = o.printerLightGreenScaled = o.printerLightBlueScaled = 0.909f;
    o.saturationGroup = firstFillSaturationGroup();
    o.hueGroup = o.chromaGroup = o.vibranceGroup = firstFillNegativeGroup();
    for (RefineSlotOptions& slot : o.refineSlots) slot = firstFillNegativeSlot();
    o.displayScale = 100.0f;
    return o;
}

}  // namespace kalthorne
