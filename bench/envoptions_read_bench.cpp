// Reading one property of a large EnvOptions.proj with ReadEnvOption, against `xmllint --noout` on the same file.
//
//   envoptions_read_bench [--dir DIR] [--runs N]
//
// Makes a scratch Wine prefix in DIR (default: ./envoptions-read-bench) with Delphi 13 registered in it, whose
// EnvOptions.proj has the property groups of every platform the IDE builds for (Win32, Win64, Win64x, OSX64,
// OSXARM64, Android, Android64, iOSDevice64, iOSSimulatorARM64, Linux64; a few hundred properties) and whose
// environment.proj is imported first. Then, in one run, starts alternately N times (default 31) the program
// envoptions_read_once (beside this one: it constructs the installation and calls ReadEnvOption once) and
// `xmllint --noout` on the file, and compares the median wall times of the whole processes. Target: at most 3
// times xmllint. Exit code 0 when the target is met, 1 when not, 2 on an error.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_prefix.h"
#include "bench/child_run.h"
#include "platform/host_process.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;
using namespace tarvix;

namespace {

constexpr double kTargetRatio = 3.0;

// A ";"-separated list of `count` folders below `base`.
std::string folderList(const std::string& base, const std::string& stem, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (i)
            list += ';';
        list += base + "\\" + stem + std::to_string(i + 1);
    }
    return list;
}

struct Generated {
    std::string text;
    int properties = 0;
    int groups = 0;
};

// An EnvOptions.proj as the IDE leaves it after some years of use: a byte-order mark and no declaration, the
// general options first, then one property group per platform with the library paths, output folders and the
// C++ compilers' settings, each path list long with the IDE's $(Name) references.
Generated envOptionsText()
{
    Generated g;
    std::string& t = g.text;
    t = "\xEF\xBB\xBF<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">\r\n";
    auto property = [&](const std::string& name, const std::string& value) {
        t += "    <" + name + ">" + value + "</" + name + ">\r\n";
        ++g.properties;
    };

    t += "  <PropertyGroup>\r\n";
    const char* general[] = {"AutoSaveEditorFiles",
                             "AutoSaveProjectDesktop",
                             "BackgroundCompilation",
                             "ShowCompilerProgress",
                             "MinimizeOnRun",
                             "HideDesignersOnRun",
                             "AutoCloseProgress",
                             "WarnOnPackageRebuild",
                             "ShowCommandLine",
                             "VerboseMsBuildOutput",
                             "ShowLinkerOutput",
                             "CaptionOfOutputWindow",
                             "UseExternalTools",
                             "ParallelBuilds",
                             "ParallelBuildCount",
                             "DefaultProjectsDirectory",
                             "UseDefaultProjectsDirectory",
                             "ShowWelcomePage",
                             "ShowToolPaletteHints",
                             "DockEditWindow",
                             "IncludeUnitNames",
                             "TemplateLibraryPath",
                             "ObjectRepositoryPath",
                             "BuildConfigurationShared"};
    for (int round = 0; round < 3; ++round)
        for (const char* name : general)
            property(std::string(name) + (round ? std::to_string(round) : ""),
                     round == 1 ? "$(BDSUSERDIR)\\Projects;$(BDSCOMMONDIR)\\Templates" : "True");
    property("DelphiTranslatedLibraryPath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)");
    property("DelphiTranslatedResourcePath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)");
    property("DelphiTranslatedDebugLibraryPath", "$(BDSLIB)\\$(Platform)\\debug\\$(LANGDIR)");
    t += "  </PropertyGroup>\r\n";

    const char* platforms[] = {
        "Win32",  "Win64", "Win64x", "OSX64", "OSXARM64", "Android", "Android64", "iOSDevice64", "iOSSimulatorARM64",
        "Linux64"};
    for (const char* platform : platforms) {
        const std::string p = platform;
        const std::string sub = p == "Win32" ? "" : "\\" + p;
        t += "  <PropertyGroup Condition=\"'$(Platform)'=='" + p + "'\">\r\n";
        ++g.groups;
        property("DelphiLibraryPath", "$(BDSLIB)\\$(Platform)\\release;$(BDSUSERDIR)\\Imports;$(BDS)\\Imports;"
                                      "$(BDSCOMMONDIR)\\Dcp" +
                                          sub + ";$(BDS)\\include;" + folderList("C:\\Comps\\" + p, "Lib", 12));
        property("DelphiBrowsingPath", "$(BDS)\\OCX\\Servers;$(BDS)\\SOURCE\\VCL;$(BDS)\\source\\rtl\\common;"
                                       "$(BDS)\\SOURCE\\RTL\\SYS;$(BDS)\\source\\rtl\\win;$(BDS)\\source\\ToolsAPI;"
                                       "$(BDS)\\SOURCE\\IBX;$(BDS)\\source\\Internet;$(BDS)\\SOURCE\\PROPERTY EDITORS;"
                                       "$(BDS)\\source\\soap;$(BDS)\\SOURCE\\XML;$(BDS)\\source\\Indy10\\Core;" +
                                           folderList("C:\\Comps\\Source", "Unit", 10));
        property("DelphiDebugDCUPath", "$(BDSLIB)\\$(Platform)\\debug;" + folderList("C:\\Comps\\" + p, "Debug", 6));
        property("DelphiDLLOutputPath", "$(BDSCOMMONDIR)\\Bpl" + sub);
        property("DelphiDCPOutput", "$(BDSCOMMONDIR)\\Dcp" + sub);
        property("DelphiHPPOutputPath", "$(BDSCOMMONDIR)\\hpp\\$(Platform)");
        property("DelphiNamespaceSearchPath", "System;Xml;Data;Datasnap;Web;Soap;Vcl;Vcl.Imaging;Vcl.Touch;FMX");
        property("DelphiPackageSearchPath", "$(BDSCOMMONDIR)\\Bpl" + sub + ";" + folderList("C:\\Bpl\\" + p, "P", 4));
        for (const char* cpp :
             {"CBuilderIncludePath", "CBuilderLibraryPath", "CBuilderBrowsingPath", "CBuilderSystemIncludePath",
              "CBuilderDebugLibraryPath", "CBuilderTranslatedLibraryPath", "CBuilderBPLOutputPathSetting",
              "CBuilderHppIncludePath"})
            property(cpp, "$(BDSINCLUDE)\\windows\\crtl;$(BDSINCLUDE)\\windows\\sdk;$(BDSINCLUDE)\\windows\\rtl;"
                          "$(BDSINCLUDE)\\windows\\vcl;$(BDSINCLUDE)\\windows\\fmx;$(BDSINCLUDE)\\dinkumware64;" +
                              folderList("$(BDSCOMMONDIR)\\hpp\\" + p, "H", 5));
        for (int i = 1; i <= 14; ++i)
            property("DebugSourcePath" + std::to_string(i),
                     "$(BDS)\\source\\rtl\\sys;$(BDS)\\source\\rtl\\common;$(BDS)\\source\\vcl;" +
                         folderList("C:\\Comps\\" + p + "\\src", "S", 3));
        t += "  </PropertyGroup>\r\n";
    }
    t += "</Project>\r\n";
    return g;
}

int run(const fs::path& dir, int runs)
{
    if (fs::exists(dir))
        fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string tool = bench::programBeside("envoptions_read_once");

    tools::PrefixOptions options;
    options.mode = tools::PrefixMode::Minimal;
    options.userName = "ana";
    tools::PrefixBuilder prefix = tools::PrefixBuilder::create(dir / "prefix", options);
    tools::IdeSetup setup = tools::IdeSetup::delphi13();
    const Generated generated = envOptionsText();
    setup.envOptionsText = generated.text;
    const tools::RegisteredIde ide = prefix.registerIde(setup);
    const std::string file = prefix.hostPath(ide.envOptionsFile).string();
    ::setenv("WINEPREFIX", prefix.dir().c_str(), 1);

    if (platform::findOnPath("xmllint").empty())
        throw std::runtime_error("xmllint is not installed (Debian package libxml2-utils)");
    const bench::Contender readOnce{
        "ReadEnvOption (envoptions_read_once DelphiLibraryPath Win32)", {{tool, "DelphiLibraryPath", "Win32"}}, {}};
    const bench::Contender xmllint{"xmllint --noout", {{"xmllint", "--noout", file}}, {}};
    // Three untimed runs of each warm the page cache and check that both work.
    const auto times = bench::timeAlternately({readOnce, xmllint}, runs, 3);
    std::printf("EnvOptions.proj: %zu bytes, %d properties, %d platform groups, environment.proj imported\n",
                generated.text.size(), generated.properties, generated.groups);
    const bool met = bench::reportRatio("envoptions_read", readOnce, times[0], xmllint, times[1], kTargetRatio);
    fs::remove_all(dir);
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    return tarvix::bench::benchmarkMain(argc, argv, "envoptions_read_bench", "envoptions-read-bench", 31, run);
}
