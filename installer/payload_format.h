// The payload container that an installer carries at the end of its executable, and the file-record archive
// inside it. Shared by the reader (payload_extractor.h) and the packer (tools/tarvix_pack.h), so that the packer
// refuses exactly what the reader would refuse.
//
// Container, at the very end of the file:   archive (A bytes) | descriptor (D bytes) | A (int32 LE) | D (int32 LE)
// Archive: records without header, count, padding or checksum:
//                                            L (uint8) | S (int32 LE) | name (L bytes) | data (S bytes)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvix {

inline constexpr int64_t TamanhoTrailer = 8;
inline constexpr int64_t TamanhoCabecalhoRegistro = 5;
inline constexpr int64_t TamanhoMaximoParte = 2'147'483'647; // a size field is a signed 32-bit integer
inline constexpr std::size_t TamanhoMaximoNome = 255;        // the name length field is one byte

// Where archive and descriptor lie in a file of the given size, from its trailer.
struct TLimitesPayload {
    int64_t InicioArquivo = 0;    // archive start: file size - 8 - D - A
    int64_t TamanhoArquivo = 0;   // A
    int64_t InicioDescritor = 0;  // descriptor start: file size - 8 - D
    int64_t TamanhoDescritor = 0; // D
};

// The container described by the 8 trailer bytes of a file of `tamanhoArquivo` bytes; nothing when it is not a
// valid container: a file shorter than the trailer, A or D below 1 (as signed 32-bit integers), or sizes that
// reach before the start of the file.
std::optional<TLimitesPayload> LerTrailer(const unsigned char (&trailer)[TamanhoTrailer], int64_t tamanhoArquivo);

// The 8 trailer bytes for the given sizes (both 1 .. TamanhoMaximoParte).
std::string EscreverTrailer(int64_t tamanhoArquivo, int64_t tamanhoDescritor);

// The fields of a record header.
struct TCabecalhoRegistro {
    uint8_t TamanhoNome = 0;  // L
    int32_t TamanhoDados = 0; // S, negative in a damaged archive
};
TCabecalhoRegistro LerCabecalhoRegistro(const unsigned char (&cabecalho)[TamanhoCabecalhoRegistro]);
std::string EscreverCabecalhoRegistro(uint8_t tamanhoNome, int32_t tamanhoDados);

// A record's name: its name bytes cut at the first zero byte, decoded from the given (ANSI) code page.
std::string NomeDoRegistro(std::string_view bytesNome, uint32_t paginaCodigo);

// Why a record name (decoded, UTF-8) cannot become a file in the work folder; empty when it can. A record
// names a bare file: no folder separator (\ or /), no drive or stream (:), not "." or "..", no character the file
// system refuses (< > " | ? * and control characters), no trailing dot or space (Windows would drop it and
// write another name), and not a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, also with
// an extension), which would open the device instead of a file. The empty name is answered separately by the
// reader (no file) and the packer (refused).
std::string MotivoNomeRecusado(std::string_view nome);
inline bool NomeDeRegistroValido(std::string_view nome)
{
    return !nome.empty() && MotivoNomeRecusado(nome).empty();
}

} // namespace tarvix
