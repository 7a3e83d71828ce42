#include "installer/package_registration.h"

#include "components/kq_lib_functions.h"
#include "components/kq_reg_manager.h"
#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_installation.h"
#include "installer/file_deployment.h"
#include "installer/uninstall_record.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/text_format.h"

namespace tarvix {

using enum TIdeBDSPlatform;

namespace {

// The -NS entry for a release: "d16" matched on its own, case-sensitively; the later releases without regard to
// case; none before Delphi XE.
std::string EntradaNamespaces(const std::string& versao)
{
    if (versao == "d16")
        return std::string(NamespacesD16);
    if (MatchValueIndex(versao, {"d17", "d18", "d19", "d20", "d21", "d22", "d23", "d24", "d25", "d26", "d27", "d28",
                                 "d29", "d37"}) >= 0)
        return std::string(NamespacesD17);
    return {};
}

bool DeveOmitir(const std::string& linha)
{
    return linha.find("Warning: W1057") != std::string::npos || linha.find("Warning: W1058") != std::string::npos;
}

std::string PastaOuDestino(const std::string& pasta, const std::string& destino)
{
    return platform::current().files().directoryExists(pasta) ? pasta : destino;
}

} // namespace

TEtapaRegistro::TEtapaRegistro(TWizardState& state, TWizardWindow& window, TPaginaRegistro pagina,
                               TIdeBorRADToolInstallation& instalacao, TKqRegManager& RegMan)
    : FEstado(state),
      FJanela(window),
      FPagina(std::move(pagina)),
      FInstalacao(instalacao),
      FRegMan(RegMan)
{}

std::string TEtapaRegistro::ArquivoPackage() const
{
    return IncPathDelimiter(FPagina.PastaDestino()) + NomePackage(FEstado.Version);
}

std::string TEtapaRegistro::ArquivoConfiguracao() const
{
    return IncPathDelimiter(FPagina.PastaDestino()) + "TarvixLib" + std::to_string(FEstado.Version) + "0.cfg";
}

std::string TEtapaRegistro::PastaBPL() const
{
    return PastaOuDestino(FInstalacao.GetBPLOutputPath(bpWin32), FPagina.PastaDestino());
}

std::string TEtapaRegistro::PastaDCP() const
{
    return PastaOuDestino(FInstalacao.GetDCPOutputPath(bpWin32), FPagina.PastaDestino());
}

void TEtapaRegistro::AdicionarLog(const std::string& linha)
{
    if (!DeveOmitir(linha))
        FPagina.AdicionarLinha(linha);
}

void TEtapaRegistro::ConfigurarCompilador(TIdeBorlandCommandLineTool& Sender)
{
    const std::string destino = FPagina.PastaDestino();
    std::vector<std::string>& opcoes = Sender.Options();
    opcoes.clear();
    if (FInstalacao.SupportsNoConfig())
        opcoes.push_back("--no-config");
    for (const char* opcao : {"-B", "-$O-", "-$W+", "-$Y-", "-M", "-Q", "-H-", "-W-"})
        opcoes.push_back(opcao);
    if (const std::string namespaces = EntradaNamespaces(FInstalacao.IDEVersionNumberStr()); !namespaces.empty())
        opcoes.push_back(namespaces);

    const std::string searchPath = FInstalacao.GetLibrarySearchPath(bpWin32);
    Sender.AddPathOption("U", FInstalacao.GetLibFolderName(bpWin32));
    Sender.AddPathOption("U", searchPath);
    Sender.AddPathOption("U", destino);
    Sender.AddPathOption("I", searchPath);
    Sender.AddPathOption("R", searchPath);
    Sender.AddPathOption("NO", destino);
    Sender.AddPathOption("LE", PastaBPL());
    Sender.AddPathOption("LN", PastaDCP());

    // A compiler without --no-config reads the package's .cfg instead; the build has moved an older one aside
    // and puts it back afterwards.
    if (!FInstalacao.SupportsNoConfig()) {
        std::string texto;
        for (const std::string& opcao : opcoes)
            texto += opcao + "\r\n";
        platform::System& system = platform::current();
        system.files().writeFile(ArquivoConfiguracao(), platform::encodeCodePage(texto, system.shell().ansiCodePage()));
    }
}

void TEtapaRegistro::RegistrarPackage()
{
    TIdeDCC32& compilador = FInstalacao.DCC32();
    compilador.OnBeforeExecute = [this](TIdeBorlandCommandLineTool& sender) { ConfigurarCompilador(sender); };
    FInstalacao.SetOutputCallback([this](const std::string& linha) { AdicionarLog(linha); });

    const std::string pastaBpl = PastaBPL();
    const std::string pastaDcp = PastaDCP();
    const std::string package = ArquivoPackage();
    const std::string destino = FPagina.PastaDestino();

    const auto relatar = [this](int erro) {
        if (FPagina.EnviarRelatorio)
            FPagina.EnviarRelatorio(erro);
    };
    // What the install is about to change, as it stands before, for the uninstall record.
    TAnotacaoInstalacao anotacao(FInstalacao, FRegMan, FEstado, destino, pastaBpl, pastaDcp, package);
    anotacao.Antes();
    if (FInstalacao.InstallPackage(package, pastaBpl, pastaDcp)) {
        FInstalacao.AddToLibraryBrowsingPath(destino, bpWin32);
        FInstalacao.AddToLibrarySearchPath(destino, bpWin32);
        FInstalacao.AddToDebugDCUPath(destino, bpWin32);
        FRegMan.WriteString("", "Caminho D" + std::to_string(FEstado.Version), destino);
        anotacao.Concluir();
        relatar(0);
        FJanela.MsgInformation(std::string(MsgInstalacaoConcluida));
    } else {
        relatar(1);
        FJanela.MsgError(platform::formatText(MsgFalhaInstalacao, {std::to_string(FEstado.Version)}));
    }
    FPagina.Concluir();
    FEstado.Finalizado = true;
}

} // namespace tarvix
