// Replacing a file of the host in one step: the new contents go to a temporary file in the same folder, which is
// flushed to the storage device and renamed over the target; then the folder is flushed, so that the rename
// survives a crash too. A reader sees the old file or the new one, never one half written. When any step fails
// the temporary file is removed and the old file stays as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace tarvix::platform {

// The step of a replacement that failed.
enum class HostFileStep {
    CreateTemporary, // no temporary file could be made in the target's folder
    Write,           // the temporary file could not be written, flushed or closed
    Replace,         // it could not be renamed over the target
};

// Raised by replaceHostFile. The message says what failed and why ("cannot flush the temporary file: No space
// left on device"); `step` and `systemError` (the errno value) let a caller word its own message.
class HostFileError : public PlatformError {
public:
    HostFileError(const std::string& message, HostFileStep step, int systemError)
        : PlatformError(message, windowsErrorFromErrno(systemError)),
          step_(step),
          systemError_(systemError)
    {}
    HostFileStep step() const noexcept { return step_; }
    int systemError() const noexcept { return systemError_; }

private:
    HostFileStep step_;
    int systemError_;
};

struct HostFileOptions {
    // The permission bits of the new file, applied as given (an executable keeps its run bit whatever the
    // umask). Unset: the new file takes the permission bits and, for root, the owner of the file it replaces; a
    // file that did not exist gets 0666 less the umask and, for root, the owner of its folder, so that a root
    // process does not take a user's file away from the user.
    std::optional<std::filesystem::perms> mode;
};

// Hands the contents to the temporary file, as many pieces as the producer likes; raises HostFileError (step
// Write) when a piece cannot be written.
using HostFileSink = std::function<void(const char* data, std::size_t size)>;

// Replaces `file` with what `produce` writes to the sink. An exception from `produce` abandons the replacement
// (the temporary file is removed) and goes on to the caller as it is.
void replaceHostFile(const std::filesystem::path& file, const std::function<void(const HostFileSink&)>& produce,
                     const HostFileOptions& options = {});
void replaceHostFile(const std::filesystem::path& file, std::string_view bytes, const HostFileOptions& options = {});

// Flushes a folder's entries (a file made, renamed or removed in it) to the storage device. False, with errno
// set, when the folder cannot be opened or flushed.
bool syncHostFolder(const std::filesystem::path& folder);

} // namespace tarvix::platform
