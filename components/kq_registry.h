// TRegistry: a registry object with one current key, over the platform registry. It holds a root, an access
// mask and at most one open key; values are read and written through the open key in their exact registry
// types. The components that keep settings in the registry (the registry manager, the form saver) own one each.
//
// Errors: every refusal of the platform registry (a value it will not store, a hive it cannot read or save)
// reaches the caller as ERegistryException, and so do the typed reads whose value has another type or size than
// the read can take. Opening a key is the exception: a key that cannot be opened or created is reported by
// OpenKey's result, never by an exception, the way the system's own open call answers with an error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "components/kq_datetime.h"
#include "platform/errors.h"
#include "platform/registry.h"

namespace tarvix {

class ERegistryException : public platform::RegistryError {
public:
    using platform::RegistryError::RegistryError;
};

class TRegistry {
public:
    // `backend` is the registry to work on; null means platform::current().registry(), looked up at each call.
    // The object starts on HKEY_CURRENT_USER with no key open.
    explicit TRegistry(uint32_t access = platform::KeyAccess::AllAccess, platform::Registry* backend = nullptr);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Changing the root closes the current key.
    platform::RegRoot RootKey() const { return FRootKey; }
    void SetRootKey(platform::RegRoot root);
    // The KEY_* mask keys are opened with from now on.
    uint32_t Access() const { return FAccess; }
    void SetAccess(uint32_t access) { FAccess = access; }

    // The path of the open key below the root, without a leading backslash; empty when none is open.
    const std::string& CurrentPath() const { return FCurrentPath; }
    bool HasCurrentKey() const { return FCurrentKey != nullptr; }

    // Opens `key` and makes it the current key, creating it (and its missing parents) when `canCreate`. A path
    // with a leading backslash is taken from the root; one without from the current key when one is open, else
    // from the root. False when the key does not exist and may not be created, the path is not valid, the access
    // is refused or the key cannot be created; the previous current key then stays open.
    bool OpenKey(std::string_view key, bool canCreate);
    void CloseKey();
    // The Windows error code of the last OpenKey that failed (WinError::FileNotFound, AccessDenied, BadPathName);
    // 0 after one that succeeded.
    uint32_t LastError() const { return FLastError; }

    // Paths as for OpenKey. KeyExists never creates anything; DeleteKey removes the key with its whole subtree
    // and is False when there was no such key.
    bool KeyExists(std::string_view key);
    bool DeleteKey(std::string_view key);

    // --- Values of the current key. With no key open these find nothing; writes raise. ---
    std::optional<platform::RegValueInfo> GetDataInfo(std::string_view name) const;
    // Size in bytes; -1 when there is no such value.
    int GetDataSize(std::string_view name) const;
    std::optional<uint32_t> GetDataType(std::string_view name) const;
    bool ValueExists(std::string_view name) const;
    bool DeleteValue(std::string_view name);
    std::vector<std::string> GetValueNames() const;
    std::vector<std::string> GetKeyNames() const;

    // Typed reads: ERegistryException when the value is missing or its type does not fit.
    // REG_SZ or REG_EXPAND_SZ (the text as stored; nothing is expanded).
    std::string ReadString(std::string_view name) const;
    // REG_DWORD.
    int32_t ReadInteger(std::string_view name) const;
    // REG_BINARY of exactly 8 bytes: an IEEE 754 double, little-endian.
    double ReadFloat(std::string_view name) const;
    TDateTime ReadDateTime(std::string_view name) const { return ReadFloat(name); }
    // REG_BINARY whose size is at most `bufSize`: its bytes are copied to `buffer` and their number returned.
    std::size_t ReadBinaryData(std::string_view name, void* buffer, std::size_t bufSize) const;

    // Typed writes replace any value of that name, of any type.
    void WriteString(std::string_view name, std::string_view value);       // REG_SZ
    void WriteExpandString(std::string_view name, std::string_view value); // REG_EXPAND_SZ
    void WriteInteger(std::string_view name, int32_t value);               // REG_DWORD
    void WriteFloat(std::string_view name, double value);                  // REG_BINARY, 8 bytes
    void WriteDateTime(std::string_view name, TDateTime value) { WriteFloat(name, value); }
    void WriteBinaryData(std::string_view name, const void* buffer, std::size_t bufSize); // REG_BINARY

private:
    platform::Registry& Backend() const;
    std::string Resolve(std::string_view key) const;
    platform::RegistryKey& RequireKey(std::string_view name) const;
    platform::RegValue RequireValue(std::string_view name, uint32_t type) const;
    void Put(std::string_view name, const platform::RegValue& value);

    platform::Registry* FBackend;
    platform::RegRoot FRootKey = platform::RegRoot::CurrentUser;
    uint32_t FAccess;
    std::unique_ptr<platform::RegistryKey> FCurrentKey;
    std::string FCurrentPath;
    uint32_t FLastError = 0;
};

} // namespace tarvix
