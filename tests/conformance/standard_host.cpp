#include "standard_host.h"

#include <cstdio>

namespace standardhost {

namespace ie = ofxh::ImageEffect;

namespace {

OfxStatus post(std::vector<Message>& to, const char* type, const char* id, const char* fmt, va_list args) {
  char text[4096] = "";
  if (fmt) std::vsnprintf(text, sizeof text, fmt, args);
  to.push_back(Message{type ? type : "", id ? id : "", text});
  return kOfxStatOK;
}

// A parameter whose value lives in its instance's table.
template <class Base, class V>
class ValueParam : public Base {
 public:
  ValueParam(ofxh::Param::Descriptor& d, Instance& owner, std::vector<std::string>& writes)
      : Base(d, &owner), owner_(owner), writes_(writes) {}
  OfxStatus get(V& v) override {
    v = static_cast<V>(owner_.value(this->getName()));
    return kOfxStatOK;
  }
  OfxStatus get(OfxTime, V& v) override { return get(v); }
  OfxStatus set(V v) override {
    owner_.setValue(this->getName(), static_cast<double>(v));
    writes_.push_back(this->getName());
    return kOfxStatOK;
  }
  OfxStatus set(OfxTime, V v) override { return set(v); }

 private:
  Instance& owner_;
  std::vector<std::string>& writes_;
};

class DoubleParam : public ValueParam<ofxh::Param::DoubleInstance, double> {
 public:
  using ValueParam::ValueParam;
  OfxStatus derive(OfxTime, double& v) override { v = 0; return kOfxStatOK; }
  OfxStatus integrate(OfxTime t1, OfxTime t2, double& v) override {
    get(v);
    v *= t2 - t1;
    return kOfxStatOK;
  }
};

// An image over a test frame; counts itself in and out.
class Image : public ie::Image {
 public:
  Image(ie::ClipInstance& clip, Frame& f, const std::string& id, int& live)
      : ie::Image(clip, 1.0, 1.0, f.pixels.data(), f.bounds, f.bounds,
                  (f.bounds.x2 - f.bounds.x1) * f.channels() * int(sizeof(float)), kOfxImageFieldNone, id),
        live_(live) {
    ++live_;
  }
  ~Image() override { --live_; }

 private:
  int& live_;
};

class Clip : public ie::ClipInstance {
 public:
  Clip(Instance& owner, ie::ClipDescriptor& d) : ie::ClipInstance(&owner, d), owner_(owner) {}
  std::shared_ptr<Frame> frame;

  const std::string& getUnmappedBitDepth() const override { return depth_; }
  const std::string& getUnmappedComponents() const override { return frame ? frame->components : rgba_; }
  const std::string& getPremult() const override { return premult_; }
  double getAspectRatio() const override { return 1.0; }
  double getFrameRate() const override { return 24.0; }
  void getFrameRange(double& a, double& b) const override { a = 0, b = 100; }
  const std::string& getFieldOrder() const override { return field_; }
  bool getConnected() const override { return frame != nullptr; }
  double getUnmappedFrameRate() const override { return 24.0; }
  void getUnmappedFrameRange(double& a, double& b) const override { a = 0, b = 100; }
  bool getContinuousSamples() const override { return false; }
  ie::Image* getImage(OfxTime, const OfxRectD*) override {
    if (!frame) return nullptr;
    return new Image(*this, *frame, getName() + "#" + std::to_string(++serial_), owner_.liveImages);
  }
  OfxRectD getRegionOfDefinition(OfxTime) const override {
    if (!frame) return OfxRectD{0, 0, 1920, 1080};
    const OfxRectI& b = frame->bounds;
    return OfxRectD{double(b.x1), double(b.y1), double(b.x2), double(b.y2)};
  }

 private:
  Instance& owner_;
  int serial_ = 0;
  std::string depth_ = kOfxBitDepthFloat, rgba_ = kOfxImageComponentRGBA, premult_ = kOfxImagePreMultiplied,
              field_ = kOfxImageFieldNone;
};

}  // namespace

// ----------------------------------------------------------------------- host

Host::Host(bool natron) {
  ofxh::Property::Set& p = _properties;
  p.setStringProperty(kOfxPropName, "org.openeffects.conformance");
  p.setStringProperty(kOfxPropLabel, "OpenFX standard host");
  p.setIntProperty(kOfxPropAPIVersion, 1, 0);
  p.setIntProperty(kOfxPropAPIVersion, 4, 1);
  const char* contexts[] = {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral,
                            kOfxImageEffectContextGenerator};
  for (int i = 0; i < 3; ++i) p.setStringProperty(kOfxImageEffectPropSupportedContexts, contexts[i], i);
  const char* depths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};
  for (int i = 0; i < 3; ++i) p.setStringProperty(kOfxImageEffectPropSupportedPixelDepths, depths[i], i);
  const char* components[] = {kOfxImageComponentRGBA, kOfxImageComponentRGB, kOfxImageComponentAlpha};
  for (int i = 0; i < 3; ++i) p.setStringProperty(kOfxImageEffectPropSupportedComponents, components[i], i);
  if (natron) p.createProperty(ofxh::Property::PropSpec{"NatronOfxHostIsNatron", ofxh::Property::eInt, 1, true, "1"});
}

ie::Instance* Host::newInstance(void*, ie::ImageEffectPlugin* plugin, ie::Descriptor& desc,
                                const std::string& context) {
  return new Instance(plugin, desc, context);
}
ie::Descriptor* Host::makeDescriptor(ie::ImageEffectPlugin* plugin) { return new ie::Descriptor(plugin); }
ie::Descriptor* Host::makeDescriptor(const ie::Descriptor& root, ie::ImageEffectPlugin* plugin) {
  return new ie::Descriptor(root, plugin);
}
ie::Descriptor* Host::makeDescriptor(const std::string& path, ie::ImageEffectPlugin* plugin) {
  return new ie::Descriptor(path, plugin);
}
OfxStatus Host::vmessage(const char* type, const char* id, const char* fmt, va_list args) {
  return post(messages, type, id, fmt, args);
}
OfxStatus Host::setPersistentMessage(const char* type, const char* id, const char* fmt, va_list args) {
  return vmessage(type, id, fmt, args);
}
OfxStatus Host::clearPersistentMessage() { return kOfxStatOK; }

// -------------------------------------------------------------------- bundles

Bundles::Cache::Cache(const std::string& folder) {
  _pluginPath.clear();
  addFileToPath(folder, false);
}

Bundles::Bundles(Host& host, const std::string& folder) : effects_(host), cache_(folder) {
  cache_.registerAPICache(kOfxImageEffectPluginApi, 1, 1, &effects_);
  cache_.scanPluginFiles();
}

Bundles::~Bundles() = default;

// ------------------------------------------------------------------- instance

Instance::Instance(ie::ImageEffectPlugin* plugin, ie::Descriptor& desc, const std::string& context)
    : ie::Instance(plugin, desc, context, true) {}

std::unique_ptr<Instance> Instance::create(ie::ImageEffectPlugin& plugin, const std::string& context,
                                           OfxStatus* status) {
  std::unique_ptr<Instance> inst(static_cast<Instance*>(plugin.createInstance(context, nullptr)));
  *status = inst ? inst->createInstanceAction() : kOfxStatFailed;
  return inst;
}

double Instance::value(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() ? 0.0 : it->second;
}
void Instance::setValue(const std::string& name, double v) { values_[name] = v; }

OfxStatus Instance::userEdit(const std::string& name, double v) {
  setValue(name, v);
  return changed(name);
}

OfxStatus Instance::changed(const std::string& name) {
  beginInstanceChangedAction(kOfxChangeUserEdited);
  const OfxStatus s = paramInstanceChangedAction(name, kOfxChangeUserEdited, 0, OfxPointD{1, 1});
  endInstanceChangedAction(kOfxChangeUserEdited);
  return s;
}

void Instance::setFrame(const std::string& clip, std::shared_ptr<Frame> frame) {
  static_cast<Clip*>(getClip(clip))->frame = std::move(frame);
  beginInstanceChangedAction(kOfxChangeUserEdited);
  clipInstanceChangedAction(clip, kOfxChangeUserEdited, 0, OfxPointD{1, 1});
  endInstanceChangedAction(kOfxChangeUserEdited);
}

OfxStatus Instance::renderFrame(double time, const OfxRectI& window) {
  const OfxPointD scale{1, 1};
  if (areClipPrefsDirty() && !getClipPreferences()) return kOfxStatFailed;
  OfxRectD rod;
  OfxStatus s = getRegionOfDefinitionAction(time, scale, rod);
  if (s != kOfxStatOK && s != kOfxStatReplyDefault) return s;
  std::string identityClip;
  double identityTime = time;
  s = isIdentityAction(identityTime, kOfxImageFieldNone, window, scale, identityClip);
  if (s == kOfxStatOK) return kOfxStatReplyDefault;  // the host would pass the source on
  if (s != kOfxStatReplyDefault) return s;
  s = beginRenderAction(time, time, 1, true, scale, false, true);
  if (s != kOfxStatOK && s != kOfxStatReplyDefault) return s;
  s = renderAction(time, kOfxImageFieldNone, window, scale, false, true, false);
  const OfxStatus end = endRenderAction(time, time, 1, true, scale, false, true);
  if (s == kOfxStatOK && end != kOfxStatOK && end != kOfxStatReplyDefault) return end;
  return s;
}

const std::string& Instance::getDefaultOutputFielding() const {
  static const std::string none = kOfxImageFieldNone;
  return none;
}

ie::ClipInstance* Instance::newClipInstance(ie::Instance*, ie::ClipDescriptor* descriptor, int) {
  return new Clip(*this, *descriptor);
}

ofxh::Param::Instance* Instance::newParam(const std::string& name, ofxh::Param::Descriptor& d) {
  const std::string& type = d.getType();
  const ofxh::Property::Set& props = d.getProperties();
  if (type == kOfxParamTypeDouble) {
    values_[name] = props.getDoubleProperty(kOfxParamPropDefault);
    return new DoubleParam(d, *this, pluginWrites);
  }
  if (type == kOfxParamTypeInteger || type == kOfxParamTypeChoice || type == kOfxParamTypeBoolean)
    values_[name] = props.getIntProperty(kOfxParamPropDefault);
  if (type == kOfxParamTypeInteger)
    return new ValueParam<ofxh::Param::IntegerInstance, int>(d, *this, pluginWrites);
  if (type == kOfxParamTypeChoice) return new ValueParam<ofxh::Param::ChoiceInstance, int>(d, *this, pluginWrites);
  if (type == kOfxParamTypeBoolean)
    return new ValueParam<ofxh::Param::BooleanInstance, bool>(d, *this, pluginWrites);
  if (type == kOfxParamTypePushButton) return new ofxh::Param::PushbuttonInstance(d, this);
  if (type == kOfxParamTypePage) return new ofxh::Param::PageInstance(d, this);
  if (type == kOfxParamTypeGroup) return new ofxh::Param::GroupInstance(d, this);
  return nullptr;  // a kind this effect never defines
}

OfxStatus Instance::editBegin(const std::string&) { return kOfxStatOK; }
OfxStatus Instance::editEnd() { return kOfxStatOK; }

OfxStatus Instance::vmessage(const char* type, const char* id, const char* fmt, va_list args) {
  return post(messages, type, id, fmt, args);
}
OfxStatus Instance::setPersistentMessage(const char* type, const char* id, const char* fmt, va_list args) {
  return vmessage(type, id, fmt, args);
}
OfxStatus Instance::clearPersistentMessage() { return kOfxStatOK; }

void Instance::getProjectSize(double& x, double& y) const { x = 1920, y = 1080; }
void Instance::getProjectOffset(double& x, double& y) const { x = 0, y = 0; }
void Instance::getProjectExtent(double& x, double& y) const { x = 1920, y = 1080; }
double Instance::getProjectPixelAspectRatio() const { return 1.0; }
double Instance::getEffectDuration() const { return 100.0; }
double Instance::getFrameRate() const { return 24.0; }
double Instance::getFrameRecursive() const { return 0.0; }
void Instance::getRenderScaleRecursive(double& x, double& y) const { x = 1, y = 1; }

}  // namespace standardhost
