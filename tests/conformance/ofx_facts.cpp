// Compiled once against the project's ofx/ headers and once against the
// OpenFX standard's (see CMakeLists.txt); KALTHORNE_FACTS_NS names the side.
#include "ofx_facts.h"

#include <cxxabi.h>

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
NamedValue valueOf(const char* name, T v) {
  NamedValue n;
  n.name = name;
  n.declared = true;
  if constexpr (std::is_integral_v<T>) {
    n.number = static_cast<long long>(v);
  } else {
    n.isString = true;
    n.text = v ? v : "";
  }
  return n;
}
// The readable form of a type, as a message would show it.
std::string typeName(const std::type_info& t) {
  int status = 0;
  char* readable = abi::__cxa_demangle(t.name(), nullptr, nullptr, &status);
  std::string out = status == 0 && readable ? readable : t.name();
  std::free(readable);
  return out;
}
[[maybe_unused]] NamedValue missing(const char* name) {
  NamedValue n;
  n.name = name;
  return n;
}
}  // namespace

Facts facts() {
  Facts f;
#define KALTHORNE_OFX_NAME(n) f.names.push_back(valueOf(#n, n));
#define KALTHORNE_OFX_MISSING(n) f.names.push_back(missing(#n));
#define KALTHORNE_OFX_STRUCT(s) f.structs.push_back(#s);
#include "ofx_declared_names.inc"
#undef KALTHORNE_OFX_NAME
#undef KALTHORNE_OFX_MISSING
#undef KALTHORNE_OFX_STRUCT

#define KALTHORNE_S(s) f.layouts.push_back(Layout{#s, sizeof(s), alignof(s), "", {}});
#define KALTHORNE_M(s, m) \
  f.layouts.back().members.push_back(Member{#m, offsetof(s, m), sizeof(s::m), typeName(typeid(decltype(s::m)))});
#define KALTHORNE_T(t) f.layouts.push_back(Layout{#t, 0, 0, typeName(typeid(t)), {}});
  KALTHORNE_OFX_LAYOUTS(KALTHORNE_S, KALTHORNE_M, KALTHORNE_T)
#undef KALTHORNE_S
#undef KALTHORNE_M
#undef KALTHORNE_T
  return f;
}

}  // namespace KALTHORNE_FACTS_NS
}  // namespace ofxfacts
