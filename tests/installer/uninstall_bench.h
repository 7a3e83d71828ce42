// The registration step run as the wizard runs it, with an edition's files put into the destination the way the
// copy step leaves them, and the uninstall step run after it; on whatever prefix is the current system. The
// uninstall tests and their interop test share it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/kq_reg_manager.h"
#include "ideservices/ide_installation.h"
#include "installer/package_registration.h"
#include "installer/uninstall_step.h"
#include "installer/wizard_window.h"
#include "platform/system.h"
#include "tests/installer/window_recorder.h"

namespace tarvix::test {

inline const std::string UninstallDestination = "C:\\Tarvix\\D37";
inline const std::string UninstallInstaller = "C:\\Setup\\tarvix-setup.exe";
inline const std::string UninstallInstallerBytes = "MZ the installer with its payload";
inline const char* const UninstallPackageSource =
    "package TarvixLib370;\r\n\r\n{$R *.res}\r\n{$DESCRIPTION 'Tarvix'}\r\n\r\n"
    "requires\r\n  rtl;\r\n\r\ncontains\r\n  KqAlpha;\r\n\r\nend.\r\n";

class RegistrationRun {
public:
    // The installer's file is written into the current system's C:\Setup.
    explicit RegistrationRun(std::string package = "Edição de Teste")
    {
        platform::FileSystem& files = platform::current().files();
        files.forceDirectories("C:\\Setup");
        files.writeFile(UninstallInstaller, UninstallInstallerBytes);
        state_.Version = 37;
        state_.Package = std::move(package);
        state_.ArquivoInstalador = UninstallInstaller;
        RegMan_.SetRootKey(HKeyLocalMachine);
        RegMan_.SetKey(ChaveTarvixComps);
        RegMan_.Loaded();
    }

    // The copy step's part, then the registration step into `ide`; it must succeed.
    void Install(TIdeBorRADToolInstallation& ide, const std::string& destination = UninstallDestination)
    {
        platform::FileSystem& files = platform::current().files();
        files.forceDirectories(destination);
        files.writeFile(destination + "\\TarvixLib370.dpk", UninstallPackageSource);
        files.writeFile(destination + "\\KqAlpha.dcu", "alpha unit");
        state_.ListaArquivos = {"TarvixLib370.dpk", "KqAlpha.dcu"};
        TPaginaRegistro pagina;
        pagina.PastaDestino = [destination] { return destination; };
        pagina.AdicionarLinha = [](const std::string&) {};
        pagina.Concluir = [] {};
        // The step's handlers stay attached to the IDE's compiler driver: each step lives as long as the run.
        steps_.push_back(std::make_unique<TEtapaRegistro>(state_, installWindow, std::move(pagina), ide, RegMan_));
        steps_.back()->RegistrarPackage();
        ASSERT_EQ(installWindow.boxes.back().markup, MsgInstalacaoConcluida);
    }

    // The uninstall step with a fresh recorder (which keeps the answer set for its boxes) and log.
    TCodigoSaida Uninstall(const std::string& destination = UninstallDestination, bool silent = true)
    {
        const int answer = window.answer;
        window = {};
        window.answer = answer;
        log.clear();
        TOpcoesDesinstalacao opcoes;
        opcoes.PastaDestino = destination;
        opcoes.Silenciosa = silent;
        opcoes.IdeEmExecucao = [this] { return ideRunning; };
        opcoes.Log = [this](const std::string& line) { log.push_back(line); };
        return Desinstalar(window, opcoes);
    }

    WindowRecorder installWindow;
    WindowRecorder window;
    std::vector<std::string> log;
    bool ideRunning = false;

private:
    TWizardState state_;
    TKqRegManager RegMan_;
    std::vector<std::unique_ptr<TEtapaRegistro>> steps_;
};

} // namespace tarvix::test
