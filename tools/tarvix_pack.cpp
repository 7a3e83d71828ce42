#include "tools/tarvix_pack.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "installer/payload_format.h"
#include "platform/ascii_case.h"
#include "platform/host_file.h"
#include "platform/text_encoding.h"
#include "platform/wine/windows_names.h"

namespace fs = std::filesystem;

namespace tarvix::pack {

namespace {

constexpr std::size_t DescriptorValueLimit = 2047; // characters the installer's profile reader keeps

std::string quoted(const fs::path& p)
{
    return "\"" + p.string() + "\"";
}

std::string systemText(int err)
{
    return std::strerror(err);
}

// The record name's bytes in the code page, or the reason the installer could not read it back.
std::string encodeName(const std::string& name, uint32_t codePage)
{
    if (const std::string reason = MotivoNomeRecusado(name); !reason.empty())
        throw PackError("The file name \"" + name + "\" cannot be packed: " + reason + ".");
    const std::string bytes = platform::encodeCodePage(name, codePage);
    if (platform::decodeCodePage(bytes, codePage) != name || bytes.find('\0') != std::string::npos)
        throw PackError("The file name \"" + name + "\" cannot be written in code page " + std::to_string(codePage) +
                        ".");
    if (bytes.size() > TamanhoMaximoNome)
        throw PackError("The file name \"" + name + "\" is " + std::to_string(bytes.size()) +
                        " bytes long in code page " + std::to_string(codePage) + "; a record name holds at most 255.");
    // What the reader makes of these bytes must be the name itself.
    if (NomeDoRegistro(bytes, codePage) != name || !NomeDeRegistroValido(NomeDoRegistro(bytes, codePage)))
        throw PackError("The file name \"" + name + "\" would not be read back as it is.");
    return bytes;
}

std::vector<std::string> readOrderFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw PackError("Cannot read the order file " + quoted(path) + ".");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            names.push_back(line);
    }
    return names;
}

std::string normalizedList(const std::string& list, const char* option)
{
    std::string body = list;
    if (!body.empty() && body.front() == '|')
        body.erase(0, 1);
    if (!body.empty() && body.back() == '|')
        body.pop_back();
    if (body.empty())
        return {};
    std::stringstream parts(body);
    std::string name;
    while (std::getline(parts, name, '|'))
        if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos)
            throw PackError(std::string("The ") + option + " list \"" + list +
                            "\" holds an empty name or a name with blanks.");
    return "|" + body + "|";
}

void checkValue(const std::string& key, const std::string& value, uint32_t codePage)
{
    if (value.find_first_of("\r\n") != std::string::npos)
        throw PackError("The descriptor value " + key + " holds a line break.");
    if (!value.empty() &&
        (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' || value.back() == '\t'))
        throw PackError("The descriptor value " + key + " begins or ends with a blank, which the installer drops.");
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        throw PackError("The descriptor value " + key + " is enclosed in quotes, which the installer drops.");
    if (platform::utf16Length(value) > DescriptorValueLimit)
        throw PackError("The descriptor value " + key + " is " + std::to_string(platform::utf16Length(value)) +
                        " characters long; the installer reads at most 2047.");
    if (platform::decodeCodePage(platform::encodeCodePage(value, codePage), codePage) != value)
        throw PackError("The descriptor value " + key + " cannot be written in code page " + std::to_string(codePage) +
                        ".");
}

// The output appears complete, with its run bit, or not at all: it is written to a temporary file beside it and
// renamed over it when complete. `produce` writes the bytes to the sink.
void writeOutput(const fs::path& output, const std::function<void(const platform::HostFileSink&)>& produce)
{
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw PackError("The output folder " + quoted(folder) + " does not exist.");
    if (fs::is_directory(output, ec))
        throw PackError("The output " + quoted(output) + " is a folder.");
    platform::HostFileOptions options;
    options.mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                   fs::perms::others_exec;
    try {
        platform::replaceHostFile(output, produce, options);
    } catch (const platform::HostFileError& e) {
        const std::string reason = systemText(e.systemError());
        switch (e.step()) {
        case platform::HostFileStep::CreateTemporary:
            throw PackError("Cannot create a file in " + quoted(folder) + ": " + reason + ".");
        case platform::HostFileStep::Write: throw PackError("Cannot write the output: " + reason + ".");
        case platform::HostFileStep::Replace: throw PackError("Cannot create " + quoted(output) + ": " + reason + ".");
        }
        throw;
    }
}

// Copies a whole file into the output; it must still have the size it was checked with.
void appendFile(const platform::HostFileSink& write, const fs::path& path, int64_t size, std::vector<char>& buffer)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw PackError("Cannot read " + quoted(path) + ".");
    int64_t left = size;
    while (left > 0) {
        in.read(buffer.data(),
                static_cast<std::streamsize>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size()))));
        const auto got = in.gcount();
        if (got <= 0)
            throw PackError(quoted(path) + " changed while it was packed.");
        write(buffer.data(), static_cast<std::size_t>(got));
        left -= got;
    }
    if (in.peek() != std::char_traits<char>::eof())
        throw PackError(quoted(path) + " changed while it was packed.");
}

int64_t regularFileSize(const fs::path& path, const char* what)
{
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        throw PackError(std::string(what) + " " + quoted(path) + " does not exist.");
    if (!fs::is_regular_file(status))
        throw PackError(std::string(what) + " " + quoted(path) + " is not a file.");
    const auto size = fs::file_size(path, ec);
    if (ec)
        throw PackError("Cannot read " + quoted(path) + ": " + ec.message() + ".");
    return static_cast<int64_t>(size);
}

} // namespace

std::vector<PackedRecord> CollectRecords(const PackOptions& options)
{
    std::error_code ec;
    if (!fs::is_directory(options.folder, ec))
        throw PackError("The library folder " + quoted(options.folder) + " does not exist.");

    std::vector<std::string> names;
    if (options.orderFile) {
        names = readOrderFile(*options.orderFile);
    } else {
        for (const auto& entry : fs::directory_iterator(options.folder)) {
            if (entry.is_directory())
                throw PackError("The library folder holds the folder " + quoted(entry.path()) +
                                "; records are bare files.");
            names.push_back(entry.path().filename().string());
        }
        // A fixed order: by name without regard to case, as the installer's folder lists it.
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const auto ua = platform::upperName(a), ub = platform::upperName(b);
            return ua != ub ? ua < ub : a < b;
        });
    }
    if (names.empty())
        throw PackError("There is nothing to pack: no file in " + quoted(options.folder) + ".");

    std::vector<PackedRecord> records;
    std::map<std::u16string, std::string> spelled; // Windows sees names that differ in case alone as one file
    int64_t archive = 0;
    for (const auto& name : names) {
        const std::string bytes = encodeName(name, options.codePage);
        const auto [it, added] = spelled.emplace(platform::upperName(name), name);
        if (!added && it->second != name)
            throw PackError("The file names \"" + it->second + "\" and \"" + name + "\" are the same on Windows.");
        const int64_t size = regularFileSize(options.folder / name, "The file");
        if (size > TamanhoMaximoParte)
            throw PackError("The file " + quoted(options.folder / name) + " is " + std::to_string(size) +
                            " bytes long; a record holds at most 2,147,483,647.");
        archive += TamanhoCabecalhoRegistro + static_cast<int64_t>(bytes.size()) + size;
        if (archive > TamanhoMaximoParte)
            throw PackError("The archive would be longer than 2,147,483,647 bytes.");
        records.push_back({name, size});
    }
    return records;
}

std::string BuildDescriptor(const DescriptorValues& values, const std::vector<PackedRecord>& records, uint32_t codePage)
{
    std::string files;
    if (values.files) {
        files = normalizedList(*values.files, "--files");
    } else {
        std::set<std::string> seen;
        for (const auto& record : records) {
            const auto dot = record.name.rfind('.');
            if (dot == std::string::npos || platform::upperName(record.name.substr(dot)) != u".DCU")
                continue;
            const std::string unit = record.name.substr(0, dot);
            if (seen.insert(unit).second)
                files += (files.empty() ? "|" : "") + unit + "|";
        }
    }
    const std::string names = values.names ? normalizedList(*values.names, "--names") : std::string();
    checkValue("Package", values.package, codePage);
    checkValue("Files", files, codePage);
    checkValue("Names", names, codePage);
    const std::string text = "[SETUP]\r\nVersion=" + std::to_string(values.version) + "\r\nPackage=" + values.package +
                             "\r\n\r\n[COMPONENTS]\r\nSource=" + (values.source ? "1" : "0") + "\r\nFiles=" + files +
                             "\r\nNames=" + names + "\r\n";
    return platform::encodeCodePage(text, codePage);
}

std::string SetReportUrl(const std::string& descriptor, const std::string& url, uint32_t codePage)
{
    static constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (descriptor.starts_with("\xFF\xFE") || descriptor.starts_with("\xFE\xFF"))
        throw PackError("--report-url cannot be written into a UTF-16 descriptor.");
    const bool utf8 = descriptor.starts_with(kUtf8Mark);
    if (!utf8)
        checkValue("Relatorio", url, codePage);
    else if (url.find_first_of("\r\n") != std::string::npos)
        throw PackError("The descriptor value Relatorio holds a line break.");
    const std::string line = "Relatorio=" + (utf8 ? url : platform::encodeCodePage(url, codePage)) + "\r\n";

    // Section and key names are ASCII here, so the bytes can be compared in any 8-bit code page and in UTF-8.
    auto trimmed = [](std::string_view text) {
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return std::string_view();
        return text.substr(first, text.find_last_not_of(" \t") - first + 1);
    };
    auto sectionOf = [&](std::string_view text) -> std::optional<std::string_view> {
        text = trimmed(text);
        if (text.size() < 2 || text.front() != '[' || text.back() != ']')
            return std::nullopt;
        return trimmed(text.substr(1, text.size() - 2));
    };

    std::string result;
    bool inSetup = false;
    bool written = false;
    std::size_t at = utf8 ? kUtf8Mark.size() : 0;
    result.append(descriptor, 0, at);
    while (at < descriptor.size()) {
        std::size_t end = descriptor.find_first_of("\r\n", at);
        std::size_t next = end;
        if (end == std::string::npos) {
            end = next = descriptor.size();
        } else {
            next = end + 1;
            if (descriptor[end] == '\r' && next < descriptor.size() && descriptor[next] == '\n')
                ++next;
        }
        const std::string_view text(descriptor.data() + at, end - at);
        const std::string_view whole(descriptor.data() + at, next - at);
        at = next;
        if (const auto section = sectionOf(text)) {
            inSetup = platform::equalsIgnoringAsciiCase(*section, "SETUP");
            result += whole;
            if (inSetup && !written) {
                if (whole.size() == text.size())
                    result += "\r\n"; // a header on the last line, without a line end
                result += line;
                written = true;
            }
            continue;
        }
        const auto equals = text.find('=');
        if (inSetup && equals != std::string_view::npos &&
            platform::equalsIgnoringAsciiCase(trimmed(text.substr(0, equals)), "Relatorio"))
            continue;
        result += whole;
    }
    if (!written) {
        if (!result.empty() && result.back() != '\n' && result.back() != '\r')
            result += "\r\n";
        result += "[SETUP]\r\n" + line;
    }
    return result;
}

Listing Pack(const PackOptions& options)
{
    if (options.descriptorFile.has_value() == options.descriptor.has_value())
        throw PackError("Give the descriptor either as a file (--descriptor) or as values (--version ...), not both "
                        "or neither.");
    const int64_t exeSize = regularFileSize(options.executable, "The setup executable");
    const std::vector<PackedRecord> records = CollectRecords(options);

    std::string descriptor;
    if (options.descriptorFile) {
        const int64_t size = regularFileSize(*options.descriptorFile, "The descriptor");
        if (size < 1 || size > TamanhoMaximoParte)
            throw PackError("The descriptor " + quoted(*options.descriptorFile) + " is empty or too long.");
        std::ifstream in(*options.descriptorFile, std::ios::binary);
        descriptor.assign(std::istreambuf_iterator<char>(in), {});
    } else {
        descriptor = BuildDescriptor(*options.descriptor, records, options.codePage);
    }
    if (options.reportUrl)
        descriptor = SetReportUrl(descriptor, *options.reportUrl, options.codePage);
    if (static_cast<int64_t>(descriptor.size()) > TamanhoMaximoParte)
        throw PackError("The descriptor is too long.");

    Listing listing;
    writeOutput(options.output, [&](const platform::HostFileSink& write) {
        auto writeText = [&](const std::string& bytes) { write(bytes.data(), bytes.size()); };
        std::vector<char> buffer(1 << 20);
        appendFile(write, options.executable, exeSize, buffer);
        for (const auto& record : records) {
            const std::string bytes = platform::encodeCodePage(record.name, options.codePage);
            writeText(EscreverCabecalhoRegistro(static_cast<uint8_t>(bytes.size()), static_cast<int32_t>(record.size)));
            writeText(bytes);
            appendFile(write, options.folder / record.name, record.size, buffer);
            listing.archiveSize += TamanhoCabecalhoRegistro + static_cast<int64_t>(bytes.size()) + record.size;
        }
        writeText(descriptor);
        writeText(EscreverTrailer(listing.archiveSize, static_cast<int64_t>(descriptor.size())));
    });
    listing.records = records;
    listing.descriptor = std::move(descriptor);
    return listing;
}

Listing List(const fs::path& installer, uint32_t codePage)
{
    const int64_t size = regularFileSize(installer, "The installer");
    std::ifstream in(installer, std::ios::binary);
    if (!in)
        throw PackError("Cannot read " + quoted(installer) + ".");
    unsigned char trailer[TamanhoTrailer] = {};
    std::optional<TLimitesPayload> limits;
    if (size >= TamanhoTrailer) {
        in.seekg(size - TamanhoTrailer);
        in.read(reinterpret_cast<char*>(trailer), TamanhoTrailer);
        limits = LerTrailer(trailer, size);
    }
    if (!limits)
        throw PackError(quoted(installer) + " does not end in a payload container.");

    Listing listing;
    listing.archiveSize = limits->TamanhoArquivo;
    in.seekg(limits->InicioArquivo);
    int64_t position = 0;
    while (position < limits->TamanhoArquivo) {
        const std::string where = "record " + std::to_string(listing.records.size() + 1);
        unsigned char header[TamanhoCabecalhoRegistro];
        char name[TamanhoMaximoNome];
        if (limits->TamanhoArquivo - position < TamanhoCabecalhoRegistro ||
            !in.read(reinterpret_cast<char*>(header), TamanhoCabecalhoRegistro))
            throw PackError("The archive ends inside the header of " + where + ".");
        const TCabecalhoRegistro record = LerCabecalhoRegistro(header);
        position += TamanhoCabecalhoRegistro + record.TamanhoNome;
        if (position > limits->TamanhoArquivo || !in.read(name, record.TamanhoNome))
            throw PackError("The archive ends inside the name of " + where + ".");
        if (record.TamanhoDados < 0 || record.TamanhoDados > limits->TamanhoArquivo - position)
            throw PackError("The data of " + where + " runs past the end of the archive.");
        const std::string decoded = NomeDoRegistro(std::string_view(name, record.TamanhoNome), codePage);
        if (!decoded.empty() && !NomeDeRegistroValido(decoded))
            throw PackError("The name \"" + decoded + "\" of " + where + " is refused: " + MotivoNomeRecusado(decoded) +
                            ".");
        listing.records.push_back({decoded, record.TamanhoDados});
        position += record.TamanhoDados;
        in.seekg(record.TamanhoDados, std::ios::cur);
    }
    listing.descriptor.resize(static_cast<std::size_t>(limits->TamanhoDescritor));
    in.seekg(limits->InicioDescritor);
    if (!in.read(listing.descriptor.data(), limits->TamanhoDescritor))
        throw PackError("Cannot read the descriptor of " + quoted(installer) + ".");
    return listing;
}

namespace {

constexpr const char* Usage =
    "Usage:\n"
    "  tarvix-pack --exe SETUP --dir FOLDER [--order FILE] --output INSTALLER [--code-page N]\n"
    "              (--descriptor FILE | --version N [--package TEXT] [--source 0|1] [--files A|B|...]\n"
    "               [--names TA|TB|...]) [--report-url URL]\n"
    "  tarvix-pack --list INSTALLER [--code-page N]\n"
    "\n"
    "Appends the files of FOLDER (one record each; in the order of the order file, one name per line, else by\n"
    "name) and the setup descriptor to a copy of SETUP, and writes it as INSTALLER with its run bit. Without\n"
    "--files the descriptor lists the units of the .dcu files. --list prints the records (name and size, in\n"
    "order) and the descriptor of an installer. Names are in code page N (default 1252). --report-url sets\n"
    "where the installer posts its installation report ([SETUP] Relatorio; an empty URL: no report).\n";

int parseInt(const std::string& text, const char* option)
{
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used, 0);
        if (used == text.size() && value >= INT32_MIN && value <= INT32_MAX)
            return static_cast<int>(value);
    } catch (const std::exception&) {}
    throw PackError(std::string("The value of ") + option + " is not a whole number: \"" + text + "\".");
}

} // namespace

int Main(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    std::map<std::string, std::string> args;
    static const std::set<std::string> known = {"--exe",       "--dir",        "--order",   "--output",    "-o",
                                                "--code-page", "--descriptor", "--version", "--package",   "--source",
                                                "--files",     "--names",      "--list",    "--report-url"};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            out << Usage;
            return 0;
        }
        if (!known.count(option) || i + 1 >= argc) {
            err << "tarvix-pack: " << (known.count(option) ? "missing value for " : "unknown option ") << option
                << "\n\n"
                << Usage;
            return 2;
        }
        args[option == "-o" ? "--output" : option] = argv[++i];
    }
    auto has = [&](const char* key) { return args.count(key) != 0; };
    try {
        const uint32_t codePage =
            has("--code-page") ? static_cast<uint32_t>(parseInt(args["--code-page"], "--code-page")) : 1252;
        if (platform::iconvName(codePage).empty())
            throw PackError("Code page " + std::to_string(codePage) + " is not supported.");
        if (has("--list")) {
            const Listing listing = List(args["--list"], codePage);
            for (const auto& record : listing.records)
                out << record.name << '\t' << record.size << '\n';
            out << "-- " << listing.records.size() << " records, archive " << listing.archiveSize
                << " bytes, descriptor " << listing.descriptor.size() << " bytes:\n"
                << platform::decodeCodePage(listing.descriptor, codePage);
            return 0;
        }
        for (const char* required : {"--exe", "--dir", "--output"})
            if (!has(required)) {
                err << "tarvix-pack: " << required << " is required\n\n" << Usage;
                return 2;
            }
        PackOptions options;
        options.executable = args["--exe"];
        options.folder = args["--dir"];
        options.output = args["--output"];
        options.codePage = codePage;
        if (has("--order"))
            options.orderFile = args["--order"];
        if (has("--descriptor"))
            options.descriptorFile = args["--descriptor"];
        if (has("--report-url"))
            options.reportUrl = args["--report-url"];
        const bool values = has("--version") || has("--package") || has("--source") || has("--files") || has("--names");
        if (values) {
            if (!has("--version"))
                throw PackError("--version is needed when the descriptor is given as values.");
            DescriptorValues descriptor;
            descriptor.version = parseInt(args["--version"], "--version");
            descriptor.package = args["--package"];
            if (has("--source")) {
                const int source = parseInt(args["--source"], "--source");
                if (source != 0 && source != 1)
                    throw PackError("The value of --source is 0 or 1.");
                descriptor.source = source == 1;
            }
            if (has("--files"))
                descriptor.files = args["--files"];
            if (has("--names"))
                descriptor.names = args["--names"];
            options.descriptor = descriptor;
        }
        const Listing listing = Pack(options);
        out << "Packed " << listing.records.size() << " records (" << listing.archiveSize
            << " bytes) and a descriptor of " << listing.descriptor.size() << " bytes into " << options.output.string()
            << "\n";
        return 0;
    } catch (const PackError& e) {
        err << "tarvix-pack: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "tarvix-pack: " << e.what() << "\n";
        return 1;
    }
}

} // namespace tarvix::pack
