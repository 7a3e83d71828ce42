// The utilities that ask the file system and the shell: the temporary and current folders, file names as
// stored, the running executable and open windows. Everything goes through platform::current().
#include "components/kq_lib_functions.h"

#include <algorithm>
#include <vector>

#include "platform/system.h"
#include "platform/text_encoding.h"

namespace tarvix {

namespace {

// Longest temporary folder and current folder the system hands out (the MAX_PATH buffers, less the terminator
// for the current folder).
constexpr std::size_t MaxTempDirLength = 260;
constexpr std::size_t MaxCurrentDirLength = 259;
// Longest window title or class name IsRunning compares.
constexpr int MaxAppNameLength = 39;

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The drive part of a Windows path: "C:" of "C:\x", "\\server\share" of "\\server\share\x"; empty when there
// is none.
std::string_view drivePart(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':' && isAsciiLetter(path[0]))
        return path.substr(0, 2);
    if (path.starts_with("\\\\")) {
        const std::size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string_view::npos)
            return path;
        const std::size_t shareEnd = path.find('\\', serverEnd + 1);
        return shareEnd == std::string_view::npos ? path : path.substr(0, shareEnd);
    }
    return {};
}

// The name under which the file system stores the last component of `path`, `component`; empty when there is
// no such entry.
std::string storedName(const std::string& path, std::string_view component)
{
    if (component.empty())
        return {};
    // "." and ".." name the folder itself and its parent; they are spelled the same however the folders are.
    if (component == "." || component == "..")
        return std::string(component);
    const std::string stored = platform::current().files().longPathName(path);
    if (stored.empty())
        return {};
    const std::size_t slash = stored.rfind('\\');
    return slash == std::string::npos ? stored : stored.substr(slash + 1);
}

} // namespace

std::string GetTempDir()
{
    const std::string folder = platform::current().shell().tempFolder();
    if (folder.empty())
        return {};
    std::string result = IncPathDelimiter(folder);
    // A longer path does not fit the system's buffer; cutting it would name another folder, so report failure.
    if (platform::utf16Length(result) > MaxTempDirLength)
        return {};
    return result;
}

std::string GetCurrentDir()
{
    const std::string folder = platform::current().files().currentDirectory();
    if (folder.empty() || platform::utf16Length(folder) > MaxCurrentDirLength)
        return {};
    return IncPathDelimiter(folder);
}

std::string TranslateFileName(std::string_view FileName, bool Long)
{
    // There are no short (8.3) names in the Wine prefix: every component keeps its long name.
    (void)Long;

    // Windows takes "/" for "\" in paths; spelled with "\" everywhere, every component is looked up on its own
    // (a lookup of "a/b" would give the stored name of b alone, and a lost folder with it).
    std::string name(FileName);
    std::replace(name.begin(), name.end(), '/', '\\');
    if (drivePart(name).empty()) {
        const std::string current = GetCurrentDir();
        if (!current.empty())
            name = IncPathDelimiter(current) + name;
    }

    // Without a current folder a relative name cannot be made full, and so cannot be spelled from its drive on.
    if (drivePart(name).empty())
        return {};
    platform::FileSystem& files = platform::current().files();
    if (!files.fileExists(name))
        return {};

    const std::string_view drive = drivePart(name);
    std::string result = StrUpper(drive) + "\\";
    std::string path = result;
    // The rest follows the drive part and its backslash; measured on the name as given, so that a change of
    // length by upper-casing cannot shift it.
    const std::string_view rest =
        drive.size() + 1 <= name.size() ? std::string_view(name).substr(drive.size() + 1) : std::string_view();

    // Windows reads repeated backslashes as one, so empty components are passed over.
    std::vector<std::string_view> components;
    for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t end = std::min(rest.find('\\', start), rest.size());
        if (end > start)
            components.push_back(rest.substr(start, end - start));
        start = end + 1;
    }

    for (std::size_t i = 0; i < components.size(); ++i) {
        path += components[i];
        result += storedName(path, components[i]);
        if (!result.empty() && i + 1 < components.size())
            result.push_back('\\');
        path.push_back('\\');
    }
    return result;
}

std::string GetLongFileName(std::string_view FileName)
{
    return TranslateFileName(FileName, true);
}

std::string ExeName()
{
    return GetLongFileName(platform::current().shell().executablePath());
}

bool IsRunning(std::string_view AppName)
{
    return platform::current().shell().windowExists(StrLeft(AppName, MaxAppNameLength));
}

} // namespace tarvix
