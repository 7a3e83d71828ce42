// What the installation services read from a Delphi package source (.dpk) before they build and register it, and
// where the built package lands.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

struct TPackageSourceFacts {
    bool IsRunOnly = false;
    std::string LibSuffix;   // {$LIBSUFFIX '270'} gives 270
    std::string Description; // {$DESCRIPTION 'My Components'} gives 'My Components', quotes included
};

// The facts of a package source's lines. Each line, without its trailing blanks, counts when it begins at its
// first character with "{$DESCRIPTION '" (the description: from its 15th character up to, not including, the
// last one), "{$LIBSUFFIX '" (the suffix: from its 13th character up to, not including, the last one, without one
// pair of matching quotes around it) or "{$RUNONLY}". Later lines win. Directives in other letter case or after
// blanks do not count.
TPackageSourceFacts PackageSourceFactsOfLines(const std::vector<std::string>& Lines);

// The same for the file (a Windows path): its text in the encoding of its byte-order mark, else in the ANSI code
// page. Raises the platform's FileError when it cannot be read.
TPackageSourceFacts ReadPackageSourceFacts(const std::string& PackageName);

// Where the build of a project puts its binary: OutputPath (a trailing backslash added when missing) and, for a
// package source (".dpk", any case), its file name without folder and extension, its library suffix and ".bpl"
// (C:\Bpl and D:\Src\Pkg370.dpk give C:\Bpl\Pkg370.bpl). Programs, libraries and C++Builder projects are not
// built here ("%s not a known project extension", EIdeCompilerUtilsException, as for every other extension).
std::string PackageBinaryPath(const std::string& OutputPath, const std::string& ProjectFileName);

} // namespace tarvix
