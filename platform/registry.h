// The Windows registry as the rest of the system sees it: predefined roots, keys opened with an access mask,
// typed values with their exact Windows bytes. Backends: the Wine prefix's hive files (platform/wine/) and,
// later, advapi32 on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

// Predefined root keys with their Windows handle values.
enum class RegRoot : uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    PerformanceData = 0x80000004u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

// "HKEY_LOCAL_MACHINE" and so on.
std::string_view rootName(RegRoot root);
// Accepts the full names ("HKEY_CURRENT_USER") and the short ones ("HKCU"), without regard to case.
std::optional<RegRoot> rootFromName(std::string_view name);

// Registry value types (REG_*).
namespace RegType {
inline constexpr uint32_t None = 0;
inline constexpr uint32_t Sz = 1;
inline constexpr uint32_t ExpandSz = 2;
inline constexpr uint32_t Binary = 3;
inline constexpr uint32_t Dword = 4;
inline constexpr uint32_t DwordBigEndian = 5;
inline constexpr uint32_t Link = 6;
inline constexpr uint32_t MultiSz = 7;
inline constexpr uint32_t ResourceList = 8;
inline constexpr uint32_t Qword = 11;
} // namespace RegType

// Access masks (KEY_*). The two WOW64 flags choose the registry view on a 64-bit system.
namespace KeyAccess {
inline constexpr uint32_t QueryValue = 0x0001;
inline constexpr uint32_t SetValue = 0x0002;
inline constexpr uint32_t CreateSubKey = 0x0004;
inline constexpr uint32_t EnumerateSubKeys = 0x0008;
inline constexpr uint32_t Notify = 0x0010;
inline constexpr uint32_t CreateLink = 0x0020;
inline constexpr uint32_t Wow64_64Key = 0x0100;
inline constexpr uint32_t Wow64_32Key = 0x0200;
inline constexpr uint32_t Read = 0x20019;
inline constexpr uint32_t Write = 0x20006;
inline constexpr uint32_t Execute = 0x20019;
inline constexpr uint32_t AllAccess = 0xF003F;
} // namespace KeyAccess

// A value as Windows hands it out: its type and its bytes. Strings are UTF-16LE with their terminating zero
// (REG_MULTI_SZ: every string terminated, plus the final empty one); REG_DWORD is 4 little-endian bytes.
struct RegValue {
    uint32_t type = RegType::None;
    std::string data;

    static RegValue string(std::string_view utf8, uint32_t type = RegType::Sz);
    static RegValue multiString(const std::vector<std::string>& utf8Strings);
    static RegValue dword(uint32_t value);
    static RegValue binary(std::string_view bytes);

    // The text of a REG_SZ, REG_EXPAND_SZ or REG_LINK value (and of any value read as UTF-16 text), cut at the
    // first zero character.
    std::string asString() const;
    std::vector<std::string> asMultiString() const;
    // The first 4 bytes as a little-endian integer (missing bytes count as zero).
    uint32_t asDword() const;

    bool operator==(const RegValue&) const = default;
};

struct RegValueInfo {
    uint32_t type = RegType::None;
    uint32_t size = 0; // bytes, as RegQueryValueEx reports them
};

// An open key. Every change is saved before the call returns (the backend's store is never left half-written).
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // Names keep the case they were created with; lookups ignore case.
    virtual std::vector<std::string> subKeyNames() const = 0;
    virtual std::vector<std::string> valueNames() const = 0;
    // The empty name is the key's default value.
    virtual std::optional<RegValueInfo> valueInfo(std::string_view name) const = 0;
    virtual std::optional<RegValue> value(std::string_view name) const = 0;

    // Raises RegistryError when the value cannot be stored (the key was opened without KEY_SET_VALUE, the store
    // is owned by another process, saving failed).
    virtual void setValue(std::string_view name, const RegValue& value) = 0;
    // False when there is no such value. Raises RegistryError as setValue does.
    virtual bool deleteValue(std::string_view name) = 0;

    // Conveniences over value()/setValue().
    std::optional<std::string> readString(std::string_view name) const; // REG_SZ or REG_EXPAND_SZ only
    std::optional<uint32_t> readDword(std::string_view name) const;     // REG_DWORD only
    void writeString(std::string_view name, std::string_view utf8, uint32_t type = RegType::Sz);
    void writeDword(std::string_view name, uint32_t value);
};

class Registry {
public:
    virtual ~Registry() = default;

    // Opens root\path. Backslashes separate the components; a leading backslash is ignored (paths are always
    // taken from the root). `access` is a KeyAccess mask and may carry Wow64_32Key; while the calling thread's
    // 32-bit view mode is on, Wow64_32Key is added to every open. With `create`, missing keys are created.
    // Returns nullptr when the key does not exist (and is not to be created) or the access is refused; `error`
    // then receives the Windows error code (2 not found, 5 access denied, 161 bad path).
    // Creating a key that has to be saved raises RegistryError when the store cannot be written.
    virtual std::unique_ptr<RegistryKey> openKey(RegRoot root, std::string_view path, uint32_t access, bool create,
                                                 uint32_t* error = nullptr) = 0;

    // Never creates anything. `access` matters for its view flags only.
    virtual bool keyExists(RegRoot root, std::string_view path, uint32_t access = KeyAccess::Read) = 0;

    // Deletes the key with its whole subtree. False when it does not exist or is a root. Raises RegistryError
    // when the store cannot be written.
    virtual bool deleteKey(RegRoot root, std::string_view path, uint32_t access = 0) = 0;

    // The calling thread's 32-bit view mode (see openKey). Returns the previous setting.
    static bool threadView32();
    static bool setThreadView32(bool on);
};

// Turns the calling thread's 32-bit view mode on for a scope and restores the previous setting on exit,
// also when the scope is left by an exception.
class ScopedRegistryView32 {
public:
    ScopedRegistryView32() : previous_(Registry::setThreadView32(true)) {}
    ~ScopedRegistryView32() { Registry::setThreadView32(previous_); }
    ScopedRegistryView32(const ScopedRegistryView32&) = delete;
    ScopedRegistryView32& operator=(const ScopedRegistryView32&) = delete;

private:
    bool previous_;
};

} // namespace tarvix::platform
