// Windows paths on the host, through the drives of a Wine prefix: `dosdevices/c:` → `../drive_c`,
// `z:` → `/`, and so on. Components resolve against the host without regard to case; what does not exist yet
// keeps the case it was given. Share modes are kept among cooperating openers with open-file-description
// locks; the read-only attribute is the owner's write permission and is enforced here, also for root.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/wine/wine_drive_map.h"
#include "platform/wine/wine_path_grammar.h"

namespace tarvix::platform {

class WineFileSystem : public FileSystem {
public:
    // `prefixDir` is the prefix folder (the one holding dosdevices/ and the hives). A folder that does not exist
    // has no drives.
    explicit WineFileSystem(std::filesystem::path prefixDir);

    const std::filesystem::path& prefixDir() const { return driveMap_.prefixDir(); }

    std::string toHostPath(std::string_view windowsPath) const override;
    std::string toWindowsPath(std::string_view hostPath) const override;
    std::vector<std::string> drives() const override;

    bool fileExists(std::string_view path) const override;
    bool directoryExists(std::string_view path) const override;
    std::optional<uint32_t> attributes(std::string_view path) const override;
    std::vector<DirEntry> enumerate(std::string_view folder, std::string_view mask) const override;
    std::string longPathName(std::string_view path) const override;
    std::string currentDirectory() const override;
    bool setCurrentDirectory(std::string_view path) override;

    bool createDirectory(std::string_view path, uint32_t* lastError = nullptr) override;
    bool forceDirectories(std::string_view path) override;
    bool removeDirectory(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    void deleteTree(std::string_view path) override;
    bool setAttributes(std::string_view path, uint32_t attributes) override;
    bool copyFile(std::string_view from, std::string_view to, bool failIfExists) override;
    bool moveFile(std::string_view from, std::string_view to) override;
    bool replaceFile(std::string_view from, std::string_view to) override;
    bool flushDirectory(std::string_view path) override;

    std::unique_ptr<File> open(std::string_view path, FileMode mode, FileShare share = FileShare::DenyWrite) override;

    // A Windows path taken apart: the drive letter (upper case) and the components below its root, made
    // absolute against the current folder, with "." and ".." applied and trailing dots and spaces of each
    // component removed, as Windows does. Raises PlatformError (123 for a name Windows refuses, 3 for an empty
    // path, 53 for a network path).
    using FullPath = WindowsFullPath;
    FullPath fullPath(std::string_view windowsPath) const;

private:
    // toHostPath without throwing: the Windows error code instead.
    std::optional<std::string> hostPathOrError(std::string_view windowsPath, uint32_t& error) const;

    WineDriveMap driveMap_;
};

} // namespace tarvix::platform
