// A scripted stand-in for the instance's parameters: every handle is a
// distinct fake address that only this reader understands, values start at
// the catalogue's defaults, and every read, show and write is logged by name.
#pragma once

#include <map>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plugin/param_access.h"
#include "plugin/param_handle_set.h"

class FakeParams : public kalthorne::ParamReader, public kalthorne::ParamControl {
public:
    using Values = std::initializer_list<std::pair<const char*, double>>;

    FakeParams();
    explicit FakeParams(Values values) : FakeParams() { set(values); }

    KalthorneParamHandles h;

    void set(const std::string& name, double value);
    void set(Values values) {
        for (const auto& v : values) set(v.first, v.second);
    }
    double value(const std::string& name) const;

    double read(OFX::DoubleParam* p) const override { return logRead(p); }
    int read(OFX::IntParam* p) const override { return static_cast<int>(logRead(p)); }
    bool read(OFX::BooleanParam* p) const override { return logRead(p) != 0.0; }
    int read(OFX::ChoiceParam* p) const override { return static_cast<int>(logRead(p)); }

    void show(OFX::DoubleParam* p) override { shown.push_back(nameOf(p)); }
    void show(OFX::IntParam* p) override { shown.push_back(nameOf(p)); }
    void show(OFX::BooleanParam* p) override { shown.push_back(nameOf(p)); }
    void show(OFX::ChoiceParam* p) override { shown.push_back(nameOf(p)); }
    void setValue(OFX::BooleanParam* p, bool v) override;

    bool wasRead(const std::string& name) const;
    void clearLog() { reads.clear(); shown.clear(); writes.clear(); }

    mutable std::vector<std::string> reads;
    std::vector<std::string> shown;
    std::vector<std::string> writes;

private:
    double logRead(const void* handle) const;
    const std::string& nameOf(const void* handle) const;

    std::unordered_map<const void*, std::string> names_;
    std::map<std::string, double> values_;
};
