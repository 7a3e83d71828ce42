// Case-insensitive name lookups in host folders. Looking a name up means reading the whole folder, so that
// filling a folder with n new files would read it n times; large folders on local file systems are therefore
// indexed by the upper-case form of their names, and the index is kept current with inotify, which reports
// every change of the folder (by this process or any other) before the changing call returns.
#pragma once

#include <optional>
#include <string>

namespace tarvix::platform {

// The entry of the host folder `dir` whose name equals `name` without regard to case (upperName), the first in
// byte order when there are several; nothing when there is none or the folder cannot be read. Always the same
// answer as reading the folder.
std::optional<std::string> findEntryIgnoringCase(const std::string& dir, const std::string& name);

// The entry of `dir` that Windows would take for `name`: the exact spelling when it exists (a dangling link
// included), else findEntryIgnoringCase.
std::optional<std::string> findEntry(const std::string& dir, const std::string& name);

} // namespace tarvix::platform
