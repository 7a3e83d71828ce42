#include "platform/wine/wine_shell.h"

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

namespace tarvix::platform {
namespace {

// The keys a fresh English prefix has, for a user "ana".
constexpr std::string_view SystemKeys = R"hive([Software\\Microsoft\\Windows\\CurrentVersion] 1700000000
"CommonFilesDir"="C:\\Program Files\\Common Files"
"ProgramFilesDir"="C:\\Program Files"
"ProgramFilesDir (x86)"="C:\\Program Files (x86)"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1700000000
"Common AppData"="C:\\ProgramData"
"Common Documents"="C:\\users\\Public\\Documents"

[Software\\Microsoft\\Windows NT\\CurrentVersion] 1700000000
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList] 1700000000
"ProgramData"=str(2):"C:\\ProgramData"
"Public"=str(2):"C:\\users\\Public"

[System\\CurrentControlSet\\Control\\Nls\\Codepage] 1700000000
"1250"="c_1250.nls"
"ACP"="1250"
"OEMCP"="852"

[System\\CurrentControlSet\\Control\\Session Manager\\Environment] 1700000000
"ComSpec"=str(2):"%SystemRoot%\\system32\\cmd.exe"
"OS"="Windows_NT"
"PATH"=str(2):"%SystemRoot%\\system32;%SystemRoot%"
"TEMP"=str(2):"%SystemRoot%\\temp"
"TMP"=str(2):"%SystemRoot%\\temp"
"windir"=str(2):"%SystemRoot%"

)hive";

constexpr std::string_view UserKeys = R"hive([Environment] 1700000000
"MyVar"="user"
"TEMP"=str(2):"%USERPROFILE%\\AppData\\Local\\Temp"
"TMP"=str(2):"%USERPROFILE%\\AppData\\Local\\Temp"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1700000000
"AppData"="C:\\users\\ana\\AppData\\Roaming"
"Desktop"="C:\\users\\ana\\Desktop\\"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders] 1700000000
"Personal"=str(2):"%USERPROFILE%\\Documents"

[Volatile Environment] 1700000000
"APPDATA"="C:\\users\\ana\\AppData\\Roaming"
"USERNAME"="ana"
"USERPROFILE"="C:\\users\\ana"

)hive";

class WineShellTest : public testing::Test {
protected:
    WineShellTest()
    {
        sandbox.writeHive("system.reg", SystemKeys);
        sandbox.writeHive("user.reg", UserKeys);
    }

    test::SandboxPrefix sandbox;
    WinePrefix prefix{sandbox.path()};
    Shell& shell = prefix.shell();
};

TEST_F(WineShellTest, SpecialFoldersComeFromTheShellFolderKeys)
{
    EXPECT_EQ(shell.appDataFolder(), "C:\\users\\ana\\AppData\\Roaming");
    EXPECT_EQ(shell.desktopFolder(), "C:\\users\\ana\\Desktop"); // without its trailing backslash
    EXPECT_EQ(shell.commonDocumentsFolder(), "C:\\users\\Public\\Documents");
    EXPECT_EQ(shell.programFiles32Folder(), "C:\\Program Files (x86)");
    EXPECT_EQ(shell.windowsFolder(), "C:\\windows");
}

TEST_F(WineShellTest, SpecialFoldersOfASparsePrefix)
{
    // A 32-bit prefix has no "(x86)" folder; a folder missing from Shell Folders comes from User Shell Folders.
    sandbox.writeHive("system.reg", R"hive([Software\\Microsoft\\Windows\\CurrentVersion] 1700000000
"ProgramFilesDir"="C:\\Program Files"

)hive",
                      "win32");
    sandbox.writeHive("user.reg",
                      R"hive([Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders] 1700000000
"AppData"=str(2):"%USERPROFILE%\\AppData\\Roaming"

[Volatile Environment] 1700000000
"USERPROFILE"="C:\\users\\bia"

)hive");
    WinePrefix sparse(sandbox.path());
    EXPECT_EQ(sparse.shell().programFiles32Folder(), "C:\\Program Files");
    EXPECT_EQ(sparse.shell().appDataFolder(), "C:\\users\\bia\\AppData\\Roaming");
    EXPECT_EQ(sparse.shell().desktopFolder(), "");
    EXPECT_EQ(sparse.shell().commonDocumentsFolder(), "");
    EXPECT_EQ(sparse.shell().windowsFolder(), "C:\\windows");
    EXPECT_EQ(sparse.shell().ansiCodePage(), 1252u);
    EXPECT_EQ(sparse.shell().oemCodePage(), 437u);
}

TEST_F(WineShellTest, TemporaryFolderIsTheUsersExpandedAndMadeWhenMissing)
{
    EXPECT_FALSE(fs::exists(sandbox.driveC() / "users"));
    EXPECT_EQ(shell.tempFolder(), "C:\\users\\ana\\AppData\\Local\\Temp\\");
    EXPECT_TRUE(fs::is_directory(sandbox.driveC() / "users/ana/AppData/Local/Temp"));
    EXPECT_EQ(shell.tempFolder(), "C:\\users\\ana\\AppData\\Local\\Temp\\"); // and again, now that it exists
}

TEST_F(WineShellTest, TemporaryFolderFallsBackAlongTheVariables)
{
    struct Case {
        std::string userKeys;
        std::string expected;
    };
    const Case cases[] = {
        // Wine 8 writes TEMP as a plain string.
        {"[Environment] 1\n\"TEMP\"=\"C:\\\\users\\\\ana\\\\Temp\"\n\"TMP\"=\"C:\\\\users\\\\ana\\\\Temp\"\n\n",
         "C:\\users\\ana\\Temp\\"},
        // Without the user's values, the machine's.
        {"", "C:\\windows\\temp\\"},
        // A folder that cannot be made: no temporary folder.
        {"[Environment] 1\n\"TEMP\"=\"Q:\\\\Temp\"\n\"TMP\"=\"Q:\\\\Temp\"\n\n", ""},
    };
    for (const auto& c : cases) {
        sandbox.writeHive("user.reg", c.userKeys);
        WinePrefix fresh(sandbox.path());
        EXPECT_EQ(fresh.shell().tempFolder(), c.expected) << c.userKeys;
    }
}

TEST_F(WineShellTest, EnvironmentMergesTheHostWithThePrefix)
{
    setenv("TARVIX_HOST_ONLY", "host", 1);
    setenv("MYVAR", "from the host", 1);
    setenv("TEMP", "/tmp", 1);

    EXPECT_EQ(shell.environmentVariable("Path"), "C:\\windows\\system32;C:\\windows");
    EXPECT_EQ(shell.environmentVariable("comspec"), "C:\\windows\\system32\\cmd.exe");
    EXPECT_EQ(shell.environmentVariable("MYVAR"), "user"); // the prefix wins
    EXPECT_EQ(shell.environmentVariable("TEMP"), "C:\\users\\ana\\AppData\\Local\\Temp");
    EXPECT_EQ(shell.environmentVariable("USERNAME"), "ana"); // volatile values come last
    EXPECT_EQ(shell.environmentVariable("ProgramFiles(x86)"), "C:\\Program Files (x86)");
    EXPECT_EQ(shell.environmentVariable("ALLUSERSPROFILE"), "C:\\ProgramData");
    EXPECT_EQ(shell.environmentVariable("SystemDrive"), "C:");
    EXPECT_EQ(shell.environmentVariable("tarvix_host_only"), "host"); // the host's, any case
    EXPECT_EQ(shell.environmentVariable("TARVIX_NOT_SET_ANYWHERE"), std::nullopt);

    const auto strings = shell.environmentStrings();
    EXPECT_THAT(strings, Contains("MyVar=user"));
    EXPECT_THAT(strings, Contains("TARVIX_HOST_ONLY=host"));
    EXPECT_THAT(strings, Contains("windir=C:\\windows"));
    EXPECT_THAT(strings, testing::Not(Contains("MYVAR=from the host")));
    EXPECT_THAT(strings, testing::Not(Contains("TEMP=/tmp")));
    // Sorted without regard to case, every name once.
    for (std::size_t i = 1; i < strings.size(); ++i) {
        const std::string a = asciiUpperCase(strings[i - 1].substr(0, strings[i - 1].find('=')));
        const std::string b = asciiUpperCase(strings[i].substr(0, strings[i].find('=')));
        EXPECT_LT(a, b);
    }

    unsetenv("TARVIX_HOST_ONLY");
    unsetenv("MYVAR");
    unsetenv("TEMP");
}

TEST_F(WineShellTest, ExpandingEnvironmentStrings)
{
    struct Case {
        const char* text;
        const char* expanded;
    };
    const Case cases[] = {
        {"%SystemRoot%\\system32", "C:\\windows\\system32"},
        {"%userprofile%\\%USERNAME%", "C:\\users\\ana\\ana"},
        {"%NOT_DEFINED%\\x", "%NOT_DEFINED%\\x"},
        {"100% sure", "100% sure"},
        {"%%", "%%"},
        {"a%OS%%OS%b", "aWindows_NTWindows_NTb"},
        {"no variables", "no variables"},
        {"%OS", "%OS"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shell.expandEnvironmentStrings(c.text), c.expanded) << c.text;
}

TEST_F(WineShellTest, CodePagesFromTheNlsKey)
{
    EXPECT_EQ(shell.ansiCodePage(), 1250u);
    EXPECT_EQ(shell.oemCodePage(), 852u);

    // A number stored as a DWORD counts as well; text that is no number gives the default.
    sandbox.writeHive("system.reg", R"hive([System\\CurrentControlSet\\Control\\Nls\\Codepage] 1700000000
"ACP"=dword:000003a4
"OEMCP"="junk"

)hive");
    WinePrefix other(sandbox.path());
    EXPECT_EQ(other.shell().ansiCodePage(), 932u);
    EXPECT_EQ(other.shell().oemCodePage(), 437u);
}

TEST_F(WineShellTest, ExecutablePathGoesThroughTheDrives)
{
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    const std::string viaZ = shell.executablePath();
    EXPECT_EQ(viaZ.substr(0, 3), "Z:\\");
    EXPECT_EQ(prefix.files().toHostPath(viaZ), exe.string());

    // With a drive on the executable's folder, that drive names it.
    sandbox.link("e:", exe.parent_path());
    EXPECT_EQ(shell.executablePath(), "E:\\" + exe.filename().string());
}

TEST_F(WineShellTest, DotNetFrameworkFoldersInVersionOrder)
{
    EXPECT_THAT(shell.dotNetFrameworkFolders(), IsEmpty());
    for (const char* dir : {"v4.0.30319", "v2.0.50727", "v10.0.1", "v3.5"})
        sandbox.mkdirC(std::string("windows/Microsoft.NET/Framework/") + dir);
    sandbox.writeC("windows/Microsoft.NET/Framework/v9.txt");
    sandbox.mkdirC("windows/Microsoft.NET/Framework/other");
    sandbox.mkdirC("windows/Microsoft.NET/Framework64/v4.0.30319");
    EXPECT_THAT(shell.dotNetFrameworkFolders(), ElementsAre("C:\\windows\\Microsoft.NET\\Framework\\v2.0.50727",
                                                            "C:\\windows\\Microsoft.NET\\Framework\\v3.5",
                                                            "C:\\windows\\Microsoft.NET\\Framework\\v4.0.30319",
                                                            "C:\\windows\\Microsoft.NET\\Framework\\v10.0.1"));
}

// --- Running programs ----------------------------------------------------------------------------------------

// A host program copied under another name and started with the given arguments and environment; ended with
// the object.
class FakeProgram {
public:
    FakeProgram(const fs::path& original, const fs::path& as, std::vector<std::string> args,
                std::vector<std::string> environment)
    {
        fs::copy_file(original, as, fs::copy_options::overwrite_existing);
        args.insert(args.begin(), as.string());
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv, envp;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            for (auto& e : environment)
                envp.push_back(e.data());
            envp.push_back(nullptr);
            execve(as.c_str(), argv.data(), envp.data());
            _exit(127);
        }
        // Wait until the child runs the program (its command line shows the new name).
        for (int i = 0; i < 500; ++i) {
            const std::string cmdline = readFile("/proc/" + std::to_string(pid_) + "/cmdline");
            if (cmdline.find(as.filename().string()) != std::string::npos)
                break;
            usleep(10000);
        }
    }

    // bds.exe as a copy of sleep.
    FakeProgram(const fs::path& folder, const std::string& name, std::vector<std::string> environment)
        : FakeProgram("/bin/sleep", folder / name, {"30"}, std::move(environment))
    {}

    ~FakeProgram() { stop(); }

    void stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    static std::string readFile(const std::string& path)
    {
        FILE* f = fopen(path.c_str(), "rb");
        if (!f)
            return {};
        std::string data;
        char buffer[4096];
        while (const size_t n = fread(buffer, 1, sizeof buffer, f))
            data.append(buffer, n);
        fclose(f);
        return data;
    }

    pid_t pid_ = -1;
};

TEST_F(WineShellTest, TheIdeWindowExistsWhileBdsRunsInThisPrefix)
{
    EXPECT_FALSE(shell.windowExists("TAppBuilder"));

    FakeProgram ide(sandbox.root(), "bds.exe", {"WINEPREFIX=" + sandbox.path().string() + "/"});
    EXPECT_TRUE(shell.windowExists("TAppBuilder"));
    EXPECT_TRUE(shell.windowExists("tappbuilder"));
    EXPECT_FALSE(shell.windowExists("Delphi 13")); // titles are unknown on the host
    EXPECT_FALSE(shell.windowExists("TFrmMain"));  // and so are other classes
    ide.stop();
    EXPECT_FALSE(shell.windowExists("TAppBuilder"));
}

TEST_F(WineShellTest, AnIdeInAnotherPrefixDoesNotCount)
{
    const fs::path other = sandbox.root() / "other-prefix";
    fs::create_directories(other);
    FakeProgram elsewhere(sandbox.root(), "BDS.EXE", {"WINEPREFIX=" + other.string()});
    EXPECT_FALSE(shell.windowExists("TAppBuilder"));

    // Without WINEPREFIX the program's prefix is ~/.wine of its HOME.
    const fs::path home = sandbox.root() / "home";
    fs::create_directories(home / ".wine");
    WinePrefix homePrefix(home / ".wine");
    EXPECT_FALSE(homePrefix.shell().windowExists("TAppBuilder"));
    FakeProgram atHome(sandbox.root(), "bds.exe", {"HOME=" + home.string()});
    EXPECT_TRUE(homePrefix.shell().windowExists("TAppBuilder"));
    EXPECT_FALSE(shell.windowExists("TAppBuilder"));
}

TEST_F(WineShellTest, TheIdeStartedThroughTheWineLoaderCounts)
{
    // The loader's command line names the program as its first argument; a FIFO keeps the copy of cat waiting.
    const fs::path program = sandbox.root() / "Bds.Exe";
    ASSERT_EQ(mkfifo(program.c_str(), 0600), 0);
    FakeProgram loader("/bin/cat", sandbox.root() / "wine64-preloader", {program.string()},
                       {"WINEPREFIX=" + sandbox.path().string()});
    EXPECT_TRUE(shell.windowExists("TAppBuilder"));
}

TEST(WineShellPrefixMatch, WhichPrefixAProcessRunsIn)
{
    test::SandboxPrefix sandbox;
    WinePrefix prefix(sandbox.path());
    auto& shell = dynamic_cast<WineShell&>(prefix.shell());
    const std::string path = sandbox.path().string();
    EXPECT_TRUE(shell.runsInThisPrefix({"WINEPREFIX=" + path}, "/nowhere"));
    EXPECT_TRUE(shell.runsInThisPrefix({"LANG=C", "WINEPREFIX=" + path + "/../prefix/"}, "/nowhere"));
    EXPECT_FALSE(shell.runsInThisPrefix({"WINEPREFIX=/elsewhere"}, "/nowhere"));
    EXPECT_FALSE(shell.runsInThisPrefix({}, "/nowhere"));

    WinePrefix homePrefix(sandbox.root() / ".wine");
    auto& homeShell = dynamic_cast<WineShell&>(homePrefix.shell());
    EXPECT_TRUE(homeShell.runsInThisPrefix({"HOME=" + sandbox.root().string()}, "/nowhere"));
    EXPECT_TRUE(homeShell.runsInThisPrefix({}, sandbox.root().string())); // the owner's home folder
    EXPECT_FALSE(homeShell.runsInThisPrefix({"HOME=/nowhere"}, sandbox.root().string()));
}

// --- The prefix as the current system ------------------------------------------------------------------------

TEST(WinePrefixSystem, DescriptionAndTheCurrentSystem)
{
    test::SandboxPrefix sandbox;
    WinePrefix prefix(sandbox.path());
    EXPECT_EQ(prefix.description(), "Wine prefix " + sandbox.path().string());
    EXPECT_EQ(WinePrefix(sandbox.path().string() + "/").description(), "Wine prefix " + sandbox.path().string());

    System& before = current();
    {
        ScopedCurrentSystem scope(prefix);
        EXPECT_EQ(&current(), &prefix);
        WinePrefix inner(sandbox.root());
        {
            ScopedCurrentSystem nested(inner);
            EXPECT_EQ(&current(), &inner);
        }
        EXPECT_EQ(&current(), &prefix);
        sandbox.writeC("hello.txt", "hi");
        EXPECT_EQ(current().files().readFile("C:\\HELLO.TXT"), "hi");
    }
    EXPECT_EQ(&current(), &before);
}

TEST(WinePrefixSystem, DefaultPrefixFromTheEnvironment)
{
    const char* savedPrefix = std::getenv("WINEPREFIX");
    const std::string saved = savedPrefix ? savedPrefix : "";
    setenv("WINEPREFIX", "/srv/prefixes/delphi", 1);
    EXPECT_EQ(makeDefaultSystem()->description(), "Wine prefix /srv/prefixes/delphi");
    unsetenv("WINEPREFIX");
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(makeDefaultSystem()->description(),
              "Wine prefix " + (fs::path(home) / ".wine").lexically_normal().string());
    if (savedPrefix)
        setenv("WINEPREFIX", saved.c_str(), 1);
}

} // namespace
} // namespace tarvix::platform
