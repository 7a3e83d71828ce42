#include "installer/uninstall_step.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "ideservices/ide_installation.h"
#include "ideservices/ide_installations.h"
#include "ideservices/ide_library_paths.h"
#include "installer/uninstall_record.h"
#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/text_format.h"

namespace tarvix {

namespace {

namespace KeyAccess = platform::KeyAccess;

uint32_t Vista(bool vista32)
{
    return vista32 ? KeyAccess::Wow64_32Key : 0;
}

std::string Descrever(const TValorAlterado& valor)
{
    if (valor.Local == TLocalValor::OpcoesIde)
        return "EnvOptions.proj: " + valor.Nome;
    return std::string(platform::rootName(valor.Raiz)) + "\\" + valor.Chave + "\\" + valor.Nome;
}

// Takes back what one record names, item by item. Each item looks at what is there now, so that a second run
// over a record that a failure left behind does nothing twice.
class TDesinstalacao {
public:
    TDesinstalacao(const TRegistroDesinstalacao& registro, const std::function<void(const std::string&)>& log)
        : FRegistro(registro),
          FLog(log)
    {}

    void Executar()
    {
        for (auto valor = FRegistro.Valores.rbegin(); valor != FRegistro.Valores.rend(); ++valor)
            Desfazer(*valor);
        RemoverArquivos();
        RemoverEntrada();
        for (auto chave = FRegistro.Chaves.rbegin(); chave != FRegistro.Chaves.rend(); ++chave)
            RemoverChaveVazia(*chave);
        platform::FileSystem& files = platform::current().files();
        files.deleteFile(ArquivoRegistro(FRegistro.PastaDestino));
        for (const std::string& pasta : FRegistro.PastasAnteriores)
            RemoverPastaVazia(pasta);
        RemoverPastaVazia(FRegistro.PastaDestino);
    }

private:
    void Log(const std::string& linha) const
    {
        if (FLog)
            FLog(linha);
    }

    // The IDE of the record, for the values in its EnvOptions.proj; null when it is no longer installed.
    TIdeBDSInstallation* Ide()
    {
        if (!FInstalacoes) {
            FInstalacoes = std::make_unique<TIdeBorRADToolInstallations>();
            for (int i = 0; i < FInstalacoes->Count(); ++i)
                if (platform::equalsIgnoringAsciiCase(FInstalacoes->Installations(i)->ConfigDataLocation(),
                                                      FRegistro.ChaveIde))
                    FIde = dynamic_cast<TIdeBDSInstallation*>(FInstalacoes->Installations(i));
        }
        return FIde;
    }

    std::optional<std::string> Ler(const TValorAlterado& valor)
    {
        if (valor.Local == TLocalValor::OpcoesIde)
            return Ide()->ReadEnvOption(valor.Nome, TIdeBDSPlatform::bpWin32, true);
        auto key = platform::current().registry().openKey(valor.Raiz, valor.Chave,
                                                          KeyAccess::Read | Vista(valor.Vista32), false);
        return key ? key->readString(valor.Nome) : std::nullopt;
    }

    void Escrever(const TValorAlterado& valor, const std::optional<std::string>& texto)
    {
        if (valor.Local == TLocalValor::OpcoesIde) {
            Ide()->WriteEnvOption(valor.Nome, texto.value_or(""), TIdeBDSPlatform::bpWin32);
            return;
        }
        auto key = platform::current().registry().openKey(valor.Raiz, valor.Chave,
                                                          KeyAccess::AllAccess | Vista(valor.Vista32), false);
        if (!key)
            return;
        if (texto)
            key->writeString(valor.Nome, *texto);
        else
            key->deleteValue(valor.Nome);
    }

    void Desfazer(const TValorAlterado& valor)
    {
        if (valor.Local == TLocalValor::OpcoesIde && !Ide()) {
            Log("Mantido (o Delphi não foi encontrado): " + Descrever(valor));
            return;
        }
        const std::optional<std::string> atual = Ler(valor);
        if (!atual)
            return;
        if (*atual == valor.Depois) {
            Escrever(valor, valor.Existia || valor.Local == TLocalValor::OpcoesIde ? std::optional(valor.Antes)
                                                                                   : std::nullopt);
            Log((valor.Existia ? "Restaurado: " : "Removido: ") + Descrever(valor));
            return;
        }
        if (!valor.Lista) {
            Log("Mantido (alterado depois da instalação): " + Descrever(valor));
            return;
        }
        // Changed since the install: only the folders the install added leave the list.
        std::vector<std::string> pastas = SplitPathList(*atual);
        const auto adicionada = [&](const std::string& pasta) {
            return std::any_of(valor.PastasAdicionadas.begin(), valor.PastasAdicionadas.end(),
                               [&](const std::string& p) { return SameFolder(p, pasta); });
        };
        if (std::erase_if(pastas, [&](const std::string& p) { return !p.empty() && adicionada(p); }) == 0)
            return;
        Escrever(valor, JoinPathList(pastas));
        Log("Pastas da instalação retiradas de: " + Descrever(valor));
    }

    void RemoverArquivos()
    {
        platform::FileSystem& files = platform::current().files();
        for (const TArquivoInstalado& arquivo : FRegistro.Arquivos) {
            const std::size_t barra = arquivo.Caminho.rfind('\\');
            if (barra == std::string::npos)
                continue;
            const auto entradas = files.enumerate(arquivo.Caminho.substr(0, barra), arquivo.Caminho.substr(barra + 1));
            if (entradas.empty() || (entradas.front().attributes & platform::FileAttr::Directory) != 0)
                continue;
            if (entradas.front().size != arquivo.Tamanho)
                Log("Mantido (alterado depois da instalação): " + arquivo.Caminho);
            else if (files.deleteFile(arquivo.Caminho))
                Log("Removido: " + arquivo.Caminho);
            else
                Log("Não foi possível remover: " + arquivo.Caminho);
        }
    }

    void RemoverEntrada()
    {
        if (FRegistro.ChaveEntrada.empty())
            return;
        const std::vector<std::string> entradas = EntradasDaPasta(FRegistro.PastaDestino);
        // An entry that a later installation into another folder has taken over is that installation's.
        if (std::none_of(entradas.begin(), entradas.end(), [&](const std::string& nome) {
                return platform::equalsIgnoringAsciiCase(nome, FRegistro.ChaveEntrada);
            }))
            return;
        const std::string chave = std::string(ChaveProgramasInstalados) + "\\" + FRegistro.ChaveEntrada;
        if (platform::current().registry().deleteKey(platform::RegRoot::LocalMachine, chave, KeyAccess::Wow64_32Key))
            Log("Removido da lista de programas instalados: " + FRegistro.ChaveEntrada);
    }

    void RemoverPastaVazia(const std::string& pasta)
    {
        platform::FileSystem& files = platform::current().files();
        if (files.enumerate(pasta, "*").empty() && files.removeDirectory(pasta))
            Log("Pasta removida: " + pasta);
    }

    void RemoverChaveVazia(const TChaveCriada& chave)
    {
        platform::Registry& registry = platform::current().registry();
        auto key = registry.openKey(chave.Raiz, chave.Caminho, KeyAccess::Read | Vista(chave.Vista32), false);
        if (key && key->valueNames().empty() && key->subKeyNames().empty()) {
            key.reset();
            if (registry.deleteKey(chave.Raiz, chave.Caminho, Vista(chave.Vista32)))
                Log("Removido: " + std::string(platform::rootName(chave.Raiz)) + "\\" + chave.Caminho);
        }
    }

    const TRegistroDesinstalacao& FRegistro;
    const std::function<void(const std::string&)>& FLog;
    std::unique_ptr<TIdeBorRADToolInstallations> FInstalacoes;
    TIdeBDSInstallation* FIde = nullptr;
};

} // namespace

TCodigoSaida Desinstalar(TWizardWindow& window, const TOpcoesDesinstalacao& opcoes)
{
    const std::string& pasta = opcoes.PastaDestino;
    const auto log = [&](const std::string& linha) {
        if (opcoes.Log)
            opcoes.Log(linha);
    };
    try {
        std::optional<TRegistroDesinstalacao> registro;
        try {
            registro = LerRegistro(pasta);
        } catch (const ERegistroDanificado& e) {
            window.MsgError(platform::formatText(MsgRegistroDanificado, {pasta, e.what()}));
            return TCodigoSaida::NaoIniciou;
        }
        if (!registro) {
            // Without a record nothing is guessed: an installation that is still listed is reported; a folder
            // with no trace of one has nothing left to take back.
            if (!EntradasDaPasta(pasta).empty()) {
                window.MsgError(platform::formatText(MsgRegistroAusente, {pasta}));
                return TCodigoSaida::NaoIniciou;
            }
            log(pasta.empty() ? std::string("Nada a remover") : "Nada a remover em " + pasta);
            window.MsgInformation(pasta.empty() ? std::string(MsgNenhumaInstalacao)
                                                : platform::formatText(MsgNadaARemover, {pasta}));
            return TCodigoSaida::Sucesso;
        }
        if (opcoes.IdeEmExecucao && opcoes.IdeEmExecucao()) {
            window.MsgError(std::string(MsgIdeEmExecucao));
            return TCodigoSaida::IdeAberta;
        }
        if (!opcoes.Silenciosa && window.MsgConfirmation(platform::formatText(MsgConfirmarDesinstalacao, {pasta})) != 6)
            return TCodigoSaida::Cancelada;
        TDesinstalacao(*registro, opcoes.Log).Executar();
        window.MsgInformation(std::string(MsgDesinstalacaoConcluida));
        return TCodigoSaida::Sucesso;
    } catch (const std::exception& e) {
        window.MsgError(platform::formatText(MsgFalhaDesinstalacao, {pasta, e.what()}));
        return TCodigoSaida::Falhou;
    }
}

} // namespace tarvix
