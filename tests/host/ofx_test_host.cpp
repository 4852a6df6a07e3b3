// The test host: loading, the descriptors, instances and their actions.
#include "tests/host/ofx_test_host.h"

#include <dlfcn.h>

#include <cfloat>
#include <climits>
#include <set>
#include <stdexcept>

#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {

namespace {
std::atomic<Host*> gCurrentHost{nullptr};
std::mutex gInstancesMutex;
std::set<Instance*> gInstances;
}  // namespace

namespace internal {

bool knownParamType(const std::string& t) {
  static const char* const types[] = {
      kOfxParamTypeInteger,  kOfxParamTypeDouble,   kOfxParamTypeBoolean,  kOfxParamTypeChoice,
      kOfxParamTypeRGBA,     kOfxParamTypeRGB,      kOfxParamTypeDouble2D, kOfxParamTypeInteger2D,
      kOfxParamTypeDouble3D, kOfxParamTypeInteger3D, kOfxParamTypeString,  kOfxParamTypeCustom,
      kOfxParamTypeGroup,    kOfxParamTypePage,     kOfxParamTypePushButton};
  for (const char* x : types)
    if (t == x) return true;
  return false;
}

// The standard's defaults, so a test sees what the plug-in really set.
void setEffectDescriptorDefaults(PropertySet& p, const std::string& bundlePath) {
  p.setString(kOfxPropType, kOfxTypeImageEffect);
  p.setString(kOfxPropLabel, "");
  p.setString(kOfxPropShortLabel, "");
  p.setString(kOfxPropLongLabel, "");
  p.setString(kOfxPropPluginDescription, "");
  p.setString(kOfxImageEffectPluginPropGrouping, "");
  p.setStrings(kOfxImageEffectPropSupportedContexts, {});
  p.setStrings(kOfxImageEffectPropSupportedPixelDepths, {});
  p.setInt(kOfxImageEffectPluginPropSingleInstance, 0);
  p.setString(kOfxImageEffectPluginRenderThreadSafety, kOfxImageEffectRenderInstanceSafe);
  p.setInt(kOfxImageEffectPluginPropHostFrameThreading, 1);
  p.setInt(kOfxImageEffectPropSupportsMultiResolution, 1);
  p.setInt(kOfxImageEffectPropSupportsTiles, 1);
  p.setInt(kOfxImageEffectPropTemporalClipAccess, 0);
  p.setInt(kOfxImageEffectPluginPropFieldRenderTwiceAlways, 1);
  p.setInt(kOfxImageEffectPropSupportsMultipleClipDepths, 0);
  p.setInt(kOfxImageEffectPropSupportsMultipleClipPARs, 0);
  p.setString(kOfxPluginPropFilePath, bundlePath);
  p.setPointer(kOfxPropInstanceData, nullptr);
}

void setClipDescriptorDefaults(PropertySet& p, const std::string& name) {
  p.setString(kOfxPropType, kOfxTypeClip);
  p.setString(kOfxPropName, name);
  p.setString(kOfxPropLabel, name);
  p.setStrings(kOfxImageEffectPropSupportedComponents, {});
  p.setInt(kOfxImageEffectPropTemporalClipAccess, 0);
  p.setInt(kOfxImageClipPropOptional, 0);
  p.setInt(kOfxImageClipPropIsMask, 0);
  p.setInt(kOfxImageEffectPropSupportsTiles, 1);
  p.setString(kOfxImageClipPropFieldExtraction, kOfxImageFieldDoubled);
}

void setParamDescriptorDefaults(PropertySet& p, const std::string& name, const std::string& type) {
  p.setString(kOfxPropType, kOfxTypeParameter);
  p.setString(kOfxParamPropType, type);
  p.setString(kOfxPropName, name);
  p.setString(kOfxPropLabel, name);
  p.setString(kOfxPropShortLabel, name);
  p.setString(kOfxPropLongLabel, name);
  p.setString(kOfxParamPropHint, "");
  p.setString(kOfxParamPropScriptName, name);
  p.setString(kOfxParamPropParent, "");
  p.setInt(kOfxParamPropEnabled, 1);
  p.setInt(kOfxParamPropSecret, 0);
  p.setPointer(kOfxParamPropDataPtr, nullptr);
  p.setInt(kOfxParamPropCanUndo, 1);
  if (type == kOfxParamTypePage) {
    p.setStrings(kOfxParamPropPageChild, {});
    return;
  }
  if (type == kOfxParamTypeGroup) {
    p.setInt(kOfxParamPropGroupOpen, 1);
    return;
  }
  if (type == kOfxParamTypePushButton) return;
  p.setInt(kOfxParamPropEvaluateOnChange, 1);
  p.setInt(kOfxParamPropAnimates, 1);
  p.setInt(kOfxParamPropPersistant, 1);
  p.setInt(kOfxParamPropPluginMayWrite, 0);
  p.setInt(kOfxParamPropIsAnimating, 0);
  p.setInt(kOfxParamPropIsAutoKeying, 0);
  p.setString(kOfxParamPropCacheInvalidation, kOfxParamInvalidateValueChange);
  if (type == kOfxParamTypeDouble) {
    p.setDouble(kOfxParamPropDefault, 0.0);
    p.setDouble(kOfxParamPropMin, -DBL_MAX);
    p.setDouble(kOfxParamPropMax, DBL_MAX);
    p.setDouble(kOfxParamPropDisplayMin, -DBL_MAX);
    p.setDouble(kOfxParamPropDisplayMax, DBL_MAX);
    p.setDouble(kOfxParamPropIncrement, 1.0);
    p.setInt(kOfxParamPropDigits, 2);
    p.setString(kOfxParamPropDoubleType, kOfxParamDoubleTypePlain);
  } else if (type == kOfxParamTypeInteger) {
    p.setInt(kOfxParamPropDefault, 0);
    p.setInt(kOfxParamPropMin, INT_MIN);
    p.setInt(kOfxParamPropMax, INT_MAX);
    p.setInt(kOfxParamPropDisplayMin, INT_MIN);
    p.setInt(kOfxParamPropDisplayMax, INT_MAX);
  } else if (type == kOfxParamTypeBoolean) {
    p.setInt(kOfxParamPropDefault, 0);
  } else if (type == kOfxParamTypeChoice) {
    p.setInt(kOfxParamPropDefault, 0);
    p.setStrings(kOfxParamPropChoiceOption, {});
  } else if (type == kOfxParamTypeString) {
    p.setString(kOfxParamPropDefault, "");
  }
}

OfxStatus releaseImage(OfxPropertySetHandle image) {
  PropertySet* p = PropertySet::from(image);
  std::lock_guard<std::mutex> lock(gInstancesMutex);
  for (Instance* inst : gInstances)
    if (p && inst->ownsImage_(p)) return inst->releaseImage_(p);
  // An image nobody handed out: count it against every live instance.
  for (Instance* inst : gInstances) inst->releaseImage_(nullptr);
  return kOfxStatErrBadHandle;
}

}  // namespace internal

// ----------------------------------------------------------------------- Host

Host::Host(HostOptions options) : options_(std::move(options)) {
  ofxHost_.host = hostProps_.handle();
  ofxHost_.fetchSuite = &internal::fetchSuite;
  fillHostProperties();
  descriptor_.host = this;
  gCurrentHost = this;
}

Host::~Host() {
  // Instances that outlive their host are destroyed now, while the host can
  // still answer the plug-in.
  for (Instance* inst : std::set<Instance*>(instances_)) {
    inst->destroy();
    inst->hostGone_ = true;
  }
  contextDescriptors_.clear();
  Host* self = this;
  gCurrentHost.compare_exchange_strong(self, nullptr);
  // The library stays loaded: C++ libraries are often not unloadable, and
  // static state (such as a "host is Natron" flag) would survive anyway.
  // Tests that need a fresh library need a fresh process.
}

Host* Host::current() { return gCurrentHost.load(); }

void Host::fillHostProperties() {
  PropertySet& p = hostProps_;
  p.setString(kOfxPropType, kOfxTypeImageEffectHost);
  p.setString(kOfxPropName, options_.hostName);
  p.setString(kOfxPropLabel, "Test host");
  p.setInts(kOfxPropAPIVersion, {1, 4});
  p.setInt(kOfxImageEffectHostPropIsBackground, 0);
  p.setInt(kOfxImageEffectPropSupportsOverlays, 0);
  p.setInt(kOfxImageEffectPropSupportsMultiResolution, 1);
  p.setInt(kOfxImageEffectPropSupportsTiles, 1);
  p.setInt(kOfxImageEffectPropTemporalClipAccess, 1);
  p.setStrings(kOfxImageEffectPropSupportedComponents,
               {kOfxImageComponentRGBA, kOfxImageComponentRGB, kOfxImageComponentAlpha});
  p.setStrings(kOfxImageEffectPropSupportedContexts,
               {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral, kOfxImageEffectContextGenerator});
  p.setStrings(kOfxImageEffectPropSupportedPixelDepths, {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat});
  p.setInt(kOfxImageEffectPropSupportsMultipleClipDepths, 1);
  p.setInt(kOfxImageEffectPropSupportsMultipleClipPARs, 0);
  p.setInt(kOfxImageEffectPropSetableFrameRate, 0);
  p.setInt(kOfxImageEffectPropSetableFielding, 0);
  p.setInt(kOfxParamHostPropSupportsCustomInteract, 0);
  p.setInt(kOfxParamHostPropSupportsStringAnimation, 0);
  p.setInt(kOfxParamHostPropSupportsChoiceAnimation, 1);
  p.setInt(kOfxParamHostPropSupportsBooleanAnimation, 1);
  p.setInt(kOfxParamHostPropSupportsCustomAnimation, 0);
  p.setInt(kOfxParamHostPropMaxParameters, -1);
  p.setInt(kOfxParamHostPropMaxPages, 0);
  p.setInts(kOfxParamHostPropPageRowColumnCount, {0, 0});
  switch (options_.natron) {
    case NatronMark::Natron: p.setInt(kNatronOfxHostIsNatron, 1); break;
    case NatronMark::Zero: p.setInt(kNatronOfxHostIsNatron, 0); break;
    case NatronMark::Absent: p.erase(kNatronOfxHostIsNatron); break;
  }
}

bool Host::loadBundle(const std::string& path, std::string* error) {
  library_ = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!library_) {
    if (error) *error = dlerror();
    return false;
  }
  getNumber_ = reinterpret_cast<int (*)()>(dlsym(library_, "OfxGetNumberOfPlugins"));
  getPlugin_ = reinterpret_cast<OfxPlugin* (*)(int)>(dlsym(library_, "OfxGetPlugin"));
  if (!getNumber_ || !getPlugin_) {
    if (error) *error = "the bundle lacks OfxGetNumberOfPlugins or OfxGetPlugin";
    return false;
  }
  internal::setEffectDescriptorDefaults(descriptor_.props, path);
  return true;
}

int Host::numberOfPlugins() { return getNumber_ ? getNumber_() : 0; }

const OfxPlugin* Host::plugin(int index) { return getPlugin_ ? getPlugin_(index) : nullptr; }

OfxStatus Host::callAction(const char* action, const void* handle, PropertySet* in, PropertySet* out) {
  const OfxPlugin* p = plugin(0);
  if (!p || !p->mainEntry) return kOfxStatErrMissingHostFeature;
  gCurrentHost = this;
  return p->mainEntry(action, handle, in ? in->handle() : nullptr, out ? out->handle() : nullptr);
}

OfxStatus Host::load() {
  const OfxPlugin* p = plugin(0);
  if (!p || !p->setHost) return kOfxStatErrMissingHostFeature;
  gCurrentHost = this;
  p->setHost(&ofxHost_);
  return callAction(kOfxActionLoad, nullptr, nullptr, nullptr);
}

OfxStatus Host::unload() { return callAction(kOfxActionUnload, nullptr, nullptr, nullptr); }

OfxStatus Host::describe() {
  const std::string path = descriptor_.props.getString(kOfxPluginPropFilePath);
  descriptor_.props = PropertySet();
  descriptor_.paramSet.params.clear();
  descriptor_.clips.clear();
  internal::setEffectDescriptorDefaults(descriptor_.props, path);
  return callAction(kOfxActionDescribe, descriptor_.handle(), nullptr, nullptr);
}

OfxStatus Host::describeInContext(const std::string& context) {
  std::unique_ptr<EffectObject> d(new EffectObject);
  d->host = this;
  d->props = descriptor_.props;
  d->props.setString(kOfxImageEffectPropContext, context);
  EffectObject* raw = d.get();
  contextDescriptors_[context] = std::move(d);
  PropertySet in;
  in.setString(kOfxImageEffectPropContext, context);
  return callAction(kOfxImageEffectActionDescribeInContext, raw->handle(), &in, nullptr);
}

bool Host::loadAndDescribe(const std::string& bundlePath, std::string* error) {
  if (!loadBundle(bundlePath, error)) return false;
  const struct {
    const char* what;
    OfxStatus status;
  } steps[] = {
      {"load", load()},
      {"describe", describe()},
      {"describe in filter context", describeInContext(kOfxImageEffectContextFilter)},
      {"describe in general context", describeInContext(kOfxImageEffectContextGeneral)},
  };
  for (const auto& s : steps)
    if (s.status != kOfxStatOK) {
      if (error) *error = std::string(s.what) + " gave " + statusName(s.status);
      return false;
    }
  return true;
}

EffectObject& Host::contextDescriptor(const std::string& context) {
  auto it = contextDescriptors_.find(context);
  if (it == contextDescriptors_.end()) throw std::out_of_range("context not described: " + context);
  return *it->second;
}

std::unique_ptr<Instance> Host::createInstance(const std::string& context) {
  if (!contextDescriptors_.count(context)) describeInContext(context);
  std::unique_ptr<Instance> inst(new Instance(*this, context));
  inst->createStatus_ = callAction(kOfxActionCreateInstance, inst->handle(), nullptr, nullptr);
  inst->alive_ = inst->createStatus_ == kOfxStatOK;
  return inst;
}

void Host::recordOther(MessageRecord m) {
  std::lock_guard<std::mutex> lock(otherMutex_);
  otherMessages_.push_back(std::move(m));
}

std::vector<MessageRecord> Host::otherMessages() const {
  std::lock_guard<std::mutex> lock(otherMutex_);
  return otherMessages_;
}

// ------------------------------------------------------------------- Instance

Instance::Instance(Host& host, const std::string& context) : host_(host), context_(context) {
  EffectObject& desc = host.contextDescriptor(context);
  effect_.host = &host;
  effect_.instance = this;
  effect_.props = desc.props;
  effect_.paramSet.instance = this;
  PropertySet& p = effect_.props;
  p.setString(kOfxPropType, kOfxTypeImageEffectInstance);
  p.setString(kOfxImageEffectPropContext, context);
  p.setPointer(kOfxPropInstanceData, nullptr);
  p.setInt(kOfxPropIsInteractive, 1);
  p.setDoubles(kOfxImageEffectPropProjectSize, {1920, 1080});
  p.setDoubles(kOfxImageEffectPropProjectOffset, {0, 0});
  p.setDoubles(kOfxImageEffectPropProjectExtent, {1920, 1080});
  p.setDouble(kOfxImageEffectPropProjectPixelAspectRatio, 1.0);
  p.setDouble(kOfxImageEffectInstancePropEffectDuration, 100);
  p.setInt(kOfxImageEffectInstancePropSequentialRender, 0);
  p.setDouble(kOfxImageEffectPropFrameRate, 24);

  for (const auto& dp : desc.paramSet.params) {
    std::unique_ptr<ParamObject> ip(new ParamObject);
    ip->name = dp->name;
    ip->type = dp->type;
    ip->props = dp->props;
    ip->props.setString(kOfxPropType, kOfxTypeParameterInstance);
    ip->instance = this;
    if (ip->type == kOfxParamTypeDouble || ip->type == kOfxParamTypeInteger || ip->type == kOfxParamTypeBoolean ||
        ip->type == kOfxParamTypeChoice)
      ip->value = ip->props.getDouble(kOfxParamPropDefault);
    ParamObject* raw = ip.get();
    ip->props.onPluginSet = [this, raw](const std::string& prop) {
      if (prop == kOfxParamPropEnabled)
        record(Event{Event::Kind::SetEnabled, raw->name, 0, double(raw->props.getInt(prop)), "", ""});
      else if (prop == kOfxParamPropSecret)
        record(Event{Event::Kind::SetSecret, raw->name, 0, double(raw->props.getInt(prop)), "", ""});
    };
    ip->props.refusePluginSetInt = [this, raw](const std::string& prop, int v) {
      if (prop == kOfxParamPropEnabled) return refuses_(Event{Event::Kind::SetEnabled, raw->name, 0, double(v), "", ""});
      if (prop == kOfxParamPropSecret) return refuses_(Event{Event::Kind::SetSecret, raw->name, 0, double(v), "", ""});
      return false;
    };
    effect_.paramSet.params.push_back(std::move(ip));
  }
  for (const auto& dc : desc.clips) {
    std::unique_ptr<ClipObject> c(new ClipObject);
    c->name = dc->name;
    c->props = dc->props;
    c->instance = this;
    PropertySet& cp = c->props;
    cp.setString(kOfxImageEffectPropPixelDepth, kOfxBitDepthFloat);
    cp.setString(kOfxImageEffectPropComponents, kOfxImageComponentRGBA);
    cp.setString(kOfxImageClipPropUnmappedPixelDepth, kOfxBitDepthFloat);
    cp.setString(kOfxImageClipPropUnmappedComponents, kOfxImageComponentRGBA);
    cp.setString(kOfxImageEffectPropPreMultiplication, kOfxImagePreMultiplied);
    cp.setDouble(kOfxImagePropPixelAspectRatio, 1.0);
    cp.setDouble(kOfxImageEffectPropFrameRate, 24);
    cp.setDoubles(kOfxImageEffectPropFrameRange, {0, 100});
    cp.setDoubles(kOfxImageEffectPropUnmappedFrameRange, {0, 100});
    cp.setString(kOfxImageClipPropFieldOrder, kOfxImageFieldNone);
    cp.setInt(kOfxImageClipPropConnected, 1);
    cp.setInt(kOfxImageClipPropContinuousSamples, 0);
    effect_.clips.push_back(std::move(c));
  }
  host.instances_.insert(this);
  std::lock_guard<std::mutex> lock(gInstancesMutex);
  gInstances.insert(this);
}

Instance::~Instance() {
  if (!hostGone_) {
    if (alive_) destroy();
    host_.instances_.erase(this);
  }
  std::lock_guard<std::mutex> lock(gInstancesMutex);
  gInstances.erase(this);
}

bool Instance::hasParam(const std::string& name) const { return effect_.paramSet.find(name) != nullptr; }

ParamObject& Instance::param(const std::string& name) {
  ParamObject* p = effect_.paramSet.find(name);
  if (!p) throw std::out_of_range("no parameter " + name);
  return *p;
}

double Instance::value(const std::string& name) { return valueAt(name, currentTime_); }
double Instance::valueAt(const std::string& name, double time) {
  ParamObject& p = param(name);
  std::lock_guard<std::mutex> lock(recordMutex_);
  return p.valueAt(time);
}
std::string Instance::paramType(const std::string& name) { return param(name).type; }
bool Instance::enabled(const std::string& name) { return param(name).props.getInt(kOfxParamPropEnabled) != 0; }
bool Instance::secret(const std::string& name) { return param(name).props.getInt(kOfxParamPropSecret) != 0; }
void Instance::setValue(const std::string& name, double v) {
  ParamObject& p = param(name);
  std::lock_guard<std::mutex> lock(recordMutex_);
  p.keys.clear();
  p.value = v;
}
void Instance::setValueAtTime(const std::string& name, double time, double v) {
  ParamObject& p = param(name);
  std::lock_guard<std::mutex> lock(recordMutex_);
  p.keys[time] = v;
}

ClipObject& Instance::clip(const std::string& name) {
  ClipObject* c = effect_.findClip(name);
  if (!c) throw std::out_of_range("no clip " + name);
  return *c;
}
void Instance::setClipConnected(const std::string& name, bool connected) {
  clip(name).props.setInt(kOfxImageClipPropConnected, connected ? 1 : 0);
}
void Instance::setClipFormat(const std::string& name, const std::string& components, const std::string& depth) {
  PropertySet& p = clip(name).props;
  p.setString(kOfxImageEffectPropComponents, components);
  p.setString(kOfxImageClipPropUnmappedComponents, components);
  p.setString(kOfxImageEffectPropPixelDepth, depth);
  p.setString(kOfxImageClipPropUnmappedPixelDepth, depth);
}
void Instance::setClipImage(const std::string& name, std::shared_ptr<ImageBuffer> image) {
  clip(name).image = std::move(image);
}
void Instance::setClipImageAt(const std::string& name, double time, std::shared_ptr<ImageBuffer> image) {
  clip(name).imagesAt[time] = std::move(image);
}

OfxStatus Instance::render(double time, OfxRectI window, OfxPointD scale) {
  PropertySet in;
  in.setDouble(kOfxPropTime, time);
  in.setString(kOfxImageEffectPropFieldToRender, kOfxImageFieldNone);
  in.setInts(kOfxImageEffectPropRenderWindow, {window.x1, window.y1, window.x2, window.y2});
  in.setDoubles(kOfxImageEffectPropRenderScale, {scale.x, scale.y});
  in.setInt(kOfxImageEffectPropSequentialRenderStatus, 0);
  in.setInt(kOfxImageEffectPropInteractiveRenderStatus, 0);
  in.setInt(kOfxImageEffectPropRenderQualityDraft, 0);
  return host_.callAction(kOfxImageEffectActionRender, handle(), &in, nullptr);
}

IdentityResult Instance::isIdentity(double time, OfxRectI window, OfxPointD scale) {
  PropertySet in, out;
  in.setDouble(kOfxPropTime, time);
  in.setString(kOfxImageEffectPropFieldToRender, kOfxImageFieldNone);
  in.setInts(kOfxImageEffectPropRenderWindow, {window.x1, window.y1, window.x2, window.y2});
  in.setDoubles(kOfxImageEffectPropRenderScale, {scale.x, scale.y});
  out.setString(kOfxPropName, "");
  out.setDouble(kOfxPropTime, time);
  IdentityResult r;
  r.status = host_.callAction(kOfxImageEffectActionIsIdentity, handle(), &in, &out);
  r.clip = out.getString(kOfxPropName);
  r.time = out.getDouble(kOfxPropTime);
  return r;
}

OfxStatus Instance::instanceChanged(const std::string& type, const std::string& name, const std::string& reason,
                                    double time, OfxPointD scale) {
  PropertySet bracket;
  bracket.setString(kOfxPropChangeReason, reason);
  OfxStatus begin = host_.callAction(kOfxActionBeginInstanceChanged, handle(), &bracket, nullptr);
  PropertySet in;
  in.setString(kOfxPropType, type);
  in.setString(kOfxPropName, name);
  in.setString(kOfxPropChangeReason, reason);
  in.setDouble(kOfxPropTime, time);
  in.setDoubles(kOfxImageEffectPropRenderScale, {scale.x, scale.y});
  OfxStatus changed = host_.callAction(kOfxActionInstanceChanged, handle(), &in, nullptr);
  OfxStatus end = host_.callAction(kOfxActionEndInstanceChanged, handle(), &bracket, nullptr);
  auto failed = [](OfxStatus s) { return s != kOfxStatOK && s != kOfxStatReplyDefault; };
  if (failed(changed)) return changed;
  if (failed(begin)) return begin;
  if (failed(end)) return end;
  return changed;
}

OfxStatus Instance::paramChanged(const std::string& name, const std::string& reason, double time) {
  return instanceChanged(kOfxTypeParameter, name, reason, time);
}
OfxStatus Instance::clipChanged(const std::string& name, const std::string& reason, double time) {
  return instanceChanged(kOfxTypeClip, name, reason, time);
}
OfxStatus Instance::userEdit(const std::string& name, double v, double time) {
  ParamObject& p = param(name);
  {
    std::lock_guard<std::mutex> lock(recordMutex_);
    if (p.keys.empty()) p.value = v;
    else p.keys[time] = v;
  }
  return paramChanged(name, kOfxChangeUserEdited, time);
}

OfxStatus Instance::destroy() {
  if (!alive_ || hostGone_) return kOfxStatOK;
  alive_ = false;
  return host_.callAction(kOfxActionDestroyInstance, handle(), nullptr, nullptr);
}

void Instance::record(Event e) {
  std::lock_guard<std::mutex> lock(recordMutex_);
  events_.push_back(std::move(e));
}

std::vector<Event> Instance::events() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return events_;
}
std::vector<Event> Instance::events(Event::Kind kind) const {
  std::vector<Event> out;
  for (const Event& e : events())
    if (e.kind == kind) out.push_back(e);
  return out;
}
std::vector<MessageRecord> Instance::messages() const {
  std::vector<MessageRecord> out;
  for (const Event& e : events())
    if (e.kind == Event::Kind::Message || e.kind == Event::Kind::SetPersistentMessage)
      out.push_back(MessageRecord{e.name, e.messageId, e.text, e.kind == Event::Kind::SetPersistentMessage});
  return out;
}
void Instance::clearRecords() {
  std::lock_guard<std::mutex> lock(recordMutex_);
  events_.clear();
  strictViolations_.clear();
  fetched_ = released_ = badReleases_ = 0;
}
int Instance::imagesFetched() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return fetched_;
}
int Instance::imagesReleased() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return released_;
}
int Instance::liveImages() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return int(liveImages_.size());
}
int Instance::badReleases() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return badReleases_;
}

OfxStatus Instance::fetchImage_(ClipObject& clip, double time, OfxPropertySetHandle* image) {
  std::shared_ptr<ImageBuffer> img;
  if (clip.props.getInt(kOfxImageClipPropConnected)) {
    auto it = clip.imagesAt.find(time);
    img = it != clip.imagesAt.end() ? it->second : clip.image;
  }
  std::lock_guard<std::mutex> lock(recordMutex_);
  events_.push_back(Event{Event::Kind::FetchImage, clip.name, time, img ? 1.0 : 0.0, "", ""});
  if (!img) return kOfxStatFailed;
  std::unique_ptr<PropertySet> p(new PropertySet);
  p->setString(kOfxPropType, kOfxTypeImage);
  p->setString(kOfxImageEffectPropPixelDepth, img->depth);
  p->setString(kOfxImageEffectPropComponents, img->components);
  p->setString(kOfxImageEffectPropPreMultiplication, kOfxImagePreMultiplied);
  p->setDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
  p->setDouble(kOfxImagePropPixelAspectRatio, 1.0);
  p->setPointer(kOfxImagePropData, img->data);
  p->setInts(kOfxImagePropBounds, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInts(kOfxImagePropRegionOfDefinition, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInt(kOfxImagePropRowBytes, img->rowBytes);
  p->setString(kOfxImagePropField, kOfxImageFieldNone);
  p->setString(kOfxImagePropUniqueIdentifier, clip.name + "#" + std::to_string(++imageSerial_));
  *image = p->handle();
  PropertySet* raw = p.get();
  liveImages_[raw] = std::make_pair(std::move(p), clip.name);
  ++fetched_;
  return kOfxStatOK;
}

bool Instance::ownsImage_(PropertySet* image) const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return liveImages_.count(image) != 0;
}

OfxStatus Instance::releaseImage_(PropertySet* image) {
  std::lock_guard<std::mutex> lock(recordMutex_);
  auto it = image ? liveImages_.find(image) : liveImages_.end();
  if (it == liveImages_.end()) {
    ++badReleases_;
    return kOfxStatErrBadHandle;
  }
  events_.push_back(Event{Event::Kind::ReleaseImage, it->second.second, 0, 0, "", ""});
  liveImages_.erase(it);
  ++released_;
  return kOfxStatOK;
}

double Instance::readParam_(ParamObject& p, bool atTime, double time) {
  std::lock_guard<std::mutex> lock(recordMutex_);
  events_.push_back(
      Event{atTime ? Event::Kind::GetValueAtTime : Event::Kind::GetValue, p.name, time, 0, "", ""});
  double v = p.valueAt(time);
  events_.back().value = v;
  return v;
}

bool Instance::refuses_(const Event& e) const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return refusal_ && refusal_(e);
}

void Instance::setRefusal(std::function<bool(const Event&)> refuse) {
  std::lock_guard<std::mutex> lock(recordMutex_);
  refusal_ = std::move(refuse);
}

std::vector<std::string> Instance::strictViolations() const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  return strictViolations_;
}

namespace {

// The values a strict host accepts for a parameter: its range, its option
// indices or 0/1. False with a reason when `v` is outside them.
bool insideParam(const ParamObject& p, double v, std::string* why) {
  double lo = 0, hi = 0;
  if (p.type == kOfxParamTypeDouble) {
    lo = p.props.getDouble(kOfxParamPropMin);
    hi = p.props.getDouble(kOfxParamPropMax);
  } else if (p.type == kOfxParamTypeInteger) {
    lo = p.props.getInt(kOfxParamPropMin);
    hi = p.props.getInt(kOfxParamPropMax);
  } else if (p.type == kOfxParamTypeChoice) {
    hi = p.props.dimension(kOfxParamPropChoiceOption) - 1;
  } else if (p.type == kOfxParamTypeBoolean) {
    hi = 1;
  } else {
    return true;
  }
  if (v >= lo && v <= hi) return true;  // false for NaN
  *why = p.name + " = " + std::to_string(v) + " outside [" + std::to_string(lo) + ", " + std::to_string(hi) + "]";
  return false;
}

}  // namespace

OfxStatus Instance::writeParam_(ParamObject& p, bool atTime, double time, double v) {
  if (refuses_(Event{atTime ? Event::Kind::SetValueAtTime : Event::Kind::SetValue, p.name, time, v, "", ""}))
    return kOfxStatFailed;
  std::string why;
  const bool violates = host_.options().strictValues && !insideParam(p, v, &why);
  {
    std::lock_guard<std::mutex> lock(recordMutex_);
    if (violates) strictViolations_.push_back(why);
    events_.push_back(
        Event{atTime ? Event::Kind::SetValueAtTime : Event::Kind::SetValue, p.name, time, v, "", ""});
    // Without a time, an animated parameter gets a key at the current time.
    if (atTime || !p.keys.empty()) p.keys[time] = v;
    else p.value = v;
  }
  if (host_.options().notifyPluginEdits && alive_)
    instanceChanged(kOfxTypeParameter, p.name, kOfxChangePluginEdited, time);
  return kOfxStatOK;
}

}  // namespace ofxtest
