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

void describeClip(PropertySet& p, const std::string& name) {
  declareObject(p, ObjectKind::ClipDescriptor);
  p.setString(kOfxPropName, name);
  p.setString(kOfxPropLabel, name);
  p.seal();
}

// Labels and script name default to the parameter's name.
void describeParam(PropertySet& p, const std::string& name, const std::string& type) {
  declareObject(p, ObjectKind::ParamDescriptor, type);
  p.setString(kOfxParamPropType, type);
  for (const char* k : {kOfxPropName, kOfxPropLabel, kOfxPropShortLabel, kOfxPropLongLabel, kOfxParamPropScriptName})
    p.setString(k, name);
  p.seal();
}

bool allowed(Host* host, bool ok, const std::string& call) {
  if (!ok && host) host->recordRefusal(call);
  return ok;
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
  internal::declareObject(p, ObjectKind::Host);
  p.setString(kOfxPropName, options_.hostName);
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
  p.seal();
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
  describeEffect(descriptor_, path);
  return true;
}

int Host::numberOfPlugins() { return getNumber_ ? getNumber_() : 0; }

const OfxPlugin* Host::plugin(int index) { return getPlugin_ ? getPlugin_(index) : nullptr; }

OfxStatus Host::callAction(const char* action, const void* handle, PropertySet* in, PropertySet* out) {
  const OfxPlugin* p = plugin(0);
  if (!p || !p->mainEntry) return kOfxStatErrMissingHostFeature;
  gCurrentHost = this;
  // What an instance may do depends on the action it is in.
  EffectObject* e = internal::effectFrom(handle);
  Instance* inst = e ? e->instance : nullptr;
  if (inst && action) inst->enterAction_(action, 1);
  const OfxStatus s = p->mainEntry(action, handle, in ? in->handle() : nullptr, out ? out->handle() : nullptr);
  if (inst && action) inst->enterAction_(action, -1);
  return s;
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
  descriptor_.paramSet.params.clear();
  descriptor_.clips.clear();
  describeEffect(descriptor_, path);
  return callAction(kOfxActionDescribe, descriptor_.handle(), nullptr, nullptr);
}

OfxStatus Host::describeInContext(const std::string& context) {
  std::unique_ptr<EffectObject> d(new EffectObject);
  d->host = this;
  d->props = descriptor_.props;  // a copy of what describe said
  d->paramSet.props = descriptor_.paramSet.props;
  EffectObject* raw = d.get();
  contextDescriptors_[context] = std::move(d);
  PropertySet in;
  in.setString(kOfxImageEffectPropContext, context);
  in.seal();
  describing_ = raw;
  const OfxStatus s = callAction(kOfxImageEffectActionDescribeInContext, raw->handle(), &in, nullptr);
  describing_ = nullptr;
  return s;
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

void Host::describeEffect(EffectObject& e, const std::string& bundlePath) {
  e.props = PropertySet();
  internal::declareObject(e.props, ObjectKind::EffectDescriptor);
  e.props.setString(kOfxPluginPropFilePath, bundlePath);
  e.props.seal();
  e.paramSet.props = PropertySet();
  internal::declareObject(e.paramSet.props, ObjectKind::ParamSet);
  e.paramSet.props.seal();
}

void Host::recordRefusal(const std::string& call) {
  std::lock_guard<std::mutex> lock(otherMutex_);
  refusedCalls_.push_back(call);
}

std::vector<std::string> Host::refusedCalls() const {
  std::lock_guard<std::mutex> lock(otherMutex_);
  return refusedCalls_;
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
  effect_.paramSet.instance = this;
  effect_.paramSet.props = desc.paramSet.props;
  PropertySet& p = effect_.props;
  internal::declareObject(p, ObjectKind::EffectInstance);
  p.setString(kOfxImageEffectPropContext, context);
  p.setDoubles(kOfxImageEffectPropProjectSize, {1920, 1080});
  p.setDoubles(kOfxImageEffectPropProjectExtent, {1920, 1080});
  p.setDouble(kOfxImageEffectInstancePropEffectDuration, 100);
  p.setInt(kOfxImageEffectPropSupportsTiles, desc.props.getInt(kOfxImageEffectPropSupportsTiles));
  p.seal();

  for (const auto& dp : desc.paramSet.params) {
    std::unique_ptr<ParamObject> ip(new ParamObject);
    ip->name = dp->name;
    ip->type = dp->type;
    ip->props = dp->props;  // an instance has its descriptor's properties, sealed
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
    c->instance = this;
    PropertySet& cp = c->props;
    cp = dc->props;  // what the descriptor said, and what only an instance has
    for (const PropertyDef& d : propertySchema(ObjectKind::ClipInstance))
      if (!cp.has(d.name)) cp.declare(d.name, d.type, d.dimension, d.value);
    cp.setDoubles(kOfxImageEffectPropFrameRange, {0, 100});
    cp.setDoubles(kOfxImageEffectPropUnmappedFrameRange, {0, 100});
    cp.seal();
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
  in.seal();
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
  in.seal();
  out.seal();
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
  bracket.seal();
  OfxStatus begin = host_.callAction(kOfxActionBeginInstanceChanged, handle(), &bracket, nullptr);
  PropertySet in;
  in.setString(kOfxPropType, type);
  in.setString(kOfxPropName, name);
  in.setString(kOfxPropChangeReason, reason);
  in.setDouble(kOfxPropTime, time);
  in.setDoubles(kOfxImageEffectPropRenderScale, {scale.x, scale.y});
  in.seal();
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
  internal::declareObject(*p, ObjectKind::Image);
  p->setString(kOfxImageEffectPropPixelDepth, img->depth);
  p->setString(kOfxImageEffectPropComponents, img->components);
  p->setPointer(kOfxImagePropData, img->data);
  p->setInts(kOfxImagePropBounds, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInts(kOfxImagePropRegionOfDefinition, {img->bounds.x1, img->bounds.y1, img->bounds.x2, img->bounds.y2});
  p->setInt(kOfxImagePropRowBytes, img->rowBytes);
  p->setString(kOfxImagePropUniqueIdentifier, clip.name + "#" + std::to_string(++imageSerial_));
  p->seal();
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

void Instance::enterAction_(const std::string& action, int step) {
  std::lock_guard<std::mutex> lock(recordMutex_);
  if ((runningActions_[action] += step) <= 0) runningActions_.erase(action);
}

bool Instance::inAction_(std::initializer_list<const char*> actions) const {
  std::lock_guard<std::mutex> lock(recordMutex_);
  if (actions.size() == 0) return !runningActions_.empty();
  for (const char* a : actions)
    if (runningActions_.count(a)) return true;
  return false;
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
