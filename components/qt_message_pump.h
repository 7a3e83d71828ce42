// The message pump of a Qt application: what the Qt-free core calls while it works on the user-interface thread
// (processing pending events, noticing that the application is quitting, asking for modifier keys, alert
// sounds) goes to Qt here.
#pragma once

#include <QObject>

#include "platform/message_pump.h"

namespace tarvix {

class QtMessagePump : public QObject, public platform::MessagePump {
    Q_OBJECT
public:
    // Needs a QCoreApplication (a QGuiApplication for keyState and alert to mean anything).
    explicit QtMessagePump(QObject* parent = nullptr);

    void processMessages() override;
    // True once the application has started to quit (aboutToQuit was emitted) or is being torn down.
    bool terminating() const override;
    // Shift, Control and Alt (also their left and right variants); every other key reads as up.
    uint16_t keyState(int virtualKey) const override;
    // Qt has one alert sound; every beep type plays it.
    void alert(uint32_t beepType) override;

private:
    bool quitting_ = false;
};

// Installs a QtMessagePump as the application's pump for the lifetime of the object and puts the previous
// pump back afterwards. Create it after the QApplication, destroy it before.
class ScopedQtMessagePump {
public:
    ScopedQtMessagePump();
    ~ScopedQtMessagePump();
    ScopedQtMessagePump(const ScopedQtMessagePump&) = delete;
    ScopedQtMessagePump& operator=(const ScopedQtMessagePump&) = delete;

    QtMessagePump& pump() { return pump_; }

private:
    QtMessagePump pump_;
    platform::MessagePump* previous_;
};

} // namespace tarvix
