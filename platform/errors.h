// Errors raised by the platform layer. Every message is plain English and names the object it is about, so
// that callers can show it to the user as it stands.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvix::platform {

// Base of every error the platform layer raises. `code` is the Windows error code that the same failure gives
// on Windows (2 file not found, 3 path not found, 5 access denied, 32 sharing violation, ...), 0 when none fits.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& message, uint32_t code = 0)
        : std::runtime_error(message), code_(code) {}
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
