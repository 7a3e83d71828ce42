#include "platform/errors.h"

#include <cerrno>

namespace tarvix::platform {

std::string systemErrorText(uint32_t code)
{
    // The wording Windows uses for the codes this system can meet; callers put it after their own sentence.
    switch (code) {
    case 0: return "The operation completed successfully.";
    case 1: return "Incorrect function.";
    case 2: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 4: return "The system cannot open the file.";
    case 5: return "Access is denied.";
    case 6: return "The handle is invalid.";
    case 8: return "Not enough memory resources are available to process this command.";
    case 14: return "Not enough memory resources are available to complete this operation.";
    case 15: return "The system cannot find the drive specified.";
    case 16: return "The directory cannot be removed.";
    case 17: return "The system cannot move the file to a different disk drive.";
    case 18: return "There are no more files.";
    case 19: return "The media is write protected.";
    case 21: return "The device is not ready.";
    case 29: return "The system cannot write to the specified device.";
    case 30: return "The system cannot read from the specified device.";
    case 31: return "A device attached to the system is not functioning.";
    case 32: return "The process cannot access the file because it is being used by another process.";
    case 33: return "The process cannot access the file because another process has locked a portion of the file.";
    case 38: return "Reached the end of the file.";
    case 39: return "The disk is full.";
    case 50: return "The request is not supported.";
    case 53: return "The network path was not found.";
    case 80: return "The file exists.";
    case 82: return "The directory or file cannot be created.";
    case 87: return "The parameter is incorrect.";
    case 109: return "The pipe has been ended.";
    case 110: return "The system cannot open the device or file specified.";
    case 111: return "The file name is too long.";
    case 112: return "There is not enough space on the disk.";
    case 122: return "The data area passed to a system call is too small.";
    case 123: return "The filename, directory name, or volume label syntax is incorrect.";
    case 145: return "The directory is not empty.";
    case 161: return "The specified path is invalid.";
    case 170: return "The requested resource is in use.";
    case 183: return "Cannot create a file when that file already exists.";
    case 206: return "The filename or extension is too long.";
    case 223: return "The file size exceeds the limit allowed and cannot be saved.";
    case 232: return "The pipe is being closed.";
    case 234: return "More data is available.";
    case 259: return "No more data is available.";
    case 267: return "The directory name is invalid.";
    case 740: return "The requested operation requires elevation.";
    case 1009: return "The configuration registry database is corrupt.";
    case 1010: return "The configuration registry key is invalid.";
    case 1011: return "The configuration registry key could not be opened.";
    case 1012: return "The configuration registry key could not be read.";
    case 1013: return "The configuration registry key could not be written.";
    case 1018: return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case 1113: return "No mapping for the Unicode character exists in the target multi-byte code page.";
    case 1117: return "The request could not be performed because of an I/O device error.";
    case 1314: return "A required privilege is not held by the client.";
    case 1460: return "This operation returned because the timeout period expired.";
    case 1921: return "The name of the file cannot be resolved by the system.";
    default: return "System error " + std::to_string(code) + ".";
    }
}

uint32_t windowsErrorFromErrno(int err)
{
    switch (err) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case EROFS: return 19;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EMFILE:
    case ENFILE: return 4;
    case EXDEV: return 17;
    case EAGAIN: // also EWOULDBLOCK: a lock held by another opener
    case ETXTBSY: return 32;
    case EBUSY: return 170;
    case EEXIST: return 80;
    case EINVAL: return 87;
    case EPIPE: return 109;
    case ENOSPC:
    case EDQUOT: return 112;
    case ENOTEMPTY: return 145;
    case ENAMETOOLONG: return 206;
    case EFBIG: return 223;
    case ENOSYS:
    case EOPNOTSUPP: return 50;
    case ENODEV:
    case ENXIO: return 21;
    case EIO: return 1117;
    case EILSEQ: return 1113;
    case ETIMEDOUT: return 1460;
    case ELOOP: return 1921;
    default: return 31;
    }
}

} // namespace tarvix::platform
