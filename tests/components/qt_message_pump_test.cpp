#include "components/qt_message_pump.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

using platform::VirtualKey::Control;
using platform::VirtualKey::Menu;
using platform::VirtualKey::Shift;

class QtMessagePumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::qtApplication(); }
};

TEST_F(QtMessagePumpTest, InstalledForItsLifetimeAndProcessesPendingEvents)
{
    platform::MessagePump* before = &platform::messagePump();
    {
        ScopedQtMessagePump scoped;
        ASSERT_EQ(&platform::messagePump(), &scoped.pump());

        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        platform::messagePump().processMessages();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(platform::messagePump().terminating());
    }
    EXPECT_EQ(&platform::messagePump(), before);
}

TEST_F(QtMessagePumpTest, ModifierKeysReadAsDownWhileHeld)
{
    QtMessagePump pump;
    QWidget widget;
    widget.show();

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifier modifier;
        std::vector<int> virtualKeys; // the generic key and its left and right variants
    };
    const Case cases[] = {
        {Qt::Key_Shift, Qt::ShiftModifier, {Shift, 0xA0, 0xA1}},
        {Qt::Key_Control, Qt::ControlModifier, {Control, 0xA2, 0xA3}},
        {Qt::Key_Alt, Qt::AltModifier, {Menu, 0xA4, 0xA5}},
    };
    for (const Case& c : cases) {
        for (int vk : c.virtualKeys)
            EXPECT_EQ(pump.keyState(vk), 0) << "before pressing, key " << vk;
        QTest::keyPress(&widget, c.key, c.modifier);
        for (int vk : c.virtualKeys)
            EXPECT_EQ(pump.keyState(vk), 0x80) << "while held, key " << vk;
        EXPECT_EQ(pump.keyState('A'), 0);
        QTest::keyRelease(&widget, c.key, Qt::NoModifier);
        for (int vk : c.virtualKeys)
            EXPECT_EQ(pump.keyState(vk), 0) << "after release, key " << vk;
    }
}

TEST_F(QtMessagePumpTest, TerminatingOnceTheApplicationQuits)
{
    QtMessagePump pump;
    EXPECT_FALSE(pump.terminating());
    bool sawDuringRun = true;
    QTimer::singleShot(0, [&] {
        sawDuringRun = pump.terminating();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_FALSE(sawDuringRun);
    EXPECT_TRUE(pump.terminating());
}

} // namespace
} // namespace tarvix
