// Errors raised by the platform layer. Every message is plain English and names the object it is about, so
// that callers can show it to the user as it stands.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvix::platform {

// Windows error codes (ERROR_*), as GetLastError gives them and as PlatformError::code() carries them.
namespace WinError {
inline constexpr uint32_t Success = 0;
inline constexpr uint32_t InvalidFunction = 1;
inline constexpr uint32_t FileNotFound = 2;
inline constexpr uint32_t PathNotFound = 3;
inline constexpr uint32_t TooManyOpenFiles = 4;
inline constexpr uint32_t AccessDenied = 5;
inline constexpr uint32_t InvalidHandle = 6;
inline constexpr uint32_t NotEnoughMemory = 8;
inline constexpr uint32_t InvalidData = 13;
inline constexpr uint32_t OutOfMemory = 14;
inline constexpr uint32_t InvalidDrive = 15;
inline constexpr uint32_t CurrentDirectory = 16;
inline constexpr uint32_t NotSameDevice = 17;
inline constexpr uint32_t NoMoreFiles = 18;
inline constexpr uint32_t WriteProtect = 19;
inline constexpr uint32_t NotReady = 21;
inline constexpr uint32_t WriteFault = 29;
inline constexpr uint32_t ReadFault = 30;
inline constexpr uint32_t GenFailure = 31;
inline constexpr uint32_t SharingViolation = 32;
inline constexpr uint32_t LockViolation = 33;
inline constexpr uint32_t HandleEof = 38;
inline constexpr uint32_t HandleDiskFull = 39;
inline constexpr uint32_t NotSupported = 50;
inline constexpr uint32_t BadNetPath = 53;
inline constexpr uint32_t FileExists = 80;
inline constexpr uint32_t CannotMake = 82;
inline constexpr uint32_t InvalidParameter = 87;
inline constexpr uint32_t BrokenPipe = 109;
inline constexpr uint32_t OpenFailed = 110;
inline constexpr uint32_t BufferOverflow = 111;
inline constexpr uint32_t DiskFull = 112;
inline constexpr uint32_t InsufficientBuffer = 122;
inline constexpr uint32_t InvalidName = 123;
inline constexpr uint32_t NegativeSeek = 131;
inline constexpr uint32_t DirNotEmpty = 145;
inline constexpr uint32_t BadPathName = 161;
inline constexpr uint32_t Busy = 170;
inline constexpr uint32_t AlreadyExists = 183;
inline constexpr uint32_t BadExeFormat = 193;
inline constexpr uint32_t FilenameExcedRange = 206;
inline constexpr uint32_t FileTooLarge = 223;
inline constexpr uint32_t NoData = 232;
inline constexpr uint32_t MoreData = 234;
inline constexpr uint32_t NoMoreItems = 259;
inline constexpr uint32_t Directory = 267;
inline constexpr uint32_t ElevationRequired = 740;
inline constexpr uint32_t BadDb = 1009;
inline constexpr uint32_t BadKey = 1010;
inline constexpr uint32_t CantOpen = 1011;
inline constexpr uint32_t CantRead = 1012;
inline constexpr uint32_t CantWrite = 1013;
inline constexpr uint32_t RegistryIoFailed = 1016;
inline constexpr uint32_t KeyDeleted = 1018;
inline constexpr uint32_t NoUnicodeTranslation = 1113;
inline constexpr uint32_t IoDevice = 1117;
inline constexpr uint32_t Cancelled = 1223;
inline constexpr uint32_t PrivilegeNotHeld = 1314;
inline constexpr uint32_t Timeout = 1460;
inline constexpr uint32_t CantResolveFilename = 1921;
} // namespace WinError

// Base of every error the platform layer raises. `code` is the Windows error code that the same failure gives
// on Windows (2 file not found, 3 path not found, 5 access denied, 32 sharing violation, ...), 0 when none fits.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& message, uint32_t code = 0) : std::runtime_error(message), code_(code) {}
    uint32_t code() const noexcept { return code_; }

private:
    uint32_t code_;
};

// A registry operation the system refused: a value it will not store, a hive that cannot be parsed or saved,
// a prefix whose wineserver owns the hives.
class RegistryError : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// Opening, creating, reading or writing a file failed. The messages follow the wording of the Windows run-time
// library the installer was first written with: `Cannot open file "X". <system text>`,
// `Cannot create file "X". <system text>`, "Stream read error", "Stream write error".
class FileError : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// Text of a Windows error code as the system words it ("The system cannot find the file specified").
std::string systemErrorText(uint32_t code);

// The Windows error code closest to a POSIX errno value.
uint32_t windowsErrorFromErrno(int err);

} // namespace tarvix::platform
