// The user-interface services that the Qt-free core needs while it works on the user-interface thread:
// letting pending messages be processed, knowing that the application is shutting down, the state of a key and
// the system's alert sounds. The window layer installs a Qt implementation; tools and tests use the console one.
#pragma once

#include <cstdint>

namespace tarvix::platform {

// MessageBeep types.
namespace Beep {
inline constexpr uint32_t Simple = 0x1;       // MB_OK
inline constexpr uint32_t Hand = 0x10;        // MB_ICONHAND
inline constexpr uint32_t Question = 0x20;    // MB_ICONQUESTION
inline constexpr uint32_t Exclamation = 0x30; // MB_ICONEXCLAMATION
inline constexpr uint32_t Asterisk = 0x40;    // MB_ICONASTERISK
} // namespace Beep

// Virtual key codes the system asks about.
namespace VirtualKey {
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Menu = 0x12;
} // namespace VirtualKey

class MessagePump {
public:
    virtual ~MessagePump() = default;
    // Processes every pending user-interface message, then returns.
    virtual void processMessages() = 0;
    // True once the application has been told to terminate.
    virtual bool terminating() const = 0;
    // GetKeyState for the current input message: bit 0x80 set while the key is down.
    virtual uint16_t keyState(int virtualKey) const = 0;
    // The system alert sound of a MessageBeep type.
    virtual void alert(uint32_t beepType) = 0;
};

// For programs without windows: nothing to process, keys are up, alerts are silent. `requestTermination`
// lets tests and tools model an application that is shutting down.
class ConsoleMessagePump : public MessagePump {
public:
    void processMessages() override;
    bool terminating() const override { return terminating_; }
    uint16_t keyState(int) const override { return 0; }
    void alert(uint32_t) override {}
    void requestTermination(bool on = true) { terminating_ = on; }

private:
    bool terminating_ = false;
};

// The pump of the running application: the console pump until a window layer installs its own.
MessagePump& messagePump();
// Installs a pump (nullptr goes back to the console pump) and returns the previous one. The caller keeps
// ownership and must uninstall it before destroying it.
MessagePump* setMessagePump(MessagePump* pump);

} // namespace tarvix::platform
