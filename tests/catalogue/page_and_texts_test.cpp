// The page's documented order, the choice lists with their assembled hints,
// and texts that users and stored projects know letter for letter.
#include <string>
#include <vector>

#include "catalogue_host.h"

using namespace cataloguetest;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out{""};
  for (char c : text)
    if (c == '\n') out.emplace_back(); else out.back() += c;
  return out;
}

}  // namespace

// The page's own properties, its children in definition order and the sameness
// of the two contexts are compared with the catalogue in a host built on the
// standard's library. Here the catalogue's order meets the documented one.
TEST(CataloguePage, EachRunSitsWhereItsDocumentedSizePutsIt) {
  const std::vector<std::string> children = pageChildren();
  ASSERT_EQ(children.size(), 534u);
  // First and last of each run, at the positions its documented size gives
  // (30, 61, 188, 42, 31, 164, 18); the colour runs are rebuilt name by name
  // in the template tests.
  const std::vector<std::pair<std::size_t, std::string>> bounds = {
      {0, "InputGamut"},   {29, "EnsemblePitch"},       {279, "BrewHighlightCeiling"}, {320, "BrewDmaxRGB"},
      {321, "PrintDisplayBypass"}, {351, "PrintVibZone"}, {516, "PrintGammaPivot"},     {533, "SrcClipChanged"},
  };
  for (const auto& b : bounds) EXPECT_EQ(children[b.first], b.second) << "position " << b.first;
}

TEST(CatalogueChoices, OptionCountsDefaultsAndOneHintLinePerOption) {
  struct Expect { const char* name; std::size_t count; int def; const char* defLabel; const char* last; };
  for (const Expect& e : {Expect{"InputGamut", 49, 11, "ARRI, LogC3", "BMD, Film Gen 5"},
                          Expect{"CameraStock", 25, 0, "None | Brew Bypass", "EK-7294, 100D. Ver-A"},
                          Expect{"PrintProfile", 10, 1, "Custom", "Fuji-XD, D55. Ver-A"},
                          Expect{"DisplayGamutOutput", 15, 0, "Rec.709 Gamma 2.4", "ACEScct HDR"}}) {
    SCOPED_TRACE(e.name);
    const auto options = param(e.name).props.getStrings(kOfxParamPropChoiceOption);
    ASSERT_EQ(options.size(), e.count);
    EXPECT_EQ(defaultOf(e.name), e.def);
    EXPECT_EQ(options[std::size_t(e.def)], e.defLabel);
    EXPECT_EQ(options.back(), e.last);
    // The final hint: own hint, a blank line, one line per option.
    const auto hintLines = lines(hint(e.name));
    ASSERT_EQ(hintLines.size(), e.count + 2);
    EXPECT_EQ(hintLines[1], "");
    for (std::size_t i = 0; i < e.count; ++i) EXPECT_EQ(hintLines[i + 2].rfind(options[i] + ": ", 0), 0u) << i;
  }
}

TEST(CatalogueChoices, PrintProfileHintInFull) {
  EXPECT_EQ(hint("PrintProfile"),
            " Cine Print Film Stock Profiles\n"
            "\n"
            "None:  Bypass a Cine Print Stock Profile\n"
            "Custom:  Custom Cine Print Stock Profile. Load a Custom Cine Print Film Stock Profile\n"
            "EK-2383, D65. Ver-A:  Eastman Kodak 2383 / 3383 Vision (35mm / 16mm) Cine Print Stock. White point D65 (6504 K)\n"
            "EK-2393, D65. Ver-A:  Eastman Kodak 2393 Vision Premiere (35mm) Cine Print Stock. White point D65 (6504 K)\n"
            "Fuji-DI, D65. Ver-A:  Fujifilm Eterna-CP 3513 / 3613 DI | 3514 / 3614 DI (35mm / 16mm) Cine Print Stock. "
            "White point D65 (6504 K)\n"
            "Fuji-XD, D65. Ver-A:  Fujifilm Eterna-CP 3521 / 3523 XD (35mm) Cine Print Stock. White point D65 (6504 K)\n"
            "EK-2383, D55. Ver-A:  Eastman Kodak 2383 / 3383 Vision (35mm / 16mm) Cine Print Stock. White point D55 (5503 K)\n"
            "EK-2393, D55. Ver-A:  Eastman Kodak 2393 Vision Premiere (35mm) Cine Print Stock. White point D55 (5503 K)\n"
            "Fuji-DI, D55. Ver-A:  Fujifilm Eterna-CP 3513 / 3613 DI | 3514 / 3614 DI (35mm / 16mm) Cine Print Stock. "
            "White point D55 (5503 K)\n"
            "Fuji-XD, D55. Ver-A:  Fujifilm Eterna-CP 3521 / 3523 XD (35mm) Cine Print Stock. White point D55 (5503 K)");
}

// Texts users and stored projects know letter for letter: misspellings,
// placeholders, doubled, missing and leading blanks, in names, labels, hints
// and option help lines.
TEST(CatalogueTexts, StoredLetterForLetter) {
  for (const char* n : {"PrinterBlackkPointGreen", "PrinterBlackkPointBlue", "HDRcomp", "About Brew"})
    EXPECT_NE(describedIn().paramSet.find(n), nullptr) << n;
  EXPECT_EQ(label("VibZone"), "BrewVibZoneeLabel");
  EXPECT_EQ(label("ColorCorrection"), "ColorCorrectionLabel");
  EXPECT_EQ(label("About Brew"), "Brew Info");
  EXPECT_EQ(hint("BrewBleachBypass"), "BleachBypasssHint");
  EXPECT_EQ(hint("ColorRefine"), "brewRefineHint");
  EXPECT_EQ(hint("SilverBlue"),
            "Blue SilveBr Halide Spectral Sensitivity. Weak (0) to Strong (1). For Regular Sensitivity, set to "
            "Default : 0.5");
  EXPECT_EQ(hint("BrewFilmicSlopeR"), "Filmic Tone curve  Slope. Default : 0.014");
  EXPECT_EQ(hint("HalationBreadth"), "Reduce or Expand the Halation Field.Default : 0.25");
  EXPECT_EQ(hint("PitchBypass"), " Bypass Texture Pitch");

  EXPECT_EQ(lines(hint("CameraStock"))[2],
            "None | Brew Bypass:  Bypass Cine Film Stock Profile and Film Lab Processing");
  const auto display = lines(hint("DisplayGamutOutput"));
  EXPECT_EQ(display[0], " Display Colorspace & Gamut");
  EXPECT_EQ(display[2 + 11], "ACEScc SDR: SDR,  100 Nits");  // the one help without a leading blank
  EXPECT_EQ(lines(hint("InputGamut"))[2 + 18],
            "Sony, S-Log3.Venice.Cine:  Scene-Referred,  Sony-Log3, Sony S-Gamut3.Venice.Cine Primaries, "
            "D65 White : x0.3127, y0.329");
}
