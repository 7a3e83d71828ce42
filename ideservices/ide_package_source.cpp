#include "ideservices/ide_package_source.h"

#include "ideservices/ide_errors.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/private_profile.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace {

std::string_view WithoutTrailingBlanks(std::string_view line)
{
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
        line.remove_suffix(1);
    return line;
}

// The text after the first `skip` characters, without the line's last character (a whole UTF-8 sequence).
std::string Between(std::string_view line, std::size_t skip)
{
    std::size_t end = line.size();
    if (end > 0) {
        --end;
        while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
    }
    return end > skip ? std::string(line.substr(skip, end - skip)) : std::string();
}

std::string WithoutOneQuotePair(const std::string& text)
{
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

// Lines as a text file's line breaks (CR LF, LF or CR) cut them.
std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

} // namespace

TPackageSourceFacts PackageSourceFactsOfLines(const std::vector<std::string>& Lines)
{
    static constexpr std::string_view Description = "{$DESCRIPTION '";
    static constexpr std::string_view LibSuffix = "{$LIBSUFFIX '";
    static constexpr std::string_view RunOnly = "{$RUNONLY}";
    TPackageSourceFacts facts;
    for (const std::string& text : Lines) {
        const std::string_view line = WithoutTrailingBlanks(text);
        if (line.starts_with(Description))
            facts.Description = Between(line, Description.size() - 1);
        else if (line.starts_with(LibSuffix))
            facts.LibSuffix = WithoutOneQuotePair(Between(line, LibSuffix.size() - 1));
        else if (line.starts_with(RunOnly))
            facts.IsRunOnly = true;
    }
    return facts;
}

TPackageSourceFacts ReadPackageSourceFacts(const std::string& PackageName)
{
    platform::System& system = platform::current();
    const std::string bytes = system.files().readFile(PackageName);
    const std::string text = platform::utf16ToUtf8(platform::decodeProfileText(bytes, system.shell().ansiCodePage()));
    return PackageSourceFactsOfLines(SplitLines(text));
}

std::string PackageBinaryPath(const std::string& OutputPath, const std::string& ProjectFileName)
{
    const std::string extension = ide::ExtractFileExt(ProjectFileName);
    if (!platform::equalsIgnoringAsciiCase(extension, ".dpk"))
        throw EIdeCompilerUtilsException(extension + " not a known project extension");
    const std::string name = ide::ChangeFileExt(ide::ExtractFileName(ProjectFileName), "");
    return platform::includeTrailingBackslash(OutputPath) + name + ReadPackageSourceFacts(ProjectFileName).LibSuffix +
           ".bpl";
}

} // namespace tarvix
