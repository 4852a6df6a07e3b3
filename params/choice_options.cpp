// The option lists of the four choice parameters, in index order. The
// index is what the host stores and what every reader compares against, so
// an option is never inserted, removed or moved. Help texts are appended to
// the choice's hint, one line per option, and are kept letter for letter
// (most begin with a blank, which shows as two blanks after the colon).
#include "param_catalogue.h"

namespace kalthorne {
namespace params {

// Options 0, 4, 5 and 30 are the linear inputs; 1, 8, 27, 29, 31, 32, 33,
// 34, 42, 43, 44 and 46 the gamma-based ones, which force the print and
// display bypass.
const ChoiceOption kInputGamutOptions[49] = {
    {"Linear Rec.709|sRGB", " Scene Linear | VFX Gamut, Gamma 1.0, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 0
    {"Scene Rec.709", " Scene-Referred, Gamma @1.96 (linear near black, then gamma slope of 2.2), ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 1
    {"Cineon", " Scene-Referred, Kodak Film Scan Log, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 2
    {"PLogLin", " Scene-Referred, Pivoted Log-Linear, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 3
    {"ACES (AP0) Linear", " ACES2065-1 Scene-Linear | VFX Gamut, Gamma 1.0, ACES AP0 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 4
    {"ACEScg (AP1) Linear", " Scene-Linear | VFX Gamut, Gamma 1.0, ACES AP1 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 5
    {"ACEScc (AP1)", " Scene-Referred, ACEScc Log, ACES AP1 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 6
    {"ACEScct (AP1)", " Scene-Referred, ACEScct Log, ACES AP1 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 7
    {"ACESproxy (AP1)", " Scene-Referred, ACESproxy Log, ACES AP1 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 8
    {"ADX Log", " Academy Density Exchange. ADX 10 | ADX 16 Log densitometric encoding for scanned film negative"},  // 9
    {"Nikon, N-log", " Scene-Referred, Nikon N-log, Rec.2100 | Rec.ITU-R BT.2020 Primaries, D65 White : x0.3127, y0.329"},  // 10
    {"ARRI, LogC3", " Scene-Referred, LogC SUP 3.x EI800, ARRI Alexa Wide Gamut 3 Primaries, D65 White : x0.3127, y0.329"},  // 11
    {"RED, Log3G10 | Log3G12", " Scene-Referred, RED Log3G10 | RED Log3G12, REDWideGamutRGB Primaries, D65 White : x0.3127, y0.329"},  // 12
    {"FujiFilm, F-Log2", " Scene-Referred, FujiFilm F-Log2, ITU-R BT.2020 | Rec.2100 Primaries, D65 White : x0.3127, y0.329"},  // 13
    {"Filmlight, T-Log", " Scene-Referred, Filmlight T-Log, User defined E-Gamut Primaries & Whitepoint"},  // 14
    {"Sony, S-Log3", " Scene-Referred, Sony-Log3, Sony S-Gamut | S-Gamut3 Primaries, D65 White : x0.3127, y0.329"},  // 15
    {"Sony, S-Log3.Cine", " Scene-Referred, Sony-Log3, Sony S-Gamut3.Cine Primaries, D65 White : x0.3127, y0.329"},  // 16
    {"Sony, S-Log3.Venice", " Scene-Referred, Sony-Log3, Sony S-Gamut3.Venice Primaries, D65 White : x0.3127, y0.329"},  // 17
    {"Sony, S-Log3.Venice.Cine", " Scene-Referred,  Sony-Log3, Sony S-Gamut3.Venice.Cine Primaries, D65 White : x0.3127, y0.329"},  // 18
    {"Panasonic, V-Log", " Scene-Referred, Panasonic Varicam-Log,  Panasonic V-Gamut Primaries, D65 White : x0.3127, y0.329"},  // 19
    {"Canon, C-Log-D", " Scene-Referred, Canon-Log Daylight. Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 20
    {"Canon, C-Log-T", " Scene-Referred, Canon-Log Tungsten. Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 21
    {"Canon, C-Log2-D", " Scene-Referred, Canon-Log2 Daylight EI800. Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 22
    {"Canon, C-Log2-T", " Scene-Referred, Canon-Log2 Tungsten EI800, Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 23
    {"Canon, C-Log3-D", " Scene-Referred, Canon-Log3 Daylight. Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 24
    {"Canon, C-Log3-T", " Scene-Referred, Canon-Log3 Tungsten. Canon Cinema Gamut Primaries, D65 White : x0.3127, y0.329"},  // 25
    {"DJI, D-Log", " Scene-Referred, D-Log, DJI D-Gamut Primaries, D65 White : x0.3127, y0.329"},  // 26
    {"sRGB", " Display-Referred, Gamma @2.2 (linear near black, then gamma slope of 2.4), sRGB IEC 61966-2-1, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 27
    {"FujiFilm, F-Log", " Scene-Referred, FujiFilm F-Log, Rec.2100 | Rec.ITU-R BT.2020 Primaries, D65 White : x0.3127, y0.329"},  // 28
    {"Rec.2020|2100 Scene", " Scene-Referred, Gamma @1.96 (linear near black, then gamma slope of 2.2), ITU-R BT.2020 | Rec.2100 Primaries, D65 White : x0.3127, y0.329"},  // 29
    {"Rec.2020|2100 Linear", " Scene-Linear | VFX Gamut, Gamma 1.0, ITU-R BT.2020 | Rec.2100 Primaries, D65 White : x0.3127, y0.329"},  // 30
    {"P3-D60", " Display-Referred, ACES Cinema, Pure Gamma 2.6, P3 Primaries, D60 White : x0.32168, y0.33767"},  // 31
    {"P3-D65", " Display-Referred, sRGB Gamma, P3 Primaries, D65 White : x0.3127, y0.329"},  // 32
    {"P3-DCI", " Theater | Projector-referred, Pure Gamma 2.6, P3 Primaries, DCI White @6300K : x0.314, y0.351"},  // 33
    {"BT.1886", " Display-Referred, Pure Gamma 2.4, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 34
    {"REDcolor2, REDlogFilm", " Scene-Referred, REDlogFilm, REDcolor2 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 35
    {"REDcolor3, REDlogFilm", " Scene-Referred, REDlogFilm, REDcolor3 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 36
    {"REDcolor4, REDlogFilm", " Scene-Referred, REDlogFilm, REDcolor4 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 37
    {"DRAGONcolor, REDlogFilm", " Scene-Referred, REDlogFilm, DRAGONcolor Primaries, ACES D60 White : x0.32168, y0.33767"},  // 38
    {"DRAGONcolor2, REDlogFilm", " Scene-Referred, REDlogFilm, DRAGONcolor2 Primaries, ACES D60 White : x0.32168, y0.33767"},  // 39
    {"GoPro, Color", " Scene-Referred, GoPro Auto Color, ITU-R BT.709 | sRGB Primaries, D65 White : x0.3127, y0.329"},  // 40
    {"GoPro, Protune Flat", " Scene-Referred, GoPro Protune Log Flat, Protune Native Primaries, D65 White : x0.3127, y0.329"},  // 41
    {"ST2084 Rec.2100 PQ", " Display-Referred, Dolby PQ ICtCp, Rec.2100 | Rec.ITU-R BT.2020 Primaries, D65 White : x0.3127, y0.329"},  // 42
    {"ST2084 P3-D65 PQ", " Display-Referred, Dolby PQ ICtCp, P3 Primaries, D65 White : x0.3127, y0.329"},  // 43
    {"HLG (Scene)", " Scene-Referred, HybridLogGamma ARIB STD-B67, Rec.2100 | Rec.ITU-R BT.2020 Primaries, D65 White : x0.3127, y0.329"},  // 44
    {"DWG - Intermediate", " Scene-Referred, DaVinci Wide Gamut Log, DaVinci Intermediate Primaries, D65 White : x0.3127, y0.329"},  // 45
    {"DCDM", " Output-referred, DCDM X'Y'Z' Color space, Pure Gamma 2.6, E White @5454K : x0.33333, y0.33333"},  // 46
    {"ARRI, LogC4", " Scene-Referred, ARRI LogC4 (EI independent), ARRI Wide Gamut 4 Primaries, D65 White : x0.3127, y0.329"},  // 47
    {"BMD, Film Gen 5", " Scene-Referred, Blackmagic Film Generation 5 Log, Blackmagic Wide Gamut Gen 4|5 Primaries, D65 White : x0.312717, y0.3290312"},  // 48
};

// 0: no film process; 1: a neutral profile for the user or a Look file.
const ChoiceOption kCameraStockOptions[25] = {
    {"None | Brew Bypass", " Bypass Cine Film Stock Profile and Film Lab Processing"},  // 0
    {"Custom", " Custom Cine Film Stock Profile. Load a Custom Cine Film Stock Profile"},  // 1
    {"Agfa XT 125, 125T. Ver-A", " Agfa XT 125 (35mm / 16mm) Cine Color Negative Stock. 125 ASA, Tungsten balanced (3200 K)"},  // 2
    {"Agfa XTR 250, 250T. Ver-A", " Agfa XTR 250 (35mm / 16mm) Cine Color Negative Stock. 250 ASA, Tungsten balanced (3200 K)"},  // 3
    {"Fuji-8522, 64D. Ver-A", " Fujifilm F-Series 8522 / 8622 (35mm / 16mm) Cine Color Negative Stock. 64 ASA, Daylight balanced (5500 K)"},  // 4
    {"Fuji-8543, 160T. Ver-A", " Fujifilm Eterna Vivid 8543 / 8643 (35mm / 16mm) Cine Color Negative Stock. 160 ASA, Tungsten balanced (3200 K)"},  // 5
    {"Fuji-8553, 250T. Ver-A", " Fujifilm Eterna 8553 / 8653 (35mm / 16mm) Cine Color Negative Stock. 250 ASA, Tungsten balanced (3200 K)"},  // 6
    {"Fuji-8563, 250D. Ver-A", " Fujifilm Eterna 8563 / 8663 (35mm / 16mm) Cine Color Negative Stock. 250 ASA, Daylight balanced (5500 K)"},  // 7
    {"Fuji-8583, 400T. Ver-A", " Fujifilm Eterna 8583 / 8683 (35mm / 16mm) Cine Color Negative Stock. 400 ASA, Tungsten balanced (3200 K)"},  // 8
    {"Fuji-8548, 400T. Ver-A", " Fujifilm Eterna 8548 / 8648 (35mm / 16mm) Cine Color Negative Stock. 400 ASA, Tungsten balanced (3200 K)"},  // 9
    {"Fuji-8573, 500T. Ver-A", " Fujifilm Eterna 8573 / 8673 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Tungsten balanced (3200 K)"},  // 10
    {"Fuji-8547, 500T. Ver-A", " Fujifilm Eterna Vivid 8547 / 8647 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Tungsten balanced (3200 K)"},  // 11
    {"Fuji-8592, 500D. Ver-A", " Fujifilm Reala 8592 / 8692 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Daylight balanced (5500 K)"},  // 12
    {"EK-5201, 50D. Ver-A", " Eastman Kodak Vision2 5201 / 7201 (35mm / 16mm) Cine Color Negative Stock. 50 ASA, Daylight balanced (5500 K)"},  // 13
    {"EK-5203, 50D. Ver-A", " Eastman Kodak Vision3 5203 / 7203 (35mm / 16mm) Cine Color Negative Stock. 50 ASA, Daylight balanced (5500 K)"},  // 14
    {"EK-5212, 100T. Ver-A", " Eastman Kodak Vision2 5212 / 7212 (35mm / 16mm) Cine Color Negative Stock. 100 ASA, Tungsten balanced (3200 K)"},  // 15
    {"EK-5213, 200T. Ver-A", " Eastman Kodak Vision3 5213 / 7213 (35mm / 16mm) Cine Color Negative Stock. 200 ASA, Tungsten balanced (3200 K)"},  // 16
    {"EK-5217, 200T. Ver-A", " Eastman Kodak Vision2 5217 / 7217 (35mm / 16mm) Cine Color Negative Stock. 200 ASA, Tungsten balanced (3200 K)"},  // 17
    {"EK-5274, 200T. Ver-A", " Eastman Kodak Vision 5274 / 7274 (35mm / 16mm) Cine Color Negative Stock. 200 ASA, Tungsten balanced (3200 K)"},  // 18
    {"EK-5207, 250D. Ver-A", " Eastman Kodak Vision3 5207 / 7207 (35mm / 16mm) Cine Color Negative Stock. 250 ASA, Daylight balanced (5500 K)"},  // 19
    {"EK-5219, 500T. Ver-A", " Eastman Kodak Vision3 5219 / 7219 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Tungsten balanced (3200 K)"},  // 20
    {"EK-5279, 500T. Ver-A", " Eastman Kodak Vision 5279 / 7279 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Tungsten balanced (3200 K)"},  // 21
    {"EK-5229, 500T. Ver-A", " Eastman Kodak Vision2 Expression 5229 / 7229 (35mm / 16mm) Cine Color Negative Stock. 500 ASA, Tungsten balanced (3200 K)"},  // 22
    {"EK-7268, 32T | 25D. Ver-A", " Eastman Kodak KODACHROME 40 Movie 7268 / 7270 (Super 8 / 16mm) Cine Color Reversal Stock. 32 ASA, Tungsten balanced (3200 K), 25 ASA, Daylight balanced (5500 K)"},  // 23
    {"EK-7294, 100D. Ver-A", " Eastman Kodak EKTACHROME 7294 (Super 8 / 16mm) Cine Color Reversal Stock. 100 ASA, Daylight balanced (5500 K)"},  // 24
};

// 2 to 5 and 6 to 9: the same four stocks at D65 and at D55.
const ChoiceOption kPrintProfileOptions[10] = {
    {"None", " Bypass a Cine Print Stock Profile"},  // 0
    {"Custom", " Custom Cine Print Stock Profile. Load a Custom Cine Print Film Stock Profile"},  // 1
    {"EK-2383, D65. Ver-A", " Eastman Kodak 2383 / 3383 Vision (35mm / 16mm) Cine Print Stock. White point D65 (6504 K)"},  // 2
    {"EK-2393, D65. Ver-A", " Eastman Kodak 2393 Vision Premiere (35mm) Cine Print Stock. White point D65 (6504 K)"},  // 3
    {"Fuji-DI, D65. Ver-A", " Fujifilm Eterna-CP 3513 / 3613 DI | 3514 / 3614 DI (35mm / 16mm) Cine Print Stock. White point D65 (6504 K)"},  // 4
    {"Fuji-XD, D65. Ver-A", " Fujifilm Eterna-CP 3521 / 3523 XD (35mm) Cine Print Stock. White point D65 (6504 K)"},  // 5
    {"EK-2383, D55. Ver-A", " Eastman Kodak 2383 / 3383 Vision (35mm / 16mm) Cine Print Stock. White point D55 (5503 K)"},  // 6
    {"EK-2393, D55. Ver-A", " Eastman Kodak 2393 Vision Premiere (35mm) Cine Print Stock. White point D55 (5503 K)"},  // 7
    {"Fuji-DI, D55. Ver-A", " Fujifilm Eterna-CP 3513 / 3613 DI | 3514 / 3614 DI (35mm / 16mm) Cine Print Stock. White point D55 (5503 K)"},  // 8
    {"Fuji-XD, D55. Ver-A", " Fujifilm Eterna-CP 3521 / 3523 XD (35mm) Cine Print Stock. White point D55 (5503 K)"},  // 9
};

const ChoiceOption kDisplayGamutOutputOptions[15] = {
    {"Rec.709 Gamma 2.4", " SDR, 100 Nits. BT.1886 Gamma 2.4, Rec.709 | sRGB Primaries"},  // 0
    {"Rec.709 Gamma 2.4 D60 Sim", " SDR, 100 Nits. BT.1886 Gamma 2.4, Rec.709 | sRGB Primaries"},  // 1
    {"P3-DCI D60 Sim", " SDR, 100 Nits. Gamma 2.6, P3 Primaries"},  // 2
    {"P3-D65", " SDR, 100 Nits. Gamma 2.6, P3 Primaries"},  // 3
    {"P3-D65 D60 Sim", " SDR, 100 Nits. Gamma 2.6, P3 Primaries"},  // 4
    {"Rec.2020", " SDR, 100 Nits. ITU-R BT.1886 Gamma 2.4, Rec.2020 | Rec.2100 Primaries"},  // 5
    {"Rec.2020 PQ", " HDR, 203 Nits default. Dolby PQ ST2084, Rec.2020 | Rec.2100 Primaries"},  // 6
    {"P3-D65 PQ", " HDR, 203 Nits default. Dolby PQ ST2084, P3 Primaries"},  // 7
    {"Rec.2020 HLG", " HDR, 203 Nits default. HybridLogGamma ARIB STD-B67, Rec.2100 | Rec.2020 Primaries"},  // 8
    {"RCM SDR", " SDR, 100 Nits"},  // 9
    {"RCM HDR", " HDR, 203 Nits default"},  // 10
    {"ACEScc SDR", "SDR,  100 Nits"},  // 11
    {"ACEScc HDR", " HDR, 203 Nits default"},  // 12
    {"ACEScct SDR", " SDR, 100 Nits"},  // 13
    {"ACEScct HDR", " HDR, 203 Nits default"},  // 14
};

}  // namespace params
}  // namespace kalthorne
