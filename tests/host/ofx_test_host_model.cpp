// The data model of the test host: property sets, image buffers, parameter
// curves and descriptor lookups.
#include <algorithm>
#include <climits>
#include <iterator>
#include <cstring>
#include <stdexcept>

#include "tests/host/ofx_test_host.h"

namespace ofxtest {

int PropertySet::Property::dimension() const {
  switch (type) {
    case Type::Int: return int(ints.size());
    case Type::Double: return int(doubles.size());
    case Type::String: return int(strings.size());
    case Type::Pointer: return int(pointers.size());
  }
  return 0;
}

PropertySet::PropertySet() = default;

PropertySet::PropertySet(const PropertySet& other) {
  std::lock_guard<std::recursive_mutex> lock(other.mutex_);
  props_ = other.props_;
}

PropertySet& PropertySet::operator=(const PropertySet& other) {
  if (this == &other) return *this;
  std::map<std::string, Property> copy;
  {
    std::lock_guard<std::recursive_mutex> lock(other.mutex_);
    copy = other.props_;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  props_ = std::move(copy);
  return *this;
}

PropertySet* PropertySet::from(OfxPropertySetHandle h) {
  PropertySet* p = reinterpret_cast<PropertySet*>(h);
  return (p && p->magic_ == kMagic) ? p : nullptr;
}

bool PropertySet::has(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return props_.count(name) != 0;
}

int PropertySet::dimension(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  return it == props_.end() ? 0 : it->second.dimension();
}

void PropertySet::erase(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  props_.erase(name);
}

namespace {
template <class T>
void put(std::vector<T>& v, int index, const T& value) {
  if (index < 0) return;
  if (std::size_t(index) >= v.size()) v.resize(std::size_t(index) + 1);
  v[std::size_t(index)] = value;
}
}  // namespace

void PropertySet::setInt(const std::string& name, int v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property& p = props_[name];
  if (p.type != Type::Int) p = Property{};
  p.type = Type::Int;
  put(p.ints, index, v);
}
void PropertySet::setDouble(const std::string& name, double v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property& p = props_[name];
  if (p.type != Type::Double) p = Property{};
  p.type = Type::Double;
  put(p.doubles, index, v);
}
void PropertySet::setString(const std::string& name, const std::string& v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property& p = props_[name];
  if (p.type != Type::String) p = Property{};
  p.type = Type::String;
  put(p.strings, index, v);
}
void PropertySet::setPointer(const std::string& name, void* v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property& p = props_[name];
  if (p.type != Type::Pointer) p = Property{};
  p.type = Type::Pointer;
  put(p.pointers, index, v);
}
void PropertySet::setInts(const std::string& name, const std::vector<int>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property p;
  p.type = Type::Int;
  p.ints = v;
  props_[name] = p;
}
void PropertySet::setDoubles(const std::string& name, const std::vector<double>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property p;
  p.type = Type::Double;
  p.doubles = v;
  props_[name] = p;
}
void PropertySet::setStrings(const std::string& name, const std::vector<std::string>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Property p;
  p.type = Type::String;
  p.strings = v;
  props_[name] = p;
}

int PropertySet::getInt(const std::string& name, int index) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || index < 0) return 0;
  const Property& p = it->second;
  if (p.type == Type::Int && std::size_t(index) < p.ints.size()) return p.ints[std::size_t(index)];
  if (p.type == Type::Double && std::size_t(index) < p.doubles.size()) return int(p.doubles[std::size_t(index)]);
  return 0;
}
double PropertySet::getDouble(const std::string& name, int index) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || index < 0) return 0;
  const Property& p = it->second;
  if (p.type == Type::Double && std::size_t(index) < p.doubles.size()) return p.doubles[std::size_t(index)];
  if (p.type == Type::Int && std::size_t(index) < p.ints.size()) return p.ints[std::size_t(index)];
  return 0;
}
std::string PropertySet::getString(const std::string& name, int index) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || index < 0 || it->second.type != Type::String ||
      std::size_t(index) >= it->second.strings.size())
    return std::string();
  return it->second.strings[std::size_t(index)];
}
void* PropertySet::getPointer(const std::string& name, int index) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || index < 0 || it->second.type != Type::Pointer ||
      std::size_t(index) >= it->second.pointers.size())
    return nullptr;
  return it->second.pointers[std::size_t(index)];
}
std::vector<std::string> PropertySet::getStrings(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || it->second.type != Type::String) return {};
  return it->second.strings;
}
std::vector<int> PropertySet::getInts(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || it->second.type != Type::Int) return {};
  return it->second.ints;
}
std::vector<double> PropertySet::getDoubles(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end() || it->second.type != Type::Double) return {};
  return it->second.doubles;
}

OfxStatus PropertySet::suiteSet(const char* name, int index, Type type, const void* value) {
  if (!name || index < 0) return kOfxStatErrBadIndex;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = props_.find(name);
    // A property first set by the plug-in takes the type it is set with.
    if (it != props_.end() && it->second.type != type) return kOfxStatErrValue;
    if (type == Type::Int && refusePluginSetInt && refusePluginSetInt(name, *static_cast<const int*>(value)))
      return kOfxStatFailed;
    Property& p = props_[name];
    p.type = type;
    switch (type) {
      case Type::Int: put(p.ints, index, *static_cast<const int*>(value)); break;
      case Type::Double: put(p.doubles, index, *static_cast<const double*>(value)); break;
      case Type::String: {
        const char* s = *static_cast<const char* const*>(value);
        put(p.strings, index, std::string(s ? s : ""));
        break;
      }
      case Type::Pointer: put(p.pointers, index, *static_cast<void* const*>(value)); break;
    }
  }
  if (onPluginSet) onPluginSet(name);
  return kOfxStatOK;
}

OfxStatus PropertySet::suiteGet(const char* name, int index, Type type, void* value) const {
  if (!name || !value) return kOfxStatErrBadHandle;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  const Property& p = it->second;
  if (p.type != type) return kOfxStatErrValue;
  if (index < 0 || index >= p.dimension()) return kOfxStatErrBadIndex;
  const std::size_t i = std::size_t(index);
  switch (type) {
    case Type::Int: *static_cast<int*>(value) = p.ints[i]; break;
    case Type::Double: *static_cast<double*>(value) = p.doubles[i]; break;
    case Type::String: *static_cast<const char**>(value) = p.strings[i].c_str(); break;
    case Type::Pointer: *static_cast<void**>(value) = p.pointers[i]; break;
  }
  return kOfxStatOK;
}

OfxStatus PropertySet::suiteDimension(const char* name, int* count) const {
  if (!name || !count) return kOfxStatErrBadHandle;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  *count = it->second.dimension();
  return kOfxStatOK;
}

OfxStatus PropertySet::suiteReset(const char* name) {
  if (!name) return kOfxStatErrBadHandle;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  Type t = it->second.type;
  it->second = Property{};
  it->second.type = t;
  return kOfxStatOK;
}

// ---------------------------------------------------------------------- images

namespace {
int componentsOf(const std::string& c) {
  if (c == kOfxImageComponentRGBA) return 4;
  if (c == kOfxImageComponentRGB) return 3;
  if (c == kOfxImageComponentAlpha) return 1;
  return 4;  // unknown kinds get room for four
}
int bytesOf(const std::string& d) {
  if (d == kOfxBitDepthByte) return 1;
  if (d == kOfxBitDepthShort || d == kOfxBitDepthHalf) return 2;
  return 4;
}
}  // namespace

ImageBuffer::ImageBuffer(OfxRectI b, const std::string& comps, const std::string& d, int rowPaddingBytes,
                         bool bottomUp)
    : bounds(b), components(comps), depth(d) {
  componentCount = componentsOf(comps);
  bytesPerComponent = bytesOf(d);
  const int w = std::max(0, b.x2 - b.x1), h = std::max(0, b.y2 - b.y1);
  const int stride = w * componentCount * bytesPerComponent + rowPaddingBytes;
  storage.assign(std::size_t(stride) * std::size_t(h) + 1, 0);
  if (bottomUp && h > 0) {
    data = storage.data() + std::size_t(stride) * std::size_t(h - 1);
    rowBytes = -stride;
  } else {
    data = storage.data();
    rowBytes = stride;
  }
}

void* ImageBuffer::pixel(int x, int y) {
  if (x < bounds.x1 || x >= bounds.x2 || y < bounds.y1 || y >= bounds.y2) return nullptr;
  return static_cast<unsigned char*>(data) + std::ptrdiff_t(y - bounds.y1) * rowBytes +
         std::ptrdiff_t(x - bounds.x1) * componentCount * bytesPerComponent;
}

void ImageBuffer::fill(float v) {
  fillWith([v](int, int, int) { return v; });
}

// ---------------------------------------------------------------- parameters

double ParamObject::valueAt(double time) const {
  if (keys.empty()) return value;
  auto after = keys.lower_bound(time);
  if (after == keys.end()) return std::prev(after)->second;
  if (after->first == time || after == keys.begin()) return after->second;
  auto before = std::prev(after);
  if (type != kOfxParamTypeDouble) return before->second;
  const double f = (time - before->first) / (after->first - before->first);
  return before->second + (after->second - before->second) * f;
}

ParamObject* ParamSetObject::find(const std::string& name) const {
  for (const auto& p : params)
    if (p->name == name) return p.get();
  return nullptr;
}

ClipObject* EffectObject::findClip(const std::string& name) const {
  for (const auto& c : clips)
    if (c->name == name) return c.get();
  return nullptr;
}

std::string statusName(OfxStatus s) {
  switch (s) {
    case kOfxStatOK: return "kOfxStatOK";
    case kOfxStatFailed: return "kOfxStatFailed";
    case kOfxStatErrFatal: return "kOfxStatErrFatal";
    case kOfxStatErrUnknown: return "kOfxStatErrUnknown";
    case kOfxStatErrMissingHostFeature: return "kOfxStatErrMissingHostFeature";
    case kOfxStatErrUnsupported: return "kOfxStatErrUnsupported";
    case kOfxStatErrExists: return "kOfxStatErrExists";
    case kOfxStatErrFormat: return "kOfxStatErrFormat";
    case kOfxStatErrMemory: return "kOfxStatErrMemory";
    case kOfxStatErrBadHandle: return "kOfxStatErrBadHandle";
    case kOfxStatErrBadIndex: return "kOfxStatErrBadIndex";
    case kOfxStatErrValue: return "kOfxStatErrValue";
    case kOfxStatReplyYes: return "kOfxStatReplyYes";
    case kOfxStatReplyNo: return "kOfxStatReplyNo";
    case kOfxStatReplyDefault: return "kOfxStatReplyDefault";
    case kOfxStatErrImageFormat: return "kOfxStatErrImageFormat";
    default: return "status " + std::to_string(s);
  }
}

}  // namespace ofxtest
