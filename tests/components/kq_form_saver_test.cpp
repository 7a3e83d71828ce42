// The form saver on a sandbox prefix: the record it stores (checked through the platform registry, byte for
// byte), what a restore applies, keeping the normal bounds of a maximised form, moving a form back onto the
// desktop, the key path with [EXENAME], erasing, the size limits, and the refusal of window-system requests.
#include "components/kq_form_saver.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

#include "tests/components/scripted_prefix_system.h"
#include "tests/platform/reg_value_printer.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {

// A form class of its own, so that the value name comes from it.
class TFrmTeste : public QWidget {
    Q_OBJECT
public:
    TFrmTeste() { setGeometry(100, 120, 320, 240); }
};

namespace {

using platform::RegRoot;
using platform::RegValue;

constexpr std::string_view KeyPath = "SOFTWARE\\Morvane\\Teste\\Forms";

std::string Record(int32_t left, int32_t top, int32_t width, int32_t height, uint8_t state, char filler = 0)
{
    std::string bytes;
    for (int32_t v : {left, top, width, height})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    bytes.push_back(static_cast<char>(state));
    bytes.append(3, filler);
    return bytes;
}

QRect Desktop()
{
    QRect desktop;
    for (QScreen* screen : QGuiApplication::screens())
        desktop = desktop.united(screen->availableGeometry());
    return desktop;
}

// Lets queued window-system events and zero timers run.
void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

class FormSaverTest : public ::testing::Test {
protected:
    FormSaverTest() { test::qtApplication(); }

    // A form with a saver on the test key; the saver is the form's child.
    TKqFormSaver& Attach(TFrmTeste& form)
    {
        auto* saver = new TKqFormSaver(&form);
        saver->SetKey("\\SOFTWARE\\Morvane\\Teste\\Forms");
        return *saver;
    }

    std::optional<RegValue> Raw(std::string_view path = KeyPath, std::string_view name = "FrmTeste")
    {
        auto key = system.registry().openKey(RegRoot::CurrentUser, path, platform::KeyAccess::Read, false);
        return key ? key->value(name) : std::nullopt;
    }
    void PutRaw(const RegValue& value, std::string_view path = KeyPath, std::string_view name = "FrmTeste")
    {
        system.registry()
            .openKey(RegRoot::CurrentUser, path, platform::KeyAccess::AllAccess, true)
            ->setValue(name, value);
    }
    bool KeyExists(std::string_view path = KeyPath) { return system.registry().keyExists(RegRoot::CurrentUser, path); }

    test::ScriptedPrefixSystem system;
};

TEST_F(FormSaverTest, StartsWithItsDefaults)
{
    TFrmTeste form;
    TKqFormSaver saver(&form);
    EXPECT_TRUE(saver.AllowResize());
    EXPECT_TRUE(saver.AllowMaximize());
    EXPECT_TRUE(saver.AllowMinimize());
    EXPECT_EQ(saver.Key(), "\\SOFTWARE\\Company\\Product\\Forms");
    EXPECT_TRUE(saver.MakeVisible());
    EXPECT_EQ(saver.MaxHeight(), 0);
    EXPECT_EQ(saver.MinWidth(), 0);
    EXPECT_EQ(saver.RootKey(), HKeyCurrentUser);
    EXPECT_TRUE(saver.SaveLocation());
    EXPECT_TRUE(saver.SaveSize());
    EXPECT_TRUE(saver.SaveState());
    EXPECT_EQ(saver.GetFormName(), "FrmTeste");
    saver.SetKey("");
    EXPECT_EQ(saver.Key(), "\\SOFTWARE\\Company\\Product\\Forms");
}

TEST_F(FormSaverTest, FirstRunCreatesTheKeyKeepsTheDesignAndStoresOnDestruction)
{
    auto form = std::make_unique<TFrmTeste>();
    TKqFormSaver& saver = Attach(*form);
    saver.Loaded();
    EXPECT_EQ(form->geometry(), QRect(100, 120, 320, 240));
    EXPECT_TRUE(KeyExists());
    EXPECT_FALSE(Raw().has_value());

    form->setGeometry(30, 40, 250, 150);
    form.reset();
    const auto stored = Raw();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, platform::RegType::Binary);
    EXPECT_EQ(stored->data, Record(30, 40, 250, 150, 0));
}

TEST_F(FormSaverTest, RecordBytesAreLittleEndianWithNegativeCoordinates)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    form.setGeometry(-7, -300, 0x0102, 0x0304);
    saver.SaveForm();
    const auto stored = Raw();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->data,
              std::string("\xF9\xFF\xFF\xFF\xD4\xFE\xFF\xFF\x02\x01\x00\x00\x04\x03\x00\x00\x00\x00\x00\x00", 20));
    EXPECT_EQ(TKqFormPlacement::Decode(stored->data), (TKqFormPlacement{-7, -300, 0x0102, 0x0304, 0}));
}

TEST_F(FormSaverTest, RestoreAppliesWhatTheSaveFlagsSay)
{
    struct Case {
        bool location, size;
        QRect expected;
    };
    const Case cases[] = {
        {true, true, QRect(40, 50, 300, 200)},
        {true, false, QRect(40, 50, 320, 240)},
        {false, true, QRect(100, 120, 300, 200)},
        {false, false, QRect(100, 120, 320, 240)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "location " << c.location << " size " << c.size);
        // The filler bytes mean nothing.
        PutRaw(RegValue::binary(Record(40, 50, 300, 200, 0, '\x7F')));
        TFrmTeste form;
        TKqFormSaver& saver = Attach(form);
        saver.SetSaveLocation(c.location);
        saver.SetSaveSize(c.size);
        saver.RestoreForm();
        EXPECT_EQ(form.geometry(), c.expected);
        // Whatever is restored, everything is saved.
        form.setGeometry(41, 51, 301, 201);
        saver.SaveForm();
        EXPECT_EQ(Raw()->data, Record(41, 51, 301, 201, 0));
    }
}

TEST_F(FormSaverTest, ValuesThatAreNoRecordAreIgnoredAndReplaced)
{
    const RegValue values[] = {
        RegValue::binary(Record(40, 50, 300, 200, 0) + "xxxx"), // longer than a record
        RegValue::binary(Record(40, 50, 300, 200, 0).substr(0, 16)),
        RegValue::dword(7),
        RegValue::string("40,50,300,200"),
    };
    for (const RegValue& value : values) {
        SCOPED_TRACE(testing::PrintToString(value));
        PutRaw(value);
        auto form = std::make_unique<TFrmTeste>();
        TKqFormSaver& saver = Attach(*form);
        EXPECT_NO_THROW(saver.Loaded());
        EXPECT_EQ(form->geometry(), QRect(100, 120, 320, 240));
        EXPECT_FALSE(saver.StoredPlacement().has_value());
        form.reset();
        EXPECT_EQ(Raw()->data, Record(100, 120, 320, 240, 0));
    }
}

TEST_F(FormSaverTest, RestoringAMaximisedRecordGivesItsBoundsBackOnReturnToNormal)
{
    PutRaw(RegValue::binary(Record(60, 70, 300, 200, 2)));
    auto form = std::make_unique<TFrmTeste>();
    TKqFormSaver& saver = Attach(*form);
    saver.Loaded();
    form->show();
    Settle();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_NE(form->geometry().size(), QSize(300, 200));

    // Saved while maximised: the stored bounds stay, with state 2.
    saver.SaveForm();
    EXPECT_EQ(Raw()->data, Record(60, 70, 300, 200, 2));

    form->showNormal();
    Settle();
    EXPECT_EQ(form->geometry(), QRect(60, 70, 300, 200));
    form->showMaximized();
    Settle();
    form.reset();
    EXPECT_EQ(Raw()->data, Record(60, 70, 300, 200, 2));
}

TEST_F(FormSaverTest, AFormMaximisedWithoutARecordStoresItsNormalBounds)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    form.setGeometry(50, 60, 300, 200);
    form.show();
    Settle();
    form.showMaximized();
    Settle();
    ASSERT_TRUE(form.isMaximized());
    saver.SaveForm();
    EXPECT_EQ(Raw()->data, Record(50, 60, 300, 200, 2));
}

TEST_F(FormSaverTest, MinimisedStateIsRestoredOnlyBesideAnotherWindow)
{
    PutRaw(RegValue::binary(Record(60, 70, 300, 200, 1)));
    {
        TFrmTeste first;
        Attach(first).Loaded();
        EXPECT_FALSE(first.windowState() & Qt::WindowMinimized);
    }
    PutRaw(RegValue::binary(Record(60, 70, 300, 200, 1)));
    QWidget main;
    main.show();
    TFrmTeste second;
    TKqFormSaver& saver = Attach(second);
    saver.Loaded();
    EXPECT_TRUE(second.windowState() & Qt::WindowMinimized);
    saver.SetSaveState(false);
    TFrmTeste third;
    TKqFormSaver& other = Attach(third);
    other.SetSaveState(false);
    other.Loaded();
    EXPECT_FALSE(third.windowState() & Qt::WindowMinimized);
}

TEST_F(FormSaverTest, MakeVisibleMovesAFormBackOntoTheDesktop)
{
    const QRect d = Desktop();
    ASSERT_TRUE(d.isValid());
    struct Case {
        const char* name;
        QRect stored;
        bool makeVisible;
        QPoint expected;
    };
    const Case cases[] = {
        {"left of the desktop", QRect(d.x() - 50, d.y() + 10, 300, 200), true, QPoint(d.x(), d.y() + 10)},
        {"right edge beyond", QRect(d.right() - 100, d.y() + 10, 400, 200), true,
         QPoint(d.right() + 1 - 400, d.y() + 10)},
        {"bottom edge beyond", QRect(d.x() + 5, d.bottom() - 20, 300, 200), true,
         QPoint(d.x() + 5, d.bottom() + 1 - 200)},
        {"off every screen", QRect(d.right() + 3000, d.bottom() + 3000, 300, 200), true,
         QPoint(d.right() + 1 - 300, d.bottom() + 1 - 200)},
        {"above and left", QRect(d.x() - 5000, d.y() - 70, 300, 200), true, QPoint(d.x(), d.y())},
        {"larger than the desktop", QRect(d.x() + 10, d.y() + 10, d.width() + 100, 200), true,
         QPoint(d.x(), d.y() + 10)},
        {"inside", QRect(d.x() + 10, d.y() + 20, 300, 200), true, QPoint(d.x() + 10, d.y() + 20)},
        {"not asked for", QRect(d.x() - 50, d.y() - 60, 300, 200), false, QPoint(d.x() - 50, d.y() - 60)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PutRaw(RegValue::binary(Record(c.stored.x(), c.stored.y(), c.stored.width(), c.stored.height(), 0)));
        TFrmTeste form;
        TKqFormSaver& saver = Attach(form);
        saver.SetMakeVisible(c.makeVisible);
        saver.Loaded();
        EXPECT_EQ(form.geometry().topLeft(), c.expected);
        EXPECT_EQ(form.geometry().size(), c.stored.size());
    }
}

TEST_F(FormSaverTest, MakeVisibleLeavesAMaximisedFormAlone)
{
    PutRaw(RegValue::binary(Record(-500, -400, 300, 200, 2)));
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    saver.Loaded();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_EQ(saver.NormalBounds(), QRect(-500, -400, 300, 200));
}

TEST_F(FormSaverTest, ExeNamePlaceholderInTheKey)
{
    system.sandbox.writeC("Tools/Setup.exe", "MZ");
    system.scriptedShell().executablePathAnswer = "C:\\tools\\setup.EXE";
    struct Case {
        const char* key;
        const char* path;
    };
    const Case cases[] = {
        {"\\SOFTWARE\\Morvane\\[exename]\\Forms", "\\SOFTWARE\\Morvane\\Setup\\Forms"},
        {"\\SOFTWARE\\Morvane\\[ExeName]-[EXENAME]", "\\SOFTWARE\\Morvane\\Setup-[EXENAME]"},
        {"\\SOFTWARE\\Morvane\\Forms", "\\SOFTWARE\\Morvane\\Forms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        auto form = std::make_unique<TFrmTeste>();
        TKqFormSaver& saver = Attach(*form);
        saver.SetKey(c.key);
        EXPECT_EQ(saver.Key(), c.key);
        EXPECT_EQ(saver.KeyPath(), c.path);
        form.reset();
        EXPECT_TRUE(Raw(std::string_view(c.path).substr(1)).has_value());
    }
}

TEST_F(FormSaverTest, RootKeyChoosesTheHive)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    saver.SetRootKey(HKeyLocalMachine);
    saver.SaveForm();
    EXPECT_FALSE(Raw().has_value());
    auto key = system.registry().openKey(RegRoot::LocalMachine, KeyPath, platform::KeyAccess::Read, false);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->value("FrmTeste").has_value());
    EXPECT_TRUE(saver.HasStoredInfo());
}

TEST_F(FormSaverTest, EraseValueAndEraseKey)
{
    PutRaw(RegValue::binary(Record(1, 2, 300, 200, 0)));
    PutRaw(RegValue::string("other"), KeyPath, "Other");
    PutRaw(RegValue::string("below"), std::string(KeyPath) + "\\Sub", "Below");
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    EXPECT_TRUE(saver.HasStoredInfo());

    saver.EraseValue();
    EXPECT_FALSE(Raw().has_value());
    EXPECT_TRUE(Raw(KeyPath, "Other").has_value());
    EXPECT_FALSE(saver.HasStoredInfo());

    saver.EraseKey();
    EXPECT_FALSE(KeyExists());
    EXPECT_FALSE(KeyExists(std::string(KeyPath) + "\\Sub"));
    EXPECT_TRUE(KeyExists("SOFTWARE\\Morvane\\Teste"));
}

TEST_F(FormSaverTest, CenterFormUsesTheWorkArea)
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    form.resize(301, 201);
    saver.CenterForm();
    const QSize frame = form.frameGeometry().size();
    EXPECT_EQ(form.pos(),
              QPoint(work.x() + (work.width() - frame.width()) / 2, work.y() + (work.height() - frame.height()) / 2));
    // A form wider than the work area: the division truncates toward zero.
    form.setMaximumWidth(QWIDGETSIZE_MAX);
    form.resize(work.width() + 101, 201);
    saver.CenterForm();
    EXPECT_EQ(form.pos().x(), work.x() + (work.width() - form.frameGeometry().width()) / 2);
    EXPECT_EQ(form.pos().x(), work.x() - 50);
}

TEST_F(FormSaverTest, SizeLimitsMoveTheirCounterparts)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    saver.SetMaxHeight(400);
    EXPECT_EQ(form.maximumHeight(), 400);
    saver.SetMinHeight(500);
    EXPECT_EQ(form.minimumHeight(), 500);
    EXPECT_EQ(saver.MaxHeight(), 500);

    saver.SetMinWidth(400);
    saver.SetMaxWidth(300);
    EXPECT_EQ(form.maximumWidth(), 300);
    EXPECT_EQ(saver.MinWidth(), 300);

    saver.SetMaxWidth(0);
    EXPECT_EQ(form.maximumWidth(), QWIDGETSIZE_MAX);
    EXPECT_EQ(saver.MaxWidth(), 0);
    EXPECT_EQ(saver.MinWidth(), 300);
    saver.SetMinHeight(0);
    EXPECT_EQ(form.minimumHeight(), 0);
    EXPECT_EQ(saver.MaxHeight(), 500);
}

TEST_F(FormSaverTest, AllowFlagsShowOrHideTheTitleButtons)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    form.show();
    saver.SetAllowMaximize(false);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(form.isVisible());
    saver.SetAllowMinimize(false);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    saver.SetAllowMaximize(true);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
}

// The window system's maximise and minimise requests: saved first, then carried out or turned back.
TEST_F(FormSaverTest, WindowSystemRequestsAreSavedFirstAndRefusedWhenNotAllowed)
{
    struct Case {
        const char* name;
        Qt::WindowState request;
        bool allowMaximize, allowMinimize, allowResize;
        bool refused;
    };
    const Case cases[] = {
        {"maximise allowed", Qt::WindowMaximized, true, true, true, false},
        {"maximise forbidden", Qt::WindowMaximized, false, true, true, true},
        {"maximise of a fixed-size form", Qt::WindowMaximized, true, true, false, true},
        {"minimise allowed", Qt::WindowMinimized, true, true, true, false},
        {"minimise forbidden", Qt::WindowMinimized, true, false, true, true},
        {"minimise of a form that cannot be maximised", Qt::WindowMinimized, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFrmTeste form;
        TKqFormSaver& saver = Attach(form);
        saver.SetAllowMaximize(c.allowMaximize);
        saver.SetAllowMinimize(c.allowMinimize);
        saver.SetAllowResize(c.allowResize);
        form.setGeometry(70, 80, 310, 210);
        form.show();
        Settle();
        system.registry().deleteKey(RegRoot::CurrentUser, KeyPath);

        form.windowHandle()->setWindowStates(c.request);
        Settle();
        const auto stored = Raw();
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->data, Record(70, 80, 310, 210, 0));
        if (c.refused) {
            EXPECT_EQ(form.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
            EXPECT_EQ(form.geometry(), QRect(70, 80, 310, 210));
        } else {
            EXPECT_TRUE(form.windowState() & c.request);
        }
    }
}

TEST_F(FormSaverTest, StateSetByTheProgramIsNeitherSavedNorRefused)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    saver.SetAllowMaximize(false);
    form.show();
    Settle();
    form.showMaximized();
    Settle();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_FALSE(Raw().has_value());
}

TEST_F(FormSaverTest, FixedSizeFormKeepsItsSizeWhenTheFrameIsDragged)
{
    TFrmTeste form;
    TKqFormSaver& saver = Attach(form);
    form.setGeometry(70, 80, 310, 210);
    form.show();
    Settle();
    saver.SetAllowResize(false);

    form.windowHandle()->resize(400, 300); // what dragging the frame does
    Settle();
    EXPECT_EQ(form.size(), QSize(310, 210));

    form.resize(330, 230); // the program may still resize it
    Settle();
    EXPECT_EQ(form.size(), QSize(330, 230));

    saver.SetAllowResize(true);
    form.windowHandle()->resize(400, 300);
    Settle();
    EXPECT_EQ(form.size(), QSize(400, 300));
}

TEST_F(FormSaverTest, AMaximisedFormDestroyedKeepsItsNormalBounds)
{
    auto form = std::make_unique<TFrmTeste>();
    Attach(*form);
    form->setGeometry(90, 100, 280, 190);
    form->show();
    Settle();
    form->windowHandle()->setWindowStates(Qt::WindowMaximized);
    Settle();
    ASSERT_TRUE(form->isMaximized());
    form.reset();
    EXPECT_EQ(Raw()->data, Record(90, 100, 280, 190, 2));
}

} // namespace
} // namespace tarvix

#include "kq_form_saver_test.moc"
