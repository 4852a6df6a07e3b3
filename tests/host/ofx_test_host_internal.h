// Shared between the test host's sources; not for tests.
#pragma once

#include <string>

#include "tests/host/ofx_test_host.h"

namespace ofxtest {

// Releases an image fetched by any instance; counts a bad release otherwise.
OfxStatus releaseImage(OfxPropertySetHandle image);

namespace internal {

const OfxPropertySuiteV1* propertySuite();
const void* fetchSuite(OfxPropertySetHandle host, const char* name, int version);

bool knownParamType(const std::string& type);
// Declares every property of the object's kind with its default.
void declareObject(PropertySet& props, ObjectKind kind, const std::string& paramType = "");

// The object behind a handle the host gave out, or null.
template <class T>
T* objectFrom(const void* h) {
  T* o = reinterpret_cast<T*>(const_cast<void*>(h));
  return (o && o->magic == T::kMagic) ? o : nullptr;
}

}  // namespace internal
}  // namespace ofxtest
