#include "components/kq_form_saver.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstring>
#include <exception>

#include "components/kq_lib_functions.h"
#include "components/kq_registry.h"
#include "platform/ascii_case.h"
#include "platform/system.h"

namespace tarvix {
namespace {

constexpr Qt::WindowStates OtherStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

bool IsNormal(Qt::WindowStates state)
{
    return !(state & OtherStates);
}

void PutInt32(char* at, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t GetInt32(const char* at)
{
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    return static_cast<int32_t>(u);
}

uint16_t Limit16(int value)
{
    return static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF));
}

// A maximum of QWIDGETSIZE_MAX is no limit, which the saver calls 0.
uint16_t MaxLimit16(int value)
{
    return value >= QWIDGETSIZE_MAX ? 0 : Limit16(value);
}

std::size_t FindNoCase(std::string_view text, std::string_view what)
{
    if (what.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = 0; i + what.size() <= text.size(); ++i)
        if (platform::startsWithIgnoringAsciiCase(text.substr(i), what))
            return i;
    return std::string_view::npos;
}

// The executable's file name without its extension ("Setup" for C:\Tools\Setup.exe).
std::string ExeBaseName()
{
    std::string path = ExeName();
    if (path.empty())
        path = platform::current().shell().executablePath();
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// TKqFormPlacement

std::array<char, TKqFormPlacement::Size> TKqFormPlacement::Encode() const
{
    std::array<char, Size> bytes{};
    PutInt32(&bytes[0], Left);
    PutInt32(&bytes[4], Top);
    PutInt32(&bytes[8], Width);
    PutInt32(&bytes[12], Height);
    bytes[16] = static_cast<char>(State);
    return bytes;
}

std::optional<TKqFormPlacement> TKqFormPlacement::Decode(std::string_view bytes)
{
    if (bytes.size() < static_cast<std::size_t>(Size))
        return std::nullopt;
    TKqFormPlacement p;
    p.Left = GetInt32(&bytes[0]);
    p.Top = GetInt32(&bytes[4]);
    p.Width = GetInt32(&bytes[8]);
    p.Height = GetInt32(&bytes[12]);
    p.State = static_cast<uint8_t>(bytes[16]);
    return p;
}

// ---------------------------------------------------------------------------------------------------------------
// TKqFormSaver

TKqFormSaver::TKqFormSaver(QWidget* form, platform::Registry* backend)
    : QObject(form ? form->window() : nullptr),
      FForm(form ? form->window() : nullptr),
      FRegistry(std::make_unique<TKqRegManager>(backend))
{
    FRegistry->SetAutoCreate(true);
    if (FForm) {
        if (IsNormal(FForm->windowState()))
            FNormalBounds = FForm->geometry();
        FForm->installEventFilter(this);
        FFormName = FormClassName();
        // A form being destroyed announces it before it deletes its children (this saver among them) and
        // while its placement can still be read: the last placement is stored then.
        connect(FForm, &QObject::destroyed, this, [this] { FormDestroyed(); });
    }
}

TKqFormSaver::~TKqFormSaver()
{
    FormDestroyed();
}

void TKqFormSaver::FormDestroyed()
{
    if (!FForm)
        return;
    FForm->removeEventFilter(this);
    // Nobody can be told of a failure here; a placement that cannot be stored is simply not remembered.
    try {
        SaveForm();
    } catch (const std::exception&) {}
    FForm = nullptr;
}

void TKqFormSaver::Loaded()
{
    // The form is complete now, whatever stage of its construction made the saver.
    if (FForm)
        FFormName = FormClassName();
    RestoreForm();
}

TKqRegManager& TKqFormSaver::Registry()
{
    FRegistry->SetRootKey(FRootKey);
    FRegistry->SetKey(KeyPath());
    return *FRegistry;
}

void TKqFormSaver::SetKey(std::string_view value)
{
    FKey = value.empty() ? std::string(DefaultKey) : std::string(value);
}

std::string TKqFormSaver::KeyPath() const
{
    static constexpr std::string_view Placeholder = "[EXENAME]";
    const std::size_t at = FindNoCase(FKey, Placeholder);
    if (at == std::string::npos)
        return FKey;
    return FKey.substr(0, at) + ExeBaseName() + FKey.substr(at + Placeholder.size());
}

std::string TKqFormSaver::GetFormName() const
{
    return FFormName;
}

std::string TKqFormSaver::FormClassName() const
{
    if (!FForm)
        return {};
    std::string name = FForm->metaObject()->className();
    const std::size_t colons = name.rfind("::");
    if (colons != std::string::npos)
        name.erase(0, colons + 2);
    return name.empty() ? name : name.substr(1);
}

bool TKqFormSaver::HasStoredInfo()
{
    return FForm && Registry().ValueExists({}, GetFormName());
}

std::optional<TKqFormPlacement> TKqFormSaver::StoredPlacement()
{
    if (!FForm)
        return std::nullopt;
    std::array<char, TKqFormPlacement::Size> bytes{};
    int size = -1;
    try {
        size = Registry().ReadBinaryData({}, GetFormName(), bytes.data(), TKqFormPlacement::Size);
    } catch (const ERegistryException&) {
        // Longer than a record: not one of ours. It is replaced at the next save.
        return std::nullopt;
    }
    if (size != TKqFormPlacement::Size)
        return std::nullopt;
    return TKqFormPlacement::Decode(std::string_view(bytes.data(), bytes.size()));
}

void TKqFormSaver::Store(const TKqFormPlacement& placement)
{
    const auto bytes = placement.Encode();
    Registry().WriteBinaryData({}, GetFormName(), bytes.data(), TKqFormPlacement::Size);
}

void TKqFormSaver::EraseValue()
{
    if (FForm)
        Registry().DeleteValue({}, GetFormName());
}

void TKqFormSaver::EraseKey()
{
    if (FForm)
        Registry().DeleteSubKey({});
}

QRect TKqFormSaver::NormalGeometry() const
{
    if (IsNormal(FForm->windowState()))
        return FForm->geometry();
    if (FNormalBounds.isValid())
        return FNormalBounds;
    if (FForm->normalGeometry().isValid())
        return FForm->normalGeometry();
    return FForm->geometry();
}

TKqFormPlacement TKqFormSaver::Current(Qt::WindowStates state) const
{
    const QRect bounds = IsNormal(state) && IsNormal(FForm->windowState()) ? FForm->geometry() : NormalGeometry();
    TKqFormPlacement p;
    p.Left = bounds.left();
    p.Top = bounds.top();
    p.Width = bounds.width();
    p.Height = bounds.height();
    p.State = (state & Qt::WindowMinimized) ? 1 : (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? 2 : 0;
    return p;
}

void TKqFormSaver::SaveForm()
{
    if (!FForm)
        return;
    TKqFormPlacement p = Current(FForm->windowState());
    // Without bounds of the normal state from this run, keep the ones stored before.
    if (!IsNormal(FForm->windowState()) && !FNormalBounds.isValid())
        if (const auto stored = StoredPlacement()) {
            p.Left = stored->Left;
            p.Top = stored->Top;
            p.Width = stored->Width;
            p.Height = stored->Height;
        }
    Store(p);
}

void TKqFormSaver::RestoreForm()
{
    if (!FForm || !HasStoredInfo())
        return;
    const auto stored = StoredPlacement();
    if (!stored)
        return;
    FApplying = true;
    if (FSaveSize && FSaveLocation)
        FForm->setGeometry(stored->Left, stored->Top, stored->Width, stored->Height);
    else if (FSaveSize)
        FForm->resize(stored->Width, stored->Height);
    else if (FSaveLocation)
        FForm->setGeometry(stored->Left, stored->Top, FForm->width(), FForm->height());
    FNormalBounds = FForm->geometry();
    FPendingBounds = QRect();

    if (FSaveState) {
        Qt::WindowStates state = FForm->windowState() & ~OtherStates;
        if (stored->State == 2) {
            state |= Qt::WindowMaximized;
        } else if (stored->State == 1) {
            // Only a window that is not the program's first one starts minimised.
            const auto windows = QApplication::topLevelWidgets();
            const bool another = std::any_of(windows.begin(), windows.end(), [this](QWidget* w) {
                return w != FForm && w->isVisible() && !w->isMinimized();
            });
            if (another)
                state |= Qt::WindowMinimized;
        }
        FForm->setWindowState(state);
    }

    if (FMakeVisible && IsNormal(FForm->windowState())) {
        QRect desktop;
        for (QScreen* screen : QGuiApplication::screens())
            desktop = desktop.united(screen->availableGeometry());
        QRect g = FForm->geometry();
        if (desktop.isValid()) {
            const int right = desktop.x() + desktop.width();
            const int bottom = desktop.y() + desktop.height();
            if (g.x() + g.width() > right)
                g.moveLeft(g.x() - (g.x() + g.width() - right));
            if (g.y() + g.height() > bottom)
                g.moveTop(g.y() - (g.y() + g.height() - bottom));
            if (g.x() < desktop.x())
                g.moveLeft(desktop.x());
            if (g.y() < desktop.y())
                g.moveTop(desktop.y());
        }
        if (g != FForm->geometry())
            FForm->setGeometry(g);
        FNormalBounds = FForm->geometry();
    }
    FApplying = false;
}

void TKqFormSaver::CenterForm()
{
    if (!FForm)
        return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect work = screen->availableGeometry();
    const QSize frame = FForm->frameGeometry().size();
    // Integer division truncates toward zero, also for a form larger than the work area.
    FForm->move(work.x() + (work.width() - frame.width()) / 2, work.y() + (work.height() - frame.height()) / 2);
}

void TKqFormSaver::SetTitleButton(Qt::WindowType hint, bool on)
{
    if (!FForm)
        return;
    const Qt::WindowFlags flags = FForm->windowFlags();
    // The customize hint makes the window system show exactly the buttons named.
    Qt::WindowFlags wanted = flags | Qt::CustomizeWindowHint;
    wanted.setFlag(hint, on);
    if (wanted == flags)
        return;
    const bool visible = FForm->isVisible();
    FForm->setWindowFlags(wanted);
    if (visible)
        FForm->show();
}

void TKqFormSaver::SetAllowMaximize(bool value)
{
    FAllowMaximize = value;
    SetTitleButton(Qt::WindowMaximizeButtonHint, value);
}

void TKqFormSaver::SetAllowMinimize(bool value)
{
    FAllowMinimize = value;
    SetTitleButton(Qt::WindowMinimizeButtonHint, value);
}

// A limit set below its counterpart moves the counterpart along; the stored values are read back from the form.
void TKqFormSaver::SetMaxHeight(uint16_t value)
{
    FMaxHeight = value;
    if (!FForm)
        return;
    if (value && FForm->minimumHeight() > value)
        FForm->setMinimumHeight(value);
    FForm->setMaximumHeight(value ? value : QWIDGETSIZE_MAX);
    ApplyLimits();
}

void TKqFormSaver::SetMinHeight(uint16_t value)
{
    FMinHeight = value;
    if (!FForm)
        return;
    if (FForm->maximumHeight() < value)
        FForm->setMaximumHeight(value);
    FForm->setMinimumHeight(value);
    ApplyLimits();
}

void TKqFormSaver::SetMaxWidth(uint16_t value)
{
    FMaxWidth = value;
    if (!FForm)
        return;
    if (value && FForm->minimumWidth() > value)
        FForm->setMinimumWidth(value);
    FForm->setMaximumWidth(value ? value : QWIDGETSIZE_MAX);
    ApplyLimits();
}

void TKqFormSaver::SetMinWidth(uint16_t value)
{
    FMinWidth = value;
    if (!FForm)
        return;
    if (FForm->maximumWidth() < value)
        FForm->setMaximumWidth(value);
    FForm->setMinimumWidth(value);
    ApplyLimits();
}

void TKqFormSaver::ApplyLimits()
{
    FMaxHeight = MaxLimit16(FForm->maximumHeight());
    FMinHeight = Limit16(FForm->minimumHeight());
    FMaxWidth = MaxLimit16(FForm->maximumWidth());
    FMinWidth = Limit16(FForm->minimumWidth());
}

void TKqFormSaver::NoteGeometry()
{
    // The window system may move or resize a window for a state change before it reports the change itself, so
    // bounds seen in the normal state count only once the events of the moment have been handled.
    FPendingBounds = FForm->geometry();
    if (FConfirmQueued)
        return;
    FConfirmQueued = true;
    QTimer::singleShot(0, this, [this] {
        FConfirmQueued = false;
        if (FForm && FPendingBounds.isValid() && IsNormal(FForm->windowState()))
            FNormalBounds = FPendingBounds;
        FPendingBounds = QRect();
    });
}

void TKqFormSaver::Refuse(Qt::WindowStates previous)
{
    FApplying = true;
    FForm->setWindowState(previous);
    if (IsNormal(previous) && FNormalBounds.isValid())
        FForm->setGeometry(FNormalBounds);
    FPendingBounds = QRect();
    FApplying = false;
}

bool TKqFormSaver::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FForm || FApplying)
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::Resize: {
        auto* resize = static_cast<QResizeEvent*>(event);
        const bool normal = IsNormal(FForm->windowState());
        if (FLeftOtherState) {
            // The frame takes its normal size back after a maximised or minimised state: not a drag.
            FLeftOtherState = false;
        } else if (!FAllowResize && normal && event->spontaneous() && resize->oldSize().isValid() &&
                   resize->oldSize() != resize->size()) {
            // Dragging the frame: the size stays.
            FApplying = true;
            FForm->resize(resize->oldSize());
            FApplying = false;
            return true;
        }
        if (normal)
            NoteGeometry();
        break;
    }
    case QEvent::Move:
        if (IsNormal(FForm->windowState()))
            NoteGeometry();
        break;
    case QEvent::WindowStateChange: {
        const Qt::WindowStates previous = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates now = FForm->windowState();
        if (IsNormal(previous) && !IsNormal(now)) {
            if (!event->spontaneous()) {
                // Set by the program: the geometry has not changed yet.
                FNormalBounds = FForm->geometry();
            }
            FPendingBounds = QRect();
        }
        if (!IsNormal(previous) && IsNormal(now))
            FLeftOtherState = true;
        if (!event->spontaneous())
            break;
        const bool maximising = (now & Qt::WindowMaximized) && !(previous & Qt::WindowMaximized);
        const bool minimising = (now & Qt::WindowMinimized) && !(previous & Qt::WindowMinimized);
        if (!maximising && !minimising)
            break;
        // The placement as it was before the request is stored first, whatever the answer.
        try {
            Store(Current(previous));
        } catch (const std::exception&) {}
        if ((maximising && (!FAllowMaximize || !FAllowResize)) || (minimising && !FAllowMinimize)) {
            Refuse(previous);
            return true;
        }
        break;
    }
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tarvix
