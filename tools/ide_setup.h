// An IDE as its installer registers it in a sandbox prefix (IdeSetup, with presets of the known releases), and
// where a registered one ended up (RegisteredIde).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvix::tools {

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
    NameValues knownPackages;            // "Known Packages": BPL file (with $(BDS) references) = description
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
    std::string machineKey;     // "SOFTWARE\Embarcadero\BDS\37.0", in the 32-bit view
    std::string rootDir;        // "C:\Program Files (x86)\Embarcadero\Studio\37.0"
    std::string binDir;         // rootDir + "\bin"
    std::string appFile;        // empty without an "App" value
    std::string rsvarsFile;     // empty when not written
    std::string dcc32File;      // empty when there is none
    std::string userDataDir;    // "C:\users\ana\AppData\Roaming\Embarcadero\BDS\37.0"; empty without one
    std::string envOptionsFile; // empty when not written
    std::string environmentProjFile;
    std::string commonDir; // BDSCOMMONDIR; empty without one
    std::string userDir;   // BDSUSERDIR; empty without one
};

// The number a version key starts with ("37" of "37.0", "37" of "37.5"): the release whose files and folders the
// IDE has; 0 when it starts with no digit.
int leadingNumber(std::string_view versionKey);

} // namespace tarvix::tools
