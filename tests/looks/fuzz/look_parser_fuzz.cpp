// libFuzzer target over the Look-line token reader and the whole-file plan.
// Besides the sanitizers' checks it traps when a plan would write a value the
// host must never receive.
#include "look_plan.h"
#include "look_tokens.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace kalthorne::looks;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void fuzzToken(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const char* key = kLookLines[data[0] % kLookLineCount].key;
    // exactly-sized buffers, so any overrun is caught
    std::vector<char> line(data + 1, data + size);
    line.push_back('\0');
    const std::size_t lineLen = std::strlen(line.data());
    std::vector<char> token(lineLen + 1, 'T');
    token[lineLen] = '\0';
    const std::vector<char> before = line;
    const int found = get_str_token(token.data(), key, line.data());
    if (found) {
        check(std::strlen(token.data()) <= lineLen);
        check(std::strlen(line.data()) == std::strlen(token.data()));
    } else {
        check(line == before);
    }
}

void fuzzPlan(const std::uint8_t* data, std::size_t size) {
    LookContext context;
    context.clipSize = [](FallbackKind) { return 2048; };
    const LookPlan plan = planLookLoad(reinterpret_cast<const char*>(data), size, context);
    if (plan.outcome != LookOutcome::Apply) {
        check(plan.steps.empty());
        return;
    }
    for (const LookStep& s : plan.steps) {
        if (s.kind == StepKind::SetDouble || s.kind == StepKind::SetInt) check(std::isfinite(s.value));
        if (s.param == "ColorRefine") check(s.value >= 0 && s.value <= 11);
        if (s.param == "DisplayGamutOutput" && s.kind == StepKind::SetInt) check(s.value >= 0 && s.value <= 14);
        if (s.param == "InputGamut") check(s.value >= 0 && s.value <= 48);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzToken(data, size);
    fuzzPlan(data, size);
    return 0;
}
