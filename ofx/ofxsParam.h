#ifndef KALTHORNE_OFXS_PARAM_H
#define KALTHORNE_OFXS_PARAM_H
// Parameter descriptors (describe time) and parameter handles (instances).
// Descriptors and handles are owned by their parameter set, which releases
// them with itself; plug-in code only keeps raw pointers.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ofxsCore.h"

namespace OFX {

// ---------------------------------------------------------------- descriptors

class ParamDescriptor {
 public:
  ParamDescriptor(const std::string& name, ParamTypeEnum type, OfxPropertySetHandle props);
  virtual ~ParamDescriptor() = default;
  ParamDescriptor(const ParamDescriptor&) = delete;
  ParamDescriptor& operator=(const ParamDescriptor&) = delete;

  const std::string& getName() const { return _paramName; }
  ParamTypeEnum getType() const { return _paramType; }
  PropertySet& getPropertySet() { return _paramProps; }
  const PropertySet& getPropertySet() const { return _paramProps; }

  void setLabel(const std::string& label);
  void setLabels(const std::string& label, const std::string& shortLabel, const std::string& longLabel);
  void setHint(const std::string& hint);
  void setScriptName(const std::string& name);
  void setEnabled(bool v);
  void setIsSecret(bool v);
  void setParent(const ParamDescriptor& group);

 protected:
  std::string _paramName;
  ParamTypeEnum _paramType;
  PropertySet _paramProps;
};

class ValueParamDescriptor : public ParamDescriptor {
 public:
  using ParamDescriptor::ParamDescriptor;
  void setAnimates(bool v);
  void setIsPersistant(bool v);
  void setEvaluateOnChange(bool v);
  void setCanUndo(bool v);
};

class IntParamDescriptor : public ValueParamDescriptor {
 public:
  IntParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ValueParamDescriptor(name, eIntParam, props) {}
  void setDefault(int v);
  void setRange(int min, int max);
  void setDisplayRange(int min, int max);
};

class BaseDoubleParamDescriptor : public ValueParamDescriptor {
 public:
  using ValueParamDescriptor::ValueParamDescriptor;
  void setIncrement(double v);
  void setDigits(int v);
};

class DoubleParamDescriptor : public BaseDoubleParamDescriptor {
 public:
  DoubleParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : BaseDoubleParamDescriptor(name, eDoubleParam, props) {}
  void setDefault(double v);
  void setRange(double min, double max);
  void setDisplayRange(double min, double max);
};

class BooleanParamDescriptor : public ValueParamDescriptor {
 public:
  BooleanParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ValueParamDescriptor(name, eBooleanParam, props) {}
  void setDefault(bool v);
};

class ChoiceParamDescriptor : public ValueParamDescriptor {
 public:
  ChoiceParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ValueParamDescriptor(name, eChoiceParam, props) {}
  void setDefault(int v);
  // Stores optionLabel as the next option. A non-empty optionHint is also
  // appended to the parameter's hint as a line "label: hint", the first one
  // after a blank line, so the host's tooltip lists every option.
  void appendOption(const std::string& optionLabel, const std::string& optionHint = "",
                    const std::string& optionEnum = "");
  int getNOptions();
  void resetOptions();
};

class PushButtonParamDescriptor : public ParamDescriptor {
 public:
  PushButtonParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ParamDescriptor(name, ePushButtonParam, props) {}
};

class GroupParamDescriptor : public ParamDescriptor {
 public:
  GroupParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ParamDescriptor(name, eGroupParam, props) {}
  void setOpen(bool v);
};

class PageParamDescriptor : public ParamDescriptor {
 public:
  PageParamDescriptor(const std::string& name, OfxPropertySetHandle props)
      : ParamDescriptor(name, ePageParam, props) {}
  void addChild(const ParamDescriptor& p);
};

class ParamSetDescriptor {
 public:
  ParamSetDescriptor() = default;
  virtual ~ParamSetDescriptor();
  ParamSetDescriptor(const ParamSetDescriptor&) = delete;
  ParamSetDescriptor& operator=(const ParamSetDescriptor&) = delete;

  IntParamDescriptor* defineIntParam(const std::string& name);
  DoubleParamDescriptor* defineDoubleParam(const std::string& name);
  BooleanParamDescriptor* defineBooleanParam(const std::string& name);
  ChoiceParamDescriptor* defineChoiceParam(const std::string& name);
  PushButtonParamDescriptor* definePushButtonParam(const std::string& name);
  GroupParamDescriptor* defineGroupParam(const std::string& name);
  PageParamDescriptor* definePageParam(const std::string& name);
  // Already defined descriptor of that name, or null.
  ParamDescriptor* getParamDescriptor(const std::string& name) const;

 protected:
  void setParamSetHandle(OfxParamSetHandle h) { _paramSetHandle = h; }

 private:
  OfxPropertySetHandle defineRawParam(const std::string& name, ParamTypeEnum type);
  template <class T>
  T* defineTyped(const std::string& name, ParamTypeEnum type);

  OfxParamSetHandle _paramSetHandle = nullptr;
  std::map<std::string, std::unique_ptr<ParamDescriptor>> _definedParams;
};

// -------------------------------------------------------------------- handles

class Param {
 public:
  Param(const std::string& name, ParamTypeEnum type, OfxParamHandle handle);
  virtual ~Param() = default;
  Param(const Param&) = delete;
  Param& operator=(const Param&) = delete;

  const std::string& getName() const { return _paramName; }
  ParamTypeEnum getType() const { return _paramType; }
  OfxParamHandle getHandle() const { return _paramHandle; }
  PropertySet& getPropertySet() { return _paramProps; }

  void setLabel(const std::string& label);
  void setHint(const std::string& hint);
  void setEnabled(bool v);
  void setIsSecret(bool v);
  std::string getLabel() const;
  std::string getHint() const;
  bool getIsEnabled() const;
  bool getIsSecret() const;

 protected:
  std::string _paramName;
  ParamTypeEnum _paramType;
  OfxParamHandle _paramHandle;
  PropertySet _paramProps;
};

class ValueParam : public Param {
 public:
  using Param::Param;
  bool getIsAnimating() const;
  unsigned int getNumKeys() const;
  void deleteKeyAtTime(double time);
  void deleteAllKeys();
};

class IntParam : public ValueParam {
 public:
  IntParam(const std::string& name, OfxParamHandle h) : ValueParam(name, eIntParam, h) {}
  int getValue() const;
  void getValue(int& v) const { v = getValue(); }
  int getValueAtTime(double t) const;
  void getValueAtTime(double t, int& v) const { v = getValueAtTime(t); }
  void setValue(int v);
  void setValueAtTime(double t, int v);
  int getDefault() const;
  void getRange(int& min, int& max) const;
};

class DoubleParam : public ValueParam {
 public:
  DoubleParam(const std::string& name, OfxParamHandle h) : ValueParam(name, eDoubleParam, h) {}
  double getValue() const;
  void getValue(double& v) const { v = getValue(); }
  double getValueAtTime(double t) const;
  void getValueAtTime(double t, double& v) const { v = getValueAtTime(t); }
  void setValue(double v);
  void setValueAtTime(double t, double v);
  double getDefault() const;
  void getRange(double& min, double& max) const;
};

class BooleanParam : public ValueParam {
 public:
  BooleanParam(const std::string& name, OfxParamHandle h) : ValueParam(name, eBooleanParam, h) {}
  bool getValue() const;
  void getValue(bool& v) const { v = getValue(); }
  bool getValueAtTime(double t) const;
  void getValueAtTime(double t, bool& v) const { v = getValueAtTime(t); }
  void setValue(bool v);
  void setValueAtTime(double t, bool v);
  bool getDefault() const;
};

class ChoiceParam : public ValueParam {
 public:
  ChoiceParam(const std::string& name, OfxParamHandle h) : ValueParam(name, eChoiceParam, h) {}
  int getValue() const;
  void getValue(int& v) const { v = getValue(); }
  int getValueAtTime(double t) const;
  void getValueAtTime(double t, int& v) const { v = getValueAtTime(t); }
  void setValue(int v);
  void setValueAtTime(double t, int v);
  int getNOptions() const;
  std::string getOption(int ix) const;
};

class PushButtonParam : public Param {
 public:
  PushButtonParam(const std::string& name, OfxParamHandle h) : Param(name, ePushButtonParam, h) {}
};

class GroupParam : public Param {
 public:
  GroupParam(const std::string& name, OfxParamHandle h) : Param(name, eGroupParam, h) {}
};

class PageParam : public Param {
 public:
  PageParam(const std::string& name, OfxParamHandle h) : Param(name, ePageParam, h) {}
};

// The parameter cache of one instance: each handle is fetched from the host
// once, kept for the instance's life and released with it.
class ParamSet {
 public:
  ParamSet() = default;
  virtual ~ParamSet();
  ParamSet(const ParamSet&) = delete;
  ParamSet& operator=(const ParamSet&) = delete;

  bool paramExists(const std::string& name) const;
  ParamTypeEnum getParamType(const std::string& name) const;

  IntParam* fetchIntParam(const std::string& name);
  DoubleParam* fetchDoubleParam(const std::string& name);
  BooleanParam* fetchBooleanParam(const std::string& name);
  ChoiceParam* fetchChoiceParam(const std::string& name);
  PushButtonParam* fetchPushButtonParam(const std::string& name);
  GroupParam* fetchGroupParam(const std::string& name);
  PageParam* fetchPageParam(const std::string& name);

  // Groups the writes in between into one undoable host edit.
  void beginEditBlock(const std::string& name);
  void endEditBlock();

 protected:
  void setParamSetHandle(OfxParamSetHandle h) { _paramSetHandle = h; }
  OfxParamSetHandle getParamSetHandle() const { return _paramSetHandle; }

 private:
  template <class T>
  T* fetchTyped(const std::string& name, ParamTypeEnum type);

  OfxParamSetHandle _paramSetHandle = nullptr;
  std::mutex _cacheMutex;
  std::map<std::string, std::unique_ptr<Param>> _fetchedParams;
};

}  // namespace OFX

#endif
