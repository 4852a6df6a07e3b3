#include "looks/interplay_host.h"

#include <cmath>
#include <stdexcept>
#include <unordered_map>

#include "ofx/ofxsParam.h"
#include "params/param_handles.h"
#include "plugin/param_handle_set.h"

namespace kalthorne {
namespace looks {
namespace {

using Getter = OFX::Param* (*)(const KalthorneParamHandles&);
struct Slot {
    HandleType type;
    Getter get;
};

constexpr HandleType handleTypeOf(OFX::DoubleParam*) { return HandleType::Double; }
constexpr HandleType handleTypeOf(OFX::IntParam*) { return HandleType::Int; }
constexpr HandleType handleTypeOf(OFX::BooleanParam*) { return HandleType::Boolean; }
constexpr HandleType handleTypeOf(OFX::ChoiceParam*) { return HandleType::Choice; }

const std::unordered_map<std::string, Slot>& slotTable() {
    static const std::unordered_map<std::string, Slot> table = {
#define KALTHORNE_LOOKUP_ROW(Type, Name)                                                     \
    {KALTHORNE_PARAM_KEY(Name),                                                             \
     {handleTypeOf(static_cast<OFX::Type*>(nullptr)),                                        \
      [](const KalthorneParamHandles& h) -> OFX::Param* { return h.m_##Name; }}},
        KALTHORNE_PARAM_HANDLES(KALTHORNE_LOOKUP_ROW)
#undef KALTHORNE_LOOKUP_ROW
    };
    return table;
}

}  // namespace

HandleRef findHandle(const KalthorneParamHandles& handles, const std::string& name) {
    const auto& table = slotTable();
    const auto it = table.find(name);
    if (it == table.end()) return {HandleType::Double, nullptr};
    return {it->second.type, it->second.get(handles)};
}

HandleRef InterplayHost::require(const std::string& name) const {
    const HandleRef ref = findHandle(handles_, name);
    if (!ref.param) throw std::runtime_error("no parameter handle for " + name);
    return ref;
}

template <class F>
void InterplayHost::guarded(F&& call) noexcept {
    try {
        call();
    } catch (...) {
        ++failures_;
    }
}

double InterplayHost::readDouble(const std::string& name) const {
    const HandleRef ref = require(name);
    if (ref.type != HandleType::Double) throw std::runtime_error(name + " is not a double");
    return static_cast<OFX::DoubleParam*>(ref.param)->getValueAtTime(time_);
}

int InterplayHost::readInt(const std::string& name) const {
    const HandleRef ref = require(name);
    if (ref.type == HandleType::Int) return static_cast<OFX::IntParam*>(ref.param)->getValueAtTime(time_);
    if (ref.type == HandleType::Choice) return static_cast<OFX::ChoiceParam*>(ref.param)->getValueAtTime(time_);
    throw std::runtime_error(name + " is not an integer");
}

bool InterplayHost::readBool(const std::string& name) const {
    const HandleRef ref = require(name);
    if (ref.type != HandleType::Boolean) throw std::runtime_error(name + " is not a boolean");
    return static_cast<OFX::BooleanParam*>(ref.param)->getValueAtTime(time_);
}

void InterplayHost::write(const PresetWrite& w) {
    guarded([&] {
        const HandleRef ref = require(w.name);
        // The handle's own kind decides the call; the write's kind only
        // documents the table.
        switch (ref.type) {
            case HandleType::Double:
                static_cast<OFX::DoubleParam*>(ref.param)->setValue(w.value);
                break;
            case HandleType::Int:
                static_cast<OFX::IntParam*>(ref.param)->setValue(static_cast<int>(std::lround(w.value)));
                break;
            case HandleType::Choice:
                static_cast<OFX::ChoiceParam*>(ref.param)->setValue(static_cast<int>(std::lround(w.value)));
                break;
            case HandleType::Boolean:
                static_cast<OFX::BooleanParam*>(ref.param)->setValue(w.value != 0.0);
                break;
        }
    });
}

void InterplayHost::writeAll(const PresetWrites& writes) {
    for (const PresetWrite& w : writes) write(w);
}

// Both flags are attempted even when the first is refused: a control ends up
// as close to the rule as the host allows.
void InterplayHost::show(const std::string& name) {
    OFX::Param* p = nullptr;
    guarded([&] { p = require(name).param; });
    if (!p) return;
    guarded([&] { p->setEnabled(true); });
    guarded([&] { p->setIsSecret(false); });
}

void InterplayHost::hide(const std::string& name) {
    OFX::Param* p = nullptr;
    guarded([&] { p = require(name).param; });
    if (!p) return;
    guarded([&] { p->setEnabled(false); });
    guarded([&] { p->setIsSecret(true); });
}

InterplayHost::EditBlock::EditBlock(InterplayHost& host, const std::string& label) : host_(host) {
    host_.guarded([&] {
        host_.paramSet_.beginEditBlock(label);
        open_ = true;
    });
}

InterplayHost::EditBlock::~EditBlock() {
    if (open_) host_.guarded([&] { host_.paramSet_.endEditBlock(); });
}

}  // namespace looks
}  // namespace kalthorne
