// The interplay's view of the host during one parameter change: reads at the
// change's time, writes and show/hide through the instance's handles, edit
// blocks on its parameter set. Every write and flag change is guarded: a call
// the host refuses is counted and the rest still happen, so a group is never
// left half shown by one refusal and the next user edit sets it whole again.
#pragma once

#include <string>

#include "looks/preset_write.h"

struct KalthorneParamHandles;
namespace OFX {
class Param;
class ParamSet;
}  // namespace OFX

namespace kalthorne {
namespace looks {

enum class HandleType { Double, Int, Boolean, Choice };

struct HandleRef {
    HandleType type;
    OFX::Param* param;  // nullptr when the name is unknown or not fetched
};

// The instance's m_<Name> handle for a parameter name.
HandleRef findHandle(const KalthorneParamHandles& handles, const std::string& name);

class InterplayHost {
public:
    InterplayHost(OFX::ParamSet& paramSet, const KalthorneParamHandles& handles, double time)
        : paramSet_(paramSet), handles_(handles), time_(time) {}

    // Reads throw when the host refuses: a decision cannot be made without them.
    double readDouble(const std::string& name) const;
    int readInt(const std::string& name) const;  // Int and Choice parameters
    bool readBool(const std::string& name) const;

    void write(const PresetWrite& w);
    void writeAll(const PresetWrites& writes);
    void setDouble(const std::string& name, double v) { write({name, WriteKind::Double, v}); }
    void setInt(const std::string& name, int v) { write({name, WriteKind::Int, double(v)}); }
    void setBool(const std::string& name, bool v) { write({name, WriteKind::Bool, v ? 1.0 : 0.0}); }

    void show(const std::string& name);  // enable, then clear secret
    void hide(const std::string& name);  // disable, then set secret

    // Opens a labelled edit block for its lifetime; closes it on every path.
    class EditBlock {
    public:
        EditBlock(InterplayHost& host, const std::string& label);
        ~EditBlock();
        EditBlock(const EditBlock&) = delete;
        EditBlock& operator=(const EditBlock&) = delete;

    private:
        InterplayHost& host_;
        bool open_ = false;
    };

    int failures() const { return failures_; }
    double time() const { return time_; }

private:
    template <class F>
    void guarded(F&& call) noexcept;
    HandleRef require(const std::string& name) const;

    OFX::ParamSet& paramSet_;
    const KalthorneParamHandles& handles_;
    double time_;
    int failures_ = 0;
};

}  // namespace looks
}  // namespace kalthorne
