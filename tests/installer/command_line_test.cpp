// The installer's command line: each option in any case and with either prefix, values with and without quotes,
// the front end the options ask for, and every way a command line is refused.
#include "installer/command_line.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

// The options a command line gave, in one comparable text.
std::string Describe(const TLinhaComando& l)
{
    std::string text;
    const auto flag = [&](bool on, const char* name) {
        if (on)
            text += std::string(name) + " ";
    };
    flag(l.Silenciosa, "silent");
    flag(l.MuitoSilenciosa, "verysilent");
    flag(l.SuprimirMensagens, "suppress");
    flag(l.AceitarLicenca, "accept");
    flag(l.SemRelatorio, "noreport");
    flag(l.Desinstalar, "uninstall");
    flag(l.Ajuda, "help");
    if (l.Pasta)
        text += "dir=[" + *l.Pasta + "] ";
    if (l.Log)
        text += "log=[" + *l.Log + "] ";
    return text;
}

struct Accepted {
    std::vector<std::string> arguments;
    std::string options;
};

TEST(CommandLine, EachOptionInAnyCaseWithEitherPrefix)
{
    const Accepted cases[] = {
        {{}, ""},
        {{"/SILENT"}, "silent "},
        {{"-silent"}, "silent "},
        {{"/VerySilent"}, "verysilent "},
        {{"-VERYSILENT"}, "verysilent "},
        {{"--verysilent"}, "verysilent "},
        {{"/suppressmsgboxes"}, "suppress "},
        {{"-AcceptLicense"}, "accept "},
        {{"/NOREPORT"}, "noreport "},
        {{"/uninstall"}, "uninstall "},
        {{"/HELP"}, "help "},
        {{"-help"}, "help "},
        {{"--help"}, "help "},
        {{"/?"}, "help "},
        {{"-?"}, "help "},
        {{"/DIR=C:\\Tarvix"}, "dir=[C:\\Tarvix] "},
        {{"/dir=\"C:\\Program Files\\Tarvix\""}, "dir=[C:\\Program Files\\Tarvix] "},
        {{"-Dir=/home/ana/tarvix"}, "dir=[/home/ana/tarvix] "},
        {{"/LOG=install.log"}, "log=[install.log] "},
        {{"/log=\"my install.log\""}, "log=[my install.log] "},
        // A value keeps its own "=" signs; only the first one separates it from the name.
        {{"/LOG=a=b.log"}, "log=[a=b.log] "},
        // A repeated option: the last value counts.
        {{"/DIR=C:\\A", "/DIR=C:\\B"}, "dir=[C:\\B] "},
        {{"/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE", "/LOG=install.log"},
         "verysilent suppress accept log=[install.log] "},
        {{"/UNINSTALL", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/DIR=C:\\T"},
         "verysilent suppress uninstall dir=[C:\\T] "},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.options);
        EXPECT_EQ(Describe(LerLinhaComando(c.arguments)), c.options);
    }
}

TEST(CommandLine, RefusesWhatItCannotRead)
{
    const std::vector<std::string> refused[] = {
        {"/FOO"},
        {"/SILENTLY"},
        {"/SIL"},
        {"SILENT"},                   // no prefix
        {"/VERYSILENT", "setup.exe"}, // a stray word
        {"/"},
        {"-"},
        {"/=x"},
        {"/SILENT=1"}, // a flag takes no value
        {"/HELP="},
        {"/DIR"}, // a value is needed
        {"/DIR="},
        {"/DIR=\"\""},
        {"/LOG"},
        {"/LOG="},
        {"/DIR=\"C:\\Tarvix"}, // an unclosed quote
        {"/LOG=\""},
        {"/DIR=C:\\a\"b"}, // a quote inside the value
        {"/ACCEPTLICENSE", "/UNKNOWN"},
    };
    for (const std::vector<std::string>& arguments : refused) {
        SCOPED_TRACE(arguments.back());
        EXPECT_THROW(LerLinhaComando(arguments), ELinhaComando);
    }
}

TEST(CommandLine, TheErrorNamesTheArgument)
{
    try {
        LerLinhaComando({"/SILENT", "/Bogus=1"});
        FAIL() << "refused";
    } catch (const ELinhaComando& e) {
        EXPECT_NE(std::string(e.what()).find("/Bogus=1"), std::string::npos) << e.what();
    }
}

TEST(CommandLine, TheFrontEndAndWhereMessagesGo)
{
    struct Case {
        std::vector<std::string> arguments;
        TModoExecucao mode;
        bool unattended;
        bool messagesAsText;
    };
    const Case cases[] = {
        {{}, TModoExecucao::Assistente, false, false},
        {{"/SUPPRESSMSGBOXES"}, TModoExecucao::Assistente, false, true},
        {{"/SILENT"}, TModoExecucao::Silenciosa, true, false},
        {{"/SILENT", "/SUPPRESSMSGBOXES"}, TModoExecucao::Silenciosa, true, true},
        // Without a window a message has nowhere to go but the text.
        {{"/VERYSILENT"}, TModoExecucao::MuitoSilenciosa, true, true},
        // The quieter of the two wins, whatever their order.
        {{"/VERYSILENT", "/SILENT"}, TModoExecucao::MuitoSilenciosa, true, true},
        {{"/SILENT", "/VERYSILENT"}, TModoExecucao::MuitoSilenciosa, true, true},
        {{"/UNINSTALL"}, TModoExecucao::Assistente, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "none" : c.arguments.front());
        const TLinhaComando l = LerLinhaComando(c.arguments);
        EXPECT_EQ(l.Modo(), c.mode);
        EXPECT_EQ(l.Automatica(), c.unattended);
        EXPECT_EQ(l.MensagensEmTexto(), c.messagesAsText);
    }
}

TEST(CommandLine, TheUsageListsEveryOptionAndExitCode)
{
    const std::string usage = TextoUso("tarvix-setup");
    EXPECT_TRUE(usage.starts_with("Usage: tarvix-setup [options]\n"));
    for (const char* option : {"/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/ACCEPTLICENSE",
                               "/DIR=", "/LOG=", "/NOREPORT", "/UNINSTALL", "/HELP", "/?"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    for (const char* code : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  4  ", "\n  5  ", "\n  7  "})
        EXPECT_NE(usage.find(code), std::string::npos) << code;
}

} // namespace
} // namespace tarvix
