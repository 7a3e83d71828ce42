// The unattended runs of the command line: the installation (or the uninstallation) driven without the wizard's
// pages, through the same steps the wizard drives (payload, descriptor, copy, compile and register, report,
// uninstall), and the very silent front end that runs them with no window at all. Qt-free: /VERYSILENT must run
// without a display and without a window library, and the /SILENT window and the wizard use the log and the
// plain-text message boxes from here too.
//
// The exit codes are TCodigoSaida (installer/uninstall_step.h).
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "installer/command_line.h"
#include "installer/uninstall_step.h"
#include "installer/wizard_window.h"

namespace tarvix {

// The text of a message in the message dialog's markup as plain lines: the style tags (<b> <i> <u> <r> <c>, and
// <c:NAME> when it closes within 30 characters) dropped as the dialog drops them, "|" and CR, LF or CR LF as
// line breaks.
std::vector<std::string> LinhasSemMarcacao(std::string_view markup);

// The log of a run: every line goes to the /LOG file when there is one, written and flushed at once, so that
// the file tells how far a run came even when it is killed.
class RunLog {
public:
    // Creates (or empties) the file. Raises std::runtime_error, in English, when it cannot be written.
    void openFile(const std::filesystem::path& file);
    bool hasFile() const { return file_.is_open(); }

    void line(std::string_view text);
    // A message box as the log keeps it: its title before the first line, the markup removed.
    void message(std::string_view title, std::string_view markup);

private:
    std::ofstream file_;
};

// The window services of a run that shows no message box: each message goes to `out` (standard error) and to
// the log as plain text, and takes its default answer: OK, or Yes for a question. A close request is only noted.
class TextWindow : public TWizardWindow {
public:
    TextWindow(std::ostream& out, RunLog& log) : out_(out), log_(log) {}

    int MsgError(const std::string& markup) override;
    int MsgWarning(const std::string& markup) override;
    int MsgInformation(const std::string& markup) override;
    int MsgConfirmation(const std::string& markup) override;
    void PostClose() override { closeRequested_ = true; }

    bool closeRequested() const { return closeRequested_; }

private:
    int write(std::string_view title, std::string_view markup, int answer);

    std::ostream& out_;
    RunLog& log_;
    bool closeRequested_ = false;
};

// The titles of the message boxes, as the dialog shows them.
inline constexpr std::string_view TituloErro = "Erro";
inline constexpr std::string_view TituloAviso = "Aviso";
inline constexpr std::string_view TituloInformacao = "Informação";
inline constexpr std::string_view TituloConfirmacao = "Confirmação";

// The messages of the unattended runs.
inline constexpr std::string_view MsgLicencaNaoAceita =
    "A instalação sem o assistente exige a aceitação do Contrato de Licença.|Repita o comando com "
    "<b>/ACCEPTLICENSE<b> para aceitá-lo. Nada foi gravado.";
// %s is the IDE's name.
inline constexpr std::string_view MsgDelphiEmExecucao =
    "O <b>%s<b> está aberto neste computador.|Encerre o Delphi e repita o comando. Nada foi gravado.";
inline constexpr std::string_view MsgCanceladaAntesDeGravar = "A instalação foi cancelada. Nada foi gravado.";
inline constexpr std::string_view MsgCanceladaDuranteCopia =
    "A instalação foi cancelada durante a cópia dos arquivos.|Os arquivos já copiados ficaram na pasta de destino.";
// %s is the error's text.
inline constexpr std::string_view MsgErroServicos =
    "Não foi possível concluir a instalação.||<b>Mensagem de erro:<b>|%s";
inline constexpr std::string_view MsgErroInicio = "Não foi possível iniciar o instalador.||<b>Mensagem de erro:<b>|%s";
inline constexpr std::string_view MsgNadaADesinstalar =
    "Nenhuma instalação da Tarvix Library foi encontrada neste computador: nada a desinstalar.";

// A copied file, as the log of an unattended run lists it; the outcome's last line.
std::string LinhaCopia(std::string_view arquivo);
std::string LinhaResultado(bool desinstalacao, TCodigoSaida codigo);

// What an unattended run shows while it works; every member may be empty.
struct TPaginaAutomatica {
    std::function<void(int)> SetMaxValue;                   // the copy gauge: the number of files
    std::function<void(int)> SetProgress;                   // ... and the file being copied (1 .. number of files)
    std::function<void(const std::string&)> MostrarArquivo; // the target path of that file
    std::function<void(const std::string&)> AdicionarLinha; // one line of the run's log, as the log file gets it
    // True once the user asked to stop (the window's Cancel, an interrupt signal).
    std::function<bool()> Cancelada;
};

// The destination the command line names: a Windows path as it stands, a host path through the current
// system's drives (relative to the current folder); without a trailing backslash unless it is a drive's root.
std::string PastaDaLinhaComando(std::string_view valor);
// The /LOG file on the host: a Windows path through the current system's drives, a host path as it stands.
std::filesystem::path ArquivoLogDaLinhaComando(std::string_view valor);

// Opens the command line's /LOG file when it names one. False, with the reason on `erros`, when it cannot be
// created: the run then ends with NaoIniciou before anything else happens.
bool AbrirLogDaLinhaComando(RunLog& log, const TLinhaComando& opcoes, std::ostream& erros);

// The installation without the wizard's pages: refuses without /ACCEPTLICENSE (Cancelada), unpacks the payload
// of `executavel` (empty: the running executable), reads the descriptor, takes the destination from /DIR or as
// the wizard proposes it, finds the target IDE, refuses while it runs (IdeAberta), copies, compiles and
// registers, and sends the report unless /NOREPORT. Every message goes through `window`; every line of the log
// (the copied files, the registration log, the messages, the outcome) to `log` and the page. The work folder is
// deleted at the end. Never raises.
TCodigoSaida InstalarSemAssistente(const TLinhaComando& opcoes, TWizardWindow& window, RunLog& log,
                                   const TPaginaAutomatica& pagina, std::string_view executavel = {});

// /UNINSTALL: finds the destination (/DIR; else the folder of `executavel`, the uninstaller, when it holds an
// uninstall record; else the remembered destination of the payload's version) and runs the uninstall step on
// it, without a question in the silent modes. Never raises.
TCodigoSaida DesinstalarSemAssistente(const TLinhaComando& opcoes, TWizardWindow& window, RunLog& log,
                                      const TPaginaAutomatica& pagina, std::string_view executavel = {});

// The very silent front end: opens the /LOG file, runs the installation or the uninstallation with a
// TextWindow on `erros`, an interrupt (SIGINT, SIGTERM) cancelling it, and returns the exit code. A /LOG file
// that cannot be created is said on `erros` and gives NaoIniciou before anything else happens.
int ExecutarMuitoSilencioso(const TLinhaComando& opcoes, std::ostream& erros, std::string_view executavel = {});

} // namespace tarvix
