#include "platform/host_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarvix::platform {

namespace {

[[noreturn]] void fail(HostFileStep step, const std::string& what, int err)
{
    throw HostFileError(what + ": " + std::strerror(err), step, err);
}

// The temporary file beside the target while it is written; removed unless it was renamed over the target.
class Temporary {
public:
    Temporary(const fs::path& folder, const fs::path& file)
        // A leading dot keeps the half-written file out of ordinary listings.
        : path_((folder / ("." + file.filename().string() + ".XXXXXX")).string())
    {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            const int err = errno;
            fail(HostFileStep::CreateTemporary, "cannot create a temporary file in \"" + folder.string() + "\"", err);
        }
    }
    ~Temporary()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!renamed_)
            ::unlink(path_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    int fd() const { return fd_; }

    void close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            const int err = errno;
            fail(HostFileStep::Write, "cannot write the temporary file", err);
        }
    }
    void renamedOver(const fs::path& file)
    {
        if (::rename(path_.c_str(), file.c_str()) != 0) {
            const int err = errno;
            fail(HostFileStep::Replace, "cannot replace the file", err);
        }
        renamed_ = true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool renamed_ = false;
};

void applyMode(const Temporary& temporary, const fs::path& file, const fs::path& folder, const HostFileOptions& options)
{
    const int fd = temporary.fd();
    if (options.mode) {
        if (::fchmod(fd, static_cast<mode_t>(*options.mode) & 07777) != 0) {
            const int err = errno;
            fail(HostFileStep::Write, "cannot set the permissions of the temporary file", err);
        }
        return;
    }
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
        if (::geteuid() == 0)
            (void)::fchown(fd, old.st_uid, old.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        struct stat owner {};
        if (::geteuid() == 0 && ::stat(folder.c_str(), &owner) == 0)
            (void)::fchown(fd, owner.st_uid, owner.st_gid);
    }
}

} // namespace

void replaceHostFile(const fs::path& file, const std::function<void(const HostFileSink&)>& produce,
                     const HostFileOptions& options)
{
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    Temporary temporary(folder, file);
    applyMode(temporary, file, folder, options);

    const HostFileSink sink = [&temporary](const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(temporary.fd(), data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                const int err = written == 0 ? EIO : errno;
                fail(HostFileStep::Write, "cannot write the temporary file", err);
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    };
    produce(sink);
    if (::fsync(temporary.fd()) != 0) {
        const int err = errno;
        fail(HostFileStep::Write, "cannot flush the temporary file", err);
    }
    temporary.close();
    temporary.renamedOver(file);
    // The new file is in place; a folder that cannot be flushed makes the rename less durable, not undone.
    syncHostFolder(folder);
}

void replaceHostFile(const fs::path& file, std::string_view bytes, const HostFileOptions& options)
{
    replaceHostFile(
        file, [bytes](const HostFileSink& write) { write(bytes.data(), bytes.size()); }, options);
}

bool syncHostFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!flushed)
        errno = err;
    return flushed;
}

} // namespace tarvix::platform
