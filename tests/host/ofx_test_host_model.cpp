// The data model of the test host: property sets, image buffers, parameter
// curves and descriptor lookups.
#include <algorithm>
#include <climits>
#include <iterator>
#include <cstdlib>
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
  sealedValues_ = other.sealedValues_;
  sealed_ = other.sealed_;
}

PropertySet& PropertySet::operator=(const PropertySet& other) {
  if (this == &other) return *this;
  PropertySet copy(other);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  props_ = std::move(copy.props_);
  sealedValues_ = std::move(copy.sealedValues_);
  sealed_ = copy.sealed_;
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

std::vector<std::string> PropertySet::names() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const auto& p : props_) out.push_back(p.first);
  return out;
}

void PropertySet::declare(const std::string& name, Type type, int fixedDimension, const std::string& value) {
  Property p;
  p.type = type;
  p.fixedDimension = fixedDimension;
  const std::size_t n = std::size_t(fixedDimension);
  switch (type) {
    case Type::Int: p.ints.assign(n, std::atoi(value.c_str())); break;
    case Type::Double: p.doubles.assign(n, std::strtod(value.c_str(), nullptr)); break;
    case Type::String: p.strings.assign(n, value); break;
    case Type::Pointer: p.pointers.assign(n, nullptr); break;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  props_[name] = std::move(p);
}

void PropertySet::seal() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  sealed_ = true;
  sealedValues_ = std::make_shared<const std::map<std::string, Property>>(props_);
}

bool PropertySet::sealed() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return sealed_;
}

namespace {
template <class T>
void put(std::vector<T>& v, int index, const T& value) {
  if (index < 0) return;
  if (std::size_t(index) >= v.size()) v.resize(std::size_t(index) + 1);
  v[std::size_t(index)] = value;
}

// The property `name` holding values of `type`: a new one, or the one there
// (keeping its declared dimension, emptied when it held another type).
PropertySet::Property& slot(std::map<std::string, PropertySet::Property>& props, const std::string& name,
                            PropertySet::Type type) {
  PropertySet::Property& p = props[name];
  if (p.type != type) {
    const int fixed = p.fixedDimension;
    p = PropertySet::Property{};
    p.fixedDimension = fixed;
    p.type = type;
  }
  return p;
}
}  // namespace

void PropertySet::setInt(const std::string& name, int v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  put(slot(props_, name, Type::Int).ints, index, v);
}
void PropertySet::setDouble(const std::string& name, double v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  put(slot(props_, name, Type::Double).doubles, index, v);
}
void PropertySet::setString(const std::string& name, const std::string& v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  put(slot(props_, name, Type::String).strings, index, v);
}
void PropertySet::setPointer(const std::string& name, void* v, int index) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  put(slot(props_, name, Type::Pointer).pointers, index, v);
}
void PropertySet::setInts(const std::string& name, const std::vector<int>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  slot(props_, name, Type::Int).ints = v;
}
void PropertySet::setDoubles(const std::string& name, const std::vector<double>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  slot(props_, name, Type::Double).doubles = v;
}
void PropertySet::setStrings(const std::string& name, const std::vector<std::string>& v) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  slot(props_, name, Type::String).strings = v;
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

namespace {
// Stores value `i` of `values` (the type's C form) at `index`.
void store(PropertySet::Property& p, int index, const void* values, int i) {
  switch (p.type) {
    case PropertySet::Type::Int: put(p.ints, index, static_cast<const int*>(values)[i]); break;
    case PropertySet::Type::Double: put(p.doubles, index, static_cast<const double*>(values)[i]); break;
    case PropertySet::Type::String: {
      const char* s = static_cast<const char* const*>(values)[i];
      put(p.strings, index, std::string(s ? s : ""));
      break;
    }
    case PropertySet::Type::Pointer: put(p.pointers, index, static_cast<void* const*>(values)[i]); break;
  }
}
}  // namespace

OfxStatus PropertySet::suiteSet(const char* name, int index, Type type, const void* value) {
  if (!name || !value) return kOfxStatErrBadHandle;
  if (index < 0) return kOfxStatErrBadIndex;
  return pluginWrite(name, type, index, 1, value);
}

OfxStatus PropertySet::suiteSetN(const char* name, int count, Type type, const void* values) {
  if (!name || count < 0 || (count > 0 && !values)) return kOfxStatErrBadHandle;
  return pluginWrite(name, type, -1, count, values);
}

OfxStatus PropertySet::pluginWrite(const char* name, Type type, int index, int count, const void* values) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = props_.find(name);
    if (it == props_.end()) {
      // An unsealed set takes what the plug-in sets, of any count.
      if (sealed_) return kOfxStatErrUnknown;
      it = props_.emplace(name, Property{}).first;
      it->second.type = type;
      it->second.fixedDimension = 0;
    }
    Property& p = it->second;
    if (p.type != type) return kOfxStatErrValue;
    const int fixed = p.fixedDimension < 0 ? p.dimension() : p.fixedDimension;
    const int first = index < 0 ? 0 : index;
    if (fixed > 0 && first + count > fixed) return kOfxStatErrBadIndex;
    for (int i = 0; i < count && type == Type::Int && refusePluginSetInt; ++i)
      if (refusePluginSetInt(name, static_cast<const int*>(values)[i])) return kOfxStatFailed;
    if (index < 0 && fixed == 0) {  // all values of a variable count: the count becomes the one set
      p.ints.clear(), p.doubles.clear(), p.strings.clear(), p.pointers.clear();
    }
    for (int i = 0; i < count; ++i) store(p, first + i, values, i);
  }
  if (onPluginSet) onPluginSet(name);
  return kOfxStatOK;
}

OfxStatus PropertySet::suiteGet(const char* name, int index, Type type, void* value) const {
  if (!name || !value) return kOfxStatErrBadHandle;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = props_.find(name);
  // A property of another type is not the one asked for.
  if (it == props_.end() || it->second.type != type) return kOfxStatErrUnknown;
  const Property& p = it->second;
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
  const Property* initial = nullptr;
  if (sealedValues_) {
    auto sealedValue = sealedValues_->find(name);
    if (sealedValue != sealedValues_->end() && sealedValue->second.type == it->second.type)
      initial = &sealedValue->second;
  }
  if (initial) {
    it->second = *initial;
  } else {
    Property empty;
    empty.type = it->second.type;
    empty.fixedDimension = it->second.fixedDimension;
    it->second = empty;
  }
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
