#ifndef KALTHORNE_OFXS_IMAGE_EFFECT_H
#define KALTHORNE_OFXS_IMAGE_EFFECT_H
// The C++ image-effect layer: factories and their registration, effect and
// clip descriptors, effect instances, clips and images. Including this one
// header gives the whole support layer.

#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ofxsCore.h"
#include "ofxsMultiThread.h"
#include "ofxsParam.h"

namespace OFX {

class ImageEffect;

// ---------------------------------------------------------------- describing

class ClipDescriptor {
 public:
  ClipDescriptor(const std::string& name, OfxPropertySetHandle props);
  ClipDescriptor(const ClipDescriptor&) = delete;
  ClipDescriptor& operator=(const ClipDescriptor&) = delete;

  const std::string& getName() const { return _clipName; }
  PropertySet& getPropertySet() { return _clipProps; }

  void setLabel(const std::string& label);
  void setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel);
  void addSupportedComponent(PixelComponentEnum v);
  void addSupportedComponent(const std::string& comp);
  void setTemporalClipAccess(bool v);
  void setSupportsTiles(bool v);
  void setIsMask(bool v);
  void setOptional(bool v);
  void setFieldExtraction(FieldEnum v);

 private:
  std::string _clipName;
  PropertySet _clipProps;
  int _nComponents = 0;
};

class ImageEffectDescriptor : public ParamSetDescriptor {
 public:
  explicit ImageEffectDescriptor(OfxImageEffectHandle handle);
  ~ImageEffectDescriptor() override;

  OfxImageEffectHandle getImageEffectHandle() const { return _effectHandle; }
  PropertySet& getPropertySet() { return _effectProps; }

  void setLabel(const std::string& label);
  void setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel);
  void setPluginGrouping(const std::string& group);
  // The host shows this text as the effect's documentation; it is passed on
  // unchanged but must be valid UTF-8 (checked, throws std::invalid_argument).
  void setPluginDescription(const std::string& description, bool validate = true);
  void addSupportedContext(ContextEnum v);
  void addSupportedBitDepth(BitDepthEnum v);
  void setSingleInstance(bool v);
  void setHostFrameThreading(bool v);
  void setSupportsMultiResolution(bool v);
  void setSupportsTiles(bool v);
  void setTemporalClipAccess(bool v);
  void setRenderTwiceAlways(bool v);
  void setSupportsMultipleClipPARs(bool v);
  void setSupportsMultipleClipDepths(bool v);
  void setRenderThreadSafety(RenderSafetyEnum v);

  ClipDescriptor* defineClip(const std::string& name);

 private:
  OfxImageEffectHandle _effectHandle;
  PropertySet _effectProps;
  int _nContexts = 0;
  int _nDepths = 0;
  std::map<std::string, std::unique_ptr<ClipDescriptor>> _definedClips;
};

// ----------------------------------------------------------- images and clips

class Image {
 public:
  explicit Image(OfxPropertySetHandle props);
  // Returns the image to the host.
  virtual ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  PropertySet& getPropertySet() { return _imageProps; }
  void* getPixelData() const { return _pixelData; }
  const OfxRectI& getBounds() const { return _bounds; }
  const OfxRectI& getRegionOfDefinition() const { return _regionOfDefinition; }
  int getRowBytes() const { return _rowBytes; }
  BitDepthEnum getPixelDepth() const { return _pixelDepth; }
  PixelComponentEnum getPixelComponents() const { return _pixelComponents; }
  int getPixelComponentCount() const { return _pixelComponentCount; }
  std::string getPixelComponentsProperty() const { return _pixelComponentsStr; }
  PreMultiplicationEnum getPreMultiplication() const { return _preMultiplication; }
  const OfxPointD& getRenderScale() const { return _renderScale; }
  double getPixelAspectRatio() const { return _pixelAspectRatio; }
  FieldEnum getField() const { return _field; }
  std::string getUniqueIdentifier() const;
  // Address of pixel (x, y), or null outside the bounds.
  void* getPixelAddress(int x, int y) const;

 private:
  PropertySet _imageProps;
  void* _pixelData = nullptr;
  OfxRectI _bounds{0, 0, 0, 0};
  OfxRectI _regionOfDefinition{0, 0, 0, 0};
  int _rowBytes = 0;
  BitDepthEnum _pixelDepth = eBitDepthNone;
  PixelComponentEnum _pixelComponents = ePixelComponentNone;
  int _pixelComponentCount = 0;
  std::string _pixelComponentsStr;
  PreMultiplicationEnum _preMultiplication = eImageOpaque;
  OfxPointD _renderScale{1.0, 1.0};
  double _pixelAspectRatio = 1.0;
  FieldEnum _field = eFieldNone;
};

class Clip {
 public:
  Clip(ImageEffect* effect, const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props);
  Clip(const Clip&) = delete;
  Clip& operator=(const Clip&) = delete;

  const std::string& name() const { return _clipName; }
  const std::string& getName() const { return _clipName; }
  OfxImageClipHandle getHandle() const { return _clipHandle; }
  PropertySet& getPropertySet() { return _clipProps; }

  BitDepthEnum getPixelDepth() const;
  PixelComponentEnum getPixelComponents() const;
  int getPixelComponentCount() const;
  BitDepthEnum getUnmappedPixelDepth() const;
  PixelComponentEnum getUnmappedPixelComponents() const;
  PreMultiplicationEnum getPreMultiplication() const;
  double getPixelAspectRatio() const;
  double getFrameRate() const;
  OfxRangeD getFrameRange() const;
  bool isConnected() const;
  bool hasContinuousSamples() const;
  OfxRectD getRegionOfDefinition(double t) const;
  // The image at time t, or null when the host has none. The caller owns it
  // (delete returns it to the host; std::unique_ptr<OFX::Image> is the usual
  // holder).
  Image* fetchImage(double t);
  Image* fetchImage(double t, const OfxRectD& bounds);

 private:
  std::string _clipName;
  OfxImageClipHandle _clipHandle;
  PropertySet _clipProps;
};

// ----------------------------------------------------------- action arguments

struct RenderArguments {
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
  OfxRectI renderWindow{0, 0, 0, 0};
  FieldEnum fieldToRender = eFieldNone;
  bool sequentialRenderStatus = false;
  bool interactiveRenderStatus = false;
  bool renderQualityDraft = false;
  int renderView = 0;
  std::list<std::string> planes;
};

struct IsIdentityArguments {
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
  OfxRectI renderWindow{0, 0, 0, 0};
  FieldEnum fieldToRender = eFieldNone;
  int view = 0;
};

struct InstanceChangedArgs {
  InstanceChangeReason reason = eChangeUserEdit;
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
};

struct BeginSequenceRenderArguments {
  OfxRangeD frameRange{0, 0};
  double frameStep = 1;
  bool isInteractive = false;
  OfxPointD renderScale{1.0, 1.0};
  bool sequentialRenderStatus = false;
  bool interactiveRenderStatus = false;
};

struct EndSequenceRenderArguments {
  bool isInteractive = false;
  OfxPointD renderScale{1.0, 1.0};
  bool sequentialRenderStatus = false;
  bool interactiveRenderStatus = false;
};

struct RegionOfDefinitionArguments {
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
  int view = 0;
};

struct RegionsOfInterestArguments {
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
  OfxRectD regionOfInterest{0, 0, 0, 0};
  int view = 0;
};

struct FramesNeededArguments {
  double time = 0;
  int view = 0;
};

struct ClipComponentsArguments {
  double time = 0;
  int view = 0;
};

struct FrameViewsNeededArguments {
  double time = 0;
  int view = 0;
};

struct TransformArguments {
  double time = 0;
  OfxPointD renderScale{1.0, 1.0};
  FieldEnum fieldToRender = eFieldNone;
  int renderView = 0;
};

struct InterpolateCustomArgs {
  double time = 0;
  double value1Time = 0, value2Time = 0;
  double amount = 0;
  std::string value1, value2;
};

// Receives the plug-in's answers to the region-of-interest action.
class RegionOfInterestSetter {
 public:
  virtual ~RegionOfInterestSetter() = default;
  virtual void setRegionOfInterest(const Clip& clip, const OfxRectD& roi) = 0;
};

class FramesNeededSetter {
 public:
  virtual ~FramesNeededSetter() = default;
  virtual void setFramesNeeded(const Clip& clip, const OfxRangeD& range) = 0;
};

class ClipPreferencesSetter {
 public:
  ClipPreferencesSetter(OfxPropertySetHandle outArgs) : _outArgs(outArgs) {}
  void setClipComponents(Clip& clip, PixelComponentEnum comps);
  void setClipBitDepth(Clip& clip, BitDepthEnum depth);
  void setPixelAspectRatio(Clip& clip, double par);
  void setOutputFrameVarying(bool v);
  void setOutputPremultiplication(PreMultiplicationEnum v);
  bool changed() const { return _changed; }

 private:
  PropertySet _outArgs;
  bool _changed = false;
};

class ClipComponentsSetter {
 public:
  virtual ~ClipComponentsSetter() = default;
};

class FrameViewsNeededSetter {
 public:
  virtual ~FrameViewsNeededSetter() = default;
};

// ------------------------------------------------------------------ instances

class ImageEffect : public ParamSet {
 public:
  ImageEffect(OfxImageEffectHandle handle);
  virtual ~ImageEffect();

  OfxImageEffectHandle getHandle() const { return _effectHandle; }
  PropertySet& getPropertySet() { return _effectProps; }
  ContextEnum getContext() const { return _context; }
  bool isInteractive() const;
  OfxPointD getProjectSize() const;
  OfxPointD getProjectOffset() const;
  OfxPointD getProjectExtent() const;
  double getProjectPixelAspectRatio() const;
  double getFrameRate() const;
  // True when the host wants the current render stopped.
  bool abort() const;

  // Cached per name for the instance's life; throws when the host has no
  // clip of that name.
  Clip* fetchClip(const std::string& name);

  Message::MessageReplyEnum sendMessage(Message::MessageTypeEnum type, const std::string& id,
                                        const std::string& msg, bool throwIfMissing = false);
  Message::MessageReplyEnum setPersistentMessage(Message::MessageTypeEnum type, const std::string& id,
                                                 const std::string& msg, bool throwIfMissing = false);
  Message::MessageReplyEnum clearPersistentMessage(bool throwIfMissing = false);

  // The virtual actions, in the order of their slots.
  virtual void purgeCaches();
  virtual void syncPrivateData();
  virtual void render(const RenderArguments& args);
  virtual void beginSequenceRender(const BeginSequenceRenderArguments& args);
  virtual void endSequenceRender(const EndSequenceRenderArguments& args);
  // The standard form.
  virtual bool isIdentity(const IsIdentityArguments& args, Clip*& identityClip, double& identityTime);
  // Natron's form, which is what the dispatcher calls; by default it asks
  // the standard form below. True means the frame is a copy of identityClip
  // at identityTime.
  virtual bool isIdentity(const IsIdentityArguments& args, Clip*& identityClip, double& identityTime, int& view,
                          std::string& plane);
  virtual bool getRegionOfDefinition(const RegionOfDefinitionArguments& args, OfxRectD& rod);
  virtual void getRegionsOfInterest(const RegionsOfInterestArguments& args, RegionOfInterestSetter& rois);
  virtual void getFramesNeeded(const FramesNeededArguments& args, FramesNeededSetter& frames);
  virtual void getClipPreferences(ClipPreferencesSetter& clipPreferences);
  virtual void beginEdit();
  virtual void endEdit();
  virtual void beginChanged(InstanceChangeReason reason);
  virtual void changedParam(const InstanceChangedArgs& args, const std::string& paramName);
  virtual void changedClip(const InstanceChangedArgs& args, const std::string& clipName);
  virtual void endChanged(InstanceChangeReason reason);
  virtual OfxStatus getClipComponents(const ClipComponentsArguments& args, ClipComponentsSetter& setter);
  virtual void getFrameViewsNeeded(const FrameViewsNeededArguments& args, FrameViewsNeededSetter& setter);
  virtual bool getTransform(const TransformArguments& args, Clip*& transformClip, double transformMatrix[9]);
  virtual bool getInverseDistortion(const TransformArguments& args, Clip*& transformClip,
                                    double transformMatrix[9]);
  virtual void interpolateCustomParam(const InterpolateCustomArgs& args, std::string& value);
  virtual bool getTimeDomain(OfxRangeD& range);

 private:
  OfxImageEffectHandle _effectHandle;
  PropertySet _effectProps;
  ContextEnum _context;
  std::mutex _clipMutex;
  std::map<std::string, std::unique_ptr<Clip>> _fetchedClips;
};

// ------------------------------------------------------------------ factories

class PluginFactory {
 public:
  virtual ~PluginFactory() {}
  virtual void load() {}
  virtual void unload() {}
  virtual void describe(ImageEffectDescriptor& desc) = 0;
  virtual void describeInContext(ImageEffectDescriptor& desc, ContextEnum context) = 0;
  virtual ImageEffect* createInstance(OfxImageEffectHandle handle, ContextEnum context) = 0;
  virtual const std::string& getID() const = 0;
  virtual const std::string& getUID() const = 0;
  virtual unsigned int getMajorVersion() const = 0;
  virtual unsigned int getMinorVersion() const = 0;
  virtual OfxPluginEntryPoint* getMainEntry() = 0;
};

typedef std::vector<PluginFactory*> PluginFactoryArray;

// The process-wide list of factories that the entry points report.
class PluginFactories {
 public:
  // Created on first use, so static registrations in any order find it.
  static PluginFactoryArray& plugIDs();
};

namespace Private {
// The action dispatcher: never lets an exception reach the host.
OfxStatus mainEntryStr(const char* action, const void* handle, OfxPropertySetHandle in, OfxPropertySetHandle out,
                       const std::string& uid);
}  // namespace Private

// Gives each factory type its own C entry point carrying its identity.
template <class FACTORY>
class FactoryMainEntryHelper {
 protected:
  FactoryMainEntryHelper(const std::string& id, unsigned int verMaj, unsigned int verMin)
      : _id(id), _verMaj(verMaj), _verMin(verMin) {
    uid() = id + "." + std::to_string(verMaj) + "." + std::to_string(verMin);
  }
  virtual ~FactoryMainEntryHelper() {}
  static std::string& uid() {
    static std::string s;
    return s;
  }
  static OfxStatus mainEntry(const char* action, const void* handle, OfxPropertySetHandle in,
                             OfxPropertySetHandle out) {
    return Private::mainEntryStr(action, handle, in, out, uid());
  }
  std::string _id;
  unsigned int _verMaj;
  unsigned int _verMin;
};

template <class FACTORY>
class PluginFactoryHelper : public PluginFactory, public FactoryMainEntryHelper<FACTORY> {
 public:
  PluginFactoryHelper(const std::string& id, unsigned int verMaj, unsigned int verMin)
      : FactoryMainEntryHelper<FACTORY>(id, verMaj, verMin) {}
  const std::string& getID() const override { return this->_id; }
  const std::string& getUID() const override { return FactoryMainEntryHelper<FACTORY>::uid(); }
  unsigned int getMajorVersion() const override { return this->_verMaj; }
  unsigned int getMinorVersion() const override { return this->_verMin; }
  OfxPluginEntryPoint* getMainEntry() override { return &FactoryMainEntryHelper<FACTORY>::mainEntry; }
};

}  // namespace OFX

// The library's exported OpenFX entry points.
OfxExport int OfxGetNumberOfPlugins(void);
OfxExport OfxPlugin* OfxGetPlugin(int nth);

#endif
