// tarvix-setup: the installer of the Tarvix Library. It carries its payload at the end of its own file (README,
// "Making an installer"). The command line is read before anything of the window library is made: /VERYSILENT
// runs the Qt-free core alone, so that it needs neither a display nor a Qt platform plugin.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "components/qt_message_pump.h"
#include "installer/application.h"
#include "installer/command_line.h"
#include "installer/executar_instalador.h"
#include "installer/unattended_run.h"

int main(int argc, char** argv)
{
    const std::string programa = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "tarvix-setup";
    tarvix::TLinhaComando opcoes;
    try {
        opcoes = tarvix::LerLinhaComando(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const tarvix::ELinhaComando& e) {
        std::cerr << programa << ": " << e.what() << "\n\n" << tarvix::TextoUso(programa);
        return static_cast<int>(tarvix::TCodigoSaida::NaoIniciou);
    }
    if (opcoes.Ajuda) {
        std::cout << tarvix::TextoUso(programa);
        return 0;
    }
    if (opcoes.Modo() == tarvix::TModoExecucao::MuitoSilenciosa)
        return tarvix::ExecutarMuitoSilencioso(opcoes, std::cerr);

    tarvix::TApplication app(argc, argv);
    tarvix::ScopedQtMessagePump pump;
    return tarvix::ExecutarInstalador(opcoes);
}
