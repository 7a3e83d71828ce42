#include "platform/wine/wine_drive_map.h"

#include <algorithm>
#include <array>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/wine/folder_index.h"
#include "platform/wine/host_paths.h"

namespace fs = std::filesystem;

namespace tarvix::platform {

std::optional<fs::path> WineDriveMap::target(char letter) const
{
    for (char c : {asciiLower(letter), asciiUpper(letter)}) {
        const fs::path link = prefixDir_ / "dosdevices" / (std::string(1, c) + ":");
        struct stat st;
        if (::lstat(link.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            fs::path target = fs::read_symlink(link, ec);
            if (ec)
                continue;
            if (target.is_relative())
                target = link.parent_path() / target;
            target = fs::absolute(target, ec).lexically_normal();
            std::string s = target.string();
            while (s.size() > 1 && s.back() == '/')
                s.pop_back();
            return fs::path(s);
        }
        if (S_ISDIR(st.st_mode))
            return fs::absolute(link).lexically_normal();
    }
    return std::nullopt;
}

std::vector<WineDriveMap::Drive> WineDriveMap::drives() const
{
    std::vector<Drive> drives;
    DIR* d = ::opendir((prefixDir_ / "dosdevices").c_str());
    if (!d)
        return drives;
    std::string letters;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() == 2 && isDriveLetter(name[0]) && name[1] == ':' &&
            letters.find(asciiUpper(name[0])) == std::string::npos)
            letters += asciiUpper(name[0]);
    }
    ::closedir(d);
    std::sort(letters.begin(), letters.end());
    for (char letter : letters) {
        if (auto found = target(letter))
            drives.push_back({letter, prefixDir_ / "dosdevices" / (std::string(1, asciiLower(letter)) + ":"), *found});
    }
    return drives;
}

std::string WineDriveMap::hostOf(const WindowsFullPath& path) const
{
    const auto root = target(path.drive);
    if (!root)
        throw PlatformError(std::string("The drive ") + path.drive + ": is not mapped in the Wine prefix " +
                                prefixDir_.string() + ".",
                            WinError::PathNotFound);
    std::string host = root->string();
    bool resolving = true;
    for (const auto& component : path.components) {
        if (resolving) {
            if (auto stored = findEntry(host, component)) {
                host = joinHost(host, *stored);
                continue;
            }
            resolving = false; // nothing below a missing component exists either
        }
        host = joinHost(host, component);
    }
    return host;
}

WindowsFullPath WineDriveMap::windowsPathOf(std::string_view hostPath) const
{
    std::error_code ec;
    const fs::path given(hostPath);
    const fs::path lexical = fs::absolute(given, ec).lexically_normal();
    fs::path canonical = fs::weakly_canonical(lexical, ec);
    if (ec)
        canonical = lexical;

    // Relative part of `path` below `root`, when `root` contains it.
    auto below = [](const fs::path& path, const fs::path& root) -> std::optional<std::vector<std::string>> {
        auto p = path.begin();
        for (auto r = root.begin(); r != root.end(); ++r) {
            if (r->empty())
                continue; // the empty element of a trailing separator
            if (p == path.end() || *p != *r)
                return std::nullopt;
            ++p;
        }
        std::vector<std::string> rest;
        for (; p != path.end(); ++p)
            if (!p->empty())
                rest.push_back(p->string());
        return rest;
    };
    auto depth = [](const fs::path& root) {
        std::size_t n = 0;
        for (const auto& part : root)
            if (!part.empty())
                ++n;
        return n;
    };

    // The drive with the deepest root containing the path wins; the path is tried as given and with its links
    // resolved, and a drive root both as its link and as where that points.
    std::optional<char> bestLetter;
    std::vector<std::string> bestRest;
    std::size_t bestDepth = 0;
    for (const auto& drive : drives()) {
        fs::path realTarget = fs::weakly_canonical(drive.target, ec);
        if (ec)
            realTarget = drive.target;
        for (const fs::path* root : std::array<const fs::path*, 3>{&drive.target, &realTarget, &drive.link}) {
            for (const fs::path* path : std::array<const fs::path*, 2>{&lexical, &canonical}) {
                auto rest = below(*path, *root);
                if (!rest)
                    continue;
                const std::size_t d = depth(*root);
                if (!bestLetter || d > bestDepth) {
                    bestLetter = drive.letter;
                    bestRest = std::move(*rest);
                    bestDepth = d;
                }
            }
        }
    }
    if (!bestLetter) {
        bestLetter = 'Z';
        bestRest.clear();
        for (const auto& part : canonical.relative_path())
            if (!part.empty())
                bestRest.push_back(part.string());
    }
    return WindowsFullPath{*bestLetter, std::move(bestRest)};
}

} // namespace tarvix::platform
