// The bundle's OpenFX entry points, the host hookup and the action
// dispatcher. No exception ever leaves this file towards the host.
#include <cstring>
#include <mutex>
#include <new>

#include "ofx/ofxsImageEffect.h"

namespace OFX {

PluginFactoryArray& PluginFactories::plugIDs() {
  static PluginFactoryArray factories;
  return factories;
}

namespace Private {

void fillHostDescription(OfxPropertySetHandle hostProps);

namespace {

void setHost(OfxHost* host) { gHost = host; }

PluginFactory* findFactory(const std::string& uid) {
  for (PluginFactory* f : PluginFactories::plugIDs())
    if (f && f->getUID() == uid) return f;
  return nullptr;
}

template <class T>
const T* fetchSuite(const char* name, int version) {
  if (!gHost || !gHost->fetchSuite) return nullptr;
  return static_cast<const T*>(gHost->fetchSuite(gHost->host, name, version));
}

OfxStatus loadAction(PluginFactory& factory) {
  gEffectSuite = fetchSuite<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1);
  gPropSuite = fetchSuite<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
  gParamSuite = fetchSuite<OfxParameterSuiteV1>(kOfxParameterSuite, 1);
  if (!gEffectSuite || !gPropSuite || !gParamSuite) return kOfxStatErrMissingHostFeature;
  gMemorySuite = fetchSuite<OfxMemorySuiteV1>(kOfxMemorySuite, 1);
  gThreadSuite = fetchSuite<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
  gMessageSuiteV1 = fetchSuite<OfxMessageSuiteV1>(kOfxMessageSuite, 1);
  gMessageSuiteV2 = fetchSuite<OfxMessageSuiteV2>(kOfxMessageSuite, 2);
  fillHostDescription(gHost->host);
  factory.load();
  return kOfxStatOK;
}

ImageEffect* retrieveEffect(const void* handle) {
  OfxPropertySetHandle props = nullptr;
  if (!handle || !gEffectSuite ||
      gEffectSuite->getPropertySet((OfxImageEffectHandle)handle, &props) != kOfxStatOK)
    return nullptr;
  return static_cast<ImageEffect*>(PropertySet(props).propGetPointer(kOfxPropInstanceData, false));
}

void clearInstanceData(const void* handle) {
  OfxPropertySetHandle props = nullptr;
  if (gEffectSuite && gEffectSuite->getPropertySet((OfxImageEffectHandle)handle, &props) == kOfxStatOK)
    PropertySet(props).propSetPointer(kOfxPropInstanceData, nullptr, false);
}

OfxPointD readRenderScale(const PropertySet& in) {
  OfxPointD s{1.0, 1.0};
  if (in.propGetDimension(kOfxImageEffectPropRenderScale, false) >= 2)
    in.propGetDoubleN(kOfxImageEffectPropRenderScale, &s.x, 2, false);
  return s;
}

OfxStatus createInstanceAction(PluginFactory& factory, const void* handle) {
  OfxImageEffectHandle h = (OfxImageEffectHandle)handle;
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(gEffectSuite->getPropertySet(h, &props));
  ContextEnum context = mapContextStringToEnum(PropertySet(props).propGetString(kOfxImageEffectPropContext, false));
  try {
    ImageEffect* effect = factory.createInstance(h, context);
    if (!effect) return kOfxStatFailed;
    PropertySet(props).propSetPointer(kOfxPropInstanceData, effect);
  } catch (...) {
    // The half-built instance is gone; the host must not find it later.
    clearInstanceData(handle);
    throw;
  }
  return kOfxStatOK;
}

class RoISetter : public RegionOfInterestSetter {
 public:
  explicit RoISetter(OfxPropertySetHandle out) : _out(out) {}
  void setRegionOfInterest(const Clip& clip, const OfxRectD& roi) override {
    _out.propSetDoubleN(("OfxImageClipPropRoI_" + clip.name()).c_str(), &roi.x1, 4);
    set = true;
  }
  bool set = false;

 private:
  PropertySet _out;
};

class FramesSetter : public FramesNeededSetter {
 public:
  explicit FramesSetter(OfxPropertySetHandle out) : _out(out) {}
  void setFramesNeeded(const Clip& clip, const OfxRangeD& range) override {
    _out.propSetDoubleN(("OfxImageClipPropFrameRange_" + clip.name()).c_str(), &range.min, 2);
    set = true;
  }
  bool set = false;

 private:
  PropertySet _out;
};

OfxStatus instanceAction(const std::string& action, ImageEffect& effect, const void* handle, PropertySet in,
                         PropertySet out) {
  if (action == kOfxActionDestroyInstance) {
    delete &effect;
    clearInstanceData(handle);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionRender) {
    RenderArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    args.renderScale = readRenderScale(in);
    in.propGetIntN(kOfxImageEffectPropRenderWindow, &args.renderWindow.x1, 4);
    args.fieldToRender = mapFieldStringToEnum(in.propGetString(kOfxImageEffectPropFieldToRender, false));
    args.sequentialRenderStatus = in.propGetInt(kOfxImageEffectPropSequentialRenderStatus, false) != 0;
    args.interactiveRenderStatus = in.propGetInt(kOfxImageEffectPropInteractiveRenderStatus, false) != 0;
    args.renderQualityDraft = in.propGetInt(kOfxImageEffectPropRenderQualityDraft, false) != 0;
    effect.render(args);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionIsIdentity) {
    IsIdentityArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    args.renderScale = readRenderScale(in);
    in.propGetIntN(kOfxImageEffectPropRenderWindow, &args.renderWindow.x1, 4, false);
    args.fieldToRender = mapFieldStringToEnum(in.propGetString(kOfxImageEffectPropFieldToRender, false));
    Clip* identityClip = nullptr;
    double identityTime = args.time;
    int view = args.view;
    std::string plane;
    if (effect.isIdentity(args, identityClip, identityTime, view, plane) && identityClip) {
      out.propSetString(kOfxPropName, identityClip->name());
      out.propSetDouble(kOfxPropTime, identityTime);
      return kOfxStatOK;
    }
    return kOfxStatReplyDefault;
  }
  if (action == kOfxActionInstanceChanged) {
    InstanceChangedArgs args;
    args.reason = mapInstanceChangedReasonStringToEnum(in.propGetString(kOfxPropChangeReason));
    args.time = in.propGetDouble(kOfxPropTime, false);
    args.renderScale = readRenderScale(in);
    const std::string type = in.propGetString(kOfxPropType);
    const std::string name = in.propGetString(kOfxPropName);
    if (type == kOfxTypeParameter) effect.changedParam(args, name);
    else if (type == kOfxTypeClip) effect.changedClip(args, name);
    return kOfxStatOK;
  }
  if (action == kOfxActionBeginInstanceChanged || action == kOfxActionEndInstanceChanged) {
    InstanceChangeReason r = mapInstanceChangedReasonStringToEnum(in.propGetString(kOfxPropChangeReason, false));
    if (action == kOfxActionBeginInstanceChanged) effect.beginChanged(r);
    else effect.endChanged(r);
    return kOfxStatOK;
  }
  if (action == kOfxActionBeginInstanceEdit) { effect.beginEdit(); return kOfxStatOK; }
  if (action == kOfxActionEndInstanceEdit) { effect.endEdit(); return kOfxStatOK; }
  if (action == kOfxActionPurgeCaches) { effect.purgeCaches(); return kOfxStatOK; }
  if (action == kOfxActionSyncPrivateData) { effect.syncPrivateData(); return kOfxStatOK; }
  if (action == kOfxImageEffectActionBeginSequenceRender) {
    BeginSequenceRenderArguments args;
    in.propGetDoubleN(kOfxImageEffectPropFrameRange, &args.frameRange.min, 2, false);
    args.frameStep = in.propGetDouble(kOfxImageEffectPropFrameStep, false);
    args.isInteractive = in.propGetInt(kOfxPropIsInteractive, false) != 0;
    args.renderScale = readRenderScale(in);
    args.sequentialRenderStatus = in.propGetInt(kOfxImageEffectPropSequentialRenderStatus, false) != 0;
    args.interactiveRenderStatus = in.propGetInt(kOfxImageEffectPropInteractiveRenderStatus, false) != 0;
    effect.beginSequenceRender(args);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionEndSequenceRender) {
    EndSequenceRenderArguments args;
    args.isInteractive = in.propGetInt(kOfxPropIsInteractive, false) != 0;
    args.renderScale = readRenderScale(in);
    args.sequentialRenderStatus = in.propGetInt(kOfxImageEffectPropSequentialRenderStatus, false) != 0;
    args.interactiveRenderStatus = in.propGetInt(kOfxImageEffectPropInteractiveRenderStatus, false) != 0;
    effect.endSequenceRender(args);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionGetRegionOfDefinition) {
    RegionOfDefinitionArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    args.renderScale = readRenderScale(in);
    OfxRectD rod{0, 0, 0, 0};
    if (!effect.getRegionOfDefinition(args, rod)) return kOfxStatReplyDefault;
    out.propSetDoubleN(kOfxImageEffectPropRegionOfDefinition, &rod.x1, 4);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionGetRegionsOfInterest) {
    RegionsOfInterestArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    args.renderScale = readRenderScale(in);
    in.propGetDoubleN(kOfxImageEffectPropRegionOfInterest, &args.regionOfInterest.x1, 4, false);
    RoISetter setter(out.propSetHandle());
    effect.getRegionsOfInterest(args, setter);
    return setter.set ? kOfxStatOK : kOfxStatReplyDefault;
  }
  if (action == kOfxImageEffectActionGetFramesNeeded) {
    FramesNeededArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    FramesSetter setter(out.propSetHandle());
    effect.getFramesNeeded(args, setter);
    return setter.set ? kOfxStatOK : kOfxStatReplyDefault;
  }
  if (action == kOfxImageEffectActionGetClipPreferences) {
    ClipPreferencesSetter setter(out.propSetHandle());
    effect.getClipPreferences(setter);
    return setter.changed() ? kOfxStatOK : kOfxStatReplyDefault;
  }
  if (action == kOfxImageEffectActionGetTimeDomain) {
    OfxRangeD range{0, 0};
    if (!effect.getTimeDomain(range)) return kOfxStatReplyDefault;
    out.propSetDoubleN(kOfxImageEffectPropFrameRange, &range.min, 2);
    return kOfxStatOK;
  }
  return kOfxStatReplyDefault;
}

bool isInstanceAction(const std::string& action) {
  static const char* const actions[] = {
      kOfxActionDestroyInstance, kOfxImageEffectActionRender, kOfxImageEffectActionIsIdentity,
      kOfxActionInstanceChanged, kOfxActionBeginInstanceChanged, kOfxActionEndInstanceChanged,
      kOfxActionBeginInstanceEdit, kOfxActionEndInstanceEdit, kOfxActionPurgeCaches, kOfxActionSyncPrivateData,
      kOfxImageEffectActionBeginSequenceRender, kOfxImageEffectActionEndSequenceRender,
      kOfxImageEffectActionGetRegionOfDefinition, kOfxImageEffectActionGetRegionsOfInterest,
      kOfxImageEffectActionGetFramesNeeded, kOfxImageEffectActionGetClipPreferences,
      kOfxImageEffectActionGetTimeDomain};
  for (const char* a : actions)
    if (action == a) return true;
  return false;
}

OfxStatus dispatch(const char* actionC, const void* handle, OfxPropertySetHandle inArgs,
                   OfxPropertySetHandle outArgs, const std::string& uid) {
  if (!actionC) return kOfxStatErrUnknown;
  PluginFactory* factory = findFactory(uid);
  if (!factory) return kOfxStatErrUnknown;
  const std::string action(actionC);

  if (action == kOfxActionLoad) return loadAction(*factory);
  if (!gEffectSuite || !gPropSuite || !gParamSuite) return kOfxStatErrMissingHostFeature;
  if (action == kOfxActionUnload) {
    factory->unload();
    return kOfxStatOK;
  }
  if (action == kOfxActionDescribe) {
    ImageEffectDescriptor desc((OfxImageEffectHandle)handle);
    factory->describe(desc);
    return kOfxStatOK;
  }
  if (action == kOfxImageEffectActionDescribeInContext) {
    ContextEnum context = mapContextStringToEnum(PropertySet(inArgs).propGetString(kOfxImageEffectPropContext));
    ImageEffectDescriptor desc((OfxImageEffectHandle)handle);
    factory->describeInContext(desc, context);
    return kOfxStatOK;
  }
  if (action == kOfxActionCreateInstance) return createInstanceAction(*factory, handle);

  // Actions this layer does not handle (newer API versions, other
  // extensions) get the default answer, whatever handle they come with.
  if (!isInstanceAction(action)) return kOfxStatReplyDefault;
  ImageEffect* effect = retrieveEffect(handle);
  if (!effect) return action == kOfxActionDestroyInstance ? kOfxStatOK : kOfxStatErrBadHandle;
  return instanceAction(action, *effect, handle, PropertySet(inArgs), PropertySet(outArgs));
}

}  // namespace

OfxStatus mainEntryStr(const char* action, const void* handle, OfxPropertySetHandle inArgs,
                       OfxPropertySetHandle outArgs, const std::string& uid) {
  try {
    return dispatch(action, handle, inArgs, outArgs, uid);
  } catch (const Exception::Suite& e) {
    // A suite exception carrying success would report a failed action as done.
    return e.status() == kOfxStatOK ? kOfxStatFailed : e.status();
  } catch (const std::bad_alloc&) {
    return kOfxStatErrMemory;
  } catch (...) {
    return kOfxStatFailed;
  }
}

namespace {
std::vector<OfxPlugin>& pluginRecords() {
  static std::vector<OfxPlugin> records;
  static std::once_flag once;
  std::call_once(once, [] {
    for (PluginFactory* f : PluginFactories::plugIDs()) {
      OfxPlugin p;
      p.pluginApi = kOfxImageEffectPluginApi;
      p.apiVersion = kOfxImageEffectPluginApiVersion;
      p.pluginIdentifier = f->getID().c_str();
      p.pluginVersionMajor = f->getMajorVersion();
      p.pluginVersionMinor = f->getMinorVersion();
      p.setHost = &setHost;
      p.mainEntry = f->getMainEntry();
      records.push_back(p);
    }
  });
  return records;
}
}  // namespace

}  // namespace Private
}  // namespace OFX

OfxExport int OfxGetNumberOfPlugins(void) {
  try {
    return int(OFX::Private::pluginRecords().size());
  } catch (...) {
    return 0;
  }
}

OfxExport OfxPlugin* OfxGetPlugin(int nth) {
  try {
    std::vector<OfxPlugin>& records = OFX::Private::pluginRecords();
    if (nth < 0 || nth >= int(records.size())) return nullptr;
    return &records[std::size_t(nth)];
  } catch (...) {
    return nullptr;
  }
}
