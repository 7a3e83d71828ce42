// Where a Windows installation (and so a Wine prefix) records its folders, environment and code pages: the keys
// the Wine shell reads and the sandbox prefix builder writes, so that both speak of the same ones.
#pragma once

#include <string_view>

namespace tarvix::platform::PrefixKey {

// The resolved shell folders (under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE), and the templates they come from.
inline constexpr std::string_view ShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view UserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// ProgramFilesDir, CommonFilesDir (and their "(x86)" forms).
inline constexpr std::string_view CurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
// SystemRoot.
inline constexpr std::string_view NtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
// ProgramData, Public and the users' profiles.
inline constexpr std::string_view ProfileList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// The system's environment variables (HKEY_LOCAL_MACHINE).
inline constexpr std::string_view SessionEnvironment =
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
// ACP and OEMCP.
inline constexpr std::string_view CodePage = "System\\CurrentControlSet\\Control\\Nls\\Codepage";

} // namespace tarvix::platform::PrefixKey
