// A host built on the OpenFX standard's host support library, the base that
// real hosts build on: the library finds the bundle through its plug-in
// cache, runs every action and owns every property set; this file adds only
// what the library leaves to a host (values of parameters, clips with
// images, messages). Nothing here bends the library's rules.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The library's headers need this order.
#include "ofxhPluginCache.h"
#include "ofxhImageEffect.h"
#include "ofxhImageEffectAPI.h"

namespace standardhost {

namespace ofxh = OFX::Host;
namespace ie = ofxh::ImageEffect;

struct Message {
  std::string type, id, text;
  std::string format;  // as the plug-in passed it
};

// A host or instance that keeps the messages posted to it, in order.
template <class Base>
class Posting : public Base {
 public:
  using Base::Base;
  OfxStatus vmessage(const char* type, const char* id, const char* fmt, va_list args) override {
    char text[4096] = "";
    if (fmt) std::vsnprintf(text, sizeof text, fmt, args);
    messages.push_back(Message{type ? type : "", id ? id : "", text, fmt ? fmt : ""});
    return kOfxStatOK;
  }
  OfxStatus setPersistentMessage(const char* type, const char* id, const char* fmt, va_list args) override {
    return vmessage(type, id, fmt, args);
  }
  OfxStatus clearPersistentMessage() override { return kOfxStatOK; }

  std::vector<Message> messages;
};

// A frame the test owns: packed float rows, bottom row first.
struct Frame {
  OfxRectI bounds{0, 0, 0, 0};
  std::string components = kOfxImageComponentRGBA;
  std::vector<float> pixels;
  int channels() const { return components == kOfxImageComponentRGB ? 3 : 4; }
};

class Instance;

class Host : public Posting<ie::Host> {
 public:
  // natron: the host adds Natron's host property (NatronOfxHostIsNatron = 1)
  // to its description, as Natron does.
  explicit Host(bool natron) {
    ofxh::Property::Set& p = _properties;
    p.setStringProperty(kOfxPropName, "org.openeffects.conformance");
    p.setStringProperty(kOfxPropLabel, "OpenFX standard host");
    p.setIntProperty(kOfxPropAPIVersion, 1, 0);
    p.setIntProperty(kOfxPropAPIVersion, 4, 1);
    const char* contexts[] = {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral,
                              kOfxImageEffectContextGenerator};
    const char* depths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};
    const char* components[] = {kOfxImageComponentRGBA, kOfxImageComponentRGB, kOfxImageComponentAlpha};
    for (int i = 0; i < 3; ++i) {
      p.setStringProperty(kOfxImageEffectPropSupportedContexts, contexts[i], i);
      p.setStringProperty(kOfxImageEffectPropSupportedPixelDepths, depths[i], i);
      p.setStringProperty(kOfxImageEffectPropSupportedComponents, components[i], i);
    }
    if (natron) p.createProperty(ofxh::Property::PropSpec{"NatronOfxHostIsNatron", ofxh::Property::eInt, 1, true, "1"});
  }

  ie::Instance* newInstance(void*, ie::ImageEffectPlugin* plugin, ie::Descriptor& desc,
                            const std::string& context) override;
  ie::Descriptor* makeDescriptor(ie::ImageEffectPlugin* plugin) override { return new ie::Descriptor(plugin); }
  ie::Descriptor* makeDescriptor(const ie::Descriptor& root, ie::ImageEffectPlugin* plugin) override {
    return new ie::Descriptor(root, plugin);
  }
  ie::Descriptor* makeDescriptor(const std::string& path, ie::ImageEffectPlugin* plugin) override {
    return new ie::Descriptor(path, plugin);
  }
};

// The plug-in cache over one folder of bundles (not recursed, and without
// the system's OpenFX folders), with the image-effect API registered.
class Bundles {
 public:
  Bundles(Host& host, const std::string& folder) : effects_(host), cache_(folder) {
    cache_.registerAPICache(kOfxImageEffectPluginApi, 1, 1, &effects_);
    cache_.scanPluginFiles();
  }
  const std::vector<ie::ImageEffectPlugin*>& effects() const { return effects_.getPlugins(); }

 private:
  struct Cache : ofxh::PluginCache {
    explicit Cache(const std::string& folder) {
      _pluginPath.clear();
      addFileToPath(folder, false);
    }
  };
  ie::PluginCache effects_;
  Cache cache_;
};

// A parameter whose value lives in its instance's table; the plug-in's
// writes are listed by name.
template <class Base, class V>
class ValueParam : public Base {
 public:
  ValueParam(ofxh::Param::Descriptor& d, Instance& owner);
  OfxStatus get(V& v) override;
  OfxStatus get(OfxTime, V& v) override { return get(v); }
  OfxStatus set(V v) override;
  OfxStatus set(OfxTime, V v) override { return set(v); }

 private:
  Instance& owner_;
};

class DoubleParam : public ValueParam<ofxh::Param::DoubleInstance, double> {
 public:
  using ValueParam::ValueParam;
  OfxStatus derive(OfxTime, double& v) override { return v = 0, kOfxStatOK; }
  OfxStatus integrate(OfxTime t1, OfxTime t2, double& v) override { return get(v), v *= t2 - t1, kOfxStatOK; }
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
  Clip(ie::Instance& owner, ie::ClipDescriptor& d, int& liveImages)
      : ie::ClipInstance(&owner, d), liveImages_(liveImages) {}
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
    return frame ? new Image(*this, *frame, getName() + "#" + std::to_string(++serial_), liveImages_) : nullptr;
  }
  OfxRectD getRegionOfDefinition(OfxTime) const override {
    const OfxRectI b = frame ? frame->bounds : OfxRectI{0, 0, 1920, 1080};
    return OfxRectD{double(b.x1), double(b.y1), double(b.x2), double(b.y2)};
  }

 private:
  int& liveImages_;
  int serial_ = 0;
  std::string depth_ = kOfxBitDepthFloat, rgba_ = kOfxImageComponentRGBA, premult_ = kOfxImagePreMultiplied,
              field_ = kOfxImageFieldNone;
};

// An effect instance: parameters hold one value each (no animation), clips
// hand out the frames the test gives them.
class Instance : public Posting<ie::Instance> {
 public:
  Instance(ie::ImageEffectPlugin* plugin, ie::Descriptor& desc, const std::string& context)
      : Posting(plugin, desc, context, true) {}

  // The plug-in's instance, made by the library, after its create action.
  static std::unique_ptr<Instance> create(ie::ImageEffectPlugin& plugin, const std::string& context,
                                          OfxStatus* status) {
    std::unique_ptr<Instance> inst(static_cast<Instance*>(plugin.createInstance(context, nullptr)));
    *status = inst ? inst->createInstanceAction() : kOfxStatFailed;
    return inst;
  }

  // Test side: values as numbers (choices and booleans as 0, 1, ...).
  double value(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? 0.0 : it->second;
  }
  void setValue(const std::string& name, double v) { values_[name] = v; }
  // The host reports a user's change of a parameter (a button press, say)
  // inside begin/end instance changed; userEdit sets the value first.
  OfxStatus changed(const std::string& name) {
    beginInstanceChangedAction(kOfxChangeUserEdited);
    const OfxStatus s = paramInstanceChangedAction(name, kOfxChangeUserEdited, 0, OfxPointD{1, 1});
    endInstanceChangedAction(kOfxChangeUserEdited);
    return s;
  }
  OfxStatus userEdit(const std::string& name, double v) { return setValue(name, v), changed(name); }
  // Connects a clip to a frame (nullptr disconnects it).
  void setFrame(const std::string& clip, std::shared_ptr<Frame> frame) {
    static_cast<Clip*>(getClip(clip))->frame = std::move(frame);
    beginInstanceChangedAction(kOfxChangeUserEdited);
    clipInstanceChangedAction(clip, kOfxChangeUserEdited, 0, OfxPointD{1, 1});
    endInstanceChangedAction(kOfxChangeUserEdited);
  }
  // What a host does for one frame: clip preferences, identity, then render.
  OfxStatus renderFrame(double time, const OfxRectI& window) {
    const OfxPointD scale{1, 1};
    auto failed = [](OfxStatus s) { return s != kOfxStatOK && s != kOfxStatReplyDefault; };
    if (areClipPrefsDirty() && !getClipPreferences()) return kOfxStatFailed;
    OfxRectD rod;
    OfxStatus s = getRegionOfDefinitionAction(time, scale, rod);
    if (failed(s)) return s;
    std::string identityClip;
    double identityTime = time;
    s = isIdentityAction(identityTime, kOfxImageFieldNone, window, scale, identityClip);
    if (s == kOfxStatOK) return kOfxStatReplyDefault;  // the host would pass the source on
    if (s != kOfxStatReplyDefault) return s;
    s = beginRenderAction(time, time, 1, true, scale, false, true);
    if (failed(s)) return s;
    s = renderAction(time, kOfxImageFieldNone, window, scale, false, true, false);
    const OfxStatus end = endRenderAction(time, time, 1, true, scale, false, true);
    return s == kOfxStatOK && failed(end) ? end : s;
  }

  std::vector<std::string> pluginWrites;  // names, in the order the plug-in set them
  int liveImages = 0;

  // The library's interface.
  const std::string& getDefaultOutputFielding() const override { return field_; }
  ie::ClipInstance* newClipInstance(ie::Instance*, ie::ClipDescriptor* d, int) override {
    return new Clip(*this, *d, liveImages);
  }
  ofxh::Param::Instance* newParam(const std::string& name, ofxh::Param::Descriptor& d) override {
    const std::string& type = d.getType();
    if (type == kOfxParamTypeDouble || type == kOfxParamTypeInteger || type == kOfxParamTypeChoice ||
        type == kOfxParamTypeBoolean)
      values_[name] = type == kOfxParamTypeDouble ? d.getProperties().getDoubleProperty(kOfxParamPropDefault)
                                                   : d.getProperties().getIntProperty(kOfxParamPropDefault);
    if (type == kOfxParamTypeDouble) return new DoubleParam(d, *this);
    if (type == kOfxParamTypeInteger) return new ValueParam<ofxh::Param::IntegerInstance, int>(d, *this);
    if (type == kOfxParamTypeChoice) return new ValueParam<ofxh::Param::ChoiceInstance, int>(d, *this);
    if (type == kOfxParamTypeBoolean) return new ValueParam<ofxh::Param::BooleanInstance, bool>(d, *this);
    if (type == kOfxParamTypePushButton) return new ofxh::Param::PushbuttonInstance(d, this);
    if (type == kOfxParamTypePage) return new ofxh::Param::PageInstance(d, this);
    if (type == kOfxParamTypeGroup) return new ofxh::Param::GroupInstance(d, this);
    return nullptr;  // a kind this effect never defines
  }
  OfxStatus editBegin(const std::string&) override { return kOfxStatOK; }
  OfxStatus editEnd() override { return kOfxStatOK; }
  void getProjectSize(double& x, double& y) const override { x = 1920, y = 1080; }
  void getProjectOffset(double& x, double& y) const override { x = 0, y = 0; }
  void getProjectExtent(double& x, double& y) const override { x = 1920, y = 1080; }
  double getProjectPixelAspectRatio() const override { return 1.0; }
  double getEffectDuration() const override { return 100.0; }
  double getFrameRate() const override { return 24.0; }
  double getFrameRecursive() const override { return 0.0; }
  void getRenderScaleRecursive(double& x, double& y) const override { x = 1, y = 1; }
  void progressStart(const std::string&, const std::string&) override {}
  void progressEnd() override {}
  bool progressUpdate(double) override { return true; }
  double timeLineGetTime() override { return 0; }
  void timeLineGotoTime(double) override {}
  void timeLineGetBounds(double& t1, double& t2) override { t1 = 0, t2 = 100; }

 private:
  std::map<std::string, double> values_;
  std::string field_ = kOfxImageFieldNone;
};

inline ie::Instance* Host::newInstance(void*, ie::ImageEffectPlugin* plugin, ie::Descriptor& desc,
                                       const std::string& context) {
  return new Instance(plugin, desc, context);
}

template <class Base, class V>
ValueParam<Base, V>::ValueParam(ofxh::Param::Descriptor& d, Instance& owner) : Base(d, &owner), owner_(owner) {}
template <class Base, class V>
OfxStatus ValueParam<Base, V>::get(V& v) {
  v = static_cast<V>(owner_.value(this->getName()));
  return kOfxStatOK;
}
template <class Base, class V>
OfxStatus ValueParam<Base, V>::set(V v) {
  owner_.setValue(this->getName(), static_cast<double>(v));
  owner_.pluginWrites.push_back(this->getName());
  return kOfxStatOK;
}

}  // namespace standardhost
