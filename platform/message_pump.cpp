#include "platform/message_pump.h"

namespace tarvix::platform {

void ConsoleMessagePump::processMessages() {}

namespace {
ConsoleMessagePump& consolePump()
{
    static ConsoleMessagePump pump;
    return pump;
}

MessagePump* installedPump = nullptr;
} // namespace

MessagePump& messagePump()
{
    return installedPump ? *installedPump : consolePump();
}

MessagePump* setMessagePump(MessagePump* pump)
{
    MessagePump* previous = installedPump;
    installedPump = pump;
    return previous;
}

} // namespace tarvix::platform
