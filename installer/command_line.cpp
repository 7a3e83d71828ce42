#include "installer/command_line.h"

#include "platform/ascii_case.h"

namespace tarvix {

namespace {

// What an option takes.
enum class TTipoOpcao { Sinal, Valor };

struct TOpcao {
    std::string_view Nome;
    TTipoOpcao Tipo;
};

constexpr TOpcao Opcoes[] = {
    {"SILENT", TTipoOpcao::Sinal},        {"VERYSILENT", TTipoOpcao::Sinal}, {"SUPPRESSMSGBOXES", TTipoOpcao::Sinal},
    {"ACCEPTLICENSE", TTipoOpcao::Sinal}, {"NOREPORT", TTipoOpcao::Sinal},   {"UNINSTALL", TTipoOpcao::Sinal},
    {"HELP", TTipoOpcao::Sinal},          {"?", TTipoOpcao::Sinal},          {"DIR", TTipoOpcao::Valor},
    {"LOG", TTipoOpcao::Valor},
};

// The value after "=": one pair of double quotes around it is dropped; a quote that opens and does not close,
// or a quote inside the value, makes it malformed (a shell or a Windows command line has already taken the
// quoting apart, so what is left here was meant literally and cannot be a path).
std::string Valor(std::string_view argumento, std::string_view texto)
{
    std::string_view valor = texto;
    if (!valor.empty() && valor.front() == '"') {
        if (valor.size() < 2 || valor.back() != '"')
            throw ELinhaComando("unclosed quote in " + std::string(argumento));
        valor = valor.substr(1, valor.size() - 2);
    }
    if (valor.find('"') != std::string_view::npos)
        throw ELinhaComando("stray quote in " + std::string(argumento));
    if (valor.empty())
        throw ELinhaComando("empty value in " + std::string(argumento));
    return std::string(valor);
}

} // namespace

TModoExecucao TLinhaComando::Modo() const
{
    if (MuitoSilenciosa)
        return TModoExecucao::MuitoSilenciosa;
    if (Silenciosa)
        return TModoExecucao::Silenciosa;
    return TModoExecucao::Assistente;
}

bool TLinhaComando::MensagensEmTexto() const
{
    // Without a window there is nothing to show a box on; with one, only /SUPPRESSMSGBOXES keeps them away.
    return Modo() == TModoExecucao::MuitoSilenciosa || SuprimirMensagens;
}

TLinhaComando LerLinhaComando(const std::vector<std::string>& argumentos)
{
    TLinhaComando linha;
    for (const std::string& argumento : argumentos) {
        std::string_view texto = argumento;
        if (texto.starts_with("--"))
            texto.remove_prefix(2);
        else if (texto.starts_with("/") || texto.starts_with("-"))
            texto.remove_prefix(1);
        else
            throw ELinhaComando("unexpected argument " + argumento);

        const std::size_t igual = texto.find('=');
        const std::string_view nome = texto.substr(0, igual);
        const TOpcao* opcao = nullptr;
        for (const TOpcao& candidata : Opcoes)
            if (platform::equalsIgnoringAsciiCase(candidata.Nome, nome))
                opcao = &candidata;
        if (!opcao)
            throw ELinhaComando("unknown option " + argumento);
        if (opcao->Tipo == TTipoOpcao::Sinal && igual != std::string_view::npos)
            throw ELinhaComando("option " + std::string(nome) + " takes no value: " + argumento);
        if (opcao->Tipo == TTipoOpcao::Valor && igual == std::string_view::npos)
            throw ELinhaComando("option " + std::string(nome) + " needs a value: " + argumento);

        const std::string_view chave = opcao->Nome;
        if (chave == "SILENT")
            linha.Silenciosa = true;
        else if (chave == "VERYSILENT")
            linha.MuitoSilenciosa = true;
        else if (chave == "SUPPRESSMSGBOXES")
            linha.SuprimirMensagens = true;
        else if (chave == "ACCEPTLICENSE")
            linha.AceitarLicenca = true;
        else if (chave == "NOREPORT")
            linha.SemRelatorio = true;
        else if (chave == "UNINSTALL")
            linha.Desinstalar = true;
        else if (chave == "HELP" || chave == "?")
            linha.Ajuda = true;
        else if (chave == "DIR")
            linha.Pasta = Valor(argumento, texto.substr(igual + 1));
        else
            linha.Log = Valor(argumento, texto.substr(igual + 1));
    }
    return linha;
}

std::string TextoUso(std::string_view programa)
{
    std::string texto = "Usage: " + std::string(programa) + " [options]\n";
    texto += R"(Installs the Tarvix Library into the Delphi IDE (on Linux: the IDE in the Wine prefix WINEPREFIX, else
~/.wine). Without options the installation wizard opens.

Options (any case; "/" or "-" first; a value follows "=" and may be quoted):
  /SILENT            no wizard pages: a small window shows the copy and the log, then closes
  /VERYSILENT        no window at all; needs no display
  /SUPPRESSMSGBOXES  every question takes its default answer; messages go to standard error and the log
  /ACCEPTLICENSE     accepts the licence agreement; required with /SILENT and /VERYSILENT
  /DIR="C:\folder"   the destination folder (a host path is mapped through the prefix's drives)
  /LOG="file"        writes every line of the run's log to that file, replacing it
  /NOREPORT          sends no installation report
  /UNINSTALL         removes the installation (with /SILENT or /VERYSILENT: without a question)
  /HELP, /?          prints this text

Exit codes:
  0  installed (or uninstalled)
  1  could not start: bad command line, damaged payload, the target IDE is not installed
  2  cancelled before anything was written, or the licence was not accepted
  4  failed while installing: a copy, the compile or a registry write failed; the log says which
  5  cancelled by the user while installing
  7  an IDE of the target version is running; nothing was written
)";
    return texto;
}

} // namespace tarvix
