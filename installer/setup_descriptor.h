// The setup descriptor and the choice of the target IDE.
//
// The descriptor "instalar.inf" travels in the payload and is read from the work folder after unpacking:
//   [SETUP]       Version (integer: the Delphi version number), Package (the edition's name), and optionally
//                 Relatorio (the installation report's endpoint; empty: no report)
//   [COMPONENTS]  Source (integer read as a Boolean: 0 false, any other integer true, anything else false),
//                 Files and Names (name lists: "|KqAlpha|KqBeta|")
// through the private-profile reader (platform/private_profile.h), so names match without regard to case, values
// lose the blanks and quotes around them and are cut to 2047 characters, and whatever is missing takes its
// default: 0, empty, False.
//
// The target is the first installation whose IDEVersionNumberStr begins with a lower-case "d" and whose digits
// (IntVal) make the descriptor's Version. When there is none the step fails the wizard's way: the error box, the
// finished flag, and a close request.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "installer/wizard_window.h"

namespace tarvix {

class TKqRegManager;

inline constexpr std::string_view NomeDescritor = "instalar.inf";

// Reads the descriptor of the work folder state.PastaTemp into Version, Package, Files, Names, Source and
// Relatorio. A missing or unreadable descriptor (or no work folder at all) leaves every value at its default;
// Relatorio's is EnderecoRelatorioPadrao().
void LerConfiguracao(TWizardState& state);

// The report endpoint the installer was built with (TARVIX_REPORT_URL); empty when it was built to send none.
std::string_view EnderecoRelatorioPadrao();

// The display name of a Delphi version ("Delphi 13 - Florence" for 37), from the release table of the IDE services
// (ide_bds_versions.h); empty for a version that names no release with Delphi for Win32.
std::string NomeDelphi(int32_t version);

// The error text shown when no installation of `version` is found.
std::string MensagemDelphiAusente(int32_t version);

// Position of the first installation of Delphi `version` among `count` installations whose IDEVersionNumberStr
// `ideVersionNumberStr` gives by position; -1 when none matches. Later installations are not looked at once one
// matches. A text whose digits do not fit in 64 bits matches nothing.
int32_t IndiceDaVersao(int32_t version, int count, const std::function<std::string(int)>& ideVersionNumberStr);

// Sets state.IndiceDelphi to the target installation; on no match fails the step (FalharEtapa) with
// MensagemDelphiAusente(state.Version).
void LocalizarDelphi(TWizardState& state, TWizardWindow& window, int count,
                     const std::function<std::string(int)>& ideVersionNumberStr);

// The same over an installations collection: anything with Count() and Installations(i)->IDEVersionNumberStr(),
// such as TIdeBorRADToolInstallations.
template <typename TInstallations>
void LocalizarDelphi(TWizardState& state, TWizardWindow& window, const TInstallations& instalacoes)
{
    LocalizarDelphi(state, window, static_cast<int>(instalacoes.Count()),
                    [&instalacoes](int i) { return std::string(instalacoes.Installations(i)->IDEVersionNumberStr()); });
}

// The name of the value under ChaveTarvixComps that remembers the destination of `version` ("Caminho D37").
std::string NomeCaminhoLembrado(int32_t version);
// The destination proposed when none is remembered: C:\Morvane\TarvixComps\D + version.
std::string PastaDestinoPadrao(int32_t version);

// The destination a run starts with, and whether it is the remembered one (the wizard then keeps its change
// button disabled).
struct TPastaProposta {
    std::string Pasta;
    bool Lembrada = false;
};
// The remembered destination of `version` when RegMan (on HKEY_LOCAL_MACHINE, ChaveTarvixComps) holds a
// non-empty one, else PastaDestinoPadrao. Both front ends start from it.
TPastaProposta ProporPastaDestino(int32_t version, TKqRegManager& RegMan);

} // namespace tarvix
