// tarvix-setup: the installer of the Tarvix Library. It carries its payload at the end of its own file (README,
// "Making an installer").
#include <QByteArray>

#include <memory>

#include "components/qt_message_pump.h"
#include "installer/application.h"
#include "installer/demo_autowalk.h"
#include "installer/frm_main.h"

int main(int argc, char** argv)
{
    tarvix::TApplication app(argc, argv);
    tarvix::ScopedQtMessagePump pump;

    // The main window is a top-level window without an owner, so it is the one the task bar shows; closing it
    // ends the application. It lives on this stack until the loop has ended, so no step that is still
    // unwinding after the close finds it gone.
    tarvix::TFrmMain janela;

    // The demo walks the wizard by itself where there is no display to show it on.
    std::unique_ptr<tarvix::TDemoAutoWalk> walk;
    if (const QByteArray pasta = qgetenv("TARVIX_DEMO_AUTOWALK"); !pasta.isEmpty()) {
        walk = std::make_unique<tarvix::TDemoAutoWalk>(janela, QString::fromLocal8Bit(pasta));
        walk->Iniciar();
    }

    janela.show();
    const int resultado = tarvix::TApplication::exec();
    return walk ? walk->Concluir() : resultado;
}
