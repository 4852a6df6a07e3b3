// The parameter catalogue: every parameter of the effect, in the order the
// host lists them on the page "Controls". This list is the only place where
// a parameter's name, label, hint, default and range are written down; the
// describe code, the instance's handles and the tests all expand it.
//
// One row per parameter:
//   R(A, Kind, Name, Label, Hint, Default, Low, High, Attributes)
// - A is passed through untouched (lets a row macro reach a caller's macro).
// - Kind is Double, Int, Boolean, Choice or PushButton.
// - Name is the C++ identifier and, stringified, the key the host stores the
//   value under. Push buttons take no handle and carry their key as a string
//   literal instead, because "About Brew" holds a blank.
// - Default, Low and High are written exactly as the values are meant:
//   later code compares against exact values such as 0.5, 0.4 and 6504.
//   Booleans, choices and buttons have no range (0, 0).
// - Attributes is an expression on `hidden` or `shown` (param_catalogue.h):
//   digits, increment, animates, evaluate-on-change, the attribute order and,
//   for choices, the option list.
//
// Texts are stored letter for letter as users and stored projects know
// them, misspellings and doubled blanks included.
#pragma once

// ---------------------------------------------------------------------------
// Colour-correction families (Saturation, Hue, Chroma, Vibrance). The negative
// and the print side share every text; the print side is prefixed "Print".

#define KP_TEXT_Sat_COLOURS "Saturation compresssion or expansion. To Bypass, set to Default : 0.5"
#define KP_TEXT_Sat_STRENGTH "R-M-B-C-G-Y Saturation compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Sat_CUSTOM_HUE "Custom-One Saturation Hue Center, in degrees"
#define KP_TEXT_Sat_CUSTOM_WIDTH "Custom-One Saturation Breadth. Narrow to Wide range, in degrees. Default : 60"
#define KP_TEXT_Sat_CUSTOM_STRENGTH "Custom-One Saturation compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Sat_ZONE_LABEL "BrewSatZoneLabel"
#define KP_TEXT_Sat_ZONE_HINT "BrewSatZoneHint"
#define KP_TEXT_Sat_LOW_RANGE "Saturation low Range. Darker(0) to lighter(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Sat_LOW "Saturation low-Range Intensity Level. To bypass the Lower Intensities Range, set to 0.5"
#define KP_TEXT_Sat_HIGH_RANGE "Saturation high Range. Lighter(0) to darker(1) inclusion range. Default : 0.5"
#define KP_TEXT_Sat_HIGH "Saturation high Range Intensity Level. To bypass the Upper Intensities Range, set to 0.5"

#define KP_TEXT_Hue_COLOURS "Hue angle. To Bypass, set to Default : 0.5"
#define KP_TEXT_Hue_STRENGTH "R-M-B-C-G-Y Hue Strengths. Default : 0.5"
#define KP_TEXT_Hue_CUSTOM_HUE "Custom-One Hue Center, in degrees"
#define KP_TEXT_Hue_CUSTOM_WIDTH "Custom-One Hue angle Breadth. Narrow to Wide range, in degrees. Default : 60"
#define KP_TEXT_Hue_CUSTOM_STRENGTH "Custom-One Hue Strength. Default : 0.5"
#define KP_TEXT_Hue_ZONE_LABEL "BrewHueZoneLabel"
#define KP_TEXT_Hue_ZONE_HINT "BrewHueZoneHint"
#define KP_TEXT_Hue_LOW_RANGE "Hue low Range. Darker(0) to lighter(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Hue_LOW "Hue low Range Intensity Level. To bypass the lower intensities Level, set to Default : 0.5"
#define KP_TEXT_Hue_HIGH_RANGE "Hue high Range. Lighter(0) to darker(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Hue_HIGH "Hue high Range Intensity Level. To bypass the Upper Intensities Range, set default : 0.5"

#define KP_TEXT_Chr_COLOURS "Chroma compresssion or expansion. To Bypass, set to Default : 0.5"
#define KP_TEXT_Chr_STRENGTH "R-M-B-C-G-Y Chroma compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Chr_CUSTOM_HUE "Custom-One Chroma angle Center, in degrees"
#define KP_TEXT_Chr_CUSTOM_WIDTH "Custom-One Chroma Breadth. Narrow to Wide range, in degrees. Default : 60"
#define KP_TEXT_Chr_CUSTOM_STRENGTH "Custom-One Chroma compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Chr_ZONE_LABEL "BrewChrZoneLabel"
#define KP_TEXT_Chr_ZONE_HINT "BrewChrZoneHint"
#define KP_TEXT_Chr_LOW_RANGE "Chroma low range. Darker(0) to lighter(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Chr_LOW "Chroma low Range Intensity Level. To bypass the Lower Intensities Range, set to Default : 0.5"
#define KP_TEXT_Chr_HIGH_RANGE "Chroma high Range. Lighter(0) to darker(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Chr_HIGH "Chroma high Range Intensity Level. To bypass the Upper Intensities Range, set to Default : 0.5"

#define KP_TEXT_Vib_COLOURS "Vibrance compresssion or expansion. To Bypass, set to Default : 0.5"
#define KP_TEXT_Vib_STRENGTH "R-M-B-C-G-Y Vibrance compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Vib_CUSTOM_HUE "Custom-One Vibrance angle Center, in degrees"
#define KP_TEXT_Vib_CUSTOM_WIDTH "Custom-One Vibrance Breadth. Narrow to Wide range, in degrees. Default : 60"
#define KP_TEXT_Vib_CUSTOM_STRENGTH "Custom-One Vibrance compresssion or expansion Strength. Default : 0.5"
#define KP_TEXT_Vib_ZONE_LABEL "BrewVibZoneeLabel"
#define KP_TEXT_Vib_ZONE_HINT "BrewVibZoneHint"
#define KP_TEXT_Vib_LOW_RANGE "Vibrance low range. Darker(0) to lighter(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Vib_LOW "Vibrance low Range Intensity Level. To bypass the Lower Intensities Range, set to Default : 0.5"
#define KP_TEXT_Vib_HIGH_RANGE "Vibrance high Range. Lighter(0) to darker(1) inclusion Range. Default : 0.5"
#define KP_TEXT_Vib_HIGH "Vibrance high Range Intensity Level. To bypass the Upper Intensities Range, set to Default : 0.5"

// A colour member's hint is its colour word followed by the family's text.
#define KP_COLOUR(R, A, Stem, Colour, Text, Attr) \
  R(A, Double, Stem##Colour, #Colour, #Colour " " Text, 0.5, 0.0, 1.0, Attr)

// The ten members every family has. T names the family's texts (KP_TEXT_Sat...).
#define KP_FAMILY_MEMBERS(R, A, Stem, T, MagentaAttr, DegreeAttr) \
  KP_COLOUR(R, A, Stem, Red, T##_COLOURS, hidden) \
  KP_COLOUR(R, A, Stem, Magenta, T##_COLOURS, MagentaAttr) \
  KP_COLOUR(R, A, Stem, Blue, T##_COLOURS, hidden) \
  KP_COLOUR(R, A, Stem, Cyan, T##_COLOURS, hidden) \
  KP_COLOUR(R, A, Stem, Green, T##_COLOURS, hidden) \
  KP_COLOUR(R, A, Stem, Yellow, T##_COLOURS, hidden) \
  R(A, Double, Stem##Strength, "Strength", T##_STRENGTH, 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##CustomHue, "Custom Center", T##_CUSTOM_HUE, 180.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##CustomWidth, "Custom Breadth", T##_CUSTOM_WIDTH, 60.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##CustomStrength, "Custom Strength", T##_CUSTOM_STRENGTH, 0.5, 0.0, 1.0, hidden)

// The four doubles of a family's intensity zone, named after the short word.
#define KP_FAMILY_ZONE(R, A, Stem, T) \
  R(A, Double, Stem##ZoneLowRange, "Range", T##_LOW_RANGE, 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneLow, "Level", T##_LOW, 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneHighRange, "Range", T##_HIGH_RANGE, 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneHigh, "Level", T##_HIGH, 0.5, 0.0, 1.0, hidden)

// Negative family: members, its own zone selector, zone doubles.
#define KP_NEG_FAMILY(R, A, Family, Short, MagentaAttr) \
  KP_FAMILY_MEMBERS(R, A, Family, KP_TEXT_##Short, MagentaAttr, hidden) \
  R(A, Int, Short##Zone, KP_TEXT_##Short##_ZONE_LABEL, KP_TEXT_##Short##_ZONE_HINT, 0, 0, 2, hidden) \
  KP_FAMILY_ZONE(R, A, Short, KP_TEXT_##Short)

// Print family: no selector of its own (PrintSat ... PrintVibZone stand
// apart), degree-valued members step by 0.1.
#define KP_PRINT_FAMILY(R, A, Family, Short) \
  KP_FAMILY_MEMBERS(R, A, Print##Family, KP_TEXT_##Short, hidden, hidden.increment(0.1)) \
  KP_FAMILY_ZONE(R, A, Print##Short, KP_TEXT_##Short)

// ---------------------------------------------------------------------------
// Refine slots: the custom hue bands Custom-Two onwards. The slot word
// appears in the name and in the "Custom-<Word>" of the quality hints.

#define KP_SLOT_QUALITIES(R, A, Stem, Word, DegreeAttr) \
  R(A, Double, Stem##SatHue, "Saturation Center", "Custom-" #Word " Saturation Hue Center, in degrees", 180.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##SatWidth, "Saturation Breadth", "Custom-" #Word " Saturation Breadth. Narrow to Wide range, in degrees. Default : 60", 60.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##SatStrength, "Saturation Strength", "Custom-" #Word " Saturation compression or expansion Strength. Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##HueHue, "Hue Center", "Custom-" #Word " Hue Center, in degrees", 180.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##HueWidth, "Hue Breadth", "Custom-" #Word " Hue Breadth. Narrow to Wide range, in degrees. Default : 60", 60.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##HueStrength, "Hue Strength", "Custom-" #Word " Hue Strength. Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ChrHue, "Chroma Center", "Custom-" #Word " Chroma Center, in degrees", 180.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##ChrWidth, "Chroma Breadth", "Custom-" #Word " Chroma Breadth. Narrow to Wide range, in degrees. Default : 60", 60.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##ChrStrength, "Chroma Strength", "Custom-" #Word " Chroma Strength. Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##VibHue, "Vibrance Center", "Custom-" #Word " Vibrance Center, in degrees", 180.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##VibWidth, "Vibrance Breadth", "Custom-" #Word " Vibrance Breadth. Narrow to Wide range, in degrees. Default : 60", 60.0, 0.0, 360.0, DegreeAttr) \
  R(A, Double, Stem##VibStrength, "Vibrance Strength", "Custom-" #Word " Vibrance Strength. Default : 0.5", 0.5, 0.0, 1.0, hidden)

#define KP_SLOT_ZONE(R, A, Stem) \
  R(A, Double, Stem##ZoneLowRange, "Range", "Low Intensity Inclusion Range - Darkest(0) to Lightest(1). Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneLow, "Level", "Low Range Intensity Level. To bypass the Lower Intensities Range, set to Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneHighRange, "Range", "High Intensity Inclusion Range - Lightest(0) to Darkest(1). Default : 0.5", 0.5, 0.0, 1.0, hidden) \
  R(A, Double, Stem##ZoneHigh, "Level", "High Range Intensity Level. To bypass the Upper Intensities Range, set to Default : 0.5", 0.5, 0.0, 1.0, hidden)

// Negative slot: qualities, the slot's zone selector, zone doubles.
#define KP_NEG_SLOT(R, A, Word) \
  KP_SLOT_QUALITIES(R, A, Refine##Word, Word, hidden) \
  R(A, Int, Refine##Word##Zone, "BrewRefine" #Word "ZoneLabel", "BrewRefine" #Word "ZoneHint", 0, 0, 2, hidden) \
  KP_SLOT_ZONE(R, A, Refine##Word)

// Print slot: its two selectors stand together before the first slot.
#define KP_PRINT_SLOT(R, A, Word) \
  KP_SLOT_QUALITIES(R, A, PrintRefine##Word, Word, hidden.increment(0.1)) \
  KP_SLOT_ZONE(R, A, PrintRefine##Word)

#define KP_PRINT_REFINE_SELECTOR(R, A, Word) \
  R(A, Int, PrintRefine##Word, "PrintRefine" #Word, "Print Custom-" #Word, 1, 0, 10, hidden.hiddenLast())

#define KP_PRINT_ZONE_SELECTOR(R, A, Word) \
  R(A, Int, PrintRefine##Word##Zone, "PrintRefine" #Word "Zone", "Print Custom-" #Word "Zone", 0, 0, 2, hidden.hiddenLast())

#define KP_NEG_SLOT_WORDS(M, R, A) \
  M(R, A, Two) M(R, A, Three) M(R, A, Four) M(R, A, Five) M(R, A, Six) M(R, A, Seven) \
  M(R, A, Eight) M(R, A, Nine) M(R, A, Ten) M(R, A, Eleven) M(R, A, Twelve)

#define KP_PRINT_SLOT_WORDS(M, R, A) \
  M(R, A, Two) M(R, A, Three) M(R, A, Four) M(R, A, Five) M(R, A, Six) M(R, A, Seven)

// ---------------------------------------------------------------------------
// The catalogue, in definition order.

#define KALTHORNE_PARAM_TABLE(R, A) \
  KP_INPUT_PARAMS(R, A) \
  KP_NEG_COLOUR_PARAMS(R, A) \
  KP_NEG_REFINE_PARAMS(R, A) \
  KP_NEG_DEVELOP_PARAMS(R, A) \
  KP_PRINT_PARAMS(R, A) \
  KP_PRINT_COLOUR_PARAMS(R, A) \
  KP_PRINT_CURVE_PARAMS(R, A)

// Input, exposure, halation, camera stock and negative cast, input
// conditioning and texture pitch.
#define KP_INPUT_PARAMS(R, A) \
  R(A, Choice, InputGamut, "Colorspace & Gamut", \
    "Input Colorspace & Gamut for Brew's Node. If 'Print and Display Bypass' is selected, then Node's Output Colorspace & Gamut = Input", \
    11, 0, 0, shown.options(kInputGamutOptions)) \
  R(A, Double, Exposure, "Exposure", \
    "Input Clip's | Camera Exposure. To Bypass, set to Default : 0.0", \
    0.0, -1.0, 1.0, shown.digits(5).increment(0.001)) \
  R(A, Boolean, HalationBypass, "Halation Bypass", \
    "Bypass Halation", \
    true, 0, 0, hidden.animates(true)) \
  R(A, Double, HalationBreadth, "Breadth", \
    "Reduce or Expand the Halation Field.Default : 0.25", \
    0.25, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationSaturation, "Saturation", \
    "Tempered to Full. Default : 1.0", \
    1.0, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationCyanRed, "C -> R", \
    "Amount of Specular Highlights Reflecting off carbon-backed Remjet that reach the Neg's Cyan Dyes. Default : 1.0", \
    1.0, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationMagentaGreen, "M -> G", \
    "Amount of Specular Highlights Reflecting off carbon-backed Remjet that reach the Neg's Magenta Dyes. Default : 0.15", \
    0.15, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationYellowBlue, "Y -> B", \
    "Amount of Specular Highlights Reflecting off carbon-backed Remjet that reach the Neg's Yellow Dyes. Default : 0.07", \
    0.07, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationBlendR, "Blend R", \
    "From Full Effect (0.0) to No Effect (1.0). Default : 0.3", \
    0.3, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationBlendG, "Blend G", \
    "From Full Effect (0.0) to No Effect (1.0). Default : 0.3", \
    0.3, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Double, HalationBlendB, "Blend B", \
    "From Full Effect (0.0) to No Effect (1.0). Default : 0.3", \
    0.3, 0.0, 1.0, hidden.increment(0.001)) \
  R(A, Choice, CameraStock, "Camera Stock", \
    "Cine Camera Film Stock Profiles", \
    0, 0, 0, shown.options(kCameraStockOptions)) \
  R(A, Int, NegCast, "Cast", \
    "Temperature, in degrees Kelvin (K). Warmer (3000 K) to Cooler (14000 K). To Bypass, set to Default : 6504 K (D65 Daylight)", \
    6504, 3000, 14000, hidden) \
  R(A, Double, NegTintGtoM, "Tint G -> M", \
    "Color Tint. From Green to Magenta. To Bypass, set to Default : 0.0", \
    0.0, -1.0, 1.0, hidden.digits(5).increment(0.001)) \
  R(A, Double, NegTintRtoC, "Tint R -> C", \
    "Color Tint. From Red to Cyan. To Bypass, set to Default : 0.0", \
    0.0, -1.0, 1.0, hidden.digits(5).increment(0.001)) \
  R(A, Boolean, ProcessLinear, "Linear-Gamut Compute", \
    " Off (Default) : Process in Input Clip's native Gamut (Log, Gamma, Linear, HybridLogGamma). On : When Resizing, Textures, Details, Pitches, and SoftClips, ALL input Clips will be forced to process in Scene Linear | VFX Gamut (Gamma 1.0)", \
    false, 0, 0, hidden.hiddenLast()) \
  R(A, Boolean, HDRcomp, "HDR Compensation", \
    " With Linear Input Clips, restrict 32-bit float data to 0.0 - 1.0 range. Uses compression to suppress over-shoots in Speculars and Highlights (and under-shoots in Shadows) when applying Resize, Texture, Detail, Pitch, and Grain to Linear Gamut Clips", \
    false, 0, 0, hidden.hiddenLast()) \
  R(A, Int, SoftClips, "Soft Clips", \
    "Soft Clipping, Hard Clipping, or no Clipping. Use to restrict Input Clip's data range", \
    0, 0, 2, hidden) \
  R(A, Double, CameraHighlightsCeiling, "Ceiling Threshold", \
    "Shoulder compression roll-off curve resides between Ceiling and 1.0. For hard Clipping, set to 0.9999. To bypass Compression and Clipping, set to 1.0", \
    1.0, -1.0, 1.0, hidden) \
  R(A, Double, CameraHighlightsRecover, "Recover Roll-off", \
    "Shape the Separation and Detail response of Shoulder Roll-off Recovery. To Bypass, set to Default : 0.0", \
    0.0, 0.0, 1.0, hidden) \
  R(A, Double, CameraShadowsCeiling, "Floor Threshold", \
    "Toe Expansion Roll-off Threshold resides between its Floor and 0.001. For hard clipping, set to 0.001. To pass values less than 0.001 - including negative values - set to Default : 0.0", \
    0.0, 0.0, 1.0, hidden) \
  R(A, Double, CameraShadowsRecover, "Recover Roll-off", \
    "Shape the Separation and Detail response of Toe Roll-off Recovery. To Bypass, set to Default : 0.0", \
    0.0, 0.0, 1.0, hidden) \
  R(A, Boolean, PitchBypass, "Pitch Bypass", \
    " Bypass Texture Pitch", \
    true, 0, 0, hidden.hiddenLast()) \
  R(A, Double, SopranoPitch, "Soprano", \
    " Narrowest Texture Band (1 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, MezzoSopranoPitch, "Mezzo-Soprano", \
    " Narrow Texture Band (2 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, AltoPitch, "Alto", \
    " Medium Texture Band (4 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, TenorPitch, "Tenor", \
    " Medium-Wide Texture Band (8 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, BaritonePitch, "Baritone", \
    " Wide Texture Band (16 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, BassPitch, "Bass", \
    " Widest Texture Band (32 Pixel radius). Accentuate Textures : 3.01 - 10. Mask Textures : 0 - 2.99. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden) \
  R(A, Double, EnsemblePitch, "Ensemble", \
    " Overall Strength of Texture Emphasis | De-emphasis. To Bypass, set to Default : 3.0", \
    3.0, 0.0, 10.0, hidden)

// Negative colour correction: the switch, then the four families.
#define KP_NEG_COLOUR_PARAMS(R, A) \
  R(A, Int, ColorCorrection, "ColorCorrectionLabel", "ColorCorrectionHint", 0, 0, 4, hidden) \
  KP_NEG_FAMILY(R, A, Saturation, Sat, hidden.digits(5).increment(0.001)) \
  KP_NEG_FAMILY(R, A, Hue, Hue, hidden) \
  KP_NEG_FAMILY(R, A, Chroma, Chr, hidden) \
  KP_NEG_FAMILY(R, A, Vibrance, Vib, hidden)

// Negative refine slots Two to Twelve, switched together by ColorRefine.
#define KP_NEG_REFINE_PARAMS(R, A) \
  R(A, Int, ColorRefine, "BrewRefineLabel", "brewRefineHint", 0, 0, 11, hidden) \
  KP_NEG_SLOT_WORDS(KP_NEG_SLOT, R, A)

// Negative soft clip, tone curves, development and densities.
#define KP_NEG_DEVELOP_PARAMS(R, A) \
  R(A, Double, BrewHighlightCeiling, "SoftClip Ceiling", \
    "Shoulder Compression Threshold for Highlights. Compression Roll-off resides between this Threshold and 0.999. For Hard Clipping, set to : 0.999. To pass values above 0.999, set to Default : 1.0", \
    1.0, -1, 1, hidden) \
  R(A, Double, BrewHighlightCompress, "Recover Roll-off", \
    "Shape the Separation and Detail response of Shoulder Roll-off Recovery. To Bypass, set to Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewShadowFloor, "SoftClip Floor", \
    "Toe Expansion Threshold for Shadows. Expansion Roll-off resides between this Threshold and 0.001. For hard clipping, set to 0.001. To pass values below 0.001, set to Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewShadowExpand, "Recover Roll-off", \
    "Shape the Separation and Detail response of Toe Roll-off Recovery. To Bypass, set to Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Int, ToneCurves, "BrewCurvesLabel", \
    "brewCurvesHint", \
    0, 0, 5, hidden) \
  R(A, Double, BrewCurveBleachPivot, "Bleach Pivot", \
    "Bleach Silver Retention Threshold. Lowering Pivot increases Silver Retention. Raising Pivot reduces Silver Retention. Default : Changes with Camera Stock", \
    0.3, 0, 1, hidden) \
  R(A, Double, BrewCurveBleachRed, "Bleach R", \
    "Red Lower to higher Silver Retention. Default : Changes with Camera Stock", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewCurveBleachGreen, "Bleach G", \
    "Green Lower to higher Silver Retention. Default : Changes with Camera Stock", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewCurveBleachBlue, "Bleach B", \
    "Blue Lower to higher Silver Retention. Default : Changes with Camera Stock", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewCurveShadowPivot, "Toe Pivot", \
    "Point at which Toe Roll-off (compression) - or roll-up (expansion) - begins. Default : 0.5", \
    0.669, 0, 1, hidden) \
  R(A, Double, BrewCurveShadowRed, "Toe R", \
    "Toe Red Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, BrewCurveShadowGreen, "Toe G", \
    "Toe Green Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, BrewCurveShadowBlue, "Toe B", \
    "Toe Blue Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, BrewCurveMidtoneRed, "Knee R", \
    "Red Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden.digits(5)) \
  R(A, Double, BrewCurveMidtoneGreen, "Knee G", \
    "Green Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden) \
  R(A, Double, BrewCurveMidtoneBlue, "Knee B", \
    "Blue Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden) \
  R(A, Double, BrewCurveHighlightPivot, "Pivot", \
    "Point at which Shoulder Roll-off (compression) - or roll-up (expansion) - begins. Default : 0.5", \
    0.334, 0, 1, hidden) \
  R(A, Double, BrewCurveHighlightRed, "Shoulder R", \
    "Red Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, Double, BrewCurveHighlightGreen, "Shoulder G", \
    "Green Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, Double, BrewCurveHighlightBlue, "Shoulder B", \
    "Blue Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, Double, BrewFilmicPivotR, "Filmic Contrast", \
    "Filmic Tone curve Contrast. Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewFilmicSlopeR, "Filmic Slope", \
    "Filmic Tone curve  Slope. Default : 0.014", \
    0.014, 0, 1, hidden) \
  R(A, Double, SilverRed, "Silver R", \
    "Red Silver Halide Spectral Sensitivity. Weak (0) to Strong (1). For Regular Sensitivity, set to Default : 0.5", \
    0.5, 0, 1, hidden) \
  R(A, Double, SilverGreen, "Silver G", \
    "Green Silver Halide Spectral Sensitivity. Weak (0) to Strong (1). For Regular Sensitivity, set to Default : 0.5", \
    0.5, 0, 1, hidden) \
  R(A, Double, SilverBlue, "Silver B", \
    "Blue SilveBr Halide Spectral Sensitivity. Weak (0) to Strong (1). For Regular Sensitivity, set to Default : 0.5", \
    0.5, 0, 1, hidden) \
  R(A, Boolean, BrewBleachBypass, "BleachBypassLabel", \
    "BleachBypasssHint", \
    false, 0, 0, hidden.hiddenFirst()) \
  R(A, Double, Develop, "Developer", \
    "Developer Concentrate. To Dilute Developer Concentration, reduce level. For Regular Developer Concentration, set to Default : 0.9", \
    0.9, 0, 1, hidden) \
  R(A, Double, PullPush, "Pull->Push", \
    "Pull (0) reduces contrast by simulating shorter Development time for over-exposed camera stocks, Push (1) increases contrast by simulating extended Development time for under-exposed camera stocks. For Regular | Unforced Development, Set to Default : 0.5", \
    0.5, 0, 1, hidden) \
  R(A, Int, Agitate, "Agitation", \
    "Develop Cycle Agitation. Under Agitate (1), Regular Agitate (3), Over Agitate (5). For Regular Agitation Cycle, Set to Default : 3", \
    3, 1, 5, hidden) \
  R(A, Double, Replenish, "Replenisher", \
    "Developer Replenisher. From Restricted Replenisher flow (0), to Regular Replenisher flow (1). For most pronounced Spectra Diffusion, set to lowest value", \
    1.0, 0, 1, hidden) \
  R(A, Double, SpectrumBand, "Diffuse Spectra", \
    "Replenisher-depraved Tunable Spectra Diffusion. 0.0 -> 0.5 Correlates to Low->Mid Spectral densities. 0.501 -> 1.0 Correlates to Mid->High Spectral densities. Only active when Low->Mid and/or Mid->High are in 0->0.999 range. Default : 0.5", \
    0.5, 0, 1, hidden) \
  R(A, Double, DiffuseLoMid, "Low -> Mid Spectrum", \
    "Lows to Mids Replenisher-depraved Spectral Diffusion. Most (0) to Least (1.0) Diffusion. To Bypass, set to Default : 1.0", \
    1.0, 0, 1, hidden) \
  R(A, Double, DiffuseMidHi, "Mid -> High Spectrum", \
    "Mids to Highs Replenisher-depraved Spectral Diffusion. Most (0) to Least (1.0) Diffusion. To Bypass, set to Default : 1.0", \
    1.0, 0, 1, hidden) \
  R(A, Double, NegBlend, "Color Blend", \
    "Full Camera Stock Color-Correction (0.0), to No Camera Stock Color-Correction (1.0). Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Double, BrewDminRed, "Dmin R", \
    "Film element's Minimum Red Density. Default : Changes with Camera Stock", \
    0.584, -1, 1, hidden) \
  R(A, Double, BrewDminGreen, "Dmin G", \
    "Film element's Minimum Green Density. Default : Changes with Camera Stock", \
    0.584, -1, 1, hidden) \
  R(A, Double, BrewDminBlue, "Dmin B", \
    "Film element's Minimum Blue Density. Default : Changes with Camera Stock", \
    0.584, -1, 1, hidden) \
  R(A, Double, BrewDminRGB, "Dmin RGB", \
    "Film element's Minimum RGB Density. Default : Changes with Camera Stock", \
    0.584, -1, 1, hidden) \
  R(A, Double, BrewDmaxRed, "Dmax R", \
    "Film element's Maximum Red Density. Default : Changes with Camera Stock", \
    0.838, -1, 1, hidden) \
  R(A, Double, BrewDmaxGreen, "Dmax G", \
    "Film element's Maximum Green Density. Default : Changes with Camera Stock", \
    0.838, -1, 1, hidden) \
  R(A, Double, BrewDmaxBlue, "Dmax B", \
    "Film element's Maximum Blue Density. Default : Changes with Camera Stock", \
    0.838, -1, 1, hidden.increment(0.001)) \
  R(A, Double, BrewDmaxRGB, "Dmax RGB", \
    "Film element's Maximum RGB Density. Default : Changes with Camera Stock", \
    0.838, -1, 1, hidden)

// Print and display: bypass, print stock, print balance, bleach and
// filmic curve, display encoding, printer points, print family selectors.
#define KP_PRINT_PARAMS(R, A) \
  R(A, Boolean, PrintDisplayBypass, "Print and Display Bypass", \
    " Bypass Cine Print Film Stock & Display Output Profiles. By design, Print & Display options are Disabled for all Gamma-based Clip inputs", \
    true, 0, 0, shown.animates(true)) \
  R(A, Choice, PrintProfile, "Print Stock", \
    " Cine Print Film Stock Profiles", \
    1, 0, 0, hidden.options(kPrintProfileOptions)) \
  R(A, Int, PrintCast, "Cast", \
    "Print Temperature, in degrees Kelvin (K). Warmer (3000 K) to Cooler (14000 K). To Bypass, set to Default : 6504 K (D65 Daylight)", \
    6504, 3000, 14000, hidden) \
  R(A, Double, PrintTintGtoM, "Tint G -> M", \
    "Print Tint. From Green to Magenta. To Bypass, set to Default : 0.0", \
    0.0, -1, 1, hidden.digits(5).increment(0.001)) \
  R(A, Double, PrintTintRtoC, "Tint R -> C", \
    "Print Tint. From Red to Cyan. To Bypass, set to Default : 0.0", \
    0.0, -1, 1, hidden.digits(5).increment(0.001)) \
  R(A, Double, PrintSaturation, "Saturation", \
    "Print Saturation. To Bypass, set to Default : 1.0", \
    1.0, 0, 1, hidden.increment(0.001)) \
  R(A, Double, PrintBlend, "Color Blend", \
    "Full Print Stock Color-Correction (0.0), to No Print Stock Color-Correction (1.0). Default : 0.0", \
    0.0, 0, 1, hidden.increment(0.001).incrementBeforeRange().animates(true)) \
  R(A, Boolean, PrintBleachBypass, "BleachBypassLabel", \
    "BleachBypassHint", \
    false, 0, 0, hidden.hiddenFirst()) \
  R(A, Double, PrintBleachPivot, "Bleach Pivot", \
    "Bleach Silver Retention Threshold. Lowering Pivot increases Silver Retention. Raising Pivot reduces Silver Retention. Default : Changes with Print Stock", \
    0.3, 0, 1, hidden) \
  R(A, Double, PrintBleachRed, "Bleach R", \
    "Red Lower to higher Silver Retention. Default : Changes with Print Stock", \
    0.0, 0, 1, hidden.increment(0.001)) \
  R(A, Double, PrintBleachGreen, "Bleach G", \
    "Green Lower to higher Silver Retention. Default : Changes with Print Stock", \
    0.0, 0, 1, hidden) \
  R(A, Double, PrintBleachBlue, "Bleach B", \
    "Blue Lower to higher Silver Retention. Default : Changes with Print Stock", \
    0.0, 0, 1, hidden) \
  R(A, Double, PrintFilmicPivotR, "Filmic Contrast", \
    "Film Print Filmic Contrast. Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Double, PrintFilmicSlopeR, "Filmic Slope", \
    "Film Print Filmic Slope. Default : 0.0", \
    0.0, 0, 1, hidden) \
  R(A, Choice, DisplayGamutOutput, "Display Gamut", \
    " Display Colorspace & Gamut", \
    0, 0, 0, hidden.options(kDisplayGamutOutputOptions)) \
  R(A, Double, PrinterBlackPointRed, "Black Point R", \
    "Red Black Point on Film Print. Default : Changes with Print Stock", \
    0.141, -1, 1, hidden) \
  R(A, Double, PrinterBlackkPointGreen, "Black Point G", \
    "Green Black Point on Film Print. Default : Changes with Print Stock", \
    0.141, -1, 1, hidden) \
  R(A, Double, PrinterBlackkPointBlue, "Black Point B", \
    "Blue Black Point on Film Print. Default : Changes with Print Stock", \
    0.141, -1, 1, hidden) \
  R(A, Double, PrinterBlackPointsRGB, "Black Point RGB", \
    "RGB Black Point on Film Print. Default : Changes with Print Stock", \
    0.141, -1, 1, hidden) \
  R(A, Double, PrinterLightRed, "White Point R", \
    "Red White Point on Film Print. Dark (0.0) to Light (1.0). Default : Changes with Print Stock", \
    0.909, 0, 1, hidden) \
  R(A, Double, PrinterLightGreen, "White Point G", \
    "Green White Point on Film Print. Dark (0.0) to Light (1.0). Default : Changes with Print Stock", \
    0.909, 0, 1, hidden) \
  R(A, Double, PrinterLightBlue, "White Point B", \
    "Blue White Point on Film Print. Dark (0.0) to Light (1.0). Default : Changes with Print Stock", \
    0.909, 0, 1, hidden) \
  R(A, Double, PrinterLightsRGB, "White Point RGB", \
    "RGB White Point on Film Print. Dark (0.0) to Light (1.0). Default : Changes with Print Stock", \
    0.909, 0, 1, hidden) \
  R(A, Int, PrintSat, "PrintSat", \
    "Print Sat", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintHue, "PrintHue", \
    "Print Hue", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintChr, "PrintChr", \
    "Print Chr", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintVib, "PrintVib", \
    "Print Vib", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintSatZone, "PrintSatZone", \
    "Print Sat Zone", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintHueZone, "PrintHueZone", \
    "Print Hue Zone", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintChrZone, "PrintChrZone", \
    "Print Chr Zone", \
    0, 0, 10, hidden.hiddenLast()) \
  R(A, Int, PrintVibZone, "PrintVibZone", \
    "Print Vib Zone", \
    0, 0, 10, hidden.hiddenLast())

// Print colour families, then all twelve print slot selectors, then the
// print refine slots Two to Seven.
#define KP_PRINT_COLOUR_PARAMS(R, A) \
  KP_PRINT_FAMILY(R, A, Saturation, Sat) \
  KP_PRINT_FAMILY(R, A, Hue, Hue) \
  KP_PRINT_FAMILY(R, A, Chroma, Chr) \
  KP_PRINT_FAMILY(R, A, Vibrance, Vib) \
  KP_PRINT_SLOT_WORDS(KP_PRINT_REFINE_SELECTOR, R, A) \
  KP_PRINT_SLOT_WORDS(KP_PRINT_ZONE_SELECTOR, R, A) \
  KP_PRINT_SLOT_WORDS(KP_PRINT_SLOT, R, A)

// Print gamma and tone curve, the two buttons, and the internal flag that
// the source-clip change handling uses (no label, no hint, never shown).
#define KP_PRINT_CURVE_PARAMS(R, A) \
  R(A, Double, PrintGammaPivot, "Gamma Pivot", \
    "Print Gamma Compression or expansion Threshold. Values below Pivot compress Gamma, values above Pivot expand Gamma. Default : 0.18", \
    0.18, 0, 1, hidden) \
  R(A, Double, PrintGammaRed, "Gamma R", \
    "Red Print Gamma compression or expansion. To Bypass, set to Default 0.4", \
    0.4, 0, 1, hidden) \
  R(A, Double, PrintGammaGreen, "Gamma G", \
    "Green Print Gamma compression or expansion. To Bypass, set to Default 0.4", \
    0.4, 0, 1, hidden) \
  R(A, Double, PrintGammaBlue, "Gamma B", \
    "Blue Print Gamma compression or expansion. To Bypass, set to Default 0.4", \
    0.4, 0, 1, hidden) \
  R(A, Double, PrintCurveShadowPivot, "Toe Pivot", \
    "Point at which Toe Roll-off (compression) - or roll-up (expansion) - begins. Default : 0.5", \
    0.669, 0, 1, hidden) \
  R(A, Double, PrintCurveShadowRed, "Toe R", \
    "Toe Red Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveShadowGreen, "Toe G", \
    "Toe Green Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveShadowBlue, "Toe B", \
    "Toe Blue Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.02, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveMidtoneRed, "Knee R", \
    "Red Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveMidtoneGreen, "Knee G", \
    "Green Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveMidtoneBlue, "Knee B", \
    "Blue Knee compression or expansion. To Bypass, set to Default : 0.0", \
    -0.093, -0.5, 0.5, hidden) \
  R(A, Double, PrintCurveHighlightPivot, "Pivot", \
    "Point at which Shoulder Roll-off (compression) - or roll-up (expansion) - begins. Default : 0.5", \
    0.334, 0, 1, hidden) \
  R(A, Double, PrintCurveHighlightRed, "Shoulder R", \
    "Red Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, Double, PrintCurveHighlightGreen, "Shoulder G", \
    "Green Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, Double, PrintCurveHighlightBlue, "Shoulder B", \
    "Blue Shoulder Roll-off (compress), or roll-up (expand). To Bypass, set to Default : 0.0", \
    0.145, -1, 1, hidden) \
  R(A, PushButton, "LoadLooks", "Load Look", \
    " Load Kalthorne | Brew Look profile from file", \
    0, 0, 0, shown) \
  R(A, PushButton, "About Brew", "Brew Info", \
    " Brew product information", \
    0, 0, 0, shown) \
  R(A, Boolean, SrcClipChanged, nullptr, nullptr, \
    false, 0, 0, hidden.hiddenLast().animates(false).evaluateOnChange(false))
