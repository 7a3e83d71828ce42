// Host paths as the Wine backend's file functions handle them: plain strings joined with "/".
#pragma once

#include <string>
#include <sys/stat.h>

namespace tarvix::platform {

inline bool hostStat(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0;
}

inline std::string joinHost(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

inline std::string hostParent(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace tarvix::platform
