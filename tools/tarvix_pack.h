// tarvix-pack: makes an installer by appending a payload container (installer/payload_format.h) to a copy of
// the setup executable, and lists the payload of an installer. Host paths throughout: this is a build tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvix::pack {

// Every refusal of the packer; the message is plain English and names what it is about.
class PackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The descriptor's values, when it is built from options rather than taken from a file.
struct DescriptorValues {
    int32_t version = 0;
    std::string package;
    bool source = false;
    std::optional<std::string> files; // "A|B|C" or "|A|B|C|"; derived from the .dcu records when absent
    std::optional<std::string> names; // empty when absent
};

struct PackOptions {
    std::filesystem::path executable;                    // the setup program the payload is appended to
    std::filesystem::path folder;                        // the library's files, one record each
    std::optional<std::filesystem::path> orderFile;      // one file name per line: the records, in order
    std::optional<std::filesystem::path> descriptorFile; // taken as it is
    std::optional<DescriptorValues> descriptor;          // or built from these
    std::filesystem::path output;
    uint32_t codePage = 1252; // of the record names and of a built descriptor
    // The installation report's endpoint written into the descriptor as [SETUP] Relatorio (an empty one: no
    // report); unset leaves the descriptor as it is, and the installer then uses the endpoint it was built with.
    std::optional<std::string> reportUrl;
};

struct PackedRecord {
    std::string name; // UTF-8
    int64_t size = 0;
};

struct Listing {
    std::vector<PackedRecord> records;
    int64_t archiveSize = 0;
    std::string descriptor; // the descriptor's bytes
};

// The records the options name, in order, checked: every name one the installer's reader accepts (bare file
// name, at most 255 bytes in the code page, representable in it), every file at most 2,147,483,647 bytes, the
// archive as a whole too. Raises PackError.
std::vector<PackedRecord> CollectRecords(const PackOptions& options);

// The descriptor `descriptor` (8-bit text in the code page, or UTF-8 after its byte-order mark) with the key
// Relatorio of section [SETUP] set to `url`: every Relatorio line of a [SETUP] section goes, and one new line
// follows the first [SETUP] header (a section is added at the end when there is none). The other lines and
// their line ends stay byte for byte. Raises PackError for a value the installer would not read back as given
// and for a UTF-16 descriptor.
std::string SetReportUrl(const std::string& descriptor, const std::string& url, uint32_t codePage);

// The descriptor text built from values, CR LF line ends, in the code page. Raises PackError for a value the
// installer's reader would not read back as given.
std::string BuildDescriptor(const DescriptorValues& values, const std::vector<PackedRecord>& records,
                            uint32_t codePage);

// Writes the installer. Atomic: the result appears complete, with its run bit, or not at all. Raises PackError.
Listing Pack(const PackOptions& options);

// The payload of an installer. Raises PackError when it has none or it is damaged.
Listing List(const std::filesystem::path& installer, uint32_t codePage = 1252);

// The command line; returns the exit code (0 done, 1 refused, 2 bad usage).
int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace tarvix::pack
