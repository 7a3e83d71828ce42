// The registration step of the registration page: the rewritten package source compiled with the target IDE's
// own command-line compiler and registered in that IDE, through the IDE installation services. The step puts its
// own option list into the compiler driver just before each run, shows the services' progress lines and the
// compiler's output in the page's log (without two kinds of warnings), and on success adds the destination to the
// IDE's three library paths and remembers it in the registry. Either way it tells the user the outcome, and the
// window is left with one button, "Fechar".
//
// Errors raised by the services (the compiler missing, a registry write refused, a failure to read the
// compiler's output) are not the step's to handle: they leave it at once and reach the application's top-level
// error box, with Finalizado still False. Qt-free: the main window hands in its page as callbacks.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "installer/wizard_window.h"

namespace tarvix {

class TIdeBorRADToolInstallation;
class TIdeBorlandCommandLineTool;
class TKqRegManager;

inline constexpr std::string_view MsgInstalacaoConcluida = "A instalação dos componentes foi concluída com sucesso!";
// %d is the descriptor's version.
inline constexpr std::string_view MsgFalhaInstalacao =
    "Ocorreu um erro e não foi possível concluir a instalação. Verique|a causa do erro nas informações no log de "
    "registro.||<b>Importante:<b>|Você poderá realizar a instalação manual abrindo o arquivo "
    "<b>TarvixLib%d0.dpk<b>|que se encontra na pasta escolhida para instalação dos componentes.";

// The namespace lists of the compiler's -NS option: one for Delphi XE ("d16"), one for every later release.
inline constexpr std::string_view NamespacesD16 =
    "-NSData.Win;Datasnap.Win;Web.Win;Soap.Win;Xml.Win;Bde;Vcl;Vcl.Imaging;Vcl.Touch;Vcl.Samples;Vcl.Shell;System;"
    "Xml;Data;Datasnap;Web;Soap;Winapi;System.Win";
inline constexpr std::string_view NamespacesD17 =
    "-NSWinapi;System.Win;Data.Win;Datasnap.Win;Web.Win;Soap.Win;Xml.Win;Bde;System;Xml;Data;Datasnap;Web;Soap;Vcl;"
    "Vcl.Imaging;Vcl.Touch;Vcl.Samples;Vcl.Shell";

// What the step reaches of the registration page and of the window.
struct TPaginaRegistro {
    // The destination folder as the window holds it.
    std::function<std::string()> PastaDestino;
    // Appends one line to the log box MemRegistro.
    std::function<void(const std::string&)> AdicionarLinha;
    // The window's last state: Cancel captioned "Fechar".
    std::function<void()> Concluir;
    // Sends the installation report with its error indicator (0 success, 1 failure) before the outcome is shown;
    // nothing is sent while it is empty.
    std::function<void(int)> EnviarRelatorio;
};

class TEtapaRegistro {
public:
    // The installation is the target IDE (Instalacoes[IndiceDelphi]); RegMan is the window's registry manager on
    // the key of the remembered destination. All of them must outlive the step, whose handlers stay attached
    // to the installation's compiler driver.
    TEtapaRegistro(TWizardState& state, TWizardWindow& window, TPaginaRegistro pagina,
                   TIdeBorRADToolInstallation& instalacao, TKqRegManager& RegMan);

    // The whole step.
    void RegistrarPackage();

    // The handler of the driver's OnBeforeExecute: the option list replaced by the installer's own; for a
    // compiler that cannot be told to ignore configuration files, the list is also saved as the package's .cfg.
    void ConfigurarCompilador(TIdeBorlandCommandLineTool& Sender);
    // The installation's output callback: a line with "Warning: W1057" or "Warning: W1058" (case-sensitive) is
    // left out, any other goes to the log.
    void AdicionarLog(const std::string& linha);
    // The BPL and DCP folders of the IDE for Win32 when they exist, else the destination.
    std::string PastaBPL() const;
    std::string PastaDCP() const;

    // The package source in the destination ("TarvixLib370.dpk") and its compiler configuration file.
    std::string ArquivoPackage() const;
    std::string ArquivoConfiguracao() const;

private:
    TWizardState& FEstado;
    TWizardWindow& FJanela;
    TPaginaRegistro FPagina;
    TIdeBorRADToolInstallation& FInstalacao;
    TKqRegManager& FRegMan;
};

} // namespace tarvix
