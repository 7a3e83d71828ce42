// Windows paths as the file functions read them: drive letters, "\" and "/" as separators, the namespace
// prefixes, "." and "..", the trailing dots and spaces Windows drops, the characters it refuses in names. Text
// only: nothing here touches the host.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

inline bool isWindowsSeparator(char c)
{
    return c == '\\' || c == '/';
}

inline bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A Windows path taken apart: the drive letter (upper case) and the components below its root.
struct WindowsFullPath {
    char drive = 0;
    std::vector<std::string> components;
    std::string text() const; // "C:\A\B", "C:\" for a drive root
};

// The full path of `path`, as GetFullPathNameW makes it: absolute against the current folder, which
// `currentFolder` gives only when the path is relative; "." and ".." applied; trailing dots and spaces of each
// component removed. Raises PlatformError (123 for a name Windows refuses, 3 for an empty path, 53 for a network
// path, 161 for a namespace prefix without a drive).
WindowsFullPath parseFullPath(std::string_view path, const std::function<WindowsFullPath()>& currentFolder);

} // namespace tarvix::platform
