// The suites the test host hands to the plug-in (the property suite is with
// the property sets). Every function checks its handles, records what the
// plug-in did and never calls back into the plug-in while holding a lock.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/host/ofx_test_host.h"
#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {
namespace internal {
namespace {

EffectObject* effectFrom(const void* h) { return objectFrom<EffectObject>(h); }
ParamSetObject* paramSetFrom(OfxParamSetHandle h) { return objectFrom<ParamSetObject>(h); }
ParamObject* paramFrom(OfxParamHandle h) { return objectFrom<ParamObject>(h); }
ClipObject* clipFrom(OfxImageClipHandle h) { return objectFrom<ClipObject>(h); }

bool allowed(bool ok, const std::string& call) {
  Host* host = Host::current();
  return host ? host->allows(ok, call) : ok;
}

// -------------------------------------------------------- image-effect suite

// The property set of an effect, clip, parameter set or parameter.
template <class T, class Handle>
OfxStatus propertiesOf(Handle h, OfxPropertySetHandle* props) {
  T* o = objectFrom<T>(h);
  if (!o || !props) return kOfxStatErrBadHandle;
  *props = o->props.handle();
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
  if (!allowed(e->host && e->host->describing(e), std::string("clipDefine(") + name + ") outside describe-in-context"))
    return kOfxStatErrUnsupported;
  ClipObject* c = e->findClip(name);
  if (!c) {
    e->clips.emplace_back(new ClipObject);
    c = e->clips.back().get();
    c->name = name;
    declareObject(c->props, ObjectKind::ClipDescriptor);
    c->props.setString(kOfxPropName, name);
    c->props.setString(kOfxPropLabel, name);
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

OfxStatus clipGetImage(OfxImageClipHandle h, OfxTime time, const OfxRectD*, OfxPropertySetHandle* image) {
  ClipObject* c = clipFrom(h);
  if (!c || !image || !c->instance) return kOfxStatErrBadHandle;
  // An image lives for the action it was fetched in.
  if (!allowed(c->instance->inAction(), "clipGetImage(" + c->name + ") outside an action"))
    return kOfxStatErrUnsupported;
  return c->instance->fetchImage(*c, time, image);
}

OfxStatus clipGetRegionOfDefinition(OfxImageClipHandle h, OfxTime time, OfxRectD* bounds) {
  ClipObject* c = clipFrom(h);
  if (!c || !bounds) return kOfxStatErrBadHandle;
  std::shared_ptr<ImageBuffer> img = c->imageAt(time);
  const OfxRectI b = img ? img->bounds : OfxRectI{0, 0, 1920, 1080};
  *bounds = OfxRectD{double(b.x1), double(b.y1), double(b.x2), double(b.y2)};
  return kOfxStatOK;
}

int abortRender(OfxImageEffectHandle h) {
  EffectObject* e = effectFrom(h);
  return e && e->instance && e->instance->askedToAbort() ? 1 : 0;
}

// Image memory is plain memory here: the handle is the address.
OfxStatus imageMemoryAlloc(OfxImageEffectHandle, size_t nBytes, OfxImageMemoryHandle* mem) {
  if (!mem) return kOfxStatErrBadHandle;
  *mem = reinterpret_cast<OfxImageMemoryHandle>(std::malloc(nBytes ? nBytes : 1));
  return *mem ? kOfxStatOK : kOfxStatErrMemory;
}
OfxStatus imageMemoryFree(OfxImageMemoryHandle mem) { return std::free(mem), kOfxStatOK; }
OfxStatus imageMemoryLock(OfxImageMemoryHandle mem, void** ptr) {
  return mem && ptr ? (*ptr = mem, kOfxStatOK) : kOfxStatErrBadHandle;
}
OfxStatus imageMemoryUnlock(OfxImageMemoryHandle mem) { return mem ? kOfxStatOK : kOfxStatErrBadHandle; }

const OfxImageEffectSuiteV1 kImageEffectSuite = {
    propertiesOf<EffectObject, OfxImageEffectHandle>, getParamSet, clipDefine, clipGetHandle,
    propertiesOf<ClipObject, OfxImageClipHandle>,
    clipGetImage,    releaseImage,     clipGetRegionOfDefinition, abortRender, imageMemoryAlloc,
    imageMemoryFree, imageMemoryLock,  imageMemoryUnlock,
};

// ----------------------------------------------------------- parameter suite

OfxStatus paramDefine(OfxParamSetHandle h, const char* type, const char* name, OfxPropertySetHandle* props) {
  ParamSetObject* ps = paramSetFrom(h);
  if (!ps || !type || !name || ps->instance) return kOfxStatErrBadHandle;
  Host* host = Host::current();
  if (!allowed(host && host->describing(ps), std::string("paramDefine(") + name + ") outside describe-in-context"))
    return kOfxStatErrUnsupported;
  if (!knownParamType(type)) return kOfxStatErrUnknown;
  if (ps->find(name)) return kOfxStatErrExists;
  ps->params.emplace_back(new ParamObject);
  ParamObject* p = ps->params.back().get();
  p->name = name;
  p->type = type;
  // Labels and script name default to the parameter's name.
  declareObject(p->props, ObjectKind::ParamDescriptor, type);
  p->props.setString(kOfxParamPropType, type);
  for (const char* k : {kOfxPropName, kOfxPropLabel, kOfxPropShortLabel, kOfxPropLongLabel, kOfxParamPropScriptName})
    p->props.setString(k, name);
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

bool isIntLike(const std::string& t) {
  return t == kOfxParamTypeInteger || t == kOfxParamTypeBoolean || t == kOfxParamTypeChoice;
}

// The actions in which the plug-in may change parameter values.
bool mayWrite(Instance& inst, const std::string& call) {
  return allowed(inst.inAction({kOfxActionCreateInstance, kOfxActionBeginInstanceChanged, kOfxActionInstanceChanged,
                                kOfxActionEndInstanceChanged, kOfxActionSyncPrivateData}),
                 call + " outside create-instance, instance-changed and sync-private-data");
}

// The values of parameters with one int or double (the kinds the host
// keeps values of).
OfxStatus getValue(OfxParamHandle h, bool atTime, double time, va_list ap) {
  ParamObject* p = paramFrom(h);
  Instance* inst = p ? p->instance : nullptr;
  if (!inst) return kOfxStatErrBadHandle;
  // Renders read at their frame's time, never "now".
  if (!atTime && !allowed(!inst->inAction({kOfxImageEffectActionRender, kOfxImageEffectActionBeginSequenceRender,
                                           kOfxImageEffectActionEndSequenceRender}),
                          "paramGetValue(" + p->name + ") in a render action"))
    return kOfxStatErrUnsupported;
  if (!isIntLike(p->type) && p->type != kOfxParamTypeDouble) return kOfxStatErrUnsupported;
  bool refused = false;
  const double v = inst->read(*p, atTime, atTime ? time : inst->currentTime(), &refused);
  if (refused) return kOfxStatErrBadHandle;
  if (isIntLike(p->type)) {
    int* out = va_arg(ap, int*);
    return out ? (*out = int(v), kOfxStatOK) : kOfxStatErrBadHandle;
  }
  double* out = va_arg(ap, double*);
  return out ? (*out = v, kOfxStatOK) : kOfxStatErrBadHandle;
}

OfxStatus setValue(OfxParamHandle h, bool atTime, double time, va_list ap) {
  ParamObject* p = paramFrom(h);
  Instance* inst = p ? p->instance : nullptr;
  if (!inst) return kOfxStatErrBadHandle;
  if (!mayWrite(*inst, "paramSetValue(" + p->name + ")")) return kOfxStatErrUnsupported;
  double v = 0;
  if (p->type == kOfxParamTypeBoolean) v = va_arg(ap, int) != 0 ? 1 : 0;
  else if (isIntLike(p->type)) v = va_arg(ap, int);
  else if (p->type == kOfxParamTypeDouble) v = va_arg(ap, double);
  else return kOfxStatErrUnsupported;
  return inst->write(*p, atTime, atTime ? time : inst->currentTime(), v);
}

#define KALTHORNE_VARIADIC(name, impl, atTime, time, last, ...) \
  OfxStatus name(OfxParamHandle h, __VA_ARGS__...) {           \
    va_list ap;                                                 \
    va_start(ap, last);                                         \
    const OfxStatus s = impl(h, atTime, time, ap);              \
    va_end(ap);                                                 \
    return s;                                                   \
  }
KALTHORNE_VARIADIC(paramGetValue, getValue, false, 0, h, )
KALTHORNE_VARIADIC(paramGetValueAtTime, getValue, true, t, t, OfxTime t, )
KALTHORNE_VARIADIC(paramSetValue, setValue, false, 0, h, )
KALTHORNE_VARIADIC(paramSetValueAtTime, setValue, true, t, t, OfxTime t, )
#undef KALTHORNE_VARIADIC

// Derivatives, integrals, keys and copies: nothing the effect uses.
OfxStatus paramGetDerivative(OfxParamHandle, OfxTime, ...) { return kOfxStatErrUnsupported; }
OfxStatus paramGetIntegral(OfxParamHandle, OfxTime, OfxTime, ...) { return kOfxStatErrUnsupported; }
OfxStatus paramGetNumKeys(OfxParamHandle, unsigned int*) { return kOfxStatErrUnsupported; }
OfxStatus paramGetKeyTime(OfxParamHandle, unsigned int, OfxTime*) { return kOfxStatErrUnsupported; }
OfxStatus paramGetKeyIndex(OfxParamHandle, OfxTime, int, int*) { return kOfxStatErrUnsupported; }
OfxStatus paramDeleteKey(OfxParamHandle, OfxTime) { return kOfxStatErrUnsupported; }
OfxStatus paramDeleteAllKeys(OfxParamHandle) { return kOfxStatErrUnsupported; }
OfxStatus paramCopy(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD*) { return kOfxStatErrUnsupported; }

OfxStatus editBlock(OfxParamSetHandle h, Event::Kind kind, const char* name) {
  ParamSetObject* ps = paramSetFrom(h);
  Instance* inst = ps ? ps->instance : nullptr;
  if (!inst) return kOfxStatErrBadHandle;
  if (!mayWrite(*inst, kind == Event::Kind::BeginEditBlock ? "paramEditBegin" : "paramEditEnd"))
    return kOfxStatErrUnsupported;
  return inst->record(Event{kind, name ? name : "", 0, 0}) ? kOfxStatOK : kOfxStatFailed;
}
OfxStatus paramEditBegin(OfxParamSetHandle h, const char* name) {
  return editBlock(h, Event::Kind::BeginEditBlock, name);
}
OfxStatus paramEditEnd(OfxParamSetHandle h) { return editBlock(h, Event::Kind::EndEditBlock, ""); }

const OfxParameterSuiteV1 kParameterSuite = {
    paramDefine, paramGetHandle, propertiesOf<ParamSetObject, OfxParamSetHandle>,
    propertiesOf<ParamObject, OfxParamHandle>, paramGetValue,
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
OfxStatus memoryFree(void* data) { return std::free(data), kOfxStatOK; }
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
  *n = Host::current() ? Host::current()->options().threads : 1;
  return kOfxStatOK;
}
OfxStatus multiThreadIndex(unsigned int* i) { return i ? (*i = tlIndex, kOfxStatOK) : kOfxStatErrBadHandle; }
int multiThreadIsSpawnedThread(void) { return tlSpawned ? 1 : 0; }

using Mutex = std::recursive_mutex;
OfxStatus mutexCreate(OfxMutexHandle* m, int lockCount) {
  if (!m) return kOfxStatErrBadHandle;
  Mutex* mutex = new Mutex;
  for (int i = 0; i < lockCount; ++i) mutex->lock();
  *m = reinterpret_cast<OfxMutexHandle>(mutex);
  return kOfxStatOK;
}
OfxStatus mutexDestroy(const OfxMutexHandle m) { return delete reinterpret_cast<Mutex*>(m), kOfxStatOK; }
OfxStatus mutexLock(const OfxMutexHandle m) {
  return m ? (reinterpret_cast<Mutex*>(m)->lock(), kOfxStatOK) : kOfxStatErrBadHandle;
}
OfxStatus mutexUnLock(const OfxMutexHandle m) {
  return m ? (reinterpret_cast<Mutex*>(m)->unlock(), kOfxStatOK) : kOfxStatErrBadHandle;
}
OfxStatus mutexTryLock(const OfxMutexHandle m) {
  if (!m) return kOfxStatErrBadHandle;
  return reinterpret_cast<Mutex*>(m)->try_lock() ? kOfxStatOK : kOfxStatFailed;
}
const OfxMultiThreadSuiteV1 kMultiThreadSuite = {
    multiThread, multiThreadNumCPUs, multiThreadIndex, multiThreadIsSpawnedThread, mutexCreate,
    mutexDestroy, mutexLock,         mutexUnLock,      mutexTryLock,
};

// ------------------------------------------------------------ message suites

// Messages posted on an instance are recorded; others are dropped.
OfxStatus post(void* handle, bool persistent, const char* type, const char* id, const char* fmt, va_list ap) {
  std::string text;
  va_list copy;
  va_copy(copy, ap);
  const int n = fmt ? std::vsnprintf(nullptr, 0, fmt, copy) : 0;
  va_end(copy);
  if (n > 0) {
    text.resize(std::size_t(n) + 1);
    std::vsnprintf(&text[0], text.size(), fmt, ap);
    text.resize(std::size_t(n));
  }
  EffectObject* e = effectFrom(handle);
  if (e && e->instance) e->instance->post(MessageRecord{type ? type : "", id ? id : "", text, persistent, fmt ? fmt : ""});
  return kOfxStatOK;
}

OfxStatus message(void* handle, const char* type, const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const OfxStatus s = post(handle, false, type, id, fmt, ap);
  va_end(ap);
  return s;
}

OfxStatus setPersistentMessage(void* handle, const char* type, const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const OfxStatus s = post(handle, true, type, id, fmt, ap);
  va_end(ap);
  return s;
}

OfxStatus clearPersistentMessage(void* handle) {
  EffectObject* e = effectFrom(handle);
  return e && e->instance ? kOfxStatOK : kOfxStatErrBadHandle;
}

const OfxMessageSuiteV1 kMessageSuiteV1 = {message};
const OfxMessageSuiteV2 kMessageSuiteV2 = {message, setPersistentMessage, clearPersistentMessage};

}  // namespace

const void* fetchSuite(OfxPropertySetHandle, const char* name, int version) {
  Host* host = Host::current();
  if (!name || !host) return nullptr;
  const std::string n(name);
  if (n == kOfxPropertySuite && version == 1) return propertySuite();
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
