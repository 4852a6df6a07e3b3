// A host built on the OpenFX standard's host support library, the base that
// real hosts build on: the library finds the bundle through its plug-in
// cache, runs every action and owns every property set; this file adds only
// what the library leaves to a host (values of parameters, clips with
// images, messages). Nothing here bends the library's rules.
#pragma once

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

struct Message {
  std::string type, id, text;
};

// A frame the test owns: packed float rows, bottom row first.
struct Frame {
  OfxRectI bounds{0, 0, 0, 0};
  std::string components = kOfxImageComponentRGBA;
  std::vector<float> pixels;
  int channels() const { return components == kOfxImageComponentRGB ? 3 : 4; }
};

class Instance;

class Host : public ofxh::ImageEffect::Host {
 public:
  // natron: the host adds Natron's host property (NatronOfxHostIsNatron = 1)
  // to its description, as Natron does.
  explicit Host(bool natron);

  ofxh::ImageEffect::Instance* newInstance(void* clientData, ofxh::ImageEffect::ImageEffectPlugin* plugin,
                                           ofxh::ImageEffect::Descriptor& desc, const std::string& context) override;
  ofxh::ImageEffect::Descriptor* makeDescriptor(ofxh::ImageEffect::ImageEffectPlugin* plugin) override;
  ofxh::ImageEffect::Descriptor* makeDescriptor(const ofxh::ImageEffect::Descriptor& rootContext,
                                                ofxh::ImageEffect::ImageEffectPlugin* plugin) override;
  ofxh::ImageEffect::Descriptor* makeDescriptor(const std::string& bundlePath,
                                                ofxh::ImageEffect::ImageEffectPlugin* plugin) override;
  OfxStatus vmessage(const char* type, const char* id, const char* format, va_list args) override;
  OfxStatus setPersistentMessage(const char* type, const char* id, const char* format, va_list args) override;
  OfxStatus clearPersistentMessage() override;

  std::vector<Message> messages;  // posted with no instance
};

// The plug-in cache over one folder of bundles (not recursed, and without
// the system's OpenFX folders), with the image-effect API registered.
class Bundles {
 public:
  Bundles(Host& host, const std::string& folder);
  ~Bundles();
  const std::vector<ofxh::ImageEffect::ImageEffectPlugin*>& effects() const { return effects_.getPlugins(); }

 private:
  struct Cache : ofxh::PluginCache {
    explicit Cache(const std::string& folder);
  };
  ofxh::ImageEffect::PluginCache effects_;
  Cache cache_;
};

// An effect instance: parameters hold one value each (no animation), clips
// hand out the frames the test gives them.
class Instance : public ofxh::ImageEffect::Instance {
 public:
  Instance(ofxh::ImageEffect::ImageEffectPlugin* plugin, ofxh::ImageEffect::Descriptor& desc,
           const std::string& context);

  // The plug-in's instance, made by the library; created() after success.
  static std::unique_ptr<Instance> create(ofxh::ImageEffect::ImageEffectPlugin& plugin, const std::string& context,
                                          OfxStatus* status);

  // Test side: values as numbers (choices and booleans as 0, 1, ...).
  double value(const std::string& name) const;
  void setValue(const std::string& name, double v);
  // The host reports a user's change of a parameter (a button press, say)
  // inside begin/end instance changed; userEdit sets the value first.
  OfxStatus changed(const std::string& name);
  OfxStatus userEdit(const std::string& name, double v);
  // Connects a clip to a frame (nullptr disconnects it).
  void setFrame(const std::string& clip, std::shared_ptr<Frame> frame);
  // What a host does for one frame: clip preferences, identity, then render.
  OfxStatus renderFrame(double time, const OfxRectI& window);

  std::vector<Message> messages;
  std::vector<std::string> pluginWrites;  // names, in the order the plug-in set them
  int liveImages = 0;

  // The library's interface.
  const std::string& getDefaultOutputFielding() const override;
  ofxh::ImageEffect::ClipInstance* newClipInstance(ofxh::ImageEffect::Instance* plugin,
                                                   ofxh::ImageEffect::ClipDescriptor* descriptor, int index) override;
  ofxh::Param::Instance* newParam(const std::string& name, ofxh::Param::Descriptor& descriptor) override;
  OfxStatus editBegin(const std::string& name) override;
  OfxStatus editEnd() override;
  OfxStatus vmessage(const char* type, const char* id, const char* format, va_list args) override;
  OfxStatus setPersistentMessage(const char* type, const char* id, const char* format, va_list args) override;
  OfxStatus clearPersistentMessage() override;
  void getProjectSize(double& x, double& y) const override;
  void getProjectOffset(double& x, double& y) const override;
  void getProjectExtent(double& x, double& y) const override;
  double getProjectPixelAspectRatio() const override;
  double getEffectDuration() const override;
  double getFrameRate() const override;
  double getFrameRecursive() const override;
  void getRenderScaleRecursive(double& x, double& y) const override;
  void progressStart(const std::string&, const std::string&) override {}
  void progressEnd() override {}
  bool progressUpdate(double) override { return true; }
  double timeLineGetTime() override { return 0; }
  void timeLineGotoTime(double) override {}
  void timeLineGetBounds(double& t1, double& t2) override { t1 = 0, t2 = 100; }

 private:
  std::map<std::string, double> values_;
};

}  // namespace standardhost
