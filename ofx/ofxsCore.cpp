// Property access, status mapping, enum/string mapping and the host
// description.
#include <cstring>
#include <new>

#include "ofx/ofxsImageEffect.h"

namespace OFX {

namespace Private {
OfxHost* gHost = nullptr;
const OfxImageEffectSuiteV1* gEffectSuite = nullptr;
const OfxPropertySuiteV1* gPropSuite = nullptr;
const OfxParameterSuiteV1* gParamSuite = nullptr;
const OfxMemorySuiteV1* gMemorySuite = nullptr;
const OfxMultiThreadSuiteV1* gThreadSuite = nullptr;
const OfxMessageSuiteV1* gMessageSuiteV1 = nullptr;
const OfxMessageSuiteV2* gMessageSuiteV2 = nullptr;
}  // namespace Private

using namespace Private;

void throwSuiteStatusException(OfxStatus stat) {
  switch (stat) {
    case kOfxStatOK:
    case kOfxStatReplyYes:
    case kOfxStatReplyNo:
    case kOfxStatReplyDefault:
      return;
    case kOfxStatErrMemory:
      throw std::bad_alloc();
    default:
      throw Exception::Suite(stat);
  }
}

void throwHostMissingSuiteException(const std::string& name) {
  throw Exception::HostInadequate("the host does not offer the suite " + name);
}

namespace {
const OfxPropertySuiteV1& props() {
  if (!gPropSuite) throwHostMissingSuiteException(kOfxPropertySuite);
  return *gPropSuite;
}

void checkProperty(OfxStatus stat, const char* property, bool throwOnFailure) {
  if (stat == kOfxStatOK || !throwOnFailure) return;
  if (stat == kOfxStatErrUnknown) throw Exception::PropertyUnknownToHost(property);
  if (stat == kOfxStatErrValue) throw Exception::PropertyValueIllegalToHost(property);
  throwSuiteStatusException(stat);
}
}  // namespace

int PropertySet::propGetDimension(const char* property, bool throwOnFailure) const {
  int n = 0;
  OfxStatus stat = props().propGetDimension(_propHandle, property, &n);
  checkProperty(stat, property, throwOnFailure);
  return stat == kOfxStatOK ? n : 0;
}

void PropertySet::propReset(const char* property) {
  checkProperty(props().propReset(_propHandle, property), property, true);
}

void PropertySet::propSetPointer(const char* property, void* value, int idx, bool throwOnFailure) {
  checkProperty(props().propSetPointer(_propHandle, property, idx, value), property, throwOnFailure);
}
void PropertySet::propSetString(const char* property, const std::string& value, int idx, bool throwOnFailure) {
  checkProperty(props().propSetString(_propHandle, property, idx, value.c_str()), property, throwOnFailure);
}
void PropertySet::propSetDouble(const char* property, double value, int idx, bool throwOnFailure) {
  checkProperty(props().propSetDouble(_propHandle, property, idx, value), property, throwOnFailure);
}
void PropertySet::propSetInt(const char* property, int value, int idx, bool throwOnFailure) {
  checkProperty(props().propSetInt(_propHandle, property, idx, value), property, throwOnFailure);
}
void PropertySet::propSetDoubleN(const char* property, const double* values, int count, bool throwOnFailure) {
  checkProperty(props().propSetDoubleN(_propHandle, property, count, values), property, throwOnFailure);
}
void PropertySet::propSetIntN(const char* property, const int* values, int count, bool throwOnFailure) {
  checkProperty(props().propSetIntN(_propHandle, property, count, values), property, throwOnFailure);
}

void* PropertySet::propGetPointer(const char* property, int idx, bool throwOnFailure) const {
  void* v = nullptr;
  OfxStatus stat = props().propGetPointer(_propHandle, property, idx, &v);
  checkProperty(stat, property, throwOnFailure);
  return stat == kOfxStatOK ? v : nullptr;
}
std::string PropertySet::propGetString(const char* property, int idx, bool throwOnFailure) const {
  char* v = nullptr;
  OfxStatus stat = props().propGetString(_propHandle, property, idx, &v);
  checkProperty(stat, property, throwOnFailure);
  return (stat == kOfxStatOK && v) ? std::string(v) : std::string();
}
double PropertySet::propGetDouble(const char* property, int idx, bool throwOnFailure) const {
  double v = 0;
  OfxStatus stat = props().propGetDouble(_propHandle, property, idx, &v);
  checkProperty(stat, property, throwOnFailure);
  return stat == kOfxStatOK ? v : 0.0;
}
int PropertySet::propGetInt(const char* property, int idx, bool throwOnFailure) const {
  int v = 0;
  OfxStatus stat = props().propGetInt(_propHandle, property, idx, &v);
  checkProperty(stat, property, throwOnFailure);
  return stat == kOfxStatOK ? v : 0;
}
void PropertySet::propGetDoubleN(const char* property, double* values, int count, bool throwOnFailure) const {
  OfxStatus stat = props().propGetDoubleN(_propHandle, property, count, values);
  checkProperty(stat, property, throwOnFailure);
  if (stat != kOfxStatOK) std::fill(values, values + count, 0.0);
}
void PropertySet::propGetIntN(const char* property, int* values, int count, bool throwOnFailure) const {
  OfxStatus stat = props().propGetIntN(_propHandle, property, count, values);
  checkProperty(stat, property, throwOnFailure);
  if (stat != kOfxStatOK) std::fill(values, values + count, 0);
}

// ------------------------------------------------------------- host description

namespace {
ImageEffectHostDescription& hostDescription() {
  static ImageEffectHostDescription d;
  return d;
}
}  // namespace

ImageEffectHostDescription* getImageEffectHostDescription() { return &hostDescription(); }

bool ImageEffectHostDescription::supportsContext(ContextEnum c) const {
  for (ContextEnum x : supportedContexts)
    if (x == c) return true;
  return false;
}
bool ImageEffectHostDescription::supportsBitDepth(BitDepthEnum d) const {
  for (BitDepthEnum x : supportedPixelDepths)
    if (x == d) return true;
  return false;
}
bool ImageEffectHostDescription::supportsPixelComponent(PixelComponentEnum c) const {
  for (PixelComponentEnum x : supportedComponents)
    if (x == c) return true;
  return false;
}

namespace Private {
// Reads what the host says about itself. Every property is optional: a host
// that leaves one out gets the conservative default.
void fillHostDescription(OfxPropertySetHandle hostProps) {
  ImageEffectHostDescription d;
  PropertySet p(hostProps);
  d.hostName = p.propGetString(kOfxPropName, false);
  d.hostLabel = p.propGetString(kOfxPropLabel, false);
  if (p.propGetDimension(kOfxPropAPIVersion, false) >= 2) {
    d.APIVersionMajor = p.propGetInt(kOfxPropAPIVersion, 0, false);
    d.APIVersionMinor = p.propGetInt(kOfxPropAPIVersion, 1, false);
  }
  d.hostIsBackground = p.propGetInt(kOfxImageEffectHostPropIsBackground, false) != 0;
  d.supportsOverlays = p.propGetInt(kOfxImageEffectPropSupportsOverlays, false) != 0;
  d.supportsMultiResolution = p.propGetInt(kOfxImageEffectPropSupportsMultiResolution, false) != 0;
  d.supportsTiles = p.propGetInt(kOfxImageEffectPropSupportsTiles, false) != 0;
  d.temporalClipAccess = p.propGetInt(kOfxImageEffectPropTemporalClipAccess, false) != 0;
  d.supportsMultipleClipDepths = p.propGetInt(kOfxImageEffectPropSupportsMultipleClipDepths, false) != 0;
  d.supportsMultipleClipPARs = p.propGetInt(kOfxImageEffectPropSupportsMultipleClipPARs, false) != 0;
  d.supportsSetableFrameRate = p.propGetInt(kOfxImageEffectPropSetableFrameRate, false) != 0;
  d.supportsSetableFielding = p.propGetInt(kOfxImageEffectPropSetableFielding, false) != 0;
  d.supportsStringAnimation = p.propGetInt(kOfxParamHostPropSupportsStringAnimation, false) != 0;
  d.supportsCustomInteract = p.propGetInt(kOfxParamHostPropSupportsCustomInteract, false) != 0;
  d.supportsChoiceAnimation = p.propGetInt(kOfxParamHostPropSupportsChoiceAnimation, false) != 0;
  d.supportsBooleanAnimation = p.propGetInt(kOfxParamHostPropSupportsBooleanAnimation, false) != 0;
  d.supportsCustomAnimation = p.propGetInt(kOfxParamHostPropSupportsCustomAnimation, false) != 0;
  d.supportsParametricAnimation = p.propGetInt(kOfxParamHostPropSupportsParametricAnimation, false) != 0;
  d.maxParameters = p.propGetInt(kOfxParamHostPropMaxParameters, false);
  d.maxPages = p.propGetInt(kOfxParamHostPropMaxPages, false);
  d.pageRowCount = p.propGetInt(kOfxParamHostPropPageRowColumnCount, 0, false);
  d.pageColumnCount = p.propGetInt(kOfxParamHostPropPageRowColumnCount, 1, false);
  d.isNatron = p.propGetInt(kNatronOfxHostIsNatron, false) != 0;
  d.supportsMessageSuiteV2 = gMessageSuiteV2 != nullptr;
  int n = p.propGetDimension(kOfxImageEffectPropSupportedContexts, false);
  for (int i = 0; i < n; ++i)
    d.supportedContexts.push_back(
        mapContextStringToEnum(p.propGetString(kOfxImageEffectPropSupportedContexts, i, false)));
  n = p.propGetDimension(kOfxImageEffectPropSupportedPixelDepths, false);
  for (int i = 0; i < n; ++i)
    d.supportedPixelDepths.push_back(
        mapBitDepthStringToEnum(p.propGetString(kOfxImageEffectPropSupportedPixelDepths, i, false)));
  n = p.propGetDimension(kOfxImageEffectPropSupportedComponents, false);
  for (int i = 0; i < n; ++i)
    d.supportedComponents.push_back(
        mapPixelComponentStringToEnum(p.propGetString(kOfxImageEffectPropSupportedComponents, i, false)));
  hostDescription() = d;
}
}  // namespace Private

// -------------------------------------------------------------------- mappings

const char* mapContextEnumToStr(ContextEnum c) {
  switch (c) {
    case eContextGenerator: return kOfxImageEffectContextGenerator;
    case eContextFilter: return kOfxImageEffectContextFilter;
    case eContextTransition: return kOfxImageEffectContextTransition;
    case eContextPaint: return kOfxImageEffectContextPaint;
    case eContextGeneral: return kOfxImageEffectContextGeneral;
    case eContextRetimer: return kOfxImageEffectContextRetimer;
    default: return "";
  }
}

ContextEnum mapContextStringToEnum(const std::string& s) {
  if (s == kOfxImageEffectContextGenerator) return eContextGenerator;
  if (s == kOfxImageEffectContextFilter) return eContextFilter;
  if (s == kOfxImageEffectContextTransition) return eContextTransition;
  if (s == kOfxImageEffectContextPaint) return eContextPaint;
  if (s == kOfxImageEffectContextGeneral) return eContextGeneral;
  if (s == kOfxImageEffectContextRetimer) return eContextRetimer;
  return eContextNone;
}

const char* mapBitDepthEnumToStr(BitDepthEnum d) {
  switch (d) {
    case eBitDepthUByte: return kOfxBitDepthByte;
    case eBitDepthUShort: return kOfxBitDepthShort;
    case eBitDepthHalf: return kOfxBitDepthHalf;
    case eBitDepthFloat: return kOfxBitDepthFloat;
    default: return kOfxBitDepthNone;
  }
}

BitDepthEnum mapBitDepthStringToEnum(const std::string& s) {
  if (s == kOfxBitDepthByte) return eBitDepthUByte;
  if (s == kOfxBitDepthShort) return eBitDepthUShort;
  if (s == kOfxBitDepthHalf) return eBitDepthHalf;
  if (s == kOfxBitDepthFloat) return eBitDepthFloat;
  if (s.empty() || s == kOfxBitDepthNone) return eBitDepthNone;
  return eBitDepthCustom;
}

const char* mapPixelComponentEnumToStr(PixelComponentEnum c) {
  switch (c) {
    case ePixelComponentRGBA: return kOfxImageComponentRGBA;
    case ePixelComponentRGB: return kOfxImageComponentRGB;
    case ePixelComponentAlpha: return kOfxImageComponentAlpha;
    default: return kOfxImageComponentNone;
  }
}

PixelComponentEnum mapPixelComponentStringToEnum(const std::string& s) {
  if (s == kOfxImageComponentRGBA) return ePixelComponentRGBA;
  if (s == kOfxImageComponentRGB) return ePixelComponentRGB;
  if (s == kOfxImageComponentAlpha) return ePixelComponentAlpha;
  if (s.empty() || s == kOfxImageComponentNone) return ePixelComponentNone;
  return ePixelComponentCustom;
}

const char* mapMessageTypeEnumToStr(Message::MessageTypeEnum t) {
  switch (t) {
    case Message::eMessageFatal: return kOfxMessageFatal;
    case Message::eMessageError: return kOfxMessageError;
    case Message::eMessageWarning: return kOfxMessageWarning;
    case Message::eMessageLog: return kOfxMessageLog;
    case Message::eMessageQuestion: return kOfxMessageQuestion;
    case Message::eMessageMessage:
    default: return kOfxMessageMessage;
  }
}

FieldEnum mapFieldStringToEnum(const std::string& s) {
  if (s == kOfxImageFieldBoth) return eFieldBoth;
  if (s == kOfxImageFieldLower) return eFieldLower;
  if (s == kOfxImageFieldUpper) return eFieldUpper;
  if (s == kOfxImageFieldSingle) return eFieldSingle;
  if (s == kOfxImageFieldDoubled) return eFieldDoubled;
  return eFieldNone;
}

PreMultiplicationEnum mapPreMultiplicationStringToEnum(const std::string& s) {
  if (s == kOfxImagePreMultiplied) return eImagePreMultiplied;
  if (s == kOfxImageUnPreMultiplied) return eImageUnPreMultiplied;
  return eImageOpaque;
}

const char* mapParamTypeEnumToString(ParamTypeEnum t) {
  switch (t) {
    case eStringParam: return kOfxParamTypeString;
    case eIntParam: return kOfxParamTypeInteger;
    case eInt2DParam: return kOfxParamTypeInteger2D;
    case eInt3DParam: return kOfxParamTypeInteger3D;
    case eDoubleParam: return kOfxParamTypeDouble;
    case eDouble2DParam: return kOfxParamTypeDouble2D;
    case eDouble3DParam: return kOfxParamTypeDouble3D;
    case eRGBParam: return kOfxParamTypeRGB;
    case eRGBAParam: return kOfxParamTypeRGBA;
    case eBooleanParam: return kOfxParamTypeBoolean;
    case eChoiceParam: return kOfxParamTypeChoice;
    case eCustomParam: return kOfxParamTypeCustom;
    case eGroupParam: return kOfxParamTypeGroup;
    case ePageParam: return kOfxParamTypePage;
    case ePushButtonParam: return kOfxParamTypePushButton;
    default: return "";
  }
}

InstanceChangeReason mapInstanceChangedReasonStringToEnum(const std::string& s) {
  if (s == kOfxChangeUserEdited) return eChangeUserEdit;
  if (s == kOfxChangeTime) return eChangeTime;
  // Anything unknown is treated as the plug-in's own edit, which starts no
  // reaction.
  return eChangePluginEdit;
}

}  // namespace OFX
