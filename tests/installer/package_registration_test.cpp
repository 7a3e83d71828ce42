// The registration step on sandbox prefixes: the option list it puts into the IDE's compiler, the configuration
// file for compilers that read one, the output folders, the log and its filter, the outcome on success and on
// failure, and the errors of the services that are not the step's to handle. The compiler is a scripted stand-in
// that records what it was given, or the simulated one where a real build matters.
#include "installer/package_registration.h"

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "components/kq_reg_manager.h"
#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_errors.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_packages.h"
#include "installer/wizard_window.h"
#include "platform/windows_path.h"
#include "tests/ideservices/ide_tool_sandbox.h"
#include "tests/installer/window_recorder.h"

namespace tarvix {

using enum TIdeBDSPlatform;
namespace {

namespace fs = std::filesystem;
using test::ScriptedTool;

const char* const Destination = "C:\\Tarvix\\D37";
const char* const PackageSource = "package TarvixLib370;\r\n\r\n{$R *.res}\r\n{$DESCRIPTION 'Tarvix'}\r\n\r\n"
                                  "requires\r\n  rtl;\r\n\r\ncontains\r\n  KqAlpha;\r\n\r\nend.\r\n";

// The window's boxes, recorded among the page's events in the order they happen.
class EventWindow : public test::WindowRecorder {
public:
    explicit EventWindow(std::vector<std::string>& events) : events_(events) {}
    int MsgError(const std::string& markup) override { return note("error", markup); }
    int MsgInformation(const std::string& markup) override { return note("information", markup); }

private:
    int note(const char* kind, const std::string& markup)
    {
        events_.push_back(kind);
        return kind == std::string("error") ? WindowRecorder::MsgError(markup) : WindowRecorder::MsgInformation(markup);
    }
    std::vector<std::string>& events_;
};

// The step on one IDE of a sandbox prefix, with the destination holding the package source, a recorder for the
// window and the page, and the registry manager of the remembered destination.
class RegistrationBench {
public:
    RegistrationBench(tools::IdeSetup setup, std::optional<fs::path> compiler)
    {
        setup.dcc32Host = compiler;
        if (!compiler)
            std::erase(setup.binFiles, "dcc32.exe");
        installation_ = &sandbox_.install(setup);
        sandbox_.prefix().writeFile(std::string(Destination) + "\\TarvixLib370.dpk", PackageSource);
        sandbox_.prefix().writeFile(std::string(Destination) + "\\KqAlpha.dcu", "alpha unit");
        state_.Version = 37;
        RegMan_.SetRootKey(HKeyLocalMachine);
        RegMan_.SetKey(ChaveTarvixComps);
        RegMan_.Loaded();

        TPaginaRegistro pagina;
        pagina.PastaDestino = [] { return std::string(Destination); };
        pagina.AdicionarLinha = [this](const std::string& line) { log.push_back(line); };
        pagina.Concluir = [this] { events.push_back("Fechar"); };
        pagina.EnviarRelatorio = [this](int erro) { events.push_back("report " + std::to_string(erro)); };
        step_ = std::make_unique<TEtapaRegistro>(state_, window, std::move(pagina), *installation_, RegMan_);
    }

    TEtapaRegistro& step() { return *step_; }
    TIdeBorRADToolInstallation& installation() { return *installation_; }
    test::IdeSandbox& sandbox() { return sandbox_; }
    const TWizardState& state() const { return state_; }
    std::string remembered() { return RegMan_.ReadString("", "Caminho D37", ""); }

    // Runs the step; the report, the window's boxes and the page's last state go to `events` in their order.
    void run() { step_->RegistrarPackage(); }

    std::vector<std::string> log;
    std::vector<std::string> events;
    EventWindow window{events};

private:
    test::IdeSandbox sandbox_;
    TIdeBorRADToolInstallation* installation_ = nullptr;
    TWizardState state_;
    TKqRegManager RegMan_;
    std::unique_ptr<TEtapaRegistro> step_;
};

class RegistrationStep : public ::testing::Test {
protected:
    test::TempDir temp_;
    ScriptedTool tool_{temp_.path() / "tool"};
};

TEST_F(RegistrationStep, Delphi13GetsTheInstallersOptionsAndNoConfigurationFile)
{
    RegistrationBench bench(tools::IdeSetup::delphi13(), tool_.script());
    TIdeBorRADToolInstallation& ide = bench.installation();
    const std::string lib = platform::excludeTrailingBackslash(ide.GetLibFolderName(bpWin32));
    const std::string search = ide.GetLibrarySearchPath(bpWin32);
    const std::string bpl = platform::excludeTrailingBackslash(ide.GetBPLOutputPath(bpWin32));
    const std::string dcp = platform::excludeTrailingBackslash(ide.GetDCPOutputPath(bpWin32));
    ASSERT_NE(search, lib);
    bench.run();

    // What the compiler received, as its run-time splits the command line: the package, then the options in the
    // order of the table; the build's own options (the default -U, -LN, -LE) are gone.
    const std::vector<std::string> expected = {
        "C:\\Tarvix\\D37\\TarvixLib370.dpk",
        "--no-config",
        "-B",
        "-$O-",
        "-$W+",
        "-$Y-",
        "-M",
        "-Q",
        "-H-",
        "-W-",
        std::string(NamespacesD17),
        "-U" + lib,
        "-U" + search,
        "-UC:\\Tarvix\\D37",
        "-I" + search,
        "-R" + search,
        "-NOC:\\Tarvix\\D37",
        "-LE" + bpl,
        "-LN" + dcp,
    };
    EXPECT_EQ(tool_.arguments(), expected);
    EXPECT_FALSE(bench.sandbox().exists("C:\\Tarvix\\D37\\TarvixLib370.cfg"));
    EXPECT_EQ(bench.step().PastaBPL(), ide.GetBPLOutputPath(bpWin32));
}

TEST_F(RegistrationStep, ACompilerWithoutNoConfigReadsTheOptionsFromThePackagesConfigurationFile)
{
    // RAD Studio 2005 (BDS 3) cannot be told to ignore configuration files.
    ScriptedTool tool(temp_.path() / "copying-tool", true);
    RegistrationBench bench(tools::IdeSetup::bds("Borland", "3.0"), tool.script());
    ASSERT_FALSE(bench.installation().SupportsNoConfig());
    bench.run();

    const std::vector<std::string> arguments = tool.arguments();
    ASSERT_GE(arguments.size(), 2u);
    EXPECT_EQ(arguments[1], "-B");
    // The file the compiler found beside the package holds the option list, one entry a line, as the driver
    // keeps it (quoted paths); it stays after the build, as no older one had to be put back.
    std::string lines;
    for (const std::string& option : bench.installation().DCC32().Options())
        lines += option + "\r\n";
    EXPECT_EQ(tool.folderFiles().at("TarvixLib370.cfg"), lines);
    EXPECT_EQ(bench.sandbox().read("C:\\Tarvix\\D37\\TarvixLib370.cfg"), lines);
    EXPECT_EQ(lines.rfind("-B\r\n-$O-\r\n", 0), 0u) << lines;
    EXPECT_EQ(lines.find("-NS"), std::string::npos) << lines;
}

TEST_F(RegistrationStep, AnOlderConfigurationFileIsBackAfterTheBuild)
{
    RegistrationBench bench(tools::IdeSetup::bds("Borland", "3.0"), tool_.script());
    bench.sandbox().prefix().writeFile("C:\\Tarvix\\D37\\TarvixLib370.cfg", "-$D+\r\n");
    bench.run();
    EXPECT_EQ(bench.sandbox().read("C:\\Tarvix\\D37\\TarvixLib370.cfg"), "-$D+\r\n");
}

TEST_F(RegistrationStep, TheNamespaceEntryFollowsTheRelease)
{
    struct Case {
        const char* versionKey;
        const char* versionStr;
        std::string_view entry; // empty: none
    };
    const Case cases[] = {
        {"8.0", "d15", {}},
        {"9.0", "d16", NamespacesD16},
        {"10.0", "d17", NamespacesD17},
        {"23.0", "d29", NamespacesD17},
        {"37.0", "d37", NamespacesD17},
    };
    for (const Case& c : cases) {
        RegistrationBench bench(tools::IdeSetup::bds("Embarcadero", c.versionKey), tool_.script());
        TIdeBorRADToolInstallation& ide = bench.installation();
        ASSERT_EQ(ide.IDEVersionNumberStr(), c.versionStr);
        TIdeDCC32& driver = ide.DCC32();
        bench.step().ConfigurarCompilador(driver);
        const std::vector<std::string>& options = driver.Options();
        const std::size_t plain = ide.SupportsNoConfig() ? 9 : 8;
        ASSERT_GT(options.size(), plain) << c.versionKey;
        if (c.entry.empty())
            EXPECT_EQ(options[plain].rfind("-U\"", 0), 0u) << c.versionKey << ": " << options[plain];
        else
            EXPECT_EQ(options[plain], c.entry) << c.versionKey;
        EXPECT_EQ(
            std::count_if(options.begin(), options.end(), [](const std::string& o) { return o.starts_with("-NS"); }),
            c.entry.empty() ? 0 : 1)
            << c.versionKey;
    }
}

TEST_F(RegistrationStep, AMissingOutputFolderSendsTheBuildToTheDestination)
{
    RegistrationBench bench(tools::IdeSetup::delphi13(), tool_.script());
    const std::string bpl = bench.installation().GetBPLOutputPath(bpWin32);
    fs::remove_all(bench.sandbox().host(bpl));
    EXPECT_EQ(bench.step().PastaBPL(), Destination);
    EXPECT_NE(bench.step().PastaDCP(), Destination);
    bench.run();
    const std::vector<std::string> arguments = tool_.arguments();
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "-LEC:\\Tarvix\\D37"), arguments.end());
    EXPECT_TRUE(bench.installation().ConfigData().ValueExists("Known Packages", "C:\\Tarvix\\D37\\TarvixLib370.bpl"));
}

TEST_F(RegistrationStep, TheLogLeavesOutTwoWarningsOnly)
{
    tool_.setOutput("Unit1.pas(1) Warning: W1057 Implicit string cast\r\n"
                    "Unit1.pas(2) warning: W1057 written in lower case\r\n"
                    "Unit1.pas(3) Warning: W1058 Implicit string cast with potential data loss\r\n"
                    "Unit1.pas(4) Warning: W1059 another warning\r\n"
                    "Unit1.pas(5) Warning: W10570 holds the text of W1057 all the same\r\n");
    RegistrationBench bench(tools::IdeSetup::delphi13(), tool_.script());
    bench.run();
    // Between the command line and the six progress lines of a successful installation.
    ASSERT_GT(bench.log.size(), 9u);
    const std::vector<std::string> compilerLines(bench.log.begin() + 3, bench.log.end() - 6);
    EXPECT_EQ(compilerLines, (std::vector<std::string>{"Unit1.pas(2) warning: W1057 written in lower case",
                                                       "Unit1.pas(4) Warning: W1059 another warning"}));
}

TEST_F(RegistrationStep, SuccessRegistersExtendsThePathsAndRemembersTheFolder)
{
    RegistrationBench bench(tools::IdeSetup::delphi13(), fs::path(TARVIX_SIM_DCC32_HOST));
    TIdeBorRADToolInstallation& ide = bench.installation();
    const std::string searchBefore = ide.GetRawLibrarySearchPath(bpWin32);
    bench.run();

    EXPECT_EQ(bench.events, (std::vector<std::string>{"report 0", "information", "Fechar"}));
    EXPECT_EQ(bench.window.boxes.at(0).markup, MsgInstalacaoConcluida);
    EXPECT_TRUE(bench.state().Finalizado);
    EXPECT_EQ(bench.remembered(), Destination);
    EXPECT_EQ(ide.GetRawLibrarySearchPath(bpWin32), searchBefore + ";" + Destination);
    EXPECT_NE(ide.GetRawLibraryBrowsingPath(bpWin32).find(Destination), std::string::npos);
    EXPECT_NE(ide.GetRawDebugDCUPath(bpWin32).find(Destination), std::string::npos);
    EXPECT_EQ(bench.log.front(), "Installing package C:\\Tarvix\\D37\\TarvixLib370.dpk");
    EXPECT_EQ(bench.log.back(), "Installation of package finished");
}

TEST_F(RegistrationStep, AFailedCompileIsShownAndChangesNothingInTheIde)
{
    tool_.setOutput("C:\\Tarvix\\D37\\TarvixLib370.dpk(10) Fatal: F1026 File not found: 'KqAlpha.dcu'\r\n");
    tool_.setExitCode(1);
    RegistrationBench bench(tools::IdeSetup::delphi13(), tool_.script());
    TIdeBorRADToolInstallation& ide = bench.installation();
    const std::string search = ide.GetRawLibrarySearchPath(bpWin32);
    const std::string browsing = ide.GetRawLibraryBrowsingPath(bpWin32);
    const std::string debug = ide.GetRawDebugDCUPath(bpWin32);
    const auto known = ide.IdePackages().KnownPackages();
    bench.run();

    EXPECT_EQ(bench.events, (std::vector<std::string>{"report 1", "error", "Fechar"}));
    EXPECT_EQ(bench.window.boxes.at(0).markup,
              "Ocorreu um erro e não foi possível concluir a instalação. Verique|a causa do erro nas informações no "
              "log de registro.||<b>Importante:<b>|Você poderá realizar a instalação manual abrindo o arquivo "
              "<b>TarvixLib370.dpk<b>|que se encontra na pasta escolhida para instalação dos componentes.");
    EXPECT_TRUE(bench.state().Finalizado);
    EXPECT_EQ(bench.remembered(), "");
    EXPECT_EQ(ide.GetRawLibrarySearchPath(bpWin32), search);
    EXPECT_EQ(ide.GetRawLibraryBrowsingPath(bpWin32), browsing);
    EXPECT_EQ(ide.GetRawDebugDCUPath(bpWin32), debug);
    ide.IdePackages().ReadPackages();
    EXPECT_EQ(ide.IdePackages().KnownPackages(), known);
    // The compiler's own words are in the log for the user.
    EXPECT_NE(std::find(bench.log.begin(), bench.log.end(),
                        "C:\\Tarvix\\D37\\TarvixLib370.dpk(10) Fatal: F1026 File not found: 'KqAlpha.dcu'"),
              bench.log.end());
    EXPECT_EQ(bench.log.back(), "Installation of package finished");
}

TEST_F(RegistrationStep, ErrorsOfTheServicesLeaveTheStepUnfinished)
{
    RegistrationBench bench(tools::IdeSetup::delphi13(), std::nullopt);
    try {
        bench.step().RegistrarPackage();
        FAIL() << "an IDE without its compiler";
    } catch (const EIdeBorRADException& e) {
        EXPECT_STREQ(e.what(), "dcc32.exe not found");
    }
    EXPECT_FALSE(bench.state().Finalizado);
    EXPECT_TRUE(bench.events.empty());
    EXPECT_TRUE(bench.window.boxes.empty());
    EXPECT_TRUE(bench.log.empty());
}

} // namespace
} // namespace tarvix
