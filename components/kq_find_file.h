// TKqFindFile: collects the files that match one or more wildcard masks in a folder and, optionally, in all its
// sub-folders, filtered by their attributes. It keeps the user interface responsive while it searches (the
// message pump runs after every folder and every entry) and can be stopped by Abort or by a maximum number of
// files. A link that leads back to a folder being searched (a cycle) is not followed.
//
// The attribute rules apply to what the platform reports for each entry. On the Wine prefix that is read-only
// for an entry without the owner's write permission and hidden for a name that begins with a dot; the prefix
// keeps no system attribute, so there foSysFiles makes no difference. On Windows all three come from the
// file system.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "components/component.h"

namespace tarvix {

enum TKqFindOption : uint8_t {
    foIncludePath = 0,   // each result is the folder, a backslash and the name
    foRecursiveDir = 1,  // also search every sub-folder, depth first
    foReadOnlyFiles = 2, // read-only files may be reported
    foHiddenFiles = 3,   // hidden files may be reported and hidden sub-folders are searched
    foSysFiles = 4,      // system files may be reported and system sub-folders are searched
};

// A set of TKqFindOption; option o is the bit 1 << o.
class TKqFindOptions {
public:
    constexpr TKqFindOptions() = default;
    constexpr TKqFindOptions(std::initializer_list<TKqFindOption> options)
    {
        for (TKqFindOption o : options)
            Include(o);
    }
    static constexpr TKqFindOptions All()
    {
        return {foIncludePath, foRecursiveDir, foReadOnlyFiles, foHiddenFiles, foSysFiles};
    }
    static constexpr TKqFindOptions FromBits(uint8_t bits)
    {
        TKqFindOptions s;
        s.FBits = static_cast<uint8_t>(bits & All().FBits);
        return s;
    }

    constexpr bool Contains(TKqFindOption o) const { return (FBits & Bit(o)) != 0; }
    constexpr TKqFindOptions& Include(TKqFindOption o)
    {
        FBits = static_cast<uint8_t>(FBits | Bit(o));
        return *this;
    }
    constexpr TKqFindOptions& Exclude(TKqFindOption o)
    {
        FBits = static_cast<uint8_t>(FBits & ~Bit(o));
        return *this;
    }
    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool Empty() const { return FBits == 0; }

    friend constexpr bool operator==(TKqFindOptions, TKqFindOptions) = default;

private:
    static constexpr uint8_t Bit(TKqFindOption o) { return static_cast<uint8_t>(1u << o); }
    uint8_t FBits = 0;
};

class TKqFindFile;

// Raised for each file added to Files, with the text added.
using TKqFindFoundEvent = std::function<void(TKqFindFile& Sender, const std::string& FileName)>;
// Raised for each folder about to be searched (a Windows path without a trailing backslash).
using TKqFindSearchDirEvent = std::function<void(TKqFindFile& Sender, const std::string& Directory)>;

class TKqFindFile : public TComponent {
public:
    TKqFindFile();

    // One or more wildcard masks separated by ";" ("*.dcr;*.res"); blanks around them are ignored.
    const std::string& FileToSearch() const { return FFileToSearch; }
    void SetFileToSearch(std::string_view value) { FFileToSearch = value; }
    // The folder where the search starts; one trailing backslash is removed when it is set.
    const std::string& InitialDir() const { return FInitialDir; }
    void SetInitialDir(std::string_view value);
    // Stop when Files holds this many names; 0 means no limit.
    int MaxFiles() const { return FMaxFiles; }
    void SetMaxFiles(int value) { FMaxFiles = value; }
    // All five options by default.
    TKqFindOptions Options() const { return FOptions; }
    void SetOptions(TKqFindOptions value) { FOptions = value; }

    // The names found by the last Execute, in the order found. The list is the component's; callers may sort it.
    std::vector<std::string>& Files() { return FFiles; }
    const std::vector<std::string>& Files() const { return FFiles; }

    // Empties Files and searches InitialDir. True unless Abort was called during the search; reaching MaxFiles
    // is not an abort. A folder that does not exist or cannot be read simply adds nothing.
    bool Execute();
    // Stops the search at its next check (from an event handler, or from a user action handled while the
    // search lets messages be processed).
    void Abort() { FAborted = true; }

    TKqFindFoundEvent OnFound;
    TKqFindSearchDirEvent OnSearchDir;

    // The attribute bits a file may carry to be reported with the given options: archive (0x20) up to 0x10000
    // always, read-only, hidden and system with their options. Everything else, a folder (0x10) or a volume
    // label (0x8) above all, keeps an entry out.
    static uint32_t AllowedAttributes(TKqFindOptions options);

private:
    bool MayGoOn() const;
    void SearchFolder(const std::string& folder);
    void SearchMask(const std::string& folder, const std::string& mask);
    void SearchSubFolders(const std::string& folder);

    std::string FFileToSearch;
    std::string FInitialDir;
    int FMaxFiles = 0;
    TKqFindOptions FOptions = TKqFindOptions::All();
    std::vector<std::string> FFiles;
    bool FAborted = false;
    // The folders whose sub-folders are being searched, as resolved host paths, outermost first.
    std::vector<std::string> FOpenFolders;
};

} // namespace tarvix
