#include "fake_params.h"

#include <algorithm>
#include <stdexcept>

#include "params/param_table.h"

namespace {
// Never dereferenced: only the fake reader turns these back into names.
char gHandleAddresses[KALTHORNE_PARAM_HANDLE_COUNT];
}  // namespace

FakeParams::FakeParams() {
    int next = 0;
#define KALTHORNE_FAKE_HANDLE(Type, Name)                                             \
    h.m_##Name = reinterpret_cast<OFX::Type*>(&gHandleAddresses[next++]);         \
    names_[h.m_##Name] = #Name;
    KALTHORNE_PARAM_HANDLES(KALTHORNE_FAKE_HANDLE)
#undef KALTHORNE_FAKE_HANDLE

#define KALTHORNE_FAKE_DEFAULT(A, Kind, Name, Label, Hint, Default, Low, High, Attr) \
    values_[#Name] = static_cast<double>(Default);
    KALTHORNE_PARAM_TABLE(KALTHORNE_FAKE_DEFAULT, unused)
#undef KALTHORNE_FAKE_DEFAULT
}

void FakeParams::set(const std::string& name, double v) {
    if (!values_.count(name)) throw std::invalid_argument("no parameter " + name);
    values_[name] = v;
}

double FakeParams::value(const std::string& name) const { return values_.at(name); }

void FakeParams::setValue(OFX::BooleanParam* p, bool v) {
    writes.push_back(nameOf(p));
    values_[nameOf(p)] = v ? 1.0 : 0.0;
}

bool FakeParams::wasRead(const std::string& name) const {
    return std::find(reads.begin(), reads.end(), name) != reads.end();
}

double FakeParams::logRead(const void* handle) const {
    const std::string& name = nameOf(handle);
    reads.push_back(name);
    return values_.at(name);
}

const std::string& FakeParams::nameOf(const void* handle) const {
    auto it = names_.find(handle);
    if (it == names_.end()) throw std::logic_error("unknown handle");
    return it->second;
}
