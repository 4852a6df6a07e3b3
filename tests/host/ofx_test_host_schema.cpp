// Which properties each object of the host has, with type, dimension and
// the standard's default: the standard's property sets for each object,
// limited to the names the project's OpenFX headers know. The conformance
// tests hold this table against the standard's own listing.
#include <cfloat>
#include <climits>
#include <string>

#include "tests/host/ofx_test_host.h"
#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {

namespace {

using T = PropertySet::Type;
using Defs = std::vector<PropertyDef>;

void append(Defs& out, const Defs& more) { out.insert(out.end(), more.begin(), more.end()); }

const Defs kHost = {
    {kOfxPropAPIVersion, T::Int, 0, ""},
    {kOfxPropType, T::String, 1, kOfxTypeImageEffectHost},
    {kOfxPropName, T::String, 1, ""},
    {kOfxPropLabel, T::String, 1, ""},
    {kOfxPropVersion, T::Int, 0, ""},
    {kOfxPropVersionLabel, T::String, 1, ""},
    {kOfxImageEffectHostPropIsBackground, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportsOverlays, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportsMultiResolution, T::Int, 1, "1"},
    {kOfxImageEffectPropSupportsTiles, T::Int, 1, "1"},
    {kOfxImageEffectPropTemporalClipAccess, T::Int, 1, "1"},
    {kOfxImageEffectPropSupportedComponents, T::String, 0, ""},
    {kOfxImageEffectPropSupportedContexts, T::String, 0, ""},
    // Missing from the standard's host listing, but its own definition names
    // hosts, and hosts state it.
    {kOfxImageEffectPropSupportedPixelDepths, T::String, 0, ""},
    {kOfxImageEffectPropSupportsMultipleClipDepths, T::Int, 1, "1"},
    {kOfxImageEffectPropSupportsMultipleClipPARs, T::Int, 1, "0"},
    {kOfxImageEffectPropSetableFrameRate, T::Int, 1, "0"},
    {kOfxImageEffectPropSetableFielding, T::Int, 1, "0"},
    {kOfxParamHostPropSupportsCustomInteract, T::Int, 1, "0"},
    {kOfxParamHostPropSupportsStringAnimation, T::Int, 1, "0"},
    {kOfxParamHostPropSupportsChoiceAnimation, T::Int, 1, "1"},
    {kOfxParamHostPropSupportsBooleanAnimation, T::Int, 1, "1"},
    {kOfxParamHostPropSupportsCustomAnimation, T::Int, 1, "0"},
    {kOfxParamHostPropMaxParameters, T::Int, 1, "-1"},
    {kOfxParamHostPropMaxPages, T::Int, 1, "0"},
    {kOfxParamHostPropPageRowColumnCount, T::Int, 2, "0"},
};

const Defs kEffectDescriptor = {
    {kOfxPropType, T::String, 1, kOfxTypeImageEffect},
    {kOfxPropLabel, T::String, 1, ""},
    {kOfxPropShortLabel, T::String, 1, ""},
    {kOfxPropLongLabel, T::String, 1, ""},
    {kOfxPropVersion, T::Int, 0, ""},
    {kOfxPropVersionLabel, T::String, 1, ""},
    {kOfxPropPluginDescription, T::String, 1, ""},
    {kOfxImageEffectPropSupportedContexts, T::String, 0, ""},
    {kOfxImageEffectPluginPropGrouping, T::String, 1, ""},
    {kOfxImageEffectPluginPropSingleInstance, T::Int, 1, "0"},
    {kOfxImageEffectPluginRenderThreadSafety, T::String, 1, kOfxImageEffectRenderInstanceSafe},
    {kOfxImageEffectPluginPropHostFrameThreading, T::Int, 1, "1"},
    {kOfxImageEffectPluginPropOverlayInteractV1, T::Pointer, 1, ""},
    {kOfxImageEffectPropSupportsMultiResolution, T::Int, 1, "1"},
    {kOfxImageEffectPropSupportsTiles, T::Int, 1, "1"},
    {kOfxImageEffectPropTemporalClipAccess, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportedPixelDepths, T::String, 0, ""},
    {kOfxImageEffectPluginPropFieldRenderTwiceAlways, T::Int, 1, "1"},
    {kOfxImageEffectPropSupportsMultipleClipDepths, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportsMultipleClipPARs, T::Int, 1, "0"},
    {kOfxImageEffectPropClipPreferencesSlaveParam, T::String, 0, ""},
    {kOfxPluginPropFilePath, T::String, 1, ""},
};

const Defs kEffectInstance = {
    {kOfxPropType, T::String, 1, kOfxTypeImageEffectInstance},
    {kOfxImageEffectPropContext, T::String, 1, ""},
    {kOfxPropInstanceData, T::Pointer, 1, ""},
    {kOfxImageEffectPropProjectSize, T::Double, 2, "0"},
    {kOfxImageEffectPropProjectOffset, T::Double, 2, "0"},
    {kOfxImageEffectPropProjectExtent, T::Double, 2, "0"},
    {kOfxImageEffectPropProjectPixelAspectRatio, T::Double, 1, "1"},
    {kOfxImageEffectInstancePropEffectDuration, T::Double, 1, "0"},
    {kOfxImageEffectInstancePropSequentialRender, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportsTiles, T::Int, 1, "1"},
    {kOfxImageEffectPropFrameRate, T::Double, 1, "24"},
    {kOfxPropIsInteractive, T::Int, 1, "1"},
};

const Defs kClipDescriptor = {
    {kOfxPropType, T::String, 1, kOfxTypeClip},
    {kOfxPropName, T::String, 1, ""},
    {kOfxPropLabel, T::String, 1, ""},
    {kOfxPropShortLabel, T::String, 1, ""},
    {kOfxPropLongLabel, T::String, 1, ""},
    {kOfxImageEffectPropSupportedComponents, T::String, 0, ""},
    {kOfxImageEffectPropTemporalClipAccess, T::Int, 1, "0"},
    {kOfxImageClipPropOptional, T::Int, 1, "0"},
    {kOfxImageClipPropFieldExtraction, T::String, 1, kOfxImageFieldDoubled},
    {kOfxImageClipPropIsMask, T::Int, 1, "0"},
    {kOfxImageEffectPropSupportsTiles, T::Int, 1, "1"},
};

const Defs kClipInstanceOnly = {
    {kOfxImageEffectPropPixelDepth, T::String, 1, kOfxBitDepthFloat},
    {kOfxImageEffectPropComponents, T::String, 1, kOfxImageComponentRGBA},
    {kOfxImageClipPropUnmappedPixelDepth, T::String, 1, kOfxBitDepthFloat},
    {kOfxImageClipPropUnmappedComponents, T::String, 1, kOfxImageComponentRGBA},
    {kOfxImageEffectPropPreMultiplication, T::String, 1, kOfxImagePreMultiplied},
    {kOfxImagePropPixelAspectRatio, T::Double, 1, "1"},
    {kOfxImageEffectPropFrameRate, T::Double, 1, "24"},
    {kOfxImageEffectPropFrameRange, T::Double, 2, "0"},
    {kOfxImageClipPropFieldOrder, T::String, 1, kOfxImageFieldNone},
    {kOfxImageClipPropConnected, T::Int, 1, "1"},
    {kOfxImageEffectPropUnmappedFrameRange, T::Double, 2, "0"},
    {kOfxImageEffectPropUnmappedFrameRate, T::Double, 1, "24"},
    {kOfxImageClipPropContinuousSamples, T::Int, 1, "0"},
};

const Defs kImage = {
    {kOfxPropType, T::String, 1, kOfxTypeImage},
    {kOfxImageEffectPropPixelDepth, T::String, 1, kOfxBitDepthFloat},
    {kOfxImageEffectPropComponents, T::String, 1, kOfxImageComponentRGBA},
    {kOfxImageEffectPropPreMultiplication, T::String, 1, kOfxImagePreMultiplied},
    {kOfxImageEffectPropRenderScale, T::Double, 2, "1"},
    {kOfxImagePropPixelAspectRatio, T::Double, 1, "1"},
    {kOfxImagePropData, T::Pointer, 1, ""},
    {kOfxImagePropBounds, T::Int, 4, "0"},
    {kOfxImagePropRegionOfDefinition, T::Int, 4, "0"},
    {kOfxImagePropRowBytes, T::Int, 1, "0"},
    {kOfxImagePropField, T::String, 1, kOfxImageFieldNone},
    {kOfxImagePropUniqueIdentifier, T::String, 1, ""},
};

const Defs kParamSet = {
    {kOfxPropParamSetNeedsSyncing, T::Int, 1, "0"},
};

// Parameters: what every kind has, then what its values bring.
const Defs kParamCommon = {
    {kOfxPropType, T::String, 1, kOfxTypeParameter},
    {kOfxPropName, T::String, 1, ""},
    {kOfxPropLabel, T::String, 1, ""},
    {kOfxPropShortLabel, T::String, 1, ""},
    {kOfxPropLongLabel, T::String, 1, ""},
    {kOfxParamPropType, T::String, 1, ""},
    {kOfxParamPropSecret, T::Int, 1, "0"},
    {kOfxParamPropHint, T::String, 1, ""},
    {kOfxParamPropScriptName, T::String, 1, ""},
    {kOfxParamPropParent, T::String, 1, ""},
    {kOfxParamPropEnabled, T::Int, 1, "1"},
    {kOfxParamPropDataPtr, T::Pointer, 1, ""},
    {kOfxPropIcon, T::String, 2, ""},
};

struct ValueKind {
  const char* type;
  T value;
  int dimension;
  bool numeric;  // has a range
};

const ValueKind kValueKinds[] = {
    {kOfxParamTypeInteger, T::Int, 1, true},      {kOfxParamTypeDouble, T::Double, 1, true},
    {kOfxParamTypeBoolean, T::Int, 1, false},     {kOfxParamTypeChoice, T::Int, 1, false},
    {kOfxParamTypeRGBA, T::Double, 4, true},      {kOfxParamTypeRGB, T::Double, 3, true},
    {kOfxParamTypeDouble2D, T::Double, 2, true},  {kOfxParamTypeInteger2D, T::Int, 2, true},
    {kOfxParamTypeDouble3D, T::Double, 3, true},  {kOfxParamTypeInteger3D, T::Int, 3, true},
    {kOfxParamTypeString, T::String, 1, false},   {kOfxParamTypeCustom, T::String, 1, false},
};

Defs paramSchema(const std::string& type) {
  Defs out = kParamCommon;
  if (type == kOfxParamTypePage) {
    out.push_back({kOfxParamPropPageChild, T::String, 0, ""});
    return out;
  }
  if (type == kOfxParamTypeGroup) {
    out.push_back({kOfxParamPropGroupOpen, T::Int, 1, "1"});
    return out;
  }
  out.push_back({kOfxParamPropInteractV1, T::Pointer, 1, ""});
  for (const ValueKind& k : kValueKinds) {
    if (type != k.type) continue;
    const bool isDouble = k.value == T::Double;
    append(out, {
        {kOfxParamPropDefault, k.value, k.dimension, isDouble || k.value == T::Int ? "0" : ""},
        {kOfxParamPropAnimates, T::Int, 1, "1"},
        {kOfxParamPropIsAnimating, T::Int, 1, "0"},
        {kOfxParamPropIsAutoKeying, T::Int, 1, "0"},
        {kOfxParamPropPersistant, T::Int, 1, "1"},
        {kOfxParamPropEvaluateOnChange, T::Int, 1, "1"},
        {kOfxParamPropPluginMayWrite, T::Int, 1, "0"},
        {kOfxParamPropCacheInvalidation, T::String, 1, kOfxParamInvalidateValueChange},
        {kOfxParamPropCanUndo, T::Int, 1, "1"},
    });
    if (k.numeric) {
      const std::string lo = isDouble ? std::to_string(-DBL_MAX) : std::to_string(INT_MIN);
      const std::string hi = isDouble ? std::to_string(DBL_MAX) : std::to_string(INT_MAX);
      append(out, {{kOfxParamPropMin, k.value, k.dimension, lo},
                   {kOfxParamPropMax, k.value, k.dimension, hi},
                   {kOfxParamPropDisplayMin, k.value, k.dimension, lo},
                   {kOfxParamPropDisplayMax, k.value, k.dimension, hi}});
    }
    if (isDouble) {
      append(out, {{kOfxParamPropIncrement, T::Double, 1, "1"}, {kOfxParamPropDigits, T::Int, 1, "2"}});
      if (k.type != std::string(kOfxParamTypeRGB) && k.type != std::string(kOfxParamTypeRGBA))
        out.push_back({kOfxParamPropDoubleType, T::String, 1, kOfxParamDoubleTypePlain});
      if (k.dimension == 1) out.push_back({kOfxParamPropShowTimeMarker, T::Int, 1, "0"});
    }
    if (type == kOfxParamTypeChoice) out.push_back({kOfxParamPropChoiceOption, T::String, 0, ""});
    if (type == kOfxParamTypeString) out.push_back({kOfxParamPropStringMode, T::String, 1, "OfxParamStringIsSingleLine"});
  }
  return out;
}

}  // namespace

std::vector<PropertyDef> propertySchema(ObjectKind kind, const std::string& paramType) {
  switch (kind) {
    case ObjectKind::Host: return kHost;
    case ObjectKind::EffectDescriptor: return kEffectDescriptor;
    case ObjectKind::EffectInstance: return kEffectInstance;
    case ObjectKind::ClipDescriptor: return kClipDescriptor;
    case ObjectKind::ClipInstance: {
      Defs out = kClipDescriptor;
      append(out, kClipInstanceOnly);
      return out;
    }
    case ObjectKind::Image: return kImage;
    case ObjectKind::ParamSet: return kParamSet;
    case ObjectKind::ParamDescriptor: return paramSchema(paramType);
  }
  return {};
}

namespace internal {

void declareObject(PropertySet& props, ObjectKind kind, const std::string& paramType) {
  for (const PropertyDef& d : propertySchema(kind, paramType)) props.declare(d.name, d.type, d.dimension, d.value);
}

bool knownParamType(const std::string& t) {
  if (t == kOfxParamTypeGroup || t == kOfxParamTypePage || t == kOfxParamTypePushButton) return true;
  for (const ValueKind& k : kValueKinds)
    if (t == k.type) return true;
  return false;
}

}  // namespace internal
}  // namespace ofxtest
