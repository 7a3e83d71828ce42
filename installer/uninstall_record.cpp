#include "installer/uninstall_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "components/kq_lib_functions.h"
#include "components/kq_reg_manager.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_library_paths.h"
#include "ideservices/ide_package_source.h"
#include "ideservices/ide_packages.h"
#include "ideservices/ide_text_utils.h"
#include "installer/setup_descriptor.h"
#include "installer/wizard_window.h"
#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace KeyAccess = platform::KeyAccess;
using platform::RegRoot;

namespace {

constexpr std::string_view Cabecalho = "TarvixDesinstalacao 1";
constexpr std::string_view CampoSoma = "Soma=";

// --- The record's text -----------------------------------------------------------------------------------------------

// A field may hold any text: the characters that end a field or a line, and "%" itself, become %XX.
std::string Codificar(std::string_view texto)
{
    std::string saida;
    for (const char c : texto) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '|' || byte < 0x20) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            saida += hex;
        } else {
            saida += c;
        }
    }
    return saida;
}

std::string Decodificar(std::string_view campo)
{
    std::string saida;
    for (std::size_t i = 0; i < campo.size(); ++i) {
        if (campo[i] != '%') {
            saida += campo[i];
            continue;
        }
        unsigned value = 0;
        const char* first = campo.data() + i + 1;
        if (i + 2 >= campo.size() || std::from_chars(first, first + 2, value, 16).ptr != first + 2)
            throw ERegistroDanificado("invalid escape in \"" + std::string(campo) + "\"");
        saida += static_cast<char>(value);
        i += 2;
    }
    return saida;
}

std::vector<std::string> Campos(std::string_view linha)
{
    std::vector<std::string> campos;
    std::size_t inicio = 0;
    while (true) {
        const std::size_t fim = linha.find('|', inicio);
        campos.push_back(Decodificar(linha.substr(inicio, fim - inicio)));
        if (fim == std::string_view::npos)
            return campos;
        inicio = fim + 1;
    }
}

// FNV-1a, 64 bits: enough to tell a record that was cut short or edited from the one written.
std::string Soma(std::string_view texto)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : texto) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

uint64_t Numero(const std::string& campo)
{
    uint64_t value = 0;
    const char* fim = campo.data() + campo.size();
    if (campo.empty() || std::from_chars(campo.data(), fim, value).ptr != fim)
        throw ERegistroDanificado("invalid number \"" + campo + "\"");
    return value;
}

bool Flag(const std::string& campo)
{
    if (campo != "0" && campo != "1")
        throw ERegistroDanificado("invalid flag \"" + campo + "\"");
    return campo == "1";
}

RegRoot Raiz(const std::string& campo)
{
    const std::optional<RegRoot> raiz = platform::rootFromName(campo);
    if (!raiz)
        throw ERegistroDanificado("unknown registry root \"" + campo + "\"");
    return *raiz;
}

std::string Juntar(std::initializer_list<std::string_view> campos)
{
    std::string linha;
    for (const std::string_view campo : campos) {
        if (!linha.empty())
            linha += '|';
        linha += Codificar(campo);
    }
    return linha;
}

// --- Registry --------------------------------------------------------------------------------------------------------

uint32_t Vista(bool vista32)
{
    return vista32 ? KeyAccess::Wow64_32Key : 0;
}

std::unique_ptr<platform::RegistryKey> AbrirChave(RegRoot raiz, bool vista32, std::string_view chave, bool escrever)
{
    return platform::current().registry().openKey(
        raiz, chave, (escrever ? KeyAccess::AllAccess : KeyAccess::Read) | Vista(vista32), escrever);
}

std::string SemBarraInicial(std::string_view chave)
{
    while (!chave.empty() && chave.front() == '\\')
        chave.remove_prefix(1);
    return std::string(chave);
}

bool MesmoValor(const TValorAlterado& a, const TValorAlterado& b)
{
    return a.Local == b.Local && a.Raiz == b.Raiz && a.Vista32 == b.Vista32 &&
           platform::equalsIgnoringAsciiCase(a.Chave, b.Chave) && platform::equalsIgnoringAsciiCase(a.Nome, b.Nome);
}

bool ContemPasta(const std::vector<std::string>& pastas, std::string_view pasta)
{
    return std::any_of(pastas.begin(), pastas.end(), [&](const std::string& p) { return SameFolder(p, pasta); });
}

// Where the IDE keeps one of its three library paths for Win32: a registry value below its configuration key,
// and for the BDS family from version 5 on also a property of EnvOptions.proj (empty when none).
struct TLugarCaminho {
    std::string Secao;
    std::string Valor;
    std::string Propriedade;
};

std::vector<TLugarCaminho> LugaresCaminhos(const TIdeBorRADToolInstallation& ide)
{
    if (ide.RadToolKind() != TIdeBorRADToolKind::brBorlandDevStudio)
        return {{"Library", "Search Path", ""}, {"Library", "Browsing Path", ""}, {"Debugging", "Debug DCUs Path", ""}};
    const int versao = ide.IDEVersionNumber();
    const std::string secao = versao >= 9 ? "Library\\Win32" : "Library";
    const bool delphi = versao >= 8;
    const bool opcoes = versao >= 5;
    const auto propriedade = [&](const char* nova, const char* antiga) {
        return std::string(!opcoes ? "" : delphi ? nova : antiga);
    };
    return {{secao, "Search Path", propriedade("DelphiLibraryPath", "Win32LibraryPath")},
            {secao, "Browsing Path", propriedade("DelphiBrowsingPath", "Win32BrowsingPath")},
            {secao, "Debug DCU Path", propriedade("DelphiDebugDCUPath", "Win32DebugDCUPath")}};
}

std::optional<uint64_t> TamanhoArquivo(const std::string& caminho)
{
    const auto entradas =
        platform::current().files().enumerate(ide::ExtractFileDir(caminho), ide::ExtractFileName(caminho));
    for (const platform::DirEntry& entrada : entradas)
        if ((entrada.attributes & platform::FileAttr::Directory) == 0)
            return entrada.size;
    return std::nullopt;
}

void AcrescentarArquivo(std::vector<TArquivoInstalado>& arquivos, const std::string& caminho)
{
    const auto mesmo = [&](const TArquivoInstalado& a) { return SameFolder(a.Caminho, caminho); };
    if (std::any_of(arquivos.begin(), arquivos.end(), mesmo))
        return;
    if (const std::optional<uint64_t> tamanho = TamanhoArquivo(caminho))
        arquivos.push_back({caminho, *tamanho});
}

} // namespace

// --- The record's text -----------------------------------------------------------------------------------------------

std::string TextoRegistro(const TRegistroDesinstalacao& registro)
{
    std::string texto = std::string(Cabecalho) + "\r\n";
    const auto linha = [&](std::string_view nome, const std::string& campos) {
        texto += std::string(nome) + "=" + campos + "\r\n";
    };
    linha("Versao", std::to_string(registro.Version));
    linha("Destino", Codificar(registro.PastaDestino));
    linha("Ide", Codificar(registro.ChaveIde));
    linha("Entrada", Codificar(registro.ChaveEntrada));
    for (const TArquivoInstalado& arquivo : registro.Arquivos)
        linha("Arquivo", Juntar({std::to_string(arquivo.Tamanho), arquivo.Caminho}));
    for (const TValorAlterado& valor : registro.Valores) {
        std::string campos = Juntar({valor.Local == TLocalValor::Registro ? "R" : "O", platform::rootName(valor.Raiz),
                                     valor.Vista32 ? "1" : "0", valor.Chave, valor.Nome, valor.Existia ? "1" : "0",
                                     valor.Lista ? "1" : "0", valor.Antes, valor.Depois});
        for (const std::string& pasta : valor.PastasAdicionadas)
            campos += "|" + Codificar(pasta);
        linha("Valor", campos);
    }
    for (const TChaveCriada& chave : registro.Chaves)
        linha("Chave", Juntar({platform::rootName(chave.Raiz), chave.Vista32 ? "1" : "0", chave.Caminho}));
    for (const std::string& pasta : registro.PastasAnteriores)
        linha("Pasta", Codificar(pasta));
    return texto + std::string(CampoSoma) + Soma(texto) + "\r\n";
}

TRegistroDesinstalacao LerTextoRegistro(std::string_view texto)
{
    const std::size_t soma = texto.rfind(CampoSoma);
    if (texto.substr(0, Cabecalho.size() + 1) != std::string(Cabecalho) + "\r" || soma == std::string_view::npos ||
        (soma > 0 && texto[soma - 1] != '\n'))
        throw ERegistroDanificado("not an uninstall record, or cut short");
    std::string_view fim = texto.substr(soma + CampoSoma.size());
    if (fim != Soma(texto.substr(0, soma)) + "\r\n")
        throw ERegistroDanificado("checksum mismatch");

    TRegistroDesinstalacao registro;
    bool versao = false;
    std::string_view corpo = texto.substr(0, soma);
    corpo.remove_prefix(corpo.find('\n') + 1);
    while (!corpo.empty()) {
        std::string_view linha = corpo.substr(0, corpo.find('\n'));
        corpo.remove_prefix(std::min(corpo.size(), linha.size() + 1));
        if (!linha.empty() && linha.back() == '\r')
            linha.remove_suffix(1);
        const std::size_t igual = linha.find('=');
        if (igual == std::string_view::npos)
            throw ERegistroDanificado("line without a name: \"" + std::string(linha) + "\"");
        const std::string_view nome = linha.substr(0, igual);
        const std::vector<std::string> campos = Campos(linha.substr(igual + 1));
        const auto exigir = [&](std::size_t n) {
            if (campos.size() < n)
                throw ERegistroDanificado("too few fields: \"" + std::string(linha) + "\"");
        };
        if (nome == "Versao") {
            registro.Version = static_cast<int32_t>(Numero(campos[0]));
            versao = true;
        } else if (nome == "Destino") {
            registro.PastaDestino = campos[0];
        } else if (nome == "Ide") {
            registro.ChaveIde = campos[0];
        } else if (nome == "Entrada") {
            registro.ChaveEntrada = campos[0];
        } else if (nome == "Arquivo") {
            exigir(2);
            registro.Arquivos.push_back({campos[1], Numero(campos[0])});
        } else if (nome == "Valor") {
            exigir(9);
            if (campos[0] != "R" && campos[0] != "O")
                throw ERegistroDanificado("unknown value kind \"" + campos[0] + "\"");
            TValorAlterado valor;
            valor.Local = campos[0] == "R" ? TLocalValor::Registro : TLocalValor::OpcoesIde;
            valor.Raiz = Raiz(campos[1]);
            valor.Vista32 = Flag(campos[2]);
            valor.Chave = campos[3];
            valor.Nome = campos[4];
            valor.Existia = Flag(campos[5]);
            valor.Lista = Flag(campos[6]);
            valor.Antes = campos[7];
            valor.Depois = campos[8];
            valor.PastasAdicionadas.assign(campos.begin() + 9, campos.end());
            registro.Valores.push_back(std::move(valor));
        } else if (nome == "Pasta") {
            registro.PastasAnteriores.push_back(campos[0]);
        } else if (nome == "Chave") {
            exigir(3);
            registro.Chaves.push_back({Raiz(campos[0]), Flag(campos[1]), campos[2]});
        } else {
            throw ERegistroDanificado("unknown line \"" + std::string(linha) + "\"");
        }
    }
    if (!versao || registro.PastaDestino.empty())
        throw ERegistroDanificado("the version or the destination is missing");
    return registro;
}

std::string ArquivoRegistro(const std::string& pasta)
{
    return IncPathDelimiter(pasta) + std::string(NomeRegistroDesinstalacao);
}

void GravarRegistro(const TRegistroDesinstalacao& registro)
{
    platform::current().files().writeFile(ArquivoRegistro(registro.PastaDestino), TextoRegistro(registro));
}

std::optional<TRegistroDesinstalacao> LerRegistro(const std::string& pasta)
{
    platform::FileSystem& files = platform::current().files();
    const std::string arquivo = ArquivoRegistro(pasta);
    if (pasta.empty() || !files.fileExists(arquivo))
        return std::nullopt;
    return LerTextoRegistro(files.readFile(arquivo));
}

// --- The list of installed programs ----------------------------------------------------------------------------------

std::string NomeEntradaProgramas(int32_t version)
{
    return "TarvixComps D" + std::to_string(version);
}

void GravarEntradaProgramas(const std::string& chave, const TEntradaProgramas& entrada)
{
    auto key = AbrirChave(RegRoot::LocalMachine, true, std::string(ChaveProgramasInstalados) + "\\" + chave, true);
    if (!key)
        throw platform::RegistryError("Cannot create the uninstall entry \"" + chave + "\"");
    const std::string comando = "\"" + entrada.Desinstalador + "\" /UNINSTALL";
    key->writeString("DisplayName", entrada.DisplayName);
    key->writeString("DisplayVersion", entrada.DisplayVersion);
    key->writeString("Publisher", EditorProgramas);
    key->writeString("InstallLocation", entrada.InstallLocation);
    key->writeString("UninstallString", comando);
    key->writeString("QuietUninstallString", comando + " /VERYSILENT /SUPPRESSMSGBOXES");
    key->writeDword("EstimatedSize", entrada.EstimatedSize);
    key->writeDword("NoModify", 1);
    key->writeDword("NoRepair", 1);
}

std::vector<std::string> EntradasDaPasta(const std::string& pasta)
{
    std::vector<std::string> nomes;
    if (pasta.empty())
        return nomes;
    auto lista = AbrirChave(RegRoot::LocalMachine, true, ChaveProgramasInstalados, false);
    if (!lista)
        return nomes;
    for (const std::string& nome : lista->subKeyNames()) {
        auto entrada =
            AbrirChave(RegRoot::LocalMachine, true, std::string(ChaveProgramasInstalados) + "\\" + nome, false);
        const std::optional<std::string> local = entrada ? entrada->readString("InstallLocation") : std::nullopt;
        if (local && !local->empty() && SameFolder(*local, pasta))
            nomes.push_back(nome);
    }
    return nomes;
}

// --- What the registration step changes ------------------------------------------------------------------------------

TAnotacaoInstalacao::TAnotacaoInstalacao(TIdeBorRADToolInstallation& instalacao, TKqRegManager& RegMan,
                                         const TWizardState& state, std::string destino, std::string pastaBpl,
                                         std::string pastaDcp, std::string package)
    : FInstalacao(instalacao),
      FRegMan(RegMan),
      FEstado(state),
      FDestino(std::move(destino)),
      FPastaBpl(std::move(pastaBpl)),
      FPastaDcp(std::move(pastaDcp)),
      FPackage(std::move(package))
{}

std::optional<std::string> TAnotacaoInstalacao::LerValor(const TValorAlterado& valor) const
{
    if (valor.Local == TLocalValor::OpcoesIde) {
        auto* bds = dynamic_cast<TIdeBDSInstallation*>(&FInstalacao);
        return bds ? std::optional(bds->ReadEnvOption(valor.Nome, TIdeBDSPlatform::bpWin32, true)) : std::nullopt;
    }
    auto key = AbrirChave(valor.Raiz, valor.Vista32, valor.Chave, false);
    return key ? key->readString(valor.Nome) : std::nullopt;
}

void TAnotacaoInstalacao::NotarChavesAusentes(RegRoot raiz, bool vista32, const std::string& chave)
{
    platform::Registry& registry = platform::current().registry();
    std::vector<TChaveCriada> ausentes;
    for (std::string caminho = chave; !caminho.empty() && !registry.keyExists(raiz, caminho, Vista(vista32));
         caminho = caminho.find('\\') == std::string::npos ? std::string() : caminho.substr(0, caminho.rfind('\\')))
        ausentes.insert(ausentes.begin(), {raiz, vista32, caminho});
    for (TChaveCriada& ausente : ausentes)
        if (std::find(FChavesAusentes.begin(), FChavesAusentes.end(), ausente) == FChavesAusentes.end())
            FChavesAusentes.push_back(std::move(ausente));
}

void TAnotacaoInstalacao::NotarValor(TValorAlterado valor, const std::optional<std::string>& atual)
{
    valor.Existia = atual.has_value();
    valor.Antes = atual.value_or("");
    // After an earlier installation into this folder, "before" is what that one found, as long as nothing has
    // changed the value since; otherwise what is there now, without the folders that installation added.
    if (FAnterior) {
        const auto anterior = std::find_if(FAnterior->Valores.begin(), FAnterior->Valores.end(),
                                           [&](const TValorAlterado& v) { return MesmoValor(v, valor); });
        if (anterior != FAnterior->Valores.end()) {
            valor.PastasAdicionadas = anterior->PastasAdicionadas;
            if (atual && *atual == anterior->Depois) {
                valor.Existia = anterior->Existia;
                valor.Antes = anterior->Antes;
            } else if (valor.Lista) {
                std::vector<std::string> pastas = SplitPathList(valor.Antes);
                std::erase_if(pastas, [&](const std::string& p) { return ContemPasta(valor.PastasAdicionadas, p); });
                valor.Antes = JoinPathList(pastas);
            }
        }
    }
    FValores.push_back(std::move(valor));
}

void TAnotacaoInstalacao::NotarRegistro(RegRoot raiz, bool vista32, const std::string& chave, const std::string& nome,
                                        bool lista)
{
    TValorAlterado valor;
    valor.Raiz = raiz;
    valor.Vista32 = vista32;
    valor.Chave = chave;
    valor.Nome = nome;
    valor.Lista = lista;
    NotarChavesAusentes(raiz, vista32, chave);
    const std::optional<std::string> atual = LerValor(valor);
    NotarValor(std::move(valor), atual);
}

void TAnotacaoInstalacao::NotarOpcao(const std::string& nome)
{
    TValorAlterado valor;
    valor.Local = TLocalValor::OpcoesIde;
    valor.Nome = nome;
    valor.Lista = true;
    const std::optional<std::string> atual = LerValor(valor);
    if (atual)
        NotarValor(std::move(valor), atual);
}

void TAnotacaoInstalacao::Antes()
{
    // The installation this one updates: the one in the destination, else the one in the remembered folder when
    // the user has moved it. The new record takes over what that one names, so that one uninstall removes both
    // and the older record no longer claims the values they share.
    // Read without the registry manager, which would create its key.
    const RegRoot raizLembrada = RootKeyHandle(FRegMan.RootKey());
    const bool vistaLembrada = (FRegMan.Registry().Access() & KeyAccess::Wow64_32Key) != 0;
    const std::string chaveLembrada = SemBarraInicial(FRegMan.ComposedPath(""));
    const auto chave = AbrirChave(raizLembrada, vistaLembrada, chaveLembrada, false);
    const std::string lembrada =
        chave ? chave->readString(NomeCaminhoLembrado(FEstado.Version)).value_or("") : std::string();
    for (const std::string& pasta : {FDestino, lembrada}) {
        try {
            FAnterior = LerRegistro(pasta);
        } catch (const ERegistroDanificado&) {
            // A damaged record describes nothing that can be trusted; the new one starts from what is there now.
            FAnterior.reset();
        }
        if (FAnterior)
            break;
    }
    const TIdeConfigStore& store = FInstalacao.ConfigData();
    const std::string chaveIde = SemBarraInicial(store.Key());
    NotarRegistro(store.RootKey(), true, chaveIde + "\\" + TIdeBorRADToolIdePackages::KnownPackagesSection(false),
                  PackageBinaryPath(FPastaBpl, FPackage), false);
    for (const TLugarCaminho& lugar : LugaresCaminhos(FInstalacao)) {
        NotarRegistro(store.RootKey(), true, chaveIde + "\\" + lugar.Secao, lugar.Valor, true);
        if (!lugar.Propriedade.empty())
            NotarOpcao(lugar.Propriedade);
    }
    NotarRegistro(raizLembrada, vistaLembrada, chaveLembrada, NomeCaminhoLembrado(FEstado.Version), false);
    NotarChavesAusentes(RegRoot::LocalMachine, true,
                        std::string(ChaveProgramasInstalados) + "\\" + NomeEntradaProgramas(FEstado.Version));

    FArquivosAntes.clear();
    for (const platform::DirEntry& entrada : platform::current().files().enumerate(FDestino, "*"))
        FArquivosAntes.push_back(entrada.name);
}

std::vector<TArquivoInstalado> TAnotacaoInstalacao::ArquivosInstalados() const
{
    std::vector<TArquivoInstalado> arquivos;
    const std::string pasta = IncPathDelimiter(FDestino);
    const auto nomeEm = [](const std::vector<std::string>& nomes, const std::string& nome) {
        return std::any_of(nomes.begin(), nomes.end(),
                           [&](const std::string& n) { return platform::equalsIgnoringAsciiCase(n, nome); });
    };
    for (const platform::DirEntry& entrada : platform::current().files().enumerate(FDestino, "*")) {
        if ((entrada.attributes & platform::FileAttr::Directory) != 0 ||
            platform::equalsIgnoringAsciiCase(entrada.name, NomeRegistroDesinstalacao))
            continue;
        // What the copy put there, and what appeared while the step ran (the compile's files); a file that was
        // there before and is no file of the edition is the user's.
        if (nomeEm(FEstado.ListaArquivos, entrada.name) || !nomeEm(FArquivosAntes, entrada.name))
            arquivos.push_back({pasta + entrada.name, entrada.size});
    }
    if (FAnterior)
        for (const TArquivoInstalado& arquivo : FAnterior->Arquivos)
            AcrescentarArquivo(arquivos, arquivo.Caminho);
    const std::string bpl = PackageBinaryPath(FPastaBpl, FPackage);
    AcrescentarArquivo(arquivos, bpl);
    // The package's description file is named after the package, without the library suffix of the BPL.
    AcrescentarArquivo(arquivos,
                       IncPathDelimiter(FPastaDcp) + ide::ChangeFileExt(ide::ExtractFileName(FPackage), ".dcp"));
    return arquivos;
}

TRegistroDesinstalacao TAnotacaoInstalacao::Concluir()
{
    platform::FileSystem& files = platform::current().files();
    platform::Registry& registry = platform::current().registry();
    TRegistroDesinstalacao registro;
    registro.Version = FEstado.Version;
    registro.PastaDestino = FDestino;
    registro.ChaveIde = FInstalacao.ConfigDataLocation();

    for (TValorAlterado valor : FValores) {
        const std::optional<std::string> depois = LerValor(valor);
        if (!depois)
            continue;
        valor.Depois = *depois;
        if (valor.Lista)
            for (const std::string& pasta : SplitPathList(valor.Depois))
                if (!pasta.empty() && !ContemPasta(SplitPathList(valor.Antes), pasta) &&
                    !ContemPasta(valor.PastasAdicionadas, pasta))
                    valor.PastasAdicionadas.push_back(pasta);
        // A value the install left as it found it is not the install's to take back.
        if (valor.Existia && valor.Antes == valor.Depois && valor.PastasAdicionadas.empty())
            continue;
        registro.Valores.push_back(std::move(valor));
    }

    const std::string entrada = NomeEntradaProgramas(FEstado.Version);
    const std::string chaveEntrada = std::string(ChaveProgramasInstalados) + "\\" + entrada;
    if (FAnterior) {
        registro.Chaves = FAnterior->Chaves;
        registro.PastasAnteriores = FAnterior->PastasAnteriores;
        if (!SameFolder(FAnterior->PastaDestino, FDestino))
            registro.PastasAnteriores.push_back(FAnterior->PastaDestino);
        std::erase_if(registro.PastasAnteriores, [&](const std::string& p) { return SameFolder(p, FDestino); });
    }
    for (const TChaveCriada& chave : FChavesAusentes) {
        // The list entry's own key goes with the entry; the keys above it are made with it, just below.
        const bool daEntrada = chave.Raiz == RegRoot::LocalMachine && chave.Vista32 &&
                               chaveEntrada.starts_with(chave.Caminho) && chave.Caminho != chaveEntrada;
        if ((daEntrada ||
             (chave.Caminho != chaveEntrada && registry.keyExists(chave.Raiz, chave.Caminho, Vista(chave.Vista32)))) &&
            std::find(registro.Chaves.begin(), registro.Chaves.end(), chave) == registro.Chaves.end())
            registro.Chaves.push_back(chave);
    }

    registro.Arquivos = ArquivosInstalados();
    const std::string desinstalador = IncPathDelimiter(FDestino) + std::string(NomeDesinstalador);
    const std::string& instalador = FEstado.ArquivoInstalador;
    const std::optional<uint64_t> tamanhoInstalador = instalador.empty() ? std::nullopt : TamanhoArquivo(instalador);
    if (tamanhoInstalador) {
        std::erase_if(registro.Arquivos,
                      [&](const TArquivoInstalado& a) { return SameFolder(a.Caminho, desinstalador); });
        registro.Arquivos.push_back({desinstalador, *tamanhoInstalador});
        registro.ChaveEntrada = entrada;
    }
    GravarRegistro(registro);
    if (FAnterior && !SameFolder(FAnterior->PastaDestino, FDestino))
        files.deleteFile(ArquivoRegistro(FAnterior->PastaDestino));
    if (!tamanhoInstalador)
        return registro;

    // The uninstaller is the installer itself; run from the destination, it is already there.
    if (!SameFolder(instalador, desinstalador) && !files.copyFile(instalador, desinstalador, false))
        throw platform::FileError("Cannot create file \"" + desinstalador + "\".", files.lastError());
    uint64_t total = 0;
    for (const TArquivoInstalado& arquivo : registro.Arquivos)
        total += arquivo.Tamanho;
    TEntradaProgramas valores;
    valores.DisplayName = FEstado.Package.empty() ? std::string("Tarvix Library") : FEstado.Package;
    if (const std::string delphi = NomeDelphi(FEstado.Version); !delphi.empty())
        valores.DisplayName += " para " + delphi;
    valores.DisplayVersion = TARVIX_PRODUCT_VERSION;
    valores.InstallLocation = FDestino;
    valores.Desinstalador = desinstalador;
    valores.EstimatedSize = static_cast<uint32_t>((total + 1023) / 1024);
    GravarEntradaProgramas(entrada, valores);
    return registro;
}

} // namespace tarvix
