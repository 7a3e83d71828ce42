#include "installer/payload_extractor.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>

#include "components/kq_lib_functions.h"
#include "installer/payload_format.h"
#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text_format.h"

namespace tarvix {

namespace {

namespace WinError = platform::WinError;

using platform::File;
using platform::FileMode;
using platform::FileShare;

// Copies `count` bytes from `from` at `start` into a new file `to`, which nobody else may open meanwhile.
// `out` holds the open target so that the caller's failure path closes it too.
void copyPart(File& from, const std::string& to, int64_t start, int64_t count, char* buffer, std::size_t bufferSize,
              std::unique_ptr<File>& out)
{
    out = platform::current().files().open(to, FileMode::CreateAlways, FileShare::Exclusive);
    from.seek(start);
    while (count > 0) {
        const auto want = static_cast<std::size_t>(std::min<int64_t>(count, static_cast<int64_t>(bufferSize)));
        const std::size_t got = from.read(buffer, want);
        if (got == 0)
            throw platform::FileError("Stream read error"); // the file holds less than its trailer says
        out->write(buffer, got);
        count -= static_cast<int64_t>(got);
    }
    out->closeUnflushed();
    out.reset();
}

} // namespace

TSorteioPasta::TSorteioPasta()
{
    auto generator = std::make_shared<std::mt19937>(
        static_cast<std::mt19937::result_type>(std::chrono::system_clock::now().time_since_epoch().count()));
    FFonte = [generator] { return std::uniform_int_distribution<int32_t>(0, Maior)(*generator); };
}

std::string CriarPastaTemp(TSorteioPasta& sorteio)
{
    const std::string temp = GetTempDir();
    if (temp.empty())
        throw EExtracao("The temporary folder is not available.");
    platform::FileSystem& files = platform::current().files();
    files.forceDirectories(temp); // normally there already; a failure shows in the creation below

    std::string candidate;
    for (int attempt = 0; attempt < TentativasPastaTemp; ++attempt) {
        candidate = IncPathDelimiter(temp) + std::to_string(sorteio.Sortear());
        // Created exclusively: an existing entry of that name, even one made after a check, is never reused.
        uint32_t error = 0;
        if (files.createDirectory(candidate, &error))
            return candidate;
        if (error != WinError::AlreadyExists)
            throw EExtracao("Cannot create folder \"" + candidate + "\". " + platform::systemErrorText(error));
    }
    throw EExtracao("Cannot create folder \"" + candidate + "\". " +
                    platform::systemErrorText(WinError::AlreadyExists));
}

bool ExtrairPacote(const std::string& arquivo, const std::string& pasta, std::vector<std::string>& ListaArquivos)
{
    ListaArquivos.clear();
    try {
        platform::System& system = platform::current();
        platform::FileSystem& files = system.files();
        const uint32_t codePage = system.shell().ansiCodePage();
        const std::string target = IncPathDelimiter(pasta);

        const auto archive = files.open(arquivo, FileMode::Read, FileShare::Exclusive);
        const int64_t size = archive->size();
        // One buffer for every record: splitting allocates nothing per record but the name and the file. No larger
        // than the archive, and left uninitialised: it is only ever read into.
        const auto bufferSize =
            static_cast<std::size_t>(std::clamp<int64_t>(size, 1, static_cast<int64_t>(TamanhoBufferRegistro)));
        const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
        char nameBytes[TamanhoMaximoNome];
        int64_t position = 0;
        while (position < size) {
            unsigned char header[TamanhoCabecalhoRegistro];
            archive->readExact(header, sizeof header);
            const TCabecalhoRegistro record = LerCabecalhoRegistro(header);
            archive->readExact(nameBytes, record.TamanhoNome);
            position += TamanhoCabecalhoRegistro + record.TamanhoNome;
            // A negative size, or data that runs past the end (a truncated archive), is a damaged archive.
            if (record.TamanhoDados < 0 || record.TamanhoDados > size - position)
                throw EExtracao(std::string(MsgFalhaPacote));

            const std::string name = NomeDoRegistro(std::string_view(nameBytes, record.TamanhoNome), codePage);
            if (name.empty()) {
                // No file to write: skip the data, so that it is not read as the next record.
                position += record.TamanhoDados;
                archive->seek(position);
                continue;
            }
            if (!NomeDeRegistroValido(name))
                throw EExtracao(std::string(MsgFalhaPacote));

            ListaArquivos.push_back(name);
            const auto out = files.open(target + name, FileMode::CreateAlways, FileShare::Exclusive);
            int64_t left = record.TamanhoDados;
            while (left > 0) {
                const auto want = static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(bufferSize)));
                const std::size_t got = archive->read(buffer.get(), want);
                if (got == 0)
                    throw platform::FileError("Stream read error");
                out->write(buffer.get(), got);
                left -= static_cast<int64_t>(got);
            }
            out->closeUnflushed();
            position += record.TamanhoDados;
        }
        archive->close();
        return true;
    } catch (const std::exception&) {
        ListaArquivos.clear();
        return false;
    }
}

bool ExtrairInstalacao(TWizardState& state, TWizardWindow& window, TSorteioPasta& sorteio, std::string_view executavel)
{
    // Every file the step opens is held here, so that a failure anywhere closes them all before the message.
    std::unique_ptr<File> exe;
    std::unique_ptr<File> out;
    try {
        state.PastaTemp = CriarPastaTemp(sorteio);
        const std::string folder = IncPathDelimiter(state.PastaTemp);

        const std::string instalador = executavel.empty() ? ExeName() : std::string(executavel);
        exe = platform::current().files().open(instalador, FileMode::Read, FileShare::DenyWrite);
        const int64_t size = exe->size();
        if (size < TamanhoTrailer)
            throw EExtracao(std::string(MsgFalhaPacote));
        unsigned char trailer[TamanhoTrailer];
        exe->seek(size - TamanhoTrailer);
        exe->readExact(trailer, sizeof trailer);
        const auto limits = LerTrailer(trailer, size);
        if (!limits)
            throw EExtracao(std::string(MsgFalhaPacote));

        const auto bufferSize = static_cast<std::size_t>(std::min<int64_t>(
            std::max(limits->TamanhoArquivo, limits->TamanhoDescritor), static_cast<int64_t>(TamanhoBufferCopia)));
        const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
        copyPart(*exe, folder + std::string(NomeArquivoPacote), limits->InicioArquivo, limits->TamanhoArquivo,
                 buffer.get(), bufferSize, out);
        copyPart(*exe, folder + std::string(NomeArquivoDescritor), limits->InicioDescritor, limits->TamanhoDescritor,
                 buffer.get(), bufferSize, out);
        exe->close();
        exe.reset();

        if (!ExtrairPacote(folder + std::string(NomeArquivoPacote), state.PastaTemp, state.ListaArquivos))
            throw EExtracao(std::string(MsgFalhaPacote));
        state.ArquivoInstalador = instalador;
        return true;
    } catch (const std::exception& e) {
        out.reset();
        exe.reset();
        FalharEtapa(state, window, platform::formatText(MsgFalhaExtracao, {e.what()}));
        return false;
    }
}

void ApagarPastaTemp(TWizardState& state)
{
    if (state.PastaTemp.empty())
        return;
    platform::current().files().deleteTree(state.PastaTemp);
    state.PastaTemp.clear();
}

} // namespace tarvix
