#include "installer/setup_descriptor.h"

#include "components/kq_lib_functions.h"
#include "components/kq_reg_manager.h"
#include "ideservices/ide_bds_versions.h"
#include "platform/private_profile.h"

#include <optional>

namespace tarvix {

namespace {

constexpr std::string_view kSetup = "SETUP";
constexpr std::string_view kComponents = "COMPONENTS";

} // namespace

void LerConfiguracao(TWizardState& state)
{
    // Without a work folder there is no descriptor; a path from the drive's root would find a stranger's file.
    const std::string arquivo =
        state.PastaTemp.empty() ? std::string() : IncPathDelimiter(state.PastaTemp) + std::string(NomeDescritor);
    auto texto = [&](std::string_view secao, std::string_view chave) {
        return arquivo.empty() ? std::string() : platform::privateProfileString(secao, chave, {}, arquivo);
    };
    auto inteiro = [&](std::string_view secao, std::string_view chave) {
        return arquivo.empty() ? 0 : platform::privateProfileInt(secao, chave, 0, arquivo);
    };

    state.Version = inteiro(kSetup, "Version");
    state.Package = texto(kSetup, "Package");
    state.Files = texto(kComponents, "Files");
    state.Names = texto(kComponents, "Names");
    state.Source = inteiro(kComponents, "Source") != 0;
    // A descriptor that names no endpoint keeps the build's; one that names an empty one sends no report.
    const std::optional<std::string> relatorio =
        arquivo.empty() ? std::nullopt : platform::privateProfileValue(kSetup, "Relatorio", arquivo);
    state.Relatorio = relatorio ? *relatorio : std::string(EnderecoRelatorioPadrao());
}

std::string_view EnderecoRelatorioPadrao()
{
    return TARVIX_REPORT_URL;
}

std::string NomeDelphi(int32_t version)
{
    const TBDSVersionInfo* release = FindDelphiRelease(version);
    if (!release)
        return {};
    std::string nome = "Delphi " + std::string(release->ReleaseLabel);
    if (*release->CodeName)
        nome += " - " + std::string(release->CodeName);
    return nome;
}

std::string MensagemDelphiAusente(int32_t version)
{
    return "O <b>" + NomeDelphi(version) + "<b> parece não estar corretamente instalado neste computador.";
}

int32_t IndiceDaVersao(int32_t version, int count, const std::function<std::string(int)>& ideVersionNumberStr)
{
    for (int i = 0; i < count; ++i) {
        const std::string s = ideVersionNumberStr(i);
        if (StrLeft(s, 1) != "d")
            continue;
        try {
            if (IntVal(s) == static_cast<int64_t>(version))
                return i;
        } catch (const EConvertError&) {
            // Digits beyond 64 bits name no Delphi version.
        }
    }
    return -1;
}

std::string NomeCaminhoLembrado(int32_t version)
{
    return "Caminho D" + std::to_string(version);
}

std::string PastaDestinoPadrao(int32_t version)
{
    return "C:\\Morvane\\TarvixComps\\D" + std::to_string(version);
}

TPastaProposta ProporPastaDestino(int32_t version, TKqRegManager& RegMan)
{
    // Reading must not create the key: a run that ends before the registration leaves the registry as it found it,
    // and the uninstall record counts the key as the install's own only when the install created it.
    const bool criar = RegMan.AutoCreate();
    RegMan.SetAutoCreate(false);
    std::string lembrada;
    try {
        lembrada = RegMan.ReadString("", NomeCaminhoLembrado(version), "");
    } catch (...) {
        RegMan.SetAutoCreate(criar);
        throw;
    }
    RegMan.SetAutoCreate(criar);
    if (!lembrada.empty())
        return {std::move(lembrada), true};
    return {PastaDestinoPadrao(version), false};
}

void LocalizarDelphi(TWizardState& state, TWizardWindow& window, int count,
                     const std::function<std::string(int)>& ideVersionNumberStr)
{
    state.IndiceDelphi = IndiceDaVersao(state.Version, count, ideVersionNumberStr);
    if (state.IndiceDelphi == -1)
        FalharEtapa(state, window, MensagemDelphiAusente(state.Version));
}

} // namespace tarvix
