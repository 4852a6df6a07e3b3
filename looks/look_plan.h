// A Look load decided in full before anything is written: the file is read,
// every line tokenised, parsed and range-checked, and the outcome is a list of
// host operations (messages, writes, show/hide) in the order they must happen.
// Nothing here touches the host, so it runs in tests and under a fuzzer.
#pragma once

#include "look_file_io.h"
#include "look_line_table.h"
#include "looks/preset_write.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kalthorne {
namespace looks {

enum class StepKind { Message, SetDouble, SetInt, SetBool, Hide, Show };

struct LookStep {
    StepKind kind;
    std::string param; // parameter name; empty for messages
    double value;      // the value written; 0/1 for SetBool
    std::string text;  // message text
};

// Values in force on the host before the load, used where the file has no
// line to decide them (a file that ends early).
struct LookContext {
    double pitches[6] = {3.0, 3.0, 3.0, 3.0, 3.0, 3.0}; // Soprano .. Bass
    // R, G, B of each RGB set in kRgbGroups order: Dmin, Dmax, printer black
    // points, printer lights
    double channels[12] = {0.584, 0.584, 0.584, 0.838, 0.838, 0.838,
                           0.141, 0.141, 0.141, 0.909, 0.909, 0.909};
    // Width or height of the Source/Output image for the size fallbacks;
    // empty means no image (1920 x 1080 then).
    std::function<int(FallbackKind)> clipSize;
};

enum class LookOutcome {
    Apply,      // write `steps`
    MissingKey, // a line lacks its key: send `message`, write nothing
    Unreadable, // no Look line at all (an empty file), or a read that failed
};

struct LookPlan {
    LookOutcome outcome = LookOutcome::Unreadable;
    int failedLine = 0; // the line whose key is missing
    std::string message;
    std::vector<LookStep> steps;
};

// Reads the Look lines from `lines` (never past line 372) and plans the load.
LookPlan planLookLoad(LookLineReader& lines, const LookContext& context);
// The same for a file held in memory.
LookPlan planLookLoad(const char* data, std::size_t size, const LookContext& context);

// Text of the abort message for a line whose key is missing.
std::string missingKeyMessage(const LookLine& line);

// A preset table's write as a step of the plan.
LookStep stepOf(const PresetWrite& w);

// Look print preset of a print stock index 1..9 (see look_print_preset.cpp).
void appendLookPrintPreset(int stock, std::vector<LookStep>& steps);

} // namespace looks
} // namespace kalthorne
