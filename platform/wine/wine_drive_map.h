// The drives of a Wine prefix: the entries of its dosdevices/ folder ("c:" → "../drive_c", "z:" → "/"), and
// Windows paths mapped onto the host and back through them. Read from the folder at every call, so that a drive
// added or removed meanwhile counts at once.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wine/wine_path_grammar.h"

namespace tarvix::platform {

class WineDriveMap {
public:
    // `prefixDir` is the prefix folder, absolute.
    explicit WineDriveMap(std::filesystem::path prefixDir) : prefixDir_(std::move(prefixDir)) {}

    const std::filesystem::path& prefixDir() const { return prefixDir_; }

    struct Drive {
        char letter;                  // upper case
        std::filesystem::path link;   // dosdevices/x:
        std::filesystem::path target; // where it points, made absolute
    };
    // The mapped drives, in letter order.
    std::vector<Drive> drives() const;
    // Where the drive of `letter` (either case) points, made absolute; nothing when it is not mapped.
    std::optional<std::filesystem::path> target(char letter) const;

    // The host path of a full path: each component spelled as stored while it exists (matched without regard
    // to case), the rest as given. Raises PlatformError (3) when the drive is not mapped.
    std::string hostOf(const WindowsFullPath& path) const;
    // The Windows path of a host path (relative ones taken against the host's current folder): through the
    // drive with the deepest root containing it, the path taken both as given and with its links resolved;
    // else through Z:.
    WindowsFullPath windowsPathOf(std::string_view hostPath) const;

private:
    std::filesystem::path prefixDir_;
};

} // namespace tarvix::platform
