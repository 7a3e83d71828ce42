// Sandbox Wine prefixes for the tests and the demo: a prefix folder made either by the real `wine wineboot -i`
// or written here from scratch (hives, drives, the usual folders of drive C), and IDEs registered in it the way
// their own installers and first start would leave them (registry keys in the 32-bit view, the root folder with
// bin\bds.exe, bin\rsvars.bat and bin\dcc32.exe, the per-user EnvOptions.proj and registry settings).
//
// Everything the builder writes stays inside the prefix folder: in a prefix made by wine, the user's folders
// that wine links to the host's home folder (Documents, Desktop, ...) are replaced by empty folders first.
//
// Windows paths are used as the installer sees them ("C:\users\ana\AppData\Roaming"); hostPath() maps them.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wine/wine_file_system.h"
#include "platform/wine/wine_registry.h"

namespace tarvix::tools {

// A prefix that cannot be made or changed as asked. The message says what and where.
class PrefixBuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class PrefixMode {
    Minimal,  // written by the builder: no Windows programs, just what the installer reads
    RealWine, // `wine wineboot -i`, then the builder's additions
    Auto,     // RealWine when wine is installed, else Minimal
};

// Whether `wine` and `wineserver` are found on PATH.
bool wineAvailable();

struct PrefixOptions {
    PrefixMode mode = PrefixMode::Minimal;
    // Minimal prefixes only (wine names the user after the host's login and picks its own architecture):
    // the Windows user name, by default the host's login name ($USER, else "user"); and "win64" or "win32".
    std::string userName;
    std::string arch = "win64";
    // Progress lines ("wine wineboot -i in /tmp/x"), for the demo tool.
    std::function<void(const std::string&)> log;
};

using NameValues = std::vector<std::pair<std::string, std::string>>;

// An IDE as its installer registers it. Start from one of the presets and change what a case needs.
struct IdeSetup {
    enum class Kind { Delphi, CppBuilder, BDS };
    Kind kind = Kind::BDS;

    // Installation key under HKEY_LOCAL_MACHINE, written in the 32-bit registry view ("SOFTWARE\Embarcadero\BDS
    // \37.0"). The same path under HKEY_CURRENT_USER receives the per-user settings.
    std::string machineKey;
    // The value "RootDir" as stored, trailing backslash included when wanted. Empty: the 32-bit program files
    // folder of the prefix + "\" + rootBelowProgramFiles + "\".
    std::string rootDir;
    std::string rootBelowProgramFiles;
    // "App" = root folder + "\" + appRelative; no "App" value when empty. `createApp` false leaves the value
    // pointing at a file that does not exist.
    std::string appRelative = "bin\\bds.exe";
    bool createApp = true;

    // Further values of the installation key ("Edition", "ProductVersion", ...), and of its "Globals" subkey.
    NameValues machineValues;
    NameValues machineGlobals;
    // Values under HKEY_CURRENT_USER\<machineKey>\Globals (not written when empty).
    NameValues userGlobals;
    // Value names of the key "Personalities" (HKLM) with their display texts; not written when empty. With
    // `userSettings` the IDE's first start has mirrored them under HKEY_CURRENT_USER.
    NameValues personalities;

    // What the IDE's first start by the user leaves: the per-user "Personalities", "Library" paths and "Known
    // Packages" keys (HKEY_CURRENT_USER).
    bool userSettings = true;
    NameValues knownPackages; // "Known Packages": BPL file (with $(BDS) references) = description
    NameValues userEnvironmentVariables; // the section "Environment Variables"

    // Per-user MSBuild files in the application-data folder: <AppData>\<userDataFolder>\EnvOptions.proj and
    // environment.proj. `envOptionsText`, when set, is written instead of the generated EnvOptions.proj.
    std::string userDataFolder;
    bool envOptions = true;
    bool environmentProj = true;
    std::optional<std::string> envOptionsText;

    // bin\rsvars.bat with "@SET NAME=value" lines.
    bool rsvars = true;
    // Placeholder files in bin\ and bin64\ (command-line tools found by their presence).
    std::vector<std::string> binFiles;
    std::vector<std::string> bin64Files;
    // A host executable installed as bin\dcc32.exe instead of the placeholder (the simulated compiler).
    std::optional<std::filesystem::path> dcc32Host;

    // The folder under the common documents folder that rsvars.bat names BDSCOMMONDIR ("Embarcadero\Studio
    // \37.0"), and the one under the user's documents that is BDSUSERDIR; empty for IDEs without them.
    std::string commonDirBelowDocuments;
    std::string userDirBelowDocuments;

    // Delphi 13 (BDS 37.0) under \SOFTWARE\Embarcadero\BDS, as its installer and first start leave it.
    static IdeSetup delphi13();
    // A BDS-family IDE under \SOFTWARE\<vendor>\BDS\<versionKey> ("Borland", "CodeGear", "Embarcadero"); the
    // key name may be anything ("37.5", "Backup"). Files and folders follow the release the key's leading
    // number names: EnvOptions.proj and rsvars.bat from BDS 5 on, per-platform library keys from BDS 9 on.
    static IdeSetup bds(std::string_view vendor, std::string_view versionKey);
    // Delphi 7 under \SOFTWARE\Borland\Delphi\7.0 and C++Builder 6 under \SOFTWARE\Borland\C++Builder\6.0.
    static IdeSetup delphi7();
    static IdeSetup cppBuilder6();
    // Delphi or C++Builder of any version key under \SOFTWARE\Borland\Delphi or \SOFTWARE\Borland\C++Builder.
    static IdeSetup delphi(std::string_view versionKey);
    static IdeSetup cppBuilder(std::string_view versionKey);
};

// Where a registered IDE ended up (Windows paths; folders without a trailing backslash).
struct RegisteredIde {
    std::string machineKey;      // "SOFTWARE\Embarcadero\BDS\37.0", in the 32-bit view
    std::string rootDir;         // "C:\Program Files (x86)\Embarcadero\Studio\37.0"
    std::string binDir;          // rootDir + "\bin"
    std::string appFile;         // empty without an "App" value
    std::string rsvarsFile;      // empty when not written
    std::string dcc32File;       // empty when there is none
    std::string userDataDir;     // "C:\users\ana\AppData\Roaming\Embarcadero\BDS\37.0"; empty without one
    std::string envOptionsFile;  // empty when not written
    std::string environmentProjFile;
    std::string commonDir;       // BDSCOMMONDIR; empty without one
    std::string userDir;         // BDSUSERDIR; empty without one
};

class PrefixBuilder {
public:
    // Makes a new prefix in `dir`, which must not exist or be an empty folder. Raises PrefixBuildError (wine
    // missing or failing, `dir` not empty, a file that cannot be written).
    static PrefixBuilder create(const std::filesystem::path& dir, const PrefixOptions& options = {});
    // Opens an existing prefix (made by wine or by create()) to add to it. Links from the user's folders to the
    // host's home are replaced by empty folders. Raises PrefixBuildError when `dir` holds no prefix.
    static PrefixBuilder open(const std::filesystem::path& dir);

    PrefixBuilder(PrefixBuilder&&) noexcept;
    PrefixBuilder& operator=(PrefixBuilder&&) noexcept;
    ~PrefixBuilder();

    const std::filesystem::path& dir() const;
    bool madeByWine() const; // the prefix holds Wine's own programs (C:\windows\system32\wineboot.exe)
    std::string arch();      // "win64" or "win32"
    const std::string& userName() const;

    // The prefix's folders as its registry records them (Windows paths, no trailing backslash).
    const std::string& appDataFolder() const;         // C:\users\<user>\AppData\Roaming
    const std::string& documentsFolder() const;       // C:\users\<user>\Documents
    const std::string& commonDocumentsFolder() const; // C:\users\Public\Documents
    const std::string& programFiles32Folder() const;  // C:\Program Files (x86) on win64, C:\Program Files on win32
    const std::string& tempFolder() const;            // C:\users\<user>\Temp
    // The .NET Framework folder that holds MSBuild.exe.
    static constexpr std::string_view dotNetFrameworkFolder = "C:\\windows\\Microsoft.NET\\Framework\\v4.0.30319";

    // The prefix's registry and drives, through the platform layer.
    platform::wine::WineRegistry& registry();
    platform::WineFileSystem& files();
    // The host path of a Windows path inside the prefix (raises PrefixBuildError for an unmapped drive).
    std::filesystem::path hostPath(std::string_view windowsPath) const;

    // Files and folders below the prefix (parent folders made as needed).
    void writeFile(std::string_view windowsPath, std::string_view bytes);
    void makeFolder(std::string_view windowsPath);
    // Copies a host file (the simulated compiler) into the prefix, keeping it executable.
    void installHostFile(const std::filesystem::path& from, std::string_view windowsPath);

    // Registry helpers. `view32` opens the key in the 32-bit view (HKEY_LOCAL_MACHINE\SOFTWARE → Wow6432Node on a
    // win64 prefix). Keys are created as needed.
    void setString(platform::RegRoot root, std::string_view key, std::string_view name, std::string_view value,
                   bool view32 = false);
    void setValues(platform::RegRoot root, std::string_view key, const NameValues& values, bool view32 = false);

    // Registers an IDE as described and writes its files. Raises PrefixBuildError.
    RegisteredIde registerIde(const IdeSetup& setup);

private:
    struct State;
    explicit PrefixBuilder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The text of bin\rsvars.bat for an IDE rooted at `rootDir` (no trailing backslash): "@SET NAME=value" lines
// ended by CR LF.
std::string rsvarsText(std::string_view rootDir, std::string_view commonDir, int bdsVersion);

// The EnvOptions.proj the IDE writes on its first start for BDS version `bdsVersion` (8 and later: the
// Delphi... properties in per-platform groups; 5 to 7: the Win32... properties).
std::string envOptionsText(int bdsVersion);

} // namespace tarvix::tools
