// tarvix-setup-demo-walk: the demo's walk through the installer where nobody is at a display to walk it. It runs
// the installer's own window on the payload of a packed installer, the way tarvix-setup runs it (the same run,
// with its error box), and the walk alongside (installer/demo_autowalk.h). The shipped installer knows nothing
// of the walk.
//
//   tarvix-setup-demo-walk INSTALLER PICTURES
//
// INSTALLER is an installer made by tarvix-pack, whose payload is unpacked; PICTURES the folder for the pictures
// of the pages. The exit code is 0 when the library was installed and the wizard was closed with "Fechar".
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <filesystem>

#include "components/qt_message_pump.h"
#include "installer/application.h"
#include "installer/demo_autowalk.h"
#include "installer/executar_instalador.h"
#include "platform/system.h"

int main(int argc, char** argv)
{
    tarvix::TApplication app(argc, argv);
    const QStringList argumentos = QCoreApplication::arguments();
    if (argumentos.size() != 3) {
        std::fputs("usage: tarvix-setup-demo-walk INSTALLER PICTURES\n", stderr);
        return 2;
    }
    tarvix::ScopedQtMessagePump pump;

    // The window takes the file that carries the payload as a Windows path, as it would take its own.
    std::string instalador;
    try {
        const std::filesystem::path host = std::filesystem::absolute(QFile::encodeName(argumentos[1]).toStdString());
        instalador = tarvix::platform::current().files().toWindowsPath(host.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvix-setup-demo-walk: %s\n", e.what());
        return 1;
    }

    return tarvix::ExecutarInstalador(instalador, tarvix::CaminhadaDemo(argumentos[2]));
}
