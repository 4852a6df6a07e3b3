#include "looks/param_reactions.h"

#include <cmath>
#include <initializer_list>

#include "looks/camera_presets.h"
#include "looks/interplay_host.h"
#include "looks/interplay_rules.h"
#include "looks/print_presets.h"

namespace kalthorne {
namespace looks {
namespace {

void hideWholePrintGroup(InterplayHost& host) {
    host.hide(kPrintProfileName);
    for (const char* n : kPrintStockControls) host.hide(n);
    for (const char* n : kPrinterPointControls) host.hide(n);
    host.hide(kDisplayGamutName);
}

void showPrinterPoints(InterplayHost& host) {
    for (const char* n : kPrinterPointControls) host.show(n);
}

// A NaN or an infinity in a set (typed in, or stored in a project) would be
// copied into every member; the coupling leaves such a set alone.
bool allFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

void applyPrintGroupVisibility(InterplayHost& host, PrintRuleEntry entry) {
    // Every read comes before the first flag change, so a refused read leaves
    // the group as it was rather than half switched. Each entry reads its own
    // parameter first; the outcome is the same.
    const bool fromInput = entry == PrintRuleEntry::InputGamut;
    int gamut = fromInput ? host.readInt("InputGamut") : -1;
    const bool bypass = host.readBool("PrintDisplayBypass");
    if (!bypass && !fromInput) gamut = host.readInt("InputGamut");
    const bool forced = !bypass && isPrintBypassInput(gamut);
    if (bypass || forced) {
        hideWholePrintGroup(host);
        if (forced || fromInput) host.setBool("PrintDisplayBypass", true);
        return;
    }
    const int profile = host.readInt(kPrintProfileName);
    host.show(kPrintProfileName);
    for (const char* n : kPrintStockControls) {
        if (profile == 0)
            host.hide(n);
        else
            host.show(n);
    }
    showPrinterPoints(host);
    host.show(kDisplayGamutName);
}

void onCameraStockEdit(InterplayHost& host) {
    // Halation is switched off for every pick, the current stock included.
    host.setBool("HalationBypass", true);
    const int stock = host.readInt("CameraStock");
    if (stock == 0) {
        for (const char* n : kCameraNegativeGroup) host.hide(n);
        host.writeAll(cameraResetWrites());
        return;
    }
    const int printProfile = host.readInt("PrintProfile");
    // The selectors are read before the group is shown so that a refused read
    // cannot leave the group half switched.
    CameraSelectors selectors;
    if (stock >= kFirstCameraStock && stock <= kLastCameraStock) {
        selectors.colorCorrection = host.readInt("ColorCorrection");
        selectors.colorRefine = host.readInt("ColorRefine");
    }
    if (stock <= kLastCameraStock) selectors.toneCurves = host.readInt("ToneCurves");
    for (const char* n : kCameraNegativeGroup) host.show(n);
    host.writeAll(cameraPresetWrites(stock, printProfile, selectors));
}

void onPrintProfileEdit(InterplayHost& host) {
    if (host.readBool("PrintDisplayBypass")) return;
    const int profile = host.readInt(kPrintProfileName);
    if (profile >= 2 && profile <= 9) {
        host.writeAll(printPresetWrites(profile));
        for (const char* n : kPrintStockControls) host.show(n);
        showPrinterPoints(host);
        return;
    }
    if (profile != 0 && profile != 1) return;
    host.writeAll(printerPointsForCamera(host.readInt("CameraStock")));
    host.setDouble("PrintBlend", 0.0);
    if (profile == 0) {
        host.setBool("PrintBleachBypass", false);
        for (const char* n : kPrintStockControls) host.hide(n);
    } else {
        host.setDouble("PrintFilmicPivotR", 0.0);
        host.setDouble("PrintFilmicSlopeR", 0.0);
        for (const char* n : {"PrintSat", "PrintHue", "PrintChr", "PrintVib"}) host.setInt(n, 0);
        for (int s = 0; s < 6; ++s) host.setInt(std::string("PrintRefine") + kSlotWords[s], 0);
        for (const char* n : kPrintStockControls) host.show(n);
    }
    showPrinterPoints(host);
}

void onRgbEdit(InterplayHost& host, const std::string& name) {
    int channel = 0;
    const RgbGroup* group = findRgbGroup(name, &channel);
    if (!group) return;
    if (channel >= 0) {
        const double r = host.readDouble(group->channels[0]);
        const double g = host.readDouble(group->channels[1]);
        const double b = host.readDouble(group->channels[2]);
        if (!allFinite({r, g, b})) return;
        InterplayHost::EditBlock block(host, group->master);
        host.setDouble(group->master, channelMean(r, g, b));
        return;
    }
    const double m = host.readDouble(group->master);
    const double r = host.readDouble(group->channels[0]);
    const double g = host.readDouble(group->channels[1]);
    const double b = host.readDouble(group->channels[2]);
    if (!allFinite({m, r, g, b})) return;
    const auto shifted = masterShift(m, r, g, b, group->lo, group->hi);
    for (int c = 0; c < 3; ++c) {
        InterplayHost::EditBlock block(host, group->channels[c]);
        host.setDouble(group->channels[c], shifted[c]);
    }
}

}  // namespace looks
}  // namespace kalthorne
