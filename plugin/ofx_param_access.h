// The parameter readers the instance hands to the fills: renders read at the
// render time so frame-threaded and background renders of animated
// parameters are right; the constructor reads at the host's current time.
// Both hold numbers to what the catalogue declares (heldToDeclared), so no
// stored value, however it got into the project, reaches the pipeline
// outside its range or non-finite.
#pragma once

#include "ofx/ofxsImageEffect.h"
#include "params/param_catalogue.h"
#include "plugin/param_access.h"

namespace kalthorne {

template <class T>
T heldToDeclared(const OFX::Param* p, T stored) {
    const params::ParamSpec* spec = params::findParamSpec(p->getName());
    return spec ? params::heldToDeclared(*spec, stored) : stored;
}

class ParamReaderAtTime : public ParamReader {
public:
    explicit ParamReaderAtTime(double time) : time_(time) {}
    double read(OFX::DoubleParam* p) const override { return heldToDeclared(p, p->getValueAtTime(time_)); }
    int read(OFX::IntParam* p) const override { return heldToDeclared(p, p->getValueAtTime(time_)); }
    bool read(OFX::BooleanParam* p) const override { return p->getValueAtTime(time_); }
    int read(OFX::ChoiceParam* p) const override { return p->getValueAtTime(time_); }

private:
    double time_;
};

class ParamReaderCurrent : public ParamReader {
public:
    double read(OFX::DoubleParam* p) const override { return heldToDeclared(p, p->getValue()); }
    int read(OFX::IntParam* p) const override { return heldToDeclared(p, p->getValue()); }
    bool read(OFX::BooleanParam* p) const override { return p->getValue(); }
    int read(OFX::ChoiceParam* p) const override { return p->getValue(); }
};

class OfxParamControl : public ParamControl {
public:
    void show(OFX::DoubleParam* p) override { reveal(p); }
    void show(OFX::IntParam* p) override { reveal(p); }
    void show(OFX::BooleanParam* p) override { reveal(p); }
    void show(OFX::ChoiceParam* p) override { reveal(p); }
    void setValue(OFX::BooleanParam* p, bool v) override { p->setValue(v); }

private:
    static void reveal(OFX::Param* p) {
        p->setEnabled(true);
        p->setIsSecret(false);
    }
};

}  // namespace kalthorne
