// The Windows build of the simulated IDE compiler (dcc32.exe, cross-compiled with mingw-w64) run by the real
// wine in a copy of a prefix made by wine: its Windows file calls, command-line splitting, current folder and
// code pages are Windows' own there.
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/host_process.h"
#include "platform/text_encoding.h"
#include "platform/wine/wine_environment.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/real_wine_prefix.h"
#include "tests/support/temp_dir.h"
#include "tools/prefix_builder.h"
#include "tools/sim_dcc32.h"

namespace fs = std::filesystem;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace tarvix::tools {
namespace {

struct WineRun {
    uint32_t exitCode = platform::NoExitCode;
    std::string output; // as written, carriage returns included
};

// `wine <program> <arguments>` with its current folder in the prefix.
WineRun runInWine(PrefixBuilder& prefix, const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& windowsFolder)
{
    platform::HostProcessSpec spec;
    spec.argv = {"wine", program};
    spec.argv.insert(spec.argv.end(), arguments.begin(), arguments.end());
    spec.environment =
        platform::wine::wineEnvironment(prefix.dir(), {.withoutMonoAndGecko = true, .withoutDisplay = true});
    spec.workingDirectory = prefix.hostPath(windowsFolder).string();
    spec.input = platform::StreamMode::Null;
    spec.error = platform::StreamMode::Null;
    WineRun run;
    spec.onOutput = [&](std::string_view bytes) { run.output += bytes; };
    run.exitCode = platform::runHostProcess(spec).exitCode;
    return run;
}

std::string readHostFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const std::string_view line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

TEST(SimDcc32Interop, WineRunsTheWindowsBuild)
{
    const fs::path exe = TARVIX_SIM_DCC32_PE;
    if (exe.empty() || !fs::is_regular_file(exe))
        GTEST_SKIP() << "dcc32.exe was not built: the mingw-w64 cross compiler x86_64-w64-mingw32-g++-posix (Debian "
                        "package g++-mingw-w64-x86-64) was not found when the build was configured";
    if (!wineAvailable())
        GTEST_SKIP() << "wine is not installed";

    test::TempDir temp;
    test::copyRealWinePrefix(temp / "prefix");
    PrefixBuilder prefix = PrefixBuilder::open(temp / "prefix");
    IdeSetup setup = IdeSetup::delphi13();
    setup.dcc32Host = exe;
    const RegisteredIde ide = prefix.registerIde(setup);
    platform::WinePrefix system(temp / "prefix");
    const uint32_t ansi = system.shell().ansiCodePage();
    const uint32_t oem = system.shell().oemCodePage();

    const std::string unit = "KqA\xC3\xA7\xC3\xBA"
                             "car"; // "KqAçúcar"
    const std::string folder = "C:\\Morvane\\TarvixComps\\D37";
    const std::string extra = "C:\\Morvane\\Lib Extra";
    const std::string bplFolder = ide.commonDir + "\\Bpl";
    const std::string dcpFolder = ide.commonDir + "\\Dcp";
    prefix.writeFile(
        folder + "\\TarvixLib.dpk",
        platform::encodeCodePage(crlf({"package TarvixLib;", "{$LIBSUFFIX '370'}", "requires", "  rtl;", "contains",
                                       "  KqAbout,", "  KqAnimate in 'KqAnimate.pas',", "  " + unit + ";", "end."}),
                                 ansi));
    prefix.writeFile(folder + "\\kqabout.DCU", "dcu");
    prefix.writeFile(folder + "\\KqAnimate.pas", "unit KqAnimate;\r\nend.\r\n");
    prefix.writeFile(extra + "\\" + unit + ".dcu", "dcu");
    prefix.makeFolder(bplFolder);
    prefix.makeFolder(dcpFolder);
    const std::string oemUnitLine =
        platform::encodeCodePage("Compiling " + unit + " (" + extra + "\\" + unit + ".dcu)\r\n", oem);

    // Everything on the command line; the list with a space in it quoted, as an IDE passes it.
    const WineRun run = runInWine(prefix, ide.dcc32File,
                                  {"--no-config", "-B", "-Q", "-$O-", "-le" + bplFolder, "-LN\"" + dcpFolder + "\"",
                                   "-U\"" + extra + ";C:\\Other\"", "TarvixLib"},
                                  folder);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_THAT(run.output, StartsWith(std::string(SimDcc32Banner) + "\r\n"));
    EXPECT_THAT(run.output, HasSubstr(oemUnitLine));
    EXPECT_THAT(run.output, HasSubstr(folder + "\\TarvixLib.dpk(1) Warning: W1057"));
    EXPECT_THAT(run.output, HasSubstr(" lines\r"));
    EXPECT_THAT(run.output, EndsWith(" bytes data.\r\n"));
    EXPECT_THAT(readHostFile(prefix.hostPath(bplFolder + "\\TarvixLib370.bpl")), StartsWith("MZ"));
    EXPECT_TRUE(fs::is_regular_file(prefix.hostPath(dcpFolder + "\\TarvixLib.dcp")));

    // The unit folder from the configuration file beside the package, the outputs beside the package.
    prefix.writeFile(folder + "\\TarvixLib.cfg", "-U\"" + extra + "\"\r\n");
    const WineRun configured = runInWine(prefix, ide.dcc32File, {folder + "\\TarvixLib.dpk"}, "C:\\");
    EXPECT_EQ(configured.exitCode, 0u) << configured.output;
    EXPECT_THAT(configured.output, HasSubstr(oemUnitLine));
    EXPECT_TRUE(fs::is_regular_file(prefix.hostPath(folder + "\\TarvixLib370.bpl")));

    const WineRun missing = runInWine(prefix, ide.dcc32File, {"--no-config", "TarvixLib.dpk"}, folder);
    EXPECT_EQ(missing.exitCode, 1u) << missing.output;
    EXPECT_THAT(missing.output,
                EndsWith(platform::encodeCodePage(
                    folder + "\\TarvixLib.dpk(8) Fatal: F1026 File not found: '" + unit + ".dcu'\r\n", oem)));
    platform::wine::waitForWineserver(temp / "prefix");
}

} // namespace
} // namespace tarvix::tools
