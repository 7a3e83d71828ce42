// The registry of a Wine prefix, read from and written to its hive files:
//   HKEY_LOCAL_MACHINE  system.reg
//   HKEY_CURRENT_USER   user.reg
//   HKEY_USERS\.Default userdef.reg
//   HKEY_CLASSES_ROOT   HKEY_LOCAL_MACHINE\Software\Classes
// The other roots hold nothing.
//
// Every change is saved before the call returns: the hive is written to a temporary file in the prefix folder,
// flushed and renamed over the old one, so a crash leaves the old or the new hive, never a mix. Parsed hives are
// cached and read again when their file changed on disk (another process such as `wine reg add` wrote it).
// While the prefix's wineserver runs it owns the hives, and every write (value set or delete, key create or
// delete) raises RegistryError. A hive that cannot be parsed raises RegistryError naming its file and line on
// every access and is never written over; a missing hive is empty and is created by the first write into it; a
// prefix folder that does not exist holds no keys, and writes into it fail (a prefix is never created here).
//
// The 32-bit view (KEY_WOW64_32KEY, or the thread's 32-bit view mode) on a "#arch=win64" prefix stores
// HKLM\Software\X as HKLM\Software\Wow6432Node\X and Software\Classes\X (HKLM and HKCU) as
// Software\Classes\Wow6432Node\X; a "win32" prefix redirects nothing. Symbolic link keys (Wine marks the keys
// that both views share that way) are followed.
//
// Reads through a key opened without the matching right (KEY_QUERY_VALUE for values, KEY_ENUMERATE_SUB_KEYS for
// subkey names) find nothing, the way Windows refuses them; writes through a key opened without KEY_SET_VALUE
// raise RegistryError (code 5). Reads and writes through a key whose key was deleted meanwhile find nothing and
// raise RegistryError (code 1018).
#pragma once

#include "platform/registry.h"

#include <filesystem>
#include <memory>

namespace tarvix::platform::wine {

class WineRegistry : public Registry {
public:
    explicit WineRegistry(std::filesystem::path prefixDir);
    ~WineRegistry() override;

    std::unique_ptr<RegistryKey> openKey(RegRoot root, std::string_view path, uint32_t access, bool create,
                                         uint32_t* error = nullptr) override;
    bool keyExists(RegRoot root, std::string_view path, uint32_t access = KeyAccess::Read) override;
    bool deleteKey(RegRoot root, std::string_view path, uint32_t access = 0) override;

    const std::filesystem::path& prefixDir() const;
    // "win32" or "win64" from the "#arch=" line of system.reg (of user.reg when system.reg names none); empty
    // when neither does.
    std::string arch();

    struct State; // shared with the open keys, which may outlive the registry object

private:
    std::shared_ptr<State> state_;
};

} // namespace tarvix::platform::wine
