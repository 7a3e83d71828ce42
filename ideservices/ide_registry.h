// The registry routines of the IDE installation services, over the current system's registry
// (platform::current()). Key paths are taken from the root: a leading backslash is ignored, and a path may start
// with the full name of its own root ("HKEY_CURRENT_USER\Software\..."), which is then dropped. The calling
// thread's 32-bit view mode applies to every open (platform::ScopedRegistryView32).
//
// Missing keys are answered quietly (false, nothing read). EIdeRegistryError is raised only when a key that was
// found to exist cannot then be opened for reading (`Unable to open key "HKEY_LOCAL_MACHINE\SOFTWARE\X" for
// read`) and when a path names another root (`"HKEY_CURRENT_USER\X" does not match RootKey`).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ideservices/ide_msbuild_properties.h"
#include "platform/registry.h"

namespace tarvix {

// The key path below `root`: without its leading backslash and without a leading name of `root` itself. Raises
// EIdeRegistryError when the path starts with the name of another root.
std::string IdeRegRelativeKey(platform::RegRoot root, std::string_view key);

bool IdeRegKeyExists(platform::RegRoot root, std::string_view key);

// Subkey names in the registry's order. False (and nothing added) when the key does not exist or cannot be
// opened for enumeration.
bool IdeRegGetKeyNames(platform::RegRoot root, std::string_view key, std::vector<std::string>& names);

// Value names in the registry's order. False when the key does not exist.
bool IdeRegGetValueNames(platform::RegRoot root, std::string_view key, std::vector<std::string>& names);

// Appends the string-typed values of the key as Name=Value pairs, in the registry's order: REG_SZ and
// REG_EXPAND_SZ (not expanded) and REG_BINARY read as UTF-16 text. False when the key does not exist.
bool IdeRegGetStringValues(platform::RegRoot root, std::string_view key, TIdeNameValueList& values);

} // namespace tarvix
