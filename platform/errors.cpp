#include "platform/errors.h"

#include <cerrno>

namespace tarvix::platform {

std::string systemErrorText(uint32_t code)
{
    // The wording Windows uses for the codes this system can meet; callers put it after their own sentence.
    switch (code) {
    case WinError::Success: return "The operation completed successfully.";
    case WinError::InvalidFunction: return "Incorrect function.";
    case WinError::FileNotFound: return "The system cannot find the file specified.";
    case WinError::PathNotFound: return "The system cannot find the path specified.";
    case WinError::TooManyOpenFiles: return "The system cannot open the file.";
    case WinError::AccessDenied: return "Access is denied.";
    case WinError::InvalidHandle: return "The handle is invalid.";
    case WinError::NotEnoughMemory: return "Not enough memory resources are available to process this command.";
    case WinError::OutOfMemory: return "Not enough memory resources are available to complete this operation.";
    case WinError::InvalidDrive: return "The system cannot find the drive specified.";
    case WinError::CurrentDirectory: return "The directory cannot be removed.";
    case WinError::NotSameDevice: return "The system cannot move the file to a different disk drive.";
    case WinError::NoMoreFiles: return "There are no more files.";
    case WinError::WriteProtect: return "The media is write protected.";
    case WinError::NotReady: return "The device is not ready.";
    case WinError::WriteFault: return "The system cannot write to the specified device.";
    case WinError::ReadFault: return "The system cannot read from the specified device.";
    case WinError::GenFailure: return "A device attached to the system is not functioning.";
    case WinError::SharingViolation:
        return "The process cannot access the file because it is being used by another process.";
    case WinError::LockViolation:
        return "The process cannot access the file because another process has locked a portion of the file.";
    case WinError::HandleEof: return "Reached the end of the file.";
    case WinError::HandleDiskFull: return "The disk is full.";
    case WinError::NotSupported: return "The request is not supported.";
    case WinError::BadNetPath: return "The network path was not found.";
    case WinError::FileExists: return "The file exists.";
    case WinError::CannotMake: return "The directory or file cannot be created.";
    case WinError::InvalidParameter: return "The parameter is incorrect.";
    case WinError::BrokenPipe: return "The pipe has been ended.";
    case WinError::OpenFailed: return "The system cannot open the device or file specified.";
    case WinError::BufferOverflow: return "The file name is too long.";
    case WinError::DiskFull: return "There is not enough space on the disk.";
    case WinError::InsufficientBuffer: return "The data area passed to a system call is too small.";
    case WinError::InvalidName: return "The filename, directory name, or volume label syntax is incorrect.";
    case WinError::DirNotEmpty: return "The directory is not empty.";
    case WinError::BadPathName: return "The specified path is invalid.";
    case WinError::Busy: return "The requested resource is in use.";
    case WinError::AlreadyExists: return "Cannot create a file when that file already exists.";
    case WinError::FilenameExcedRange: return "The filename or extension is too long.";
    case WinError::FileTooLarge: return "The file size exceeds the limit allowed and cannot be saved.";
    case WinError::NoData: return "The pipe is being closed.";
    case WinError::MoreData: return "More data is available.";
    case WinError::NoMoreItems: return "No more data is available.";
    case WinError::Directory: return "The directory name is invalid.";
    case WinError::ElevationRequired: return "The requested operation requires elevation.";
    case WinError::BadDb: return "The configuration registry database is corrupt.";
    case WinError::BadKey: return "The configuration registry key is invalid.";
    case WinError::CantOpen: return "The configuration registry key could not be opened.";
    case WinError::CantRead: return "The configuration registry key could not be read.";
    case WinError::CantWrite: return "The configuration registry key could not be written.";
    case WinError::KeyDeleted:
        return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case WinError::NoUnicodeTranslation:
        return "No mapping for the Unicode character exists in the target multi-byte code page.";
    case WinError::IoDevice: return "The request could not be performed because of an I/O device error.";
    case WinError::PrivilegeNotHeld: return "A required privilege is not held by the client.";
    case WinError::Timeout: return "This operation returned because the timeout period expired.";
    case WinError::CantResolveFilename: return "The name of the file cannot be resolved by the system.";
    default: return "System error " + std::to_string(code) + ".";
    }
}

uint32_t windowsErrorFromErrno(int err)
{
    switch (err) {
    case 0: return WinError::Success;
    case ENOENT: return WinError::FileNotFound;
    case ENOTDIR: return WinError::PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return WinError::AccessDenied;
    case EROFS: return WinError::WriteProtect;
    case EBADF: return WinError::InvalidHandle;
    case ENOMEM: return WinError::NotEnoughMemory;
    case EMFILE:
    case ENFILE: return WinError::TooManyOpenFiles;
    case EXDEV: return WinError::NotSameDevice;
    case EAGAIN: // also EWOULDBLOCK: a lock held by another opener
    case ETXTBSY: return WinError::SharingViolation;
    case EBUSY: return WinError::Busy;
    case EEXIST: return WinError::FileExists;
    case EINVAL: return WinError::InvalidParameter;
    case EPIPE: return WinError::BrokenPipe;
    case ENOSPC:
    case EDQUOT: return WinError::DiskFull;
    case ENOTEMPTY: return WinError::DirNotEmpty;
    case ENAMETOOLONG: return WinError::FilenameExcedRange;
    case EFBIG: return WinError::FileTooLarge;
    case ENOSYS:
    case EOPNOTSUPP: return WinError::NotSupported;
    case ENODEV:
    case ENXIO: return WinError::NotReady;
    case EIO: return WinError::IoDevice;
    case EILSEQ: return WinError::NoUnicodeTranslation;
    case ETIMEDOUT: return WinError::Timeout;
    case ELOOP: return WinError::CantResolveFilename;
    default: return WinError::GenFailure;
    }
}

} // namespace tarvix::platform
