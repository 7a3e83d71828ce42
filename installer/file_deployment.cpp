#include "installer/file_deployment.h"

#include <exception>
#include <memory>
#include <vector>

#include "components/kq_lib_functions.h"
#include "installer/package_rewriter.h"
#include "platform/message_pump.h"
#include "platform/system.h"
#include "platform/text_format.h"

namespace tarvix {

namespace {

void copiarArquivo(platform::FileSystem& files, const std::string& origem, const std::string& destino,
                   std::vector<char>& buffer)
{
    // Both files are held exclusively for the copy; the unique pointers close them on every way out.
    const std::unique_ptr<platform::File> entrada =
        files.open(origem, platform::FileMode::Read, platform::FileShare::Exclusive);
    const std::unique_ptr<platform::File> saida =
        files.open(destino, platform::FileMode::CreateAlways, platform::FileShare::Exclusive);
    for (;;) {
        const std::size_t lidos = entrada->read(buffer.data(), buffer.size());
        if (lidos == 0)
            break;
        saida->write(buffer.data(), lidos);
    }
    saida->close();
    entrada->close();
}

} // namespace

std::string NomePackage(int32_t Version)
{
    return "TarvixLib" + std::to_string(Version) + "0.dpk";
}

TFimCopia CopiarArquivos(TWizardState& state, TWizardWindow& window, const TPaginaCopia& pagina, TKqFindFile& FndFile)
{
    platform::MessagePump& pump = platform::messagePump();
    const auto interrompida = [&] { return pump.terminating() || (pagina.Fechada && pagina.Fechada()); };

    try {
        platform::FileSystem& files = platform::current().files();
        files.forceDirectories(pagina.PastaDestino());
        const int total = static_cast<int>(state.ListaArquivos.size());
        pagina.SetMaxValue(total);

        std::vector<char> buffer(TamanhoBufferCopiaArquivo);
        for (int i = 0; i < total; ++i) {
            if (interrompida())
                return TFimCopia::Interrompida;
            // A copy of the name: the list belongs to the window, and messages are processed below.
            const std::string nome = state.ListaArquivos[static_cast<std::size_t>(i)];
            const std::string origem = IncPathDelimiter(state.PastaTemp) + nome;
            const std::string destino = IncPathDelimiter(pagina.PastaDestino()) + nome;
            pagina.SetProgress(i + 1);
            pagina.MostrarArquivo(destino);
            pump.processMessages();
            // A close handled just now has deleted the work folder: the file is not there any more.
            if (interrompida())
                return TFimCopia::Interrompida;
            copiarArquivo(files, origem, destino, buffer);
            MSleep(PausaEntreArquivos);
        }
        if (interrompida())
            return TFimCopia::Interrompida;

        AtualizarPackage(IncPathDelimiter(pagina.PastaDestino()) + NomePackage(state.Version), state.Files, FndFile);
        // The file finder lets messages through while it searches.
        if (interrompida())
            return TFimCopia::Interrompida;
        return TFimCopia::Concluida;
    } catch (const std::exception& e) {
        if (interrompida())
            return TFimCopia::Interrompida;
        FalharEtapa(state, window, platform::formatText(MsgFalhaCopia, {e.what()}));
        return TFimCopia::Falhou;
    }
}

std::string EncurtarCaminho(std::string_view caminho, int largura, const std::function<int(std::string_view)>& medir)
{
    // Backslashes, colons and dots are single bytes in UTF-8 and never part of another character, so the path
    // can be cut bytewise. The second character is a colon exactly when the second byte is one.
    std::string drive;
    std::string_view resto = caminho;
    if (caminho.size() >= 2 && caminho[1] == ':') {
        drive = std::string(caminho.substr(0, 2));
        resto = caminho.substr(2);
    }
    const std::size_t barra = resto.rfind('\\');
    std::string pasta = barra == std::string_view::npos ? std::string() : std::string(resto.substr(0, barra + 1));
    const std::string nome(barra == std::string_view::npos ? resto : resto.substr(barra + 1));

    std::string resultado(caminho);
    while ((!pasta.empty() || !drive.empty()) && medir(resultado) > largura) {
        if (pasta == "\\...\\") {
            drive.clear();
            pasta = "...\\";
        } else if (pasta.empty()) {
            drive.clear();
        } else if (pasta == "\\") {
            pasta.clear();
        } else {
            // Cut the first folder off, keeping a leading backslash.
            const bool raiz = pasta.front() == '\\';
            if (raiz)
                pasta.erase(0, 1);
            if (!pasta.empty() && pasta.front() == '.')
                pasta.erase(0, std::min<std::size_t>(4, pasta.size()));
            const std::size_t p = pasta.find('\\');
            pasta = p == std::string::npos ? std::string() : "...\\" + pasta.substr(p + 1);
            if (raiz)
                pasta.insert(0, "\\");
        }
        resultado = drive + pasta + nome;
    }
    return resultado;
}

} // namespace tarvix
