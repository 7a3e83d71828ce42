#include "components/kq_find_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "components/kq_lib_functions.h"
#include "platform/errors.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "platform/system.h"

namespace tarvix {

namespace {

using platform::FileAttr::Directory;
using platform::FileAttr::Hidden;
using platform::FileAttr::ReadOnly;
using platform::FileAttr::System;

// The archive bit and every bit above it up to 0x10000.
constexpr uint32_t AlwaysAllowed = 0x1FFE0;

// The masks of FileToSearch: cut at ";", each trimmed of spaces and control characters, empty ones dropped.
std::vector<std::string> splitMasks(std::string_view fileToSearch)
{
    std::vector<std::string> masks;
    const std::string all = StrAllTrim(fileToSearch);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(';', start);
        if (end == std::string::npos)
            end = all.size();
        std::string mask = StrAllTrim(std::string_view(all).substr(start, end - start));
        if (!mask.empty())
            masks.push_back(std::move(mask));
        start = end + 1;
    }
    return masks;
}

// What identifies a folder however it is reached: its host path with every link resolved. Nothing when the
// folder cannot be resolved (then it cannot be recognised either).
std::optional<std::string> folderIdentity(const std::string& folder)
{
    try {
        std::error_code ec;
        const std::filesystem::path resolved =
            std::filesystem::canonical(platform::current().files().toHostPath(folder), ec);
        if (ec)
            return std::nullopt;
        return resolved.string();
    } catch (const platform::PlatformError&) {
        return std::nullopt;
    }
}

void processMessages()
{
    platform::messagePump().processMessages();
}

} // namespace

TKqFindFile::TKqFindFile() = default;

void TKqFindFile::SetInitialDir(std::string_view value)
{
    // One trailing backslash comes off, even that of a drive root ("C:\" is kept as "C:"), unlike
    // platform::excludeTrailingBackslash: the search puts a backslash between a folder and each name itself.
    if (!value.empty() && value.back() == '\\')
        value.remove_suffix(1);
    FInitialDir = value;
}

uint32_t TKqFindFile::AllowedAttributes(TKqFindOptions options)
{
    uint32_t allowed = AlwaysAllowed;
    if (options.Contains(foReadOnlyFiles))
        allowed |= ReadOnly;
    if (options.Contains(foHiddenFiles))
        allowed |= Hidden;
    if (options.Contains(foSysFiles))
        allowed |= System;
    return allowed;
}

bool TKqFindFile::Execute()
{
    FAborted = false;
    FFiles.clear();
    FOpenFolders.clear();
    SearchFolder(FInitialDir);
    return !FAborted;
}

bool TKqFindFile::MayGoOn() const
{
    return !FAborted && (FMaxFiles == 0 || static_cast<int64_t>(FFiles.size()) != FMaxFiles);
}

void TKqFindFile::SearchFolder(const std::string& folder)
{
    if (OnSearchDir)
        OnSearchDir(*this, folder);
    processMessages();

    // Read anew for every folder: a handler may have changed the masks meanwhile.
    for (const std::string& mask : splitMasks(FFileToSearch))
        SearchMask(folder, mask);

    if (FOptions.Contains(foRecursiveDir)) {
        const std::optional<std::string> identity = folderIdentity(folder);
        if (identity)
            FOpenFolders.push_back(*identity);
        SearchSubFolders(folder);
        if (identity)
            FOpenFolders.pop_back();
    }
}

void TKqFindFile::SearchMask(const std::string& folder, const std::string& mask)
{
    const std::vector<platform::DirEntry> entries = platform::current().files().enumerate(folder, mask);
    for (const platform::DirEntry& entry : entries) {
        if (!MayGoOn())
            break;
        // Options are read for every entry, as a handler may change them while the search runs.
        if ((entry.attributes & ~AllowedAttributes(FOptions)) == 0) {
            std::string name = FOptions.Contains(foIncludePath) ? folder + "\\" + entry.name : entry.name;
            FFiles.push_back(name);
            if (OnFound)
                OnFound(*this, name);
        }
        processMessages();
    }
}

void TKqFindFile::SearchSubFolders(const std::string& folder)
{
    const std::vector<platform::DirEntry> entries = platform::current().files().enumerate(folder, "*.*");
    for (const platform::DirEntry& entry : entries) {
        if (!MayGoOn())
            break;
        if ((entry.attributes & Hidden) && !FOptions.Contains(foHiddenFiles))
            continue;
        if ((entry.attributes & System) && !FOptions.Contains(foSysFiles))
            continue;
        if (!(entry.attributes & Directory) || entry.name == "." || entry.name == "..")
            continue;
        const std::string sub = folder + "\\" + entry.name;
        // A link back to a folder that is being searched would repeat the search below it without end (and, with
        // two such links, double it at every level): such a folder has been searched already.
        const std::optional<std::string> identity = folderIdentity(sub);
        if (identity && std::find(FOpenFolders.begin(), FOpenFolders.end(), *identity) != FOpenFolders.end())
            continue;
        SearchFolder(sub);
    }
}

} // namespace tarvix
