#include "installer/demo_autowalk.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "components/ex_notebook.h"
#include "components/kq_gauge.h"
#include "components/kq_panel.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_installations.h"
#include "installer/file_deployment.h"
#include "installer/frm_aguardar.h"
#include "installer/frm_main.h"
#include "installer/package_rewriter.h"
#include "platform/system.h"

namespace tarvix {

using enum TIdeBDSPlatform;

namespace {

// Polling interval, and how long the walk may take before it gives up.
constexpr int IntervaloMs = 20;
constexpr int LimitePassos = 120'000 / IntervaloMs;

void Escrever(const QString& linha)
{
    std::fputs(linha.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The texts of a window's labels, one per line, the markup's line breaks as spaces.
QString TextosDe(QWidget* janela)
{
    QStringList textos;
    for (QLabel* label : janela->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            textos << label->text().replace(u'\r', u' ').replace(u'\n', u' ');
    return textos.join(QStringLiteral(" / "));
}

} // namespace

TDemoAutoWalk::TDemoAutoWalk(TFrmMain& janela, QString pasta, QObject* parent)
    : QObject(parent),
      FJanela(janela),
      FPasta(std::move(pasta))
{
    FTimer.setInterval(IntervaloMs);
    connect(&FTimer, &QTimer::timeout, this, [this] { Passo(); });
}

void TDemoAutoWalk::Iniciar()
{
    QDir().mkpath(FPasta);
    Escrever(QStringLiteral("demo: walking the wizard by itself; pictures go to %1").arg(QDir(FPasta).absolutePath()));
    qApp->installEventFilter(this);
    FTimer.start();
}

bool TDemoAutoWalk::eventFilter(QObject* watched, QEvent* event)
{
    // The main window has a panel of the same name: only the overlay's own counts.
    if (event->type() == QEvent::Show && !FAguardandoFotografado && FrmAguardar &&
        watched == static_cast<QObject*>(FrmAguardar->PanFundo())) {
        if (FrmAguardar->PanFundo()->parentWidget() == &FJanela) {
            FAguardandoFotografado = true;
            Escrever(QStringLiteral("demo: the wait overlay is shown while the installation report is posted"));
            Fotografar(QStringLiteral("6-registrar-finalizando"));
        }
    }
    return QObject::eventFilter(watched, event);
}

bool TDemoAutoWalk::NaPagina(const char* pagina) const
{
    const auto* notebook = FJanela.findChild<TExNotebook*>(QStringLiteral("NoteEtapas"));
    return notebook && notebook->ActivePage() && notebook->ActivePage()->objectName() == QLatin1String(pagina);
}

void TDemoAutoWalk::Fotografar(const QString& nome)
{
    const QString arquivo = QDir(FPasta).filePath(nome + QStringLiteral(".png"));
    const auto* aviso = FJanela.findChild<QLabel*>(QStringLiteral("LabAviso"));
    if (FJanela.grab().save(arquivo))
        Escrever(QStringLiteral("demo: page \"%1\" -> %2").arg(aviso ? aviso->text() : QString(), arquivo));
    else
        Escrever(QStringLiteral("demo: cannot save %1").arg(arquivo));
}

// Clicks a button of the window from the event loop rather than from this poll: the click may run a long step
// (the copy) that keeps processing events, and the poll must go on meanwhile.
void TDemoAutoWalk::Apertar(const char* botao)
{
    auto* button = FJanela.findChild<QPushButton*>(QLatin1String(botao));
    if (!button)
        return;
    Escrever(QStringLiteral("demo: press \"%1\"").arg(button->text()));
    QTimer::singleShot(0, button, &QPushButton::click);
}

bool TDemoAutoWalk::AtenderMensagem()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return false;
    ++FMensagens;
    if (qobject_cast<QMessageBox*>(modal))
        FErroNoTopo = true;
    const QString arquivo = QDir(FPasta).filePath(QStringLiteral("mensagem-%1.png").arg(FMensagens));
    modal->grab().save(arquivo);
    Escrever(QStringLiteral("demo: message \"%1\": %2 -> %3").arg(modal->windowTitle(), TextosDe(modal), arquivo));
    // The question on closing is answered Yes; any other message is acknowledged with its first button.
    const QList<QAbstractButton*> buttons = modal->findChildren<QAbstractButton*>();
    QAbstractButton* escolha = buttons.isEmpty() ? nullptr : buttons.first();
    for (QAbstractButton* b : buttons)
        if (b->text() == QStringLiteral("&Sim"))
            escolha = b;
    if (escolha) {
        Escrever(QStringLiteral("demo: answer \"%1\"").arg(escolha->text()));
        QTimer::singleShot(0, escolha, &QAbstractButton::click);
    } else {
        modal->close();
    }
    return true;
}

void TDemoAutoWalk::Passo()
{
    if (++FPassos > LimitePassos) {
        Terminar(1, QStringLiteral("the walk took too long"));
        FJanela.close();
        return;
    }
    if (AtenderMensagem())
        return;
    if (FJanela.Fechada() || !FJanela.isVisible()) {
        if (FFase == Fase::Fechando)
            Terminar(FSucesso ? 0 : 1, FSucesso ? QStringLiteral("the installation succeeded and the wizard was closed")
                                                : QStringLiteral("the installation failed; the wizard was closed"));
        else
            Terminar(1, QStringLiteral("the wizard closed before the registration step ended"));
        return;
    }

    switch (FFase) {
    case Fase::Inicio:
        if (FJanela.Iniciada())
            FFase = Fase::BemVindo;
        break;
    case Fase::BemVindo:
        if (NaPagina("NpgBemVindo")) {
            Fotografar(QStringLiteral("1-bem-vindo"));
            Apertar("BtnAvancar");
            FFase = Fase::Contrato;
        }
        break;
    case Fase::Contrato:
        if (NaPagina("NpgContrato")) {
            if (auto* box = FJanela.findChild<QCheckBox*>(QStringLiteral("ChxContrato"))) {
                Escrever(QStringLiteral("demo: tick \"%1\"").arg(box->text()));
                box->click();
            }
            Fotografar(QStringLiteral("2-contrato"));
            Apertar("BtnAvancar");
            FFase = Fase::Caminho;
        }
        break;
    case Fase::Caminho:
        if (NaPagina("NpgCaminho")) {
            Escrever(QStringLiteral("demo: destination %1").arg(QString::fromStdString(FJanela.PastaDestino())));
            Fotografar(QStringLiteral("3-caminho"));
            Apertar("BtnAvancar");
            FFase = Fase::Confirmar;
        }
        break;
    case Fase::Confirmar:
        if (NaPagina("NpgConfirmar")) {
            Fotografar(QStringLiteral("4-confirmar"));
            Apertar("BtnAvancar");
            FFase = Fase::Copiar;
        }
        break;
    case Fase::Copiar:
        // The copy runs inside the click; this poll comes in while it processes messages. The picture is taken
        // half-way through.
        if (NaPagina("NpgCopiar")) {
            const auto* gauge = FJanela.findChild<TKqGauge*>(QStringLiteral("ProgBar1"));
            if (gauge && gauge->Progress() * 2 >= gauge->MaxValue()) {
                Fotografar(QStringLiteral("5-copiar"));
                FFase = Fase::Registrar;
            }
        } else if (NaPagina("NpgRegistrar")) {
            Escrever(QStringLiteral("demo: the copy ended before its half-way picture"));
            FFase = Fase::Registrar;
        }
        break;
    case Fase::Registrar:
        // The step runs inside the copy's page change; this poll comes in while its outcome is on the screen
        // (answered above) and once it has left the window with "Fechar" alone.
        if (NaPagina("NpgRegistrar")) {
            const auto* cancelar = FJanela.findChild<QPushButton*>(QStringLiteral("BtnCancelar"));
            const bool concluido = cancelar && cancelar->text() == QStringLiteral("Fechar");
            if (!concluido && !FErroNoTopo)
                break;
            Fotografar(QStringLiteral("6-registrar"));
            Relatar();
            RelatarRegistro();
            FSucesso = concluido && FJanela.Estado().Finalizado && !FErroNoTopo;
            FFase = Fase::Fechando;
            if (concluido) {
                Apertar("BtnCancelar");
            } else {
                Escrever(QStringLiteral("demo: the registration step stopped with an error; close the window"));
                QTimer::singleShot(0, &FJanela, &QWidget::close);
            }
        }
        break;
    case Fase::Fechando:
    case Fase::Fim: break;
    }
}

void TDemoAutoWalk::Relatar()
{
    const TWizardState& estado = FJanela.Estado();
    const std::string destino = FJanela.PastaDestino();
    platform::FileSystem& files = platform::current().files();
    try {
        Escrever(QStringLiteral("demo: installed into %1 (host folder %2):")
                     .arg(QString::fromStdString(destino), QString::fromStdString(files.toHostPath(destino))));
        std::vector<platform::DirEntry> entradas = files.enumerate(destino, "*");
        std::sort(entradas.begin(), entradas.end(),
                  [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
        for (const platform::DirEntry& e : entradas)
            Escrever(QStringLiteral("  %1 %2").arg(e.size, 9).arg(QString::fromStdString(e.name)));
        const std::string package = IncPathDelimiter(destino) + NomePackage(estado.Version);
        Escrever(QStringLiteral("demo: the rewritten package source %1:").arg(QString::fromStdString(package)));
        for (const std::string& linha : CarregarTexto(package).Linhas)
            Escrever(QStringLiteral("  | ") + QString::fromStdString(linha));
    } catch (const std::exception& e) {
        Escrever(QStringLiteral("demo: cannot list the destination: %1").arg(QString::fromUtf8(e.what())));
    }
}

void TDemoAutoWalk::RelatarRegistro()
{
    const auto* log = FJanela.findChild<QPlainTextEdit*>(QStringLiteral("MemRegistro"));
    Escrever(QStringLiteral("demo: the registration log:"));
    if (log)
        for (const QString& linha : log->toPlainText().split(u'\n'))
            Escrever(QStringLiteral("  > ") + linha);

    // What the installer wrote, read back from the registry and the IDE's options file as the IDE will read it.
    try {
        platform::Registry& registry = platform::current().registry();
        const auto valores = [&](platform::RegRoot root, const std::string& chave, uint32_t vista) {
            Escrever(QStringLiteral("demo: %1\\%2:")
                         .arg(QString::fromUtf8(platform::rootName(root).data()), QString::fromStdString(chave)));
            auto key = registry.openKey(root, chave, platform::KeyAccess::Read | vista, false);
            if (!key) {
                Escrever(QStringLiteral("  (no such key)"));
                return;
            }
            for (const std::string& nome : key->valueNames()) {
                const std::string valor = key->value(nome).value_or(platform::RegValue{}).asString();
                Escrever(QStringLiteral("  \"%1\" = \"%2\"")
                             .arg(QString::fromStdString(nome), QString::fromStdString(valor)));
            }
        };
        TIdeBorRADToolInstallations instalacoes;
        const std::string versao = "d" + std::to_string(FJanela.Estado().Version);
        for (int i = 0; i < instalacoes.Count(); ++i) {
            TIdeBorRADToolInstallation& alvo = *instalacoes.Installations(i);
            if (alvo.IDEVersionNumberStr() != versao)
                continue;
            const std::string chave = alvo.ConfigDataLocation().substr(1); // without its leading backslash
            valores(platform::RegRoot::CurrentUser, chave + "\\Known Packages", platform::KeyAccess::Wow64_32Key);
            valores(platform::RegRoot::CurrentUser, chave + "\\Library\\Win32", platform::KeyAccess::Wow64_32Key);
            if (auto* bds = dynamic_cast<TIdeBDSInstallation*>(&alvo)) {
                Escrever(QStringLiteral("demo: %1:").arg(QString::fromStdString(bds->EnvOptionsFileName())));
                for (const char* nome : {"DelphiLibraryPath", "DelphiBrowsingPath", "DelphiDebugDCUPath"}) {
                    const std::string valor = bds->ReadEnvOption(nome, bpWin32, true);
                    Escrever(QStringLiteral("  %1 = %2").arg(QString::fromLatin1(nome), QString::fromStdString(valor)));
                }
            }
        }
        valores(platform::RegRoot::LocalMachine, std::string(ChaveTarvixComps).substr(1), 0);
    } catch (const std::exception& e) {
        Escrever(QStringLiteral("demo: cannot read what was registered: %1").arg(QString::fromUtf8(e.what())));
    }
}

int TDemoAutoWalk::Concluir()
{
    if (FFase == Fase::Fechando && FJanela.Fechada())
        Terminar(FSucesso ? 0 : 1, FSucesso ? QStringLiteral("the installation succeeded and the wizard was closed")
                                            : QStringLiteral("the installation failed; the wizard was closed"));
    else
        Terminar(1, QStringLiteral("the wizard closed before the registration step ended"));
    return FResultado;
}

void TDemoAutoWalk::Terminar(int resultado, const QString& motivo)
{
    if (FFase == Fase::Fim)
        return;
    FFase = Fase::Fim;
    FResultado = resultado;
    FTimer.stop();
    Escrever(QStringLiteral("demo: %1").arg(motivo));
}

TAcompanhamento CaminhadaDemo(const QString& pasta)
{
    return [pasta](TFrmMain& janela) -> std::function<int(int)> {
        // The walk lives in the function returned, which the run keeps until the loop has ended and drops before
        // the window goes.
        auto caminhada = std::make_shared<TDemoAutoWalk>(janela, pasta);
        caminhada->Iniciar();
        return [caminhada](int) { return caminhada->Concluir(); };
    };
}

} // namespace tarvix
