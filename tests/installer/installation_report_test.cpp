// The installation report: its entries and their form encoding, the choice between the two transports, the
// requests as a loopback receiver gets them byte for byte, failures that stay silent and end within the
// time-outs, and the transport-security libraries unpacked into the work folder and deleted again.
#include "installer/installation_report.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ascii_case.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"
#include "tools/report_receiver.h"
#include "tools/test_certificate.h"

namespace tarvix {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using tools::ReceivedRequest;
using tools::ReceiverOptions;
using tools::ReportReceiver;

std::string Header(const ReceivedRequest& request, std::string_view name)
{
    for (const auto& header : request.headers)
        if (platform::equalsIgnoringAsciiCase(header.name, name))
            return header.value;
    return "<none>";
}

TWizardState Estado(int32_t version, bool source)
{
    TWizardState state;
    state.Version = version;
    state.Source = source;
    return state;
}

// The surroundings of a report, recording what the report did with them in order.
struct Ambiente {
    std::vector<std::string> eventos;
    std::string caFile; // trusted by both transports besides the system's store

    TAmbienteRelatorio operator()()
    {
        TAmbienteRelatorio a;
        a.MostrarAguardando = [this] { eventos.push_back("mostrar"); };
        a.FecharAguardando = [this] { eventos.push_back("fechar"); };
        a.PostarPrimeiro = [this](platform::HttpPost pedido) {
            eventos.push_back("primeiro");
            pedido.extraCaFile = caFile;
            return PostarPrimeiroTransporte(pedido);
        };
        a.PostarSegundo = [this](platform::HttpPost pedido) {
            eventos.push_back("segundo");
            pedido.extraCaFile = caFile;
            return PostarSegundoTransporte(pedido);
        };
        a.ExtrairBibliotecaSSL = [this] { eventos.push_back("extrair"); };
        a.ApagarBibliotecaSSL = [this] { eventos.push_back("apagar"); };
        return a;
    }
};

TEST(InstallationReport, FormEncodingIsTheWhatwgSerializerOverUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AZaz09*-._", "AZaz09*-._"},
        {"a b", "a+b"},
        {"linha 1\r\nlinha 2", "linha+1%0D%0Alinha+2"},
        {"+%&=", "%2B%25%26%3D"},
        {"~!'()/?#", "%7E%21%27%28%29%2F%3F%23"},
        {"ç", "%C3%A7"},
        {"Edição \"X\"", "Edi%C3%A7%C3%A3o+%22X%22"},
        {std::string("\0\x7F\xFF", 3), "%00%7F%FF"},
    };
    for (const auto& [texto, esperado] : cases)
        EXPECT_EQ(CodificarFormulario(texto), esperado) << texto;
}

TEST(InstallationReport, EntriesInTheirOrderWithTheTransportReplacedInPlace)
{
    TCamposRelatorio campos = MontarRelatorio(Estado(37, true), 1, "it's 'quoted'\r\nç");
    EXPECT_EQ(CodificarFormulario(campos), "versao=37&fonte=1&erro=1&msg=it%22s+%22quoted%22%0D%0A%C3%A7&recurso=NI");
    DefinirCampo(campos, "recurso", "Indy");
    DefinirCampo(campos, "absent", "x");
    EXPECT_EQ(CodificarFormulario(campos), "versao=37&fonte=1&erro=1&msg=it%22s+%22quoted%22%0D%0A%C3%A7&recurso=Indy");
    EXPECT_EQ(CodificarFormulario(MontarRelatorio(Estado(29, false), 0, "")),
              "versao=29&fonte=0&erro=0&msg=&recurso=NI");
}

// The answer of the first post decides whether the second runs: only "OK", blanks and line breaks around it
// removed, stops after one post.
TEST(InstallationReport, TheFirstAnswerDecidesWhetherTheSecondTransportPostsAgain)
{
    struct Case {
        std::string answer;
        bool second;
    };
    const Case cases[] = {
        {"OK", false}, {"  OK \r\n", false}, {"\tOK", false}, {"ok", true}, {"OK.", true}, {"", true}, {"NOK", true},
    };
    ReportReceiver receiver(ReceiverOptions{});
    const std::string log = "Linha 1 'a'\r\nLinha 2 ç";
    const std::string msg = "Linha+1+%22a%22%0D%0ALinha+2+%C3%A7";
    for (const auto& c : cases) {
        SCOPED_TRACE("answer \"" + c.answer + "\"");
        receiver.setAnswer(c.answer);
        const std::size_t before = receiver.requests().size();
        Ambiente ambiente;
        EnviarRelatorio(Estado(37, false), 0, log, receiver.url(), ambiente());

        const std::vector<ReceivedRequest> all = receiver.requests();
        const std::vector<ReceivedRequest> got(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        ASSERT_EQ(got.size(), c.second ? 2u : 1u);
        const ReceivedRequest& net = got[0];
        EXPECT_EQ(net.method, "POST");
        EXPECT_EQ(net.target, "/tarvix/instalar.php");
        EXPECT_EQ(net.body, "versao=37&fonte=0&erro=0&msg=" + msg + "&recurso=Net");
        EXPECT_EQ(Header(net, "Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
        EXPECT_EQ(Header(net, "User-Agent"), UserAgentRelatorio);
        if (c.second) {
            const ReceivedRequest& indy = got[1];
            EXPECT_EQ(indy.method, "POST");
            EXPECT_EQ(indy.version, "HTTP/1.0");
            EXPECT_EQ(indy.target, "/tarvix/instalar.php");
            EXPECT_EQ(indy.body, "versao=37&fonte=0&erro=0&msg=" + msg + "&recurso=Indy");
            EXPECT_EQ(Header(indy, "Content-Type"), "application/x-www-form-urlencoded");
            EXPECT_EQ(Header(indy, "Accept"), "text/html, */*");
            EXPECT_EQ(Header(indy, "User-Agent"), UserAgentRelatorio);
            EXPECT_THAT(ambiente.eventos, ElementsAre("mostrar", "primeiro", "extrair", "segundo", "apagar", "fechar"));
        } else {
            EXPECT_THAT(ambiente.eventos, ElementsAre("mostrar", "primeiro", "fechar"));
        }
    }
}

TEST(InstallationReport, AnEmptyEndpointSendsNothingAndShowsNothing)
{
    Ambiente ambiente;
    EnviarRelatorio(Estado(37, false), 1, "log", "", ambiente());
    EXPECT_THAT(ambiente.eventos, IsEmpty());
}

// Failures are silent and bounded: nothing raises, the overlay goes away, and a failed second post skips the
// deletion of the libraries (the work folder's removal takes them).
TEST(InstallationReport, FailuresAreSwallowedWithinTheTimeouts)
{
    using Clock = std::chrono::steady_clock;
    std::string unreachable;
    {
        ReportReceiver closed(ReceiverOptions{});
        unreachable = closed.url(); // nothing listens there once it is gone
    }
    ReceiverOptions silent;
    silent.neverAnswer = true;
    ReportReceiver mute(silent);

    struct Case {
        const char* name;
        std::string url;
        std::chrono::seconds bound; // both posts together
    };
    const Case cases[] = {
        {"nothing listens", unreachable, std::chrono::seconds(5)},
        {"a server that never answers", mute.url(), std::chrono::seconds(20)},
        {"a malformed endpoint", "ftp://127.0.0.1/tarvix/instalar.php", std::chrono::seconds(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ambiente ambiente;
        const auto start = Clock::now();
        EXPECT_NO_THROW(EnviarRelatorio(Estado(37, false), 1, "log", c.url, ambiente()));
        EXPECT_LT(Clock::now() - start, c.bound);
        EXPECT_THAT(ambiente.eventos, ElementsAre("mostrar", "primeiro", "extrair", "segundo", "fechar"));
    }
    EXPECT_EQ(mute.requests().size(), 2u) << "both posts reached the server that does not answer";

    // Even the overlay's own failure stays inside the report.
    Ambiente ambiente;
    TAmbienteRelatorio quebrado = ambiente();
    quebrado.MostrarAguardando = [] { throw std::runtime_error("no window"); };
    EXPECT_NO_THROW(EnviarRelatorio(Estado(37, false), 0, "log", unreachable, quebrado));
}

// Over HTTPS both transports verify the server's certificate and its host name: a receiver whose certificate
// comes from a CA they do not trust gets no report at all.
TEST(InstallationReport, HttpsPostsOnlyToACertificateTheTransportsTrust)
{
    test::TempDir temp;
    const tools::TestCertificate trusted = tools::makeTestCertificate(temp / "trusted");
    const tools::TestCertificate stranger = tools::makeTestCertificate(temp / "stranger", "Stranger CA");

    ReceiverOptions options;
    options.certificateFile = trusted.certificateFile;
    options.keyFile = trusted.keyFile;
    options.answer = "not the expected answer";
    ReportReceiver receiver(options);
    Ambiente ambiente;
    ambiente.caFile = trusted.caFile.string();
    EnviarRelatorio(Estado(37, true), 0, "log", receiver.url(), ambiente());
    ASSERT_EQ(receiver.requests().size(), 2u);
    EXPECT_THAT(receiver.requests()[0].body, HasSubstr("&recurso=Net"));
    EXPECT_THAT(receiver.requests()[1].body, HasSubstr("&recurso=Indy"));

    Ambiente desconfiado;
    desconfiado.caFile = stranger.caFile.string();
    EnviarRelatorio(Estado(37, true), 0, "log", receiver.url(), desconfiado());
    EXPECT_EQ(receiver.requests().size(), 2u) << "no request got through an untrusted handshake";
    EXPECT_THAT(desconfiado.eventos, ElementsAre("mostrar", "primeiro", "extrair", "segundo", "fechar"));
}

// The archive of the transport-security libraries, for builds that carry one.
class BibliotecaSslTest : public testing::Test {
protected:
    static constexpr const char* kWork = "C:\\users\\tester\\Temp\\4242";

    bool Existe(const std::string& nome) { return std::filesystem::exists(Work() / nome); }
    std::filesystem::path Work() { return system.files().toHostPath(kWork); }

    test::SandboxPrefix sandbox;
    platform::WinePrefix system{sandbox.path()};
    platform::ScopedCurrentSystem scope{system};
};

TEST_F(BibliotecaSslTest, UnpackedIntoTheWorkFolderAndDeletedAgain)
{
    test::ZipBuilder zip;
    zip.deflated("ssleay32.dll", std::string(359, 's')).stored("libeay32.dll", std::string(1362, 'l'));
    ExtrairBibliotecaSSL(kWork, zip.build());
    EXPECT_TRUE(Existe("ssleay32.dll"));
    EXPECT_TRUE(Existe("libeay32.dll"));
    EXPECT_FALSE(Existe("Library.zip"));
    EXPECT_EQ(system.files().readFile(std::string(kWork) + "\\ssleay32.dll"), std::string(359, 's'));

    ApagarBibliotecaSSL(kWork);
    EXPECT_FALSE(Existe("ssleay32.dll"));
    EXPECT_FALSE(Existe("libeay32.dll"));
    EXPECT_NO_THROW(ApagarBibliotecaSSL(kWork)) << "nothing left to delete";
}

TEST_F(BibliotecaSslTest, NoArchiveADamagedOneOrAHostileOneWritesNothing)
{
    test::ZipBuilder hostile;
    hostile.stored("ssleay32.dll", "inside").stored("../fora.dll", "escaped");
    const std::string damaged = "PK\x03\x04 not really an archive";
    for (const std::optional<std::string>& arquivo :
         {std::optional<std::string>(), std::optional<std::string>(damaged), std::optional(hostile.build())}) {
        EXPECT_NO_THROW(ExtrairBibliotecaSSL(kWork, arquivo));
        EXPECT_FALSE(Existe("Library.zip"));
        EXPECT_FALSE(std::filesystem::exists(Work().parent_path() / "fora.dll"));
        EXPECT_FALSE(Existe("ssleay32.dll")) << "a hostile archive writes none of its entries";
    }
    EXPECT_NO_THROW(ApagarBibliotecaSSL("C:\\absent\\folder"));
}

} // namespace
} // namespace tarvix
