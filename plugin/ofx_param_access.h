// The parameter readers the instance hands to the fills: renders read at the
// render time so frame-threaded and background renders of animated
// parameters are right; the constructor reads at the host's current time.
#pragma once

#include "ofx/ofxsImageEffect.h"
#include "plugin/param_access.h"

namespace kalthorne {

class ParamReaderAtTime : public ParamReader {
public:
    explicit ParamReaderAtTime(double time) : time_(time) {}
    double read(OFX::DoubleParam* p) const override { return p->getValueAtTime(time_); }
    int read(OFX::IntParam* p) const override { return p->getValueAtTime(time_); }
    bool read(OFX::BooleanParam* p) const override { return p->getValueAtTime(time_); }
    int read(OFX::ChoiceParam* p) const override { return p->getValueAtTime(time_); }

private:
    double time_;
};

class ParamReaderCurrent : public ParamReader {
public:
    double read(OFX::DoubleParam* p) const override { return p->getValue(); }
    int read(OFX::IntParam* p) const override { return p->getValue(); }
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
