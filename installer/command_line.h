// The installer's command line: the options that let a build server, an image of a Wine prefix or an
// administrator install (or remove) the library without walking the wizard. Parsed here, in the Qt-free core, so
// that main() can choose a front end before any window library is loaded, and so that every front end reads the
// same options.
//
// An option starts with "/" or "-" ("--" is taken as "-" too) and is matched without regard to case; a value
// follows "=" and may stand in double quotes, which are dropped. Without any option the wizard runs as always.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

// The front end a command line asks for.
enum class TModoExecucao {
    Assistente,     // the wizard's pages
    Silenciosa,     // one small window with the copy gauge and the log (/SILENT)
    MuitoSilenciosa // no window at all, no window library loaded (/VERYSILENT)
};

struct TLinhaComando {
    bool Silenciosa = false;          // /SILENT
    bool MuitoSilenciosa = false;     // /VERYSILENT (wins over /SILENT)
    bool SuprimirMensagens = false;   // /SUPPRESSMSGBOXES: every box takes its default answer
    bool AceitarLicenca = false;      // /ACCEPTLICENSE
    bool SemRelatorio = false;        // /NOREPORT
    bool Desinstalar = false;         // /UNINSTALL
    bool Ajuda = false;               // /HELP, /?
    std::optional<std::string> Pasta; // /DIR=: the destination as given (a Windows path or a host path)
    std::optional<std::string> Log;   // /LOG=: the log file as given

    TModoExecucao Modo() const;
    // True when the run shows no wizard page: the licence has to be accepted on the command line.
    bool Automatica() const { return Modo() != TModoExecucao::Assistente; }
    // True when the message boxes are not shown: their text goes to standard error and the log instead.
    bool MensagensEmTexto() const;
};

// Raised for an unknown option, a value where none belongs, a missing or empty value, an unclosed quote. The
// message names the argument in English, as a console tool says it.
class ELinhaComando : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The arguments after the program's name, as the process received them.
TLinhaComando LerLinhaComando(const std::vector<std::string>& argumentos);

// The usage text: the options and the exit codes, for standard output (/HELP) or standard error (a bad command
// line). `programa` is the name the installer was started by.
std::string TextoUso(std::string_view programa);

} // namespace tarvix
