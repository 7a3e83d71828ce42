// The library's message box: a dialog of its own making with a stock icon, a message written in a small markup
// (see TKqInternalLabel), a centred row of buttons with Portuguese captions, an optional sound and an optional
// countdown that closes the message by itself. The operations return the pressed button as a modal-result code.
//
// Markup of the message text:
//   LineSeparator ("|")     line break (so are CR, LF and CR LF)
//   <b> <i> <u>             toggle bold, italic, underline
//   <r>                     toggle pure red (back to the label's colour when already red)
//   <c:NAME>                colour by name ("clNavy") or integer (decimal or $00BBGGRR); invalid names are ignored
//   <c>                     back to the label's colour
// Anything else, including a "<" that starts no tag, is drawn as it stands. Lines break only where the text says.
#pragma once

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/component.h"
#include "components/kq_color.h"

class QTimer;

namespace tarvix {

// Modal-result codes.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrClose = 8;
inline constexpr int mrAll = 12;
inline constexpr int mrNoToAll = 13;
inline constexpr int mrYesToAll = 14;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbClose
};

// A set of buttons held in 16 bits; member n is bit n. Bits 12 to 15 name no button but can be set (MsgCustom
// marks one bit per caption).
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> members)
    {
        for (TMsgDlgBtn member : members)
            Include(member);
    }
    static constexpr TMsgDlgButtons FromBits(uint16_t bits)
    {
        TMsgDlgButtons set;
        set.FBits = bits;
        return set;
    }

    constexpr bool Contains(int ordinal) const { return ordinal >= 0 && ordinal < 16 && (FBits >> ordinal) & 1u; }
    constexpr void Include(int ordinal)
    {
        if (ordinal >= 0 && ordinal < 16)
            FBits = static_cast<uint16_t>(FBits | (1u << ordinal));
    }
    constexpr uint16_t Bits() const { return FBits; }
    constexpr bool operator==(const TMsgDlgButtons&) const = default;

private:
    uint16_t FBits = 0;
};

enum class TKqBeepSound { bsNone, bsAsterix, bsCriticalStop, bsDefault, bsExclamation, bsQuestion };
enum class TKqMsgDlgStyle { msCenter, msPosition };

// The message label: a label whose painting is the markup renderer. It paints no background, so the dialog's
// colour shows through. Its "font colour" is the foreground colour of its palette.
class TKqInternalLabel : public QLabel {
    Q_OBJECT
public:
    // The calculate-rectangle flag of DrawFormattedText.
    static constexpr int CalcRect = 0x400;

    explicit TKqInternalLabel(QWidget* parent = nullptr);

    // Walks the caption (text()) once. With CalcRect in Flags nothing is drawn and R receives the extent of the
    // text: its right edge (left + width) becomes the widest pen position, its bottom edge the last line's
    // bottom. Otherwise the text is painted from R's top-left corner with `painter`, and R is left alone.
    void DrawFormattedText(QRect& R, int Flags, class QPainter* painter = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TKqMsgDlg;

// The dialog window that TKqMsgDlg builds. It previews the keys of its controls (Esc answers cancel, Enter
// presses the focused button or hides a timed message), turns a close request into the cancel result and
// runs the countdown of a timed message.
class TKqMsgDlgForm : public QDialog {
    Q_OBJECT
public:
    explicit TKqMsgDlgForm(TKqMsgDlg* owner);

    // Lets the window see the key presses of every control in it before the control does.
    void InstallKeyPreview();
    // Starts the countdown of a timed message: `seconds` ticks of `intervalMs` each; the window destroys itself
    // after the last one.
    void StartCountdown(int seconds, int intervalMs);
    // True while the countdown runs.
    bool Counting() const { return FCountdown != nullptr; }

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CountdownTick();
    bool TimerMsgActive() const;

    QPointer<TKqMsgDlg> FOwner;
    QTimer* FCountdown = nullptr;
    int FCountdownSeconds = 0;
    int FCounter = 0;
};

class TKqMsgDlg : public QObject, public TComponent {
    Q_OBJECT
public:
    explicit TKqMsgDlg(QObject* owner = nullptr);
    ~TKqMsgDlg() override;

    TKqBeepSound BeepSound() const { return FBeepSound; }
    void SetBeepSound(TKqBeepSound value) { FBeepSound = value; }
    int BtnHeight() const { return FBtnHeight; }
    void SetBtnHeight(int value) { FBtnHeight = value; }
    int BtnSpace() const { return FBtnSpace; }
    void SetBtnSpace(int value) { FBtnSpace = value; }
    int BtnWidth() const { return FBtnWidth; }
    void SetBtnWidth(int value) { FBtnWidth = value; }
    const QFont& ButtonFont() const { return FButtonFont; }
    void SetButtonFont(const QFont& value) { FButtonFont = value; }
    TMsgDlgButtons Buttons() const { return FButtons; }
    void SetButtons(TMsgDlgButtons value) { FButtons = value; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { FColor = value; }
    TMsgDlgBtn DefaultButton() const { return FDefaultButton; }
    void SetDefaultButton(TMsgDlgBtn value) { FDefaultButton = value; }
    uint8_t Indent() const { return FIndent; }
    void SetIndent(uint8_t value) { FIndent = value; }
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    char16_t LineSeparator() const { return FLineSeparator; }
    void SetLineSeparator(char16_t value) { FLineSeparator = value; }
    const QFont& MessageFont() const { return FMessageFont; }
    void SetMessageFont(const QFont& value) { FMessageFont = value; }
    TMsgDlgType MessageType() const { return FMessageType; }
    void SetMessageType(TMsgDlgType value) { FMessageType = value; }
    int PosLeft() const { return FPosLeft; }
    void SetPosLeft(int value) { FPosLeft = value; }
    int PosTop() const { return FPosTop; }
    void SetPosTop(int value) { FPosTop = value; }
    bool ShowIcon() const { return FShowIcon; }
    void SetShowIcon(bool value) { FShowIcon = value; }
    bool ShowGlyph() const { return FShowGlyph; }
    void SetShowGlyph(bool value) { FShowGlyph = value; }
    TKqMsgDlgStyle Style() const { return FStyle; }
    void SetStyle(TKqMsgDlgStyle value) { FStyle = value; }
    const std::string& Text() const { return FText; }
    void SetText(std::string_view value) { FText = value; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(std::string_view value) { FTitle = value; }

    // Called with the dialog window as sender whenever one is shown.
    std::function<void(QWidget* Sender)> OnShow;
    // Stands in for the application's help: called when a Help button is pressed while HelpContext is not 0.
    // The dialog stays open either way.
    std::function<void(int HelpContext)> OnHelp;

    // Length of one countdown step of a timed message, in milliseconds (1000 unless a test shortens it).
    int CountdownInterval() const { return FCountdownInterval; }
    void SetCountdownInterval(int milliseconds) { FCountdownInterval = milliseconds; }
    // True from MsgTime until that message's countdown has ended.
    bool TimerMsg() const { return FTimerMsg; }

    // Builds the dialog from the current properties, places it, plays the sound and shows it modally; returns
    // its modal result. While a timed message runs it shows a timed, non-modal message instead and returns 0.
    int Execute();
    uint16_t MessageDlg(std::string_view Msg, TMsgDlgType AType, TMsgDlgButtons ABtnCustom, int HelpCtx);

    uint16_t MsgConfirmation(std::string_view Msg);
    uint16_t MsgConfirmationEx(std::string_view Msg);
    uint16_t MsgInformation(std::string_view Msg);
    uint16_t MsgError(std::string_view Msg);
    uint16_t MsgWarning(std::string_view Msg);
    uint16_t MsgWarningEx(std::string_view Msg);
    // Shows an information message that closes by itself after Seconds seconds; returns 0 at once.
    uint16_t MsgTime(std::string_view Msg, uint16_t Seconds);
    // One button per caption (at most twelve); returns the 1-based index of the pressed one, 0 for Esc or
    // the close box.
    uint16_t MsgCustom(std::string_view Msg, TMsgDlgType AType, const std::vector<std::string>& ABtnCustom);

    // Scales the fonts and the layout measures for the screen's logical DPI.
    void Loaded() override;
    // The same for a given pixels-per-inch value (nothing happens for 96 or a value ≤ 0).
    void ScaleForPixelsPerInch(int pixelsPerInch);

    // A fresh, not yet shown dialog window for the current properties. Its client area is the laid-out content
    // box; buttons are named "Btn1" to "Btn12", the message label "Message" and the icon "Image".
    std::unique_ptr<TKqMsgDlgForm> BuildDialog();

    // The message text as the label gets it: every LineSeparator turned into a carriage return.
    QString LabelCaption() const;

private:
    friend class TKqMsgDlgForm;

    uint16_t ShowPreset(std::string_view Msg, TMsgDlgType AType, TKqBeepSound Sound, TMsgDlgButtons Buttons);
    void Place(QWidget& window) const;
    void PlaySound() const;
    QString Caption() const;

    TKqBeepSound FBeepSound = TKqBeepSound::bsNone;
    int FBtnHeight = 25;
    int FBtnSpace = 15;
    int FBtnWidth = 75;
    QFont FButtonFont;
    TMsgDlgButtons FButtons{mbOK};
    TColor FColor = clBtnFace;
    TMsgDlgBtn FDefaultButton = mbYes;
    uint8_t FIndent = 14;
    int FHelpContext = 0;
    char16_t FLineSeparator = u'|';
    QFont FMessageFont;
    TMsgDlgType FMessageType = mtWarning;
    int FPosLeft = 0;
    int FPosTop = 0;
    bool FShowIcon = true;
    bool FShowGlyph = false;
    TKqMsgDlgStyle FStyle = TKqMsgDlgStyle::msCenter;
    std::string FText;
    std::string FTitle;

    bool FTimerMsg = false;
    uint16_t FTimerSeconds = 0;
    int FCountdownInterval = 1000;
};

} // namespace tarvix
