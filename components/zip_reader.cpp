#include "components/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <set>
#include <utility>

#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"
#include "platform/wine/windows_names.h"
#include "platform/wine/wine_path_grammar.h"

namespace tarvix {

namespace {

constexpr uint32_t LocalSignature = 0x04034b50;
constexpr uint32_t CentralSignature = 0x02014b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;

constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t Zip64LocatorSize = 20;
constexpr std::size_t MaxCommentSize = 0xFFFF;

constexpr uint16_t FlagEncrypted = 0x0001;
constexpr uint16_t FlagDataDescriptor = 0x0008;
constexpr uint16_t FlagUtf8 = 0x0800;

constexpr uint16_t MethodStored = 0;
constexpr uint16_t MethodDeflate = 8;

// A field value that means "the real one is in the ZIP64 extra field".
constexpr uint16_t Zip64Marker16 = 0xFFFF;
constexpr uint32_t Zip64Marker32 = 0xFFFFFFFF;

uint16_t le16(std::string_view bytes, std::size_t at)
{
    const auto low = static_cast<unsigned char>(bytes[at]);
    const auto high = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<uint16_t>(low | high << 8);
}

uint32_t le32(std::string_view bytes, std::size_t at)
{
    return static_cast<uint32_t>(le16(bytes, at)) | static_cast<uint32_t>(le16(bytes, at + 2)) << 16;
}

// The fields that local and central headers share, in the same order: flags, method, time, date, CRC-32,
// compressed size, size, name length, extra field length.
struct CommonFields {
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint16_t nameSize;
    uint16_t extraSize;
};

// The shared fields of a header whose flags start at `at`.
CommonFields commonFields(std::string_view bytes, std::size_t at)
{
    return {le16(bytes, at),      le16(bytes, at + 2),  le32(bytes, at + 8), le32(bytes, at + 12),
            le32(bytes, at + 16), le16(bytes, at + 20), le16(bytes, at + 22)};
}

// The name in quotes for a message, control characters written as \xHH so that the message shows them.
std::string quoted(std::string_view name)
{
    std::string out = "\"";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += Hex[u >> 4];
            out += Hex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

[[noreturn]] void refuseEntry(std::string_view what, std::string_view why)
{
    throw ZipError("Zip entry " + std::string(what) + ": " + std::string(why) + ".");
}

// The name's bytes as text: UTF-8 when the entry says so (and then it must be valid UTF-8), else code page 437.
std::string decodeName(std::string_view raw, uint16_t flags, std::string_view what)
{
    if ((flags & FlagUtf8) == 0)
        return platform::decodeCodePage(raw, 437);
    // Invalid bytes do not survive the way to UTF-16 and back unchanged.
    if (platform::utf16ToUtf8(platform::utf8ToUtf16(raw)) != raw)
        refuseEntry(what, "the name is not valid UTF-8");
    return std::string(raw);
}

// The checked name of an entry with "\" as its only separator and no trailing one; `isFolder` tells whether the
// name ended in a separator.
std::string checkedName(const std::string& name, bool& isFolder)
{
    const std::string what = quoted(name);
    if (name.empty())
        refuseEntry("without a name", "an entry needs a name");
    if (platform::isWindowsSeparator(name.front()))
        refuseEntry(what, "the name is an absolute or network path");
    if (name.size() >= 2 && platform::isDriveLetter(name[0]) && name[1] == ':')
        refuseEntry(what, "the name starts with a drive");

    isFolder = platform::isWindowsSeparator(name.back());
    const std::string_view path(name.data(), name.size() - (isFolder ? 1 : 0));
    std::string out;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = pos;
        while (end < path.size() && !platform::isWindowsSeparator(path[end]))
            ++end;
        const std::string component(path.substr(pos, end - pos));
        pos = end + 1;
        if (component.empty())
            refuseEntry(what, "the name has an empty folder component");
        if (component == "." || component == "..")
            refuseEntry(what, "the name has a \"" + component + "\" component");
        // Windows takes the component as it stands only when its own reading of the name keeps it unchanged:
        // that refuses the characters it does not allow in names and the trailing dots and spaces it drops.
        bool kept = false;
        try {
            const auto full = platform::parseFullPath("C:\\" + component, [] { return platform::WindowsFullPath{}; });
            kept = full.components.size() == 1 && full.components.front() == component;
        } catch (const platform::PlatformError&) {}
        if (!kept)
            refuseEntry(what, "Windows does not take " + quoted(component) + " as a file name");
        if (!out.empty())
            out += '\\';
        out += component;
    }
    return out;
}

std::string_view fileNameOf(std::string_view name)
{
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// Ends a zlib inflate stream when it goes out of scope.
class InflateStream {
public:
    InflateStream()
    {
        // Negative window bits: raw deflate data, without the zlib header and trailer.
        if (inflateInit2(&stream_, -15) != Z_OK)
            throw ZipError("zlib cannot start inflating.");
    }
    ~InflateStream() { inflateEnd(&stream_); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    z_stream& get() { return stream_; }

private:
    z_stream stream_{};
};

} // namespace

ZipReader::ZipReader(std::string archiveBytes, uint64_t maxEntrySize)
    : archive_(std::move(archiveBytes)),
      maxEntrySize_(maxEntrySize)
{
    readCentralDirectory();
}

ZipReader ZipReader::fromFile(std::string_view windowsPath, uint64_t maxEntrySize)
{
    return ZipReader(platform::current().files().readFile(windowsPath), maxEntrySize);
}

void ZipReader::readCentralDirectory()
{
    const std::string_view bytes = archive_;
    if (bytes.size() < EndRecordSize)
        throw ZipError("The zip archive is too short to hold an end record.");

    // The end record is the last one whose comment reaches exactly to the end of the file; an earlier signature
    // may sit inside a comment.
    std::size_t end = std::string_view::npos;
    const std::size_t lowest =
        bytes.size() > EndRecordSize + MaxCommentSize ? bytes.size() - EndRecordSize - MaxCommentSize : 0;
    for (std::size_t at = bytes.size() - EndRecordSize + 1; at-- > lowest;) {
        if (le32(bytes, at) == EndSignature && at + EndRecordSize + le16(bytes, at + 20) == bytes.size()) {
            end = at;
            break;
        }
    }
    if (end == std::string_view::npos)
        throw ZipError("The zip archive has no end record.");

    const uint16_t disk = le16(bytes, end + 4);
    const uint16_t centralDisk = le16(bytes, end + 6);
    const uint16_t entriesHere = le16(bytes, end + 8);
    const uint16_t count = le16(bytes, end + 10);
    const uint32_t centralSize = le32(bytes, end + 12);
    const uint32_t centralOffset = le32(bytes, end + 16);
    if ((end >= Zip64LocatorSize && le32(bytes, end - Zip64LocatorSize) == Zip64LocatorSignature) ||
        count == Zip64Marker16 || centralSize == Zip64Marker32 || centralOffset == Zip64Marker32)
        throw ZipError("The zip archive needs ZIP64, which is not supported.");
    if (disk != 0 || centralDisk != 0 || entriesHere != count)
        throw ZipError("The zip archive spans several disks, which is not supported.");
    if (static_cast<uint64_t>(centralOffset) + centralSize != end)
        throw ZipError("The zip archive's central directory does not end where its end record starts.");
    centralStart_ = centralOffset;

    std::vector<std::pair<uint64_t, uint64_t>> spans; // each entry's local header and data
    std::size_t at = centralOffset;
    for (std::size_t index = 0; index < count; ++index) {
        const std::string what = "number " + std::to_string(index + 1);
        if (end - at < CentralHeaderSize || le32(bytes, at) != CentralSignature)
            refuseEntry(what, "the central directory is damaged");
        const CommonFields fields = commonFields(bytes, at + 8);
        const std::size_t recordSize = CentralHeaderSize + fields.nameSize + fields.extraSize + le16(bytes, at + 32);
        const uint16_t startDisk = le16(bytes, at + 34);
        const uint32_t localOffset = le32(bytes, at + 42);
        if (end - at < recordSize)
            refuseEntry(what, "the central directory is damaged");
        const std::string_view rawName = bytes.substr(at + CentralHeaderSize, fields.nameSize);
        at += recordSize;

        ZipEntry entry;
        entry.name = checkedName(decodeName(rawName, fields.flags, what), entry.isFolder);
        const std::string name = quoted(entry.name);
        if (fields.compressedSize == Zip64Marker32 || fields.size == Zip64Marker32 || localOffset == Zip64Marker32)
            refuseEntry(name, "it needs ZIP64, which is not supported");
        if (startDisk != 0)
            refuseEntry(name, "it lies on another disk");
        if (fields.flags & FlagEncrypted)
            refuseEntry(name, "it is encrypted");
        if (fields.method != MethodStored && fields.method != MethodDeflate)
            refuseEntry(name, "its compression method " + std::to_string(fields.method) + " is not supported");
        if (fields.size > maxEntrySize_)
            refuseEntry(name, "it declares " + std::to_string(fields.size) + " bytes, more than the limit of " +
                                  std::to_string(maxEntrySize_));
        if (fields.method == MethodStored && fields.compressedSize != fields.size)
            refuseEntry(name, "it is stored, but its compressed and unpacked sizes differ");
        if (entry.isFolder && fields.size != 0)
            refuseEntry(name, "a folder entry holds data");
        entry.method = fields.method;
        entry.crc32 = fields.crc;
        entry.compressedSize = fields.compressedSize;
        entry.size = fields.size;
        entry.dataOffset = checkLocalHeader(entry, rawName, fields.flags, localOffset);
        spans.emplace_back(localOffset, entry.dataOffset + entry.compressedSize);
        entries_.push_back(std::move(entry));
    }
    if (at != end)
        throw ZipError("The zip archive's central directory holds more than its end record counts.");
    checkEntriesApart(std::move(spans));
    checkNamesDistinct();
}

uint64_t ZipReader::checkLocalHeader(const ZipEntry& entry, std::string_view centralName, uint16_t flags,
                                     uint64_t localOffset) const
{
    const std::string_view bytes = archive_;
    const std::string name = quoted(entry.name);
    // Local headers lie before the central directory.
    if (localOffset > centralStart_ || centralStart_ - localOffset < LocalHeaderSize ||
        le32(bytes, localOffset) != LocalSignature)
        refuseEntry(name, "its local header is missing");
    const std::size_t at = localOffset;
    const CommonFields local = commonFields(bytes, at + 6);
    const uint64_t dataOffset = localOffset + LocalHeaderSize + local.nameSize + local.extraSize;
    if (dataOffset > centralStart_ || bytes.substr(at + LocalHeaderSize, local.nameSize) != centralName)
        refuseEntry(name, "its local header names another entry");
    if (local.flags & FlagEncrypted)
        refuseEntry(name, "it is encrypted");
    if (local.method != entry.method)
        refuseEntry(name, "its local header gives another compression method");
    // With a data descriptor the local header may leave CRC and sizes zero; the central directory has them.
    const bool deferred = ((flags | local.flags) & FlagDataDescriptor) != 0;
    const auto agrees = [deferred](uint64_t written, uint64_t central) {
        return written == central || (deferred && written == 0);
    };
    if (!agrees(local.crc, entry.crc32) || !agrees(local.compressedSize, entry.compressedSize) ||
        !agrees(local.size, entry.size))
        refuseEntry(name, "its local header gives another CRC-32 or size");
    if (centralStart_ - dataOffset < entry.compressedSize)
        refuseEntry(name, "its data runs past the start of the central directory");
    return dataOffset;
}

void ZipReader::checkEntriesApart(std::vector<std::pair<uint64_t, uint64_t>> spans)
{
    // Entries that share bytes would let a small archive unpack to many times its size.
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            throw ZipError("The zip archive's entries overlap.");
}

void ZipReader::checkNamesDistinct() const
{
    std::set<std::u16string> files;
    std::set<std::u16string> folders;
    for (const ZipEntry& entry : entries_) {
        const std::u16string upper = platform::upperName(entry.name);
        if (!entry.isFolder && !files.insert(upper).second)
            refuseEntry(quoted(entry.name), "another entry names the same file");
        // Every folder on the way, and the entry itself when it is one.
        for (std::size_t slash = upper.find(u'\\'); slash != std::u16string::npos; slash = upper.find(u'\\', slash + 1))
            folders.insert(upper.substr(0, slash));
        if (entry.isFolder)
            folders.insert(upper);
    }
    for (const ZipEntry& entry : entries_)
        if (!entry.isFolder && folders.count(platform::upperName(entry.name)) != 0)
            refuseEntry(quoted(entry.name), "another entry uses it as a folder");
}

template <class Sink>
void ZipReader::unpack(const ZipEntry& entry, Sink&& sink) const
{
    const std::string name = quoted(entry.name);
    const std::string_view data = std::string_view(archive_).substr(entry.dataOffset, entry.compressedSize);
    uLong crc = crc32(0, nullptr, 0);
    if (entry.method == MethodStored) {
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(data.data()), data.size());
        sink(data);
    } else {
        InflateStream inflater;
        z_stream& z = inflater.get();
        // Compressed sizes above 4 GiB need ZIP64, which was refused: the size fits zlib's counter.
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = static_cast<uInt>(data.size());
        unsigned char buffer[65536];
        uint64_t produced = 0;
        for (;;) {
            // Never more room than one byte past the declared size: that byte is enough to tell a lie.
            const uInt room = static_cast<uInt>(std::min<uint64_t>(sizeof buffer, entry.size + 1 - produced));
            z.next_out = buffer;
            z.avail_out = room;
            const int result = inflate(&z, Z_NO_FLUSH);
            const std::size_t got = room - z.avail_out;
            produced += got;
            if (produced > entry.size)
                refuseEntry(name, "it inflates to more than the declared " + std::to_string(entry.size) + " bytes");
            crc = crc32_z(crc, buffer, got);
            sink(std::string_view(reinterpret_cast<const char*>(buffer), got));
            if (result == Z_STREAM_END)
                break;
            if (result == Z_BUF_ERROR)
                refuseEntry(name, "its deflate data ends before its stream does");
            if (result != Z_OK)
                refuseEntry(name, std::string("its deflate data is damaged (") + (z.msg ? z.msg : "zlib error") + ")");
        }
        if (z.avail_in != 0)
            refuseEntry(name, "its data goes on after the end of its deflate stream");
        if (produced != entry.size)
            refuseEntry(name, "it inflates to " + std::to_string(produced) + " bytes, not the declared " +
                                  std::to_string(entry.size));
    }
    if (crc != entry.crc32)
        refuseEntry(name, "its CRC-32 does not match its data");
}

std::string ZipReader::read(const ZipEntry& entry) const
{
    const auto ours = std::find(entries_.begin(), entries_.end(), entry);
    if (ours == entries_.end())
        refuseEntry(quoted(entry.name), "it is not an entry of this archive");
    return unpacked(*ours);
}

std::string ZipReader::unpacked(const ZipEntry& entry) const
{
    std::string out;
    out.reserve(entry.size);
    unpack(entry, [&out](std::string_view piece) { out += piece; });
    return out;
}

void ZipReader::extractAll(std::string_view folder, std::string_view mask) const
{
    std::vector<const ZipEntry*> chosen;
    for (const ZipEntry& entry : entries_)
        if (platform::matchesMask(fileNameOf(entry.name), mask))
            chosen.push_back(&entry);
    // The whole check first, so that a damaged entry late in the archive leaves the folder as it was.
    for (const ZipEntry* entry : chosen)
        unpack(*entry, [](std::string_view) {});

    platform::FileSystem& files = platform::current().files();
    const std::string base = platform::includeTrailingBackslash(folder);
    for (const ZipEntry* entry : chosen) {
        const std::string target = base + entry->name;
        const std::string parent = entry->isFolder ? target : target.substr(0, target.rfind('\\'));
        if (!files.forceDirectories(parent))
            refuseEntry(quoted(entry->name), "the folder " + quoted(parent) + " cannot be created");
        if (!entry->isFolder)
            files.writeFile(target, unpacked(*entry));
    }
}

} // namespace tarvix
