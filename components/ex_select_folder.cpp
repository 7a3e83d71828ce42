#include "components/ex_select_folder.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPointer>

#include "components/ex_folder_tree.h"
#include "components/kq_color_qt.h"
#include "components/kq_form_saver.h"
#include "components/kq_lib_functions.h"
#include "components/kq_msg_dlg.h"
#include "platform/errors.h"
#include "platform/system.h"
#include "ui_frm_ex_sel_folder.h"

namespace tarvix {
namespace {

constexpr TColor FormColor = 14737632; // $00E0E0E0
constexpr TColor PathColor = 15329769; // $00E9E9E9
constexpr int Border = 10;
constexpr int ButtonWidth = 85;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 6; // between OK and Cancelar
constexpr int TreeGap = 6;   // between the tree and the button row
constexpr int PathHeight = 21;

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsDirectory(std::string_view path)
{
    try {
        return !path.empty() && platform::current().files().directoryExists(path);
    } catch (const platform::PlatformError&) {
        return false;
    }
}

// A name Windows accepts for a folder: no path separators, wildcards, quotes, pipes or control characters,
// and not "." or "..".
bool ValidFolderName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name)
        if (c.unicode() < 32 || QStringView(u"\\/:*?\"<>|").contains(c))
            return false;
    return true;
}

QPointer<TFrmExSelFolder>& SharedForm()
{
    static QPointer<TFrmExSelFolder> form;
    return form;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// TFrmExSelFolder

TFrmExSelFolder& TFrmExSelFolder::Shared()
{
    QPointer<TFrmExSelFolder>& form = SharedForm();
    if (!form) {
        form = new TFrmExSelFolder();
        // Owned by the application: it goes when the event loop ends, storing its position on the way.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, form.data(), [] { DestroyShared(); });
    }
    return *form;
}

TFrmExSelFolder* TFrmExSelFolder::SharedIfCreated()
{
    return SharedForm().data();
}

void TFrmExSelFolder::DestroyShared()
{
    delete SharedForm().data();
}

TFrmExSelFolder::TFrmExSelFolder(QWidget* parent) : QDialog(parent), FUi(std::make_unique<Ui::TFrmExSelFolder>())
{
    FUi->setupUi(this);
    // A resizable frame whose title bar has the system menu and close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FormColor, pal));
    setPalette(pal);
    setAutoFillBackground(true);
    QPalette pathPal = FUi->EdtCaminho->palette();
    pathPal.setColor(QPalette::Base, ToQColor(PathColor, pathPal));
    FUi->EdtCaminho->setPalette(pathPal);

    // Neither button answers Enter or Escape.
    for (QPushButton* button : {FUi->BtnOk, FUi->BtnCancelar, FUi->BtnNova}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setTabOrder(FUi->BtnOk, FUi->BtnCancelar);
    setTabOrder(FUi->BtnCancelar, FUi->TrvPastas);
    setTabOrder(FUi->TrvPastas, FUi->BtnNova);

    FMsgDlg = new TKqMsgDlg(this);
    FMsgDlg->SetBtnHeight(23);
    FMsgDlg->SetBtnSpace(12);
    FMsgDlg->SetBtnWidth(85);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    FMsgDlg->SetButtonFont(tahoma);
    FMsgDlg->SetMessageFont(tahoma);

    connect(FUi->BtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(FUi->BtnCancelar, &QPushButton::clicked, this, [this] { reject(); });
    connect(FUi->BtnNova, &QPushButton::clicked, this, [this] { BtnNovaClick(); });
    connect(FUi->TrvPastas, &QTreeWidget::currentItemChanged, this, [this] { TrvPastasChange(); });

    // Only the position is remembered; the dialog is never maximised.
    FFormSaver = new TKqFormSaver(this);
    FFormSaver->SetKey("\\SOFTWARE\\Morvane\\Quorval\\Forms");
    FFormSaver->SetRootKey(HKeyCurrentUser);
    FFormSaver->SetSaveSize(false);
    FFormSaver->SetSaveState(false);
    FFormSaver->SetAllowMaximize(false);
    FFormSaver->Loaded();
    ArrangeControls();
}

TFrmExSelFolder::~TFrmExSelFolder()
{
    // The saver stores the placement while the form is still whole.
    delete FFormSaver;
}

QLabel* TFrmExSelFolder::LabCaminho() const
{
    return FUi->LabCaminho;
}
QLineEdit* TFrmExSelFolder::EdtCaminho() const
{
    return FUi->EdtCaminho;
}
TExFolderTree* TFrmExSelFolder::TrvPastas() const
{
    return FUi->TrvPastas;
}
QPushButton* TFrmExSelFolder::BtnNova() const
{
    return FUi->BtnNova;
}
QPushButton* TFrmExSelFolder::BtnOk() const
{
    return FUi->BtnOk;
}
QPushButton* TFrmExSelFolder::BtnCancelar() const
{
    return FUi->BtnCancelar;
}

void TFrmExSelFolder::ArrangeControls()
{
    const QRect client = rect();
    FUi->PanFundo->setGeometry(client);
    const QRect inner = client.adjusted(Border, Border, -Border, -Border);
    const int left = inner.x();
    const int width = std::max(0, inner.width());

    // From the top: the label (as high as its font), 2 pixels, the path field, 4 pixels, the tree.
    int y = inner.y();
    const int labelHeight = FUi->LabCaminho->sizeHint().height();
    FUi->LabCaminho->setGeometry(left, y, width, labelHeight);
    y += labelHeight + 2;
    FUi->EdtCaminho->setGeometry(left, y, width, PathHeight);
    y += PathHeight + 4;

    // The button row on the bottom edge: the new-folder button on the left, OK and Cancelar on the right.
    const int rowTop = inner.y() + inner.height() - ButtonHeight;
    const int right = inner.x() + inner.width();
    FUi->BtnNova->setGeometry(left, rowTop, ButtonWidth, ButtonHeight);
    FUi->BtnCancelar->setGeometry(right - ButtonWidth, rowTop, ButtonWidth, ButtonHeight);
    FUi->BtnOk->setGeometry(right - 2 * ButtonWidth - ButtonGap, rowTop, ButtonWidth, ButtonHeight);

    // The tree ends 6 pixels above the new-folder button, shown or not.
    FUi->TrvPastas->setGeometry(left, y, width, std::max(0, FUi->BtnNova->y() - y - TreeGap));
}

void TFrmExSelFolder::TrvPastasChange()
{
    FUi->EdtCaminho->setText(Q(FUi->TrvPastas->SelectedPath()));
}

void TFrmExSelFolder::ShowInvalidFolder()
{
    FMsgDlg->MsgError(InvalidFolderMessage);
    FUi->TrvPastas->setFocus();
}

void TFrmExSelFolder::BtnOkClick()
{
    if (IsDirectory(FUi->EdtCaminho->text().toStdString()))
        accept();
    else
        ShowInvalidFolder();
}

void TFrmExSelFolder::BtnNovaClick()
{
    const std::string base = FUi->EdtCaminho->text().toStdString();
    // A new folder needs a folder to go into: without one the dialog says so, as OK does.
    if (!IsDirectory(base)) {
        ShowInvalidFolder();
        return;
    }

    QInputDialog ask(this);
    ask.setWindowTitle(QStringLiteral("Criar Pasta"));
    ask.setLabelText(QStringLiteral("Entre com o nome da nova pasta:"));
    ask.setTextValue(QStringLiteral("Nova Pasta"));
    ask.setOkButtonText(QStringLiteral("&OK"));
    ask.setCancelButtonText(QStringLiteral("&Cancelar"));
    ask.setFont(font());
    if (ask.exec() != QDialog::Accepted)
        return;
    const QString name = ask.textValue();
    if (name.trimmed().isEmpty())
        return;

    const std::string path = IncPathDelimiter(base) + name.toStdString();
    if (ValidFolderName(name)) {
        // An existing folder of that name is simply selected below.
        try {
            platform::current().files().createDirectory(path);
        } catch (const platform::PlatformError&) {}
    }
    FUi->TrvPastas->RefreshSelected();
    if (!ValidFolderName(name) || !FUi->TrvPastas->SelectPath(path))
        FMsgDlg->MsgError("Não foi possível criar a pasta \"" + name.toStdString() + "\".");
    FUi->TrvPastas->setFocus();
}

void TFrmExSelFolder::showEvent(QShowEvent* event)
{
    FMsgDlg->SetButtonFont(font());
    FMsgDlg->SetMessageFont(font());
    ArrangeControls();
    if (FUi->TrvPastas->currentItem())
        FUi->TrvPastas->RefreshSelected();
    QDialog::showEvent(event);
    FUi->TrvPastas->setFocus();
}

void TFrmExSelFolder::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FUi->TrvPastas->setFocus();
    else if (event->type() == QEvent::FontChange)
        ArrangeControls();
    QDialog::changeEvent(event);
}

void TFrmExSelFolder::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ArrangeControls();
}

void TFrmExSelFolder::keyPressEvent(QKeyEvent* event)
{
    // Enter and Escape close nothing: the dialog ends with its buttons or its close box only.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->ignore(); return;
    default: QDialog::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// TExSelectFolder

TExSelectFolder::TExSelectFolder(QObject* owner) : QObject(owner)
{
    if (auto* widget = qobject_cast<QWidget*>(owner))
        FFont = widget->font();
    else if (qApp)
        FFont = QApplication::font();
}

TExSelectFolder::~TExSelectFolder() = default;

bool TExSelectFolder::Execute()
{
    TFrmExSelFolder& form = TFrmExSelFolder::Shared();
    form.setFont(FFont);
    form.setWindowTitle(Q(FTitle));
    form.LabCaminho()->setText(Q(FCaption));
    form.BtnNova()->setVisible(FNewFolderVisible);
    form.BtnNova()->setText(Q(FNewFolderCaption));

    TExFolderTree* tree = form.TrvPastas();
    tree->SetRoot(FRoot);
    tree->SetIndent(FIndent);
    if (FItemHeight > 0)
        tree->SetItemHeight(FItemHeight);
    tree->SetReadOnly(FReadOnly);
    if (!FPath.empty() && IsDirectory(FPath))
        tree->SelectPath(FPath);
    form.TrvPastasChange();
    form.ArrangeControls();

    if (form.exec() != QDialog::Accepted)
        return false;
    FPath = form.EdtCaminho()->text().toStdString();
    return true;
}

} // namespace tarvix
