// The suites the test host hands to the plug-in. Every function checks its
// handles, records what the plug-in did and never calls back into the
// plug-in while holding a lock.
#include <dlfcn.h>

#include <cfloat>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/host/ofx_test_host.h"
#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {
namespace internal {

using Type = PropertySet::Type;

EffectObject* effectFrom(const void* h) {
  EffectObject* e = reinterpret_cast<EffectObject*>(const_cast<void*>(h));
  return (e && e->magic == EffectObject::kMagic) ? e : nullptr;
}
ParamSetObject* paramSetFrom(OfxParamSetHandle h) {
  ParamSetObject* p = reinterpret_cast<ParamSetObject*>(h);
  return (p && p->magic == ParamSetObject::kMagic) ? p : nullptr;
}
ParamObject* paramFrom(OfxParamHandle h) {
  ParamObject* p = reinterpret_cast<ParamObject*>(h);
  return (p && p->magic == ParamObject::kMagic) ? p : nullptr;
}
ClipObject* clipFrom(OfxImageClipHandle h) {
  ClipObject* c = reinterpret_cast<ClipObject*>(h);
  return (c && c->magic == ClipObject::kMagic) ? c : nullptr;
}

namespace {

// ------------------------------------------------------------ property suite

template <class T>
OfxStatus propSet(OfxPropertySetHandle h, const char* name, int index, Type type, T value) {
  PropertySet* p = PropertySet::from(h);
  if (!p) return kOfxStatErrBadHandle;
  return p->suiteSet(name, index, type, &value);
}
template <class T>
OfxStatus propSetN(OfxPropertySetHandle h, const char* name, int count, Type type, const T* values) {
  PropertySet* p = PropertySet::from(h);
  if (!p) return kOfxStatErrBadHandle;
  return p->suiteSetN(name, count, type, values);
}
template <class T>
OfxStatus propGet(OfxPropertySetHandle h, const char* name, int index, Type type, T* value) {
  PropertySet* p = PropertySet::from(h);
  if (!p) return kOfxStatErrBadHandle;
  return p->suiteGet(name, index, type, value);
}
template <class T>
OfxStatus propGetN(OfxPropertySetHandle h, const char* name, int count, Type type, T* values) {
  PropertySet* p = PropertySet::from(h);
  if (!p || (count > 0 && !values)) return kOfxStatErrBadHandle;
  for (int i = 0; i < count; ++i) {
    OfxStatus s = p->suiteGet(name, i, type, &values[i]);
    if (s != kOfxStatOK) return s;
  }
  return kOfxStatOK;
}

OfxStatus propSetPointer(OfxPropertySetHandle h, const char* n, int i, void* v) {
  return propSet(h, n, i, Type::Pointer, v);
}
OfxStatus propSetString(OfxPropertySetHandle h, const char* n, int i, const char* v) {
  return propSet(h, n, i, Type::String, v);
}
OfxStatus propSetDouble(OfxPropertySetHandle h, const char* n, int i, double v) {
  return propSet(h, n, i, Type::Double, v);
}
OfxStatus propSetInt(OfxPropertySetHandle h, const char* n, int i, int v) { return propSet(h, n, i, Type::Int, v); }
OfxStatus propSetPointerN(OfxPropertySetHandle h, const char* n, int c, void* const* v) {
  return propSetN(h, n, c, Type::Pointer, v);
}
OfxStatus propSetStringN(OfxPropertySetHandle h, const char* n, int c, const char* const* v) {
  return propSetN(h, n, c, Type::String, v);
}
OfxStatus propSetDoubleN(OfxPropertySetHandle h, const char* n, int c, const double* v) {
  return propSetN(h, n, c, Type::Double, v);
}
OfxStatus propSetIntN(OfxPropertySetHandle h, const char* n, int c, const int* v) {
  return propSetN(h, n, c, Type::Int, v);
}
OfxStatus propGetPointer(OfxPropertySetHandle h, const char* n, int i, void** v) {
  return propGet(h, n, i, Type::Pointer, v);
}
OfxStatus propGetString(OfxPropertySetHandle h, const char* n, int i, char** v) {
  return propGet(h, n, i, Type::String, v);
}
OfxStatus propGetDouble(OfxPropertySetHandle h, const char* n, int i, double* v) {
  return propGet(h, n, i, Type::Double, v);
}
OfxStatus propGetInt(OfxPropertySetHandle h, const char* n, int i, int* v) { return propGet(h, n, i, Type::Int, v); }
OfxStatus propGetPointerN(OfxPropertySetHandle h, const char* n, int c, void** v) {
  return propGetN(h, n, c, Type::Pointer, v);
}
OfxStatus propGetStringN(OfxPropertySetHandle h, const char* n, int c, char** v) {
  return propGetN(h, n, c, Type::String, v);
}
OfxStatus propGetDoubleN(OfxPropertySetHandle h, const char* n, int c, double* v) {
  return propGetN(h, n, c, Type::Double, v);
}
OfxStatus propGetIntN(OfxPropertySetHandle h, const char* n, int c, int* v) {
  return propGetN(h, n, c, Type::Int, v);
}
OfxStatus propReset(OfxPropertySetHandle h, const char* n) {
  PropertySet* p = PropertySet::from(h);
  return p ? p->suiteReset(n) : kOfxStatErrBadHandle;
}
OfxStatus propGetDimension(OfxPropertySetHandle h, const char* n, int* count) {
  PropertySet* p = PropertySet::from(h);
  return p ? p->suiteDimension(n, count) : kOfxStatErrBadHandle;
}

const OfxPropertySuiteV1 kPropertySuite = {
    propSetPointer, propSetString, propSetDouble, propSetInt, propSetPointerN, propSetStringN,
    propSetDoubleN, propSetIntN,   propGetPointer, propGetString, propGetDouble, propGetInt,
    propGetPointerN, propGetStringN, propGetDoubleN, propGetIntN, propReset, propGetDimension,
};

// -------------------------------------------------------- image-effect suite

OfxStatus getPropertySet(OfxImageEffectHandle h, OfxPropertySetHandle* props) {
  EffectObject* e = effectFrom(h);
  if (!e || !props) return kOfxStatErrBadHandle;
  *props = e->props.handle();
  return kOfxStatOK;
}

OfxStatus getParamSet(OfxImageEffectHandle h, OfxParamSetHandle* ps) {
  EffectObject* e = effectFrom(h);
  if (!e || !ps) return kOfxStatErrBadHandle;
  *ps = reinterpret_cast<OfxParamSetHandle>(&e->paramSet);
  return kOfxStatOK;
}

OfxStatus clipDefine(OfxImageEffectHandle h, const char* name, OfxPropertySetHandle* props) {
  EffectObject* e = effectFrom(h);
  if (!e || !name || e->instance) return kOfxStatErrBadHandle;
  if (!allowed(e->host, e->host && e->host->describing(e), std::string("clipDefine(") + name + ") outside describe-in-context"))
    return kOfxStatErrUnsupported;
  ClipObject* c = e->findClip(name);
  if (!c) {
    e->clips.emplace_back(new ClipObject);
    c = e->clips.back().get();
    c->name = name;
    describeClip(c->props, name);
  }
  if (props) *props = c->props.handle();
  return kOfxStatOK;
}

OfxStatus clipGetHandle(OfxImageEffectHandle h, const char* name, OfxImageClipHandle* clip,
                        OfxPropertySetHandle* props) {
  EffectObject* e = effectFrom(h);
  // Descriptors have no clip handles: not valid in the describe actions.
  if (!e || !name || !clip || !e->instance) return kOfxStatErrBadHandle;
  ClipObject* c = e->findClip(name);
  if (!c) return kOfxStatErrUnknown;
  *clip = reinterpret_cast<OfxImageClipHandle>(c);
  if (props) *props = c->props.handle();
  return kOfxStatOK;
}

OfxStatus clipGetPropertySet(OfxImageClipHandle h, OfxPropertySetHandle* props) {
  ClipObject* c = clipFrom(h);
  if (!c || !props) return kOfxStatErrBadHandle;
  *props = c->props.handle();
  return kOfxStatOK;
}

OfxStatus clipGetImage(OfxImageClipHandle h, OfxTime time, const OfxRectD*, OfxPropertySetHandle* image) {
  ClipObject* c = clipFrom(h);
  if (!c || !image) return kOfxStatErrBadHandle;
  Instance* inst = instanceOfClip(c);
  if (!inst) return kOfxStatErrBadHandle;
  // An image lives for the action it was fetched in.
  if (!allowed(Host::current(), inst->inAction_(), "clipGetImage(" + c->name + ") outside an action"))
    return kOfxStatErrUnsupported;
  return fetchImage(*inst, *c, time, image);
}

OfxStatus clipReleaseImage(OfxPropertySetHandle image) { return releaseImage(image); }

OfxStatus clipGetRegionOfDefinition(OfxImageClipHandle h, OfxTime time, OfxRectD* bounds) {
  ClipObject* c = clipFrom(h);
  if (!c || !bounds) return kOfxStatErrBadHandle;
  auto it = c->imagesAt.find(time);
  std::shared_ptr<ImageBuffer> img = it != c->imagesAt.end() ? it->second : c->image;
  if (!img) {
    *bounds = OfxRectD{0, 0, 1920, 1080};
    return kOfxStatOK;
  }
  *bounds = OfxRectD{double(img->bounds.x1), double(img->bounds.y1), double(img->bounds.x2), double(img->bounds.y2)};
  return kOfxStatOK;
}

int abortRender(OfxImageEffectHandle) { return 0; }

OfxStatus imageMemoryAlloc(OfxImageEffectHandle, size_t nBytes, OfxImageMemoryHandle* mem) {
  if (!mem) return kOfxStatErrBadHandle;
  void* p = std::malloc(nBytes ? nBytes : 1);
  if (!p) return kOfxStatErrMemory;
  *mem = reinterpret_cast<OfxImageMemoryHandle>(p);
  return kOfxStatOK;
}
OfxStatus imageMemoryFree(OfxImageMemoryHandle mem) {
  std::free(mem);
  return kOfxStatOK;
}
OfxStatus imageMemoryLock(OfxImageMemoryHandle mem, void** ptr) {
  if (!mem || !ptr) return kOfxStatErrBadHandle;
  *ptr = mem;
  return kOfxStatOK;
}
OfxStatus imageMemoryUnlock(OfxImageMemoryHandle mem) { return mem ? kOfxStatOK : kOfxStatErrBadHandle; }

const OfxImageEffectSuiteV1 kImageEffectSuite = {
    getPropertySet, getParamSet,      clipDefine,       clipGetHandle,   clipGetPropertySet,
    clipGetImage,   clipReleaseImage, clipGetRegionOfDefinition, abortRender, imageMemoryAlloc,
    imageMemoryFree, imageMemoryLock, imageMemoryUnlock,
};

// ----------------------------------------------------------- parameter suite

OfxStatus paramDefine(OfxParamSetHandle h, const char* type, const char* name, OfxPropertySetHandle* props) {
  ParamSetObject* ps = paramSetFrom(h);
  if (!ps || !type || !name) return kOfxStatErrBadHandle;
  if (ps->instance) return kOfxStatErrBadHandle;
  Host* host = Host::current();
  if (!allowed(host, host && host->describingParams(ps),
               std::string("paramDefine(") + name + ") outside describe-in-context"))
    return kOfxStatErrUnsupported;
  if (!knownParamType(type)) return kOfxStatErrUnknown;
  if (ps->find(name)) return kOfxStatErrExists;
  ps->params.emplace_back(new ParamObject);
  ParamObject* p = ps->params.back().get();
  p->name = name;
  p->type = type;
  describeParam(p->props, name, type);
  if (props) *props = p->props.handle();
  return kOfxStatOK;
}

OfxStatus paramGetHandle(OfxParamSetHandle h, const char* name, OfxParamHandle* param,
                         OfxPropertySetHandle* props) {
  ParamSetObject* ps = paramSetFrom(h);
  if (!ps || !name || !param) return kOfxStatErrBadHandle;
  ParamObject* p = ps->find(name);
  if (!p) return kOfxStatErrUnknown;
  *param = reinterpret_cast<OfxParamHandle>(p);
  if (props) *props = p->props.handle();
  return kOfxStatOK;
}

OfxStatus paramSetGetPropertySet(OfxParamSetHandle h, OfxPropertySetHandle* props) {
  ParamSetObject* ps = paramSetFrom(h);
  if (!ps || !props) return kOfxStatErrBadHandle;
  *props = ps->props.handle();
  return kOfxStatOK;
}

OfxStatus paramGetPropertySet(OfxParamHandle h, OfxPropertySetHandle* props) {
  ParamObject* p = paramFrom(h);
  if (!p || !props) return kOfxStatErrBadHandle;
  *props = p->props.handle();
  return kOfxStatOK;
}

bool isIntLike(const std::string& t) {
  return t == kOfxParamTypeInteger || t == kOfxParamTypeBoolean || t == kOfxParamTypeChoice;
}

// The actions in which the plug-in may change parameter values.
bool mayWrite(Instance& inst, const std::string& call) {
  return allowed(Host::current(),
                 inst.inAction_({kOfxActionCreateInstance, kOfxActionBeginInstanceChanged, kOfxActionInstanceChanged,
                                 kOfxActionEndInstanceChanged, kOfxActionSyncPrivateData}),
                 call + " outside create-instance, instance-changed and sync-private-data");
}

OfxStatus getValue(ParamObject* p, bool atTime, double time, va_list ap) {
  Instance* inst = instanceOfParam(p);
  if (!inst) return kOfxStatErrBadHandle;
  // Renders read at their frame's time, never "now".
  if (!atTime && !allowed(Host::current(),
                          !inst->inAction_({kOfxImageEffectActionRender, kOfxImageEffectActionBeginSequenceRender,
                                            kOfxImageEffectActionEndSequenceRender}),
                          "paramGetValue(" + p->name + ") in a render action"))
    return kOfxStatErrUnsupported;
  const double t = atTime ? time : inst->currentTime();
  double v = 0;
  if (!readParam(*inst, *p, atTime, t, &v)) return kOfxStatErrBadHandle;
  if (isIntLike(p->type)) {
    int* out = va_arg(ap, int*);
    if (!out) return kOfxStatErrBadHandle;
    *out = int(v);
  } else if (p->type == kOfxParamTypeDouble) {
    double* out = va_arg(ap, double*);
    if (!out) return kOfxStatErrBadHandle;
    *out = v;
  } else if (p->type == kOfxParamTypeString) {
    const char** out = va_arg(ap, const char**);
    if (!out) return kOfxStatErrBadHandle;
    *out = p->stringValue.c_str();
  } else {
    return kOfxStatErrUnsupported;
  }
  return kOfxStatOK;
}

OfxStatus paramGetValue(OfxParamHandle h, ...) {
  ParamObject* p = paramFrom(h);
  if (!p) return kOfxStatErrBadHandle;
  va_list ap;
  va_start(ap, h);
  OfxStatus s = getValue(p, false, 0, ap);
  va_end(ap);
  return s;
}

OfxStatus paramGetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
  ParamObject* p = paramFrom(h);
  if (!p) return kOfxStatErrBadHandle;
  va_list ap;
  va_start(ap, time);
  OfxStatus s = getValue(p, true, time, ap);
  va_end(ap);
  return s;
}

OfxStatus paramGetDerivative(OfxParamHandle, OfxTime, ...) { return kOfxStatErrUnsupported; }
OfxStatus paramGetIntegral(OfxParamHandle, OfxTime, OfxTime, ...) { return kOfxStatErrUnsupported; }

OfxStatus setValue(ParamObject* p, bool atTime, double time, va_list ap) {
  Instance* inst = instanceOfParam(p);
  if (!inst) return kOfxStatErrBadHandle;
  if (!mayWrite(*inst, "paramSetValue(" + p->name + ")")) return kOfxStatErrUnsupported;
  double v = 0;
  if (isIntLike(p->type)) {
    v = va_arg(ap, int);
    if (p->type == kOfxParamTypeBoolean) v = v != 0 ? 1 : 0;
  } else if (p->type == kOfxParamTypeDouble) {
    v = va_arg(ap, double);
  } else if (p->type == kOfxParamTypeString) {
    const char* s = va_arg(ap, const char*);
    p->stringValue = s ? s : "";
  } else {
    return kOfxStatErrUnsupported;
  }
  return writeParam(*inst, *p, atTime, atTime ? time : inst->currentTime(), v);
}

OfxStatus paramSetValue(OfxParamHandle h, ...) {
  ParamObject* p = paramFrom(h);
  if (!p) return kOfxStatErrBadHandle;
  va_list ap;
  va_start(ap, h);
  OfxStatus s = setValue(p, false, 0, ap);
  va_end(ap);
  return s;
}

OfxStatus paramSetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
  ParamObject* p = paramFrom(h);
  if (!p) return kOfxStatErrBadHandle;
  va_list ap;
  va_start(ap, time);
  OfxStatus s = setValue(p, true, time, ap);
  va_end(ap);
  return s;
}

OfxStatus paramGetNumKeys(OfxParamHandle h, unsigned int* n) {
  ParamObject* p = paramFrom(h);
  if (!p || !n) return kOfxStatErrBadHandle;
  *n = unsigned(p->keys.size());
  return kOfxStatOK;
}
OfxStatus paramGetKeyTime(OfxParamHandle h, unsigned int nth, OfxTime* time) {
  ParamObject* p = paramFrom(h);
  if (!p || !time) return kOfxStatErrBadHandle;
  if (nth >= p->keys.size()) return kOfxStatErrBadIndex;
  *time = std::next(p->keys.begin(), long(nth))->first;
  return kOfxStatOK;
}
OfxStatus paramGetKeyIndex(OfxParamHandle h, OfxTime time, int direction, int* index) {
  ParamObject* p = paramFrom(h);
  if (!p || !index) return kOfxStatErrBadHandle;
  int i = 0;
  for (const auto& k : p->keys) {
    if ((direction == 0 && k.first == time) || (direction > 0 && k.first > time)) {
      *index = i;
      return kOfxStatOK;
    }
    ++i;
  }
  if (direction < 0) {
    i = int(p->keys.size()) - 1;
    for (auto it = p->keys.rbegin(); it != p->keys.rend(); ++it, --i)
      if (it->first < time) {
        *index = i;
        return kOfxStatOK;
      }
  }
  return kOfxStatFailed;
}
OfxStatus paramDeleteKey(OfxParamHandle h, OfxTime time) {
  ParamObject* p = paramFrom(h);
  if (!p || !p->instance) return kOfxStatErrBadHandle;
  if (!mayWrite(*p->instance, "paramDeleteKey(" + p->name + ")")) return kOfxStatErrUnsupported;
  return p->keys.erase(time) ? kOfxStatOK : kOfxStatErrBadIndex;
}
OfxStatus paramDeleteAllKeys(OfxParamHandle h) {
  ParamObject* p = paramFrom(h);
  if (!p || !p->instance) return kOfxStatErrBadHandle;
  if (!mayWrite(*p->instance, "paramDeleteAllKeys(" + p->name + ")")) return kOfxStatErrUnsupported;
  p->keys.clear();
  return kOfxStatOK;
}
OfxStatus paramCopy(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD*) { return kOfxStatErrUnsupported; }

OfxStatus paramEditBegin(OfxParamSetHandle h, const char* name) {
  ParamSetObject* ps = paramSetFrom(h);
  Instance* inst = ps ? instanceOfParamSet(ps) : nullptr;
  if (!inst) return kOfxStatErrBadHandle;
  if (!mayWrite(*inst, "paramEditBegin")) return kOfxStatErrUnsupported;
  Event e{Event::Kind::BeginEditBlock, name ? name : "", 0, 0, "", ""};
  if (inst->refuses_(e)) return kOfxStatFailed;
  recordEvent(*inst, e);
  return kOfxStatOK;
}
OfxStatus paramEditEnd(OfxParamSetHandle h) {
  ParamSetObject* ps = paramSetFrom(h);
  Instance* inst = ps ? instanceOfParamSet(ps) : nullptr;
  if (!inst) return kOfxStatErrBadHandle;
  if (!mayWrite(*inst, "paramEditEnd")) return kOfxStatErrUnsupported;
  Event e{Event::Kind::EndEditBlock, "", 0, 0, "", ""};
  if (inst->refuses_(e)) return kOfxStatFailed;
  recordEvent(*inst, e);
  return kOfxStatOK;
}

const OfxParameterSuiteV1 kParameterSuite = {
    paramDefine,     paramGetHandle,      paramSetGetPropertySet, paramGetPropertySet, paramGetValue,
    paramGetValueAtTime, paramGetDerivative, paramGetIntegral,   paramSetValue,       paramSetValueAtTime,
    paramGetNumKeys, paramGetKeyTime,     paramGetKeyIndex,       paramDeleteKey,      paramDeleteAllKeys,
    paramCopy,       paramEditBegin,      paramEditEnd,
};

// -------------------------------------------------------------- memory suite

OfxStatus memoryAlloc(void*, size_t nBytes, void** data) {
  if (!data) return kOfxStatErrBadHandle;
  *data = std::malloc(nBytes ? nBytes : 1);
  return *data ? kOfxStatOK : kOfxStatErrMemory;
}
OfxStatus memoryFree(void* data) {
  std::free(data);
  return kOfxStatOK;
}
const OfxMemorySuiteV1 kMemorySuite = {memoryAlloc, memoryFree};

// -------------------------------------------------------- multi-thread suite

thread_local unsigned int tlIndex = 0;
thread_local bool tlSpawned = false;

OfxStatus multiThread(OfxThreadFunctionV1 func, unsigned int nThreads, void* arg) {
  if (!func) return kOfxStatFailed;
  Host* host = Host::current();
  if (nThreads == 0) nThreads = 1;
  if (host) {
    ++host->multiThreadCalls_;
    unsigned int prev = host->maxThreadsUsed_.load();
    while (nThreads > prev && !host->maxThreadsUsed_.compare_exchange_weak(prev, nThreads)) {
    }
  }
  std::vector<std::thread> threads;
  for (unsigned int i = 0; i < nThreads; ++i)
    threads.emplace_back([=] {
      tlIndex = i;
      tlSpawned = true;
      func(i, nThreads, arg);
    });
  for (std::thread& t : threads) t.join();
  return kOfxStatOK;
}
OfxStatus multiThreadNumCPUs(unsigned int* n) {
  if (!n) return kOfxStatErrBadHandle;
  Host* host = Host::current();
  *n = host ? host->options().threads : 1;
  return kOfxStatOK;
}
OfxStatus multiThreadIndex(unsigned int* i) {
  if (!i) return kOfxStatErrBadHandle;
  *i = tlIndex;
  return kOfxStatOK;
}
int multiThreadIsSpawnedThread(void) { return tlSpawned ? 1 : 0; }
OfxStatus mutexCreate(OfxMutexHandle* m, int lockCount) {
  if (!m) return kOfxStatErrBadHandle;
  auto* mutex = new std::recursive_mutex;
  for (int i = 0; i < lockCount; ++i) mutex->lock();
  *m = reinterpret_cast<OfxMutexHandle>(mutex);
  return kOfxStatOK;
}
OfxStatus mutexDestroy(const OfxMutexHandle m) {
  delete reinterpret_cast<std::recursive_mutex*>(m);
  return kOfxStatOK;
}
OfxStatus mutexLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  reinterpret_cast<std::recursive_mutex*>(m)->lock();
  return kOfxStatOK;
}
OfxStatus mutexUnLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  reinterpret_cast<std::recursive_mutex*>(m)->unlock();
  return kOfxStatOK;
}
OfxStatus mutexTryLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  return reinterpret_cast<std::recursive_mutex*>(m)->try_lock() ? kOfxStatOK : kOfxStatFailed;
}
const OfxMultiThreadSuiteV1 kMultiThreadSuite = {
    multiThread, multiThreadNumCPUs, multiThreadIndex, multiThreadIsSpawnedThread, mutexCreate,
    mutexDestroy, mutexLock,         mutexUnLock,      mutexTryLock,
};

// ------------------------------------------------------------ message suites

std::string format(const char* fmt, va_list ap) {
  if (!fmt) return std::string();
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string s(std::size_t(n) + 1, '\0');
  std::vsnprintf(&s[0], s.size(), fmt, ap);
  s.resize(std::size_t(n));
  return s;
}

OfxStatus post(void* handle, Event::Kind kind, const char* type, const char* id, const std::string& text) {
  Host* host = Host::current();
  EffectObject* e = effectFrom(handle);
  if (e && e->instance) {
    recordEvent(*e->instance, Event{kind, type ? type : "", 0, 0, id ? id : "", text});
  } else if (host) {
    host->recordOther(MessageRecord{type ? type : "", id ? id : "", text, kind != Event::Kind::Message});
  }
  return host ? host->options().messageReply : kOfxStatOK;
}

OfxStatus message(void* handle, const char* type, const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = format(fmt, ap);
  va_end(ap);
  return post(handle, Event::Kind::Message, type, id, text);
}

OfxStatus setPersistentMessage(void* handle, const char* type, const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = format(fmt, ap);
  va_end(ap);
  post(handle, Event::Kind::SetPersistentMessage, type, id, text);
  return kOfxStatOK;
}

OfxStatus clearPersistentMessage(void* handle) {
  EffectObject* e = effectFrom(handle);
  if (!e || !e->instance) return kOfxStatErrBadHandle;
  recordEvent(*e->instance, Event{Event::Kind::ClearPersistentMessage, "", 0, 0, "", ""});
  return kOfxStatOK;
}

const OfxMessageSuiteV1 kMessageSuiteV1 = {message};
const OfxMessageSuiteV2 kMessageSuiteV2 = {message, setPersistentMessage, clearPersistentMessage};

}  // namespace

const void* fetchSuite(OfxPropertySetHandle, const char* name, int version) {
  Host* host = Host::current();
  if (!name || !host) return nullptr;
  const std::string n(name);
  if (n == kOfxPropertySuite && version == 1) return &kPropertySuite;
  if (n == kOfxImageEffectSuite && version == 1) return &kImageEffectSuite;
  if (n == kOfxParameterSuite && version == 1) return &kParameterSuite;
  if (n == kOfxMemorySuite && version == 1) return &kMemorySuite;
  if (n == kOfxMultiThreadSuite && version == 1) return host->options().multiThreadSuite ? &kMultiThreadSuite : nullptr;
  if (n == kOfxMessageSuite && version == 1) return &kMessageSuiteV1;
  if (n == kOfxMessageSuite && version == 2) return host->options().messageSuiteV2 ? &kMessageSuiteV2 : nullptr;
  return nullptr;
}

}  // namespace internal
}  // namespace ofxtest
