#include "interplay_fixture.h"

namespace interplay_test {

using ofxtest::Event;

void InterplayTest::SetUp() {
    ofxtest::HostOptions options;
    options.notifyPluginEdits = true;
    options.strictValues = true;
    host_ = std::make_unique<ofxtest::Host>(options);
    std::string error;
    ASSERT_TRUE(host_->loadAndDescribe(KALTHORNE_TEST_BUNDLE, &error)) << error;
    instance_ = host_->createInstance();
    ASSERT_EQ(instance_->createStatus(), kOfxStatOK);
    instance_->clearRecords();
}

std::vector<Write> InterplayTest::writes() const {
    std::vector<Write> out;
    for (const Event& e : instance_->events())
        if (e.kind == Event::Kind::SetValue || e.kind == Event::Kind::SetValueAtTime) out.push_back({e.name, e.value});
    return out;
}

std::vector<std::string> InterplayTest::flagCalls(const std::string& name) const {
    std::vector<std::string> out;
    for (const Event& e : instance_->events()) {
        if (e.name != name) continue;
        if (e.kind == Event::Kind::SetEnabled) out.push_back(e.value != 0 ? "E1" : "E0");
        if (e.kind == Event::Kind::SetSecret) out.push_back(e.value != 0 ? "S1" : "S0");
    }
    return out;
}

int InterplayTest::paramChanges() const {
    return count(Event::Kind::SetValue) + count(Event::Kind::SetValueAtTime) + count(Event::Kind::SetEnabled) +
           count(Event::Kind::SetSecret) + count(Event::Kind::BeginEditBlock);
}

}  // namespace interplay_test
