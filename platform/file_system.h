// Files and folders, addressed by Windows paths ("C:\Morvane\TarvixComps\D37\KqAlpha.dcu", UTF-8). On Linux
// the Wine backend maps them onto the host through the prefix's drives; on Windows they are used as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform {

// FILE_ATTRIBUTE_* bits.
namespace FileAttr {
inline constexpr uint32_t ReadOnly = 0x1;
inline constexpr uint32_t Hidden = 0x2;
inline constexpr uint32_t System = 0x4;
inline constexpr uint32_t VolumeLabel = 0x8;
inline constexpr uint32_t Directory = 0x10;
inline constexpr uint32_t Archive = 0x20;
inline constexpr uint32_t Normal = 0x80;
} // namespace FileAttr

struct DirEntry {
    std::string name; // the name as stored, without folder
    uint32_t attributes = 0;
    uint64_t size = 0;
};

enum class FileMode {
    Read,         // existing file, read only
    ReadWrite,    // existing file, read and write
    CreateAlways, // create, or truncate an existing file; write only
    CreateNew,    // create; fails when the file exists
};

// What other openers may do while the file is open (advisory on Linux: honoured among cooperating openers).
enum class FileShare {
    Exclusive, // nobody else may open it
    DenyWrite, // others may read, not write
    DenyNone,
};

// An open file. Every failure raises FileError.
class File {
public:
    virtual ~File() = default;
    // Reads up to n bytes; returns how many were read (0 at the end).
    virtual std::size_t read(void* buffer, std::size_t n) = 0;
    // Writes all n bytes or raises "Stream write error".
    virtual void write(const void* buffer, std::size_t n) = 0;
    virtual void seek(int64_t position) = 0;
    virtual int64_t position() const = 0;
    virtual int64_t size() const = 0;
    // Flushes what was written to the storage device and closes; a second close does nothing.
    virtual void close() = 0;
    // Closes without waiting for the storage device, as Windows' CloseHandle does: for scratch files that are
    // worth nothing after a crash (the installer's work folder). A failure the system reports when closing still
    // raises "Stream write error"; a second close does nothing.
    virtual void closeUnflushed() { close(); }

    // Reads exactly n bytes or raises "Stream read error".
    void readExact(void* buffer, std::size_t n);
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // --- Path mapping (identity on Windows) ---
    // The host path of a Windows path. Relative paths are taken against currentDirectory(). Components are
    // matched without regard to case; components that do not exist yet are kept as given. Raises
    // PlatformError when the drive is not mapped.
    virtual std::string toHostPath(std::string_view windowsPath) const = 0;
    // The Windows path of a host path: through the drive whose target contains it (the longest match), else
    // through Z:.
    virtual std::string toWindowsPath(std::string_view hostPath) const = 0;
    // The mapped drives, "C:", "Z:", ... in letter order.
    virtual std::vector<std::string> drives() const = 0;

    // --- Queries ---
    virtual bool fileExists(std::string_view path) const = 0; // a folder is not a file
    virtual bool directoryExists(std::string_view path) const = 0;
    // FILE_ATTRIBUTE_* bits, or nothing when the entry does not exist.
    virtual std::optional<uint32_t> attributes(std::string_view path) const = 0;
    // Windows wildcard enumeration of FindFirstFile(folder + "\" + mask): "*" and "?" as for long names, "*.*"
    // matches every name, a mask ending in "." matches names without an extension; names compare without regard
    // to case. "." and ".." are not listed. A missing or unreadable folder lists nothing.
    virtual std::vector<DirEntry> enumerate(std::string_view folder, std::string_view mask) const = 0;
    // GetLongPathNameW: the full path (a relative one taken against currentDirectory(), the drive letter in
    // upper case) with every component spelled as stored and a trailing backslash kept; empty when the path does
    // not exist. There are no short names on Linux, so a short-name request gives the long one.
    virtual std::string longPathName(std::string_view path) const = 0;
    // The process's current folder as a Windows path, without a trailing backslash unless it is a drive root.
    virtual std::string currentDirectory() const = 0;
    // SetCurrentDirectoryW: makes an existing folder the process's current folder (child processes start in
    // it). False, with nothing changed, when it is no folder.
    virtual bool setCurrentDirectory(std::string_view path) = 0;

    // --- Changes (Boolean results as the Win32 calls give them; `lastError` gets the Windows error code) ---
    // Creates one folder. False when it exists already (error 183) or cannot be made.
    virtual bool createDirectory(std::string_view path, uint32_t* lastError = nullptr) = 0;
    // Creates a folder with its missing parents. True when the folder exists afterwards.
    virtual bool forceDirectories(std::string_view path) = 0;
    virtual bool removeDirectory(std::string_view path) = 0; // empty folders only
    virtual bool deleteFile(std::string_view path) = 0;
    // Deletes a folder with everything in it: each file gets its attributes reset first; what cannot be deleted
    // is left behind silently.
    virtual void deleteTree(std::string_view path) = 0;
    virtual bool setAttributes(std::string_view path, uint32_t attributes) = 0;
    virtual bool copyFile(std::string_view from, std::string_view to, bool failIfExists) = 0;
    // MoveFileW: fails when the target exists.
    virtual bool moveFile(std::string_view from, std::string_view to) = 0;
    // MoveFileExW with MOVEFILE_REPLACE_EXISTING, for files: renames `from` over an existing `to` in one step, so
    // that a reader sees either the old or the new file. Fails when `to` is a folder or read-only.
    virtual bool replaceFile(std::string_view from, std::string_view to) = 0;
    // Flushes a folder's entries (a file just made, renamed or deleted in it) to the storage device, so that the
    // change survives a crash, as MOVEFILE_WRITE_THROUGH does for a rename. False when the folder cannot be
    // flushed.
    virtual bool flushDirectory(std::string_view path) = 0;

    // GetLastError for the Boolean operations above: the Windows error code of the calling thread's last such
    // call (0 after a success).
    static uint32_t lastError();

    // --- Contents ---
    // Raises FileError: `Cannot open file "X". <reason>` for Read/ReadWrite, `Cannot create file "X". <reason>`
    // for the create modes; X is the Windows path as given.
    virtual std::unique_ptr<File> open(std::string_view path, FileMode mode,
                                       FileShare share = FileShare::DenyWrite) = 0;

    // Whole-file conveniences. writeFile replaces the file atomically: the bytes go to a temporary file in the
    // same folder, which is flushed and renamed over the target, so a failure leaves the old file intact; then
    // the folder is flushed, so that the rename is as durable as the bytes.
    std::string readFile(std::string_view path);
    void writeFile(std::string_view path, std::string_view bytes);

protected:
    static void setLastError(uint32_t code);
};

} // namespace tarvix::platform
