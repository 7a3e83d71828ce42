#include "components/kq_msg_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>

#include "components/kq_color_qt.h"
#include "platform/message_pump.h"

namespace tarvix {
namespace {

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value)
{
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    return static_cast<int>(rounded);
}

void ScaleFont(QFont& font, double factor)
{
    if (font.pointSizeF() > 0)
        font.setPointSize(std::max(1, RoundHalfEven(font.pointSizeF() * factor)));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, RoundHalfEven(font.pixelSize() * factor)));
}

bool StartsAt(const QString& text, qsizetype index, QStringView tag)
{
    return QStringView(text).mid(index).startsWith(tag);
}

struct ButtonKind {
    const char* caption; // UTF-8
    const char* name;
    int modalResult;
    QStyle::StandardPixmap glyph;
    bool help;
};

// Ordinal order of TMsgDlgBtn; the row shows buttons in this order whatever order the caller named them in.
// The Close button ("&Fechar", "Btn12") answers mrClose, so a twelfth custom caption gets a button too.
const std::array<ButtonKind, 12> buttonKinds{{
    {"&Sim", "Btn1", mrYes, QStyle::SP_DialogYesButton, false},
    {"&Não", "Btn2", mrNo, QStyle::SP_DialogNoButton, false},
    {"&OK", "Btn3", mrOk, QStyle::SP_DialogOkButton, false},
    {"&Cancelar", "Btn4", mrCancel, QStyle::SP_DialogCancelButton, false},
    {"&Abortar", "Btn5", mrAbort, QStyle::SP_DialogAbortButton, false},
    {"&Repetir", "Btn6", mrRetry, QStyle::SP_DialogRetryButton, false},
    {"&Ignorar", "Btn7", mrIgnore, QStyle::SP_DialogIgnoreButton, false},
    {"&Todos", "Btn8", mrAll, QStyle::SP_DialogYesToAllButton, false},
    {"Não To&dos", "Btn9", mrNoToAll, QStyle::SP_DialogNoToAllButton, false},
    {"S&im Todos", "Btn10", mrYesToAll, QStyle::SP_DialogYesToAllButton, false},
    {"A&juda", "Btn11", mrNone, QStyle::SP_DialogHelpButton, true},
    {"&Fechar", "Btn12", mrClose, QStyle::SP_DialogCloseButton, false},
}};

const char* const modalResultProperty = "modalResult";
const char* const helpContextProperty = "helpContext";

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// TKqInternalLabel

TKqInternalLabel::TKqInternalLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TKqInternalLabel::DrawFormattedText(QRect& R, int Flags, QPainter* painter)
{
    const bool measure = (Flags & CalcRect) != 0;
    const QString caption = text();
    const QColor labelColor = palette().color(foregroundRole());
    const QColor pureRed(255, 0, 0);

    // Every walk starts from the label's own font and colour, so a style left on at the end of one pass does not
    // leak into the next.
    QFont font = this->font();
    QColor color = labelColor;
    QFontMetrics metrics(font, this);
    auto fontChanged = [&] { metrics = QFontMetrics(font, this); };

    int x = R.left();
    int y = R.top();
    int widest = R.left();
    const qsizetype length = caption.size();
    qsizetype p = 0;
    while (p < length) {
        const QChar c = caption[p];
        if (c == u'\r' || c == u'\n') {
            y += metrics.height();
            x = R.left();
            p += (c == u'\r' && p + 1 < length && caption[p + 1] == u'\n') ? 2 : 1;
        } else if (StartsAt(caption, p, u"<b>")) {
            font.setBold(!font.bold());
            fontChanged();
            p += 3;
        } else if (StartsAt(caption, p, u"<i>")) {
            font.setItalic(!font.italic());
            fontChanged();
            p += 3;
        } else if (StartsAt(caption, p, u"<u>")) {
            font.setUnderline(!font.underline());
            fontChanged();
            p += 3;
        } else if (StartsAt(caption, p, u"<r>")) {
            color = color.rgba() == pureRed.rgba() ? labelColor : pureRed;
            p += 3;
        } else if (StartsAt(caption, p, u"<c:")) {
            // The colour name must close within 30 characters; otherwise only the "<" is dropped and the rest
            // reads as plain text.
            const QStringView window = QStringView(caption).mid(p + 3, 30);
            const qsizetype close = window.indexOf(u'>');
            if (close >= 0) {
                if (std::optional<TColor> value = StringToColor(window.left(close).toUtf8().toStdString()))
                    color = ToQColor(*value, palette(), labelColor);
                p += 3 + close + 1;
            } else {
                p += 1;
            }
        } else if (StartsAt(caption, p, u"<c>")) {
            color = labelColor;
            p += 3;
        } else {
            // One character at a time (no kerning between them); a surrogate pair is one character.
            const qsizetype units = (c.isHighSurrogate() && p + 1 < length && caption[p + 1].isLowSurrogate()) ? 2 : 1;
            const QString character = caption.mid(p, units);
            if (!measure && painter) {
                painter->setFont(font);
                painter->setPen(color);
                painter->drawText(x, y + metrics.ascent(), character);
            }
            x += metrics.horizontalAdvance(character);
            p += units;
        }
        widest = std::max(widest, x);
    }

    if (measure) {
        R.setWidth(widest - R.left());
        R.setHeight(y + metrics.height() - R.top());
    }
}

void TKqInternalLabel::paintEvent(QPaintEvent*)
{
    // No background: the dialog's colour shows through.
    QPainter painter(this);
    QRect area = rect();
    DrawFormattedText(area, 0, &painter);
}

// ---------------------------------------------------------------------------------------------------------------
// TKqMsgDlgForm

TKqMsgDlgForm::TKqMsgDlgForm(TKqMsgDlg* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      FOwner(owner)
{
    // A message closing must never end the application, even when it is the last window shown.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void TKqMsgDlgForm::InstallKeyPreview()
{
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool TKqMsgDlgForm::TimerMsgActive() const
{
    return FOwner ? FOwner->FTimerMsg : Counting();
}

bool TKqMsgDlgForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Escape:
        // Cancel, whether or not a cancel button is shown. A timed (non-modal) message ignores it.
        if (isModal())
            done(mrCancel);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (TimerMsgActive()) {
            close();
            return true;
        }
        // Enter presses the button that has the focus, default button or not.
        if (auto* button = qobject_cast<QPushButton*>(watched); button && button->isEnabled()) {
            button->click();
            return true;
        }
        return false;
    default: return false;
    }
}

void TKqMsgDlgForm::keyPressEvent(QKeyEvent* event)
{
    // Esc is handled by the key preview; QDialog's own Esc handling would answer 0 instead of cancel.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TKqMsgDlgForm::reject()
{
    done(mrCancel);
}

void TKqMsgDlgForm::closeEvent(QCloseEvent* event)
{
    // A timed message cannot be closed from its frame; it goes when its countdown ends or with Enter.
    if (Counting() && event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TKqMsgDlgForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous() && FOwner && FOwner->OnShow)
        FOwner->OnShow(this);
}

void TKqMsgDlgForm::StartCountdown(int seconds, int intervalMs)
{
    FCountdownSeconds = seconds;
    FCounter = 0;
    FCountdown = new QTimer(this);
    FCountdown->setInterval(intervalMs);
    connect(FCountdown, &QTimer::timeout, this, &TKqMsgDlgForm::CountdownTick);
    FCountdown->start();
}

void TKqMsgDlgForm::CountdownTick()
{
    ++FCounter;
    QString caption = windowTitle();
    const qsizetype dash = caption.indexOf(u'-');
    if (dash >= 0)
        caption.truncate(dash + 2);
    else
        caption += QStringLiteral(" - ");
    caption += QString::number(FCountdownSeconds - FCounter) + u's';
    setWindowTitle(caption);
    if (FCounter >= FCountdownSeconds) {
        if (FOwner)
            FOwner->FTimerMsg = false;
        FCountdown->stop();
        hide();
        deleteLater();
    }
}

// ---------------------------------------------------------------------------------------------------------------
// TKqMsgDlg

TKqMsgDlg::TKqMsgDlg(QObject* owner) : QObject(owner) {}

TKqMsgDlg::~TKqMsgDlg() = default;

QString TKqMsgDlg::LabelCaption() const
{
    QString caption = QString::fromStdString(FText);
    caption.replace(QChar(FLineSeparator), QChar(u'\r'));
    return caption;
}

QString TKqMsgDlg::Caption() const
{
    if (!FTitle.empty())
        return QString::fromStdString(FTitle);
    switch (FMessageType) {
    case mtWarning: return QStringLiteral("Atenção");
    case mtError: return QStringLiteral("Erro");
    case mtInformation: return QStringLiteral("Informação");
    case mtConfirmation: return QStringLiteral("Confirmação");
    case mtCustom: break;
    }
    return QGuiApplication::applicationDisplayName();
}

std::unique_ptr<TKqMsgDlgForm> TKqMsgDlg::BuildDialog()
{
    auto form = std::make_unique<TKqMsgDlgForm>(this);
    form->setWindowTitle(Caption());
    QPalette palette = form->palette();
    palette.setColor(QPalette::Window, ToQColor(FColor, palette));
    form->setPalette(palette);
    form->setAutoFillBackground(true);

    // The content box: the client area laid out so far.
    const int indent = FIndent;
    int width = indent;
    int height = indent;
    if (FShowIcon) {
        QStyle* style = form->style();
        // The system's large-icon size: 32 at 96 dots per inch, scaled with the screen (not the style's message-box
        // icon, which is 48 under the usual Linux styles).
        const int size = qRound(32.0 * form->logicalDpiX() / 96.0);
        QIcon icon;
        switch (FMessageType) {
        case mtWarning: icon = style->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, form.get()); break;
        case mtError: icon = style->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, form.get()); break;
        case mtInformation: icon = style->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, form.get()); break;
        case mtConfirmation: icon = style->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, form.get()); break;
        case mtCustom: icon = QApplication::windowIcon(); break;
        }
        auto* image = new QLabel(form.get());
        image->setObjectName(QStringLiteral("Image"));
        image->setPixmap(icon.pixmap(size, size));
        image->setGeometry(indent, indent, size, size);
        width = indent + size;
        height = indent + size;
    }

    auto* label = new TKqInternalLabel(form.get());
    label->setObjectName(QStringLiteral("Message"));
    label->setFont(FMessageFont);
    label->setText(LabelCaption());
    QRect extent(0, 0, 0, 0);
    label->DrawFormattedText(extent, TKqInternalLabel::CalcRect);
    const int w = extent.width();
    const int h = extent.height();
    // Centred against a 32-pixel band whatever the icon's size, never above the margin.
    int top = indent + (32 - h) / 2;
    if (top < indent)
        top = indent;
    label->setGeometry(width + indent, top, w + 4, h);
    width = label->x() + label->width() + 2 * indent;
    height = std::max(height, top + h);

    int n = 0;
    for (int ordinal = 0; ordinal <= mbClose; ++ordinal)
        if (FButtons.Contains(ordinal))
            ++n;
    const int rowWidth = n * FBtnWidth + (n - 1) * FBtnSpace;
    int start = (width - rowWidth) / 2;
    if (start < 0)
        start = indent;
    const int buttonTop = height + indent;
    std::vector<QPushButton*> tabOrder;
    int left = start;
    for (int ordinal = 0; ordinal <= mbClose; ++ordinal) {
        if (!FButtons.Contains(ordinal))
            continue;
        const ButtonKind& kind = buttonKinds[ordinal];
        auto* button = new QPushButton(form.get());
        button->setFont(FButtonFont);
        button->setGeometry(left, buttonTop, FBtnWidth, FBtnHeight);
        button->setText(QString::fromUtf8(kind.caption));
        button->setObjectName(QString::fromLatin1(kind.name));
        button->setProperty(modalResultProperty, kind.modalResult);
        if (kind.help)
            button->setProperty(helpContextProperty, FHelpContext);
        if (FShowGlyph)
            button->setIcon(form->style()->standardIcon(kind.glyph, nullptr, button));
        // Enter on a focused button is handled by the key preview; automatic defaults would make the first
        // button look like the default one.
        button->setAutoDefault(false);
        if (ordinal == FDefaultButton) {
            button->setDefault(true);
            tabOrder.insert(tabOrder.begin(), button);
        } else {
            tabOrder.push_back(button);
        }
        TKqMsgDlgForm* window = form.get();
        const bool help = kind.help;
        QObject::connect(button, &QPushButton::clicked, window, [self = QPointer(this), window, button, help] {
            if (help) {
                const int context = button->property(helpContextProperty).toInt();
                if (context != 0) {
                    if (self && self->OnHelp)
                        self->OnHelp(context);
                    return;
                }
            }
            const int result = button->property(modalResultProperty).toInt();
            if (result != mrNone)
                window->done(result);
        });
        left += FBtnWidth + FBtnSpace;
    }
    height += n > 0 ? FBtnHeight + 2 * indent : indent;
    if (width < 2 * start + rowWidth)
        width = 2 * start + rowWidth;

    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    if (!tabOrder.empty())
        tabOrder.front()->setFocus();

    // Qt sizes a window by its client area, so the content box is the client size and the frame comes on top.
    form->setFixedSize(width, height);
    form->InstallKeyPreview();
    return form;
}

void TKqMsgDlg::Place(QWidget& window) const
{
    if (FStyle == TKqMsgDlgStyle::msPosition) {
        window.move(FPosLeft, FPosTop);
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is not known before the window is shown; the client area is centred.
    const QRect area = screen->geometry();
    window.move(area.x() + (area.width() - window.width()) / 2, area.y() + (area.height() - window.height()) / 2);
}

void TKqMsgDlg::PlaySound() const
{
    uint32_t type = 0;
    switch (FBeepSound) {
    case TKqBeepSound::bsNone: return;
    case TKqBeepSound::bsAsterix: type = platform::Beep::Asterisk; break;
    case TKqBeepSound::bsCriticalStop: type = platform::Beep::Hand; break;
    case TKqBeepSound::bsDefault: type = platform::Beep::Simple; break;
    case TKqBeepSound::bsExclamation: type = platform::Beep::Exclamation; break;
    case TKqBeepSound::bsQuestion: type = platform::Beep::Question; break;
    }
    platform::messagePump().alert(type);
}

int TKqMsgDlg::Execute()
{
    std::unique_ptr<TKqMsgDlgForm> form = BuildDialog();
    Place(*form);
    PlaySound();
    if (!FTimerMsg)
        return form->exec();

    // Timed: shown without being modal, no close box, gone when its countdown ends.
    form->setWindowFlag(Qt::WindowCloseButtonHint, false);
    form->StartCountdown(FTimerSeconds, FCountdownInterval);
    form->show();
    form.release(); // deletes itself after the last tick
    return 0;
}

uint16_t TKqMsgDlg::MessageDlg(std::string_view Msg, TMsgDlgType AType, TMsgDlgButtons ABtnCustom, int HelpCtx)
{
    FText = Msg;
    FMessageType = AType;
    FButtons = ABtnCustom;
    FHelpContext = HelpCtx;
    FTitle.clear();
    return static_cast<uint16_t>(Execute());
}

uint16_t TKqMsgDlg::ShowPreset(std::string_view Msg, TMsgDlgType AType, TKqBeepSound Sound, TMsgDlgButtons Buttons)
{
    const TKqBeepSound remembered = FBeepSound;
    FBeepSound = Sound;
    const uint16_t result = MessageDlg(Msg, AType, Buttons, 0);
    FBeepSound = remembered;
    return result;
}

uint16_t TKqMsgDlg::MsgConfirmation(std::string_view Msg)
{
    return ShowPreset(Msg, mtConfirmation, TKqBeepSound::bsQuestion, {mbYes, mbNo});
}

uint16_t TKqMsgDlg::MsgConfirmationEx(std::string_view Msg)
{
    return ShowPreset(Msg, mtConfirmation, TKqBeepSound::bsQuestion, {mbYes, mbNo, mbCancel});
}

uint16_t TKqMsgDlg::MsgInformation(std::string_view Msg)
{
    return ShowPreset(Msg, mtInformation, TKqBeepSound::bsDefault, {mbOK});
}

uint16_t TKqMsgDlg::MsgError(std::string_view Msg)
{
    return ShowPreset(Msg, mtError, TKqBeepSound::bsCriticalStop, {mbOK});
}

uint16_t TKqMsgDlg::MsgWarning(std::string_view Msg)
{
    return ShowPreset(Msg, mtWarning, TKqBeepSound::bsExclamation, {mbOK});
}

uint16_t TKqMsgDlg::MsgWarningEx(std::string_view Msg)
{
    return ShowPreset(Msg, mtWarning, TKqBeepSound::bsExclamation, {mbYes, mbNo, mbCancel});
}

uint16_t TKqMsgDlg::MsgTime(std::string_view Msg, uint16_t Seconds)
{
    FTimerMsg = true;
    FTimerSeconds = Seconds;
    return ShowPreset(Msg, mtInformation, TKqBeepSound::bsNone, {});
}

uint16_t TKqMsgDlg::MsgCustom(std::string_view Msg, TMsgDlgType AType, const std::vector<std::string>& ABtnCustom)
{
    FText = Msg;
    FMessageType = AType;
    FButtons = {};
    const QFontMetrics metrics(FButtonFont);
    int widest = 0;
    for (std::size_t i = 0; i < ABtnCustom.size(); ++i) {
        if (i <= 15)
            FButtons.Include(static_cast<int>(i));
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(ABtnCustom[i])) + 12);
    }
    FBtnWidth = std::max(FBtnWidth, widest);
    FHelpContext = 0;
    FTitle.clear();

    std::unique_ptr<TKqMsgDlgForm> form = BuildDialog();
    for (std::size_t i = 0; i < ABtnCustom.size(); ++i) {
        auto* button = form->findChild<QPushButton*>(QStringLiteral("Btn%1").arg(i + 1));
        if (!button)
            continue;
        button->setText(QString::fromStdString(ABtnCustom[i]));
        button->setProperty(modalResultProperty, static_cast<int>(i) + 3);
    }
    Place(*form);
    PlaySound();
    const int result = form->exec();
    // Every button answers its index + 2; Esc and the close box answer cancel (2), which maps to 0.
    return static_cast<uint16_t>(std::max(0, result - 2));
}

void TKqMsgDlg::Loaded()
{
    int pixelsPerInch = 96;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            pixelsPerInch = qRound(screen->logicalDotsPerInch());
    ScaleForPixelsPerInch(pixelsPerInch);
}

void TKqMsgDlg::ScaleForPixelsPerInch(int pixelsPerInch)
{
    if (pixelsPerInch <= 0 || pixelsPerInch == 96)
        return;
    const double factor = pixelsPerInch / 96.0;
    ScaleFont(FButtonFont, factor);
    ScaleFont(FMessageFont, factor);
    FBtnSpace = RoundHalfEven(FBtnSpace * factor);
    FBtnWidth = RoundHalfEven(FBtnWidth * factor);
    FBtnHeight = RoundHalfEven(FBtnHeight * factor);
    FIndent = static_cast<uint8_t>(std::clamp(RoundHalfEven(FIndent * factor), 0, 255));
}

} // namespace tarvix
