#include "installer/silent_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <iostream>

#include "components/kq_gauge.h"
#include "components/kq_msg_dlg.h"
#include "installer/file_deployment.h"

namespace tarvix {

TFrmSilenciosa::TFrmSilenciosa(const TLinhaComando& opcoes, RunLog& log, std::string executavel, QWidget* parent)
    // A small dialog border: fixed size, no minimise or maximise box.
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FOpcoes(opcoes),
      FLog(log),
      FExecutavel(std::move(executavel)),
      FTexto(std::cerr, log)
{
    setWindowTitle(QStringLiteral("Tarvix Library"));
    auto* layout = new QVBoxLayout(this);
    ProgBar1 = new TKqGauge(this);
    ProgBar1->setObjectName(QStringLiteral("ProgBar1"));
    ProgBar1->setFixedHeight(18);
    ProgBar1->SetProgress(0);
    LabArquivo = new QLabel(this);
    LabArquivo->setObjectName(QStringLiteral("LabArquivo"));
    MemLog = new QPlainTextEdit(this);
    MemLog->setObjectName(QStringLiteral("MemLog"));
    MemLog->setReadOnly(true);
    MemLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    BtnCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    BtnCancelar->setObjectName(QStringLiteral("BtnCancelar"));
    layout->addWidget(ProgBar1);
    layout->addWidget(LabArquivo);
    layout->addWidget(MemLog, 1);
    layout->addWidget(BtnCancelar, 0, Qt::AlignRight);
    setFixedSize(480, 260);
    if (QScreen* tela = screen())
        move(tela->availableGeometry().center() - rect().center());

    MsgDlg1 = new TKqMsgDlg(this);
    MsgDlg1->setObjectName(QStringLiteral("MsgDlg1"));
    MsgDlg1->Loaded();
    connect(BtnCancelar, &QPushButton::clicked, this, [this] { BtnCancelarClick(); });
}

TFrmSilenciosa::~TFrmSilenciosa() = default;

int TFrmSilenciosa::MsgError(const std::string& markup)
{
    if (FOpcoes.MensagensEmTexto())
        return FTexto.MsgError(markup);
    FLog.message(TituloErro, markup);
    return MsgDlg1->MsgError(markup);
}

int TFrmSilenciosa::MsgWarning(const std::string& markup)
{
    if (FOpcoes.MensagensEmTexto())
        return FTexto.MsgWarning(markup);
    FLog.message(TituloAviso, markup);
    return MsgDlg1->MsgWarning(markup);
}

int TFrmSilenciosa::MsgInformation(const std::string& markup)
{
    if (FOpcoes.MensagensEmTexto())
        return FTexto.MsgInformation(markup);
    FLog.message(TituloInformacao, markup);
    return MsgDlg1->MsgInformation(markup);
}

int TFrmSilenciosa::MsgConfirmation(const std::string& markup)
{
    if (FOpcoes.MensagensEmTexto())
        return FTexto.MsgConfirmation(markup);
    FLog.message(TituloConfirmacao, markup);
    return MsgDlg1->MsgConfirmation(markup);
}

void TFrmSilenciosa::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The run starts once the window is on the screen, so that its gauge and its boxes appear in front of it.
    if (!FIniciada) {
        FIniciada = true;
        QMetaObject::invokeMethod(
            this, [this] { Executar(); }, Qt::QueuedConnection);
    }
}

void TFrmSilenciosa::Executar()
{
    const QFontMetrics medidas(LabArquivo->font());
    TPaginaAutomatica pagina;
    pagina.SetMaxValue = [this](int n) { ProgBar1->SetMaxValue(n); };
    pagina.SetProgress = [this](int n) { ProgBar1->SetProgress(n); };
    pagina.MostrarArquivo = [this, &medidas](const std::string& alvo) {
        LabArquivo->setText(
            QString::fromStdString(EncurtarCaminho(alvo, LabArquivo->width(), [&medidas](std::string_view texto) {
                return medidas.horizontalAdvance(QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size())));
            })));
    };
    pagina.AdicionarLinha = [this](const std::string& linha) {
        MemLog->appendPlainText(QString::fromStdString(linha));
        // The compile blocks the message loop; the log is painted line by line all the same.
        MemLog->repaint();
    };
    pagina.Cancelada = [this] { return FCancelada; };

    FCodigo = FOpcoes.Desinstalar ? DesinstalarSemAssistente(FOpcoes, *this, FLog, pagina, FExecutavel)
                                  : InstalarSemAssistente(FOpcoes, *this, FLog, pagina, FExecutavel);
    FConcluida = true;
    close();
}

void TFrmSilenciosa::BtnCancelarClick()
{
    FCancelada = true;
    BtnCancelar->setEnabled(false);
}

void TFrmSilenciosa::closeEvent(QCloseEvent* event)
{
    // While the run works the close box is Cancel: the run stops where it may, then the window closes.
    if (!FConcluida) {
        BtnCancelarClick();
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace tarvix
