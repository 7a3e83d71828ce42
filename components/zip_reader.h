// ZipReader: reads a zip archive held in memory and unpacks it into a Windows folder. It serves the archive of
// transport-security libraries that Windows builds of the installer carry; that archive is outside input, so
// every byte of it is taken as hostile.
//
// What it reads: one disk, no ZIP64, no encryption; entries stored (method 0) or compressed with deflate
// (method 8). The central directory is the truth about each entry: its local header must say the same (name,
// method, and the CRC-32 and sizes unless the entry sets the data-descriptor flag, whose local values may then be
// zero), its data must lie between its local header and the central directory without touching another entry's,
// and the unpacked bytes must have exactly the declared size and CRC-32. Inflating stops one byte past the
// declared size, so no entry makes the reader hold more than the size it declares, and sizes above the caller's
// limit are refused before anything is unpacked.
//
// Names: UTF-8 when the entry's flag bit 11 is set, else code page 437. "/" and "\" both separate folders; a
// name ending in one names a folder. A name must stay inside the destination: no drive, no leading separator
// (an absolute or network path), no empty component, no "." or "..", and every component a name Windows keeps
// as it is (none of the characters it refuses, no trailing dot or space, which it would drop). Two entries may
// not name the same file, nor a file and a folder the same path, without regard to case.
//
// Every such check runs when the archive is opened, on every entry, so a refused archive cannot be read at all.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvix {

// A damaged, refused or unsupported archive or entry. The message names the entry it is about.
class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ZipEntry {
    // The name decoded to UTF-8, its separators turned into "\", without the trailing one of a folder
    // ("sub\ssleay32.dll", "sub").
    std::string name;
    uint16_t method = 0; // 0 stored, 8 deflate
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    bool isFolder = false;
    uint64_t dataOffset = 0; // where the entry's compressed data starts in the archive

    friend bool operator==(const ZipEntry&, const ZipEntry&) = default;
};

class ZipReader {
public:
    static constexpr uint64_t DefaultMaxEntrySize = 256 * 1024 * 1024;

    // Parses and checks the archive (see above); raises ZipError. An entry declaring more than `maxEntrySize`
    // bytes is refused.
    explicit ZipReader(std::string archiveBytes, uint64_t maxEntrySize = DefaultMaxEntrySize);
    // The archive in a file, read through platform::current().files(); a file that cannot be read raises the
    // file system's FileError.
    static ZipReader fromFile(std::string_view windowsPath, uint64_t maxEntrySize = DefaultMaxEntrySize);

    // The entries in the order of the central directory.
    const std::vector<ZipEntry>& entries() const { return entries_; }

    // The unpacked bytes of one of entries() (a copy of one compares equal and does as well; anything else is
    // refused). A folder has none. Raises ZipError when the data does not inflate to exactly the declared size
    // or its CRC-32 differs.
    std::string read(const ZipEntry& entry) const;

    // Writes every entry whose file name (its last component) matches the Windows wildcard `mask` into
    // `folder` (a Windows path, through platform::current().files()), in archive order: folders are created,
    // files written with FileSystem::writeFile, so that a failure leaves no half-written file; missing folders
    // on the way are created. The data of every chosen entry is unpacked and checked before the first file is
    // written, so a damaged archive writes nothing. A file that cannot be written raises the file system's
    // FileError (files written before it stay), a folder that cannot be created ZipError.
    void extractAll(std::string_view folder, std::string_view mask = "*.*") const;

private:
    void readCentralDirectory();
    // Checks the entry's local header against what the central directory says; returns where its data starts.
    uint64_t checkLocalHeader(const ZipEntry& entry, std::string_view centralName, uint16_t flags,
                              uint64_t localOffset) const;
    // `spans`: each entry's local header and data, as [start, end) offsets.
    static void checkEntriesApart(std::vector<std::pair<uint64_t, uint64_t>> spans);
    void checkNamesDistinct() const;
    // Unpacks and checks one of entries_, handing its bytes to `sink` in pieces.
    template <class Sink>
    void unpack(const ZipEntry& entry, Sink&& sink) const;
    std::string unpacked(const ZipEntry& entry) const;

    std::string archive_;
    uint64_t maxEntrySize_;
    uint64_t centralStart_ = 0; // where the central directory starts: every entry's data ends before it
    std::vector<ZipEntry> entries_;
};

} // namespace tarvix
