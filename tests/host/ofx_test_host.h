// An in-memory OpenFX host for tests. It loads a bundle with dlopen and
// drives it only through OfxGetNumberOfPlugins / OfxGetPlugin, setHost, the
// plug-in's main entry and the suites it supplies, as Natron would. It keeps
// a model of properties, descriptors, parameters (values per time), clips and
// images, and records what the plug-in does with them. See README.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ofx/ofxCore.h"
#include "ofx/ofxImageEffect.h"
#include "ofx/ofxMessage.h"
#include "ofx/ofxNatron.h"
#include "ofx/ofxParam.h"
#include "ofx/ofxProperty.h"

namespace ofxtest {

class Host;
class Instance;

// ------------------------------------------------------------------ properties

// One property set. The host declares every property the standard defines
// for its object (propertySchema) with its type and dimension, then seals
// the set. From then on the plug-in, through the suite, reaches only those:
// another name gives kOfxStatErrUnknown on get and set, a set of another
// type kOfxStatErrValue, an index past a fixed dimension or past the values
// kOfxStatErrBadIndex, as a strict host would. Host-side setters are free.
class PropertySet {
 public:
  enum class Type { Int, Double, String, Pointer };
  struct Property {
    Type type = Type::Int;
    int fixedDimension = -1;  // 0: any count; -1: the count it has
    std::vector<int> ints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<void*> pointers;
    int dimension() const;
  };

  PropertySet();
  PropertySet(const PropertySet& other);
  PropertySet& operator=(const PropertySet& other);

  OfxPropertySetHandle handle() { return reinterpret_cast<OfxPropertySetHandle>(this); }
  static PropertySet* from(OfxPropertySetHandle h);  // null when h is not one

  bool has(const std::string& name) const;
  int dimension(const std::string& name) const;  // 0 when missing
  void erase(const std::string& name);
  std::vector<std::string> names() const;

  // A property with `fixedDimension` values (0: any count, starting empty),
  // each `value` read as the type's own ("1", "0.5", "text"; null for pointers).
  void declare(const std::string& name, Type type, int fixedDimension, const std::string& value = "");
  // The plug-in can reach only what is declared now; reset returns here.
  void seal();
  bool sealed() const;

  void setInt(const std::string& name, int v, int index = 0);
  void setDouble(const std::string& name, double v, int index = 0);
  void setString(const std::string& name, const std::string& v, int index = 0);
  void setPointer(const std::string& name, void* v, int index = 0);
  void setInts(const std::string& name, const std::vector<int>& v);
  void setDoubles(const std::string& name, const std::vector<double>& v);
  void setStrings(const std::string& name, const std::vector<std::string>& v);

  // Test-side reads: a missing property or index gives 0 / "" / null.
  int getInt(const std::string& name, int index = 0) const;
  double getDouble(const std::string& name, int index = 0) const;
  std::string getString(const std::string& name, int index = 0) const;
  void* getPointer(const std::string& name, int index = 0) const;
  std::vector<std::string> getStrings(const std::string& name) const;
  std::vector<int> getInts(const std::string& name) const;
  std::vector<double> getDoubles(const std::string& name) const;

  // The suite side (used by the host's property suite). Values point at the
  // type's C form: int, double, const char*, void*; N calls take arrays.
  OfxStatus suiteSet(const char* name, int index, Type type, const void* value);
  OfxStatus suiteSetN(const char* name, int count, Type type, const void* values);
  OfxStatus suiteGet(const char* name, int index, Type type, void* value) const;
  OfxStatus suiteDimension(const char* name, int* count) const;
  OfxStatus suiteReset(const char* name);

  // Called after the plug-in changed a property through the suite (not
  // copied with the set).
  std::function<void(const std::string&)> onPluginSet;
  // Asked before the plug-in sets an int property through the suite; true
  // refuses the call with kOfxStatFailed (not copied with the set).
  std::function<bool(const std::string& name, int value)> refusePluginSetInt;

 private:
  friend class Host;
  // A plug-in's write of `count` values from `index` (-1: all values).
  OfxStatus pluginWrite(const char* name, Type type, int index, int count, const void* values);

  static constexpr std::uint32_t kMagic = 0x50524f50;
  std::uint32_t magic_ = kMagic;
  mutable std::recursive_mutex mutex_;
  std::map<std::string, Property> props_;
  std::shared_ptr<const std::map<std::string, Property>> sealedValues_;  // for reset; shared by copies
  bool sealed_ = false;
};

// The objects a host hands the plug-in property sets of.
enum class ObjectKind {
  Host, EffectDescriptor, EffectInstance, ClipDescriptor, ClipInstance, Image, ParamSet, ParamDescriptor,
  ParamInstance
};

struct PropertyDef {
  const char* name;
  PropertySet::Type type;
  int dimension;        // 0: any count
  std::string value;    // the host's default, as for PropertySet::declare
};

// Every property this host gives an object of that kind (parameters: of
// that parameter type), with the standard's defaults.
std::vector<PropertyDef> propertySchema(ObjectKind kind, const std::string& paramType = "");

// -------------------------------------------------------------------- images

// A pixel buffer the test owns and lends to a clip. Rows may be padded and
// may run bottom-up (negative row bytes), as hosts are allowed to do.
class ImageBuffer {
 public:
  ImageBuffer(OfxRectI bounds, const std::string& components = kOfxImageComponentRGBA,
              const std::string& depth = kOfxBitDepthFloat, int rowPaddingBytes = 0, bool bottomUp = false);

  OfxRectI bounds;
  std::string components;
  std::string depth;
  int componentCount = 0;
  int bytesPerComponent = 0;
  int rowBytes = 0;           // as reported to the plug-in
  void* data = nullptr;       // address of pixel (x1, y1)
  std::vector<unsigned char> storage;

  int width() const { return bounds.x2 - bounds.x1; }
  int height() const { return bounds.y2 - bounds.y1; }
  // Address of component 0 of pixel (x, y); null outside the bounds.
  void* pixel(int x, int y);
  float* pixelF(int x, int y) { return static_cast<float*>(pixel(x, y)); }
  // Every float component set to v (float images only).
  void fill(float v);
  // Every float component of every pixel set to f(x, y, c).
  template <class F>
  void fillWith(F f) {
    for (int y = bounds.y1; y < bounds.y2; ++y)
      for (int x = bounds.x1; x < bounds.x2; ++x)
        for (int c = 0; c < componentCount; ++c) pixelF(x, y)[c] = f(x, y, c);
  }
};

// ------------------------------------------------------------------- records

struct Event {
  enum class Kind {
    GetValue,          // name, time (the host's current time)
    GetValueAtTime,    // name, time
    SetValue,          // name, value, time (current time)
    SetValueAtTime,    // name, value, time
    SetEnabled,        // name, value 0/1
    SetSecret,         // name, value 0/1
    BeginEditBlock,    // name = label
    EndEditBlock,
    Message,           // name = message type, messageId, text
    SetPersistentMessage,
    ClearPersistentMessage,
    FetchImage,        // name = clip, time, value = 1 when an image was given
    ReleaseImage,      // name = clip
  };
  Kind kind;
  std::string name;
  double time = 0;
  double value = 0;
  std::string messageId;
  std::string text;
};

struct MessageRecord {
  std::string type;  // "OfxMessageMessage", "OfxMessageError", ...
  std::string id;
  std::string text;
  bool persistent = false;
};

// ------------------------------------------------------- descriptors, models

struct ParamObject {
  static constexpr std::uint32_t kMagic = 0x50415241;
  std::uint32_t magic = kMagic;
  std::string name;
  std::string type;  // kOfxParamType...
  PropertySet props;
  // Values of every kind are kept as double (int, boolean and choice exactly).
  double value = 0;
  std::map<double, double> keys;  // when not empty, the value follows these
  std::string stringValue;
  Instance* instance = nullptr;  // null in descriptors
  double valueAt(double time) const;
};

struct ParamSetObject {
  static constexpr std::uint32_t kMagic = 0x50534554;
  std::uint32_t magic = kMagic;
  PropertySet props;
  Instance* instance = nullptr;  // null in descriptors
  std::vector<std::unique_ptr<ParamObject>> params;  // in definition order
  ParamObject* find(const std::string& name) const;
};

struct ClipObject {
  static constexpr std::uint32_t kMagic = 0x434c4950;
  std::uint32_t magic = kMagic;
  std::string name;
  PropertySet props;
  Instance* instance = nullptr;  // null in descriptors
  std::shared_ptr<ImageBuffer> image;                        // given at any time...
  std::map<double, std::shared_ptr<ImageBuffer>> imagesAt;  // ...unless one is set for that time
};

struct EffectObject {
  static constexpr std::uint32_t kMagic = 0x45464643;
  std::uint32_t magic = kMagic;
  Host* host = nullptr;
  Instance* instance = nullptr;  // null for descriptors
  PropertySet props;
  ParamSetObject paramSet;
  std::vector<std::unique_ptr<ClipObject>> clips;  // in definition order
  ClipObject* findClip(const std::string& name) const;
  OfxImageEffectHandle handle() { return reinterpret_cast<OfxImageEffectHandle>(this); }
};

// ------------------------------------------------------------------ the host

enum class NatronMark { Natron, Absent, Zero };

struct HostOptions {
  NatronMark natron = NatronMark::Natron;
  unsigned int threads = 4;         // what the multi-thread suite reports and uses
  bool multiThreadSuite = true;     // offer the multi-thread suite at all
  bool messageSuiteV2 = true;       // offer persistent messages
  OfxStatus messageReply = kOfxStatOK;
  // Like Natron, call the instance-changed action (reason "plug-in edited")
  // from inside each setValue the plug-in makes.
  bool notifyPluginEdits = false;
  std::string hostName = "fr.inria.Natron";
  // Flag every plug-in value write outside the parameter's range (doubles,
  // integers), option list (choices) or 0/1 (booleans), NaN included; see
  // Instance::strictViolations(). The write itself still happens.
  bool strictValues = false;
};

struct IdentityResult {
  OfxStatus status = kOfxStatFailed;
  std::string clip;  // set when status is kOfxStatOK
  double time = 0;
};

class Instance {
 public:
  ~Instance();  // destroys the plug-in instance if still alive
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  OfxImageEffectHandle handle() { return effect_.handle(); }
  EffectObject& effect() { return effect_; }
  OfxStatus createStatus() const { return createStatus_; }

  // Parameters (host side: these record nothing and start no action).
  bool hasParam(const std::string& name) const;
  ParamObject& param(const std::string& name);  // throws std::out_of_range
  double value(const std::string& name);        // at the current time
  double valueAt(const std::string& name, double time);
  std::string paramType(const std::string& name);
  bool enabled(const std::string& name);
  bool secret(const std::string& name);
  void setValue(const std::string& name, double v);  // clears keys
  void setValueAtTime(const std::string& name, double time, double v);
  void setCurrentTime(double t) { currentTime_ = t; }
  double currentTime() const { return currentTime_; }

  // Clips. Source and Output start connected, RGBA, float, without images.
  ClipObject& clip(const std::string& name);  // throws std::out_of_range
  void setClipConnected(const std::string& name, bool connected);
  void setClipFormat(const std::string& name, const std::string& components, const std::string& depth);
  void setClipImage(const std::string& name, std::shared_ptr<ImageBuffer> image);
  void setClipImageAt(const std::string& name, double time, std::shared_ptr<ImageBuffer> image);

  // Actions.
  OfxStatus render(double time, OfxRectI window, OfxPointD renderScale = {1.0, 1.0});
  IdentityResult isIdentity(double time, OfxRectI window = {0, 0, 0, 0}, OfxPointD renderScale = {1.0, 1.0});
  // One change, wrapped in begin/end instance-changed as hosts do. type is
  // kOfxTypeParameter or kOfxTypeClip; reason kOfxChangeUserEdited,
  // kOfxChangePluginEdited or kOfxChangeTime.
  OfxStatus instanceChanged(const std::string& type, const std::string& name, const std::string& reason,
                            double time, OfxPointD renderScale = {1.0, 1.0});
  OfxStatus paramChanged(const std::string& name, const std::string& reason = kOfxChangeUserEdited,
                         double time = 0);
  OfxStatus clipChanged(const std::string& name, const std::string& reason = kOfxChangeUserEdited,
                        double time = 0);
  // The user sets a value and the host reports it, at `time`.
  OfxStatus userEdit(const std::string& name, double v, double time = 0);
  OfxStatus destroy();

  // Records.
  std::vector<Event> events() const;
  std::vector<Event> events(Event::Kind kind) const;
  std::vector<MessageRecord> messages() const;
  void clearRecords();
  // With HostOptions::strictValues: one text per out-of-range write.
  std::vector<std::string> strictViolations() const;
  // Failure injection: every later plug-in call whose event `refuse` accepts
  // (reads, writes, enabled and secret changes, edit blocks) is refused with
  // kOfxStatFailed and not recorded. nullptr accepts everything again.
  void setRefusal(std::function<bool(const Event&)> refuse);
  int imagesFetched() const;
  int imagesReleased() const;
  int liveImages() const;  // fetched and not yet released
  int badReleases() const;  // releases of unknown images

 public:  // used by the host's suites
  void record(Event e);
  OfxStatus fetchImage_(ClipObject& clip, double time, OfxPropertySetHandle* image);
  OfxStatus releaseImage_(PropertySet* image);
  bool ownsImage_(PropertySet* image) const;
  double readParam_(ParamObject& p, bool atTime, double time);
  OfxStatus writeParam_(ParamObject& p, bool atTime, double time, double v);
  bool refuses_(const Event& e) const;
  // Whether one of these actions (or any, for an empty list) is running.
  bool inAction_(std::initializer_list<const char*> actions = {}) const;
  void enterAction_(const std::string& action, int step);

 private:
  friend class Host;
  Instance(Host& host, const std::string& context);

  Host& host_;
  bool hostGone_ = false;  // the host was destroyed first
  EffectObject effect_;
  std::string context_;
  OfxStatus createStatus_ = kOfxStatFailed;
  bool alive_ = false;
  std::atomic<double> currentTime_{0.0};
  mutable std::mutex recordMutex_;
  std::vector<Event> events_;
  std::map<std::string, int> runningActions_;
  std::function<bool(const Event&)> refusal_;
  std::vector<std::string> strictViolations_;
  std::map<PropertySet*, std::pair<std::unique_ptr<PropertySet>, std::string>> liveImages_;  // -> clip name
  std::atomic<int> imageSerial_{0};
  int fetched_ = 0, released_ = 0, badReleases_ = 0;
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // dlopen (RTLD_LAZY | RTLD_LOCAL) and look up the two entry points.
  bool loadBundle(const std::string& path, std::string* error = nullptr);
  int numberOfPlugins();
  const OfxPlugin* plugin(int index = 0);  // null when out of range

  // Actions on plug-in 0; load also calls its setHost first.
  OfxStatus load();
  OfxStatus unload();
  OfxStatus describe();
  OfxStatus describeInContext(const std::string& context);
  // load + describe + describeInContext(filter and general); true when all OK.
  bool loadAndDescribe(const std::string& bundlePath, std::string* error = nullptr);

  EffectObject& descriptor() { return descriptor_; }
  // The descriptor of a described context; throws std::out_of_range.
  EffectObject& contextDescriptor(const std::string& context);

  // Creates an instance from the context's descriptor (describe-in-context
  // runs first if it has not). Returns it whatever the status; check
  // createStatus(). Its parameters start at their defaults.
  std::unique_ptr<Instance> createInstance(const std::string& context = kOfxImageEffectContextFilter);

  // Raw action call on plug-in 0.
  OfxStatus callAction(const char* action, const void* handle, PropertySet* in, PropertySet* out);

  PropertySet& hostProperties() { return hostProps_; }
  const HostOptions& options() const { return options_; }
  HostOptions& options() { return options_; }

  // Messages posted with a handle that is no instance (e.g. a descriptor).
  std::vector<MessageRecord> otherMessages() const;
  // Calls the plug-in made where the standard does not allow them (defining
  // parameters outside describe-in-context, setting values during a render,
  // ...): refused with kOfxStatErrUnsupported and listed here.
  std::vector<std::string> refusedCalls() const;
  unsigned int multiThreadCalls() const { return multiThreadCalls_; }
  unsigned int maxThreadsUsed() const { return maxThreadsUsed_; }

  // Used by the suites.
  static Host* current();
  OfxHost* ofxHost() { return &ofxHost_; }
  void recordOther(MessageRecord m);
  void recordRefusal(const std::string& call);
  bool describing(const EffectObject* e) const { return e && e == describing_; }
  bool describingParams(const ParamSetObject* ps) const { return ps && describing_ && ps == &describing_->paramSet; }
  std::atomic<unsigned int> multiThreadCalls_{0};
  std::atomic<unsigned int> maxThreadsUsed_{0};

 private:
  void fillHostProperties();
  static void describeEffect(EffectObject& e, const std::string& bundlePath);

  HostOptions options_;
  void* library_ = nullptr;
  int (*getNumber_)() = nullptr;
  OfxPlugin* (*getPlugin_)(int) = nullptr;
  OfxHost ofxHost_;
  PropertySet hostProps_;
  EffectObject descriptor_;
  std::map<std::string, std::unique_ptr<EffectObject>> contextDescriptors_;
  EffectObject* describing_ = nullptr;  // the descriptor of the running describe-in-context
  mutable std::mutex otherMutex_;
  std::vector<MessageRecord> otherMessages_;
  std::vector<std::string> refusedCalls_;
  friend class Instance;
  std::set<Instance*> instances_;
};

// Helpers.
std::string statusName(OfxStatus s);
inline OfxRectI rect(int x1, int y1, int x2, int y2) { return OfxRectI{x1, y1, x2, y2}; }

}  // namespace ofxtest
