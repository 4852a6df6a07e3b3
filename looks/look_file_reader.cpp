// The Look-file load on the instance: dialog, reading, planning, writing.
#if __has_include("plugin/KalthornePlugin.h")
#include "looks/look_file_reader.h"

#include "looks/interplay_host.h"
#include "looks/interplay_rules.h"
#include "looks/look_file_io.h"
#include "looks/look_plan.h"
#include "nfd/nfd.h"
#include "ofx/ofxsImageEffect.h"
#include "plugin/KalthornePlugin.h"
#include "plugin/image_bounds.h"

#include <memory>
#include <string>

namespace kalthorne {
namespace looks {
namespace {

const char* const kDialogErrorText = "Brew : Unable to load Look file. Check file and/or folder permissions";
const char* const kOpenErrorText = "Brew : Unable to open Look file. Check file and folder permissions";
constexpr int kFirstPitchLine = 34; // Soprano; Bass is line 39
const char* const kDefaultFolder = "/Library/Application Support/Blackmagic Design/DaVinci Resolve/LUT/";

// The dialog library owns the path until it is handed back, on every way out.
struct DialogPath {
    nfdnchar_t* path = nullptr;
    DialogPath() = default;
    DialogPath(const DialogPath&) = delete;
    DialogPath& operator=(const DialogPath&) = delete;
    ~DialogPath()
    {
        if (path)
            NFD_FreePathN(path);
    }
};

void tell(KalthornePlugin& plugin, const std::string& text)
{
    try {
        plugin.sendMessage(OFX::Message::eMessageMessage, "", text);
    } catch (...) {
        // A host that cannot show a message must not stop a load half-way.
    }
}

// Values in force, for lines a short file does not have. A read the host
// refuses keeps the parameter's default.
LookContext contextInForce(KalthornePlugin& plugin, const InterplayHost& host)
{
    LookContext ctx;
    auto readD = [&](const char* name, double& into) {
        try {
            into = host.readDouble(name);
        } catch (...) {
        }
    };
    for (int i = 0; i < 6; ++i)
        readD(kLookLines[kFirstPitchLine - 1 + i].target, ctx.pitches[i]);
    for (int g = 0; g < 4; ++g)
        for (int c = 0; c < 3; ++c)
            readD(kRgbGroups[g].channels[c], ctx.channels[g * 3 + c]);

    const double time = host.time();
    ctx.clipSize = [&plugin, time](FallbackKind kind) -> int {
        const bool source = kind == FallbackKind::SourceWidth || kind == FallbackKind::SourceHeight;
        const bool width = kind == FallbackKind::SourceWidth || kind == FallbackKind::OutputWidth;
        try {
            OFX::Clip* clip = source ? plugin.m_SourceClip : plugin.m_OutputClip;
            if (!clip)
                return 0;
            std::unique_ptr<OFX::Image> image(clip->fetchImage(time));
            if (!image)
                return 0;
            int w = 0, h = 0;
            if (!kalthorne::boundsExtent(image->getBounds(), w, h))
                return 0;  // no size to take
            return width ? w : h;
        } catch (...) {
            return 0;
        }
    };
    return ctx;
}

void applyPlan(KalthornePlugin& plugin, InterplayHost& host, const LookPlan& plan)
{
    for (const LookStep& s : plan.steps) {
        switch (s.kind) {
        case StepKind::Message: tell(plugin, s.text); break;
        case StepKind::SetDouble: host.setDouble(s.param, s.value); break;
        case StepKind::SetInt: host.setInt(s.param, static_cast<int>(s.value)); break;
        case StepKind::SetBool: host.setBool(s.param, s.value != 0.0); break;
        case StepKind::Hide: host.hide(s.param); break;
        case StepKind::Show: host.show(s.param); break;
        }
    }
}

} // namespace

void loadLookFile(KalthornePlugin& plugin, double time)
{
    DialogPath chosen;
    const nfdnfilteritem_t filter = {"Kalthorne Look file", "prm"};
    const nfdresult_t result = NFD_OpenDialogN(&chosen.path, &filter, 1, kDefaultFolder);
    if (result == NFD_CANCEL)
        return;
    if (result != NFD_OKAY || chosen.path == nullptr || *chosen.path == '\0') {
        tell(plugin, kDialogErrorText);
        return;
    }

    InterplayHost host(plugin, plugin, time);
    LookPlan plan;
    {
        const LookFileHandle file = openLookFile(chosen.path);
        if (!file) {
            tell(plugin, kOpenErrorText);
            return;
        }
        LookLineReader lines(file.get());
        plan = planLookLoad(lines, contextInForce(plugin, host));
    } // closed before anything is written
    switch (plan.outcome) {
    case LookOutcome::Unreadable: tell(plugin, kOpenErrorText); return;
    case LookOutcome::MissingKey: tell(plugin, plan.message); return;
    case LookOutcome::Apply: applyPlan(plugin, host, plan); return;
    }
}

} // namespace looks
} // namespace kalthorne

#endif // the instance class is present
