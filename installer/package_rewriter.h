// Rewriting the package source in the destination folder after the copy: the package then links the component
// resource (.dcr) of every listed unit that has one there and contains every listed unit present there, as
// source (.pas) when the source file exists, else as compiled unit (.dcu). Qt-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

class TKqFindFile;

// How a text file was stored, so that it can be written back the same way.
enum class TCodificacaoTexto {
    Ansi,    // no byte-order mark: 8-bit text in the system's ANSI code page
    Utf8,    // UTF-8 with its byte-order mark
    Utf16LE, // UTF-16 little endian with its byte-order mark
    Utf16BE, // UTF-16 big endian with its byte-order mark
};

// A text file as a list of lines (UTF-8), the way the package source is edited.
struct TTextoLinhas {
    TCodificacaoTexto Codificacao = TCodificacaoTexto::Ansi;
    std::vector<std::string> Linhas;

    // The lines joined with CR LF after each one, the last included.
    std::string Texto() const;
    // Replaces the lines by the text split at its line breaks (CR LF, CR or LF); a break at the very end opens
    // no further line.
    void SetTexto(std::string_view texto);
};

// Reads a text file (Windows path, through the platform): the encoding of its byte-order mark, or 8-bit text in
// the system's ANSI code page when it has none. Raises the platform's FileError when it cannot be read.
TTextoLinhas CarregarTexto(const std::string& caminho);
// Writes the lines back with CR LF after every line, in `texto.Codificacao` (the byte-order mark included), by
// replacing the file in one step: a failure leaves the old file as it was. Raises the platform's errors.
void GravarTexto(const std::string& caminho, const TTextoLinhas& texto);

// A file name in the package language's string form: in apostrophes, an apostrophe inside doubled.
std::string QuotedStr(std::string_view texto);

// Sorts names in ascending order without regard to letter case, by the collation of the user's locale (names
// that differ in case only keep a fixed order among themselves).
void OrdenarSemCaixa(std::vector<std::string>& nomes);

// Rewrites the package source `PackagePath` in place. `Files` is the descriptor's unit list (|A|B|); `FndFile`
// is the window's file finder, which searches the package's folder for the component resources. The first
// "{$R *.res}" of the text gets a "{$R 'Unit.dcr'}" line after it for each listed unit with a resource file
// there, in the sorted order of the resource names; the first "contains" becomes the clause listing the units
// present, in the order of the list. Without those anchors nothing is added there. Errors (the file missing,
// unreadable or not writable) are raised to the caller.
void AtualizarPackage(const std::string& PackagePath, std::string_view Files, TKqFindFile& FndFile);

} // namespace tarvix
