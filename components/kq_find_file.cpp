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
    if (!value.empty() && value.back() == '\\')
        value.remove_suffix(1);
    initialDir_ = value;
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
    aborted_ = false;
    files_.clear();
    openFolders_.clear();
    searchFolder(initialDir_);
    return !aborted_;
}

bool TKqFindFile::mayGoOn() const
{
    return !aborted_ && (maxFiles_ == 0 || static_cast<int64_t>(files_.size()) != maxFiles_);
}

void TKqFindFile::searchFolder(const std::string& folder)
{
    if (OnSearchDir)
        OnSearchDir(*this, folder);
    processMessages();

    // Read anew for every folder: a handler may have changed the masks meanwhile.
    for (const std::string& mask : splitMasks(fileToSearch_))
        searchMask(folder, mask);

    if (options_.Contains(foRecursiveDir)) {
        const std::optional<std::string> identity = folderIdentity(folder);
        if (identity)
            openFolders_.push_back(*identity);
        searchSubFolders(folder);
        if (identity)
            openFolders_.pop_back();
    }
}

void TKqFindFile::searchMask(const std::string& folder, const std::string& mask)
{
    const std::vector<platform::DirEntry> entries = platform::current().files().enumerate(folder, mask);
    for (const platform::DirEntry& entry : entries) {
        if (!mayGoOn())
            break;
        // Options are read for every entry, as a handler may change them while the search runs.
        if ((entry.attributes & ~AllowedAttributes(options_)) == 0) {
            std::string name = options_.Contains(foIncludePath) ? folder + "\\" + entry.name : entry.name;
            files_.push_back(name);
            if (OnFound)
                OnFound(*this, name);
        }
        processMessages();
    }
}

void TKqFindFile::searchSubFolders(const std::string& folder)
{
    const std::vector<platform::DirEntry> entries = platform::current().files().enumerate(folder, "*.*");
    for (const platform::DirEntry& entry : entries) {
        if (!mayGoOn())
            break;
        if ((entry.attributes & Hidden) && !options_.Contains(foHiddenFiles))
            continue;
        if ((entry.attributes & System) && !options_.Contains(foSysFiles))
            continue;
        if (!(entry.attributes & Directory) || entry.name == "." || entry.name == "..")
            continue;
        const std::string sub = folder + "\\" + entry.name;
        // A link back to a folder that is being searched would repeat the search below it without end (and, with
        // two such links, double it at every level): such a folder has been searched already.
        const std::optional<std::string> identity = folderIdentity(sub);
        if (identity && std::find(openFolders_.begin(), openFolders_.end(), *identity) != openFolders_.end())
            continue;
        searchFolder(sub);
    }
}

} // namespace tarvix
