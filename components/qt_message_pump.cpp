#include "components/qt_message_pump.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

namespace tarvix {

QtMessagePump::QtMessagePump(QObject* parent) : QObject(parent)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { quitting_ = true; });
}

void QtMessagePump::processMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

bool QtMessagePump::terminating() const
{
    return quitting_ || !QCoreApplication::instance() || QCoreApplication::closingDown();
}

uint16_t QtMessagePump::keyState(int virtualKey) const
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 0;
    Qt::KeyboardModifier modifier;
    switch (virtualKey) {
    case platform::VirtualKey::Shift:
    case 0xA0: // left Shift
    case 0xA1: // right Shift
        modifier = Qt::ShiftModifier;
        break;
    case platform::VirtualKey::Control:
    case 0xA2: // left Control
    case 0xA3: // right Control
        modifier = Qt::ControlModifier;
        break;
    case platform::VirtualKey::Menu:
    case 0xA4: // left Alt
    case 0xA5: // right Alt
        modifier = Qt::AltModifier;
        break;
    default: return 0;
    }
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier) ? 0x80 : 0;
}

void QtMessagePump::alert(uint32_t)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

ScopedQtMessagePump::ScopedQtMessagePump() : previous_(platform::setMessagePump(&pump_)) {}

ScopedQtMessagePump::~ScopedQtMessagePump()
{
    platform::setMessagePump(previous_);
}

} // namespace tarvix
