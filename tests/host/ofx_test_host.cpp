// The test host: loading, the descriptors, instances and their actions.
#include "tests/host/ofx_test_host.h"

#include <dlfcn.h>

#include <stdexcept>

#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {

namespace {
std::atomic<Host*> gCurrentHost{nullptr};
// Which instance each live image belongs to, and the releases of others.
std::mutex gImagesMutex;
std::map<PropertySet*, Instance*> gImageOwners;
std::atomic<int> gBadReleases{0};
}  // namespace

OfxStatus releaseImage(OfxPropertySetHandle image) {
  PropertySet* p = reinterpret_cast<PropertySet*>(image);
  Instance* owner = nullptr;
  {
    std::lock_guard<std::mutex> lock(gImagesMutex);
    auto it = gImageOwners.find(p);
    if (it != gImageOwners.end()) owner = it->second, gImageOwners.erase(it);
  }
  if (!owner) return ++gBadReleases, kOfxStatErrBadHandle;
  owner->locked([&] {
    owner->liveImages_.erase(p);
    ++owner->released_;
  });
  return kOfxStatOK;
}

// ----------------------------------------------------------------------- Host

Host::Host(HostOptions options) : options_(std::move(options)) {
  ofxHost_.host = hostProps_.handle();
  ofxHost_.fetchSuite = &internal::fetchSuite;
  PropertySet& p = hostProps_;
  internal::declareObject(p, ObjectKind::Host);
  p.setString(kOfxPropName, "fr.inria.Natron");
  p.setString(kOfxPropLabel, "Test host");
  p.setInts(kOfxPropAPIVersion, {1, 4});
  p.setStrings(kOfxImageEffectPropSupportedComponents,
               {kOfxImageComponentRGBA, kOfxImageComponentRGB, kOfxImageComponentAlpha});
  p.setStrings(kOfxImageEffectPropSupportedContexts,
               {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral, kOfxImageEffectContextGenerator});
  p.setStrings(kOfxImageEffectPropSupportedPixelDepths, {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat});
  // Natron's extension: present (1 or 0) or not there at all.
  if (options_.natron != NatronMark::Absent)
    p.declare(kNatronOfxHostIsNatron, PropertySet::Type::Int, 1, options_.natron == NatronMark::Natron ? "1" : "0");
  descriptor_.host = this;
  gCurrentHost = this;
}

Host::~Host() {
  // Instances that outlive their host are destroyed now, while the host can
  // still answer the plug-in.
  for (Instance* inst : std::set<Instance*>(instances_)) {
    inst->destroy();
    inst->host_ = nullptr;
  }
  Host* self = this;
  gCurrentHost.compare_exchange_strong(self, nullptr);
  // The library stays loaded: static state (such as the "host is Natron"
  // flag) would survive an unload anyway; tests that need a fresh library
  // run in a fresh process.
}

Host* Host::current() { return gCurrentHost.load(); }

bool Host::allows(bool ok, const std::string& call) {
  if (!ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    refusedCalls_.push_back(call);
  }
  return ok;
}

std::vector<std::string> Host::refusedCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return refusedCalls_;
}

bool Host::loadBundle(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (library) {
    getNumber_ = reinterpret_cast<int (*)()>(dlsym(library, "OfxGetNumberOfPlugins"));
    getPlugin_ = reinterpret_cast<OfxPlugin* (*)(int)>(dlsym(library, "OfxGetPlugin"));
  }
  if (!getNumber_ || !getPlugin_) {
    if (error) *error = library ? "the bundle lacks OfxGetNumberOfPlugins or OfxGetPlugin" : dlerror();
    return false;
  }
  describeEffect(descriptor_, path);
  return true;
}

OfxStatus Host::callAction(const char* action, const void* handle, PropertySet* in, PropertySet* out) {
  const OfxPlugin* p = plugin(0);
  if (!p || !p->mainEntry) return kOfxStatErrMissingHostFeature;
  gCurrentHost = this;
  // What an instance may do depends on the actions it is in.
  EffectObject* e = internal::objectFrom<EffectObject>(handle);
  Instance* inst = e && action ? e->instance : nullptr;
  auto enter = [&](int step) {
    if (inst) inst->locked([&] {
      if ((inst->runningActions_[action] += step) <= 0) inst->runningActions_.erase(action);
    });
  };
  enter(1);
  const OfxStatus s = p->mainEntry(action, handle, in ? in->handle() : nullptr, out ? out->handle() : nullptr);
  enter(-1);
  return s;
}

OfxStatus Host::load() {
  const OfxPlugin* p = plugin(0);
  if (!p || !p->setHost) return kOfxStatErrMissingHostFeature;
  gCurrentHost = this;
  p->setHost(&ofxHost_);
  return callAction(kOfxActionLoad, nullptr, nullptr, nullptr);
}

OfxStatus Host::describe() {
  describeEffect(descriptor_, descriptor_.props.getString(kOfxPluginPropFilePath));
  return callAction(kOfxActionDescribe, descriptor_.handle(), nullptr, nullptr);
}

OfxStatus Host::describeInContext(const std::string& context) {
  std::unique_ptr<EffectObject>& d = contextDescriptors_[context];
  d.reset(new EffectObject);
  d->host = this;
  d->props = descriptor_.props;  // a copy of what describe said
  d->paramSet.props = descriptor_.paramSet.props;
  PropertySet in;
  in.setString(kOfxImageEffectPropContext, context);
  describing_ = d.get();
  const OfxStatus s = callAction(kOfxImageEffectActionDescribeInContext, d->handle(), &in, nullptr);
  describing_ = nullptr;
  return s;
}

bool Host::loadAndDescribe(const std::string& bundlePath, std::string* error) {
  if (!loadBundle(bundlePath, error)) return false;
  for (const std::string step : {"load", "describe", kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}) {
    const OfxStatus s = step == "load" ? load() : step == "describe" ? describe() : describeInContext(step);
    if (s != kOfxStatOK) {
      if (error) *error = step + " gave " + statusName(s);
      return false;
    }
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

void Host::describeEffect(EffectObject& e, const std::string& bundlePath) {
  e.paramSet.params.clear();
  e.clips.clear();
  e.props = PropertySet();
  internal::declareObject(e.props, ObjectKind::EffectDescriptor);
  e.props.setString(kOfxPluginPropFilePath, bundlePath);
  e.paramSet.props = PropertySet();
  internal::declareObject(e.paramSet.props, ObjectKind::ParamSet);
}

// ------------------------------------------------------------------- Instance

Instance::Instance(Host& host, const std::string& context) : host_(&host) {
  EffectObject& desc = host.contextDescriptor(context);
  effect_.host = &host;
  effect_.instance = this;
  effect_.paramSet.instance = this;
  effect_.paramSet.props = desc.paramSet.props;
  PropertySet& p = effect_.props;
  internal::declareObject(p, ObjectKind::EffectInstance);
  p.setString(kOfxImageEffectPropContext, context);
  p.setDoubles(kOfxImageEffectPropProjectSize, {1920, 1080});
  p.setDoubles(kOfxImageEffectPropProjectExtent, {1920, 1080});
  p.setDouble(kOfxImageEffectInstancePropEffectDuration, 100);
  p.setInt(kOfxImageEffectPropSupportsTiles, desc.props.getInt(kOfxImageEffectPropSupportsTiles));

  for (const auto& dp : desc.paramSet.params) {
    effect_.paramSet.params.emplace_back(new ParamObject);
    ParamObject* ip = effect_.paramSet.params.back().get();
    ip->name = dp->name;
    ip->type = dp->type;
    ip->props = dp->props;  // an instance has its descriptor's properties
    ip->props.setString(kOfxPropType, kOfxTypeParameterInstance);
    ip->instance = this;
    ip->value = ip->props.getDouble(kOfxParamPropDefault);
    ip->props.onPluginSetInt = [this, ip](const std::string& prop, int v) {
      const bool flag = prop == kOfxParamPropEnabled || prop == kOfxParamPropSecret;
      return !flag || record(Event{prop == kOfxParamPropEnabled ? Event::Kind::SetEnabled : Event::Kind::SetSecret,
                                   ip->name, 0, double(v)});
    };
  }
  for (const auto& dc : desc.clips) {
    effect_.clips.emplace_back(new ClipObject);
    ClipObject* c = effect_.clips.back().get();
    c->name = dc->name;
    c->instance = this;
    c->props = dc->props;  // what the descriptor said, and what only an instance has
    for (const PropertyDef& d : propertySchema(ObjectKind::ClipInstance))
      if (!c->props.has(d.name)) c->props.declare(d.name, d.type, d.dimension, d.value);
    c->props.setDoubles(kOfxImageEffectPropFrameRange, {0, 100});
    c->props.setDoubles(kOfxImageEffectPropUnmappedFrameRange, {0, 100});
  }
  badReleasesBefore_ = gBadReleases;
  host.instances_.insert(this);
}

Instance::~Instance() {
  if (host_) {
    if (alive_) destroy();
    host_->instances_.erase(this);
  }
  std::lock_guard<std::mutex> lock(gImagesMutex);
  for (const auto& image : liveImages_) gImageOwners.erase(image.first);
}

ParamObject& Instance::param(const std::string& name) {
  ParamObject* p = effect_.paramSet.find(name);
  if (!p) throw std::out_of_range("no parameter " + name);
  return *p;
}

double Instance::value(const std::string& name) {
  ParamObject& p = param(name);
  return locked([&] { return p.valueAt(currentTime_); });
}
void Instance::setValue(const std::string& name, double v) {
  ParamObject& p = param(name);
  locked([&] {
    p.keys.clear();
    p.value = v;
  });
}
void Instance::setValueAtTime(const std::string& name, double time, double v) {
  ParamObject& p = param(name);
  locked([&] { p.keys[time] = v; });
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

OfxStatus Instance::render(double time, OfxRectI window) {
  PropertySet in;
  in.setDouble(kOfxPropTime, time);
  in.setString(kOfxImageEffectPropFieldToRender, kOfxImageFieldNone);
  in.setInts(kOfxImageEffectPropRenderWindow, {window.x1, window.y1, window.x2, window.y2});
  in.setDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
  for (const char* flag : {kOfxImageEffectPropSequentialRenderStatus, kOfxImageEffectPropInteractiveRenderStatus,
                           kOfxImageEffectPropRenderQualityDraft})
    in.setInt(flag, 0);
  return host_->callAction(kOfxImageEffectActionRender, handle(), &in, nullptr);
}

IdentityResult Instance::isIdentity(double time, OfxRectI window) {
  PropertySet in, out;
  in.setDouble(kOfxPropTime, time);
  in.setString(kOfxImageEffectPropFieldToRender, kOfxImageFieldNone);
  in.setInts(kOfxImageEffectPropRenderWindow, {window.x1, window.y1, window.x2, window.y2});
  in.setDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
  out.setString(kOfxPropName, "");
  out.setDouble(kOfxPropTime, time);
  IdentityResult r;
  r.status = host_->callAction(kOfxImageEffectActionIsIdentity, handle(), &in, &out);
  r.clip = out.getString(kOfxPropName);
  r.time = out.getDouble(kOfxPropTime);
  return r;
}

OfxStatus Instance::changed(const char* type, const std::string& name, const std::string& reason, double time) {
  PropertySet bracket, in;
  bracket.setString(kOfxPropChangeReason, reason);
  in.setString(kOfxPropType, type);
  in.setString(kOfxPropName, name);
  in.setString(kOfxPropChangeReason, reason);
  in.setDouble(kOfxPropTime, time);
  in.setDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
  const OfxStatus begin = host_->callAction(kOfxActionBeginInstanceChanged, handle(), &bracket, nullptr);
  const OfxStatus change = host_->callAction(kOfxActionInstanceChanged, handle(), &in, nullptr);
  const OfxStatus end = host_->callAction(kOfxActionEndInstanceChanged, handle(), &bracket, nullptr);
  for (OfxStatus s : {change, begin, end})
    if (s != kOfxStatOK && s != kOfxStatReplyDefault) return s;
  return change;
}

OfxStatus Instance::paramChanged(const std::string& name, const std::string& reason, double time) {
  return changed(kOfxTypeParameter, name, reason, time);
}
OfxStatus Instance::clipChanged(const std::string& name, const std::string& reason, double time) {
  return changed(kOfxTypeClip, name, reason, time);
}
OfxStatus Instance::userEdit(const std::string& name, double v, double time) {
  ParamObject& p = param(name);
  locked([&] { (p.keys.empty() ? p.value : p.keys[time]) = v; });
  return paramChanged(name, kOfxChangeUserEdited, time);
}

OfxStatus Instance::destroy() {
  if (!alive_ || !host_) return kOfxStatOK;
  alive_ = false;
  return host_->callAction(kOfxActionDestroyInstance, handle(), nullptr, nullptr);
}

// -------------------------------------------------------------------- records

std::vector<Event> Instance::events(Event::Kind kind) const {
  std::vector<Event> out;
  for (const Event& e : events())
    if (e.kind == kind) out.push_back(e);
  return out;
}
void Instance::clearRecords() {
  locked([&] {
    events_.clear();
    messages_.clear();
    strictViolations_.clear();
    fetched_ = released_ = 0;
    badReleasesBefore_ = gBadReleases;
  });
}
int Instance::badReleases() const {
  return locked([&] { return gBadReleases - badReleasesBefore_; });
}

bool Instance::inAction(std::initializer_list<const char*> actions) const {
  return locked([&] {
    if (actions.size() == 0) return !runningActions_.empty();
    for (const char* a : actions)
      if (runningActions_.count(a)) return true;
    return false;
  });
}

bool Instance::record(const Event& e) {
  return locked([&] {
    if (refusal_ && refusal_(e)) return false;
    events_.push_back(e);
    return true;
  });
}

void Instance::post(const MessageRecord& m) {
  locked([&] { messages_.push_back(m); });
}

OfxStatus Instance::fetchImage(ClipObject& clip, double time, OfxPropertySetHandle* image) {
  std::shared_ptr<ImageBuffer> img = clip.props.getInt(kOfxImageClipPropConnected) ? clip.imageAt(time) : nullptr;
  if (!img) return kOfxStatFailed;
  std::unique_ptr<PropertySet> p(new PropertySet);
  internal::declareObject(*p, ObjectKind::Image);
  p->setString(kOfxImageEffectPropPixelDepth, img->depth);
  p->setString(kOfxImageEffectPropComponents, img->components);
  p->setPointer(kOfxImagePropData, img->data);
  p->setInts(kOfxImagePropBounds, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInts(kOfxImagePropRegionOfDefinition, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInt(kOfxImagePropRowBytes, img->rowBytes);
  p->setString(kOfxImagePropUniqueIdentifier, clip.name + "#" + std::to_string(++imageSerial_));
  *image = p->handle();
  {
    std::lock_guard<std::mutex> lock(gImagesMutex);
    gImageOwners[p.get()] = this;
  }
  locked([&] {
    PropertySet* raw = p.get();
    liveImages_[raw] = std::move(p);
    ++fetched_;
  });
  return kOfxStatOK;
}

double Instance::read(ParamObject& p, bool atTime, double time, bool* refused) {
  return locked([&] {
    Event e{atTime ? Event::Kind::GetValueAtTime : Event::Kind::GetValue, p.name, time, p.valueAt(time)};
    *refused = refusal_ && refusal_(e);
    if (!*refused) events_.push_back(e);
    return e.value;
  });
}

namespace {

// The values a strict host accepts for a parameter: its range, its option
// indices or 0/1. False with a reason when `v` is outside them.
bool insideParam(const ParamObject& p, double v, std::string* why) {
  double lo = 0, hi = 0;
  if (p.type == kOfxParamTypeDouble || p.type == kOfxParamTypeInteger) {
    lo = p.props.getDouble(kOfxParamPropMin);
    hi = p.props.getDouble(kOfxParamPropMax);
  } else if (p.type == kOfxParamTypeChoice) {
    hi = double(p.props.getStrings(kOfxParamPropChoiceOption).size()) - 1;
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

OfxStatus Instance::write(ParamObject& p, bool atTime, double time, double v) {
  std::string why;
  const bool violates = host_->options().strictValues && !insideParam(p, v, &why);  // no props read under our lock
  const bool refused = locked([&] {
    const Event e{atTime ? Event::Kind::SetValueAtTime : Event::Kind::SetValue, p.name, time, v};
    if (refusal_ && refusal_(e)) return true;
    if (violates) strictViolations_.push_back(why);
    events_.push_back(e);
    // Without a time, an animated parameter gets a key at the current time.
    if (atTime || !p.keys.empty()) p.keys[time] = v;
    else p.value = v;
    return false;
  });
  if (refused) return kOfxStatFailed;
  if (host_->options().notifyPluginEdits && alive_) paramChanged(p.name, kOfxChangePluginEdited, time);
  return kOfxStatOK;
}

}  // namespace ofxtest
