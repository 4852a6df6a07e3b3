// The parameter catalogue as data: one ParamSpec per parameter, expanded from
// KALTHORNE_PARAM_TABLE (param_table.h), plus the four choice option lists.
// The describe code walks it; other code may look entries up by name.
#pragma once

#include <cstddef>
#include <string_view>

namespace kalthorne {
namespace params {

enum class ParamKind : unsigned char { Double, Int, Boolean, Choice, PushButton };

// The order in which a parameter's attributes reach its descriptor. Hosts
// see the same final description either way; the orders are kept as the
// effect has always issued them.
enum class AttrOrder : unsigned char {
  Standard,              // label, hint, [hidden], ..., default, range, ...
  IncrementBeforeRange,  // Double: increment set before the range
  HiddenLast,            // disabled/secret after default and ranges
  HiddenFirst,           // Boolean: disabled/secret, default, then label and hint
};

// A setting that is either left at the host's default or set on or off.
enum class Setting : signed char { HostDefault = -1, Off = 0, On = 1 };

struct ChoiceOption {
  const char* label;
  const char* help;  // appended to the choice's hint, one line per option
};

// Everything a row sets beyond name, texts, default and range.
struct ParamAttributes {
  bool visible = false;    // false: described disabled and secret
  int digits = 0;          // 0: host default
  double increment = 0.0;  // 0: host default
  Setting animates = Setting::HostDefault;
  Setting evaluateOnChange = Setting::HostDefault;
  AttrOrder order = AttrOrder::Standard;
  const ChoiceOption* options = nullptr;
  int optionCount = 0;
};

// What the table's rows write in their last column: `hidden` or `shown`,
// followed by chained setters, e.g. hidden.digits(5).increment(0.001).
namespace rows {
struct Attributes {
  ParamAttributes a;

  constexpr Attributes digits(int d) const { Attributes r = *this; r.a.digits = d; return r; }
  constexpr Attributes increment(double step) const { Attributes r = *this; r.a.increment = step; return r; }
  constexpr Attributes animates(bool on) const { Attributes r = *this; r.a.animates = on ? Setting::On : Setting::Off; return r; }
  constexpr Attributes evaluateOnChange(bool on) const { Attributes r = *this; r.a.evaluateOnChange = on ? Setting::On : Setting::Off; return r; }
  constexpr Attributes incrementBeforeRange() const { return ordered(AttrOrder::IncrementBeforeRange); }
  constexpr Attributes hiddenLast() const { return ordered(AttrOrder::HiddenLast); }
  constexpr Attributes hiddenFirst() const { return ordered(AttrOrder::HiddenFirst); }
  template <std::size_t N>
  constexpr Attributes options(const ChoiceOption (&list)[N]) const {
    Attributes r = *this; r.a.options = list; r.a.optionCount = static_cast<int>(N); return r;
  }
  constexpr operator ParamAttributes() const { return a; }

 private:
  constexpr Attributes ordered(AttrOrder o) const { Attributes r = *this; r.a.order = o; return r; }
};

constexpr Attributes hidden{};
constexpr Attributes shown{ParamAttributes{true}};
}  // namespace rows

struct ParamSpec {
  ParamKind kind;
  const char* name;   // the key the host stores the value under
  const char* label;  // nullptr: not set
  const char* hint;   // nullptr: not set; for choices, the hint before the option lines
  double defaultValue;
  double low, high;   // range and display range (Double and Int only)
  ParamAttributes attributes;
};

constexpr int kParamCount = 534;

extern const ParamSpec kParamSpecs[kParamCount];

extern const ChoiceOption kInputGamutOptions[49];
extern const ChoiceOption kCameraStockOptions[25];
extern const ChoiceOption kPrintProfileOptions[10];
extern const ChoiceOption kDisplayGamutOutputOptions[15];

// The catalogue entry for a key, or nullptr.
const ParamSpec* findParamSpec(std::string_view name);

// What a stored value means to the effect. A project written by hand, by a
// script or by a damaged file can hold anything the host accepts: a
// non-finite double reads as the parameter's default, a number outside the
// declared range as the nearer end of it. Booleans and choices pass
// unchanged (a choice index outside its list has a meaning of its own).
double heldToDeclared(const ParamSpec& spec, double stored);
int heldToDeclared(const ParamSpec& spec, int stored);

}  // namespace params
}  // namespace kalthorne
