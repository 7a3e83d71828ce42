// The uninstall record: what a successful installation added to the prefix (or to Windows), written into the
// destination folder so that the uninstall can take back exactly that and nothing else. It names every file the
// installation left (with its size), every value it changed (what the value held before and what it wrote; for
// a path list also the folders it added), the registry keys it created, and its entry in the system's list of
// installed programs. The registration step notes the state before it changes anything (TAnotacaoInstalacao)
// and writes the record on success, together with the uninstaller (a copy of the installer) and the list entry.
// Qt-free.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tarvix {

class TIdeBorRADToolInstallation;
class TKqRegManager;
struct TWizardState;

// The record and the uninstaller, in the destination folder.
inline constexpr std::string_view NomeRegistroDesinstalacao = "desinstalar.dat";
inline constexpr std::string_view NomeDesinstalador = "desinstalar.exe";
// The system's list of installed programs below HKEY_LOCAL_MACHINE, in the 32-bit view.
inline constexpr std::string_view ChaveProgramasInstalados = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr std::string_view EditorProgramas = "Morvane";

// A file the installation left, with the size it had when the record was written.
struct TArquivoInstalado {
    std::string Caminho; // Windows path
    uint64_t Tamanho = 0;
    bool operator==(const TArquivoInstalado&) const = default;
};

// Where a changed value lives: a registry value, or a property of the IDE's EnvOptions.proj (for Win32).
enum class TLocalValor { Registro, OpcoesIde };

// One value the installation changed. The uninstall puts Antes back while the value still holds Depois; when
// something else changed it meanwhile, a path list only loses the folders of PastasAdicionadas and any other
// value stays as it is.
struct TValorAlterado {
    TLocalValor Local = TLocalValor::Registro;
    platform::RegRoot Raiz = platform::RegRoot::CurrentUser; // Registro only
    bool Vista32 = false;                                    // opened in the 32-bit view (Registro only)
    std::string Chave;                                       // below the root, no leading backslash (Registro only)
    std::string Nome;                                        // value name, or the property's name
    bool Existia = false;                                    // a registry value that existed before
    std::string Antes;
    std::string Depois;
    bool Lista = false; // a ";"-separated path list
    std::vector<std::string> PastasAdicionadas;
    bool operator==(const TValorAlterado&) const = default;
};

// A registry key that the installation created; it goes again when it is left empty.
struct TChaveCriada {
    platform::RegRoot Raiz = platform::RegRoot::CurrentUser;
    bool Vista32 = false;
    std::string Caminho; // below the root, no leading backslash
    bool operator==(const TChaveCriada&) const = default;
};

struct TRegistroDesinstalacao {
    int32_t Version = 0;
    std::string PastaDestino;
    std::string ChaveIde;     // the target IDE's configuration key ("\SOFTWARE\Embarcadero\BDS\37.0")
    std::string ChaveEntrada; // the key of the list entry below ChaveProgramasInstalados (32-bit view)
    std::vector<TArquivoInstalado> Arquivos;
    std::vector<TValorAlterado> Valores;
    std::vector<TChaveCriada> Chaves; // parents before their children
    // Earlier destinations of this installation (the user moved it): they go too when left empty.
    std::vector<std::string> PastasAnteriores;
    bool operator==(const TRegistroDesinstalacao&) const = default;
};

// A record whose text cannot be read: cut short, changed by hand, of an unknown layout.
class ERegistroDanificado : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The record's text: a header line, one line per item, and a closing line with the checksum of everything
// before it, so that a record cut short or edited is recognised as damaged rather than half read.
std::string TextoRegistro(const TRegistroDesinstalacao& registro);
// Raises ERegistroDanificado, naming what is wrong.
TRegistroDesinstalacao LerTextoRegistro(std::string_view texto);

// The record file of a destination folder (IncPathDelimiter(pasta) + NomeRegistroDesinstalacao).
std::string ArquivoRegistro(const std::string& pasta);
// Writes the record into its destination folder atomically: a reader sees the old record or the new one.
void GravarRegistro(const TRegistroDesinstalacao& registro);
// The record of a folder; nothing when the folder holds none. Raises ERegistroDanificado for a damaged one.
std::optional<TRegistroDesinstalacao> LerRegistro(const std::string& pasta);

// The key name of the list entry of a Delphi version ("TarvixComps D37").
std::string NomeEntradaProgramas(int32_t version);

// The values of the list entry.
struct TEntradaProgramas {
    std::string DisplayName;
    std::string DisplayVersion;
    std::string InstallLocation;
    std::string Desinstalador;  // the uninstaller's Windows path
    uint32_t EstimatedSize = 0; // KiB
};
// Writes the entry under ChaveProgramasInstalados\<chave> (32-bit view): the values above, Publisher,
// UninstallString (the uninstaller quoted, then /UNINSTALL), QuietUninstallString (... /UNINSTALL /VERYSILENT
// /SUPPRESSMSGBOXES), NoModify = 1 and NoRepair = 1 (REG_DWORD).
void GravarEntradaProgramas(const std::string& chave, const TEntradaProgramas& entrada);
// The key names of the entries whose InstallLocation is `pasta` (the same folder, by its long name, any case).
std::vector<std::string> EntradasDaPasta(const std::string& pasta);

// What the registration step is about to change, noted before it changes anything, and the record of what it
// changed, made after it succeeded. A record left by an earlier installation, in the same folder or in the
// remembered one the user has moved away from, is taken into the new one (and the moved-away folder's record is
// deleted), so that a reinstall's record still takes everything back to the state before the first install.
// Files of the destination: those of the edition (state.ListaArquivos) and those that appeared while the step
// ran; a file that was there before and is no file of the edition is the user's and is not named.
class TAnotacaoInstalacao {
public:
    // `pastaBpl` and `pastaDcp` are the folders the compile writes to.
    TAnotacaoInstalacao(TIdeBorRADToolInstallation& instalacao, TKqRegManager& RegMan, const TWizardState& state,
                        std::string destino, std::string pastaBpl, std::string pastaDcp, std::string package);

    // Notes the values, keys and files as they are before the install.
    void Antes();
    // After a successful install: the record (including the uninstaller and the list entry, which are not there
    // yet), written into the destination; then the uninstaller (when the installer's file is known) and the list
    // entry. Returns the record written.
    TRegistroDesinstalacao Concluir();

private:
    void NotarRegistro(platform::RegRoot raiz, bool vista32, const std::string& chave, const std::string& nome,
                       bool lista);
    void NotarOpcao(const std::string& nome);
    void NotarValor(TValorAlterado valor, const std::optional<std::string>& atual);
    void NotarChavesAusentes(platform::RegRoot raiz, bool vista32, const std::string& chave);
    std::optional<std::string> LerValor(const TValorAlterado& valor) const;
    std::vector<TArquivoInstalado> ArquivosInstalados() const;

    TIdeBorRADToolInstallation& FInstalacao;
    TKqRegManager& FRegMan;
    const TWizardState& FEstado;
    std::string FDestino;
    std::string FPastaBpl;
    std::string FPastaDcp;
    std::string FPackage;
    std::optional<TRegistroDesinstalacao> FAnterior;
    std::vector<TValorAlterado> FValores;
    std::vector<TChaveCriada> FChavesAusentes;
    std::vector<std::string> FArquivosAntes; // names in the destination before the install
};

} // namespace tarvix
