// Camera-stock presets: the per-stock data of the 23 negative stocks
// (CameraStock 2..24) and the ordered writes that a stock choice makes.
#pragma once

#include "looks/preset_write.h"

namespace kalthorne {
namespace looks {

constexpr int kFirstCameraStock = 2;
constexpr int kLastCameraStock = 24;
constexpr int kCameraCustom = 1;

// Width and strength of the Sat, Hue and Chr qualities of one refine slot
// (Two..Seven); the Vib quality is the same for every stock.
struct SlotWidthStrength {
    double satWidth, satStrength, hueWidth, hueStrength, chrWidth, chrStrength;
};

// The values that differ between camera stocks; everything else a stock
// preset writes is common to all of them.
struct CameraStockRow {
    int stock;  // CameraStock option index
    double saturation[6], saturationStrength, saturationCustomWidth, saturationCustomStrength;
    double hue[6], hueCustomWidth, hueCustomStrength;
    double chroma[6], chromaStrength, chromaCustomWidth, chromaCustomStrength;
    double vibranceYellow, vibranceCustomHue;
    double slotTwoCentre, slotSevenCentre;  // centre hue of all four qualities
    SlotWidthStrength slots[6];             // refine slots Two..Seven
    double shadowPivot, shadow[3], midtone[3], highlightPivot, highlight[3];
    double filmicPivot, filmicSlope;
    double dmin, dmax;
};

extern const CameraStockRow kCameraStocks[kLastCameraStock - kFirstCameraStock + 1];

// Row of a stock index, or nullptr outside 2..24.
const CameraStockRow* cameraStockRow(int stock);

// The three hidden selectors that a stock preset reads before writing.
struct CameraSelectors {
    int colorCorrection = 0;
    int colorRefine = 0;
    int toneCurves = 0;
};

// Writes of the camera preset of `stock` (1 = Custom, 2..24 = film stocks)
// with the print stock `printProfile` read beforehand, in host-call order.
// Empty for any other stock index.
PresetWrites cameraPresetWrites(int stock, int printProfile, const CameraSelectors& selectors);

// Writes of CameraStock 0: the negative look state back to its bypass values.
PresetWrites cameraResetWrites();

// The eight printer points, each RGB set's channels before its master, with
// one black-point and one light value.
PresetWrites printerPointWrites(double black, double light);
// The printer points a camera stock owns while no print stock is chosen:
// CameraStock 0 and Custom give 0.141 and 0.909, a film stock -0.7045 and 0.75.
PresetWrites printerPointsForCamera(int cameraStock);

}  // namespace looks
}  // namespace kalthorne
