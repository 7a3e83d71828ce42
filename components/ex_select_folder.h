// The folder selection dialog: TExSelectFolder, a non-visual component whose Execute lets the user pick an
// existing folder, and TFrmExSelFolder, the dialog form it shows (resources/frm_ex_sel_folder.ui).
//
//   TExSelectFolder select(mainForm);
//   select.SetPath("C:\\");
//   select.SetNewFolderVisible(true);
//   if (select.Execute())
//       use(select.Path());   // the chosen folder's Windows path
//
// In the dialog: OK accepts only an existing folder, else the error "A pasta selecionada não é um caminho
// válido." appears and the dialog stays open. The new-folder button asks for a name ("Criar Pasta") and makes
// that folder in the selected one, then selects it (an existing folder of that name is selected as it is); with
// no folder selected (nothing, or the desktop root) it shows the same error as OK instead of asking, and a name
// that cannot be made (Windows refuses its characters, no rights) gives the error "Não foi possível criar a
// pasta "<name>"." F5 re-reads the selected folder. Enter and Escape close nothing.
//
// There is one dialog form for the whole application: the first Execute creates it, later ones (of any
// TExSelectFolder) reuse it with its tree, selection and size, so a second Execute with an empty or missing
// Path shows the folder selected last. The form is destroyed when the application's event loop ends
// (QCoreApplication::aboutToQuit) or by TFrmExSelFolder::DestroyShared; its form saver then stores its position
// under HKEY_CURRENT_USER\SOFTWARE\Morvane\Quorval\Forms.
#pragma once

#include <QDialog>
#include <QFont>
#include <QObject>

#include <memory>
#include <string>
#include <string_view>

#include "components/component.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class TFrmExSelFolder;
}

namespace tarvix {

class TExFolderTree;
class TKqFormSaver;
class TKqMsgDlg;

class TFrmExSelFolder : public QDialog {
    Q_OBJECT
public:
    // The shared form, created on first use.
    static TFrmExSelFolder& Shared();
    // The shared form if it exists.
    static TFrmExSelFolder* SharedIfCreated();
    // Destroys the shared form (its form saver stores its position); the next Shared() makes a new one.
    static void DestroyShared();

    explicit TFrmExSelFolder(QWidget* parent = nullptr);
    ~TFrmExSelFolder() override;

    QLabel* LabCaminho() const;
    QLineEdit* EdtCaminho() const;
    TExFolderTree* TrvPastas() const;
    QPushButton* BtnNova() const;
    QPushButton* BtnOk() const;
    QPushButton* BtnCancelar() const;
    TKqFormSaver* FormSaver() const { return FFormSaver; }
    TKqMsgDlg* MsgDlg() const { return FMsgDlg; }

    // Places the controls for the current client size: the label, the path field and the tree from the top,
    // the buttons on the bottom row, and the tree ending 6 pixels above the new-folder button's top.
    void ArrangeControls();

    // The handlers of the form's controls.
    void BtnOkClick();
    void BtnNovaClick();
    void TrvPastasChange();

    // Shows the error of an unusable folder and gives the tree the focus.
    void ShowInvalidFolder();

    static constexpr const char* InvalidFolderMessage = "A pasta selecionada não é um caminho válido.";

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::TFrmExSelFolder> FUi;
    TKqFormSaver* FFormSaver = nullptr;
    TKqMsgDlg* FMsgDlg = nullptr;
};

class TExSelectFolder : public QObject, public TComponent {
    Q_OBJECT
public:
    // The font starts as a copy of the owner's font when the owner is a widget, else of the application's
    // font.
    explicit TExSelectFolder(QObject* owner = nullptr);
    ~TExSelectFolder() override;

    // "rfDesktop" (the desktop with the drives and the desktop folder) or a folder's Windows path.
    const std::string& Root() const { return FRoot; }
    void SetRoot(std::string_view value) { FRoot = value; }
    // In: the folder to select when the dialog opens (ignored unless it exists). Out: the folder chosen.
    const std::string& Path() const { return FPath; }
    void SetPath(std::string_view value) { FPath = value; }
    // Font of the dialog and its messages; setting it copies the font.
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& value) { FFont = value; }
    int Indent() const { return FIndent; }
    void SetIndent(int value) { FIndent = value; }
    // Row height of the tree; 0 or less keeps the tree's own.
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value) { FItemHeight = value; }
    // Whether the tree forbids renaming folders in place.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string_view value) { FCaption = value; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(std::string_view value) { FTitle = value; }
    bool NewFolderVisible() const { return FNewFolderVisible; }
    void SetNewFolderVisible(bool value) { FNewFolderVisible = value; }
    const std::string& NewFolderCaption() const { return FNewFolderCaption; }
    void SetNewFolderCaption(std::string_view value) { FNewFolderCaption = value; }

    // Shows the dialog modally; True with Path set to the chosen folder when the user pressed OK, else False
    // with Path unchanged.
    bool Execute();

private:
    std::string FRoot{"rfDesktop"};
    std::string FPath;
    QFont FFont;
    int FIndent = 20;
    int FItemHeight = 18;
    bool FReadOnly = true;
    std::string FCaption{"Caminho:"};
    std::string FTitle{"Selecionar Pasta"};
    bool FNewFolderVisible = false;
    std::string FNewFolderCaption{"Criar Pasta"};
};

} // namespace tarvix
