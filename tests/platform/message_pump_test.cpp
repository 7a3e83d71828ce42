#include "platform/message_pump.h"

#include <gtest/gtest.h>

namespace tarvix::platform {
namespace {

class CountingPump : public MessagePump {
public:
    void processMessages() override { ++processed; }
    bool terminating() const override { return false; }
    uint16_t keyState(int key) const override { return key == VirtualKey::Shift ? 0x80 : 0; }
    void alert(uint32_t) override {}
    int processed = 0;
};

TEST(MessagePump, ConsolePumpUntilAWindowLayerInstallsItsOwn)
{
    MessagePump& console = messagePump();
    EXPECT_EQ(console.keyState(VirtualKey::Shift), 0);

    CountingPump pump;
    EXPECT_EQ(setMessagePump(&pump), nullptr);
    messagePump().processMessages();
    EXPECT_EQ(pump.processed, 1);
    EXPECT_EQ(messagePump().keyState(VirtualKey::Shift), 0x80);

    EXPECT_EQ(setMessagePump(nullptr), &pump);
    EXPECT_EQ(&messagePump(), &console);
}

TEST(MessagePump, ConsolePumpReportsRequestedTermination)
{
    ConsoleMessagePump pump;
    EXPECT_FALSE(pump.terminating());
    pump.requestTermination();
    EXPECT_TRUE(pump.terminating());
}

} // namespace
} // namespace tarvix::platform
