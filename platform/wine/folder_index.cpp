#include "platform/wine/folder_index.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <list>
#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/ascii_case.h"
#include "platform/wine/host_paths.h"
#include "platform/wine/windows_names.h"

namespace tarvix::platform {

namespace {

// Folders with fewer entries are read each time: cheap, and no watch to keep.
constexpr std::size_t IndexThreshold = 128;
constexpr std::size_t MaxIndexedFolders = 8;
constexpr uint32_t WatchMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// File systems whose changes, made by anyone, reach inotify. Network and FUSE file systems can change behind
// its back, so their folders are always read.
bool localFileSystem(const std::string& dir)
{
    struct statfs fs;
    if (::statfs(dir.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x2FC12FC1: // zfs
        return true;
    default: return false;
    }
}

using Names = std::unordered_map<std::u16string, std::set<std::string>>;

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether `entry` is the name whose upper-case form is `wanted` (of the name `wantedName`). Two ASCII names need
// no case table; a name with other characters may still match an ASCII one (the dotless i is an I).
bool sameUpperName(std::string_view entry, std::string_view wantedName, const std::u16string& wanted)
{
    if (isAscii(entry) && isAscii(wantedName)) {
        return entry.size() == wantedName.size() &&
               std::equal(entry.begin(), entry.end(), wantedName.begin(),
                          [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
    }
    return upperName(entry) == wanted;
}

// Reads the folder, filling `names` when given, and looking for the entry of `wantedName` (upper case: `wanted`)
// when `found` is given; false when it cannot be read.
bool readFolder(const std::string& dir, Names* names, std::size_t& count, const std::string* wantedName,
                const std::u16string* wanted, std::optional<std::string>* found)
{
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return false;
    count = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view entry = e->d_name;
        if (entry == "." || entry == "..")
            continue;
        ++count;
        if (wanted && found && (!*found || entry < **found) && sameUpperName(entry, *wantedName, *wanted))
            *found = std::string(entry);
        if (names)
            (*names)[upperName(entry)].insert(std::string(entry));
    }
    ::closedir(d);
    return true;
}

class Index {
public:
    std::optional<std::string> find(const std::string& dir, const std::string& name)
    {
        const std::u16string wanted = upperName(name);
        std::lock_guard lock(mutex_);
        if (fd_ >= 0 && owner_ != ::getpid()) {
            // A forked child shares the parent's event queue: reading it would steal the parent's events. The
            // child starts over with a queue of its own.
            ::close(fd_);
            fd_ = -2;
            folders_.clear();
            byWatch_.clear();
        }
        drainEvents();

        struct stat st;
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return std::nullopt;
        if (Folder* folder = lookup(dir)) {
            if (folder->dev == st.st_dev && folder->ino == st.st_ino) {
                folder->lastUse = ++clock_;
                const auto it = folder->names.find(wanted);
                if (it == folder->names.end() || it->second.empty())
                    return std::nullopt;
                return *it->second.begin();
            }
            drop(dir, true); // the path leads to another folder now
        }

        std::optional<std::string> found;
        std::size_t count = 0;
        if (!readFolder(dir, nullptr, count, &name, &wanted, &found))
            return std::nullopt;
        if (count >= IndexThreshold && localFileSystem(dir))
            build(dir, st);
        return found;
    }

private:
    struct Folder {
        int wd = -1;
        dev_t dev = 0;
        ino_t ino = 0;
        uint64_t lastUse = 0;
        Names names;
    };

    Folder* lookup(const std::string& dir)
    {
        const auto it = folders_.find(dir);
        return it == folders_.end() ? nullptr : &it->second;
    }

    void drop(const std::string& dir, bool removeWatch)
    {
        const auto it = folders_.find(dir);
        if (it == folders_.end())
            return;
        const int wd = it->second.wd;
        folders_.erase(it);
        // Several paths may lead to one folder and share its watch; keep it while another uses it.
        for (const auto& [path, folder] : folders_)
            if (folder.wd == wd)
                return;
        byWatch_.erase(wd);
        if (removeWatch)
            ::inotify_rm_watch(fd_, wd);
    }

    void dropWatch(int wd, bool removeWatch)
    {
        std::list<std::string> paths;
        for (const auto& [path, folder] : folders_)
            if (folder.wd == wd)
                paths.push_back(path);
        for (const auto& path : paths)
            drop(path, removeWatch);
    }

    // Indexes the folder: the watch first, then the reading, so that a change made meanwhile is in the event
    // queue and is applied (again, harmlessly) before the next answer.
    void build(const std::string& dir, const struct stat& st)
    {
        if (fd_ == -2) {
            fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            owner_ = ::getpid();
        }
        if (fd_ < 0)
            return;
        if (folders_.size() >= MaxIndexedFolders) {
            auto oldest = folders_.begin();
            for (auto it = folders_.begin(); it != folders_.end(); ++it)
                if (it->second.lastUse < oldest->second.lastUse)
                    oldest = it;
            const std::string path = oldest->first;
            drop(path, true);
        }
        const int wd = ::inotify_add_watch(fd_, dir.c_str(), WatchMask);
        if (wd < 0)
            return;
        Folder folder;
        folder.wd = wd;
        folder.dev = st.st_dev;
        folder.ino = st.st_ino;
        folder.lastUse = ++clock_;
        std::size_t count = 0;
        struct stat now;
        if (!readFolder(dir, &folder.names, count, nullptr, nullptr, nullptr) || ::stat(dir.c_str(), &now) != 0 ||
            now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
            if (!byWatch_.count(wd))
                ::inotify_rm_watch(fd_, wd);
            return;
        }
        byWatch_[wd] = true;
        folders_[dir] = std::move(folder);
    }

    void drainEvents()
    {
        if (fd_ < 0)
            return;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno != EAGAIN) {
                    // The queue cannot be read: nothing can be trusted any more.
                    forgetAll();
                }
                return;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                apply(*event);
            }
            // A read hands over every event the queue holds that fits; room left for one more means it held no
            // more (what came since belongs to changes made while we looked).
            if (sizeof buffer - static_cast<size_t>(n) >= sizeof(inotify_event) + NAME_MAX + 1)
                return;
        }
    }

    void apply(const inotify_event& event)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            forgetAll();
            return;
        }
        if (event.mask & IN_IGNORED) {
            dropWatch(event.wd, false);
            return;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            dropWatch(event.wd, true);
            return;
        }
        if (event.len == 0)
            return;
        const std::string name(event.name, ::strnlen(event.name, event.len));
        for (auto& [path, folder] : folders_) {
            if (folder.wd != event.wd)
                continue;
            if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
                folder.names[upperName(name)].insert(name);
            } else if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
                const auto it = folder.names.find(upperName(name));
                if (it != folder.names.end()) {
                    it->second.erase(name);
                    if (it->second.empty())
                        folder.names.erase(it);
                }
            }
        }
    }

    void forgetAll()
    {
        for (const auto& [wd, unused] : byWatch_)
            ::inotify_rm_watch(fd_, wd);
        folders_.clear();
        byWatch_.clear();
    }

    std::mutex mutex_;
    int fd_ = -2; // not made yet
    pid_t owner_ = 0;
    uint64_t clock_ = 0;
    std::unordered_map<std::string, Folder> folders_;
    std::unordered_map<int, bool> byWatch_;
};

// Made once and never destroyed: lookups may happen while other static objects go away.
Index& index()
{
    static Index* instance = new Index;
    return *instance;
}

} // namespace

std::optional<std::string> findEntryIgnoringCase(const std::string& dir, const std::string& name)
{
    return index().find(dir, name);
}

std::optional<std::string> findEntry(const std::string& dir, const std::string& name)
{
    struct stat st;
    if (::lstat(joinHost(dir, name).c_str(), &st) == 0)
        return name;
    return findEntryIgnoringCase(dir, name);
}

} // namespace tarvix::platform
