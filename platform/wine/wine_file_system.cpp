#include "platform/wine/wine_file_system.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/wine/folder_index.h"
#include "platform/wine/windows_names.h"

namespace fs = std::filesystem;

namespace tarvix::platform {

namespace {

// ---------------------------------------------------------------------------------------------------------
// Small host helpers

bool hostStat(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0;
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string joinHost(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string hostParent(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The entry of `dir` that Windows would take for `name`: the exact spelling when it exists, else the first
// (in byte order) whose name is the same without regard to case.
std::optional<std::string> findEntry(const std::string& dir, const std::string& name)
{
    struct stat st;
    if (::lstat(joinHost(dir, name).c_str(), &st) == 0)
        return name;
    return findEntryIgnoringCase(dir, name);
}

uint32_t attributesOf(const struct stat& st, std::string_view name)
{
    uint32_t attrs = S_ISDIR(st.st_mode) ? FileAttr::Directory : FileAttr::Archive;
    if (!(st.st_mode & S_IWUSR))
        attrs |= FileAttr::ReadOnly;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        attrs |= FileAttr::Hidden;
    return attrs;
}

// Windows refuses these characters in names.
bool validComponent(std::string_view c)
{
    for (char ch : c) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' || ch == '?' || ch == '*')
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Share modes. Every opener of a file holds shared locks (open file description locks, so two opens in one
// process count as two openers) on marker bytes far beyond any real data: one per access it has (read, write)
// and one per access it denies to others. A new opener takes its own markers first and then checks that
// nobody else denies what it wants and that nobody else has what it denies; on a conflict it lets go. Two
// openers racing may both give up, but two conflicting ones can never both succeed.

constexpr off_t LockBase = static_cast<off_t>(0x7FFFFFFFFFFFF000LL);
constexpr off_t AccessRead = LockBase + 1;
constexpr off_t AccessWrite = LockBase + 2;
constexpr off_t DenyRead = LockBase + 3;
constexpr off_t DenyWrite = LockBase + 4;

// Whether another opener holds a lock on the byte.
bool heldByOthers(int fd, off_t at)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

// False on a sharing conflict. A descriptor that cannot carry the locks (not open for reading, a file system
// without locks) opens without them.
bool takeShareLocks(int fd, bool read, bool write, bool denyRead, bool denyWrite)
{
    for (const auto& [wanted, at] : {std::pair{read, AccessRead}, std::pair{write, AccessWrite},
                                     std::pair{denyRead, DenyRead}, std::pair{denyWrite, DenyWrite}}) {
        if (!wanted)
            continue;
        struct flock fl {};
        fl.l_type = F_RDLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = at;
        fl.l_len = 1;
        int r;
        do
            r = ::fcntl(fd, F_OFD_SETLK, &fl);
        while (r != 0 && errno == EINTR);
        if (r != 0)
            return true; // shared markers never conflict with each other: the locks are not available here
    }
    return !((read && heldByOthers(fd, DenyRead)) || (write && heldByOthers(fd, DenyWrite)) ||
             (denyRead && heldByOthers(fd, AccessRead)) || (denyWrite && heldByOthers(fd, AccessWrite)));
}

// Whether somebody has the file open. Windows refuses to delete or rename a file that is open without
// delete sharing, which no opener here grants.
bool openedByOthers(const std::string& host)
{
    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    bool open = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        open = heldByOthers(fd, AccessRead) || heldByOthers(fd, AccessWrite);
    ::close(fd);
    return open;
}

// ---------------------------------------------------------------------------------------------------------

class WineFile : public File {
public:
    WineFile(int fd, bool written) : fd_(fd), written_(written) {}
    ~WineFile() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    std::size_t read(void* buffer, std::size_t n) override
    {
        checkOpen("Stream read error");
        for (;;) {
            const ssize_t r = ::read(fd_, buffer, n);
            if (r >= 0)
                return static_cast<std::size_t>(r);
            if (errno != EINTR)
                throw FileError("Stream read error", windowsErrorFromErrno(errno));
        }
    }

    void write(const void* buffer, std::size_t n) override
    {
        checkOpen("Stream write error");
        const char* p = static_cast<const char*>(buffer);
        while (n > 0) {
            const ssize_t r = ::write(fd_, p, n);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                throw FileError("Stream write error", windowsErrorFromErrno(errno));
            }
            if (r == 0)
                throw FileError("Stream write error", 112);
            p += r;
            n -= static_cast<std::size_t>(r);
            written_ = true;
        }
    }

    void seek(int64_t position) override
    {
        checkOpen("Stream read error");
        if (position < 0 || ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
            throw FileError("An attempt was made to move the file pointer before the beginning of the file.", 131);
    }

    int64_t position() const override
    {
        checkOpen("Stream read error");
        return static_cast<int64_t>(::lseek(fd_, 0, SEEK_CUR));
    }

    int64_t size() const override
    {
        checkOpen("Stream read error");
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            throw FileError("Stream read error", windowsErrorFromErrno(errno));
        return static_cast<int64_t>(st.st_size);
    }

    void close() override { closeFile(true); }
    void closeUnflushed() override { closeFile(false); }

private:
    void closeFile(bool flush)
    {
        if (fd_ < 0)
            return;
        const int fd = fd_;
        fd_ = -1;
        int err = 0;
        if (flush && written_ && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
            err = errno;
        if (::close(fd) != 0 && errno != EINTR && err == 0 && written_)
            err = errno;
        if (err != 0)
            throw FileError("Stream write error", windowsErrorFromErrno(err));
    }

private:
    void checkOpen(const char* message) const
    {
        if (fd_ < 0)
            throw FileError(message, 6);
    }

    int fd_;
    bool written_;
};

} // namespace

// -------------------------------------------------------------------------------------------------------------
// Paths

std::string WineFileSystem::FullPath::text() const
{
    std::string s;
    s += drive;
    s += ':';
    if (components.empty())
        return s + "\\";
    for (const auto& c : components) {
        s += '\\';
        s += c;
    }
    return s;
}

WineFileSystem::WineFileSystem(fs::path prefixDir)
{
    // Absolute once, so that a later change of the current folder does not move the prefix.
    std::error_code ec;
    const fs::path absolute = prefixDir.empty() ? prefixDir : fs::absolute(prefixDir, ec);
    prefixDir_ = (ec ? prefixDir : absolute).lexically_normal();
}

WineFileSystem::FullPath WineFileSystem::fullPath(std::string_view windowsPath) const
{
    std::string_view p = windowsPath;
    if (p.empty())
        throw PlatformError("The path is empty.", 3);

    // Namespace prefixes that name an ordinary drive path: \\?\C:\..., \\.\C:\..., \??\C:\...
    if (p.size() >= 4 && isSeparator(p[0]) &&
        ((isSeparator(p[1]) && (p[2] == '?' || p[2] == '.')) || (p[1] == '?' && p[2] == '?')) &&
        isSeparator(p[3])) {
        p.remove_prefix(4);
        if (p.size() < 2 || !isDriveLetter(p[0]) || p[1] != ':')
            throw PlatformError("The path \"" + std::string(windowsPath) + "\" is not on a drive.", 161);
    }
    if (p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1]))
        throw PlatformError("The network path \"" + std::string(windowsPath) + "\" is not available.", 53);

    FullPath full;
    std::string_view rest;
    if (p.size() >= 2 && isDriveLetter(p[0]) && p[1] == ':') {
        full.drive = upperAscii(p[0]);
        rest = p.substr(2);
        if (rest.empty() || !isSeparator(rest.front())) {
            // "C:name" is relative to the drive's current folder: ours when we are on that drive, else its root.
            const FullPath current = fullPath(currentDirectory());
            if (current.drive == full.drive)
                full.components = current.components;
        }
    } else {
        const FullPath current = fullPath(currentDirectory());
        full.drive = current.drive;
        if (!isSeparator(p.front()))
            full.components = current.components;
        rest = p;
    }

    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = pos;
        while (end < rest.size() && !isSeparator(rest[end]))
            ++end;
        std::string component(rest.substr(pos, end - pos));
        pos = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!full.components.empty())
                full.components.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces of a name ("name." is "name").
        while (!component.empty() && (component.back() == '.' || component.back() == ' '))
            component.pop_back();
        if (component.empty())
            continue;
        if (!validComponent(component))
            throw PlatformError("The name \"" + std::string(windowsPath) + "\" is not valid.", 123);
        full.components.push_back(std::move(component));
    }
    return full;
}

std::optional<fs::path> WineFileSystem::driveTarget(char letter) const
{
    const char lower = static_cast<char>(letter | 0x20);
    for (char c : {lower, upperAscii(letter)}) {
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

std::vector<WineFileSystem::DriveRoot> WineFileSystem::driveRoots() const
{
    std::vector<DriveRoot> roots;
    DIR* d = ::opendir((prefixDir_ / "dosdevices").c_str());
    if (!d)
        return roots;
    std::string letters;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() == 2 && isDriveLetter(name[0]) && name[1] == ':' &&
            letters.find(upperAscii(name[0])) == std::string::npos)
            letters += upperAscii(name[0]);
    }
    ::closedir(d);
    std::sort(letters.begin(), letters.end());
    for (char letter : letters) {
        if (auto target = driveTarget(letter)) {
            const char lower = static_cast<char>(letter | 0x20);
            roots.push_back({letter, prefixDir_ / "dosdevices" / (std::string(1, lower) + ":"), *target});
        }
    }
    return roots;
}

std::vector<std::string> WineFileSystem::drives() const
{
    std::vector<std::string> result;
    for (const auto& root : driveRoots())
        result.push_back(std::string(1, root.letter) + ":");
    return result;
}

std::string WineFileSystem::hostOf(const FullPath& path) const
{
    const auto target = driveTarget(path.drive);
    if (!target)
        throw PlatformError(std::string("The drive ") + path.drive + ": is not mapped in the Wine prefix " +
                                prefixDir_.string() + ".",
                            3);
    std::string host = target->string();
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

std::string WineFileSystem::toHostPath(std::string_view windowsPath) const
{
    return hostOf(fullPath(windowsPath));
}

std::optional<std::string> WineFileSystem::hostPathOrError(std::string_view windowsPath, uint32_t& error) const
{
    try {
        return toHostPath(windowsPath);
    } catch (const PlatformError& e) {
        error = e.code() ? e.code() : 3;
        return std::nullopt;
    }
}

std::string WineFileSystem::toWindowsPath(std::string_view hostPath) const
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
    for (const auto& drive : driveRoots()) {
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
    return FullPath{*bestLetter, std::move(bestRest)}.text();
}

std::string WineFileSystem::currentDirectory() const
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (ec)
        return {};
    return toWindowsPath(cwd.string());
}

bool WineFileSystem::setCurrentDirectory(std::string_view path)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec)) {
        setLastError(error ? error : 3); // ERROR_PATH_NOT_FOUND
        return false;
    }
    fs::current_path(*host, ec);
    setLastError(ec ? windowsErrorFromErrno(ec.value()) : 0);
    return !ec;
}

// -------------------------------------------------------------------------------------------------------------
// Queries

bool WineFileSystem::fileExists(std::string_view path) const
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    struct stat st;
    return host && hostStat(*host, st) && !S_ISDIR(st.st_mode);
}

bool WineFileSystem::directoryExists(std::string_view path) const
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    struct stat st;
    return host && hostStat(*host, st) && S_ISDIR(st.st_mode);
}

std::optional<uint32_t> WineFileSystem::attributes(std::string_view path) const
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    struct stat st;
    if (!host || !hostStat(*host, st))
        return std::nullopt;
    const FullPath full = fullPath(path);
    return attributesOf(st, full.components.empty() ? std::string_view() : std::string_view(full.components.back()));
}

std::vector<DirEntry> WineFileSystem::enumerate(std::string_view folder, std::string_view mask) const
{
    std::vector<DirEntry> entries;
    uint32_t error = 0;
    // The search is for folder + "\" + mask: "C:" is the drive's root here, not its current folder.
    const auto host = hostPathOrError(std::string(folder) + "\\", error);
    if (!host || mask.empty())
        return entries;
    DIR* d = ::opendir(host->c_str());
    if (!d)
        return entries;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !matchesMask(name, mask))
            continue;
        struct stat st;
        if (!hostStat(joinHost(*host, name), st))
            continue; // a dangling link is nothing Windows would list
        DirEntry entry;
        entry.name = name;
        entry.attributes = attributesOf(st, name);
        entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    // The host lists in no particular order; give the sorted order an NTFS folder has.
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        const auto ua = upperName(a.name), ub = upperName(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    return entries;
}

std::string WineFileSystem::longPathName(std::string_view path) const
{
    FullPath full;
    try {
        full = fullPath(path);
    } catch (const PlatformError&) {
        return {};
    }
    const auto target = driveTarget(full.drive);
    if (!target)
        return {};
    std::string host = target->string();
    std::string result{full.drive, ':'};
    for (const auto& component : full.components) {
        const auto stored = findEntry(host, component);
        if (!stored)
            return {};
        host = joinHost(host, *stored);
        result += '\\';
        result += *stored;
    }
    struct stat st;
    if (!hostStat(host, st))
        return {};
    if (full.components.empty() || isSeparator(path.back()))
        result += '\\';
    return result;
}

// -------------------------------------------------------------------------------------------------------------
// Changes

bool WineFileSystem::createDirectory(std::string_view path, uint32_t* lastError)
{
    uint32_t error = 0;
    if (const auto host = hostPathOrError(path, error)) {
        if (::mkdir(host->c_str(), 0777) == 0) {
            setLastError(0);
            if (lastError)
                *lastError = 0;
            return true;
        }
        error = errno == EEXIST ? 183 : errno == ENOENT ? 3 : windowsErrorFromErrno(errno);
    }
    setLastError(error);
    if (lastError)
        *lastError = error;
    return false;
}

bool WineFileSystem::forceDirectories(std::string_view path)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    if (!host) {
        setLastError(error);
        return false;
    }
    std::error_code ec;
    fs::create_directories(*host, ec);
    struct stat st;
    const bool ok = hostStat(*host, st) && S_ISDIR(st.st_mode);
    setLastError(ok ? 0 : ec ? windowsErrorFromErrno(ec.value()) : 183);
    return ok;
}

bool WineFileSystem::removeDirectory(std::string_view path)
{
    uint32_t error = 0;
    if (const auto host = hostPathOrError(path, error)) {
        if (::rmdir(host->c_str()) == 0) {
            setLastError(0);
            return true;
        }
        error = errno == ENOTDIR ? 267 : errno == EEXIST ? 145 : windowsErrorFromErrno(errno);
    }
    setLastError(error);
    return false;
}

bool WineFileSystem::deleteFile(std::string_view path)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    struct stat st;
    if (!host) {
        setLastError(error);
        return false;
    }
    if (::lstat(host->c_str(), &st) != 0) {
        setLastError(errno == ENOENT ? (hostStat(hostParent(*host), st) ? 2 : 3) : windowsErrorFromErrno(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        setLastError(5);
        return false;
    }
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        setLastError(5); // the read-only attribute protects the file from deletion
        return false;
    }
    if (openedByOthers(*host)) {
        setLastError(32);
        return false;
    }
    if (::unlink(host->c_str()) != 0) {
        setLastError(windowsErrorFromErrno(errno));
        return false;
    }
    setLastError(0);
    return true;
}

void WineFileSystem::deleteTree(std::string_view path)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    if (!host)
        return;
    // Works on host paths below the start, so that names the Windows side could not spell are removed too.
    auto remove = [](auto& self, const std::string& hostPath) -> void {
        struct stat st;
        if (::lstat(hostPath.c_str(), &st) != 0)
            return;
        if (!S_ISDIR(st.st_mode)) {
            if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
                ::chmod(hostPath.c_str(), (st.st_mode & 07777) | S_IWUSR);
            if (!openedByOthers(hostPath))
                ::unlink(hostPath.c_str());
            return;
        }
        if ((st.st_mode & (S_IWUSR | S_IXUSR | S_IRUSR)) != (S_IWUSR | S_IXUSR | S_IRUSR))
            ::chmod(hostPath.c_str(), (st.st_mode & 07777) | S_IRWXU);
        std::vector<std::string> names;
        if (DIR* d = ::opendir(hostPath.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            ::closedir(d);
        }
        for (const auto& name : names)
            self(self, joinHost(hostPath, name));
        ::rmdir(hostPath.c_str());
    };
    remove(remove, *host);
}

bool WineFileSystem::setAttributes(std::string_view path, uint32_t attributes)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    struct stat st;
    if (!host || !hostStat(*host, st)) {
        setLastError(host ? 2 : error);
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & FileAttr::ReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(host->c_str(), mode) != 0) {
        setLastError(windowsErrorFromErrno(errno));
        return false;
    }
    setLastError(0);
    return true;
}

bool WineFileSystem::copyFile(std::string_view from, std::string_view to, bool failIfExists)
{
    uint32_t error = 0;
    const auto source = hostPathOrError(from, error);
    const auto target = source ? hostPathOrError(to, error) : std::nullopt;
    if (!source || !target) {
        setLastError(error);
        return false;
    }
    struct stat sourceStat, targetStat;
    if (!hostStat(*source, sourceStat)) {
        setLastError(errno == ENOENT && !hostStat(hostParent(*source), targetStat) ? 3 : 2);
        return false;
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        setLastError(5);
        return false;
    }
    const bool targetExists = hostStat(*target, targetStat);
    if (targetExists) {
        if (failIfExists) {
            setLastError(80);
            return false;
        }
        if (S_ISDIR(targetStat.st_mode) || !(targetStat.st_mode & S_IWUSR)) {
            setLastError(5);
            return false;
        }
    }

    std::unique_ptr<File> in, out;
    try {
        in = open(from, FileMode::Read, FileShare::DenyWrite);
        out = open(to, failIfExists ? FileMode::CreateNew : FileMode::CreateAlways, FileShare::Exclusive);
    } catch (const FileError& e) {
        setLastError(e.code());
        return false;
    }
    try {
        std::vector<char> buffer(1 << 20);
        while (const std::size_t got = in->read(buffer.data(), buffer.size()))
            out->write(buffer.data(), got);
        in->close();
        out->close();
    } catch (const FileError& e) {
        out.reset();
        ::unlink(target->c_str());
        setLastError(e.code() ? e.code() : 29);
        return false;
    }
    // The copy carries the source's attributes and last-write time, as CopyFile does.
    const std::string written = toHostPath(to);
    ::chmod(written.c_str(), sourceStat.st_mode & 07777);
    const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    ::utimensat(AT_FDCWD, written.c_str(), times, 0);
    setLastError(0);
    return true;
}

namespace {

// Renames within one host file system; `replace` chooses between MoveFileW and MOVEFILE_REPLACE_EXISTING.
int hostRename(const std::string& from, const std::string& to, bool replace)
{
    if (replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace flag: check, then rename.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

bool WineFileSystem::moveFile(std::string_view from, std::string_view to)
{
    uint32_t error = 0;
    const auto source = hostPathOrError(from, error);
    if (!source) {
        setLastError(error);
        return false;
    }
    FullPath targetPath;
    try {
        targetPath = fullPath(to);
    } catch (const PlatformError& e) {
        setLastError(e.code());
        return false;
    }
    const std::string resolvedTarget = hostOf(targetPath);
    struct stat sourceStat, targetStat;
    if (::lstat(source->c_str(), &sourceStat) != 0) {
        setLastError(hostStat(hostParent(*source), targetStat) ? 2 : 3);
        return false;
    }
    std::string target = resolvedTarget;
    if (::lstat(resolvedTarget.c_str(), &targetStat) == 0) {
        if (targetStat.st_dev != sourceStat.st_dev || targetStat.st_ino != sourceStat.st_ino) {
            setLastError(183);
            return false;
        }
        // The same entry under another spelling: a change of case only. The new name is taken as given.
        if (targetPath.components.empty()) {
            setLastError(5);
            return false;
        }
        target = joinHost(hostParent(resolvedTarget), targetPath.components.back());
        if (target == *source) {
            setLastError(0);
            return true;
        }
    }
    if (!S_ISDIR(sourceStat.st_mode) && openedByOthers(*source)) {
        setLastError(32);
        return false;
    }
    const bool caseOnly = target != resolvedTarget;
    int err = hostRename(*source, target, caseOnly);
    if (err == EXDEV && !S_ISDIR(sourceStat.st_mode)) {
        // Another device: MoveFileW copies the file and deletes the original.
        if (!copyFile(from, to, true))
            return false;
        const uint32_t mode = sourceStat.st_mode & S_IWUSR;
        if (!mode)
            ::chmod(source->c_str(), (sourceStat.st_mode & 07777) | S_IWUSR);
        ::unlink(source->c_str());
        setLastError(0);
        return true;
    }
    if (err != 0) {
        setLastError(err == EEXIST || err == ENOTEMPTY ? 183
                     : err == ENOENT                   ? 3
                     : err == EXDEV                    ? 17
                                                       : windowsErrorFromErrno(err));
        return false;
    }
    setLastError(0);
    return true;
}

bool WineFileSystem::replaceFile(std::string_view from, std::string_view to)
{
    uint32_t error = 0;
    const auto source = hostPathOrError(from, error);
    const auto target = source ? hostPathOrError(to, error) : std::nullopt;
    if (!source || !target) {
        setLastError(error);
        return false;
    }
    struct stat sourceStat, targetStat;
    if (::lstat(source->c_str(), &sourceStat) != 0) {
        setLastError(2);
        return false;
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        setLastError(5);
        return false;
    }
    if (::lstat(target->c_str(), &targetStat) == 0) {
        if (S_ISDIR(targetStat.st_mode) || (!S_ISLNK(targetStat.st_mode) && !(targetStat.st_mode & S_IWUSR))) {
            setLastError(5);
            return false;
        }
        if (openedByOthers(*target)) {
            setLastError(32);
            return false;
        }
    }
    if (openedByOthers(*source)) {
        setLastError(32);
        return false;
    }
    if (const int err = hostRename(*source, *target, true); err != 0) {
        setLastError(err == ENOENT ? 3 : windowsErrorFromErrno(err));
        return false;
    }
    setLastError(0);
    return true;
}

// -------------------------------------------------------------------------------------------------------------
// Contents

std::unique_ptr<File> WineFileSystem::open(std::string_view path, FileMode mode, FileShare share)
{
    const bool creating = mode == FileMode::CreateAlways || mode == FileMode::CreateNew;
    auto fail = [&](uint32_t code) -> std::unique_ptr<File> {
        throw FileError(std::string(creating ? "Cannot create file \"" : "Cannot open file \"") + std::string(path) +
                            "\". " + systemErrorText(code),
                        code);
    };

    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    if (!host)
        return fail(error);
    if (!fullPath(path).components.size())
        return fail(5); // a drive root

    struct stat st;
    const bool exists = hostStat(*host, st);
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return fail(5);
        if (mode == FileMode::CreateNew)
            return fail(80);
        if (mode != FileMode::Read && !(st.st_mode & S_IWUSR))
            return fail(5); // read-only attribute, honoured for every user
    }

    // Writers open for reading too, where the permissions allow it: the share-mode locks need it.
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (mode) {
    case FileMode::Read: flags |= O_RDONLY; break;
    case FileMode::ReadWrite: flags |= O_RDWR; break;
    case FileMode::CreateAlways: flags |= O_RDWR | O_CREAT; break; // truncated once the share check passed
    case FileMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0 && errno == EACCES && creating)
        fd = ::open(host->c_str(), (flags & ~O_RDWR) | O_WRONLY, 0666);
    if (fd < 0) {
        const int err = errno;
        struct stat parent;
        if (err == ENOENT)
            return fail(creating || !hostStat(hostParent(*host), parent) ? 3 : 2);
        if (err == ENOTDIR)
            return fail(3);
        return fail(err == EEXIST ? 80 : windowsErrorFromErrno(err));
    }

    const bool read = mode == FileMode::Read || mode == FileMode::ReadWrite;
    const bool write = mode != FileMode::Read;
    if (!takeShareLocks(fd, read, write, share == FileShare::Exclusive, share != FileShare::DenyNone)) {
        ::close(fd);
        return fail(32);
    }
    if (mode == FileMode::CreateAlways && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(windowsErrorFromErrno(err));
    }
    return std::make_unique<WineFile>(fd, creating);
}

} // namespace tarvix::platform
