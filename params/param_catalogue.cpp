#include "param_catalogue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <utility>

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

// Renders look up every parameter they read, so the lookup is a binary
// search over the names in order. The index is trivially destructible and
// takes no heap: a bundle the host unloads leaves nothing behind, and a
// render at exit never meets a destroyed table.
const ParamSpec* findParamSpec(std::string_view name) {
  using Entry = std::pair<std::string_view, const ParamSpec*>;
  static const std::array<Entry, kParamCount> byName = [] {
    std::array<Entry, kParamCount> index{};
    for (int i = 0; i < kParamCount; ++i) index[i] = {kParamSpecs[i].name, &kParamSpecs[i]};
    std::sort(index.begin(), index.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
    return index;
  }();
  const auto it = std::lower_bound(byName.begin(), byName.end(), name,
                                   [](const Entry& e, std::string_view n) { return e.first < n; });
  return it != byName.end() && it->first == name ? it->second : nullptr;
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
