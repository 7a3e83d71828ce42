// Installing a Delphi package into an IDE: the facts read from its source, where its BPL lands, the dispatch on
// the source's extension and its errors, and the whole installation on a sandbox Delphi 13 whose dcc32.exe is the
// simulated compiler: the progress lines in their order, the "Known Packages" value, the package cache cleaned,
// a disabled entry enabled again, and nothing registered after a failed build.
#include "ideservices/ide_package_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "ideservices/ide_command_line_tools.h"
#include "ideservices/ide_errors.h"
#include "ideservices/ide_packages.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "tests/ideservices/ide_tool_sandbox.h"
#include "tools/sim_dcc32.h"

using namespace tarvix;
using platform::RegRoot;
using test::IdeSandbox;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::StartsWith;
using tools::IdeSetup;
using Lines = std::vector<std::string>;
using Values = std::map<std::string, std::string>;
namespace KeyAccess = platform::KeyAccess;

namespace {

constexpr const char* kFolder = "C:\\Morvane\\TarvixComps\\D37";

// The source of a package Name in kFolder with the given directive lines, containing KqAbout (its .pas beside it)
// and the units of `more`, which do not exist.
std::string PackageSource(const std::string& name, const Lines& directives, const Lines& more = {})
{
    std::string text = "package " + name + ";\r\n\r\n{$R *.res}\r\n";
    for (const std::string& line : directives)
        text += line + "\r\n";
    text += "\r\nrequires\r\n  rtl;\r\n\r\ncontains\r\n  KqAbout in 'KqAbout.pas'";
    for (const std::string& unit : more)
        text += ",\r\n  " + unit;
    return text + ";\r\n\r\nend.\r\n";
}

template <typename Error>
std::string MessageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// --- Package source facts -----------------------------------------------------------------------------------------

TEST(PackageSourceFacts, DirectivesAtTheStartOfALineInTheirOwnSpelling)
{
    struct Case {
        const char* what;
        Lines lines;
        bool runOnly;
        const char* suffix;
        const char* description;
    };
    const std::vector<Case> cases = {
        {"a description keeps its quotes", {"{$DESCRIPTION 'My Components'}"}, false, "", "'My Components'"},
        {"trailing blanks do not count", {"{$DESCRIPTION 'My Components'}  \t"}, false, "", "'My Components'"},
        {"a description in UTF-8",
         {"{$DESCRIPTION 'Componentes A\xC3\xA7\xC3\xA3o'}"},
         false,
         "",
         "'Componentes A\xC3\xA7\xC3\xA3o'"},
        {"the last character goes whole", {"{$DESCRIPTION 'P\xC3\xA9"}, false, "", "'P"},
        {"a library suffix loses its quotes", {"{$LIBSUFFIX '270'}"}, false, "270", ""},
        {"an empty library suffix", {"{$LIBSUFFIX ''}"}, false, "", ""},
        {"run-only", {"{$RUNONLY}"}, true, "", ""},
        {"run-only with more on the line", {"{$RUNONLY} {$IMPLICITBUILD OFF}"}, true, "", ""},
        {"later lines win",
         {"{$DESCRIPTION 'First'}", "{$LIBSUFFIX '1'}", "{$DESCRIPTION 'Second'}", "{$LIBSUFFIX '2'}"},
         false,
         "2",
         "'Second'"},
        {"all three",
         {"package Pkg;", "{$RUNONLY}", "{$LIBSUFFIX '370'}", "{$DESCRIPTION 'Run time'}", "end."},
         true,
         "370",
         "'Run time'"},
        {"lower-case directives are not recognised",
         {"{$description 'x'}", "{$LibSuffix '270'}", "{$runonly}"},
         false,
         "",
         ""},
        {"indented directives are not recognised",
         {" {$DESCRIPTION 'x'}", "\t{$LIBSUFFIX '270'}", "  {$RUNONLY}"},
         false,
         "",
         ""},
        {"other forms are not recognised",
         {"{$LIBSUFFIX AUTO}", "{$DESCRIPTION x}", "{$RUNONLY ON}", "{$D 'x'}"},
         false,
         "",
         ""},
        {"nothing", {}, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TPackageSourceFacts facts = PackageSourceFactsOfLines(c.lines);
        EXPECT_EQ(facts.IsRunOnly, c.runOnly);
        EXPECT_EQ(facts.LibSuffix, c.suffix);
        EXPECT_EQ(facts.Description, c.description);
    }
}

TEST(PackageSourceFacts, AreReadFromTheFileInItsEncoding)
{
    test::SandboxSystem sandbox;
    struct Case {
        const char* what;
        std::string bytes;
        const char* description;
    };
    const std::vector<Case> cases = {
        {"the ANSI code page", "package Pkg;\r\n{$DESCRIPTION 'A\xE7\xE3o'}\r\nend.\r\n", "'A\xC3\xA7\xC3\xA3o'"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF{$DESCRIPTION 'A\xC3\xA7\xC3\xA3o'}\r\nend.\r\n",
         "'A\xC3\xA7\xC3\xA3o'"},
        {"LF line breaks", "package Pkg;\n{$DESCRIPTION 'Lf'}\n{$LIBSUFFIX '270'}\n", "'Lf'"},
        {"CR line breaks", "package Pkg;\r{$DESCRIPTION 'Cr'}\r{$LIBSUFFIX '270'}\r", "'Cr'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sandbox.builder().writeFile("C:\\Src\\Pkg.dpk", c.bytes);
        EXPECT_EQ(ReadPackageSourceFacts("C:\\Src\\Pkg.dpk").Description, c.description);
    }
    EXPECT_EQ(ReadPackageSourceFacts("C:\\Src\\Pkg.dpk").LibSuffix, "270");
    EXPECT_THROW(ReadPackageSourceFacts("C:\\Src\\Missing.dpk"), platform::FileError);
}

TEST(PackageBinaryPath, TheBplOfAPackageSourceInTheOutputFolder)
{
    test::SandboxSystem sandbox;
    sandbox.builder().writeFile("C:\\Src\\Pkg370.dpk", "package Pkg370;\r\nend.\r\n");
    sandbox.builder().writeFile("C:\\Src\\Pkg.dpk", "package Pkg;\r\n{$LIBSUFFIX '270'}\r\nend.\r\n");
    sandbox.builder().writeFile("C:\\Src\\Upper.DPK", "package Upper;\r\nend.\r\n");
    struct Case {
        const char* output;
        const char* project;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"C:\\Bpl", "C:\\Src\\Pkg370.dpk", "C:\\Bpl\\Pkg370.bpl"},
        {"C:\\Bpl\\", "C:\\Src\\Pkg370.dpk", "C:\\Bpl\\Pkg370.bpl"},
        {"C:\\Bpl", "C:\\Src\\Pkg.dpk", "C:\\Bpl\\Pkg270.bpl"},
        {"C:\\Bpl", "C:\\Src\\Upper.DPK", "C:\\Bpl\\Upper.bpl"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PackageBinaryPath(c.output, c.project), c.expected) << c.output << " " << c.project;

    for (const char* project :
         {"C:\\Src\\Prog.dpr", "C:\\Src\\Pkg.bpk", "C:\\Src\\Prog.bpr", "C:\\Src\\Unit.pas", "C:\\Src\\Pkg"}) {
        SCOPED_TRACE(project);
        EXPECT_EQ(MessageOf<EIdeCompilerUtilsException>([&] { PackageBinaryPath("C:\\Bpl", project); }),
                  ide::ExtractFileExt(project) + " not a known project extension");
    }
    EXPECT_THROW(PackageBinaryPath("C:\\Bpl", "C:\\Src\\Missing.dpk"), platform::FileError);
}

// --- Installing on a sandbox Delphi 13 ------------------------------------------------------------------------------

// A Delphi 13 whose dcc32.exe is the simulated compiler, with the installation's progress lines collected.
class Delphi13Packages {
public:
    explicit Delphi13Packages(IdeSetup setup = WithSimulatedCompiler())
    {
        d_ = &s_.install(setup);
        d_->SetOutputCallback([this](const std::string& line) { lines_.push_back(line); });
    }
    static IdeSetup WithSimulatedCompiler()
    {
        IdeSetup setup = IdeSetup::delphi13();
        setup.dcc32Host = std::filesystem::path(TARVIX_SIM_DCC32_HOST);
        return setup;
    }

    TIdeBorRADToolInstallation& ide() { return *d_; }
    IdeSandbox& sandbox() { return s_; }
    const std::string& root() const { return s_.ide().rootDir; }
    std::string bpl() const { return s_.ide().commonDir + "\\Bpl"; }
    std::string dcp() const { return s_.ide().commonDir + "\\Dcp"; }
    Lines takeLines() { return std::exchange(lines_, {}); }

    // Writes the package source (and KqAbout.pas) into kFolder; returns its path.
    std::string writePackage(const std::string& name, const Lines& directives, const Lines& missingUnits = {})
    {
        const std::string path = std::string(kFolder) + "\\" + name + ".dpk";
        s_.prefix().writeFile(path, PackageSource(name, directives, missingUnits));
        s_.prefix().writeFile(std::string(kFolder) + "\\KqAbout.pas",
                              "unit KqAbout;\r\ninterface\r\nimplementation\r\nend.\r\n");
        return path;
    }
    bool install(const std::string& package, const std::string& bplFolder = {})
    {
        return d_->InstallPackage(package, bplFolder.empty() ? bpl() : bplFolder, dcp());
    }

    // The values of a section of the IDE's per-user key.
    Values section(const std::string& name)
    {
        Values values;
        auto key = platform::current().registry().openKey(RegRoot::CurrentUser, s_.ide().machineKey + "\\" + name,
                                                          KeyAccess::Read, false);
        if (key)
            for (const std::string& value : key->valueNames())
                values[value] = key->readString(value).value_or("(not a string)");
        return values;
    }
    bool keyExists(const std::string& path)
    {
        return platform::current().registry().keyExists(RegRoot::CurrentUser, s_.ide().machineKey + "\\" + path);
    }
    void setValue(const std::string& section, const std::string& name, const std::string& value)
    {
        s_.prefix().setString(RegRoot::CurrentUser, s_.ide().machineKey + "\\" + section, name, value);
    }

private:
    IdeSandbox s_;
    TIdeBorRADToolInstallation* d_ = nullptr;
    Lines lines_;
};

bool IsProgressCounter(const std::string& line)
{
    return line.ends_with(" lines") && line.find(',') == std::string::npos;
}

TEST(InstallPackage, ABuildAndRegistrationWithEveryProgressLineInOrder)
{
    Delphi13Packages p;
    const std::string package = p.writePackage("Pkg", {"{$DESCRIPTION 'My Components'}"});
    const std::string bpl = p.bpl() + "\\Pkg.bpl";
    // What the IDE learnt of an earlier build, and of another package.
    p.setValue("Package Cache\\Pkg.bpl", "SymbolFile", "old");
    p.setValue("Package Cache\\Pkg.bpl\\Units\\KqAbout", "Name", "KqAbout");
    p.setValue("Package Cache\\Pkg.bpl\\Units\\KqOld", "Name", "KqOld");
    p.setValue("Package Cache\\Other.bpl", "SymbolFile", "other");
    const Values knownBefore = p.section("Known Packages");

    ASSERT_TRUE(p.install(package));

    const Lines lines = p.takeLines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Installing package " + package);
    EXPECT_EQ(lines[1], "Compiling package " + package);
    EXPECT_EQ(lines[2], "\"" + p.root() + "\\bin\\dcc32.exe\" \"" + package + "\" --no-config -U\"" + p.root() +
                            "\\lib\\Win32\\release\" -LN\"" + p.dcp() + "\" -LE\"" + p.bpl() + "\" ");
    EXPECT_EQ(lines[3], tools::SimDcc32Banner);
    const Lines tail(lines.end() - 6, lines.end());
    EXPECT_THAT(tail, ElementsAre("Compilation success", "Cleaning package cache for Pkg.bpl", "Cleaning ok",
                                  "Registering package " + bpl, "Registration ok", "Installation of package finished"));
    const Lines compiler(lines.begin() + 3, lines.end() - 6);
    EXPECT_THAT(compiler, testing::Contains(StartsWith("Compiling KqAbout (")));
    EXPECT_THAT(compiler, testing::Contains(HasSubstr("Warning: W1057")));
    EXPECT_THAT(compiler.back(), testing::EndsWith(" bytes data."));
    for (const std::string& line : compiler) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_FALSE(IsProgressCounter(line)) << line;
    }

    // The BPL is known, with the description as written; nothing else changed there.
    Values expected = knownBefore;
    expected[bpl] = "'My Components'";
    EXPECT_EQ(p.section("Known Packages"), expected);
    const TIdePackageList& known = p.ide().IdePackages().KnownPackages();
    EXPECT_THAT(known, testing::Contains(std::pair<std::string, std::string>(bpl, "'My Components'")));
    // The cache of the package is gone with its subkeys, the other package's stays.
    EXPECT_FALSE(p.keyExists("Package Cache\\Pkg.bpl"));
    EXPECT_TRUE(p.keyExists("Package Cache\\Other.bpl"));
    EXPECT_THAT(p.sandbox().read(bpl), StartsWith("MZ"));
    EXPECT_TRUE(p.sandbox().exists(p.dcp() + "\\Pkg.dcp"));
}

TEST(InstallPackage, AFailedBuildRegistersNothing)
{
    Delphi13Packages p;
    const std::string package = p.writePackage("Pkg", {"{$DESCRIPTION 'My Components'}"}, {"KqMissing"});
    p.setValue("Package Cache\\Pkg.bpl", "SymbolFile", "old");
    const Values knownBefore = p.section("Known Packages");

    EXPECT_FALSE(p.install(package));

    const Lines lines = p.takeLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Installing package " + package);
    EXPECT_EQ(lines[1], "Compiling package " + package);
    EXPECT_THAT(lines[2], StartsWith("\"" + p.root() + "\\bin\\dcc32.exe\" \"" + package + "\""));
    EXPECT_EQ(lines[3], tools::SimDcc32Banner);
    EXPECT_THAT(lines[lines.size() - 3], HasSubstr("Fatal: F1026 File not found: 'KqMissing.dcu'"));
    EXPECT_THAT(Lines(lines.end() - 2, lines.end()),
                ElementsAre("Compilation failure", "Installation of package finished"));
    EXPECT_EQ(p.section("Known Packages"), knownBefore);
    EXPECT_TRUE(p.keyExists("Package Cache\\Pkg.bpl")) << "the cache is cleaned only for a registration";
    EXPECT_FALSE(p.sandbox().exists(p.bpl() + "\\Pkg.bpl"));
}

TEST(InstallPackage, TheRegisteredNameAndDescription)
{
    struct Case {
        const char* what;
        Lines directives;
        bool trailingBackslash;
        const char* bplName;
        const char* description;
    };
    const std::vector<Case> cases = {
        {"the description with its quotes", {"{$DESCRIPTION 'My Components'}"}, false, "Pkg.bpl", "'My Components'"},
        {"no description: the BPL's name", {}, false, "Pkg.bpl", "Pkg"},
        {"a library suffix", {"{$LIBSUFFIX '270'}"}, false, "Pkg270.bpl", "Pkg270"},
        {"a BPL folder with its trailing backslash",
         {"{$DESCRIPTION 'My Components'}"},
         true,
         "Pkg.bpl",
         "'My Components'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Delphi13Packages p;
        const std::string package = p.writePackage("Pkg", c.directives);
        const Values before = p.section("Known Packages");
        ASSERT_TRUE(p.install(package, c.trailingBackslash ? p.bpl() + "\\" : p.bpl()));
        Values expected = before;
        expected[p.bpl() + "\\" + c.bplName] = c.description;
        EXPECT_EQ(p.section("Known Packages"), expected);
        EXPECT_TRUE(p.sandbox().exists(p.bpl() + "\\" + c.bplName));
        EXPECT_THAT(p.takeLines(), testing::Contains("Registering package " + p.bpl() + "\\" + c.bplName));
    }
}

TEST(InstallPackage, ASecondInstallationOverwritesTheSameValue)
{
    Delphi13Packages p;
    const std::string bpl = p.bpl() + "\\Pkg.bpl";
    const std::size_t before = p.section("Known Packages").size();
    ASSERT_TRUE(p.install(p.writePackage("Pkg", {"{$DESCRIPTION 'One'}"})));
    ASSERT_TRUE(p.install(p.writePackage("Pkg", {"{$DESCRIPTION 'Two'}"}), p.bpl() + "\\"));
    const Values known = p.section("Known Packages");
    EXPECT_EQ(known.size(), before + 1);
    EXPECT_EQ(known.at(bpl), "'Two'");
}

TEST(InstallPackage, ADisabledEntryForTheSameBplIsEnabledAgain)
{
    const std::string common = "C:\\users\\Public\\Documents\\Embarcadero\\Studio\\37.0";
    struct Case {
        const char* what;
        Values disabled;
        std::vector<std::string> remaining;
    };
    const std::vector<Case> cases = {
        {"written with the IDE's variable", {{"$(BDSCOMMONDIR)\\Bpl\\Pkg.bpl", "Pkg"}}, {}},
        {"in other letter case", {{platform::asciiLowerCase(common) + "\\bpl\\pkg.bpl", "Pkg"}}, {}},
        {"both", {{"$(BDSCOMMONDIR)\\BPL\\PKG.BPL", "Pkg"}}, {}},
        {"other packages stay disabled",
         {{"$(BDSCOMMONDIR)\\Bpl\\Pkg.bpl", "Pkg"},
          {"$(BDSCOMMONDIR)\\Bpl\\Pkg270.bpl", "Pkg270"},
          {"$(BDS)\\bin\\dclstd370.bpl", "Standard"}},
         {"$(BDS)\\bin\\dclstd370.bpl", "$(BDSCOMMONDIR)\\Bpl\\Pkg270.bpl"}},
        {"only the first of two entries for it goes",
         {{"$(BDSCOMMONDIR)\\Bpl\\Pkg.bpl", "Pkg"}, {common + "\\Bpl\\Pkg.bpl", "Pkg"}},
         {common + "\\Bpl\\Pkg.bpl"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Delphi13Packages p;
        for (const auto& [name, description] : c.disabled)
            p.setValue("Disabled Packages", name, description);
        ASSERT_TRUE(p.install(p.writePackage("Pkg", {"{$DESCRIPTION 'My Components'}"})));

        std::vector<std::string> remaining;
        for (const auto& [name, description] : p.section("Disabled Packages"))
            remaining.push_back(name);
        std::vector<std::string> expected = c.remaining;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(remaining, expected);
        EXPECT_EQ(p.section("Known Packages").at(p.bpl() + "\\Pkg.bpl"), "'My Components'");
        // The lists were read again.
        EXPECT_EQ(p.ide().IdePackages().DisabledPackages().size(), c.remaining.size());
    }
}

TEST(InstallPackage, ARunOnlyPackageIsRefusedBeforeItIsBuilt)
{
    Delphi13Packages p;
    const std::string package = p.writePackage("Pkg", {"{$RUNONLY}"});
    const Values known = p.section("Known Packages");
    EXPECT_EQ(MessageOf<EIdeBorRADException>([&] { p.install(package); }), "A run-only package cannot be installed");
    EXPECT_THAT(p.takeLines(), ElementsAre("Installing package " + package));
    EXPECT_FALSE(p.sandbox().exists(p.bpl() + "\\Pkg.bpl"));
    EXPECT_EQ(p.section("Known Packages"), known);
}

TEST(InstallPackage, RefusesWhatIsNoDelphiPackageSource)
{
    Delphi13Packages p;
    TIdeBorRADToolInstallation& d = p.ide();
    const std::string bpl = p.bpl();
    const std::string dcp = p.dcp();
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* message;
        Lines lines;
    };
    const std::vector<Case> cases = {
        {"install a unit",
         [&] { d.InstallPackage("C:\\Src\\Unit.pas", bpl, dcp); },
         ".pas not a known package extension",
         {}},
        {"install a name without extension",
         [&] { d.InstallPackage("C:\\Src\\Pkg", bpl, dcp); },
         " not a known package extension",
         {}},
        {"install a C++Builder package",
         [&] { d.InstallPackage("C:\\Src\\Pkg.bpk", bpl, dcp); },
         "InstallCppPackage is not supported by this installation",
         {}},
        {"compile a unit",
         [&] { d.CompilePackage("C:\\Src\\Unit.pas", bpl, dcp); },
         ".pas not a known package extension",
         {}},
        {"compile a C++Builder package",
         [&] { d.CompilePackage("C:\\Src\\Pkg.BPK", bpl, dcp, "-B"); },
         "CompileCppPackage is not supported by this installation",
         {}},
        {"build a unit as a Delphi package",
         [&] { d.CompilePascalPackage("C:\\Src\\Unit.pas", bpl, dcp); },
         "C:\\Src\\Unit.pas not a Delphi package source file",
         {"Compiling package C:\\Src\\Unit.pas"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MessageOf<EIdeBorRADException>(c.call), c.message);
        EXPECT_EQ(p.takeLines(), c.lines);
    }
    // A source that cannot be read.
    EXPECT_THROW(d.InstallPackage("C:\\Src\\Missing.DPK", bpl, dcp), platform::FileError);
    EXPECT_THAT(p.takeLines(), ElementsAre("Installing package C:\\Src\\Missing.DPK"));
}

TEST(InstallPackage, AnIdeWithoutDcc32ReportsItMissing)
{
    IdeSetup setup = IdeSetup::delphi13();
    std::erase(setup.binFiles, "dcc32.exe");
    Delphi13Packages p(setup);
    const std::string package = p.writePackage("Pkg", {});
    EXPECT_EQ(MessageOf<EIdeBorRADException>([&] { p.install(package); }), "dcc32.exe not found");
    EXPECT_THAT(p.takeLines(), ElementsAre("Installing package " + package, "Compiling package " + package));
}

TEST(RegisterPackage, TheBdsReleasesFromThreeCleanTheCacheFirst)
{
    struct Case {
        const char* what;
        std::function<IdeSetup()> setup;
        bool cleans;
    };
    const std::vector<Case> cases = {
        {"Delphi 13", [] { return IdeSetup::delphi13(); }, true},
        {"BDS 3 (Delphi 2005)", [] { return IdeSetup::bds("Borland", "3.0"); }, true},
        {"BDS 2 (Delphi 8)", [] { return IdeSetup::bds("Borland", "2.0"); }, false},
        {"Delphi 7", [] { return IdeSetup::delphi7(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IdeSandbox s;
        TIdeBorRADToolInstallation& d = s.install(c.setup());
        Lines lines;
        d.SetOutputCallback([&](const std::string& line) { lines.push_back(line); });
        s.prefix().writeFile("C:\\Src\\Pkg.dpk", "package Pkg;\r\n{$LIBSUFFIX '70'}\r\nend.\r\n");
        s.prefix().setString(RegRoot::CurrentUser, s.ide().machineKey + "\\Package Cache\\Pkg70.bpl", "X", "1");

        EXPECT_TRUE(d.RegisterPackage("C:\\Src\\Pkg.dpk", "C:\\Bpl", ""));
        Lines expected = {"Registering package C:\\Bpl\\Pkg70.bpl", "Registration ok"};
        if (c.cleans)
            expected.insert(expected.begin(), {"Cleaning package cache for Pkg70.bpl", "Cleaning ok"});
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(platform::current().registry().keyExists(RegRoot::CurrentUser,
                                                           s.ide().machineKey + "\\Package Cache\\Pkg70.bpl"),
                  !c.cleans);
        auto known = platform::current().registry().openKey(
            RegRoot::CurrentUser, s.ide().machineKey + "\\Known Packages", KeyAccess::Read, false);
        ASSERT_NE(known, nullptr);
        EXPECT_EQ(known->readString("C:\\Bpl\\Pkg70.bpl"), "Pkg70");

        // Without a cache entry the cleaning succeeds as well.
        lines.clear();
        EXPECT_TRUE(d.RegisterPackage("C:\\Bpl\\Other.bpl", "Other"));
        EXPECT_EQ(lines.size(), c.cleans ? 4u : 2u);
        if (c.cleans) {
            EXPECT_EQ(lines[1], "Cleaning ok");
        }
    }
}

TEST(InstallPackage, TheInstallationsCallbackTakesTheCompilersOutput)
{
    Delphi13Packages p;
    const std::string package = p.writePackage("Pkg", {});
    ASSERT_TRUE(p.ide().CompilePackage(package, p.bpl(), p.dcp(), "-$D-"));
    const Lines lines = p.takeLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Compiling package " + package);
    EXPECT_THAT(lines[1], testing::EndsWith(" -LE\"" + p.bpl() + "\" -$D-"));
    EXPECT_EQ(lines[2], tools::SimDcc32Banner);
    EXPECT_EQ(lines.back(), "Compilation success");
    EXPECT_THROW(p.ide().DCC32().Output(), EIdeCommandLineToolError) << "the lines went to the callback";
}

} // namespace
