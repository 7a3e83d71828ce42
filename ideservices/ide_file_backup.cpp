#include "ideservices/ide_file_backup.h"

#include "ideservices/ide_errors.h"
#include "platform/system.h"

namespace tarvix {

void SaveWithBackup(const std::string& FileName, const std::function<void()>& Save)
{
    platform::FileSystem& files = platform::current().files();
    const std::string backup = FileName + ".bak";

    if (files.fileExists(backup) && !files.deleteFile(backup))
        throw EIdeBorRADException("Unable to delete the backup file \"" + backup + "\"");
    const bool hadFile = files.fileExists(FileName);
    if (hadFile && !files.moveFile(FileName, backup))
        throw EIdeBorRADException("Unable to rename \"" + FileName + "\" to \"" + backup + "\"");

    try {
        Save();
    } catch (...) {
        files.deleteFile(FileName);
        if (hadFile)
            files.moveFile(backup, FileName);
        throw;
    }
    if (hadFile)
        files.deleteFile(backup);
}

} // namespace tarvix
