#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <stdexcept>
#include <utility>

namespace tarvix::test {

namespace {

constexpr uint16_t FlagDataDescriptor = 0x0008;

void put16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

// What the headers say about an entry when no knob says otherwise.
struct Written {
    std::string data;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
};

Written written(const ZipBuilderEntry& e)
{
    Written w;
    w.data = e.compressed ? *e.compressed : e.method == 8 ? ZipBuilder::deflate(e.data) : e.data;
    w.crc = e.crc.value_or(ZipBuilder::crc32(e.data));
    w.compressedSize = e.compressedSize.value_or(static_cast<uint32_t>(w.data.size()));
    w.size = e.size.value_or(static_cast<uint32_t>(e.data.size()));
    return w;
}

} // namespace

ZipBuilder& ZipBuilder::add(ZipBuilderEntry entry)
{
    entries_.push_back(std::move(entry));
    return *this;
}

ZipBuilder& ZipBuilder::stored(std::string name, std::string data)
{
    ZipBuilderEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.method = 0;
    return add(std::move(e));
}

ZipBuilder& ZipBuilder::deflated(std::string name, std::string data)
{
    ZipBuilderEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    return add(std::move(e));
}

std::string ZipBuilder::deflate(std::string_view data)
{
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = ::deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

uint32_t ZipBuilder::crc32(std::string_view data)
{
    return static_cast<uint32_t>(
        ::crc32_z(::crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string ZipBuilder::localRecord(const ZipBuilderEntry& e)
{
    const Written w = written(e);
    const bool descriptor = (e.flags & FlagDataDescriptor) != 0;
    const std::string& name = e.localName ? *e.localName : e.name;
    std::string out;
    put32(out, 0x04034b50);
    put16(out, 20); // version needed: 2.0
    put16(out, e.flags);
    put16(out, e.localMethod.value_or(e.method));
    put16(out, 0);    // time
    put16(out, 0x21); // date: 1 January 1980
    put32(out, e.localCrc.value_or(descriptor ? 0 : w.crc));
    put32(out, descriptor ? 0 : w.compressedSize);
    put32(out, e.localSize.value_or(descriptor ? 0 : w.size));
    put16(out, static_cast<uint16_t>(name.size()));
    put16(out, 0); // extra field
    out += name;
    out += w.data;
    if (descriptor) {
        put32(out, 0x08074b50);
        put32(out, w.crc);
        put32(out, w.compressedSize);
        put32(out, w.size);
    }
    return out;
}

std::string ZipBuilder::build() const
{
    std::string locals;
    std::string central;
    for (const ZipBuilderEntry& e : entries_) {
        const uint32_t offset = e.localOffset.value_or(static_cast<uint32_t>(locals.size()));
        if (!e.localOffset)
            locals += localRecord(e);
        const Written w = written(e);
        put32(central, 0x02014b50);
        put16(central, 20); // made by: 2.0, MS-DOS attributes
        put16(central, 20); // version needed
        put16(central, e.flags);
        put16(central, e.method);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, w.crc);
        put32(central, w.compressedSize);
        put32(central, w.size);
        put16(central, static_cast<uint16_t>(e.name.size()));
        put16(central, 0); // extra field
        put16(central, 0); // comment
        put16(central, 0); // disk number start
        put16(central, 0); // internal attributes
        const bool folder = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');
        put32(central, folder ? 0x10 : 0x20); // external attributes: directory or archive
        put32(central, offset);
        central += e.name;
    }
    std::string out = leadingBytes + locals + central;
    put32(out, 0x06054b50);
    put16(out, diskNumber);
    put16(out, 0); // disk with the central directory
    put16(out, static_cast<uint16_t>(entries_.size()));
    put16(out, static_cast<uint16_t>(entries_.size()));
    put32(out, static_cast<uint32_t>(central.size()));
    put32(out, static_cast<uint32_t>(locals.size()));
    put16(out, static_cast<uint16_t>(comment.size()));
    out += comment;
    out += trailingBytes;
    return out;
}

} // namespace tarvix::test
