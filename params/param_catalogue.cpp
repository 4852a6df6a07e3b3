#include "param_catalogue.h"

#include <cmath>
#include <string_view>
#include <unordered_map>

#include "param_handles.h"
#include "param_table.h"

namespace kalthorne {
namespace params {

namespace {
using rows::hidden;
using rows::shown;
}  // namespace

#define KP_KEY_Double(Name) #Name
#define KP_KEY_Int(Name) #Name
#define KP_KEY_Boolean(Name) #Name
#define KP_KEY_Choice(Name) #Name
#define KP_KEY_PushButton(Key) Key

#define KP_SPEC_ROW(A, Kind, Name, Label, Hint, Default, Low, High, Attr) \
  ParamSpec{ParamKind::Kind, KP_KEY_##Kind(Name), Label, Hint, Default, Low, High, Attr},

const ParamSpec kParamSpecs[kParamCount] = {KALTHORNE_PARAM_TABLE(KP_SPEC_ROW, ~)};

#undef KP_SPEC_ROW

// The bound above already rejects a table longer than kParamCount; this
// rejects a shorter one (the rest would be silently zero-filled).
#define KP_COUNT_ROW(A, Kind, Name, Label, Hint, Default, Low, High, Attr) +1
static_assert(0 KALTHORNE_PARAM_TABLE(KP_COUNT_ROW, ~) == kParamCount,
              "the catalogue table and kParamCount disagree");
#undef KP_COUNT_ROW

#define KP_COUNT_HANDLE(Type, Name) +1
static_assert(0 KALTHORNE_PARAM_HANDLES(KP_COUNT_HANDLE) == KALTHORNE_PARAM_HANDLE_COUNT,
              "every parameter but the two push buttons takes a handle");
#undef KP_COUNT_HANDLE

// Renders look up every parameter they read, so the lookup is hashed.
const ParamSpec* findParamSpec(std::string_view name) {
  static const auto* const byName = [] {
    auto* m = new std::unordered_map<std::string_view, const ParamSpec*>;
    for (const ParamSpec& spec : kParamSpecs) m->emplace(spec.name, &spec);
    return m;
  }();
  const auto it = byName->find(name);
  return it == byName->end() ? nullptr : it->second;
}

namespace {
bool hasRange(const ParamSpec& spec) { return spec.kind == ParamKind::Double || spec.kind == ParamKind::Int; }
}  // namespace

double heldToDeclared(const ParamSpec& spec, double stored) {
  if (!hasRange(spec)) return stored;
  if (!std::isfinite(stored)) return spec.defaultValue;
  return std::fmin(std::fmax(stored, spec.low), spec.high);
}

int heldToDeclared(const ParamSpec& spec, int stored) {
  if (!hasRange(spec)) return stored;
  return static_cast<int>(heldToDeclared(spec, static_cast<double>(stored)));
}

}  // namespace params
}  // namespace kalthorne
