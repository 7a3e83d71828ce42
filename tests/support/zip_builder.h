// A small writer of zip archives for the tests of the zip reader: stored and deflated entries, and knobs that
// write one kind of damage each (sizes or a CRC-32 that lie, a local header that disagrees with the central
// directory, data of the test's choosing, a central record that points anywhere). Names are written as the bytes
// given. No ZIP64, one disk. Link tarvix_test_zip_builder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::test {

struct ZipBuilderEntry {
    std::string name;    // the name's bytes, in both headers
    std::string data;    // the contents
    uint16_t method = 8; // 0 stores `data`, 8 deflates it; any other number stores it under that number
    uint16_t flags = 0;  // both headers; bit 3 leaves CRC and sizes zero in the local header and writes a
                         // data descriptor after the data

    // Damage. Each value is written instead of the true one.
    std::optional<std::string> compressed;  // the data as written
    std::optional<uint32_t> crc;            // both headers
    std::optional<uint32_t> compressedSize; // both headers
    std::optional<uint32_t> size;           // both headers
    std::optional<std::string> localName;   // the local header only
    std::optional<uint16_t> localMethod;
    std::optional<uint32_t> localCrc;
    std::optional<uint32_t> localSize;
    // The central record points here, and build() writes no local record for the entry.
    std::optional<uint32_t> localOffset;
};

class ZipBuilder {
public:
    ZipBuilder& add(ZipBuilderEntry entry);
    ZipBuilder& stored(std::string name, std::string data);
    ZipBuilder& deflated(std::string name, std::string data);

    // The archive: local records in the order added, the central directory, the end record.
    std::string build() const;

    // The local header, data and data descriptor of an entry, as build() writes them.
    static std::string localRecord(const ZipBuilderEntry& entry);
    // Raw deflate data (no zlib header or trailer).
    static std::string deflate(std::string_view data);
    static uint32_t crc32(std::string_view data);

    std::string comment;       // the end record's comment
    uint16_t diskNumber = 0;   // the end record's number of this disk
    std::string leadingBytes;  // written before the first local record, not counted in any offset
    std::string trailingBytes; // written after the end record

private:
    std::vector<ZipBuilderEntry> entries_;
};

} // namespace tarvix::test
