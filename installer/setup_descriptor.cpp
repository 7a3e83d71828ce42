#include "installer/setup_descriptor.h"

#include <array>
#include <utility>

#include "components/kq_lib_functions.h"
#include "platform/private_profile.h"

namespace tarvix {

namespace {

constexpr std::string_view kSetup = "SETUP";
constexpr std::string_view kComponents = "COMPONENTS";

constexpr std::array<std::pair<int32_t, std::string_view>, 22> kNomes{{
    {7, "Delphi 7"},
    {9, "Delphi 2005"},
    {10, "Delphi 2006"},
    {11, "Delphi 2007"},
    {12, "Delphi 2009"},
    {14, "Delphi 2010"},
    {15, "Delphi XE"},
    {16, "Delphi XE2"},
    {17, "Delphi XE3"},
    {18, "Delphi XE4"},
    {19, "Delphi XE5"},
    {20, "Delphi XE6"},
    {21, "Delphi XE7"},
    {22, "Delphi XE8"},
    {23, "Delphi 10 - Seattle"},
    {24, "Delphi 10.1 - Berlin"},
    {25, "Delphi 10.2 - Tokyo"},
    {26, "Delphi 10.3 - Rio"},
    {27, "Delphi 10.4 - Sydney"},
    {28, "Delphi 11 - Alexandria"},
    {29, "Delphi 12 - Athens"},
    {37, "Delphi 13 - Florence"},
}};

} // namespace

void LerConfiguracao(TWizardState& state)
{
    // Without a work folder there is no descriptor; a path from the drive's root would find a stranger's file.
    const std::string arquivo = state.PastaTemp.empty() ? std::string()
                                                        : IncPathDelimiter(state.PastaTemp) + std::string(NomeDescritor);
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
}

std::string NomeDelphi(int32_t version)
{
    for (const auto& [numero, nome] : kNomes) {
        if (numero == version)
            return std::string(nome);
    }
    return {};
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

void LocalizarDelphi(TWizardState& state, TWizardWindow& window, int count,
                     const std::function<std::string(int)>& ideVersionNumberStr)
{
    state.IndiceDelphi = IndiceDaVersao(state.Version, count, ideVersionNumberStr);
    if (state.IndiceDelphi == -1)
        FalharEtapa(state, window, MensagemDelphiAusente(state.Version));
}

} // namespace tarvix
