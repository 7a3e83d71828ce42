// The files an IDE's installer and first start leave (bin\rsvars.bat, EnvOptions.proj, environment.proj) and
// the registry copy of its library settings, as the sandbox prefixes get them.
#pragma once

#include <string>
#include <string_view>

#include "tools/ide_setup.h"

namespace tarvix::tools {

// The text of bin\rsvars.bat for an IDE rooted at `rootDir` (no trailing backslash): "@SET NAME=value" lines
// ended by CR LF.
std::string rsvarsText(std::string_view rootDir, std::string_view commonDir, int bdsVersion);

// The EnvOptions.proj the IDE writes on its first start for BDS version `bdsVersion` (8 and later: the
// Delphi... properties in per-platform groups; 5 to 7: the Win32... properties).
std::string envOptionsText(int bdsVersion);

// The environment.proj beside it: the IDE's folders as MSBuild properties.
std::string environmentProjText(const RegisteredIde& ide);

// The library settings of a BDS IDE as its "Library" registry key keeps them next to EnvOptions.proj;
// `platformFolders` for the keys of the platforms beyond Win32.
NameValues bdsLibraryPaths(int version, bool platformFolders = false);

} // namespace tarvix::tools
