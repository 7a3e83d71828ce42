// The shell's special folders, the process environment, code pages, the running executable and the question
// whether a program's window is open: what Windows answers through shell32, kernel32 and user32, and the
// Wine backend answers from the prefix.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

class Shell {
public:
    virtual ~Shell() = default;

    // Special folders as Windows paths without a trailing backslash; empty when the system does not know one.
    virtual std::string appDataFolder() const = 0;         // CSIDL_APPDATA (per user, roaming)
    virtual std::string commonDocumentsFolder() const = 0; // CSIDL_COMMON_DOCUMENTS
    virtual std::string programFiles32Folder() const = 0;  // program files for 32-bit programs
    virtual std::string desktopFolder() const = 0;         // CSIDL_DESKTOPDIRECTORY
    virtual std::string windowsFolder() const = 0;         // C:\windows
    // GetTempPathW: the user's temporary folder ending in a backslash, created when missing; empty on failure.
    virtual std::string tempFolder() = 0;

    // The process environment as GetEnvironmentStringsW gives it: "NAME=value" entries. On Wine this is the
    // host environment merged with the prefix's (HKLM\System\CurrentControlSet\Control\Session
    // Manager\Environment, then HKCU\Environment), the prefix winning for Windows variables.
    virtual std::vector<std::string> environmentStrings() const = 0;
    // Names compare without regard to case.
    virtual std::optional<std::string> environmentVariable(std::string_view name) const = 0;
    // ExpandEnvironmentStringsW: every %NAME% of a known variable replaced; unknown ones are kept.
    virtual std::string expandEnvironmentStrings(std::string_view text) const = 0;

    virtual uint32_t ansiCodePage() const = 0; // GetACP
    virtual uint32_t oemCodePage() const = 0;  // GetOEMCP

    // Full Windows path of the running executable.
    virtual std::string executablePath() const = 0;

    // Whether a top-level window with this title, or else with this window class, exists. On Wine a window
    // class is known by the program that registers it (the Delphi IDE's "TAppBuilder" is bds.exe).
    virtual bool windowExists(std::string_view titleOrClass) const = 0;

    // Folders of the installed .NET Framework runtimes (C:\windows\Microsoft.NET\Framework\v*), newest last.
    virtual std::vector<std::string> dotNetFrameworkFolders() const = 0;
};

} // namespace tarvix::platform
