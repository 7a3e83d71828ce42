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

constexpr TColor FormColor = 14737632;  // $00E0E0E0
constexpr TColor PathColor = 15329769;  // $00E9E9E9
constexpr int Border = 10;
constexpr int ButtonWidth = 85;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 6;    // between OK and Cancelar
constexpr int TreeGap = 6;      // between the tree and the button row
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

TFrmExSelFolder::TFrmExSelFolder(QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TFrmExSelFolder>())
{
    ui_->setupUi(this);
    // A resizable frame whose title bar has the system menu and close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FormColor, pal));
    setPalette(pal);
    setAutoFillBackground(true);
    QPalette pathPal = ui_->EdtCaminho->palette();
    pathPal.setColor(QPalette::Base, ToQColor(PathColor, pathPal));
    ui_->EdtCaminho->setPalette(pathPal);

    // Neither button answers Enter or Escape.
    for (QPushButton* button : {ui_->BtnOk, ui_->BtnCancelar, ui_->BtnNova}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setTabOrder(ui_->BtnOk, ui_->BtnCancelar);
    setTabOrder(ui_->BtnCancelar, ui_->TrvPastas);
    setTabOrder(ui_->TrvPastas, ui_->BtnNova);

    msgDlg_ = new TKqMsgDlg(this);
    msgDlg_->SetBtnHeight(23);
    msgDlg_->SetBtnSpace(12);
    msgDlg_->SetBtnWidth(85);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    msgDlg_->SetButtonFont(tahoma);
    msgDlg_->SetMessageFont(tahoma);

    connect(ui_->BtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(ui_->BtnCancelar, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui_->BtnNova, &QPushButton::clicked, this, [this] { BtnNovaClick(); });
    connect(ui_->TrvPastas, &QTreeWidget::currentItemChanged, this, [this] { TrvPastasChange(); });

    // Only the position is remembered; the dialog is never maximised.
    formSaver_ = new TKqFormSaver(this);
    formSaver_->SetKey("\\SOFTWARE\\Morvane\\Quorval\\Forms");
    formSaver_->SetRootKey(HKeyCurrentUser);
    formSaver_->SetSaveSize(false);
    formSaver_->SetSaveState(false);
    formSaver_->SetAllowMaximize(false);
    formSaver_->Loaded();
    ArrangeControls();
}

TFrmExSelFolder::~TFrmExSelFolder()
{
    // The saver stores the placement while the form is still whole.
    delete formSaver_;
}

QLabel* TFrmExSelFolder::LabCaminho() const { return ui_->LabCaminho; }
QLineEdit* TFrmExSelFolder::EdtCaminho() const { return ui_->EdtCaminho; }
TExFolderTree* TFrmExSelFolder::TrvPastas() const { return ui_->TrvPastas; }
QPushButton* TFrmExSelFolder::BtnNova() const { return ui_->BtnNova; }
QPushButton* TFrmExSelFolder::BtnOk() const { return ui_->BtnOk; }
QPushButton* TFrmExSelFolder::BtnCancelar() const { return ui_->BtnCancelar; }

void TFrmExSelFolder::ArrangeControls()
{
    const QRect client = rect();
    ui_->PanFundo->setGeometry(client);
    const QRect inner = client.adjusted(Border, Border, -Border, -Border);
    const int left = inner.x();
    const int width = std::max(0, inner.width());

    // From the top: the label (as high as its font), 2 pixels, the path field, 4 pixels, the tree.
    int y = inner.y();
    const int labelHeight = ui_->LabCaminho->sizeHint().height();
    ui_->LabCaminho->setGeometry(left, y, width, labelHeight);
    y += labelHeight + 2;
    ui_->EdtCaminho->setGeometry(left, y, width, PathHeight);
    y += PathHeight + 4;

    // The button row on the bottom edge: the new-folder button on the left, OK and Cancelar on the right.
    const int rowTop = inner.y() + inner.height() - ButtonHeight;
    const int right = inner.x() + inner.width();
    ui_->BtnNova->setGeometry(left, rowTop, ButtonWidth, ButtonHeight);
    ui_->BtnCancelar->setGeometry(right - ButtonWidth, rowTop, ButtonWidth, ButtonHeight);
    ui_->BtnOk->setGeometry(right - 2 * ButtonWidth - ButtonGap, rowTop, ButtonWidth, ButtonHeight);

    // The tree ends 6 pixels above the new-folder button, shown or not.
    ui_->TrvPastas->setGeometry(left, y, width, std::max(0, ui_->BtnNova->y() - y - TreeGap));
}

void TFrmExSelFolder::TrvPastasChange()
{
    ui_->EdtCaminho->setText(Q(ui_->TrvPastas->SelectedPath()));
}

void TFrmExSelFolder::ShowInvalidFolder()
{
    msgDlg_->MsgError(InvalidFolderMessage);
    ui_->TrvPastas->setFocus();
}

void TFrmExSelFolder::BtnOkClick()
{
    if (IsDirectory(ui_->EdtCaminho->text().toStdString()))
        accept();
    else
        ShowInvalidFolder();
}

void TFrmExSelFolder::BtnNovaClick()
{
    const std::string base = ui_->EdtCaminho->text().toStdString();
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
        } catch (const platform::PlatformError&) {
        }
    }
    ui_->TrvPastas->RefreshSelected();
    if (!ValidFolderName(name) || !ui_->TrvPastas->SelectPath(path))
        msgDlg_->MsgError("Não foi possível criar a pasta \"" + name.toStdString() + "\".");
    ui_->TrvPastas->setFocus();
}

void TFrmExSelFolder::showEvent(QShowEvent* event)
{
    msgDlg_->SetButtonFont(font());
    msgDlg_->SetMessageFont(font());
    ArrangeControls();
    if (ui_->TrvPastas->currentItem())
        ui_->TrvPastas->RefreshSelected();
    QDialog::showEvent(event);
    ui_->TrvPastas->setFocus();
}

void TFrmExSelFolder::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        ui_->TrvPastas->setFocus();
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
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// TExSelectFolder

TExSelectFolder::TExSelectFolder(QObject* owner)
    : QObject(owner)
{
    if (auto* widget = qobject_cast<QWidget*>(owner))
        font_ = widget->font();
    else if (qApp)
        font_ = QApplication::font();
}

TExSelectFolder::~TExSelectFolder() = default;

bool TExSelectFolder::Execute()
{
    TFrmExSelFolder& form = TFrmExSelFolder::Shared();
    form.setFont(font_);
    form.setWindowTitle(Q(title_));
    form.LabCaminho()->setText(Q(caption_));
    form.BtnNova()->setVisible(newFolderVisible_);
    form.BtnNova()->setText(Q(newFolderCaption_));

    TExFolderTree* tree = form.TrvPastas();
    tree->SetRoot(root_);
    tree->SetIndent(indent_);
    if (itemHeight_ > 0)
        tree->SetItemHeight(itemHeight_);
    tree->SetReadOnly(readOnly_);
    if (!path_.empty() && IsDirectory(path_))
        tree->SelectPath(path_);
    form.TrvPastasChange();
    form.ArrangeControls();

    if (form.exec() != QDialog::Accepted)
        return false;
    path_ = form.EdtCaminho()->text().toStdString();
    return true;
}

} // namespace tarvix
