// Compiled once against the project's ofx/ headers and once against the
// OpenFX standard's (see CMakeLists.txt); KALTHORNE_FACTS_NS names the side.
#include "ofx_facts.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <typeinfo>
#include <type_traits>

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxMemory.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxParam.h"
#include "ofxProperty.h"
#if __has_include("ofxNatron.h")
#include "ofxNatron.h"
#endif
// The standard spreads some names over headers of its own (deprecated ones
// in ofxOld.h, for instance); ofx/ has none of these.
#if __has_include("ofxOld.h")
#include "ofxOld.h"
#endif
#if __has_include("ofxParametricParam.h")
#include "ofxParametricParam.h"
#endif
#if __has_include("ofxInteract.h")
#include "ofxInteract.h"
#endif
#if __has_include("ofxProgress.h")
#include "ofxProgress.h"
#endif
#if __has_include("ofxTimeLine.h")
#include "ofxTimeLine.h"
#endif
#if __has_include("ofxGPURender.h")
#include "ofxGPURender.h"
#endif

#include "ofx_layouts.h"

namespace ofxfacts {
namespace KALTHORNE_FACTS_NS {

namespace {
template <class T>
std::string valueOf(T v) {
  if constexpr (std::is_integral_v<T>) return std::to_string(static_cast<long long>(v));
  else return "\"" + std::string(v ? v : "") + "\"";
}
// The readable form of a type, as a message would show it.
std::string typeName(const std::type_info& t) {
  int status = 0;
  char* readable = abi::__cxa_demangle(t.name(), nullptr, nullptr, &status);
  std::string out = status == 0 && readable ? readable : t.name();
  std::free(readable);
  return out;
}
}  // namespace

Facts facts() {
  Facts f;
  std::vector<std::string> declared;
#define KALTHORNE_OFX_NAME(n) f.names[#n] = valueOf(n);
#define KALTHORNE_OFX_MISSING(n) f.names[#n] = "";
#define KALTHORNE_OFX_STRUCT(s) declared.push_back(#s);
#include "ofx_declared_names.inc"
#undef KALTHORNE_OFX_NAME
#undef KALTHORNE_OFX_MISSING
#undef KALTHORNE_OFX_STRUCT

  // The struct being listed: its members must reach its end, but for padding.
  std::string open;
  std::size_t size = 0, alignment = 1, end = 0;
  auto close = [&] {
    if (!open.empty() && size - end >= alignment) f.uncompared.push_back(open + " (after its last member)");
    open.clear();
  };
  auto number = [](std::size_t n) { return std::to_string(n); };
#define KALTHORNE_S(s)                                                                             \
  close();                                                                                         \
  open = #s, size = sizeof(s), alignment = alignof(s), end = 0;                                   \
  f.layouts.push_back(open + ": size " + number(size) + ", alignment " + number(alignment));     \
  declared.erase(std::remove(declared.begin(), declared.end(), open), declared.end());
#define KALTHORNE_M(s, m)                                                                          \
  end = offsetof(s, m) + sizeof(s::m);                                                             \
  f.layouts.push_back(#s "." #m ": offset " + number(offsetof(s, m)) + ", size " + number(sizeof(s::m)) + \
                      ", type " + typeName(typeid(decltype(s::m))));
#define KALTHORNE_T(t) f.layouts.push_back(#t " is " + typeName(typeid(t)));
  KALTHORNE_OFX_LAYOUTS(KALTHORNE_S, KALTHORNE_M, KALTHORNE_T)
#undef KALTHORNE_S
#undef KALTHORNE_M
#undef KALTHORNE_T
  close();
  f.uncompared.insert(f.uncompared.end(), declared.begin(), declared.end());
  return f;
}

}  // namespace KALTHORNE_FACTS_NS
}  // namespace ofxfacts
