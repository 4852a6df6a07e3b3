#ifndef KALTHORNE_OFXS_CORE_H
#define KALTHORNE_OFXS_CORE_H
// C++ support layer over the OpenFX C API: enums, exceptions, property sets
// and the host description. Everything the host hands us goes through the
// suites fetched at load; nothing here keeps state of its own per call.

#include <stdexcept>
#include <string>
#include <vector>

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxMemory.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxNatron.h"
#include "ofxParam.h"
#include "ofxProperty.h"

namespace OFX {

enum ContextEnum {
  eContextNone,
  eContextGenerator,
  eContextFilter,
  eContextTransition,
  eContextPaint,
  eContextGeneral,
  eContextRetimer,
};

enum BitDepthEnum { eBitDepthNone, eBitDepthUByte, eBitDepthUShort, eBitDepthHalf, eBitDepthFloat, eBitDepthCustom };

enum PixelComponentEnum {
  ePixelComponentNone,
  ePixelComponentRGBA,
  ePixelComponentRGB,
  ePixelComponentAlpha,
  ePixelComponentCustom,
};

namespace Private {
// Bytes of one component of a pixel of this depth; 0 for depths without a fixed size.
inline int bytesPerComponent(BitDepthEnum d) {
  switch (d) {
    case eBitDepthUByte: return 1;
    case eBitDepthUShort:
    case eBitDepthHalf: return 2;
    case eBitDepthFloat: return 4;
    default: return 0;
  }
}
}  // namespace Private

enum PreMultiplicationEnum { eImageOpaque, eImagePreMultiplied, eImageUnPreMultiplied };

enum FieldEnum { eFieldNone, eFieldBoth, eFieldLower, eFieldUpper, eFieldSingle, eFieldDoubled };

enum RenderSafetyEnum { eRenderUnsafe, eRenderInstanceSafe, eRenderFullySafe };

// Values match the order the host reports them in kOfxPropChangeReason;
// a user edit is 0.
enum InstanceChangeReason { eChangeUserEdit, eChangePluginEdit, eChangeTime };

enum ParamTypeEnum {
  eDummyParam,
  eStringParam,
  eIntParam,
  eInt2DParam,
  eInt3DParam,
  eDoubleParam,
  eDouble2DParam,
  eDouble3DParam,
  eRGBParam,
  eRGBAParam,
  eBooleanParam,
  eChoiceParam,
  eCustomParam,
  eGroupParam,
  ePageParam,
  ePushButtonParam,
};

namespace Message {
enum MessageTypeEnum { eMessageFatal, eMessageError, eMessageMessage, eMessageWarning, eMessageLog, eMessageQuestion };
enum MessageReplyEnum { eMessageReplyOK, eMessageReplyYes, eMessageReplyNo, eMessageReplyFailed };
}  // namespace Message

namespace Exception {
// A suite call failed; carries the OpenFX status the action should return.
class Suite : public std::exception {
 public:
  explicit Suite(OfxStatus s, const std::string& what = "") : status_(s), what_(what) {}
  OfxStatus status() const { return status_; }
  const char* what() const noexcept override { return what_.empty() ? "OpenFX suite error" : what_.c_str(); }

 private:
  OfxStatus status_;
  std::string what_;
};
// The host lacks a suite or a property we need.
class HostInadequate : public std::runtime_error {
 public:
  explicit HostInadequate(const std::string& s) : std::runtime_error(s) {}
};
class PropertyUnknownToHost : public std::runtime_error {
 public:
  explicit PropertyUnknownToHost(const std::string& s) : std::runtime_error(s) {}
};
class PropertyValueIllegalToHost : public std::runtime_error {
 public:
  explicit PropertyValueIllegalToHost(const std::string& s) : std::runtime_error(s) {}
};
// A parameter or clip was fetched with a kind other than its own.
class TypeRequest : public std::runtime_error {
 public:
  explicit TypeRequest(const std::string& s) : std::runtime_error(s) {}
};
}  // namespace Exception

// Throws the exception matching a failed status; returns for OK and replies.
void throwSuiteStatusException(OfxStatus stat);
void throwHostMissingSuiteException(const std::string& name);

// Thin wrapper over one host property set. Reads that fail throw when
// throwOnFailure is set, else give a zero value.
class PropertySet {
 public:
  explicit PropertySet(OfxPropertySetHandle h = nullptr) : _propHandle(h) {}
  void propSetHandle(OfxPropertySetHandle h) { _propHandle = h; }
  OfxPropertySetHandle propSetHandle() const { return _propHandle; }

  int propGetDimension(const char* property, bool throwOnFailure = true) const;
  void propReset(const char* property);

  void propSetPointer(const char* property, void* value, int idx, bool throwOnFailure = true);
  void propSetString(const char* property, const std::string& value, int idx, bool throwOnFailure = true);
  void propSetDouble(const char* property, double value, int idx, bool throwOnFailure = true);
  void propSetInt(const char* property, int value, int idx, bool throwOnFailure = true);
  void propSetPointer(const char* property, void* value, bool throwOnFailure = true) {
    propSetPointer(property, value, 0, throwOnFailure);
  }
  void propSetString(const char* property, const std::string& value, bool throwOnFailure = true) {
    propSetString(property, value, 0, throwOnFailure);
  }
  void propSetDouble(const char* property, double value, bool throwOnFailure = true) {
    propSetDouble(property, value, 0, throwOnFailure);
  }
  void propSetInt(const char* property, int value, bool throwOnFailure = true) {
    propSetInt(property, value, 0, throwOnFailure);
  }
  void propSetDoubleN(const char* property, const double* values, int count, bool throwOnFailure = true);
  void propSetIntN(const char* property, const int* values, int count, bool throwOnFailure = true);

  void* propGetPointer(const char* property, int idx, bool throwOnFailure = true) const;
  std::string propGetString(const char* property, int idx, bool throwOnFailure = true) const;
  double propGetDouble(const char* property, int idx, bool throwOnFailure = true) const;
  int propGetInt(const char* property, int idx, bool throwOnFailure = true) const;
  void* propGetPointer(const char* property, bool throwOnFailure = true) const {
    return propGetPointer(property, 0, throwOnFailure);
  }
  std::string propGetString(const char* property, bool throwOnFailure = true) const {
    return propGetString(property, 0, throwOnFailure);
  }
  double propGetDouble(const char* property, bool throwOnFailure = true) const {
    return propGetDouble(property, 0, throwOnFailure);
  }
  int propGetInt(const char* property, bool throwOnFailure = true) const {
    return propGetInt(property, 0, throwOnFailure);
  }
  void propGetDoubleN(const char* property, double* values, int count, bool throwOnFailure = true) const;
  void propGetIntN(const char* property, int* values, int count, bool throwOnFailure = true) const;

 private:
  OfxPropertySetHandle _propHandle;
};

// What the host said about itself at load.
struct ImageEffectHostDescription {
  std::string hostName;
  std::string hostLabel;
  int APIVersionMajor = 1;
  int APIVersionMinor = 0;
  bool hostIsBackground = false;
  bool supportsOverlays = false;
  bool supportsMultiResolution = false;
  bool supportsTiles = false;
  bool temporalClipAccess = false;
  bool supportsMultipleClipDepths = false;
  bool supportsMultipleClipPARs = false;
  bool supportsSetableFrameRate = false;
  bool supportsSetableFielding = false;
  bool supportsStringAnimation = false;
  bool supportsCustomInteract = false;
  bool supportsChoiceAnimation = false;
  bool supportsBooleanAnimation = false;
  bool supportsCustomAnimation = false;
  bool supportsParametricAnimation = false;
  bool supportsMessageSuiteV2 = false;
  int maxParameters = -1;
  int maxPages = 0;
  int pageRowCount = 0;
  int pageColumnCount = 0;
  // The host property "NatronOfxHostIsNatron" was present and non-zero.
  bool isNatron = false;
  std::vector<ContextEnum> supportedContexts;
  std::vector<BitDepthEnum> supportedPixelDepths;
  std::vector<PixelComponentEnum> supportedComponents;

  bool supportsContext(ContextEnum c) const;
  bool supportsBitDepth(BitDepthEnum d) const;
  bool supportsPixelComponent(PixelComponentEnum c) const;
};

// The description filled at the load action; a default description before it.
ImageEffectHostDescription* getImageEffectHostDescription();

// Conversions between the enums and the standard's strings.
const char* mapContextEnumToStr(ContextEnum c);
ContextEnum mapContextStringToEnum(const std::string& s);
const char* mapBitDepthEnumToStr(BitDepthEnum d);
BitDepthEnum mapBitDepthStringToEnum(const std::string& s);
const char* mapPixelComponentEnumToStr(PixelComponentEnum c);
PixelComponentEnum mapPixelComponentStringToEnum(const std::string& s);
const char* mapMessageTypeEnumToStr(Message::MessageTypeEnum t);
FieldEnum mapFieldStringToEnum(const std::string& s);
PreMultiplicationEnum mapPreMultiplicationStringToEnum(const std::string& s);
const char* mapParamTypeEnumToString(ParamTypeEnum t);
InstanceChangeReason mapInstanceChangedReasonStringToEnum(const std::string& s);

// Makes a usable multi-thread suite available: the host's when it offers a
// complete one, otherwise the library's own thread-based replacement.
void ofxsThreadSuiteCheck();

namespace Private {
extern OfxHost* gHost;
extern const OfxImageEffectSuiteV1* gEffectSuite;
extern const OfxPropertySuiteV1* gPropSuite;
extern const OfxParameterSuiteV1* gParamSuite;
extern const OfxMemorySuiteV1* gMemorySuite;
extern const OfxMultiThreadSuiteV1* gThreadSuite;
extern const OfxMessageSuiteV1* gMessageSuiteV1;
extern const OfxMessageSuiteV2* gMessageSuiteV2;
}  // namespace Private

}  // namespace OFX

#endif
