#include "installer/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <iostream>

#include "components/ex_notebook.h"
#include "components/ex_select_folder.h"
#include "components/kq_datetime.h"
#include "components/kq_gauge.h"
#include "components/kq_msg_dlg.h"
#include "components/kq_skin_plus.h"
#include "ideservices/ide_installations.h"
#include "installer/file_deployment.h"
#include "installer/frm_aguardar.h"
#include "installer/installation_report.h"
#include "installer/package_registration.h"
#include "installer/payload_extractor.h"
#include "installer/setup_descriptor.h"
#include "installer/unattended_run.h"
#include "platform/message_pump.h"
#include "platform/system.h"
#include "platform/text_format.h"
#include "ui_frm_main.h"

// The form's pictures and texts live in a resource file of this static library; it has to be registered once
// before the form description loads them.
static void RegistrarRecursosFrmMain()
{
    Q_INIT_RESOURCE(frm_main);
}

namespace tarvix {

namespace {

QFont FonteSegoe9()
{
    QFont fonte(QStringLiteral("Segoe UI"));
    fonte.setPointSize(9);
    return fonte;
}

// The installer's skin: flat blue buttons with white text on a light grey form, grey group frames with blue
// captions.
void CoresDoInstalador(TKqSkinColors& cores)
{
    TKqButtonColors& botao = cores.Button();
    botao.SetBorder(14327845);       // $00DAA025
    botao.SetBorderOn(13402624);     // $00CC8200
    botao.SetBorderPress(11632444);  // $00B17F3C
    botao.SetDefaultBorder(9134636); // $008B622C
    botao.SetFace(14327845);         // $00DAA025
    botao.SetFaceDisable(16577001);  // $00FCF1E9
    botao.SetFaceOn(13402624);       // $00CC8200
    botao.SetFacePress(11632444);    // $00B17F3C
    botao.SetLight(14327845);        // $00DAA025
    botao.SetLightOn(13402624);      // $00CC8200
    botao.SetLightPress(11632444);   // $00B17F3C
    botao.SetText(clWhite);
    botao.SetTextDisable(clGray);
    botao.SetTextOn(clWhite);
    botao.SetTextPress(clWhite);
    cores.Form().SetFace(16119285);    // $00F5F5F5
    cores.Group().SetBorder(12171705); // $00B9B9B9
    cores.Group().SetText(13593938);   // $00CF6D52
}

} // namespace

TFrmMain::TFrmMain(std::string executavel, QWidget* parent)
    // A dialog border: fixed size, the system menu and the close box, no minimise or maximise box.
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FUi(std::make_unique<Ui::FrmMain>()),
      FExecutavel(std::move(executavel))
{
    RegistrarRecursosFrmMain();
    FUi->setupUi(this);
    FUi->NoteEtapas->Loaded();
    setFixedSize(630, 458);
    // Centred on the screen when shown.
    if (QScreen* tela = screen())
        move(tela->availableGeometry().center() - rect().center());

    QFile contrato(QStringLiteral(":/contrato.txt"));
    if (contrato.open(QIODevice::ReadOnly))
        FUi->MemContrato->setPlainText(QString::fromUtf8(contrato.readAll()));

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
    // The skin engine: it skins this window now, and every form opened later (the message boxes, the folder
    // dialog, the wait overlay) through its own tracking of the application's forms.
    SkinPlus1 = new TKqSkinPlus(this);
    SkinPlus1->setObjectName(QStringLiteral("SkinPlus1"));
    CoresDoInstalador(SkinPlus1->Colors());
    SkinPlus1->Loaded();

    FUi->NoteEtapas->OnChange = [this](QObject* sender) { NoteEtapasChange(sender); };
    connect(FUi->BtnAvancar, &QPushButton::clicked, this, [this] { BtnAvancarClick(); });
    connect(FUi->BtnVoltar, &QPushButton::clicked, this, [this] { BtnVoltarClick(); });
    connect(FUi->BtnCancelar, &QPushButton::clicked, this, [this] { BtnCancelarClick(); });
    connect(FUi->BtnAlterar, &QPushButton::clicked, this, [this] { BtnAlterarClick(); });
    // The box's click handler also runs when the box changes in code, as it does for a native check box.
    connect(FUi->ChxContrato, &QCheckBox::toggled, this, [this] { ChxContratoClick(); });

    FormCreate();
}

TFrmMain::~TFrmMain() = default;

int TFrmMain::MsgError(const std::string& markup)
{
    if (FTexto)
        return FTexto->MsgError(markup);
    if (FLog)
        FLog->message(TituloErro, markup);
    return MsgDlg1->MsgError(markup);
}

int TFrmMain::MsgWarning(const std::string& markup)
{
    if (FTexto)
        return FTexto->MsgWarning(markup);
    if (FLog)
        FLog->message(TituloAviso, markup);
    return MsgDlg1->MsgWarning(markup);
}

int TFrmMain::MsgInformation(const std::string& markup)
{
    if (FTexto)
        return FTexto->MsgInformation(markup);
    if (FLog)
        FLog->message(TituloInformacao, markup);
    return MsgDlg1->MsgInformation(markup);
}

int TFrmMain::MsgConfirmation(const std::string& markup)
{
    if (FTexto)
        return FTexto->MsgConfirmation(markup);
    if (FLog)
        FLog->message(TituloConfirmacao, markup);
    return MsgDlg1->MsgConfirmation(markup);
}

void TFrmMain::UsarLinhaComando(const TLinhaComando& opcoes, RunLog& log)
{
    FOpcoes = opcoes;
    FLog = &log;
    FTexto = opcoes.MensagensEmTexto() ? std::make_unique<TextWindow>(std::cerr, log) : nullptr;
}

void TFrmMain::AdicionarLog(const std::string& linha)
{
    if (FLog)
        FLog->line(linha);
}

void TFrmMain::PostClose()
{
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

std::string TFrmMain::PastaDestino() const
{
    return FUi->LabCaminho->text().toStdString();
}

void TFrmMain::FormCreate()
{
    FUi->NoteEtapas->SetActivePage(FUi->NpgBemVindo);
    FUi->MemContrato->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FUi->ProgBar1->SetProgress(0);
    FUi->LabCopyright->setText(QString::fromStdString(
        platform::formatText(FUi->LabCopyright->text().toStdString(), {std::to_string(Year(Now()))})));
    // The work folder's random numbers, seeded once from the clock.
    FSorteio = std::make_unique<TSorteioPasta>();
    FEstado.ListaArquivos.clear();
    Instalacoes = std::make_unique<TIdeBorRADToolInstallations>();
    FEstado.Finalizado = false;
    // The strip under the header is red in the form description only; it shows as background.
    FUi->PanTeste->setPalette(QPalette());
    FUi->PanTeste->setAutoFillBackground(false);
}

void TFrmMain::keyPressEvent(QKeyEvent* event)
{
    // Cancel is the window's cancel button: an Escape that no control wants clicks it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (FUi->BtnCancelar->isVisible() && FUi->BtnCancelar->isEnabled())
            FUi->BtnCancelar->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The start-up sequence runs once, as soon as the window is on the screen, so that its messages appear in
    // front of it.
    if (!FMostrada) {
        FMostrada = true;
        QMetaObject::invokeMethod(
            this, [this] { FormShow(); }, Qt::QueuedConnection);
    }
}

void TFrmMain::FormShow()
{
    // A failing step has shown its message, set Finalizado and posted the close: the sequence stops there, so
    // that no later step works on what the failed one left undone.
    if (FFechada || !ExtrairInstalacao(FEstado, *this, *FSorteio, FExecutavel)) {
        FIniciada = true;
        return;
    }
    LerConfiguracao(FEstado);
    DefinirPastaDestino();
    LocalizarDelphi(FEstado, *this, *Instalacoes);
    if (FEstado.IndiceDelphi < 0) {
        FIniciada = true;
        return;
    }
    FUi->LabVersao->setText(QString::fromStdString(
        platform::formatText(FUi->LabVersao->text().toStdString(), {FEstado.Package, NomeDelphi(FEstado.Version)})));
    FUi->ChxContrato->setChecked(false);
    // Activating the page that is already active raises no change, so the welcome page is prepared here.
    NoteEtapasChange(FUi->NoteEtapas);
    if (IsRunning("TAppBuilder"))
        MsgWarning(MsgDelphiAberto);
    if (!FFechada)
        FUi->BtnAvancar->setFocus();
    FIniciada = true;
}

void TFrmMain::DefinirPastaDestino()
{
    TPastaProposta proposta = ProporPastaDestino(FEstado.Version, RegMan1);
    // A folder named on the command line is the user's own choice, not a remembered one.
    if (FOpcoes.Pasta)
        proposta = {PastaDaLinhaComando(*FOpcoes.Pasta), false};
    if (proposta.Lembrada)
        FUi->BtnAlterar->setEnabled(false);
    FUi->LabCaminho->setText(QString::fromStdString(proposta.Pasta));
}

void TFrmMain::NoteEtapasChange(QObject*)
{
    TExNotebookPage* pagina = FUi->NoteEtapas->ActivePage();
    const int indice = pagina ? pagina->PageIndex() : -1;
    if (pagina == FUi->NpgCaminho && !FUi->BtnAlterar->isEnabled())
        FUi->BtnAlterar->setEnabled(IsKeyPressed(platform::VirtualKey::Shift));
    if (indice >= 0 && indice < static_cast<int>(std::size(TextosCabecalho)))
        FUi->LabAviso->setText(QString::fromUtf8(TextosCabecalho[indice]));

    if (pagina == FUi->NpgBemVindo) {
        FUi->BtnVoltar->setEnabled(false);
        FUi->BtnAvancar->setEnabled(true);
    } else if (pagina == FUi->NpgContrato) {
        FUi->BtnVoltar->setEnabled(true);
        FUi->BtnAvancar->setEnabled(FUi->ChxContrato->isChecked());
    } else if (pagina == FUi->NpgCaminho) {
        FUi->BtnAvancar->setText(QStringLiteral("&Avançar"));
    } else if (pagina == FUi->NpgConfirmar) {
        FUi->BtnAvancar->setText(QStringLiteral("&Instalar"));
    } else if (pagina == FUi->NpgCopiar) {
        FUi->BtnVoltar->setEnabled(false);
        FUi->BtnAvancar->setEnabled(false);
        MSleep(100);
        CopiarArquivos();
    } else if (pagina == FUi->NpgRegistrar) {
        // Back and Next stay disabled.
        MSleep(100);
        RegistrarPackage();
    }
}

void TFrmMain::CopiarArquivos()
{
    const QFontMetrics medidas(FUi->LabArquivo->font());
    TPaginaCopia pagina;
    pagina.PastaDestino = [this] { return PastaDestino(); };
    pagina.SetMaxValue = [this](int n) { FUi->ProgBar1->SetMaxValue(n); };
    pagina.SetProgress = [this](int n) { FUi->ProgBar1->SetProgress(n); };
    pagina.MostrarArquivo = [this, &medidas](const std::string& alvo) {
        FUi->LabArquivo->setText(
            QString::fromStdString(EncurtarCaminho(alvo, FUi->LabArquivo->width(), [&medidas](std::string_view texto) {
                return medidas.horizontalAdvance(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
            })));
        AdicionarLog(LinhaCopia(alvo));
    };
    pagina.Fechada = [this] { return FFechada; };

    const TFimCopia fim = tarvix::CopiarArquivos(FEstado, *this, pagina, FndFile1);
    // After a failure the message has been shown and the close is pending; after a close nothing may run.
    if (fim == TFimCopia::Concluida && !FFechada) {
        FCopiado = true;
        FUi->NoteEtapas->SetActivePage(FUi->NpgRegistrar);
    }
}

void TFrmMain::RegistrarPackage()
{
    // The page does its work only as the end of the copy (nothing else activates it in a run), and not after a
    // close that came during the pause before it.
    if (!FCopiado || FFechada || FEtapaRegistro)
        return;
    TPaginaRegistro pagina;
    pagina.PastaDestino = [this] { return PastaDestino(); };
    pagina.AdicionarLinha = [this](const std::string& linha) {
        FUi->MemRegistro->appendPlainText(QString::fromStdString(linha));
        // The compile blocks the message loop; the log is painted line by line all the same, so the user sees it
        // work. Only this control is painted: no input is processed meanwhile.
        FUi->MemRegistro->repaint();
        AdicionarLog(linha);
    };
    pagina.Concluir = [this] {
        FUi->BtnCancelar->setText(QStringLiteral("Fechar"));
        AdicionarLog(LinhaResultado(false, FErroRegistro == 0 ? TCodigoSaida::Sucesso : TCodigoSaida::Falhou));
    };
    pagina.EnviarRelatorio = [this](int erro) {
        FErroRegistro = erro;
        if (!FOpcoes.SemRelatorio)
            EnviarRelatorio(erro);
    };
    FEtapaRegistro = std::make_unique<TEtapaRegistro>(FEstado, *this, std::move(pagina),
                                                      *Instalacoes->Installations(FEstado.IndiceDelphi), RegMan1);
    FEtapaRegistro->RegistrarPackage();
}

void TFrmMain::EnviarRelatorio(int erro)
{
    // The log as the user sees it, its lines joined by CR LF.
    const QString log = FUi->MemRegistro->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    TAmbienteRelatorio ambiente;
    ambiente.MostrarAguardando = [this] {
        MostrarAguardando(
            this, QString::fromUtf8(MensagemFinalizando.data(), static_cast<qsizetype>(MensagemFinalizando.size())));
    };
    ambiente.FecharAguardando = [] { FecharAguardando(); };
    ambiente.PostarPrimeiro = PostarPrimeiroTransporte;
    ambiente.PostarSegundo = PostarSegundoTransporte;
    ambiente.ExtrairBibliotecaSSL = [this] { ExtrairBibliotecaSSL(); };
    ambiente.ApagarBibliotecaSSL = [this] { ApagarBibliotecaSSL(); };
    tarvix::EnviarRelatorio(FEstado, erro, log.toStdString(), FEstado.Relatorio, ambiente);
}

void TFrmMain::ExtrairBibliotecaSSL()
{
    // This build's second transport links the system's OpenSSL, so the executable carries no archive of it.
    tarvix::ExtrairBibliotecaSSL(FEstado.PastaTemp, std::nullopt);
}

void TFrmMain::ApagarBibliotecaSSL()
{
    tarvix::ApagarBibliotecaSSL(FEstado.PastaTemp);
}

void TFrmMain::BtnAvancarClick()
{
    TExNotebookPage* pagina = FUi->NoteEtapas->ActivePage();
    TExNotebookPage* proxima = nullptr;
    if (pagina == FUi->NpgBemVindo)
        proxima = FUi->NpgContrato;
    else if (pagina == FUi->NpgContrato)
        proxima = FUi->NpgCaminho;
    else if (pagina == FUi->NpgCaminho)
        proxima = FUi->NpgConfirmar;
    else if (pagina == FUi->NpgConfirmar)
        proxima = FUi->NpgCopiar;
    if (proxima)
        FUi->NoteEtapas->SetActivePage(proxima);
}

void TFrmMain::BtnVoltarClick()
{
    TExNotebookPage* pagina = FUi->NoteEtapas->ActivePage();
    TExNotebookPage* anterior = nullptr;
    if (pagina == FUi->NpgContrato)
        anterior = FUi->NpgBemVindo;
    else if (pagina == FUi->NpgCaminho)
        anterior = FUi->NpgContrato;
    else if (pagina == FUi->NpgConfirmar)
        anterior = FUi->NpgCaminho;
    if (anterior)
        FUi->NoteEtapas->SetActivePage(anterior);
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
        FUi->LabCaminho->setText(QString::fromStdString(SelPasta1->Path()));
        FUi->BtnAvancar->setFocus();
    }
}

void TFrmMain::ChxContratoClick()
{
    FUi->BtnAvancar->setEnabled(FUi->ChxContrato->isChecked());
}

bool TFrmMain::FormCloseQuery()
{
    if (FEstado.Finalizado)
        return true;
    return MsgConfirmation(MsgCancelarInstalacao) == mrYes;
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    if (FFechada) {
        event->accept();
        return;
    }
    // A close request that arrives while the question is on the screen (a close posted by a failing step, a
    // click that got through) waits for the answer to the first; it is carried out afterwards if the wizard
    // has finished meanwhile.
    if (FPerguntando) {
        FAdiada = true;
        event->ignore();
        return;
    }
    FPerguntando = true;
    FAdiada = false;
    const bool permitido = FormCloseQuery();
    FPerguntando = false;
    if (!permitido) {
        event->ignore();
        if (FAdiada && FEstado.Finalizado)
            PostClose();
        return;
    }
    FFechada = true;
    FormClose();
    event->accept();
}

void TFrmMain::FormClose()
{
    ApagarPastaTemp(FEstado);
}

} // namespace tarvix
