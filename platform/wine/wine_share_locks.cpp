#include "platform/wine/wine_share_locks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarvix::platform {

namespace {

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

} // namespace

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

bool openedByOthers(const std::string& hostPath)
{
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    bool open = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        open = heldByOthers(fd, AccessRead) || heldByOthers(fd, AccessWrite);
    ::close(fd);
    return open;
}

} // namespace tarvix::platform
