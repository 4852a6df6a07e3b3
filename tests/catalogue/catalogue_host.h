// One described effect shared by the catalogue tests. The host carries no
// Natron mark, so instances never look for a CUDA device; the description
// itself does not depend on the host.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/host/ofx_test_host.h"

namespace cataloguetest {

inline ofxtest::Host& describedHost() {
  static std::unique_ptr<ofxtest::Host> host = [] {
    ofxtest::HostOptions options;
    options.natron = ofxtest::NatronMark::Absent;
    auto h = std::make_unique<ofxtest::Host>(options);
    std::string error;
    if (!h->loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) ADD_FAILURE() << "describe failed: " << error;
    return h;
  }();
  return *host;
}

inline ofxtest::EffectObject& describedIn(const std::string& context = kOfxImageEffectContextGeneral) {
  return describedHost().contextDescriptor(context);
}

// The parameters of the general context in definition order, without pages.
inline std::vector<ofxtest::ParamObject*> valueParams() {
  std::vector<ofxtest::ParamObject*> out;
  for (const auto& p : describedIn().paramSet.params)
    if (p->type != kOfxParamTypePage) out.push_back(p.get());
  return out;
}

inline ofxtest::ParamObject& param(const std::string& name) {
  ofxtest::ParamObject* p = describedIn().paramSet.find(name);
  if (!p) throw std::out_of_range("no parameter " + name);
  return *p;
}

inline std::string hint(const std::string& name) { return param(name).props.getString(kOfxParamPropHint); }
inline std::string label(const std::string& name) { return param(name).props.getString(kOfxPropLabel); }
inline double defaultOf(const std::string& name) { return param(name).props.getDouble(kOfxParamPropDefault); }

inline std::vector<std::string> pageChildren() {
  return describedIn().paramSet.params.front()->props.getStrings(kOfxParamPropPageChild);
}

}  // namespace cataloguetest
