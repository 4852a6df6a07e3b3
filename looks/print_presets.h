// Print-stock presets: the data of the four print stocks behind PrintProfile
// 2..9 (the D65 and D55 options of one stock share a row) and the ordered
// writes of a print-stock choice. The Look-file reader applies the same rows,
// restricted to the look-state parameters (see printPresetWrites' `use`).
#pragma once

#include "looks/preset_write.h"

namespace kalthorne {
namespace looks {

struct PrintSlotWidthStrength {
    double satWidth, satStrength, hueWidth, hueStrength, chrWidth, chrStrength;
};

// The values that differ between print stocks.
struct PrintStockRow {
    const char* name;  // for diagnostics only
    double saturation[6], saturationStrength, saturationCustomWidth, saturationCustomStrength;
    double hue[6];  // Magenta is common (0.532) and kept here for the column's shape
    double hueCustomWidth, hueCustomStrength;
    double chroma[6], chromaCustomWidth, chromaCustomStrength;
    PrintSlotWidthStrength slots[6];  // print refine slots Two..Seven
    double gammaPivot, gamma[3];
    double shadowPivot, shadow[3];
    double highlightPivot, highlight[3];
    double filmicPivot;
    double blackPoint, light;
    double lookRefineFourHueWidth;  // the Look-file preset's value of PrintRefineFourHueWidth
};

constexpr int kPrintStockCount = 4;
extern const PrintStockRow kPrintStocks[kPrintStockCount];

// Row index (0..3) of a PrintProfile option 2..9, -1 for None, Custom or
// anything out of range.
int printStockOfProfile(int printProfile);

enum class PrintPresetUse {
    StockChoice,  // all 203 writes of a print-stock choice
    LookFile,     // the 187 look-state writes a Look file's print stock line makes
};

// Ordered writes of the print preset of PrintProfile `printProfile` (2..9);
// empty for any other index.
PresetWrites printPresetWrites(int printProfile, PrintPresetUse use = PrintPresetUse::StockChoice);

}  // namespace looks
}  // namespace kalthorne
