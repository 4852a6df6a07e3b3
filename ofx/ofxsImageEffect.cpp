// Effect and clip descriptors, clips, images and the effect instance base.
#include "ofx/ofxsImageEffect.h"

#include <cstdint>
#include <new>

namespace OFX {

using namespace Private;

namespace {
const OfxImageEffectSuiteV1& effectSuite() {
  if (!gEffectSuite) throwHostMissingSuiteException(kOfxImageEffectSuite);
  return *gEffectSuite;
}

int componentCount(PixelComponentEnum c) {
  switch (c) {
    case ePixelComponentRGBA: return 4;
    case ePixelComponentRGB: return 3;
    case ePixelComponentAlpha: return 1;
    default: return 0;
  }
}

// Well-formed UTF-8 without overlong forms or surrogates.
bool isValidUtf8(const std::string& s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* end = p + s.size();
  while (p < end) {
    unsigned c = *p++;
    if (c < 0x80) continue;
    int extra;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return false;
    if (end - p < extra) return false;
    for (int i = 0; i < extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra;
    static const unsigned minimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  }
  return true;
}
}  // namespace

// ------------------------------------------------------------ clip descriptor

ClipDescriptor::ClipDescriptor(const std::string& name, OfxPropertySetHandle props)
    : _clipName(name), _clipProps(props) {}

void ClipDescriptor::setLabel(const std::string& label) { _clipProps.propSetString(kOfxPropLabel, label); }
void ClipDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                               const std::string& longLabel) {
  setLabel(label);
  _clipProps.propSetString(kOfxPropShortLabel, shortLabel, false);
  _clipProps.propSetString(kOfxPropLongLabel, longLabel, false);
}
void ClipDescriptor::addSupportedComponent(PixelComponentEnum v) {
  addSupportedComponent(std::string(mapPixelComponentEnumToStr(v)));
}
void ClipDescriptor::addSupportedComponent(const std::string& comp) {
  _clipProps.propSetString(kOfxImageEffectPropSupportedComponents, comp, _nComponents);
  ++_nComponents;
}
void ClipDescriptor::setTemporalClipAccess(bool v) {
  _clipProps.propSetInt(kOfxImageEffectPropTemporalClipAccess, v ? 1 : 0);
}
void ClipDescriptor::setSupportsTiles(bool v) { _clipProps.propSetInt(kOfxImageEffectPropSupportsTiles, v ? 1 : 0); }
void ClipDescriptor::setIsMask(bool v) { _clipProps.propSetInt(kOfxImageClipPropIsMask, v ? 1 : 0); }
void ClipDescriptor::setOptional(bool v) { _clipProps.propSetInt(kOfxImageClipPropOptional, v ? 1 : 0); }
void ClipDescriptor::setFieldExtraction(FieldEnum v) {
  static const char* const names[] = {kOfxImageFieldNone,  kOfxImageFieldBoth,   kOfxImageFieldLower,
                                      kOfxImageFieldUpper, kOfxImageFieldSingle, kOfxImageFieldDoubled};
  _clipProps.propSetString(kOfxImageClipPropFieldExtraction, names[v], false);
}

// ---------------------------------------------------------- effect descriptor

ImageEffectDescriptor::ImageEffectDescriptor(OfxImageEffectHandle handle) : _effectHandle(handle) {
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(effectSuite().getPropertySet(handle, &props));
  _effectProps.propSetHandle(props);
  OfxParamSetHandle paramSet = nullptr;
  throwSuiteStatusException(effectSuite().getParamSet(handle, &paramSet));
  setParamSetHandle(paramSet);
}

ImageEffectDescriptor::~ImageEffectDescriptor() = default;

void ImageEffectDescriptor::setLabel(const std::string& label) { _effectProps.propSetString(kOfxPropLabel, label); }
void ImageEffectDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                                      const std::string& longLabel) {
  setLabel(label);
  _effectProps.propSetString(kOfxPropShortLabel, shortLabel, false);
  _effectProps.propSetString(kOfxPropLongLabel, longLabel, false);
}
void ImageEffectDescriptor::setPluginGrouping(const std::string& group) {
  _effectProps.propSetString(kOfxImageEffectPluginPropGrouping, group);
}
void ImageEffectDescriptor::setPluginDescription(const std::string& description, bool validate) {
  if (validate && !isValidUtf8(description))
    throw std::invalid_argument("the effect description is not valid UTF-8");
  // Older hosts do not know the property; the description is optional.
  _effectProps.propSetString(kOfxPropPluginDescription, description, false);
}
void ImageEffectDescriptor::addSupportedContext(ContextEnum v) {
  _effectProps.propSetString(kOfxImageEffectPropSupportedContexts, mapContextEnumToStr(v), _nContexts);
  ++_nContexts;
}
void ImageEffectDescriptor::addSupportedBitDepth(BitDepthEnum v) {
  _effectProps.propSetString(kOfxImageEffectPropSupportedPixelDepths, mapBitDepthEnumToStr(v), _nDepths);
  ++_nDepths;
}
void ImageEffectDescriptor::setSingleInstance(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPluginPropSingleInstance, v ? 1 : 0);
}
void ImageEffectDescriptor::setHostFrameThreading(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPluginPropHostFrameThreading, v ? 1 : 0);
}
void ImageEffectDescriptor::setSupportsMultiResolution(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPropSupportsMultiResolution, v ? 1 : 0);
}
void ImageEffectDescriptor::setSupportsTiles(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPropSupportsTiles, v ? 1 : 0);
}
void ImageEffectDescriptor::setTemporalClipAccess(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPropTemporalClipAccess, v ? 1 : 0);
}
void ImageEffectDescriptor::setRenderTwiceAlways(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPluginPropFieldRenderTwiceAlways, v ? 1 : 0);
}
void ImageEffectDescriptor::setSupportsMultipleClipPARs(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPropSupportsMultipleClipPARs, v ? 1 : 0);
}
void ImageEffectDescriptor::setSupportsMultipleClipDepths(bool v) {
  _effectProps.propSetInt(kOfxImageEffectPropSupportsMultipleClipDepths, v ? 1 : 0);
}
void ImageEffectDescriptor::setRenderThreadSafety(RenderSafetyEnum v) {
  const char* s = v == eRenderFullySafe     ? kOfxImageEffectRenderFullySafe
                  : v == eRenderInstanceSafe ? kOfxImageEffectRenderInstanceSafe
                                             : kOfxImageEffectRenderUnsafe;
  _effectProps.propSetString(kOfxImageEffectPluginRenderThreadSafety, s);
}

ClipDescriptor* ImageEffectDescriptor::defineClip(const std::string& name) {
  auto it = _definedClips.find(name);
  if (it != _definedClips.end()) return it->second.get();
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(effectSuite().clipDefine(_effectHandle, name.c_str(), &props));
  ClipDescriptor* c = new ClipDescriptor(name, props);
  _definedClips[name].reset(c);
  return c;
}

// ---------------------------------------------------------------------- image

Image::Image(OfxPropertySetHandle props) : _imageProps(props) {
  // The image is ours from the moment the host handed it over: give it back
  // if it cannot be described.
  try {
    _pixelData = _imageProps.propGetPointer(kOfxImagePropData);
    _imageProps.propGetIntN(kOfxImagePropBounds, &_bounds.x1, 4);
    _imageProps.propGetIntN(kOfxImagePropRegionOfDefinition, &_regionOfDefinition.x1, 4, false);
    _rowBytes = _imageProps.propGetInt(kOfxImagePropRowBytes);
    _pixelDepth = mapBitDepthStringToEnum(_imageProps.propGetString(kOfxImageEffectPropPixelDepth));
    _pixelComponentsStr = _imageProps.propGetString(kOfxImageEffectPropComponents);
    _pixelComponents = mapPixelComponentStringToEnum(_pixelComponentsStr);
    _pixelComponentCount = componentCount(_pixelComponents);
    _preMultiplication =
        mapPreMultiplicationStringToEnum(_imageProps.propGetString(kOfxImageEffectPropPreMultiplication, false));
    if (_imageProps.propGetDimension(kOfxImageEffectPropRenderScale, false) == 2)
      _imageProps.propGetDoubleN(kOfxImageEffectPropRenderScale, &_renderScale.x, 2, false);
    double par = _imageProps.propGetDouble(kOfxImagePropPixelAspectRatio, false);
    _pixelAspectRatio = par > 0 ? par : 1.0;
    _field = mapFieldStringToEnum(_imageProps.propGetString(kOfxImagePropField, false));
  } catch (...) {
    if (gEffectSuite) gEffectSuite->clipReleaseImage(props);
    throw;
  }
}

Image::~Image() {
  if (gEffectSuite) gEffectSuite->clipReleaseImage(_imageProps.propSetHandle());
}

std::string Image::getUniqueIdentifier() const {
  return _imageProps.propGetString(kOfxImagePropUniqueIdentifier, false);
}

void* Image::getPixelAddress(int x, int y) const {
  if (!_pixelData || x < _bounds.x1 || x >= _bounds.x2 || y < _bounds.y1 || y >= _bounds.y2) return nullptr;
  const std::ptrdiff_t pixelBytes = std::ptrdiff_t(_pixelComponentCount) * bytesPerComponent(_pixelDepth);
  char* base = static_cast<char*>(_pixelData);
  return base + std::ptrdiff_t(y - _bounds.y1) * _rowBytes + std::ptrdiff_t(x - _bounds.x1) * pixelBytes;
}

// ----------------------------------------------------------------------- clip

Clip::Clip(ImageEffect* /*effect*/, const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props)
    : _clipName(name), _clipHandle(handle), _clipProps(props) {}

BitDepthEnum Clip::getPixelDepth() const {
  return mapBitDepthStringToEnum(_clipProps.propGetString(kOfxImageEffectPropPixelDepth, false));
}
PixelComponentEnum Clip::getPixelComponents() const {
  return mapPixelComponentStringToEnum(_clipProps.propGetString(kOfxImageEffectPropComponents, false));
}
int Clip::getPixelComponentCount() const { return componentCount(getPixelComponents()); }
BitDepthEnum Clip::getUnmappedPixelDepth() const {
  return mapBitDepthStringToEnum(_clipProps.propGetString(kOfxImageClipPropUnmappedPixelDepth, false));
}
PixelComponentEnum Clip::getUnmappedPixelComponents() const {
  return mapPixelComponentStringToEnum(_clipProps.propGetString(kOfxImageClipPropUnmappedComponents, false));
}
PreMultiplicationEnum Clip::getPreMultiplication() const {
  return mapPreMultiplicationStringToEnum(_clipProps.propGetString(kOfxImageEffectPropPreMultiplication, false));
}
double Clip::getPixelAspectRatio() const {
  double par = _clipProps.propGetDouble(kOfxImagePropPixelAspectRatio, false);
  return par > 0 ? par : 1.0;
}
double Clip::getFrameRate() const { return _clipProps.propGetDouble(kOfxImageEffectPropFrameRate, false); }
OfxRangeD Clip::getFrameRange() const {
  OfxRangeD r{0, 0};
  _clipProps.propGetDoubleN(kOfxImageEffectPropFrameRange, &r.min, 2, false);
  return r;
}
bool Clip::isConnected() const { return _clipProps.propGetInt(kOfxImageClipPropConnected, false) != 0; }
bool Clip::hasContinuousSamples() const {
  return _clipProps.propGetInt(kOfxImageClipPropContinuousSamples, false) != 0;
}

OfxRectD Clip::getRegionOfDefinition(double t) const {
  OfxRectD r{0, 0, 0, 0};
  throwSuiteStatusException(effectSuite().clipGetRegionOfDefinition(_clipHandle, t, &r));
  return r;
}

namespace {
Image* wrapImage(OfxStatus stat, OfxPropertySetHandle imageProps) {
  // kOfxStatFailed is the host's way of saying there is no image then.
  if (stat == kOfxStatFailed || (stat == kOfxStatOK && !imageProps)) return nullptr;
  throwSuiteStatusException(stat);
  try {
    return new Image(imageProps);
  } catch (const std::bad_alloc&) {
    gEffectSuite->clipReleaseImage(imageProps);
    throw;
  }
}
}  // namespace

Image* Clip::fetchImage(double t) {
  OfxPropertySetHandle imageProps = nullptr;
  OfxStatus stat = effectSuite().clipGetImage(_clipHandle, t, nullptr, &imageProps);
  return wrapImage(stat, imageProps);
}

Image* Clip::fetchImage(double t, const OfxRectD& bounds) {
  OfxPropertySetHandle imageProps = nullptr;
  OfxStatus stat = effectSuite().clipGetImage(_clipHandle, t, &bounds, &imageProps);
  return wrapImage(stat, imageProps);
}

// -------------------------------------------------------- clip preferences

void ClipPreferencesSetter::setClipComponents(Clip& clip, PixelComponentEnum comps) {
  _outArgs.propSetString(("OfxImageClipPropComponents_" + clip.name()).c_str(), mapPixelComponentEnumToStr(comps));
  _changed = true;
}
void ClipPreferencesSetter::setClipBitDepth(Clip& clip, BitDepthEnum depth) {
  _outArgs.propSetString(("OfxImageClipPropDepth_" + clip.name()).c_str(), mapBitDepthEnumToStr(depth));
  _changed = true;
}
void ClipPreferencesSetter::setPixelAspectRatio(Clip& clip, double par) {
  _outArgs.propSetDouble(("OfxImageClipPropPAR_" + clip.name()).c_str(), par);
  _changed = true;
}
void ClipPreferencesSetter::setOutputFrameVarying(bool v) {
  _outArgs.propSetInt(kOfxImageEffectFrameVarying, v ? 1 : 0);
  _changed = true;
}
void ClipPreferencesSetter::setOutputPremultiplication(PreMultiplicationEnum v) {
  const char* s = v == eImagePreMultiplied     ? kOfxImagePreMultiplied
                  : v == eImageUnPreMultiplied ? kOfxImageUnPreMultiplied
                                               : kOfxImageOpaque;
  _outArgs.propSetString(kOfxImageEffectPropPreMultiplication, s);
  _changed = true;
}

// ------------------------------------------------------------------- instance

ImageEffect::ImageEffect(OfxImageEffectHandle handle) : _effectHandle(handle), _context(eContextNone) {
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(effectSuite().getPropertySet(handle, &props));
  _effectProps.propSetHandle(props);
  _context = mapContextStringToEnum(_effectProps.propGetString(kOfxImageEffectPropContext, false));
  OfxParamSetHandle paramSet = nullptr;
  throwSuiteStatusException(effectSuite().getParamSet(handle, &paramSet));
  setParamSetHandle(paramSet);
  // Actions that the host sends while the derived constructor runs find the
  // instance; the dispatcher clears this again if construction fails.
  _effectProps.propSetPointer(kOfxPropInstanceData, this);
}

ImageEffect::~ImageEffect() = default;

bool ImageEffect::isInteractive() const { return _effectProps.propGetInt(kOfxPropIsInteractive, false) != 0; }
OfxPointD ImageEffect::getProjectSize() const {
  OfxPointD v{0, 0};
  _effectProps.propGetDoubleN(kOfxImageEffectPropProjectSize, &v.x, 2, false);
  return v;
}
OfxPointD ImageEffect::getProjectOffset() const {
  OfxPointD v{0, 0};
  _effectProps.propGetDoubleN(kOfxImageEffectPropProjectOffset, &v.x, 2, false);
  return v;
}
OfxPointD ImageEffect::getProjectExtent() const {
  OfxPointD v{0, 0};
  _effectProps.propGetDoubleN(kOfxImageEffectPropProjectExtent, &v.x, 2, false);
  return v;
}
double ImageEffect::getProjectPixelAspectRatio() const {
  return _effectProps.propGetDouble(kOfxImageEffectPropProjectPixelAspectRatio, false);
}
double ImageEffect::getFrameRate() const { return _effectProps.propGetDouble(kOfxImageEffectPropFrameRate, false); }

bool ImageEffect::abort() const { return gEffectSuite && gEffectSuite->abort && gEffectSuite->abort(_effectHandle) != 0; }

Clip* ImageEffect::fetchClip(const std::string& name) {
  std::lock_guard<std::mutex> lock(_clipMutex);
  auto it = _fetchedClips.find(name);
  if (it != _fetchedClips.end()) return it->second.get();
  OfxImageClipHandle h = nullptr;
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(effectSuite().clipGetHandle(_effectHandle, name.c_str(), &h, &props));
  Clip* c = new Clip(this, name, h, props);
  _fetchedClips[name].reset(c);
  return c;
}

namespace {
Message::MessageReplyEnum mapReply(OfxStatus stat) {
  switch (stat) {
    case kOfxStatOK: return Message::eMessageReplyOK;
    case kOfxStatReplyYes: return Message::eMessageReplyYes;
    case kOfxStatReplyNo: return Message::eMessageReplyNo;
    default: return Message::eMessageReplyFailed;
  }
}

// The text itself is the format, every '%' doubled, with no arguments: some
// hosts (Natron 2.5) pass the argument list on wrongly, so a "%s" format
// would show garbage or nothing there, while a format without conversions
// reads the same in every host.
std::string asFormat(const std::string& text) {
  std::string format;
  format.reserve(text.size());
  for (char c : text) {
    format += c;
    if (c == '%') format += '%';
  }
  return format;
}
}  // namespace

Message::MessageReplyEnum ImageEffect::sendMessage(Message::MessageTypeEnum type, const std::string& id,
                                                   const std::string& msg, bool throwIfMissing) {
  if (!gMessageSuiteV1 || !gMessageSuiteV1->message) {
    if (throwIfMissing) throwHostMissingSuiteException(kOfxMessageSuite);
    return Message::eMessageReplyFailed;
  }
  return mapReply(gMessageSuiteV1->message(static_cast<void*>(_effectHandle), mapMessageTypeEnumToStr(type),
                                           id.c_str(), asFormat(msg).c_str()));
}

Message::MessageReplyEnum ImageEffect::setPersistentMessage(Message::MessageTypeEnum type, const std::string& id,
                                                            const std::string& msg, bool throwIfMissing) {
  if (gMessageSuiteV2 && gMessageSuiteV2->setPersistentMessage)
    return mapReply(gMessageSuiteV2->setPersistentMessage(static_cast<void*>(_effectHandle),
                                                          mapMessageTypeEnumToStr(type), id.c_str(),
                                                          asFormat(msg).c_str()));
  // A host without persistent messages still shows the text once.
  return sendMessage(type, id, msg, throwIfMissing);
}

Message::MessageReplyEnum ImageEffect::clearPersistentMessage(bool throwIfMissing) {
  if (!gMessageSuiteV2 || !gMessageSuiteV2->clearPersistentMessage) {
    if (throwIfMissing) throwHostMissingSuiteException(kOfxMessageSuite);
    return Message::eMessageReplyFailed;
  }
  return mapReply(gMessageSuiteV2->clearPersistentMessage(static_cast<void*>(_effectHandle)));
}

// Default actions: do nothing, or tell the dispatcher to answer "default".
void ImageEffect::purgeCaches() {}
void ImageEffect::syncPrivateData() {}
void ImageEffect::render(const RenderArguments&) {}
void ImageEffect::beginSequenceRender(const BeginSequenceRenderArguments&) {}
void ImageEffect::endSequenceRender(const EndSequenceRenderArguments&) {}
bool ImageEffect::isIdentity(const IsIdentityArguments&, Clip*&, double&) { return false; }
bool ImageEffect::isIdentity(const IsIdentityArguments& args, Clip*& identityClip, double& identityTime, int&,
                             std::string&) {
  return isIdentity(args, identityClip, identityTime);
}
bool ImageEffect::getRegionOfDefinition(const RegionOfDefinitionArguments&, OfxRectD&) { return false; }
void ImageEffect::getRegionsOfInterest(const RegionsOfInterestArguments&, RegionOfInterestSetter&) {}
void ImageEffect::getFramesNeeded(const FramesNeededArguments&, FramesNeededSetter&) {}
void ImageEffect::getClipPreferences(ClipPreferencesSetter&) {}
void ImageEffect::beginEdit() {}
void ImageEffect::endEdit() {}
void ImageEffect::beginChanged(InstanceChangeReason) {}
void ImageEffect::changedParam(const InstanceChangedArgs&, const std::string&) {}
void ImageEffect::changedClip(const InstanceChangedArgs&, const std::string&) {}
void ImageEffect::endChanged(InstanceChangeReason) {}
OfxStatus ImageEffect::getClipComponents(const ClipComponentsArguments&, ClipComponentsSetter&) {
  return kOfxStatReplyDefault;
}
void ImageEffect::getFrameViewsNeeded(const FrameViewsNeededArguments&, FrameViewsNeededSetter&) {}
bool ImageEffect::getTransform(const TransformArguments&, Clip*&, double[9]) { return false; }
bool ImageEffect::getInverseDistortion(const TransformArguments&, Clip*&, double[9]) { return false; }
void ImageEffect::interpolateCustomParam(const InterpolateCustomArgs& args, std::string& value) {
  value = args.value1;
}
bool ImageEffect::getTimeDomain(OfxRangeD&) { return false; }

}  // namespace OFX
