// The demo's walk through the wizard on a machine without a display, run alongside the installer's window by
// tarvix-setup-demo-walk (installer/demo_walk_main.cpp). It does what a user would do, through the window's
// own controls: waits for the start-up sequence, presses Next on every page, ticks the agreement box, lets the
// copy and the compile-and-register step run, acknowledges the outcome and presses "Fechar". It saves a picture
// of every page (and of every message box it meets, and of the wait overlay while the installation report is
// posted) as PNG into the folder and prints what it did and, at the
// end, what was installed where: the destination folder's files, the rewritten package source, the registration
// log and the registry values and library paths the installer wrote.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "installer/executar_instalador.h"

namespace tarvix {

class TFrmMain;

class TDemoAutoWalk : public QObject {
    Q_OBJECT
public:
    TDemoAutoWalk(TFrmMain& janela, QString pasta, QObject* parent = nullptr);

    // Starts polling the window; call before the event loop runs.
    void Iniciar();
    // After the event loop has ended: 0 when the installation succeeded and the window was closed with
    // "Fechar", 1 otherwise (the outcome is printed).
    int Concluir();

protected:
    // Takes the picture of the wait overlay when its panel appears in the window: the report's posts block the
    // event loop, so the poll cannot see it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Fase { Inicio, BemVindo, Contrato, Caminho, Confirmar, Copiar, Registrar, Fechando, Fim };

    void Passo();
    bool AtenderMensagem();
    void Fotografar(const QString& nome);
    void Apertar(const char* botao);
    void Relatar();
    void RelatarRegistro();
    void Terminar(int resultado, const QString& motivo);
    bool NaPagina(const char* pagina) const;

    TFrmMain& FJanela;
    QString FPasta;
    QTimer FTimer;
    Fase FFase = Fase::Inicio;
    int FMensagens = 0;
    bool FErroNoTopo = false; // the application's top-level error box was answered
    bool FSucesso = false;
    int FResultado = 1;
    int FPassos = 0;
    bool FAguardandoFotografado = false;
};

// The walk as what goes along with the installer's run (ExecutarInstalador): it starts once the window exists,
// and the run's exit code is the walk's (Concluir). `pasta` is the folder for the pictures.
TAcompanhamento CaminhadaDemo(const QString& pasta);

} // namespace tarvix
