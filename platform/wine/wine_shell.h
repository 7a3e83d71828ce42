// The shell of a Wine prefix: special folders, environment and code pages as the prefix's registry records
// them, the temporary folder, the running executable, and running Windows programs found among the host's
// processes.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace tarvix::platform {

class WineShell : public Shell {
public:
    // `registry` and `files` are those of the prefix in `prefixDir` and must outlive the shell.
    WineShell(Registry& registry, FileSystem& files, std::filesystem::path prefixDir);

    std::string appDataFolder() const override;
    std::string commonDocumentsFolder() const override;
    std::string programFiles32Folder() const override;
    std::string desktopFolder() const override;
    std::string windowsFolder() const override;
    // GetTempPathW's order over the prefix's variables: TMP, TEMP, USERPROFILE, then the Windows folder.
    std::string tempFolder() override;

    std::vector<std::string> environmentStrings() const override;
    std::optional<std::string> environmentVariable(std::string_view name) const override;
    std::string expandEnvironmentStrings(std::string_view text) const override;

    uint32_t ansiCodePage() const override;
    uint32_t oemCodePage() const override;

    // The host's /proc/self/exe as a Windows path (normally below Z:).
    std::string executablePath() const override;
    // Window classes are known by the program that registers them ("TAppBuilder": bds.exe); such a window
    // exists while a process of that program runs in this prefix. Titles are not known on the host.
    bool windowExists(std::string_view titleOrClass) const override;
    // Full Windows paths without a trailing backslash, oldest version first.
    std::vector<std::string> dotNetFrameworkFolders() const override;

    // The variables a program started in the prefix gets from the prefix (without the host's), in the order
    // they were defined: derived from the prefix's folders (SystemRoot, windir, SystemDrive, ProgramFiles,
    // ProgramData, ALLUSERSPROFILE, PUBLIC, ...), then HKLM\System\CurrentControlSet\Control\Session
    // Manager\Environment, then HKCU\Environment, then HKCU\Volatile Environment (USERPROFILE, APPDATA, ...),
    // a later definition replacing an earlier one of the same name. REG_EXPAND_SZ values are expanded with
    // what is defined before them and the volatile values.
    std::vector<std::pair<std::string, std::string>> prefixVariables() const;

    // Whether a process whose environment is `environment` (NAME=value entries) and whose owner's home folder
    // is `ownerHome` runs in this prefix: its WINEPREFIX, else <its HOME or ownerHome>/.wine.
    bool runsInThisPrefix(const std::vector<std::string>& environment, const std::string& ownerHome) const;

private:
    // A REG_SZ or REG_EXPAND_SZ value; the latter expanded with the prefix's variables when `expand`.
    std::optional<std::string> readText(RegRoot root, std::string_view path, std::string_view name,
                                        bool expand = true) const;
    std::string shellFolder(RegRoot root, std::string_view name) const;
    uint32_t codePage(std::string_view valueName, uint32_t fallback) const;

    Registry& registry_;
    FileSystem& files_;
    std::filesystem::path prefixDir_;
};

} // namespace tarvix::platform
