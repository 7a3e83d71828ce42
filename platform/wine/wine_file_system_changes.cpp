// The changing calls of the Wine file system: folders made and removed, files deleted, copied, moved and
// replaced, attributes set. Each reports its outcome the way the Win32 call does: a Boolean, and the Windows error
// code in lastError().
#include "platform/wine/wine_file_system.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/host_file.h"
#include "platform/wine/host_paths.h"
#include "platform/wine/wine_share_locks.h"

namespace fs = std::filesystem;

namespace tarvix::platform {

bool WineFileSystem::createDirectory(std::string_view path, uint32_t* lastError)
{
    uint32_t error = 0;
    if (const auto host = hostPathOrError(path, error)) {
        if (::mkdir(host->c_str(), 0777) == 0) {
            setLastError(WinError::Success);
            if (lastError)
                *lastError = WinError::Success;
            return true;
        }
        error = errno == EEXIST   ? WinError::AlreadyExists
                : errno == ENOENT ? WinError::PathNotFound
                                  : windowsErrorFromErrno(errno);
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
    setLastError(ok ? WinError::Success : ec ? windowsErrorFromErrno(ec.value()) : WinError::AlreadyExists);
    return ok;
}

bool WineFileSystem::removeDirectory(std::string_view path)
{
    uint32_t error = 0;
    if (const auto host = hostPathOrError(path, error)) {
        if (::rmdir(host->c_str()) == 0) {
            setLastError(WinError::Success);
            return true;
        }
        error = errno == ENOTDIR  ? WinError::Directory
                : errno == EEXIST ? WinError::DirNotEmpty
                                  : windowsErrorFromErrno(errno);
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
        const int err = errno;
        if (err != ENOENT)
            setLastError(windowsErrorFromErrno(err));
        else
            setLastError(hostStat(hostParent(*host), st) ? WinError::FileNotFound : WinError::PathNotFound);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        setLastError(WinError::AccessDenied);
        return false;
    }
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        setLastError(WinError::AccessDenied); // the read-only attribute protects the file from deletion
        return false;
    }
    if (openedByOthers(*host)) {
        setLastError(WinError::SharingViolation);
        return false;
    }
    if (::unlink(host->c_str()) != 0) {
        setLastError(windowsErrorFromErrno(errno));
        return false;
    }
    setLastError(WinError::Success);
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
        setLastError(host ? WinError::FileNotFound : error);
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
    setLastError(WinError::Success);
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
        setLastError(errno == ENOENT && !hostStat(hostParent(*source), targetStat) ? WinError::PathNotFound
                                                                                   : WinError::FileNotFound);
        return false;
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        setLastError(WinError::AccessDenied);
        return false;
    }
    const bool targetExists = hostStat(*target, targetStat);
    if (targetExists) {
        if (failIfExists) {
            setLastError(WinError::FileExists);
            return false;
        }
        if (S_ISDIR(targetStat.st_mode) || !(targetStat.st_mode & S_IWUSR)) {
            setLastError(WinError::AccessDenied);
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
        setLastError(e.code() ? e.code() : WinError::WriteFault);
        return false;
    }
    // The copy carries the source's attributes and last-write time, as CopyFile does.
    const std::string written = toHostPath(to);
    ::chmod(written.c_str(), sourceStat.st_mode & 07777);
    const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    ::utimensat(AT_FDCWD, written.c_str(), times, 0);
    setLastError(WinError::Success);
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
    const std::string resolvedTarget = driveMap_.hostOf(targetPath);
    struct stat sourceStat, targetStat;
    if (::lstat(source->c_str(), &sourceStat) != 0) {
        setLastError(hostStat(hostParent(*source), targetStat) ? WinError::FileNotFound : WinError::PathNotFound);
        return false;
    }
    std::string target = resolvedTarget;
    if (::lstat(resolvedTarget.c_str(), &targetStat) == 0) {
        if (targetStat.st_dev != sourceStat.st_dev || targetStat.st_ino != sourceStat.st_ino) {
            setLastError(WinError::AlreadyExists);
            return false;
        }
        // The same entry under another spelling: a change of case only. The new name is taken as given.
        if (targetPath.components.empty()) {
            setLastError(WinError::AccessDenied);
            return false;
        }
        target = joinHost(hostParent(resolvedTarget), targetPath.components.back());
        if (target == *source) {
            setLastError(WinError::Success);
            return true;
        }
    }
    if (!S_ISDIR(sourceStat.st_mode) && openedByOthers(*source)) {
        setLastError(WinError::SharingViolation);
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
        setLastError(WinError::Success);
        return true;
    }
    if (err != 0) {
        setLastError(err == EEXIST || err == ENOTEMPTY ? WinError::AlreadyExists
                     : err == ENOENT                   ? WinError::PathNotFound
                     : err == EXDEV                    ? WinError::NotSameDevice
                                                       : windowsErrorFromErrno(err));
        return false;
    }
    setLastError(WinError::Success);
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
        setLastError(WinError::FileNotFound);
        return false;
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        setLastError(WinError::AccessDenied);
        return false;
    }
    if (::lstat(target->c_str(), &targetStat) == 0) {
        if (S_ISDIR(targetStat.st_mode) || (!S_ISLNK(targetStat.st_mode) && !(targetStat.st_mode & S_IWUSR))) {
            setLastError(WinError::AccessDenied);
            return false;
        }
        if (openedByOthers(*target)) {
            setLastError(WinError::SharingViolation);
            return false;
        }
    }
    if (openedByOthers(*source)) {
        setLastError(WinError::SharingViolation);
        return false;
    }
    if (const int err = hostRename(*source, *target, true); err != 0) {
        setLastError(err == ENOENT ? WinError::PathNotFound : windowsErrorFromErrno(err));
        return false;
    }
    setLastError(WinError::Success);
    return true;
}

bool WineFileSystem::flushDirectory(std::string_view path)
{
    uint32_t error = 0;
    const auto host = hostPathOrError(path, error);
    const bool flushed = host && syncHostFolder(*host);
    setLastError(flushed ? WinError::Success : host ? windowsErrorFromErrno(errno) : error);
    return flushed;
}

} // namespace tarvix::platform
