#include "platform/wine/wine_file_system.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/wine/folder_index.h"
#include "platform/wine/host_paths.h"
#include "platform/wine/windows_names.h"
#include "platform/wine/wine_share_locks.h"

namespace fs = std::filesystem;

namespace tarvix::platform {

namespace {

uint32_t attributesOf(const struct stat& st, std::string_view name)
{
    uint32_t attrs = S_ISDIR(st.st_mode) ? FileAttr::Directory : FileAttr::Archive;
    if (!(st.st_mode & S_IWUSR))
        attrs |= FileAttr::ReadOnly;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        attrs |= FileAttr::Hidden;
    return attrs;
}

// Absolute once, so that a later change of the current folder does not move the prefix.
fs::path absolutePrefix(const fs::path& prefixDir)
{
    std::error_code ec;
    const fs::path absolute = prefixDir.empty() ? prefixDir : fs::absolute(prefixDir, ec);
    return (ec ? prefixDir : absolute).lexically_normal();
}

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
                throw FileError("Stream write error", WinError::DiskFull);
            p += r;
            n -= static_cast<std::size_t>(r);
            written_ = true;
        }
    }

    void seek(int64_t position) override
    {
        checkOpen("Stream read error");
        if (position < 0 || ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
            throw FileError("An attempt was made to move the file pointer before the beginning of the file.",
                            WinError::NegativeSeek);
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
            throw FileError(message, WinError::InvalidHandle);
    }

    int fd_;
    bool written_;
};

} // namespace

// -------------------------------------------------------------------------------------------------------------
// Paths

WineFileSystem::WineFileSystem(fs::path prefixDir) : driveMap_(absolutePrefix(prefixDir)) {}

WineFileSystem::FullPath WineFileSystem::fullPath(std::string_view windowsPath) const
{
    return parseFullPath(windowsPath, [this] { return fullPath(currentDirectory()); });
}

std::vector<std::string> WineFileSystem::drives() const
{
    std::vector<std::string> result;
    for (const auto& drive : driveMap_.drives())
        result.push_back(std::string(1, drive.letter) + ":");
    return result;
}

std::string WineFileSystem::toHostPath(std::string_view windowsPath) const
{
    return driveMap_.hostOf(fullPath(windowsPath));
}

std::optional<std::string> WineFileSystem::hostPathOrError(std::string_view windowsPath, uint32_t& error) const
{
    try {
        return toHostPath(windowsPath);
    } catch (const PlatformError& e) {
        error = e.code() ? e.code() : WinError::PathNotFound;
        return std::nullopt;
    }
}

std::string WineFileSystem::toWindowsPath(std::string_view hostPath) const
{
    return driveMap_.windowsPathOf(hostPath).text();
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
        setLastError(error ? error : WinError::PathNotFound);
        return false;
    }
    fs::current_path(*host, ec);
    setLastError(ec ? windowsErrorFromErrno(ec.value()) : WinError::Success);
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
    const auto target = driveMap_.target(full.drive);
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
    if (full.components.empty() || isWindowsSeparator(path.back()))
        result += '\\';
    return result;
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

    // The path is taken apart and mapped once: opening is what splitting a payload does for every file. The
    // folder is mapped as a whole and the name looked up in it here, so that a name found nowhere (a new file)
    // needs no further look.
    FullPath full;
    std::string host;
    bool absent = false;
    try {
        full = fullPath(path);
        if (full.components.empty()) {
            host = driveMap_.hostOf(full);
        } else {
            const std::string& name = full.components.back();
            const std::string folder = driveMap_.hostOf(
                FullPath{full.drive, std::vector<std::string>(full.components.begin(), full.components.end() - 1)});
            const auto stored = findEntry(folder, name);
            absent = !stored;
            host = joinHost(folder, stored ? *stored : name);
        }
    } catch (const PlatformError& e) {
        return fail(e.code() ? e.code() : WinError::PathNotFound);
    }
    if (full.components.empty())
        return fail(WinError::AccessDenied); // a drive root

    struct stat st;
    const bool exists = !absent && hostStat(host, st);
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return fail(WinError::AccessDenied);
        if (mode == FileMode::CreateNew)
            return fail(WinError::FileExists);
        if (mode != FileMode::Read && !(st.st_mode & S_IWUSR))
            return fail(WinError::AccessDenied); // read-only attribute, honoured for every user
    }

    // Writers open for reading too, where the permissions allow it: the share-mode locks need it.
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (mode) {
    case FileMode::Read: flags |= O_RDONLY; break;
    case FileMode::ReadWrite: flags |= O_RDWR; break;
    case FileMode::CreateAlways: flags |= O_RDWR | O_CREAT; break; // truncated once the share check passed
    case FileMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    auto openHost = [&](int how) {
        int fd = ::open(host.c_str(), how, 0666);
        if (fd < 0 && errno == EACCES && creating)
            fd = ::open(host.c_str(), (how & ~O_RDWR) | O_WRONLY, 0666);
        return fd;
    };
    // A file that is not there yet is made exclusively: then it is known to be new and empty, and needs no
    // truncation (which costs the file system a journal entry of its own). One that somebody made meanwhile is
    // opened as an existing one.
    bool made = false;
    int fd = -1;
    if (mode == FileMode::CreateAlways && !exists) {
        fd = openHost(flags | O_EXCL);
        made = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = openHost(flags);
    } else {
        fd = openHost(flags);
    }
    if (fd < 0) {
        const int err = errno;
        struct stat parent;
        if (err == ENOENT)
            return fail(creating || !hostStat(hostParent(host), parent) ? WinError::PathNotFound
                                                                        : WinError::FileNotFound);
        if (err == ENOTDIR)
            return fail(WinError::PathNotFound);
        return fail(err == EEXIST ? WinError::FileExists : windowsErrorFromErrno(err));
    }

    const bool read = mode == FileMode::Read || mode == FileMode::ReadWrite;
    const bool write = mode != FileMode::Read;
    if (!takeShareLocks(fd, read, write, share == FileShare::Exclusive, share != FileShare::DenyNone)) {
        ::close(fd);
        return fail(WinError::SharingViolation);
    }
    if (mode == FileMode::CreateAlways && !made && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(windowsErrorFromErrno(err));
    }
    return std::make_unique<WineFile>(fd, creating);
}

} // namespace tarvix::platform
