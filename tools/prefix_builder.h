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
#include "tools/ide_files.h"
#include "tools/ide_setup.h"

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

} // namespace tarvix::tools
