// The minimal prefix: what `wine wineboot -i` would leave, as far as the installer reads it, written without
// wine: the drives, the usual folders of drive C and the three hives with the shell folders, the environment,
// the code pages and the user's profile.
#pragma once

#include <filesystem>
#include <string>

namespace tarvix::tools {

// Writes the prefix into the existing empty folder `dir` for the Windows user `user`; `arch` is "win64" or
// "win32". Raises PrefixBuildError when a hive cannot be written, std::filesystem::filesystem_error when a folder
// or drive link cannot be made.
void writeMinimalPrefix(const std::filesystem::path& dir, const std::string& user, const std::string& arch);

} // namespace tarvix::tools
