#include "installer/payload_format.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

namespace tarvix {

namespace {

int32_t leInt32(const unsigned char* p)
{
    const uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                       static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(u);
}

void appendLeInt32(std::string& out, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((u >> shift) & 0xFF));
}

// Whether `base` (the part before the first dot, trailing spaces removed) names a device.
bool isDeviceName(std::string_view base)
{
    const std::string upper = platform::asciiUpperCase(base);
    static constexpr std::array<std::string_view, 6> Plain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const auto name : Plain)
        if (upper == name)
            return true;
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
        return false;
    const std::string_view digit = std::string_view(upper).substr(3);
    // A digit, or the superscripts one to three, which Windows also takes as port numbers.
    return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
           digit == "\xC2\xB3";
}

// Code pages in which every byte below 128 is the ASCII character itself: the ANSI code pages of the Latin,
// Greek, Cyrillic, Turkish, Hebrew, Arabic, Baltic, Vietnamese and Thai editions of Windows, ASCII, the ISO 8859
// family (there is no 8859-12) and UTF-8. The names of a payload are nearly always ASCII, and in these need no
// conversion.
bool asciiAsItIs(uint32_t paginaCodigo)
{
    return paginaCodigo == 874 || (paginaCodigo >= 1250 && paginaCodigo <= 1258) || paginaCodigo == 20127 ||
           (paginaCodigo >= 28591 && paginaCodigo <= 28606 && paginaCodigo != 28602) ||
           paginaCodigo == platform::codepage::Utf8;
}

} // namespace

std::optional<TLimitesPayload> LerTrailer(const unsigned char (&trailer)[TamanhoTrailer], int64_t tamanhoArquivo)
{
    const int64_t a = leInt32(trailer);
    const int64_t d = leInt32(trailer + 4);
    if (a < 1 || d < 1 || tamanhoArquivo < TamanhoTrailer + a + d)
        return std::nullopt;
    TLimitesPayload limites;
    limites.TamanhoArquivo = a;
    limites.TamanhoDescritor = d;
    limites.InicioDescritor = tamanhoArquivo - TamanhoTrailer - d;
    limites.InicioArquivo = limites.InicioDescritor - a;
    return limites;
}

std::string EscreverTrailer(int64_t tamanhoArquivo, int64_t tamanhoDescritor)
{
    std::string out;
    appendLeInt32(out, static_cast<int32_t>(tamanhoArquivo));
    appendLeInt32(out, static_cast<int32_t>(tamanhoDescritor));
    return out;
}

TCabecalhoRegistro LerCabecalhoRegistro(const unsigned char (&cabecalho)[TamanhoCabecalhoRegistro])
{
    return {cabecalho[0], leInt32(cabecalho + 1)};
}

std::string EscreverCabecalhoRegistro(uint8_t tamanhoNome, int32_t tamanhoDados)
{
    std::string out(1, static_cast<char>(tamanhoNome));
    appendLeInt32(out, tamanhoDados);
    return out;
}

std::string NomeDoRegistro(std::string_view bytesNome, uint32_t paginaCodigo)
{
    const auto zero = bytesNome.find('\0');
    if (zero != std::string_view::npos)
        bytesNome = bytesNome.substr(0, zero);
    if (bytesNome.empty())
        return {};
    if (asciiAsItIs(paginaCodigo) &&
        std::all_of(bytesNome.begin(), bytesNome.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytesNome);
    return platform::decodeCodePage(bytesNome, paginaCodigo);
}

std::string MotivoNomeRecusado(std::string_view nome)
{
    if (nome.empty())
        return "the name is empty";
    if (nome == "." || nome == "..")
        return "the name is \"" + std::string(nome) + "\", a folder reference";
    for (const char c : nome) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '/')
            return "the name contains a folder separator";
        if (c == ':')
            return "the name contains \":\" (a drive or a stream)";
        if (u < 32)
            return "the name contains a control character";
        if (std::strchr("<>\"|?*", c) != nullptr)
            return std::string("the name contains \"") + c + "\", which file names cannot hold";
    }
    if (nome.back() == '.' || nome.back() == ' ')
        return "the name ends with a dot or a space, which Windows drops";
    std::string_view base = nome.substr(0, nome.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    if (isDeviceName(base))
        return "the name is a device name";
    return {};
}

} // namespace tarvix
