// TKqFormSaver: remembers a form's placement across program runs in one registry value, and can forbid
// maximising, minimising and resizing the form by its frame.
//
// Attach it to a form as a child: `new TKqFormSaver(form)`, set its properties, then call Loaded(), which
// restores the stored placement (the way a form description finishes loading). The saver stores the placement
// when it is destroyed (with its form) and just before the window system maximises or minimises the form.
//
// The value is named after the form's class without its first letter (TFrmExSelFolder -> "FrmExSelFolder") and
// lives under RootKey\Key, where a "[EXENAME]" in Key (any letter case, first occurrence) stands for the
// executable's name without its extension. It is a REG_BINARY record of 20 bytes, little-endian:
//
//   0  Left     int32      bounds of the form's client area in screen coordinates, in the normal state
//   4  Top      int32      (while the form is maximised or minimised, its bounds from before)
//   8  Width    int32
//   12 Height   int32
//   16 State    uint8      0 normal, 1 minimised, 2 maximised
//   17 filler   3 bytes    written as zero, ignored on reading
//
// The window system's maximise and minimise requests reach the form as spontaneous window-state changes; the
// saver's event filter sees them before the form does, saves the placement as it was before the request, and
// turns a forbidden request back. State changes that the program makes itself (showMaximized) are the program's
// own business: they are neither saved nor refused, like a form whose state is set in code.
#pragma once

#include <QObject>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "components/component.h"
#include "components/kq_reg_manager.h"

namespace tarvix {

// The stored placement record.
struct TKqFormPlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t State = 0; // 0 normal, 1 minimised, 2 maximised

    static constexpr int Size = 20;
    std::array<char, Size> Encode() const;
    // Nothing when fewer than 20 bytes are given.
    static std::optional<TKqFormPlacement> Decode(std::string_view bytes);
    bool operator==(const TKqFormPlacement&) const = default;
};

class TKqFormSaver : public QObject, public TComponent {
    Q_OBJECT
public:
    static constexpr std::string_view DefaultKey = "\\SOFTWARE\\Company\\Product\\Forms";

    // `form` is the form to serve; a widget that is not a window serves the window it sits in. The saver
    // becomes the form's child. `backend` as for TKqRegManager: null means platform::current().registry().
    explicit TKqFormSaver(QWidget* form, platform::Registry* backend = nullptr);
    // The placement is saved when the form is destroyed (or the saver before it), after the saver has stopped
    // watching the form. Registry errors are not reported from there.
    ~TKqFormSaver() override;

    QWidget* Form() const { return FForm; }

    // False: dragging the frame does not resize the form, and the form cannot be maximised.
    bool AllowResize() const { return FAllowResize; }
    void SetAllowResize(bool value) { FAllowResize = value; }
    // Whether the form can be maximised (and shows its maximise button).
    bool AllowMaximize() const { return FAllowMaximize; }
    void SetAllowMaximize(bool value);
    // Whether the form can be minimised (and shows its minimise button).
    bool AllowMinimize() const { return FAllowMinimize; }
    void SetAllowMinimize(bool value);
    // Registry key below RootKey; may hold "[EXENAME]". Setting it empty puts back DefaultKey.
    const std::string& Key() const { return FKey; }
    void SetKey(std::string_view value);
    // After restoring, move a form in the normal state back onto the desktop.
    bool MakeVisible() const { return FMakeVisible; }
    void SetMakeVisible(bool value) { FMakeVisible = value; }
    // The form's size limits in pixels, 0 for none. Setting one may move its counterpart (a maximum below the
    // minimum lowers the minimum, and the other way round): the counterpart is read back from the form.
    uint16_t MaxHeight() const { return FMaxHeight; }
    void SetMaxHeight(uint16_t value);
    uint16_t MinHeight() const { return FMinHeight; }
    void SetMinHeight(uint16_t value);
    uint16_t MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(uint16_t value);
    uint16_t MinWidth() const { return FMinWidth; }
    void SetMinWidth(uint16_t value);
    TKqRootKeys RootKey() const { return FRootKey; }
    void SetRootKey(TKqRootKeys value) { FRootKey = value; }
    // What RestoreForm applies; SaveForm always stores everything.
    bool SaveLocation() const { return FSaveLocation; }
    void SetSaveLocation(bool value) { FSaveLocation = value; }
    bool SaveSize() const { return FSaveSize; }
    void SetSaveSize(bool value) { FSaveSize = value; }
    bool SaveState() const { return FSaveState; }
    void SetSaveState(bool value) { FSaveState = value; }

    // Restores the stored placement.
    void Loaded() override;

    // Applies the stored record: size, position and state as SaveSize, SaveLocation and SaveState say (a stored
    // minimised state only when another window of the application is shown, so that a program's first window
    // never starts minimised), then, when MakeVisible and the form is in the normal state, moves it back onto
    // the desktop. Nothing happens without a stored record; a stored value that is not a record of 20 bytes
    // counts as none.
    void RestoreForm();
    // Stores the form's placement.
    void SaveForm();
    // Opens the key (creating it) and tells whether the form's value exists.
    bool HasStoredInfo();
    // Centres the form's frame in the primary screen's work area.
    void CenterForm();
    // "FrmExSelFolder" for the form class TFrmExSelFolder (any namespace dropped first). The class is taken
    // when the saver is made and again by Loaded().
    std::string GetFormName() const;
    // The key path: Key with its "[EXENAME]" replaced.
    std::string KeyPath() const;
    // Deletes the form's value; deletes the key path with everything below it.
    void EraseValue();
    void EraseKey();

    // The stored record, if there is one.
    std::optional<TKqFormPlacement> StoredPlacement();
    // The form's bounds in the normal state as the saver last saw them (invalid before it saw any).
    QRect NormalBounds() const { return FNormalBounds; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TKqRegManager& Registry();
    std::string FormClassName() const;
    void FormDestroyed();
    void Store(const TKqFormPlacement& placement);
    TKqFormPlacement Current(Qt::WindowStates state) const;
    QRect NormalGeometry() const;
    void SetTitleButton(Qt::WindowType hint, bool on);
    void ApplyLimits();
    void NoteGeometry();
    void Refuse(Qt::WindowStates previous);

    QWidget* FForm = nullptr; // null once the form has announced its destruction
    std::string FFormName;
    std::unique_ptr<TKqRegManager> FRegistry;

    bool FAllowResize = true;
    bool FAllowMaximize = true;
    bool FAllowMinimize = true;
    std::string FKey{DefaultKey};
    bool FMakeVisible = true;
    uint16_t FMaxHeight = 0;
    uint16_t FMinHeight = 0;
    uint16_t FMaxWidth = 0;
    uint16_t FMinWidth = 0;
    TKqRootKeys FRootKey = HKeyCurrentUser;
    bool FSaveLocation = true;
    bool FSaveSize = true;
    bool FSaveState = true;

    QRect FNormalBounds;  // last bounds seen in the normal state
    QRect FPendingBounds; // bounds seen in the normal state, confirmed once the event batch is over
    bool FConfirmQueued = false;
    bool FApplying = false;       // the saver changes the form itself
    bool FLeftOtherState = false; // the next frame resize comes from leaving the maximised/minimised state
};

} // namespace tarvix
