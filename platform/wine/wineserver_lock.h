// Whether the wineserver of a Wine prefix is running. While it runs it owns the prefix's hive files: it keeps the
// registry in memory and writes the hives back when it exits, so anything written to them meanwhile is lost.
//
// A running wineserver holds a write lock (fcntl) on the file "lock" of its server folder
// "server-<dev>-<inode>" (device and inode of the prefix folder, lower-case hexadecimal). Wine 8 puts that folder
// under "<temp>/<name>/", where <name> is the content of the prefix's file "wineserver" and <temp> is $TMPDIR or
// /tmp; older Wine uses "/tmp/.wine-<uid>/". Every place is checked.
#pragma once

#include <filesystem>
#include <vector>

namespace tarvix::platform::wine {

// The lock files a wineserver of the prefix may hold, whether they exist or not; empty when the prefix folder
// does not exist.
std::vector<std::filesystem::path> wineserverLockFiles(const std::filesystem::path& prefixDir);

// True while some process holds the write lock on one of those files. A lock held by the calling process itself
// does not count (fcntl locks never conflict with their owner).
bool wineserverRunning(const std::filesystem::path& prefixDir);

// Raises RegistryError (code 32, sharing violation) while the prefix's wineserver runs, naming the prefix and
// telling the user to close its Windows programs.
void ensureWineserverStopped(const std::filesystem::path& prefixDir);

} // namespace tarvix::platform::wine
