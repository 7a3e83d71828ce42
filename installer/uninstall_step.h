// The uninstall step: takes an installation back out of the prefix (or of Windows) by the uninstall record the
// registration step left in the destination folder, and nothing else. Qt-free; both front ends (the wizard's
// /UNINSTALL run and the unattended runs) call it with their window services and their own options.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "installer/wizard_window.h"

namespace tarvix {

// The step's messages, in the message dialog's markup; %s is the destination folder, then the error's text.
inline constexpr std::string_view MsgConfirmarDesinstalacao =
    "Deseja remover os componentes instalados em|<b>%s<b>?||Os arquivos, os caminhos de biblioteca e o registro do "
    "package no Delphi serão removidos.";
inline constexpr std::string_view MsgDesinstalacaoConcluida = "A remoção dos componentes foi concluída com sucesso!";
inline constexpr std::string_view MsgNadaARemover = "Nenhuma instalação dos componentes foi encontrada em|<b>%s<b>.";
// The same when the front end found no folder at all.
inline constexpr std::string_view MsgNenhumaInstalacao = "Nenhuma instalação dos componentes foi encontrada.";
inline constexpr std::string_view MsgRegistroAusente =
    "Não foi encontrado o registro de desinstalação em|<b>%s<b>.||Nada foi removido.";
inline constexpr std::string_view MsgRegistroDanificado =
    "O registro de desinstalação em|<b>%s<b>|está danificado e não pode ser lido.||Nada foi removido.||"
    "<b>Mensagem de erro:<b>|%s";
inline constexpr std::string_view MsgIdeEmExecucao =
    "Feche o Delphi antes de remover os componentes.||Nada foi removido.";
inline constexpr std::string_view MsgFalhaDesinstalacao =
    "Ocorreu um erro e não foi possível concluir a remoção dos componentes de|<b>%s<b>.|O que ainda não foi removido "
    "continua no registro de desinstalação.||<b>Mensagem de erro:<b>|%s";

// What the uninstall needs from the front end that runs it.
struct TOpcoesDesinstalacao {
    std::string PastaDestino;                    // the folder that holds the uninstall record (Windows path)
    bool Silenciosa = false;                     // no confirmation question
    std::function<bool()> IdeEmExecucao;         // true while an IDE of the record's version runs; empty: never
    std::function<void(const std::string&)> Log; // one line of the log per call (what was removed, ...); may be empty
};

// Exit codes shared by both front ends: 0 installed or uninstalled, 1 could not start, 2 cancelled before
// anything was written or the licence not accepted, 4 failed while installing (or uninstalling), 5 cancelled
// while installing, 7 an IDE of the target version runs.
enum class TCodigoSaida : int {
    Sucesso = 0,
    NaoIniciou = 1,
    Cancelada = 2,
    Falhou = 4,
    Interrompida = 5,
    IdeAberta = 7
};

// Reads the record in opcoes.PastaDestino and takes back exactly what it names: the files it lists (a file whose
// size changed since is kept), the destination folder (and the earlier ones of a moved installation) when left
// empty, the Known Packages value, the folders it added to the three library paths in the registry and in
// EnvOptions.proj, the remembered destination value, the entry in the list of installed programs and the registry
// keys the installation created, when left empty. A value still as the installation left it gets its earlier
// contents back; one changed since keeps the change (a path list only loses the installation's folders).
// Order of the checks, each of which touches nothing:
//   - a damaged record: MsgRegistroDanificado through window.MsgError, NaoIniciou;
//   - no record, while the list of installed programs still has an entry for the folder: MsgRegistroAusente,
//     NaoIniciou; no record and no entry (nothing installed, or uninstalled already): MsgNadaARemover through
//     window.MsgInformation (MsgNenhumaInstalacao for an empty PastaDestino), Sucesso;
//   - opcoes.IdeEmExecucao says an IDE runs: MsgIdeEmExecucao, IdeAberta;
//   - unless Silenciosa, window.MsgConfirmation; any answer but yes (6): Cancelada.
// Then it removes, logging one line per thing removed, kept or restored, and ends with MsgDesinstalacaoConcluida
// through window.MsgInformation, Sucesso. An error while removing (a registry that cannot be written, ...) is shown
// with MsgFalhaDesinstalacao and gives Falhou; the record stays, so that a later run takes back the rest. Never
// raises.
TCodigoSaida Desinstalar(TWizardWindow& window, const TOpcoesDesinstalacao& opcoes);

} // namespace tarvix
