// Unpacking the payload that the installer carries at the end of its own executable (payload_format.h) into a
// fresh work folder under the user's temporary folder, and deleting that folder again when the main window
// closes. Qt-free: the main window calls these with its state and itself as the window services.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "installer/wizard_window.h"

namespace tarvix {

// The failure message of the unpacking step; %s is the error's message text.
inline constexpr std::string_view MsgFalhaExtracao =
    "Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|%s";
// The error text when the archive cannot be split (also for a container whose trailer is not valid).
inline constexpr std::string_view MsgFalhaPacote = "Não foi possível extrair o conteúdo do arquivo <b>comps.pkg<b>.";

inline constexpr std::string_view NomeArquivoPacote = "comps.pkg";
inline constexpr std::string_view NomeArquivoDescritor = "instalar.inf";

// Buffer of the two payload copies out of the executable.
inline constexpr std::size_t TamanhoBufferCopia = 1'048'576;
// Buffer of record data while splitting: one for all records, so that splitting allocates nothing per record
// but the name and the file. As large as the copy buffer: in 1 KiB pieces a large payload would cost two system
// calls per KiB, and the memory stays fixed whatever the payload.
inline constexpr std::size_t TamanhoBufferRegistro = 1'048'576;

// Raised by the unpacking step for a failure of its own (not one the platform raised); the message is shown as
// the error text of the failure message.
class EExtracao : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The work folder's random numbers: whole numbers 0 .. 999,999, uniformly. The main window makes one when it is
// created (seeded once from the clock); tests give their own source.
class TSorteioPasta {
public:
    static constexpr int32_t Maior = 999'999;

    TSorteioPasta(); // a pseudo-random generator seeded from the clock
    explicit TSorteioPasta(std::function<int32_t()> fonte) : FFonte(std::move(fonte)) {}

    int32_t Sortear() { return FFonte(); }

private:
    std::function<int32_t()> FFonte;
};

// How many names are drawn before CriarPastaTemp gives up because every one was taken. With a million names a
// hundred clashes in a row mean a temporary folder that something else fills, not bad luck.
inline constexpr int TentativasPastaTemp = 100;

// Makes a new, empty work folder: the temporary folder (GetTempDir) followed by a drawn number, created
// exclusively, so that a folder (or file) of that name that exists already, or appears meanwhile, is never
// used: another number is drawn. Returns the folder's path without a trailing backslash. Raises EExtracao when
// there is no temporary folder, when the folder cannot be created there (the system's reason in English), or
// after TentativasPastaTemp names that were all taken.
std::string CriarPastaTemp(TSorteioPasta& sorteio);

// Splits the file-record archive `arquivo` into files in `pasta` and lists their names, in archive order, in
// `ListaArquivos` (a repeated name twice; its later record overwrites the file). Record names are decoded from
// the system's ANSI code page. A record whose name is empty (length 0, or a zero byte first) makes no file and
// no entry; its data bytes are skipped. Returns False, with `ListaArquivos` cleared, on any error: the archive
// cannot be read, a record runs past the archive's end or has a negative size, a name is not a bare file name
// (NomeDeRegistroValido), a file cannot be written. Files already written stay in `pasta`; nothing is ever
// written outside it.
bool ExtrairPacote(const std::string& arquivo, const std::string& pasta, std::vector<std::string>& ListaArquivos);

// The first step of the start-up sequence: makes the work folder (state.PastaTemp), writes the archive of the
// executable's payload into it as "comps.pkg" and its descriptor as "instalar.inf", and splits the archive
// (state.ListaArquivos). `executavel` is the file that carries the payload; empty means the running executable
// (ExeName). On failure every file the step opened is closed and the step fails (FalharEtapa) with
// MsgFalhaExtracao: the error text is MsgFalhaPacote for an archive that cannot be split or a trailer that is
// not valid, otherwise the message of the error raised (the platform's "Stream read error" when the executable
// holds fewer bytes than the trailer promises). Returns True on success.
bool ExtrairInstalacao(TWizardState& state, TWizardWindow& window, TSorteioPasta& sorteio,
                       std::string_view executavel = {});

// The main window's close step: deletes the work folder with everything in it (files lose their attributes
// first; what cannot be deleted stays, silently) and forgets it. Does nothing while there is none.
void ApagarPastaTemp(TWizardState& state);

} // namespace tarvix
