// How the render-options fills see parameters: through the instance's
// handles, but via a reader that fixes the time of every read. Renders read
// at the render time, the constructor at the host's current time; tests
// substitute a scripted reader and never need a host.
#pragma once

namespace OFX {
class DoubleParam;
class IntParam;
class BooleanParam;
class ChoiceParam;
}  // namespace OFX

namespace kalthorne {

class ParamReader {
public:
    virtual ~ParamReader() = default;
    virtual double read(OFX::DoubleParam* handle) const = 0;
    virtual int read(OFX::IntParam* handle) const = 0;
    virtual bool read(OFX::BooleanParam* handle) const = 0;
    virtual int read(OFX::ChoiceParam* handle) const = 0;
};

// What the constructor's first fill may change besides reading: revealing a
// control (enable, then clear secret) and forcing a switch on.
class ParamControl {
public:
    virtual ~ParamControl() = default;
    virtual void show(OFX::DoubleParam* handle) = 0;
    virtual void show(OFX::IntParam* handle) = 0;
    virtual void show(OFX::BooleanParam* handle) = 0;
    virtual void show(OFX::ChoiceParam* handle) = 0;
    virtual void setValue(OFX::BooleanParam* handle, bool value) = 0;
};

}  // namespace kalthorne
