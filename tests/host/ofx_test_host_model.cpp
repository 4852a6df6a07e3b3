// The data model of the test host: property sets and their suite, image
// buffers, parameter curves and descriptor lookups.
#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "tests/host/ofx_test_host.h"
#include "tests/host/ofx_test_host_internal.h"

namespace ofxtest {

PropertySet* PropertySet::from(OfxPropertySetHandle h) {
  PropertySet* p = reinterpret_cast<PropertySet*>(h);
  return (p && p->magic_ == kMagic) ? p : nullptr;
}

bool PropertySet::has(const std::string& name) const {
  std::lock_guard<Mutex> lock(mutex_);
  return props_.count(name) != 0;
}

void PropertySet::declare(const std::string& name, Type type, int fixedDimension, const std::string& value) {
  Property p;
  p.fixedDimension = fixedDimension;
  const std::size_t n = std::size_t(fixedDimension);
  switch (type) {
    case Type::Int: p.values = std::vector<int>(n, std::atoi(value.c_str())); break;
    case Type::Double: p.values = std::vector<double>(n, std::strtod(value.c_str(), nullptr)); break;
    case Type::String: p.values = std::vector<std::string>(n, value); break;
    case Type::Pointer: p.values = std::vector<void*>(n, nullptr); break;
  }
  p.initial = p.values;
  std::lock_guard<Mutex> lock(mutex_);
  props_[name] = std::move(p);
}

template <class T, class C>
OfxStatus PropertySet::pluginSet(const char* name, int index, int count, const C* values) {
  std::lock_guard<Mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  Property& p = it->second;
  if (!std::holds_alternative<std::vector<T>>(p.values)) return kOfxStatErrValue;
  std::vector<T>& stored = std::get<std::vector<T>>(p.values);
  const int fixed = p.fixedDimension < 0 ? int(stored.size()) : p.fixedDimension;
  const int first = std::max(index, 0);
  if (fixed > 0 && first + count > fixed) return kOfxStatErrBadIndex;
  if constexpr (std::is_same_v<T, int>)
    for (int i = 0; i < count && onPluginSetInt; ++i)
      if (!onPluginSetInt(name, values[i])) return kOfxStatFailed;
  if (index < 0 && fixed == 0) stored.clear();  // all values of a variable count: the count becomes the one set
  if (stored.size() < std::size_t(first + count)) stored.resize(std::size_t(first + count));
  for (int i = 0; i < count; ++i) {
    if constexpr (std::is_same_v<T, std::string>) stored[std::size_t(first + i)] = values[i] ? values[i] : "";
    else stored[std::size_t(first + i)] = values[i];
  }
  return kOfxStatOK;
}

template <class T, class C>
OfxStatus PropertySet::pluginGet(const char* name, int index, C* value) const {
  std::lock_guard<Mutex> lock(mutex_);
  auto it = props_.find(name);
  // A property of another type is not the one asked for.
  if (it == props_.end() || !std::holds_alternative<std::vector<T>>(it->second.values)) return kOfxStatErrUnknown;
  const std::vector<T>& stored = std::get<std::vector<T>>(it->second.values);
  if (index < 0 || std::size_t(index) >= stored.size()) return kOfxStatErrBadIndex;
  if constexpr (std::is_same_v<T, std::string>) *value = const_cast<char*>(stored[std::size_t(index)].c_str());
  else *value = stored[std::size_t(index)];
  return kOfxStatOK;
}

OfxStatus PropertySet::pluginDimension(const char* name, int* count) const {
  std::lock_guard<Mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  *count = int(std::visit([](const auto& v) { return v.size(); }, it->second.values));
  return kOfxStatOK;
}

OfxStatus PropertySet::pluginReset(const char* name) {
  std::lock_guard<Mutex> lock(mutex_);
  auto it = props_.find(name);
  if (it == props_.end()) return kOfxStatErrUnknown;
  it->second.values = it->second.initial;
  return kOfxStatOK;
}

namespace {

// The property suite: T the stored type, C its C form.
template <class T, class C>
OfxStatus propSet(OfxPropertySetHandle h, const char* name, int index, C value) {
  PropertySet* p = PropertySet::from(h);
  if (!p || !name) return kOfxStatErrBadHandle;
  return index < 0 ? kOfxStatErrBadIndex : p->pluginSet<T>(name, index, 1, &value);
}
template <class T, class C>
OfxStatus propSetN(OfxPropertySetHandle h, const char* name, int count, const C* values) {
  PropertySet* p = PropertySet::from(h);
  if (!p || !name || count < 0 || (count > 0 && !values)) return kOfxStatErrBadHandle;
  return p->pluginSet<T>(name, -1, count, values);
}
template <class T, class C>
OfxStatus propGetN(OfxPropertySetHandle h, const char* name, int count, C* values) {
  PropertySet* p = PropertySet::from(h);
  if (!p || !name || (count > 0 && !values)) return kOfxStatErrBadHandle;
  for (int i = 0; i < count; ++i)
    if (OfxStatus s = p->pluginGet<T>(name, i, &values[i])) return s;
  return kOfxStatOK;
}
template <class T, class C>
OfxStatus propGet(OfxPropertySetHandle h, const char* name, int index, C* value) {
  PropertySet* p = PropertySet::from(h);
  if (!p || !name || !value) return kOfxStatErrBadHandle;
  return p->pluginGet<T>(name, index, value);
}
OfxStatus propReset(OfxPropertySetHandle h, const char* name) {
  PropertySet* p = PropertySet::from(h);
  return p && name ? p->pluginReset(name) : kOfxStatErrBadHandle;
}
OfxStatus propGetDimension(OfxPropertySetHandle h, const char* name, int* count) {
  PropertySet* p = PropertySet::from(h);
  return p && name && count ? p->pluginDimension(name, count) : kOfxStatErrBadHandle;
}

using S = std::string;
const OfxPropertySuiteV1 kPropertySuite = {
    propSet<void*, void*>,    propSet<S, const char*>,    propSet<double, double>,    propSet<int, int>,
    propSetN<void*, void*>,   propSetN<S, const char*>,   propSetN<double, double>,   propSetN<int, int>,
    propGet<void*, void*>,    propGet<S, char*>,          propGet<double, double>,    propGet<int, int>,
    propGetN<void*, void*>,   propGetN<S, char*>,         propGetN<double, double>,   propGetN<int, int>,
    propReset,                propGetDimension,
};

}  // namespace

const OfxPropertySuiteV1* internal::propertySuite() { return &kPropertySuite; }

// ---------------------------------------------------------------------- images

ImageBuffer::ImageBuffer(OfxRectI b, const std::string& comps, const std::string& d, int rowPaddingBytes,
                         bool bottomUp)
    : bounds(b), components(comps), depth(d) {
  componentCount = comps == kOfxImageComponentRGB ? 3 : comps == kOfxImageComponentAlpha ? 1 : 4;
  bytesPerComponent = d == kOfxBitDepthByte ? 1 : (d == kOfxBitDepthShort || d == kOfxBitDepthHalf) ? 2 : 4;
  const int w = std::max(0, b.x2 - b.x1), h = std::max(0, b.y2 - b.y1);
  const int stride = w * componentCount * bytesPerComponent + rowPaddingBytes;
  storage.assign(std::size_t(stride) * std::size_t(h) + 1, 0);
  const bool flip = bottomUp && h > 0;
  data = storage.data() + (flip ? std::size_t(stride) * std::size_t(h - 1) : 0);
  rowBytes = flip ? -stride : stride;
}

float* ImageBuffer::pixelF(int x, int y) {
  if (x < bounds.x1 || x >= bounds.x2 || y < bounds.y1 || y >= bounds.y2) return nullptr;
  return reinterpret_cast<float*>(static_cast<unsigned char*>(data) + std::ptrdiff_t(y - bounds.y1) * rowBytes +
                                  std::ptrdiff_t(x - bounds.x1) * componentCount * bytesPerComponent);
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

std::shared_ptr<ImageBuffer> ClipObject::imageAt(double time) const {
  auto it = imagesAt.find(time);
  return it != imagesAt.end() ? it->second : image;
}

std::string statusName(OfxStatus s) {
#define KALTHORNE_STATUS(x) \
  if (s == x) return #x;
  KALTHORNE_STATUS(kOfxStatOK) KALTHORNE_STATUS(kOfxStatFailed) KALTHORNE_STATUS(kOfxStatErrFatal)
  KALTHORNE_STATUS(kOfxStatErrUnknown) KALTHORNE_STATUS(kOfxStatErrMissingHostFeature)
  KALTHORNE_STATUS(kOfxStatErrUnsupported) KALTHORNE_STATUS(kOfxStatErrExists) KALTHORNE_STATUS(kOfxStatErrFormat)
  KALTHORNE_STATUS(kOfxStatErrMemory) KALTHORNE_STATUS(kOfxStatErrBadHandle) KALTHORNE_STATUS(kOfxStatErrBadIndex)
  KALTHORNE_STATUS(kOfxStatErrValue) KALTHORNE_STATUS(kOfxStatReplyYes) KALTHORNE_STATUS(kOfxStatReplyNo)
  KALTHORNE_STATUS(kOfxStatReplyDefault) KALTHORNE_STATUS(kOfxStatErrImageFormat)
#undef KALTHORNE_STATUS
  return "status " + std::to_string(s);
}

}  // namespace ofxtest
