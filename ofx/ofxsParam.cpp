// Parameter descriptors and handles over the host's parameter and property
// suites.
#include "ofx/ofxsImageEffect.h"

namespace OFX {

using namespace Private;

namespace {
const OfxParameterSuiteV1& paramSuite() {
  if (!gParamSuite) throwHostMissingSuiteException(kOfxParameterSuite);
  return *gParamSuite;
}
}  // namespace

// ---------------------------------------------------------------- descriptors

ParamDescriptor::ParamDescriptor(const std::string& name, ParamTypeEnum type, OfxPropertySetHandle props)
    : _paramName(name), _paramType(type), _paramProps(props) {}

void ParamDescriptor::setLabel(const std::string& label) { _paramProps.propSetString(kOfxPropLabel, label); }

void ParamDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                                const std::string& longLabel) {
  setLabel(label);
  _paramProps.propSetString(kOfxPropShortLabel, shortLabel, false);
  _paramProps.propSetString(kOfxPropLongLabel, longLabel, false);
}

void ParamDescriptor::setHint(const std::string& hint) { _paramProps.propSetString(kOfxParamPropHint, hint); }
void ParamDescriptor::setScriptName(const std::string& name) {
  _paramProps.propSetString(kOfxParamPropScriptName, name, false);
}
void ParamDescriptor::setEnabled(bool v) { _paramProps.propSetInt(kOfxParamPropEnabled, v ? 1 : 0); }
void ParamDescriptor::setIsSecret(bool v) { _paramProps.propSetInt(kOfxParamPropSecret, v ? 1 : 0); }
void ParamDescriptor::setParent(const ParamDescriptor& group) {
  _paramProps.propSetString(kOfxParamPropParent, group.getName());
}

void ValueParamDescriptor::setAnimates(bool v) { _paramProps.propSetInt(kOfxParamPropAnimates, v ? 1 : 0); }
void ValueParamDescriptor::setIsPersistant(bool v) { _paramProps.propSetInt(kOfxParamPropPersistant, v ? 1 : 0); }
void ValueParamDescriptor::setEvaluateOnChange(bool v) {
  _paramProps.propSetInt(kOfxParamPropEvaluateOnChange, v ? 1 : 0);
}
void ValueParamDescriptor::setCanUndo(bool v) { _paramProps.propSetInt(kOfxParamPropCanUndo, v ? 1 : 0, false); }

void IntParamDescriptor::setDefault(int v) { _paramProps.propSetInt(kOfxParamPropDefault, v); }
void IntParamDescriptor::setRange(int min, int max) {
  _paramProps.propSetInt(kOfxParamPropMin, min);
  _paramProps.propSetInt(kOfxParamPropMax, max);
}
void IntParamDescriptor::setDisplayRange(int min, int max) {
  _paramProps.propSetInt(kOfxParamPropDisplayMin, min);
  _paramProps.propSetInt(kOfxParamPropDisplayMax, max);
}

void BaseDoubleParamDescriptor::setIncrement(double v) { _paramProps.propSetDouble(kOfxParamPropIncrement, v); }
void BaseDoubleParamDescriptor::setDigits(int v) { _paramProps.propSetInt(kOfxParamPropDigits, v); }

void DoubleParamDescriptor::setDefault(double v) { _paramProps.propSetDouble(kOfxParamPropDefault, v); }
void DoubleParamDescriptor::setRange(double min, double max) {
  _paramProps.propSetDouble(kOfxParamPropMin, min);
  _paramProps.propSetDouble(kOfxParamPropMax, max);
}
void DoubleParamDescriptor::setDisplayRange(double min, double max) {
  _paramProps.propSetDouble(kOfxParamPropDisplayMin, min);
  _paramProps.propSetDouble(kOfxParamPropDisplayMax, max);
}

void BooleanParamDescriptor::setDefault(bool v) { _paramProps.propSetInt(kOfxParamPropDefault, v ? 1 : 0); }

void ChoiceParamDescriptor::setDefault(int v) { _paramProps.propSetInt(kOfxParamPropDefault, v); }

void ChoiceParamDescriptor::appendOption(const std::string& optionLabel, const std::string& optionHint,
                                         const std::string& /*optionEnum*/) {
  const int index = getNOptions();
  if (!optionHint.empty()) {
    std::string hint = _paramProps.propGetString(kOfxParamPropHint, false);
    if (!hint.empty()) {
      hint += "\n";
      if (index == 0) hint += "\n";
    }
    hint += optionLabel;
    hint += ": ";
    hint += optionHint;
    _paramProps.propSetString(kOfxParamPropHint, hint);
  }
  _paramProps.propSetString(kOfxParamPropChoiceOption, optionLabel, index);
}

int ChoiceParamDescriptor::getNOptions() { return _paramProps.propGetDimension(kOfxParamPropChoiceOption, false); }
void ChoiceParamDescriptor::resetOptions() { _paramProps.propReset(kOfxParamPropChoiceOption); }

void GroupParamDescriptor::setOpen(bool v) { _paramProps.propSetInt(kOfxParamPropGroupOpen, v ? 1 : 0, false); }

void PageParamDescriptor::addChild(const ParamDescriptor& p) {
  const int index = _paramProps.propGetDimension(kOfxParamPropPageChild, false);
  _paramProps.propSetString(kOfxParamPropPageChild, p.getName(), index);
}

ParamSetDescriptor::~ParamSetDescriptor() = default;

OfxPropertySetHandle ParamSetDescriptor::defineRawParam(const std::string& name, ParamTypeEnum type) {
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(
      paramSuite().paramDefine(_paramSetHandle, mapParamTypeEnumToString(type), name.c_str(), &props));
  return props;
}

template <class T>
T* ParamSetDescriptor::defineTyped(const std::string& name, ParamTypeEnum type) {
  auto it = _definedParams.find(name);
  if (it != _definedParams.end()) {
    if (it->second->getType() != type) throw Exception::TypeRequest("parameter \"" + name + "\" has another type");
    return static_cast<T*>(it->second.get());
  }
  OfxPropertySetHandle props = defineRawParam(name, type);
  T* p = new T(name, props);
  _definedParams[name].reset(p);
  return p;
}

IntParamDescriptor* ParamSetDescriptor::defineIntParam(const std::string& name) {
  return defineTyped<IntParamDescriptor>(name, eIntParam);
}
DoubleParamDescriptor* ParamSetDescriptor::defineDoubleParam(const std::string& name) {
  return defineTyped<DoubleParamDescriptor>(name, eDoubleParam);
}
BooleanParamDescriptor* ParamSetDescriptor::defineBooleanParam(const std::string& name) {
  return defineTyped<BooleanParamDescriptor>(name, eBooleanParam);
}
ChoiceParamDescriptor* ParamSetDescriptor::defineChoiceParam(const std::string& name) {
  return defineTyped<ChoiceParamDescriptor>(name, eChoiceParam);
}
PushButtonParamDescriptor* ParamSetDescriptor::definePushButtonParam(const std::string& name) {
  return defineTyped<PushButtonParamDescriptor>(name, ePushButtonParam);
}
GroupParamDescriptor* ParamSetDescriptor::defineGroupParam(const std::string& name) {
  return defineTyped<GroupParamDescriptor>(name, eGroupParam);
}
PageParamDescriptor* ParamSetDescriptor::definePageParam(const std::string& name) {
  return defineTyped<PageParamDescriptor>(name, ePageParam);
}

ParamDescriptor* ParamSetDescriptor::getParamDescriptor(const std::string& name) const {
  auto it = _definedParams.find(name);
  return it == _definedParams.end() ? nullptr : it->second.get();
}

// -------------------------------------------------------------------- handles

Param::Param(const std::string& name, ParamTypeEnum type, OfxParamHandle handle)
    : _paramName(name), _paramType(type), _paramHandle(handle) {
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(paramSuite().paramGetPropertySet(handle, &props));
  _paramProps.propSetHandle(props);
}

void Param::setLabel(const std::string& label) { _paramProps.propSetString(kOfxPropLabel, label); }
void Param::setHint(const std::string& hint) { _paramProps.propSetString(kOfxParamPropHint, hint); }
void Param::setEnabled(bool v) { _paramProps.propSetInt(kOfxParamPropEnabled, v ? 1 : 0); }
void Param::setIsSecret(bool v) { _paramProps.propSetInt(kOfxParamPropSecret, v ? 1 : 0); }
std::string Param::getLabel() const { return _paramProps.propGetString(kOfxPropLabel, false); }
std::string Param::getHint() const { return _paramProps.propGetString(kOfxParamPropHint, false); }
bool Param::getIsEnabled() const { return _paramProps.propGetInt(kOfxParamPropEnabled, false) != 0; }
bool Param::getIsSecret() const { return _paramProps.propGetInt(kOfxParamPropSecret, false) != 0; }

bool ValueParam::getIsAnimating() const { return _paramProps.propGetInt(kOfxParamPropIsAnimating, false) != 0; }
unsigned int ValueParam::getNumKeys() const {
  unsigned int n = 0;
  throwSuiteStatusException(paramSuite().paramGetNumKeys(_paramHandle, &n));
  return n;
}
void ValueParam::deleteKeyAtTime(double time) {
  throwSuiteStatusException(paramSuite().paramDeleteKey(_paramHandle, time));
}
void ValueParam::deleteAllKeys() { throwSuiteStatusException(paramSuite().paramDeleteAllKeys(_paramHandle)); }

// Integer-valued kinds (int, boolean, choice) all travel as C int.
namespace {
int getIntValue(OfxParamHandle h) {
  int v = 0;
  throwSuiteStatusException(paramSuite().paramGetValue(h, &v));
  return v;
}
int getIntValueAtTime(OfxParamHandle h, double t) {
  int v = 0;
  throwSuiteStatusException(paramSuite().paramGetValueAtTime(h, t, &v));
  return v;
}
void setIntValue(OfxParamHandle h, int v) { throwSuiteStatusException(paramSuite().paramSetValue(h, v)); }
void setIntValueAtTime(OfxParamHandle h, double t, int v) {
  throwSuiteStatusException(paramSuite().paramSetValueAtTime(h, t, v));
}
}  // namespace

int IntParam::getValue() const { return getIntValue(_paramHandle); }
int IntParam::getValueAtTime(double t) const { return getIntValueAtTime(_paramHandle, t); }
void IntParam::setValue(int v) { setIntValue(_paramHandle, v); }
void IntParam::setValueAtTime(double t, int v) { setIntValueAtTime(_paramHandle, t, v); }
int IntParam::getDefault() const { return _paramProps.propGetInt(kOfxParamPropDefault); }
void IntParam::getRange(int& min, int& max) const {
  min = _paramProps.propGetInt(kOfxParamPropMin);
  max = _paramProps.propGetInt(kOfxParamPropMax);
}

double DoubleParam::getValue() const {
  double v = 0;
  throwSuiteStatusException(paramSuite().paramGetValue(_paramHandle, &v));
  return v;
}
double DoubleParam::getValueAtTime(double t) const {
  double v = 0;
  throwSuiteStatusException(paramSuite().paramGetValueAtTime(_paramHandle, t, &v));
  return v;
}
void DoubleParam::setValue(double v) { throwSuiteStatusException(paramSuite().paramSetValue(_paramHandle, v)); }
void DoubleParam::setValueAtTime(double t, double v) {
  throwSuiteStatusException(paramSuite().paramSetValueAtTime(_paramHandle, t, v));
}
double DoubleParam::getDefault() const { return _paramProps.propGetDouble(kOfxParamPropDefault); }
void DoubleParam::getRange(double& min, double& max) const {
  min = _paramProps.propGetDouble(kOfxParamPropMin);
  max = _paramProps.propGetDouble(kOfxParamPropMax);
}

bool BooleanParam::getValue() const { return getIntValue(_paramHandle) != 0; }
bool BooleanParam::getValueAtTime(double t) const { return getIntValueAtTime(_paramHandle, t) != 0; }
void BooleanParam::setValue(bool v) { setIntValue(_paramHandle, v ? 1 : 0); }
void BooleanParam::setValueAtTime(double t, bool v) { setIntValueAtTime(_paramHandle, t, v ? 1 : 0); }
bool BooleanParam::getDefault() const { return _paramProps.propGetInt(kOfxParamPropDefault) != 0; }

int ChoiceParam::getValue() const { return getIntValue(_paramHandle); }
int ChoiceParam::getValueAtTime(double t) const { return getIntValueAtTime(_paramHandle, t); }
void ChoiceParam::setValue(int v) { setIntValue(_paramHandle, v); }
void ChoiceParam::setValueAtTime(double t, int v) { setIntValueAtTime(_paramHandle, t, v); }
int ChoiceParam::getNOptions() const { return _paramProps.propGetDimension(kOfxParamPropChoiceOption, false); }
std::string ChoiceParam::getOption(int ix) const {
  return _paramProps.propGetString(kOfxParamPropChoiceOption, ix, false);
}

// ------------------------------------------------------------------ param set

ParamSet::~ParamSet() = default;

bool ParamSet::paramExists(const std::string& name) const {
  OfxParamHandle h = nullptr;
  OfxPropertySetHandle props = nullptr;
  return paramSuite().paramGetHandle(_paramSetHandle, name.c_str(), &h, &props) == kOfxStatOK;
}

ParamTypeEnum ParamSet::getParamType(const std::string& name) const {
  OfxParamHandle h = nullptr;
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(paramSuite().paramGetHandle(_paramSetHandle, name.c_str(), &h, &props));
  const std::string t = PropertySet(props).propGetString(kOfxParamPropType);
  for (int i = eStringParam; i <= ePushButtonParam; ++i)
    if (t == mapParamTypeEnumToString(ParamTypeEnum(i))) return ParamTypeEnum(i);
  return eDummyParam;
}

template <class T>
T* ParamSet::fetchTyped(const std::string& name, ParamTypeEnum type) {
  std::lock_guard<std::mutex> lock(_cacheMutex);
  auto it = _fetchedParams.find(name);
  if (it != _fetchedParams.end()) {
    if (it->second->getType() != type) throw Exception::TypeRequest("parameter \"" + name + "\" has another type");
    return static_cast<T*>(it->second.get());
  }
  OfxParamHandle h = nullptr;
  OfxPropertySetHandle props = nullptr;
  throwSuiteStatusException(paramSuite().paramGetHandle(_paramSetHandle, name.c_str(), &h, &props));
  if (PropertySet(props).propGetString(kOfxParamPropType, false) != mapParamTypeEnumToString(type))
    throw Exception::TypeRequest("parameter \"" + name + "\" has another type");
  T* p = new T(name, h);
  _fetchedParams[name].reset(p);
  return p;
}

IntParam* ParamSet::fetchIntParam(const std::string& name) { return fetchTyped<IntParam>(name, eIntParam); }
DoubleParam* ParamSet::fetchDoubleParam(const std::string& name) {
  return fetchTyped<DoubleParam>(name, eDoubleParam);
}
BooleanParam* ParamSet::fetchBooleanParam(const std::string& name) {
  return fetchTyped<BooleanParam>(name, eBooleanParam);
}
ChoiceParam* ParamSet::fetchChoiceParam(const std::string& name) {
  return fetchTyped<ChoiceParam>(name, eChoiceParam);
}
PushButtonParam* ParamSet::fetchPushButtonParam(const std::string& name) {
  return fetchTyped<PushButtonParam>(name, ePushButtonParam);
}
GroupParam* ParamSet::fetchGroupParam(const std::string& name) { return fetchTyped<GroupParam>(name, eGroupParam); }
PageParam* ParamSet::fetchPageParam(const std::string& name) { return fetchTyped<PageParam>(name, ePageParam); }

void ParamSet::beginEditBlock(const std::string& name) {
  // An edit block only groups undo steps; a host that refuses one still
  // takes the writes, so its status is not an error.
  paramSuite().paramEditBegin(_paramSetHandle, name.c_str());
}
void ParamSet::endEditBlock() { paramSuite().paramEditEnd(_paramSetHandle); }

}  // namespace OFX
