// Shared between the test host's sources; not for tests.
#pragma once

#include <string>

#include "tests/host/ofx_test_host.h"

namespace ofxtest {
namespace internal {

EffectObject* effectFrom(const void* h);
ParamSetObject* paramSetFrom(OfxParamSetHandle h);
ParamObject* paramFrom(OfxParamHandle h);
ClipObject* clipFrom(OfxImageClipHandle h);

bool knownParamType(const std::string& type);
// Declares every property of the object's kind with its default (unsealed).
void declareObject(PropertySet& props, ObjectKind kind, const std::string& paramType = "");
// A new clip or parameter descriptor's properties, sealed.
void describeClip(PropertySet& props, const std::string& name);
void describeParam(PropertySet& props, const std::string& name, const std::string& type);

// Whether the plug-in may make this call now; a refusal is recorded with
// the host and answered with kOfxStatErrUnsupported.
bool allowed(Host* host, bool ok, const std::string& call);

inline Instance* instanceOfClip(ClipObject* c) { return c->instance; }
inline Instance* instanceOfParam(ParamObject* p) { return p->instance; }
inline Instance* instanceOfParamSet(ParamSetObject* ps) { return ps->instance; }

inline OfxStatus fetchImage(Instance& inst, ClipObject& clip, double time, OfxPropertySetHandle* image) {
  return inst.fetchImage_(clip, time, image);
}
OfxStatus releaseImage(OfxPropertySetHandle image);
inline bool readParam(Instance& inst, ParamObject& p, bool atTime, double time, double* v) {
  if (inst.refuses_(Event{atTime ? Event::Kind::GetValueAtTime : Event::Kind::GetValue, p.name, time, 0, "", ""}))
    return false;
  *v = inst.readParam_(p, atTime, time);
  return true;
}
inline OfxStatus writeParam(Instance& inst, ParamObject& p, bool atTime, double time, double v) {
  return inst.writeParam_(p, atTime, time, v);
}
inline void recordEvent(Instance& inst, Event e) { inst.record(std::move(e)); }

const void* fetchSuite(OfxPropertySetHandle host, const char* name, int version);

}  // namespace internal
}  // namespace ofxtest
