// Small pieces of Windows path text that every layer needs: one trailing backslash added or removed. A drive
// root ("C:\") keeps its backslash, since "C:" alone names the drive's current folder, not its root.
#pragma once

#include <string>
#include <string_view>

namespace tarvix::platform {

inline bool isPathDelimiter(char c)
{
    return c == '\\';
}

// The path with a backslash at its end (the empty path becomes "\").
inline std::string includeTrailingBackslash(std::string_view path)
{
    std::string out(path);
    if (out.empty() || out.back() != '\\')
        out += '\\';
    return out;
}

// The path without one trailing backslash; "C:\" stays as it is.
inline std::string excludeTrailingBackslash(std::string_view path)
{
    if (!path.empty() && path.back() == '\\' && !(path.size() == 3 && path[1] == ':'))
        path.remove_suffix(1);
    return std::string(path);
}

} // namespace tarvix::platform
