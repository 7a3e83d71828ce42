// Windows share modes among cooperating openers on the host. Every opener of a file holds shared locks (open
// file description locks, so two opens in one process count as two openers) on marker bytes far beyond any real
// data: one per access it has (read, write) and one per access it denies to others. A new opener takes its own
// markers first and then checks that nobody else denies what it wants and that nobody else has what it denies;
// on a conflict it lets go. Two openers racing may both give up, but two conflicting ones can never both succeed.
#pragma once

#include <string>

namespace tarvix::platform {

// Takes the markers of an opener of `fd` that wants `read` and `write` access and denies the others reading
// (`denyRead`) and writing (`denyWrite`). False on a sharing conflict; the markers go with the descriptor. A
// descriptor that cannot carry the locks (not open for reading, a file system without locks) opens without them.
bool takeShareLocks(int fd, bool read, bool write, bool denyRead, bool denyWrite);

// Whether somebody has the host file open. Windows refuses to delete or rename a file that is open without
// delete sharing, which no opener here grants.
bool openedByOthers(const std::string& hostPath);

} // namespace tarvix::platform
