#include "installer/installation_report.h"

#include "components/kq_lib_functions.h"
#include "components/zip_reader.h"
#include "platform/curl_http_client.h"
#include "platform/system.h"
#include "platform/tls_http10_client.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace tarvix {

namespace {

constexpr std::string_view kRecurso = "recurso";
constexpr std::chrono::milliseconds kTempoConexao{10000};
constexpr std::chrono::milliseconds kTempoResposta{5000};

bool Preservado(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' || c == '-' ||
           c == '.' || c == '_';
}

// Removes the overlay on every way out of the report, an unexpected exception included.
class TAguardandoVisivel {
public:
    explicit TAguardandoVisivel(const TAmbienteRelatorio& ambiente) : FAmbiente(ambiente)
    {
        FAmbiente.MostrarAguardando();
    }
    ~TAguardandoVisivel()
    {
        try {
            FAmbiente.FecharAguardando();
        } catch (...) {
            // The report shows nothing but the overlay, not even the failure to remove it.
        }
    }
    TAguardandoVisivel(const TAguardandoVisivel&) = delete;
    TAguardandoVisivel& operator=(const TAguardandoVisivel&) = delete;

private:
    const TAmbienteRelatorio& FAmbiente;
};

} // namespace

TCamposRelatorio MontarRelatorio(const TWizardState& state, int erro, std::string_view log)
{
    std::string msg(log);
    std::replace(msg.begin(), msg.end(), '\'', '"');
    return {
        {"versao", std::to_string(state.Version)},
        {"fonte", state.Source ? "1" : "0"},
        {"erro", erro != 0 ? "1" : "0"},
        {"msg", std::move(msg)},
        {std::string(kRecurso), "NI"},
    };
}

void DefinirCampo(TCamposRelatorio& campos, std::string_view nome, std::string_view valor)
{
    for (TCampoRelatorio& campo : campos) {
        if (campo.Nome == nome) {
            campo.Valor = valor;
            return;
        }
    }
}

std::string CodificarFormulario(std::string_view texto)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string codificado;
    codificado.reserve(texto.size());
    for (const char ch : texto) {
        const auto c = static_cast<unsigned char>(ch);
        if (Preservado(c)) {
            codificado += ch;
        } else if (c == ' ') {
            codificado += '+';
        } else {
            codificado += '%';
            codificado += kHex[c >> 4];
            codificado += kHex[c & 0x0F];
        }
    }
    return codificado;
}

std::string CodificarFormulario(const TCamposRelatorio& campos)
{
    std::string corpo;
    for (const TCampoRelatorio& campo : campos) {
        if (!corpo.empty())
            corpo += '&';
        corpo += CodificarFormulario(campo.Nome);
        corpo += '=';
        corpo += CodificarFormulario(campo.Valor);
    }
    return corpo;
}

platform::HttpPost PedidoPrimeiroTransporte(std::string_view url, std::string body)
{
    platform::HttpPost pedido;
    pedido.url = url;
    pedido.headers = {
        {"Content-Type", "application/x-www-form-urlencoded; charset=utf-8"},
        {"User-Agent", std::string(UserAgentRelatorio)},
    };
    pedido.body = std::move(body);
    pedido.connectTimeout = kTempoConexao;
    pedido.responseTimeout = kTempoResposta;
    return pedido;
}

platform::HttpPost PedidoSegundoTransporte(std::string_view url, std::string body)
{
    platform::HttpPost pedido;
    pedido.url = url;
    pedido.headers = {
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Accept", "text/html, */*"},
        {"User-Agent", std::string(UserAgentRelatorio)},
    };
    pedido.body = std::move(body);
    // The same limits as the first transport: a server that never answers must not hold the installer forever.
    pedido.connectTimeout = kTempoConexao;
    pedido.responseTimeout = kTempoResposta;
    return pedido;
}

void EnviarRelatorio(const TWizardState& state, int erro, std::string_view log, std::string_view url,
                     const TAmbienteRelatorio& ambiente)
{
    if (url.empty())
        return;
    try {
        const TAguardandoVisivel aguardando(ambiente);
        TCamposRelatorio campos = MontarRelatorio(state, erro, log);

        std::string resposta;
        try {
            DefinirCampo(campos, kRecurso, "Net");
            resposta = StrAllTrim(ambiente.PostarPrimeiro(PedidoPrimeiroTransporte(url, CodificarFormulario(campos))));
        } catch (...) {
            resposta.clear(); // a failed post has no answer
        }

        if (resposta != "OK") {
            try {
                ambiente.ExtrairBibliotecaSSL();
                DefinirCampo(campos, kRecurso, "Indy");
                ambiente.PostarSegundo(PedidoSegundoTransporte(url, CodificarFormulario(campos)));
                // A failed post skips the deletion; the work folder's removal at the end of the run takes them.
                ambiente.ApagarBibliotecaSSL();
            } catch (...) {
                // After the second transport nothing more is tried.
            }
        }
    } catch (...) {
        // Not even an overlay that cannot be shown stops the installer over its report.
    }
}

std::string PostarPrimeiroTransporte(const platform::HttpPost& pedido)
{
    return platform::postWithCurl(pedido);
}

std::string PostarSegundoTransporte(const platform::HttpPost& pedido)
{
    return platform::postHttp10(pedido);
}

void ExtrairBibliotecaSSL(std::string_view pastaTemp, const std::optional<std::string>& arquivo)
{
    if (!arquivo)
        return;
    try {
        platform::FileSystem& files = platform::current().files();
        const std::string pasta = IncPathDelimiter(pastaTemp);
        if (!files.directoryExists(pasta))
            files.forceDirectories(pasta);
        const std::string zip = pasta + std::string(NomeArquivoBibliotecaSSL);
        files.writeFile(zip, *arquivo);
        try {
            ZipReader::fromFile(zip).extractAll(pasta, "*.*");
        } catch (...) {
            files.deleteFile(zip);
            throw;
        }
        files.deleteFile(zip);
    } catch (...) {
        // The second post goes on without the libraries.
    }
}

void ApagarBibliotecaSSL(std::string_view pastaTemp)
{
    try {
        platform::FileSystem& files = platform::current().files();
        const std::string pasta = IncPathDelimiter(pastaTemp);
        for (const std::string_view biblioteca : BibliotecasSSL)
            files.deleteFile(pasta + std::string(biblioteca));
    } catch (...) {
        // What stays is deleted with the work folder.
    }
}

} // namespace tarvix
