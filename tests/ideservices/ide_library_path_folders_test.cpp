// Adding the installer's folder to the library paths of a Delphi 13 twice, spelled once with and once without
// its trailing backslash (and in other letter case): the folder is named once, in the registry and in
// EnvOptions.proj alike.
#include "ideservices/ide_installation.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/ascii_case.h"
#include "platform/windows_path.h"
#include "tests/ideservices/ide_tool_sandbox.h"

using namespace tarvix;
using enum TIdeBDSPlatform;
using platform::RegRoot;
using test::IdeSandbox;
using tools::IdeSetup;
namespace KeyAccess = platform::KeyAccess;

namespace {

// How often Folder occurs in a path list, ignoring case and one trailing backslash.
int Occurrences(const std::string& list, const std::string& folder)
{
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = list.find(';', start);
        const std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (platform::equalsIgnoringAsciiCase(platform::excludeTrailingBackslash(item),
                                              platform::excludeTrailingBackslash(folder)))
            ++count;
        if (end == std::string::npos)
            return count;
        start = end + 1;
    }
}

TEST(LibraryPathFolders, AFolderWithAndWithoutItsTrailingBackslashIsAddedOnce)
{
    struct Path {
        const char* what;
        std::function<bool(TIdeBorRADToolInstallation&, const std::string&)> add;
        const char* registryValue; // in "Library\Win32"
        const char* property;      // of EnvOptions.proj, raw text
    };
    const std::vector<Path> paths = {
        {"search path", [](TIdeBorRADToolInstallation& d, const std::string& f) { return d.AddToLibrarySearchPath(f); },
         "Search Path", "DelphiLibraryPath"},
        {"browsing path",
         [](TIdeBorRADToolInstallation& d, const std::string& f) { return d.AddToLibraryBrowsingPath(f); },
         "Browsing Path", "DelphiBrowsingPath"},
        {"debug DCU path", [](TIdeBorRADToolInstallation& d, const std::string& f) { return d.AddToDebugDCUPath(f); },
         "Debug DCU Path", "DelphiDebugDCUPath"},
    };
    struct Case {
        const char* what;
        bool folderExists;
        const char* first;
        const char* second;
    };
    const std::vector<Case> cases = {
        {"a folder that exists", true, "C:\\Tarvix\\D37", "c:\\tarvix\\d37\\"},
        {"a folder that does not exist yet", false, "C:\\Tarvix\\D37", "c:\\tarvix\\d37\\"},
        {"the backslash first", true, "C:\\Tarvix\\D37\\", "c:\\tarvix\\d37"},
    };
    for (const Case& c : cases) {
        for (const Path& p : paths) {
            SCOPED_TRACE(std::string(c.what) + ", " + p.what);
            IdeSandbox s;
            auto& d = dynamic_cast<TIdeBDSInstallation&>(s.install(IdeSetup::delphi13()));
            if (c.folderExists)
                s.prefix().makeFolder("C:\\Tarvix\\D37");
            const std::string before = d.ReadEnvOption(p.property, bpWin32, true);
            ASSERT_EQ(Occurrences(before, c.first), 0);

            EXPECT_TRUE(p.add(d, c.first));
            EXPECT_TRUE(p.add(d, c.second));

            const std::string expected = before + ";" + c.first;
            EXPECT_EQ(d.ReadEnvOption(p.property, bpWin32, true), expected);
            auto key = platform::current().registry().openKey(
                RegRoot::CurrentUser, s.ide().machineKey + "\\Library\\Win32", KeyAccess::Read, false);
            ASSERT_NE(key, nullptr);
            EXPECT_EQ(key->readString(p.registryValue), expected);
        }
    }
}

} // namespace
