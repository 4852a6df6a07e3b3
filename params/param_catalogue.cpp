#include "param_catalogue.h"

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

const ParamSpec* findParamSpec(std::string_view name) {
  for (const ParamSpec& spec : kParamSpecs) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

}  // namespace params
}  // namespace kalthorne
