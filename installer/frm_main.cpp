#include "installer/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QKeyEvent>

#include "components/ex_notebook.h"
#include "components/ex_select_folder.h"
#include "components/kq_datetime.h"
#include "components/kq_gauge.h"
#include "components/kq_msg_dlg.h"
#include "ideservices/ide_installations.h"
#include "installer/file_deployment.h"
#include "installer/package_registration.h"
#include "installer/payload_extractor.h"
#include "installer/setup_descriptor.h"
#include "platform/message_pump.h"
#include "platform/system.h"
#include "ui_frm_main.h"

// The form's pictures and texts live in a resource file of this static library; it has to be registered once
// before the form description loads them.
static void RegistrarRecursosFrmMain()
{
    Q_INIT_RESOURCE(frm_main);
}

namespace tarvix {

namespace {

// Fills the "%s" (or "%d") placeholders of a format text from left to right; inserted text is not scanned again.
QString Formatar(const QString& formato, const QStringList& valores)
{
    QString resultado;
    qsizetype de = 0;
    for (const QString& valor : valores) {
        qsizetype p = formato.indexOf(u'%', de);
        while (p >= 0 && (p + 1 >= formato.size() || (formato[p + 1] != u's' && formato[p + 1] != u'd')))
            p = formato.indexOf(u'%', p + 1);
        if (p < 0)
            break;
        resultado += formato.mid(de, p - de) + valor;
        de = p + 2;
    }
    return resultado + formato.mid(de);
}

QFont FonteSegoe9()
{
    QFont fonte(QStringLiteral("Segoe UI"));
    fonte.setPointSize(9);
    return fonte;
}

} // namespace

TFrmMain::TFrmMain(std::string executavel, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::FrmMain>()),
      executavel_(std::move(executavel))
{
    RegistrarRecursosFrmMain();
    ui->setupUi(this);
    ui->NoteEtapas->Loaded();
    setFixedSize(630, 458);
    // Centred on the screen when shown.
    if (QScreen* tela = screen())
        move(tela->availableGeometry().center() - rect().center());

    QFile contrato(QStringLiteral(":/contrato.txt"));
    if (contrato.open(QIODevice::ReadOnly))
        ui->MemContrato->setPlainText(QString::fromUtf8(contrato.readAll()));

    // The non-visual components with the settings of the form.
    MsgDlg1 = new TKqMsgDlg(this);
    MsgDlg1->setObjectName(QStringLiteral("MsgDlg1"));
    MsgDlg1->SetBtnWidth(85);
    MsgDlg1->SetBtnHeight(23);
    MsgDlg1->SetButtonFont(FonteSegoe9());
    MsgDlg1->SetMessageFont(FonteSegoe9());
    MsgDlg1->SetColor(RGBColor(245, 245, 245));
    MsgDlg1->Loaded();
    RegMan1.SetRootKey(HKeyLocalMachine);
    RegMan1.SetKey(ChaveTarvixComps);
    RegMan1.Loaded();
    FndFile1.SetOptions({foReadOnlyFiles, foHiddenFiles, foSysFiles});
    SelPasta1 = new TExSelectFolder(this);
    SelPasta1->setObjectName(QStringLiteral("SelPasta1"));
    SelPasta1->SetRoot("rfDesktop");
    SelPasta1->SetFont(FonteSegoe9());
    SelPasta1->SetCaption("Caminho:");
    SelPasta1->SetTitle("Selecionar Pasta");
    SelPasta1->SetNewFolderVisible(true);
    SelPasta1->SetNewFolderCaption("Criar Pasta");

    ui->NoteEtapas->OnChange = [this](QObject* sender) { NoteEtapasChange(sender); };
    connect(ui->BtnAvancar, &QPushButton::clicked, this, [this] { BtnAvancarClick(); });
    connect(ui->BtnVoltar, &QPushButton::clicked, this, [this] { BtnVoltarClick(); });
    connect(ui->BtnCancelar, &QPushButton::clicked, this, [this] { BtnCancelarClick(); });
    connect(ui->BtnAlterar, &QPushButton::clicked, this, [this] { BtnAlterarClick(); });
    // The box's click handler also runs when the box changes in code, as it does for a native check box.
    connect(ui->ChxContrato, &QCheckBox::toggled, this, [this] { ChxContratoClick(); });

    FormCreate();
}

TFrmMain::~TFrmMain() = default;

int TFrmMain::MsgError(const std::string& markup)
{
    return MsgDlg1->MsgError(markup);
}

int TFrmMain::MsgWarning(const std::string& markup)
{
    return MsgDlg1->MsgWarning(markup);
}

int TFrmMain::MsgInformation(const std::string& markup)
{
    return MsgDlg1->MsgInformation(markup);
}

int TFrmMain::MsgConfirmation(const std::string& markup)
{
    return MsgDlg1->MsgConfirmation(markup);
}

void TFrmMain::PostClose()
{
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

std::string TFrmMain::PastaDestino() const
{
    return ui->LabCaminho->text().toStdString();
}

void TFrmMain::FormCreate()
{
    ui->NoteEtapas->SetActivePage(ui->NpgBemVindo);
    ui->MemContrato->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui->ProgBar1->SetProgress(0);
    ui->LabCopyright->setText(Formatar(ui->LabCopyright->text(), {QString::number(Year(Now()))}));
    // The work folder's random numbers, seeded once from the clock.
    sorteio_ = std::make_unique<TSorteioPasta>();
    state_.ListaArquivos.clear();
    Instalacoes = std::make_unique<TIdeBorRADToolInstallations>();
    state_.Finalizado = false;
    // The strip under the header is red in the form description only; it shows as background.
    ui->PanTeste->setPalette(QPalette());
    ui->PanTeste->setAutoFillBackground(false);
}

void TFrmMain::keyPressEvent(QKeyEvent* event)
{
    // Cancel is the window's cancel button: an Escape that no control wants clicks it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (ui->BtnCancelar->isVisible() && ui->BtnCancelar->isEnabled())
            ui->BtnCancelar->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The start-up sequence runs once, as soon as the window is on the screen, so that its messages appear in
    // front of it.
    if (!mostrada_) {
        mostrada_ = true;
        QMetaObject::invokeMethod(this, [this] { FormShow(); }, Qt::QueuedConnection);
    }
}

void TFrmMain::FormShow()
{
    // A failing step has shown its message, set Finalizado and posted the close: the sequence stops there, so
    // that no later step works on what the failed one left undone.
    if (fechada_ || !ExtrairInstalacao(state_, *this, *sorteio_, executavel_)) {
        iniciada_ = true;
        return;
    }
    LerConfiguracao(state_);
    DefinirPastaDestino();
    LocalizarDelphi(state_, *this, *Instalacoes);
    if (state_.IndiceDelphi < 0) {
        iniciada_ = true;
        return;
    }
    ui->LabVersao->setText(Formatar(ui->LabVersao->text(), {QString::fromStdString(state_.Package),
                                                           QString::fromStdString(NomeDelphi(state_.Version))}));
    ui->ChxContrato->setChecked(false);
    // Activating the page that is already active raises no change, so the welcome page is prepared here.
    NoteEtapasChange(ui->NoteEtapas);
    if (IsRunning("TAppBuilder"))
        MsgWarning(MsgDelphiAberto);
    if (!fechada_)
        ui->BtnAvancar->setFocus();
    iniciada_ = true;
}

void TFrmMain::DefinirPastaDestino()
{
    const std::string lembrada = RegMan1.ReadString("", "Caminho D" + std::to_string(state_.Version), "");
    std::string destino;
    if (!lembrada.empty()) {
        destino = lembrada;
        ui->BtnAlterar->setEnabled(false);
    } else {
        destino = "C:\\Morvane\\TarvixComps\\D" + std::to_string(state_.Version);
    }
    ui->LabCaminho->setText(QString::fromStdString(destino));
}

void TFrmMain::NoteEtapasChange(QObject*)
{
    TExNotebookPage* pagina = ui->NoteEtapas->ActivePage();
    const int indice = pagina ? pagina->PageIndex() : -1;
    if (pagina == ui->NpgCaminho && !ui->BtnAlterar->isEnabled())
        ui->BtnAlterar->setEnabled(IsKeyPressed(platform::VirtualKey::Shift));
    if (indice >= 0 && indice < static_cast<int>(std::size(TextosCabecalho)))
        ui->LabAviso->setText(QString::fromUtf8(TextosCabecalho[indice]));

    if (pagina == ui->NpgBemVindo) {
        ui->BtnVoltar->setEnabled(false);
        ui->BtnAvancar->setEnabled(true);
    } else if (pagina == ui->NpgContrato) {
        ui->BtnVoltar->setEnabled(true);
        ui->BtnAvancar->setEnabled(ui->ChxContrato->isChecked());
    } else if (pagina == ui->NpgCaminho) {
        ui->BtnAvancar->setText(QStringLiteral("&Avançar"));
    } else if (pagina == ui->NpgConfirmar) {
        ui->BtnAvancar->setText(QStringLiteral("&Instalar"));
    } else if (pagina == ui->NpgCopiar) {
        ui->BtnVoltar->setEnabled(false);
        ui->BtnAvancar->setEnabled(false);
        MSleep(100);
        CopiarArquivos();
    } else if (pagina == ui->NpgRegistrar) {
        // Back and Next stay disabled.
        MSleep(100);
        RegistrarPackage();
    }
}

void TFrmMain::CopiarArquivos()
{
    const QFontMetrics medidas(ui->LabArquivo->font());
    TPaginaCopia pagina;
    pagina.PastaDestino = [this] { return PastaDestino(); };
    pagina.SetMaxValue = [this](int n) { ui->ProgBar1->SetMaxValue(n); };
    pagina.SetProgress = [this](int n) { ui->ProgBar1->SetProgress(n); };
    pagina.MostrarArquivo = [this, &medidas](const std::string& alvo) {
        ui->LabArquivo->setText(QString::fromStdString(
            EncurtarCaminho(alvo, ui->LabArquivo->width(), [&medidas](std::string_view texto) {
                return medidas.horizontalAdvance(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
            })));
    };
    pagina.Fechada = [this] { return fechada_; };

    const TFimCopia fim = tarvix::CopiarArquivos(state_, *this, pagina, FndFile1);
    // After a failure the message has been shown and the close is pending; after a close nothing may run.
    if (fim == TFimCopia::Concluida && !fechada_) {
        copiado_ = true;
        ui->NoteEtapas->SetActivePage(ui->NpgRegistrar);
    }
}

void TFrmMain::RegistrarPackage()
{
    // The page does its work only as the end of the copy (nothing else activates it in a run), and not after a
    // close that came during the pause before it.
    if (!copiado_ || fechada_ || etapaRegistro_)
        return;
    TPaginaRegistro pagina;
    pagina.PastaDestino = [this] { return PastaDestino(); };
    pagina.AdicionarLinha = [this](const std::string& linha) {
        ui->MemRegistro->appendPlainText(QString::fromStdString(linha));
        // The compile blocks the message loop; the log is painted line by line all the same, so the user sees it
        // work. Only this control is painted: no input is processed meanwhile.
        ui->MemRegistro->repaint();
    };
    pagina.Concluir = [this] { ui->BtnCancelar->setText(QStringLiteral("Fechar")); };
    // The installation report is sent from here (pagina.EnviarRelatorio) once the wizard has one.
    etapaRegistro_ = std::make_unique<TEtapaRegistro>(state_, *this, std::move(pagina),
                                                      *Instalacoes->Installations(state_.IndiceDelphi), RegMan1);
    etapaRegistro_->RegistrarPackage();
}

void TFrmMain::BtnAvancarClick()
{
    TExNotebookPage* pagina = ui->NoteEtapas->ActivePage();
    TExNotebookPage* proxima = nullptr;
    if (pagina == ui->NpgBemVindo)
        proxima = ui->NpgContrato;
    else if (pagina == ui->NpgContrato)
        proxima = ui->NpgCaminho;
    else if (pagina == ui->NpgCaminho)
        proxima = ui->NpgConfirmar;
    else if (pagina == ui->NpgConfirmar)
        proxima = ui->NpgCopiar;
    if (proxima)
        ui->NoteEtapas->SetActivePage(proxima);
}

void TFrmMain::BtnVoltarClick()
{
    TExNotebookPage* pagina = ui->NoteEtapas->ActivePage();
    TExNotebookPage* anterior = nullptr;
    if (pagina == ui->NpgContrato)
        anterior = ui->NpgBemVindo;
    else if (pagina == ui->NpgCaminho)
        anterior = ui->NpgContrato;
    else if (pagina == ui->NpgConfirmar)
        anterior = ui->NpgCaminho;
    if (anterior)
        ui->NoteEtapas->SetActivePage(anterior);
}

void TFrmMain::BtnCancelarClick()
{
    close();
}

void TFrmMain::BtnAlterarClick()
{
    const std::string atual = PastaDestino();
    SelPasta1->SetPath(platform::current().files().directoryExists(atual) ? atual : "C:\\");
    if (SelPasta1->Execute()) {
        ui->LabCaminho->setText(QString::fromStdString(SelPasta1->Path()));
        ui->BtnAvancar->setFocus();
    }
}

void TFrmMain::ChxContratoClick()
{
    ui->BtnAvancar->setEnabled(ui->ChxContrato->isChecked());
}

bool TFrmMain::FormCloseQuery()
{
    if (state_.Finalizado)
        return true;
    return MsgConfirmation(MsgCancelarInstalacao) == mrYes;
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    if (fechada_) {
        event->accept();
        return;
    }
    // A close request that arrives while the question is on the screen (a close posted by a failing step, a
    // click that got through) waits for the answer to the first; it is carried out afterwards if the wizard
    // has finished meanwhile.
    if (perguntando_) {
        adiada_ = true;
        event->ignore();
        return;
    }
    perguntando_ = true;
    adiada_ = false;
    const bool permitido = FormCloseQuery();
    perguntando_ = false;
    if (!permitido) {
        event->ignore();
        if (adiada_ && state_.Finalizado)
            PostClose();
        return;
    }
    fechada_ = true;
    FormClose();
    event->accept();
}

void TFrmMain::FormClose()
{
    ApagarPastaTemp(state_);
}

} // namespace tarvix
