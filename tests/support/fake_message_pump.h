// A message pump for tests of code that lets pending messages be processed: it counts the passes, runs a hook
// on each pass (standing in for the event handlers a real pump would dispatch), and reports the termination
// flag and key states the test sets. ScopedMessagePump installs a pump for one scope.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/message_pump.h"

namespace tarvix::test {

class FakeMessagePump : public platform::MessagePump {
public:
    void processMessages() override
    {
        ++passes;
        if (onProcess)
            onProcess(*this);
    }
    bool terminating() const override { return terminate; }
    uint16_t keyState(int virtualKey) const override
    {
        const auto it = keys.find(virtualKey);
        return it == keys.end() ? 0 : it->second;
    }
    void alert(uint32_t beepType) override { alerts.push_back(beepType); }

    int passes = 0;
    bool terminate = false;
    std::map<int, uint16_t> keys; // virtual key -> GetKeyState value
    std::vector<uint32_t> alerts; // beep types, in order
    std::function<void(FakeMessagePump&)> onProcess;
};

class ScopedMessagePump {
public:
    explicit ScopedMessagePump(platform::MessagePump& pump) : previous_(platform::setMessagePump(&pump)) {}
    ~ScopedMessagePump() { platform::setMessagePump(previous_); }
    ScopedMessagePump(const ScopedMessagePump&) = delete;
    ScopedMessagePump& operator=(const ScopedMessagePump&) = delete;

private:
    platform::MessagePump* previous_;
};

} // namespace tarvix::test
