#include "look_plan.h"

#include "look_numbers.h"
#include "look_tokens.h"
#include "looks/camera_presets.h"
#include "looks/interplay_rules.h"
#include "plugin/render_option_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kalthorne {
namespace looks {
namespace {

// First Look line of each RGB set, in kRgbGroups order; green and blue follow.
constexpr int kChannelFirstLine[4] = {327, 330, 367, 370};

int channelIndex(int lineNumber)
{
    for (int g = 0; g < 4; ++g) {
        const int first = kChannelFirstLine[g];
        if (lineNumber >= first && lineNumber < first + 3)
            return g * 3 + (lineNumber - first);
    }
    return -1;
}

class Planner {
public:
    explicit Planner(const LookContext& context)
        : m_context(context)
    {
        std::copy(std::begin(context.pitches), std::end(context.pitches), m_pitches);
        std::copy(std::begin(context.channels), std::end(context.channels), m_channels);
    }

    std::vector<LookStep>& steps() { return m_steps; }

    void message(std::string text) { m_steps.push_back({StepKind::Message, {}, 0.0, std::move(text)}); }
    void setDouble(const char* p, double v) { m_steps.push_back({StepKind::SetDouble, p, v, {}}); }
    void setInt(const char* p, std::int64_t v) { m_steps.push_back({StepKind::SetInt, p, double(v), {}}); }
    void setBool(const char* p, bool v) { m_steps.push_back({StepKind::SetBool, p, v ? 1.0 : 0.0, {}}); }
    void hide(const char* p) { m_steps.push_back({StepKind::Hide, p, 0.0, {}}); }
    void show(const char* p) { m_steps.push_back({StepKind::Show, p, 0.0, {}}); }
    template <std::size_t N> void hideAll(const char* const (&ps)[N]) { for (auto p : ps) hide(p); }
    template <std::size_t N> void showAll(const char* const (&ps)[N]) { for (auto p : ps) show(p); }

    void hidePrintGroup()
    {
        hide(kPrintProfileName);
        hideAll(kPrintStockControls);
        hideAll(kPrinterPointControls);
        hide(kDisplayGamutName);
    }

    void lookReset()
    {
        // The camera reset of a user's stock choice, less its negative-bleach
        // write: the bleach is the Look's own line further down.
        for (const PresetWrite& w : cameraResetWrites()) {
            if (w.name == "BrewBleachBypass")
                continue;
            m_steps.push_back(stepOf(w));
        }
    }

    void writeMaster(int group)
    {
        const double* c = m_channels + group * 3;
        setDouble(kRgbGroups[group].master, channelMean(c[0], c[1], c[2]));
    }

    // One line that the file has, after its key was found.
    void line(const LookLine& L, const char* token)
    {
        std::int64_t iv = 0;
        double fv = 0.0;
        bool inRange;
        if (L.type == ValueType::Int) {
            iv = parseLookInt(token);
            inRange = double(iv) >= L.lo && double(iv) <= L.hi;
        } else {
            fv = parseLookFloat(token);
            inRange = fv >= L.lo && fv <= L.hi; // NaN and infinities fail here
        }
        if (!inRange) {
            const LookMessage& m = messageFor(L);
            message(std::string(m.prefix) + L.key + m.tail);
            const double fb = fallbackFor(L);
            iv = static_cast<std::int64_t>(fb);
            fv = fb;
        }
        apply(L, iv, fv);
    }

    // A line beyond the end of the file: only the means still follow.
    void missingLine(const LookLine& L)
    {
        if (L.rule == LookRule::PitchEnsemble)
            ensemble();
        else if (L.rule == LookRule::ChannelMaster)
            writeMaster(channelIndex(L.number) / 3);
    }

    void finalPass()
    {
        writeMaster(3);
        if (m_printBypass) {
            hidePrintGroup();
        } else if (isPrintBypassInput(m_inputClass)) {
            hidePrintGroup();
            setBool("PrintDisplayBypass", true);
        } else {
            show(kPrintProfileName);
            if (m_printStock != 0)
                showAll(kPrintStockControls);
            else
                hideAll(kPrintStockControls);
            showAll(kPrinterPointControls);
            show(kDisplayGamutName);
        }
    }

private:
    double fallbackFor(const LookLine& L) const
    {
        switch (L.fallbackKind) {
        case FallbackKind::Enhancer:
            return m_enhancerMode != 0 ? 2.0 : 0.0;
        case FallbackKind::SourceWidth:
        case FallbackKind::SourceHeight:
        case FallbackKind::OutputWidth:
        case FallbackKind::OutputHeight:
            if (m_context.clipSize) {
                const int size = m_context.clipSize(L.fallbackKind);
                if (size > 0)
                    return size;
            }
            return L.fallback;
        case FallbackKind::None:
        case FallbackKind::Fixed:
            break;
        }
        return L.fallback;
    }

    void ensemble()
    {
        double sum = 0.0;
        for (double p : m_pitches)
            sum += p;
        setDouble("EnsemblePitch", sum / 6);
    }

    void apply(const LookLine& L, std::int64_t iv, double fv)
    {
        const bool on = iv == 1;
        switch (L.rule) {
        case LookRule::Write:
            if (L.type == ValueType::Int)
                setInt(L.target, iv);
            else
                setDouble(L.target, fv);
            break;
        case LookRule::WriteSwitch:
            setBool(L.target, on);
            break;
        case LookRule::ReadOnly:
            break;
        case LookRule::InputClass:
            setInt(L.target, iv);
            m_inputClass = int(iv);
            break;
        case LookRule::HalationBypassState:
            m_halationBypass = int(iv);
            break;
        case LookRule::Halation:
            if (m_halationBypass == 0 && fv != 0.0) {
                setDouble(L.target, fv);
                setBool("HalationBypass", false);
            } else {
                setBool("HalationBypass", true);
            }
            break;
        case LookRule::Hdr:
            setBool(L.target, on && isLinearInput(m_inputClass));
            break;
        case LookRule::ProcessLinear:
            setBool(L.target, on && !isLinearInput(m_inputClass));
            break;
        case LookRule::EnhancerMode:
            m_enhancerMode = int(iv);
            break;
        case LookRule::Pitch:
        case LookRule::PitchEnsemble:
            setDouble(L.target, fv);
            m_pitches[L.number - 34] = fv;
            if (L.rule == LookRule::PitchEnsemble)
                ensemble();
            break;
        case LookRule::NegativeBypass:
            m_negativeBypass = on;
            if (on)
                hideAll(kCameraNegativeGroup);
            break;
        case LookRule::CameraStock:
            if (m_negativeBypass) {
                lookReset();
                setInt(L.target, 0);
                m_cameraStock = 0;
            } else if (iv != 0) {
                showAll(kCameraNegativeGroup);
                setDouble("NegBlend", 0.0);
                setInt(L.target, iv);
                m_cameraStock = int(iv);
            } else {
                showAll(kCameraNegativeGroup);
                lookReset();
                setInt(L.target, 1);
                m_cameraStock = 1;
            }
            break;
        case LookRule::RefineCount:
            // The choice ends at 11; 12 and 11 render the same (refine on),
            // and a host must never receive a value outside the range.
            setInt(L.target, std::min<std::int64_t>(iv, 11));
            break;
        case LookRule::NegativeBleach:
            m_negativeBleach = on && m_cameraStock != 0;
            setBool(L.target, m_negativeBleach);
            break;
        case LookRule::Channel:
        case LookRule::ChannelMaster: {
            setDouble(L.target, fv);
            const int idx = channelIndex(L.number);
            m_channels[idx] = fv;
            if (L.rule == LookRule::ChannelMaster)
                writeMaster(idx / 3);
            break;
        }
        case LookRule::PrintBypass:
            m_printBypass = on;
            setBool(L.target, on);
            break;
        case LookRule::PrintStock:
            setInt(L.target, iv);
            m_printStock = int(iv);
            if (iv >= 1 && iv <= 9)
                appendLookPrintPreset(int(iv), m_steps);
            break;
        case LookRule::PrintBleach:
            // Decided from this load's own negative bleach, never from a
            // value read back from the host after the writes.
            setBool(L.target, !m_printBypass && !m_negativeBleach && on);
            break;
        case LookRule::DisplayGamut:
            setInt(L.target, iv);
            break;
        }
    }

    const LookContext& m_context;
    std::vector<LookStep> m_steps;
    int m_inputClass = 0; // line 1 is always there: an empty file is not loaded
    int m_halationBypass = 0;
    int m_enhancerMode = 0;
    double m_pitches[6];
    double m_channels[12];
    bool m_negativeBypass = false;
    int m_cameraStock = 0;
    bool m_negativeBleach = false; // line 358 never comes without line 319
    bool m_printBypass = false;
    int m_printStock = 0;
};

} // namespace

LookStep stepOf(const PresetWrite& w)
{
    switch (w.kind) {
    case WriteKind::Int: return {StepKind::SetInt, w.name, w.value, {}};
    case WriteKind::Bool: return {StepKind::SetBool, w.name, w.value, {}};
    case WriteKind::Double: break;
    }
    return {StepKind::SetDouble, w.name, w.value, {}};
}

std::string missingKeyMessage(const LookLine& line)
{
    return std::string("Brew : Unable to read '") + line.key +
           "'. Aborting reads beyond this point in the Looks file...";
}

LookPlan planLookLoad(LookLineReader& lines, const LookContext& context)
{
    LookPlan plan;
    Planner planner(context);
    planner.setInt("CameraStock", 10);

    char line[kLookLineSize];
    char token[kLookLineSize];
    bool ended = false;
    for (const LookLine& L : kLookLines) {
        const LineRead read = ended ? LineRead::End : lines.next(line);
        if (read == LineRead::Failed || (read == LineRead::End && L.number == 1)) {
            plan.outcome = LookOutcome::Unreadable;
            return plan;
        }
        if (read == LineRead::End) {
            ended = true; // the end of the file stays the end
            planner.missingLine(L);
            continue;
        }
        if (!get_str_token(token, L.key, line)) {
            plan.outcome = LookOutcome::MissingKey;
            plan.failedLine = L.number;
            plan.message = missingKeyMessage(L);
            return plan;
        }
        planner.line(L, token);
    }
    planner.finalPass();
    plan.outcome = LookOutcome::Apply;
    plan.steps = std::move(planner.steps());
    return plan;
}

LookPlan planLookLoad(const char* data, std::size_t size, const LookContext& context)
{
    LookLineReader lines(data, size);
    return planLookLoad(lines, context);
}

} // namespace looks
} // namespace kalthorne
