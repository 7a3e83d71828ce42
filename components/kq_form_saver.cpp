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

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::size_t FindNoCase(std::string_view text, std::string_view what)
{
    if (what.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = 0; i + what.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < what.size() && AsciiUpper(text[i + k]) == AsciiUpper(what[k]))
            ++k;
        if (k == what.size())
            return i;
    }
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
      form_(form ? form->window() : nullptr),
      registry_(std::make_unique<TKqRegManager>(backend))
{
    registry_->SetAutoCreate(true);
    if (form_) {
        if (IsNormal(form_->windowState()))
            normalBounds_ = form_->geometry();
        form_->installEventFilter(this);
        formName_ = FormClassName();
        // A form being destroyed announces it before it deletes its children (this saver among them) and
        // while its placement can still be read: the last placement is stored then.
        connect(form_, &QObject::destroyed, this, [this] { FormDestroyed(); });
    }
}

TKqFormSaver::~TKqFormSaver()
{
    FormDestroyed();
}

void TKqFormSaver::FormDestroyed()
{
    if (!form_)
        return;
    form_->removeEventFilter(this);
    // Nobody can be told of a failure here; a placement that cannot be stored is simply not remembered.
    try {
        SaveForm();
    } catch (const std::exception&) {
    }
    form_ = nullptr;
}

void TKqFormSaver::Loaded()
{
    // The form is complete now, whatever stage of its construction made the saver.
    if (form_)
        formName_ = FormClassName();
    RestoreForm();
}

TKqRegManager& TKqFormSaver::Registry()
{
    registry_->SetRootKey(rootKey_);
    registry_->SetKey(KeyPath());
    return *registry_;
}

void TKqFormSaver::SetKey(std::string_view value)
{
    key_ = value.empty() ? std::string(DefaultKey) : std::string(value);
}

std::string TKqFormSaver::KeyPath() const
{
    static constexpr std::string_view Placeholder = "[EXENAME]";
    const std::size_t at = FindNoCase(key_, Placeholder);
    if (at == std::string::npos)
        return key_;
    return key_.substr(0, at) + ExeBaseName() + key_.substr(at + Placeholder.size());
}

std::string TKqFormSaver::GetFormName() const
{
    return formName_;
}

std::string TKqFormSaver::FormClassName() const
{
    if (!form_)
        return {};
    std::string name = form_->metaObject()->className();
    const std::size_t colons = name.rfind("::");
    if (colons != std::string::npos)
        name.erase(0, colons + 2);
    return name.empty() ? name : name.substr(1);
}

bool TKqFormSaver::HasStoredInfo()
{
    return form_ && Registry().ValueExists({}, GetFormName());
}

std::optional<TKqFormPlacement> TKqFormSaver::StoredPlacement()
{
    if (!form_)
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
    if (form_)
        Registry().DeleteValue({}, GetFormName());
}

void TKqFormSaver::EraseKey()
{
    if (form_)
        Registry().DeleteSubKey({});
}

QRect TKqFormSaver::NormalGeometry() const
{
    if (IsNormal(form_->windowState()))
        return form_->geometry();
    if (normalBounds_.isValid())
        return normalBounds_;
    if (form_->normalGeometry().isValid())
        return form_->normalGeometry();
    return form_->geometry();
}

TKqFormPlacement TKqFormSaver::Current(Qt::WindowStates state) const
{
    const QRect bounds = IsNormal(state) && IsNormal(form_->windowState()) ? form_->geometry() : NormalGeometry();
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
    if (!form_)
        return;
    TKqFormPlacement p = Current(form_->windowState());
    // Without bounds of the normal state from this run, keep the ones stored before.
    if (!IsNormal(form_->windowState()) && !normalBounds_.isValid())
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
    if (!form_ || !HasStoredInfo())
        return;
    const auto stored = StoredPlacement();
    if (!stored)
        return;
    applying_ = true;
    if (saveSize_ && saveLocation_)
        form_->setGeometry(stored->Left, stored->Top, stored->Width, stored->Height);
    else if (saveSize_)
        form_->resize(stored->Width, stored->Height);
    else if (saveLocation_)
        form_->setGeometry(stored->Left, stored->Top, form_->width(), form_->height());
    normalBounds_ = form_->geometry();
    pendingBounds_ = QRect();

    if (saveState_) {
        Qt::WindowStates state = form_->windowState() & ~OtherStates;
        if (stored->State == 2) {
            state |= Qt::WindowMaximized;
        } else if (stored->State == 1) {
            // Only a window that is not the program's first one starts minimised.
            const auto windows = QApplication::topLevelWidgets();
            const bool another = std::any_of(windows.begin(), windows.end(), [this](QWidget* w) {
                return w != form_ && w->isVisible() && !w->isMinimized();
            });
            if (another)
                state |= Qt::WindowMinimized;
        }
        form_->setWindowState(state);
    }

    if (makeVisible_ && IsNormal(form_->windowState())) {
        QRect desktop;
        for (QScreen* screen : QGuiApplication::screens())
            desktop = desktop.united(screen->availableGeometry());
        QRect g = form_->geometry();
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
        if (g != form_->geometry())
            form_->setGeometry(g);
        normalBounds_ = form_->geometry();
    }
    applying_ = false;
}

void TKqFormSaver::CenterForm()
{
    if (!form_)
        return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect work = screen->availableGeometry();
    const QSize frame = form_->frameGeometry().size();
    // Integer division truncates toward zero, also for a form larger than the work area.
    form_->move(work.x() + (work.width() - frame.width()) / 2, work.y() + (work.height() - frame.height()) / 2);
}

void TKqFormSaver::SetTitleButton(Qt::WindowType hint, bool on)
{
    if (!form_)
        return;
    const Qt::WindowFlags flags = form_->windowFlags();
    // The customize hint makes the window system show exactly the buttons named.
    Qt::WindowFlags wanted = flags | Qt::CustomizeWindowHint;
    wanted.setFlag(hint, on);
    if (wanted == flags)
        return;
    const bool visible = form_->isVisible();
    form_->setWindowFlags(wanted);
    if (visible)
        form_->show();
}

void TKqFormSaver::SetAllowMaximize(bool value)
{
    allowMaximize_ = value;
    SetTitleButton(Qt::WindowMaximizeButtonHint, value);
}

void TKqFormSaver::SetAllowMinimize(bool value)
{
    allowMinimize_ = value;
    SetTitleButton(Qt::WindowMinimizeButtonHint, value);
}

// A limit set below its counterpart moves the counterpart along; the stored values are read back from the form.
void TKqFormSaver::SetMaxHeight(uint16_t value)
{
    maxHeight_ = value;
    if (!form_)
        return;
    if (value && form_->minimumHeight() > value)
        form_->setMinimumHeight(value);
    form_->setMaximumHeight(value ? value : QWIDGETSIZE_MAX);
    ApplyLimits();
}

void TKqFormSaver::SetMinHeight(uint16_t value)
{
    minHeight_ = value;
    if (!form_)
        return;
    if (form_->maximumHeight() < value)
        form_->setMaximumHeight(value);
    form_->setMinimumHeight(value);
    ApplyLimits();
}

void TKqFormSaver::SetMaxWidth(uint16_t value)
{
    maxWidth_ = value;
    if (!form_)
        return;
    if (value && form_->minimumWidth() > value)
        form_->setMinimumWidth(value);
    form_->setMaximumWidth(value ? value : QWIDGETSIZE_MAX);
    ApplyLimits();
}

void TKqFormSaver::SetMinWidth(uint16_t value)
{
    minWidth_ = value;
    if (!form_)
        return;
    if (form_->maximumWidth() < value)
        form_->setMaximumWidth(value);
    form_->setMinimumWidth(value);
    ApplyLimits();
}

void TKqFormSaver::ApplyLimits()
{
    maxHeight_ = MaxLimit16(form_->maximumHeight());
    minHeight_ = Limit16(form_->minimumHeight());
    maxWidth_ = MaxLimit16(form_->maximumWidth());
    minWidth_ = Limit16(form_->minimumWidth());
}

void TKqFormSaver::NoteGeometry()
{
    // The window system may move or resize a window for a state change before it reports the change itself, so
    // bounds seen in the normal state count only once the events of the moment have been handled.
    pendingBounds_ = form_->geometry();
    if (confirmQueued_)
        return;
    confirmQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        confirmQueued_ = false;
        if (form_ && pendingBounds_.isValid() && IsNormal(form_->windowState()))
            normalBounds_ = pendingBounds_;
        pendingBounds_ = QRect();
    });
}

void TKqFormSaver::Refuse(Qt::WindowStates previous)
{
    applying_ = true;
    form_->setWindowState(previous);
    if (IsNormal(previous) && normalBounds_.isValid())
        form_->setGeometry(normalBounds_);
    pendingBounds_ = QRect();
    applying_ = false;
}

bool TKqFormSaver::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != form_ || applying_)
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::Resize: {
        auto* resize = static_cast<QResizeEvent*>(event);
        const bool normal = IsNormal(form_->windowState());
        if (leftOtherState_) {
            // The frame takes its normal size back after a maximised or minimised state: not a drag.
            leftOtherState_ = false;
        } else if (!allowResize_ && normal && event->spontaneous() && resize->oldSize().isValid() &&
                   resize->oldSize() != resize->size()) {
            // Dragging the frame: the size stays.
            applying_ = true;
            form_->resize(resize->oldSize());
            applying_ = false;
            return true;
        }
        if (normal)
            NoteGeometry();
        break;
    }
    case QEvent::Move:
        if (IsNormal(form_->windowState()))
            NoteGeometry();
        break;
    case QEvent::WindowStateChange: {
        const Qt::WindowStates previous = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates now = form_->windowState();
        if (IsNormal(previous) && !IsNormal(now)) {
            if (!event->spontaneous()) {
                // Set by the program: the geometry has not changed yet.
                normalBounds_ = form_->geometry();
            }
            pendingBounds_ = QRect();
        }
        if (!IsNormal(previous) && IsNormal(now))
            leftOtherState_ = true;
        if (!event->spontaneous())
            break;
        const bool maximising = (now & Qt::WindowMaximized) && !(previous & Qt::WindowMaximized);
        const bool minimising = (now & Qt::WindowMinimized) && !(previous & Qt::WindowMinimized);
        if (!maximising && !minimising)
            break;
        // The placement as it was before the request is stored first, whatever the answer.
        try {
            Store(Current(previous));
        } catch (const std::exception&) {
        }
        if ((maximising && (!allowMaximize_ || !allowResize_)) || (minimising && !allowMinimize_)) {
            Refuse(previous);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tarvix
