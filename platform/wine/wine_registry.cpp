#include "platform/wine/wine_registry.h"

#include "platform/errors.h"
#include "platform/host_file.h"
#include "platform/wine/wine_hive.h"
#include "platform/wine/wineserver_lock.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvix::platform::wine {

namespace {

enum HiveId { SystemHive, UserHive, DefaultUserHive, HiveCount };

struct HiveInfo {
    const char* file;
    const char* relativeTo; // used when the file's header names none
};

constexpr std::array<HiveInfo, HiveCount> kHives{{
    {"system.reg", "REGISTRY\\Machine"},
    {"user.reg", "REGISTRY\\User\\S-1-5-21-0-0-0-1000"},
    {"userdef.reg", "REGISTRY\\User\\.Default"},
}};

// What identifies one version of a file on disk.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    static FileStamp of(const struct stat& st)
    {
        return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileStamp& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

std::string systemText(int err)
{
    return std::strerror(err);
}

// A key path split at its backslashes. One leading and one trailing backslash are ignored; an empty component
// anywhere else makes the path invalid.
std::optional<std::vector<std::string>> splitKeyPath(std::string_view path)
{
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    std::vector<std::string> parts;
    if (path.empty())
        return parts;
    size_t start = 0;
    while (true) {
        size_t sep = path.find('\\', start);
        std::string_view part =
            path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
        if (part.empty())
            return std::nullopt;
        parts.emplace_back(part);
        if (sep == std::string_view::npos)
            break;
        start = sep + 1;
    }
    return parts;
}

bool same(std::string_view a, std::string_view b)
{
    return WineHive::namesEqual(a, b);
}

// Where an open key lives.
struct KeyRef {
    enum class Kind { Hive, UsersRoot, EmptyRoot } kind = Kind::Hive;
    HiveId hive = SystemHive;
    std::vector<std::string> path; // inside the hive, links resolved
};

std::string describe(RegRoot root, std::string_view path)
{
    std::string text(rootName(root));
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty())
        text += "\\" + std::string(path);
    return text;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

struct WineRegistry::State {
    struct Slot {
        std::filesystem::path file;
        std::optional<WineHive> hive;
        bool fromFile = false; // the cached hive is what `stamp` describes; else the file did not exist
        FileStamp stamp;
    };

    std::filesystem::path prefix;
    std::mutex mutex;
    std::array<Slot, HiveCount> slots;

    explicit State(std::filesystem::path dir) : prefix(std::move(dir))
    {
        for (int i = 0; i < HiveCount; ++i)
            slots[i].file = prefix / kHives[i].file;
    }

    // The hive, read again when its file changed since it was cached.
    WineHive& hive(HiveId id)
    {
        Slot& slot = slots[id];
        struct stat st {};
        if (::stat(slot.file.c_str(), &st) != 0) {
            const int err = errno;
            if (err != ENOENT && err != ENOTDIR)
                throw RegistryError("Cannot read the registry file \"" + slot.file.string() + "\": " + systemText(err) +
                                        ".",
                                    WinError::RegistryIoFailed);
            if (!slot.hive || slot.fromFile) {
                slot.hive.reset();
                slot.hive = WineHive::makeEmpty(kHives[id].relativeTo, archForNewHive(id));
                slot.fromFile = false;
            }
            return *slot.hive;
        }
        if (slot.hive && slot.fromFile && slot.stamp == FileStamp::of(st))
            return *slot.hive;

        slot.hive.reset();
        auto readError = [&](int err) {
            return RegistryError("Cannot read the registry file \"" + slot.file.string() + "\": " + systemText(err) +
                                     ".",
                                 WinError::RegistryIoFailed);
        };
        const int fd = ::open(slot.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw readError(errno);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat opened {};
        if (::fstat(fd, &opened) != 0)
            throw readError(errno);
        // The hive reads the file straight into memory of its own.
        size_t total = 0;
        int failure = 0;
        auto fill = [&](char* buffer, size_t capacity) -> size_t {
            while (true) {
                const ssize_t n = ::read(fd, buffer, capacity);
                if (n >= 0) {
                    total += static_cast<size_t>(n);
                    return static_cast<size_t>(n);
                }
                if (errno != EINTR) {
                    failure = errno;
                    throw readError(failure);
                }
            }
        };
        try {
            slot.hive = WineHive::read(static_cast<size_t>(opened.st_size), fill, slot.file.string());
        } catch (const RegistryError&) {
            if (failure != 0 || total != 0)
                throw;
            // An empty file holds nothing to keep: the first write gives it Wine's header.
            slot.hive = WineHive::makeEmpty(kHives[id].relativeTo, archForNewHive(id));
        }
        slot.fromFile = true;
        slot.stamp = FileStamp::of(opened);
        return *slot.hive;
    }

    // The "#arch=" line a new user hive gets: the one of system.reg (none when that cannot be read).
    std::string archForNewHive(HiveId id)
    {
        if (id == SystemHive)
            return {};
        try {
            return hive(SystemHive).arch();
        } catch (const RegistryError&) {
            return {};
        }
    }

    std::string arch()
    {
        std::string a = hive(SystemHive).arch();
        return a.empty() ? hive(UserHive).arch() : a;
    }

    std::string relativeTo(HiveId id)
    {
        const std::string& r = hive(id).relativeTo();
        return r.empty() ? kHives[id].relativeTo : r;
    }

    // Refuses writes into a prefix that does not exist or whose wineserver owns the hives.
    void ensureWritable()
    {
        std::error_code ec;
        if (!std::filesystem::is_directory(prefix, ec))
            throw RegistryError("The Wine prefix \"" + prefix.string() +
                                    "\" does not exist; the registry change was not written.",
                                WinError::PathNotFound);
        ensureWineserverStopped(prefix);
    }

    // Writes the hive atomically. On failure the old file stays and the cached hive is dropped, so the change
    // that could not be saved is not seen either.
    void save(HiveId id)
    {
        Slot& slot = slots[id];
        try {
            writeAtomically(slot.file, *slot.hive);
        } catch (...) {
            slot.hive.reset();
            slot.fromFile = false;
            throw;
        }
        struct stat st {};
        if (::stat(slot.file.c_str(), &st) == 0) {
            slot.stamp = FileStamp::of(st);
            slot.fromFile = true;
        } else {
            slot.hive.reset();
        }
    }

    static void writeAtomically(const std::filesystem::path& file, const WineHive& hive)
    {
        try {
            // The long runs of text as read go out as they are; the short pieces between them are gathered first.
            replaceHostFile(file, [&](const HostFileSink& sink) {
                constexpr size_t kGather = 64 * 1024;
                std::string gathered;
                auto flush = [&] {
                    sink(gathered.data(), gathered.size());
                    gathered.clear();
                };
                hive.write([&](std::string_view piece) {
                    if (gathered.size() + piece.size() > kGather && !gathered.empty())
                        flush();
                    if (piece.size() >= kGather)
                        sink(piece.data(), piece.size());
                    else
                        gathered += piece;
                });
                if (!gathered.empty())
                    flush();
            });
        } catch (const HostFileError& e) {
            throw RegistryError("Cannot save the registry file \"" + file.string() + "\": " + e.what() +
                                    ". The file was left unchanged.",
                                WinError::RegistryIoFailed);
        }
    }

    // Maps a link target ("\Registry\Machine\Software\...") to a hive and a path in it.
    std::optional<std::pair<HiveId, std::vector<std::string>>> mapLinkTarget(const std::string& target)
    {
        auto parts = splitKeyPath(target);
        if (!parts)
            return std::nullopt;
        for (int i = 0; i < HiveCount; ++i) {
            auto base = splitKeyPath(relativeTo(static_cast<HiveId>(i)));
            if (!base || base->empty() || base->size() > parts->size())
                continue;
            bool match = true;
            for (size_t k = 0; k < base->size() && match; ++k)
                match = same((*base)[k], (*parts)[k]);
            if (match)
                return std::make_pair(
                    static_cast<HiveId>(i),
                    std::vector<std::string>(parts->begin() + static_cast<std::ptrdiff_t>(base->size()), parts->end()));
        }
        return std::nullopt;
    }

    // Walks `ref` from its hive's root, following link keys. With `create`, missing keys are made (the caller
    // saves the hives in `touched`). Returns the key's real place, or nothing when it does not exist.
    std::optional<KeyRef> resolve(KeyRef ref, bool create, std::array<bool, HiveCount>* touched = nullptr)
    {
        const auto now = std::chrono::system_clock::now();
        for (int hops = 0; hops < 32; ++hops) {
            WineHive& h = hive(ref.hive);
            WineHive::Node* node = h.root();
            bool redirected = false;
            for (size_t i = 0; i < ref.path.size(); ++i) {
                WineHive::Node* next = h.child(node, ref.path[i]);
                if (!next) {
                    if (!create)
                        return std::nullopt;
                    h.createKey(
                        node,
                        std::vector<std::string>(ref.path.begin() + static_cast<std::ptrdiff_t>(i), ref.path.end()),
                        now);
                    (*touched)[ref.hive] = true;
                    return ref;
                }
                if (h.isLink(next)) {
                    if (auto target = h.linkTarget(next)) {
                        if (auto mapped = mapLinkTarget(*target)) {
                            std::vector<std::string> path = mapped->second;
                            path.insert(path.end(), ref.path.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        ref.path.end());
                            ref.hive = mapped->first;
                            ref.path = std::move(path);
                            redirected = true;
                            break;
                        }
                    }
                }
                ref.path[i] = h.name(next);
                node = next;
            }
            if (!redirected)
                return ref;
        }
        return std::nullopt; // a loop of links
    }

    // The key the ref names, without following links (the ref is already resolved).
    WineHive::Node* find(const KeyRef& ref)
    {
        WineHive& h = hive(ref.hive);
        WineHive::Node* node = h.root();
        for (const auto& part : ref.path) {
            node = h.child(node, part);
            if (!node)
                return nullptr;
        }
        return node;
    }

    // Root and path to a place in a hive, the 32-bit view applied. Returns false (and the error) when the root
    // cannot hold the path.
    bool locate(RegRoot root, std::vector<std::string> parts, bool view32, bool create, KeyRef& ref, uint32_t& error)
    {
        ref = KeyRef{};
        switch (root) {
        case RegRoot::LocalMachine: ref.hive = SystemHive; break;
        case RegRoot::CurrentUser: ref.hive = UserHive; break;
        case RegRoot::ClassesRoot:
            ref.hive = SystemHive;
            parts.insert(parts.begin(), {"Software", "Classes"});
            break;
        case RegRoot::Users:
            if (parts.empty()) {
                ref.kind = KeyRef::Kind::UsersRoot;
                return true;
            }
            if (!same(parts.front(), ".Default")) {
                error = create ? WinError::AccessDenied : WinError::FileNotFound;
                return false;
            }
            ref.hive = DefaultUserHive;
            parts.erase(parts.begin());
            break;
        default:
            if (!parts.empty()) {
                error = create ? WinError::AccessDenied : WinError::FileNotFound;
                return false;
            }
            ref.kind = KeyRef::Kind::EmptyRoot;
            return true;
        }
        if (view32 && arch() == "win64")
            redirect32(ref.hive, parts);
        ref.path = std::move(parts);
        return true;
    }

    static void redirect32(HiveId hive, std::vector<std::string>& parts)
    {
        if (parts.empty() || !same(parts[0], "Software"))
            return;
        const bool classes = parts.size() >= 2 && same(parts[1], "Classes");
        if (classes) {
            if (parts.size() < 3 || !same(parts[2], "Wow6432Node"))
                parts.insert(parts.begin() + 2, "Wow6432Node");
        } else if (hive == SystemHive) {
            if (parts.size() < 2 || !same(parts[1], "Wow6432Node"))
                parts.insert(parts.begin() + 1, "Wow6432Node");
        }
    }
};

// ---------------------------------------------------------------------------------------------------------------

namespace {

class WineRegistryKey final : public RegistryKey {
public:
    WineRegistryKey(std::shared_ptr<WineRegistry::State> state, KeyRef ref, uint32_t access, std::string name)
        : state_(std::move(state)),
          ref_(std::move(ref)),
          access_(access),
          name_(std::move(name))
    {}

    std::vector<std::string> subKeyNames() const override
    {
        if (!(access_ & KeyAccess::EnumerateSubKeys))
            return {};
        std::lock_guard lock(state_->mutex);
        if (ref_.kind == KeyRef::Kind::UsersRoot)
            return {".Default"};
        if (ref_.kind == KeyRef::Kind::EmptyRoot)
            return {};
        const WineHive::Node* node = state_->find(ref_);
        return node ? state_->hive(ref_.hive).subKeyNames(node) : std::vector<std::string>{};
    }

    std::vector<std::string> valueNames() const override
    {
        if (!(access_ & KeyAccess::QueryValue) || ref_.kind != KeyRef::Kind::Hive)
            return {};
        std::lock_guard lock(state_->mutex);
        const WineHive::Node* node = state_->find(ref_);
        return node ? state_->hive(ref_.hive).valueNames(node) : std::vector<std::string>{};
    }

    std::optional<RegValueInfo> valueInfo(std::string_view name) const override
    {
        auto v = value(name);
        if (!v)
            return std::nullopt;
        return RegValueInfo{v->type, static_cast<uint32_t>(v->data.size())};
    }

    std::optional<RegValue> value(std::string_view name) const override
    {
        if (!(access_ & KeyAccess::QueryValue) || ref_.kind != KeyRef::Kind::Hive)
            return std::nullopt;
        std::lock_guard lock(state_->mutex);
        const WineHive::Node* node = state_->find(ref_);
        return node ? state_->hive(ref_.hive).value(node, name) : std::nullopt;
    }

    void setValue(std::string_view name, const RegValue& value) override
    {
        std::lock_guard lock(state_->mutex);
        WineHive::Node* node = writableNode("store the value \"" + std::string(name) + "\" in");
        // The data the value already has is no change, and nothing is saved for it.
        if (state_->hive(ref_.hive).setValue(node, name, value, std::chrono::system_clock::now()))
            state_->save(ref_.hive);
    }

    bool deleteValue(std::string_view name) override
    {
        std::lock_guard lock(state_->mutex);
        WineHive::Node* node = writableNode("delete the value \"" + std::string(name) + "\" of");
        if (!state_->hive(ref_.hive).deleteValue(node, name, std::chrono::system_clock::now()))
            return false;
        state_->save(ref_.hive);
        return true;
    }

private:
    WineHive::Node* writableNode(const std::string& action)
    {
        if (!(access_ & KeyAccess::SetValue))
            throw RegistryError("Cannot " + action + " the key " + name_ +
                                    ": the key was opened without the right "
                                    "to set values.",
                                WinError::AccessDenied);
        if (ref_.kind != KeyRef::Kind::Hive || ref_.path.empty())
            throw RegistryError("Cannot " + action + " the key " + name_ + ": this root key holds no values.",
                                WinError::AccessDenied);
        state_->ensureWritable();
        WineHive::Node* node = state_->find(ref_);
        if (!node)
            throw RegistryError("Cannot " + action + " the key " + name_ + ": the key has been deleted.",
                                WinError::KeyDeleted);
        return node;
    }

    std::shared_ptr<WineRegistry::State> state_;
    KeyRef ref_;
    uint32_t access_;
    std::string name_;
};

bool view32For(uint32_t access)
{
    if (access & KeyAccess::Wow64_32Key)
        return true;
    return Registry::threadView32() && !(access & KeyAccess::Wow64_64Key);
}

} // namespace

WineRegistry::WineRegistry(std::filesystem::path prefixDir) : state_(std::make_shared<State>(std::move(prefixDir))) {}

WineRegistry::~WineRegistry() = default;

const std::filesystem::path& WineRegistry::prefixDir() const
{
    return state_->prefix;
}

std::string WineRegistry::arch()
{
    std::lock_guard lock(state_->mutex);
    return state_->arch();
}

std::unique_ptr<RegistryKey> WineRegistry::openKey(RegRoot root, std::string_view path, uint32_t access, bool create,
                                                   uint32_t* error)
{
    uint32_t code = 0;
    auto fail = [&](uint32_t c) -> std::unique_ptr<RegistryKey> {
        if (error)
            *error = c;
        return nullptr;
    };
    auto parts = splitKeyPath(path);
    if (!parts)
        return fail(WinError::BadPathName);

    std::lock_guard lock(state_->mutex);
    KeyRef ref;
    if (!state_->locate(root, std::move(*parts), view32For(access), create, ref, code))
        return fail(code);
    if (ref.kind == KeyRef::Kind::Hive) {
        std::optional<KeyRef> found = state_->resolve(ref, false);
        if (!found && create) {
            state_->ensureWritable();
            std::array<bool, HiveCount> touched{};
            try {
                found = state_->resolve(ref, true, &touched);
            } catch (...) {
                for (int i = 0; i < HiveCount; ++i)
                    state_->slots[i].hive.reset(); // drop half-made changes
                throw;
            }
            for (int i = 0; i < HiveCount; ++i) {
                if (touched[i])
                    state_->save(static_cast<HiveId>(i));
            }
        }
        if (!found)
            return fail(WinError::FileNotFound);
        ref = std::move(*found);
    }
    if (error)
        *error = WinError::Success;
    return std::make_unique<WineRegistryKey>(state_, std::move(ref), access, describe(root, path));
}

bool WineRegistry::keyExists(RegRoot root, std::string_view path, uint32_t access)
{
    auto parts = splitKeyPath(path);
    if (!parts)
        return false;
    std::lock_guard lock(state_->mutex);
    KeyRef ref;
    uint32_t code = 0;
    if (!state_->locate(root, std::move(*parts), view32For(access), false, ref, code))
        return false;
    return ref.kind != KeyRef::Kind::Hive || state_->resolve(ref, false).has_value();
}

bool WineRegistry::deleteKey(RegRoot root, std::string_view path, uint32_t access)
{
    auto parts = splitKeyPath(path);
    if (!parts)
        return false;
    std::lock_guard lock(state_->mutex);
    KeyRef ref;
    uint32_t code = 0;
    if (!state_->locate(root, std::move(*parts), view32For(access), false, ref, code) ||
        ref.kind != KeyRef::Kind::Hive || ref.path.empty())
        return false;
    state_->ensureWritable();
    // The parent is found through links; the key itself is removed as it is (a link key goes, not its target).
    KeyRef parent = ref;
    const std::string last = parent.path.back();
    parent.path.pop_back();
    std::optional<KeyRef> found = state_->resolve(parent, false);
    if (!found)
        return false;
    WineHive::Node* node = state_->find(*found);
    if (!node || !state_->hive(found->hive).removeChild(node, last, std::chrono::system_clock::now()))
        return false;
    state_->save(found->hive);
    return true;
}

} // namespace tarvix::platform::wine
