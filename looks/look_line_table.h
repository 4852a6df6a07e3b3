// The Look-file line definitions as one table, driven by look_lines.def.
#pragma once

#include "look_lines.def"
#include "look_messages.def"

#include <cstddef>

namespace kalthorne {
namespace looks {

enum class ValueType { Int, Float };

// What a line does with its (range-checked) value.
enum class LookRule {
    Write,               // target := v
    WriteSwitch,         // Boolean target := (v == 1)
    ReadOnly,            // checked and reported, never written
    InputClass,          // InputGamut := v; kept as the Look input class
    HalationBypassState, // kept for the halation rule of the next line
    Halation,            // breadth and halation bypass together
    Hdr,                 // HDRcomp only on a linear input
    ProcessLinear,       // ProcessLinear only on a non-linear input
    EnhancerMode,        // read only; chooses the enhancer fallbacks
    Pitch,               // target := v; kept for the Ensemble mean
    PitchEnsemble,       // last pitch, then EnsemblePitch := mean of six
    NegativeBypass,      // hides the camera-negative group
    CameraStock,         // stock, negative group visibility, Look reset
    RefineCount,         // ColorRefine := v, 12 written as 11
    NegativeBleach,      // BrewBleachBypass only with a camera stock
    Channel,             // target := v; kept for its RGB master
    ChannelMaster,       // blue channel, then the group's master mean
    PrintBypass,         // PrintDisplayBypass := (v == 1); kept
    PrintStock,          // PrintProfile := v and the Look print preset
    PrintBleach,         // PrintBleachBypass, exclusive with the negative one
    DisplayGamut,        // DisplayGamutOutput := v
};

enum class FallbackKind { Fixed, None, SourceWidth, SourceHeight, OutputWidth, OutputHeight, Enhancer };

enum class MessageCode {
#define LOOKS_MESSAGE_ENUM(code, prefix, tail) code,
    LOOK_MESSAGES(LOOKS_MESSAGE_ENUM)
#undef LOOKS_MESSAGE_ENUM
};

struct LookMessage {
    const char* prefix;
    const char* tail;
};

inline constexpr LookMessage kLookMessages[] = {
#define LOOKS_MESSAGE_ROW(code, prefix, tail) {prefix, tail},
    LOOK_MESSAGES(LOOKS_MESSAGE_ROW)
#undef LOOKS_MESSAGE_ROW
};

struct LookLine {
    int number;
    const char* key;
    ValueType type;
    double lo;
    double hi;
    LookRule rule;
    const char* target;
    FallbackKind fallbackKind;
    double fallback;
    MessageCode message;
};

inline constexpr LookLine kLookLines[] = {
#define LOOKS_LINE_ROW(n, key, type, lo, hi, rule, target, fbKind, fb, msg)                     \
    {n, key, ValueType::type, lo, hi, LookRule::rule, target, FallbackKind::fbKind, fb, MessageCode::msg},
    LOOK_LINES(LOOKS_LINE_ROW)
#undef LOOKS_LINE_ROW
};

inline constexpr std::size_t kLookLineCount = sizeof(kLookLines) / sizeof(kLookLines[0]);
static_assert(kLookLineCount == 372, "a Look file has 372 lines");

inline const LookMessage& messageFor(const LookLine& line)
{
    return kLookMessages[static_cast<std::size_t>(line.message)];
}

} // namespace looks
} // namespace kalthorne
