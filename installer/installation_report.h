// The installation report: at the end of the registration step the installer posts what happened (the IDE
// version, whether the edition has source code, whether the installation failed, and the whole registration log)
// to the maker's endpoint. A first transport (the platform's HTTP client) is tried; when it does not come back
// with the answer "OK", a second one (our HTTP/1.0 client over OpenSSL) posts the same report again. Nothing of
// this is ever shown to the user but the wait overlay while it runs: every error is swallowed.
//
// Qt-free: the main window hands in the overlay and the transports.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/wizard_window.h"
#include "platform/http_post.h"

namespace tarvix {

inline constexpr std::string_view MensagemFinalizando = "Finalizando...";
inline constexpr std::string_view UserAgentRelatorio =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:12.0) Gecko/20100101 Firefox/12.0";
// The transport-security archive of the builds that carry one, as it is written to the work folder, and the two
// libraries it holds.
inline constexpr std::string_view NomeArquivoBibliotecaSSL = "Library.zip";
inline constexpr std::string_view BibliotecasSSL[] = {"ssleay32.dll", "libeay32.dll"};

// One name=value entry of the report; the entries keep their order.
struct TCampoRelatorio {
    std::string Nome;
    std::string Valor;
};
using TCamposRelatorio = std::vector<TCampoRelatorio>;

// The report's entries in their order: versao, fonte, erro, msg (the log with every apostrophe made a double
// quote) and recurso, which starts as "NI" and names the transport of each post.
TCamposRelatorio MontarRelatorio(const TWizardState& state, int erro, std::string_view log);

// Replaces the value of the entry named `nome`; the entry keeps its place. Nothing happens when there is none.
void DefinirCampo(TCamposRelatorio& campos, std::string_view nome, std::string_view valor);

// The application/x-www-form-urlencoded serializer over UTF-8: letters, digits and "*-._" stay, a space becomes
// "+", every other byte "%" and two upper-case hexadecimal digits.
std::string CodificarFormulario(std::string_view texto);
// The entries as a form body: name=value joined by "&", both sides encoded.
std::string CodificarFormulario(const TCamposRelatorio& campos);

// The requests of the two transports for one body: the first with the charset in its Content-Type, 10 s to
// connect and 5 s for the answer; the second as the HTTP/1.0 client sends it, with an Accept header.
platform::HttpPost PedidoPrimeiroTransporte(std::string_view url, std::string body);
platform::HttpPost PedidoSegundoTransporte(std::string_view url, std::string body);

// What the report needs from its surroundings. Every member must be set.
struct TAmbienteRelatorio {
    // The wait overlay "Finalizando..." over the main window, and its removal.
    std::function<void()> MostrarAguardando;
    std::function<void()> FecharAguardando;
    // The transports: each posts a request and returns the answer's body (or raises).
    std::function<std::string(const platform::HttpPost&)> PostarPrimeiro;
    std::function<std::string(const platform::HttpPost&)> PostarSegundo;
    // Unpack the transport-security libraries into the work folder before the second post, delete them after.
    std::function<void()> ExtrairBibliotecaSSL;
    std::function<void()> ApagarBibliotecaSSL;
};

// The whole report, sent once with the error indicator (0 success, 1 failure) to `url`; an empty url sends
// nothing and shows nothing. Never raises.
void EnviarRelatorio(const TWizardState& state, int erro, std::string_view log, std::string_view url,
                     const TAmbienteRelatorio& ambiente);

// The transports of this build: the platform's HTTP client first, our HTTP/1.0 client over OpenSSL second.
std::string PostarPrimeiroTransporte(const platform::HttpPost& pedido);
std::string PostarSegundoTransporte(const platform::HttpPost& pedido);

// Writes the transport-security archive into the work folder as "Library.zip", unpacks all its entries there
// and deletes the archive again; without an archive (builds that link the system's OpenSSL carry none) nothing
// happens. Every error is swallowed: the second post then runs without the libraries, or fails.
void ExtrairBibliotecaSSL(std::string_view pastaTemp, const std::optional<std::string>& arquivo);
// Deletes the two libraries from the work folder; one that cannot be deleted stays (the work folder's removal
// at the end of the run tries again). Every error is swallowed.
void ApagarBibliotecaSSL(std::string_view pastaTemp);

} // namespace tarvix
