// tarvix-setup: the installer of the Tarvix Library. It carries its payload at the end of its own file (README,
// "Making an installer").
#include "components/qt_message_pump.h"
#include "installer/application.h"
#include "installer/executar_instalador.h"

int main(int argc, char** argv)
{
    tarvix::TApplication app(argc, argv);
    tarvix::ScopedQtMessagePump pump;
    return tarvix::ExecutarInstalador();
}
