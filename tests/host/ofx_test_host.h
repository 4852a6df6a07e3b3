// An in-memory OpenFX host for tests. It loads a bundle with dlopen and
// drives it only through OfxGetNumberOfPlugins / OfxGetPlugin, setHost, the
// plug-in's main entry and the suites it supplies, as Natron would, keeping
// a model of properties, descriptors, parameters (values per time), clips and
// images and recording what the plug-in does with them. See README.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <variant>
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

// One property set. Through the suite the plug-in reaches only the names the
// host put there (the standard's, see propertySchema): another name gives
// kOfxStatErrUnknown on get and set, a get of another type kOfxStatErrUnknown,
// a set of another type kOfxStatErrValue, an index past a fixed dimension or
// past the values kOfxStatErrBadIndex. Host-side setters are free.
class PropertySet {
 public:
  enum class Type { Int, Double, String, Pointer };  // the order of Values

  OfxPropertySetHandle handle() { return reinterpret_cast<OfxPropertySetHandle>(this); }
  static PropertySet* from(OfxPropertySetHandle h);  // null when h is not one

  bool has(const std::string& name) const;
  // A property of `fixedDimension` values (0: any count, starting empty),
  // each `value` read as the type's own ("1", "0.5", "text"; null for pointers).
  void declare(const std::string& name, Type type, int fixedDimension, const std::string& value = "");

  void setInt(const std::string& n, int v, int index = 0) { put(n, index, v); }
  void setDouble(const std::string& n, double v, int index = 0) { put(n, index, v); }
  void setString(const std::string& n, const std::string& v, int index = 0) { put(n, index, v); }
  void setPointer(const std::string& n, void* v, int index = 0) { put(n, index, v); }
  void setInts(const std::string& n, const std::vector<int>& v) { putAll(n, v); }
  void setDoubles(const std::string& n, const std::vector<double>& v) { putAll(n, v); }
  void setStrings(const std::string& n, const std::vector<std::string>& v) { putAll(n, v); }

  // Test-side reads: a missing property or index gives 0 / "" / null; ints
  // and doubles read as each other.
  int getInt(const std::string& n, int index = 0) const { return get<int>(n, index); }
  double getDouble(const std::string& n, int index = 0) const { return get<double>(n, index); }
  std::string getString(const std::string& n, int index = 0) const { return get<std::string>(n, index); }
  void* getPointer(const std::string& n, int index = 0) const { return get<void*>(n, index); }
  std::vector<int> getInts(const std::string& n) const { return getAll<int>(n); }
  std::vector<double> getDoubles(const std::string& n) const { return getAll<double>(n); }
  std::vector<std::string> getStrings(const std::string& n) const { return getAll<std::string>(n); }

  // The suite side: T the stored type, C its C form (int, double, const
  // char* or char*, void*). pluginSet writes `count` values from `index`
  // (-1: all values); pluginGet reads one.
  template <class T, class C>
  OfxStatus pluginSet(const char* name, int index, int count, const C* values);
  template <class T, class C>
  OfxStatus pluginGet(const char* name, int index, C* value) const;
  OfxStatus pluginDimension(const char* name, int* count) const;
  OfxStatus pluginReset(const char* name);  // back to the declared default

  // Asked for each int the plug-in sets through the suite, before it is
  // stored; false refuses the call with kOfxStatFailed.
  std::function<bool(const std::string& name, int value)> onPluginSetInt;

 private:
  using Values = std::variant<std::vector<int>, std::vector<double>, std::vector<std::string>, std::vector<void*>>;
  struct Property {
    Values values, initial;
    int fixedDimension = -1;  // 0: any count; -1: the count it has
  };
  // A mutex that copies as a new one: copies of a set are taken while no
  // other thread writes it.
  struct Mutex : std::mutex {
    Mutex() = default;
    Mutex(const Mutex&) {}
    Mutex& operator=(const Mutex&) { return *this; }
  };

  template <class T>
  std::vector<T>& slot(const std::string& name) {  // emptied when it held another type
    Property& p = props_[name];
    if (!std::holds_alternative<std::vector<T>>(p.values)) p.values = std::vector<T>();
    return std::get<std::vector<T>>(p.values);
  }
  template <class T>
  void put(const std::string& name, int index, const T& v) {
    std::lock_guard<Mutex> lock(mutex_);
    std::vector<T>& values = slot<T>(name);
    if (index < 0) return;
    if (std::size_t(index) >= values.size()) values.resize(std::size_t(index) + 1);
    values[std::size_t(index)] = v;
  }
  template <class T>
  void putAll(const std::string& name, const std::vector<T>& v) {
    std::lock_guard<Mutex> lock(mutex_);
    slot<T>(name) = v;
  }
  template <class T>
  T get(const std::string& name, int index) const {
    std::lock_guard<Mutex> lock(mutex_);
    auto it = props_.find(name);
    if (it == props_.end() || index < 0) return T();
    return std::visit(
        [&](const auto& values) -> T {
          using V = typename std::decay_t<decltype(values)>::value_type;
          if (std::size_t(index) >= values.size()) return T();
          if constexpr (std::is_same_v<V, T>) return values[std::size_t(index)];
          if constexpr (std::is_arithmetic_v<V> && std::is_arithmetic_v<T>) return T(values[std::size_t(index)]);
          return T();
        },
        it->second.values);
  }
  template <class T>
  std::vector<T> getAll(const std::string& name) const {
    std::lock_guard<Mutex> lock(mutex_);
    auto it = props_.find(name);
    if (it == props_.end() || !std::holds_alternative<std::vector<T>>(it->second.values)) return {};
    return std::get<std::vector<T>>(it->second.values);
  }

  static constexpr std::uint32_t kMagic = 0x50524f50;
  std::uint32_t magic_ = kMagic;
  mutable Mutex mutex_;
  std::map<std::string, Property> props_;
};

// The objects a host hands the plug-in property sets of.
// (Parameter instances have their descriptor's, typed as instances.)
enum class ObjectKind { Host, EffectDescriptor, EffectInstance, ClipDescriptor, ClipInstance, Image, ParamSet, ParamDescriptor };

struct PropertyDef {
  const char* name;
  PropertySet::Type type;
  int dimension;      // 0: any count
  std::string value;  // the standard's default, as for PropertySet::declare
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
  int rowBytes = 0;      // as reported to the plug-in
  void* data = nullptr;  // address of pixel (x1, y1)
  std::vector<unsigned char> storage;

  int width() const { return bounds.x2 - bounds.x1; }
  int height() const { return bounds.y2 - bounds.y1; }
  // Address of component 0 of pixel (x, y); null outside the bounds.
  float* pixelF(int x, int y);
  void fill(float v) {
    fillWith([v](int, int, int) { return v; });
  }
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
    GetValue,        // name, time (the host's current time), value
    GetValueAtTime,  // name, time, value
    SetValue,        // name, value, time (current time)
    SetValueAtTime,  // name, value, time
    SetEnabled,      // name, value 0/1
    SetSecret,       // name, value 0/1
    BeginEditBlock,  // name = label
    EndEditBlock,
  };
  Kind kind;
  std::string name;
  double time = 0;
  double value = 0;
};

struct MessageRecord {
  std::string type;  // "OfxMessageMessage", "OfxMessageError", ...
  std::string id;
  std::string text;
  bool persistent = false;
  std::string format;  // the format argument as the plug-in passed it
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
  Instance* instance = nullptr;   // null in descriptors
  double valueAt(double time) const;
};

struct ParamSetObject {
  static constexpr std::uint32_t kMagic = 0x50534554;
  std::uint32_t magic = kMagic;
  PropertySet props;
  Instance* instance = nullptr;                      // null in descriptors
  std::vector<std::unique_ptr<ParamObject>> params;  // in definition order
  ParamObject* find(const std::string& name) const;
};

struct ClipObject {
  static constexpr std::uint32_t kMagic = 0x434c4950;
  std::uint32_t magic = kMagic;
  std::string name;
  PropertySet props;
  Instance* instance = nullptr;                              // null in descriptors
  std::shared_ptr<ImageBuffer> image;                        // given at any time...
  std::map<double, std::shared_ptr<ImageBuffer>> imagesAt;  // ...unless one is set for that time
  std::shared_ptr<ImageBuffer> imageAt(double time) const;
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
  unsigned int threads = 4;      // what the multi-thread suite reports and uses
  bool multiThreadSuite = true;  // offer the multi-thread suite at all
  bool messageSuiteV2 = true;    // offer persistent messages
  // Like Natron, call the instance-changed action (reason "plug-in edited")
  // from inside each setValue the plug-in makes.
  bool notifyPluginEdits = false;
  // Note every plug-in value write outside the parameter's range, option
  // list or 0/1 (NaN included) in Instance::strictViolations(); the write
  // still happens.
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
  ParamObject& param(const std::string& name);  // throws std::out_of_range
  double value(const std::string& name);        // at the current time
  std::string paramType(const std::string& name) { return param(name).type; }
  bool enabled(const std::string& name) { return param(name).props.getInt(kOfxParamPropEnabled) != 0; }
  bool secret(const std::string& name) { return param(name).props.getInt(kOfxParamPropSecret) != 0; }
  void setValue(const std::string& name, double v);  // clears keys
  void setValueAtTime(const std::string& name, double time, double v);
  void setCurrentTime(double t) { currentTime_ = t; }
  double currentTime() const { return currentTime_; }

  // Clips. Source and Output start connected, RGBA, float, without images.
  ClipObject& clip(const std::string& name);  // throws std::out_of_range
  void setClipConnected(const std::string& name, bool connected);
  void setClipFormat(const std::string& name, const std::string& components, const std::string& depth);
  void setClipImage(const std::string& name, std::shared_ptr<ImageBuffer> image) { clip(name).image = image; }
  void setClipImageAt(const std::string& name, double time, std::shared_ptr<ImageBuffer> image) {
    clip(name).imagesAt[time] = image;
  }

  // Actions. A change is wrapped in begin/end instance-changed, as hosts do;
  // reason kOfxChangeUserEdited, kOfxChangePluginEdited or kOfxChangeTime.
  OfxStatus render(double time, OfxRectI window);
  IdentityResult isIdentity(double time, OfxRectI window = {0, 0, 0, 0});
  OfxStatus paramChanged(const std::string& name, const std::string& reason = kOfxChangeUserEdited, double time = 0);
  OfxStatus clipChanged(const std::string& name, const std::string& reason = kOfxChangeUserEdited, double time = 0);
  // The user sets a value and the host reports it, at `time`.
  OfxStatus userEdit(const std::string& name, double v, double time = 0);
  OfxStatus destroy();

  // Records.
  std::vector<Event> events() const { return locked([&] { return events_; }); }
  std::vector<Event> events(Event::Kind kind) const;
  std::vector<MessageRecord> messages() const { return locked([&] { return messages_; }); }
  void clearRecords();
  // With HostOptions::strictValues.
  std::vector<std::string> strictViolations() const { return locked([&] { return strictViolations_; }); }
  // Failure injection: every later plug-in call whose event `refuse` accepts
  // (reads, writes, enabled and secret changes, edit blocks) is refused with
  // kOfxStatFailed and not recorded. nullptr accepts everything again.
  void setRefusal(std::function<bool(const Event&)> refuse) { locked([&] { refusal_ = std::move(refuse); }); }
  // The host's abort: while set, every query of the image-effect suite's
  // abortRender on this instance answers 1 (a render in progress included).
  void setAborted(bool aborted) { aborted_ = aborted; }
  // The plug-in's abortRender queries on this instance so far.
  int abortQueries() const { return abortQueries_; }
  int imagesFetched() const { return locked([&] { return fetched_; }); }
  int imagesReleased() const { return locked([&] { return released_; }); }
  // Fetched and not yet released.
  int liveImages() const { return locked([&] { return int(liveImages_.size()); }); }
  // Releases of images nobody handed out (by any instance), since creation or clearRecords.
  int badReleases() const;

 public:  // used by the host's suites
  // Records `e` unless the refusal accepts it; false when refused.
  bool record(const Event& e);
  void post(const MessageRecord& m);
  OfxStatus fetchImage(ClipObject& clip, double time, OfxPropertySetHandle* image);
  double read(ParamObject& p, bool atTime, double time, bool* refused);
  OfxStatus write(ParamObject& p, bool atTime, double time, double v);
  // Whether one of these actions (or any, for an empty list) is running.
  bool inAction(std::initializer_list<const char*> actions = {}) const;
  bool askedToAbort() {
    ++abortQueries_;
    return aborted_;
  }

 private:
  friend class Host;
  Instance(Host& host, const std::string& context);
  OfxStatus changed(const char* type, const std::string& name, const std::string& reason, double time);
  template <class F>
  auto locked(F f) const -> decltype(f()) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f();
  }

  Host* host_;  // null once the host is gone
  EffectObject effect_;
  OfxStatus createStatus_ = kOfxStatFailed;
  bool alive_ = false;
  std::atomic<double> currentTime_{0.0};
  mutable std::mutex mutex_;
  std::vector<Event> events_;
  std::vector<MessageRecord> messages_;
  std::map<std::string, int> runningActions_;
  std::function<bool(const Event&)> refusal_;
  std::vector<std::string> strictViolations_;
  std::map<PropertySet*, std::unique_ptr<PropertySet>> liveImages_;
  std::atomic<int> imageSerial_{0};
  std::atomic<bool> aborted_{false};
  std::atomic<int> abortQueries_{0};
  int fetched_ = 0, released_ = 0, badReleasesBefore_ = 0;
  friend OfxStatus releaseImage(OfxPropertySetHandle image);
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // dlopen (RTLD_LAZY | RTLD_LOCAL) and look up the two entry points.
  bool loadBundle(const std::string& path, std::string* error = nullptr);
  int numberOfPlugins() { return getNumber_ ? getNumber_() : 0; }
  const OfxPlugin* plugin(int index = 0) { return getPlugin_ ? getPlugin_(index) : nullptr; }

  // Actions on plug-in 0; load also calls its setHost first.
  OfxStatus load();
  OfxStatus describe();
  OfxStatus describeInContext(const std::string& context);
  // loadBundle + load + describe + describeInContext(filter and general);
  // true when all succeed.
  bool loadAndDescribe(const std::string& bundlePath, std::string* error = nullptr);

  EffectObject& descriptor() { return descriptor_; }
  // The descriptor of a described context; throws std::out_of_range.
  EffectObject& contextDescriptor(const std::string& context);

  // An instance of the context's descriptor (describe-in-context runs first
  // if it has not), whatever the status: check createStatus(). Its
  // parameters start at their defaults.
  std::unique_ptr<Instance> createInstance(const std::string& context = kOfxImageEffectContextFilter);

  // Raw action call on plug-in 0.
  OfxStatus callAction(const char* action, const void* handle, PropertySet* in, PropertySet* out);

  PropertySet& hostProperties() { return hostProps_; }
  const HostOptions& options() const { return options_; }

  // Calls the plug-in made where the standard does not allow them (defining
  // parameters outside describe-in-context, setting values during a render,
  // ...): refused with kOfxStatErrUnsupported and listed here.
  std::vector<std::string> refusedCalls() const;
  unsigned int multiThreadCalls() const { return multiThreadCalls_; }
  unsigned int maxThreadsUsed() const { return maxThreadsUsed_; }

  // Used by the suites.
  static Host* current();
  OfxHost* ofxHost() { return &ofxHost_; }
  // Whether the plug-in may make `call` now (ok); a refusal is listed.
  bool allows(bool ok, const std::string& call);
  bool describing(const void* descriptor) const {
    return describing_ && (descriptor == describing_ || descriptor == &describing_->paramSet);
  }
  std::atomic<unsigned int> multiThreadCalls_{0}, maxThreadsUsed_{0};

 private:
  friend class Instance;
  static void describeEffect(EffectObject& e, const std::string& bundlePath);

  HostOptions options_;
  int (*getNumber_)() = nullptr;
  OfxPlugin* (*getPlugin_)(int) = nullptr;
  OfxHost ofxHost_;
  PropertySet hostProps_;
  EffectObject descriptor_;
  std::map<std::string, std::unique_ptr<EffectObject>> contextDescriptors_;
  EffectObject* describing_ = nullptr;  // the descriptor of the running describe-in-context
  mutable std::mutex mutex_;
  std::vector<std::string> refusedCalls_;
  std::set<Instance*> instances_;
};

std::string statusName(OfxStatus s);
inline OfxRectI rect(int x1, int y1, int x2, int y2) { return OfxRectI{x1, y1, x2, y2}; }

}  // namespace ofxtest
