// The demo's walk through the wizard on a machine without a display: started by tarvix-setup when the
// environment variable TARVIX_DEMO_AUTOWALK names a folder. It does what a user would do, through the window's
// own controls: waits for the start-up sequence, presses Next on every page, ticks the agreement box, lets the
// copy run, and on the registration page closes the window, answering its question. It saves a picture of
// every page (and of every message box it meets) as PNG into the folder and prints what it did and, at the
// end, what was installed where: the destination folder's files and the rewritten package source.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace tarvix {

class TFrmMain;

class TDemoAutoWalk : public QObject {
    Q_OBJECT
public:
    TDemoAutoWalk(TFrmMain& janela, QString pasta, QObject* parent = nullptr);

    // Starts polling the window; call before the event loop runs.
    void Iniciar();
    // After the event loop has ended: 0 when the walk reached the registration page and closed the window, 1
    // otherwise (the outcome is printed).
    int Concluir();

private:
    enum class Fase { Inicio, BemVindo, Contrato, Caminho, Confirmar, Copiar, Registrar, Fechando, Fim };

    void Passo();
    bool AtenderMensagem();
    void Fotografar(const QString& nome);
    void Apertar(const char* botao);
    void Relatar();
    void Terminar(int resultado, const QString& motivo);
    bool NaPagina(const char* pagina) const;

    TFrmMain& janela_;
    QString pasta_;
    QTimer timer_;
    Fase fase_ = Fase::Inicio;
    int mensagens_ = 0;
    int resultado_ = 1;
    int passos_ = 0;
};

} // namespace tarvix
