// Rewriting a file with a ".bak" copy of the previous one standing by while the new one is written.
#pragma once

#include <functional>
#include <string>

namespace tarvix {

// Writes FileName through Save while keeping its previous contents safe:
//   1. an old FileName + ".bak" is deleted;
//   2. FileName is renamed to FileName + ".bak";
//   3. Save() writes FileName;
//   4. on success the ".bak" file is deleted; when Save raises, whatever it wrote is deleted, the ".bak" file is
//      renamed back to FileName and the error is raised again.
// A FileName that does not exist yet is simply written (and removed again when Save fails). When the previous
// file cannot be set aside (the old ".bak" cannot be deleted, the rename fails), nothing is written and
// EIdeBorRADException is raised, so the file is never rewritten without its copy.
// All file operations go through platform::current().files().
void SaveWithBackup(const std::string& FileName, const std::function<void()>& Save);

} // namespace tarvix
