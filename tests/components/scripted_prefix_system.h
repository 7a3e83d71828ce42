// An empty sandbox Wine prefix (drives, no hives, nothing on drive C) as the current system for the tests of the
// components that ask the file system and the shell, with two stand-ins for what the prefix cannot show: entries
// that carry the system attribute (the prefix keeps none), and a shell whose temporary folder, executable path
// and open windows the test decides. Everything else is the prefix's. The folder tests list drive C as the test
// made it, which is why this is not a prefix made by the prefix builder (tests/support/sandbox_system.h).
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"
#include "tests/support/forwarding_file_system.h"

namespace tarvix::test {

// The prefix's file system, with the system attribute added to the entries whose names (any case) are listed.
class SystemAttributeFiles : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;

    std::set<std::string> systemNames; // upper case

    std::optional<uint32_t> attributes(std::string_view p) const override
    {
        auto a = inner_.attributes(p);
        const std::size_t slash = p.rfind('\\');
        if (a && isSystem(slash == std::string_view::npos ? p : p.substr(slash + 1)))
            *a |= platform::FileAttr::System;
        return a;
    }
    std::vector<platform::DirEntry> enumerate(std::string_view folder, std::string_view mask) const override
    {
        auto entries = inner_.enumerate(folder, mask);
        for (auto& e : entries)
            if (isSystem(e.name))
                e.attributes |= platform::FileAttr::System;
        return entries;
    }

private:
    bool isSystem(std::string_view name) const { return systemNames.count(platform::asciiUpperCase(name)) != 0; }
};

// The prefix's shell, except for what the test sets: the temporary folder and executable path it reports, and
// the windows that exist (titles or classes). The names asked for by windowExists are recorded.
class ScriptedShell : public platform::Shell {
public:
    explicit ScriptedShell(platform::Shell& inner) : inner_(inner) {}

    std::optional<std::string> tempFolderAnswer;
    std::optional<std::string> executablePathAnswer;
    std::set<std::string> windows;
    mutable std::vector<std::string> windowQueries;

    std::string appDataFolder() const override { return inner_.appDataFolder(); }
    std::string commonDocumentsFolder() const override { return inner_.commonDocumentsFolder(); }
    std::string programFiles32Folder() const override { return inner_.programFiles32Folder(); }
    std::string desktopFolder() const override { return inner_.desktopFolder(); }
    std::string windowsFolder() const override { return inner_.windowsFolder(); }
    std::string tempFolder() override { return tempFolderAnswer ? *tempFolderAnswer : inner_.tempFolder(); }
    std::vector<std::string> environmentStrings() const override { return inner_.environmentStrings(); }
    std::optional<std::string> environmentVariable(std::string_view n) const override
    {
        return inner_.environmentVariable(n);
    }
    std::string expandEnvironmentStrings(std::string_view t) const override
    {
        return inner_.expandEnvironmentStrings(t);
    }
    uint32_t ansiCodePage() const override { return inner_.ansiCodePage(); }
    uint32_t oemCodePage() const override { return inner_.oemCodePage(); }
    std::string executablePath() const override
    {
        return executablePathAnswer ? *executablePathAnswer : inner_.executablePath();
    }
    bool windowExists(std::string_view titleOrClass) const override
    {
        windowQueries.emplace_back(titleOrClass);
        return windows.count(std::string(titleOrClass)) != 0;
    }
    std::vector<std::string> dotNetFrameworkFolders() const override { return inner_.dotNetFrameworkFolders(); }

private:
    platform::Shell& inner_;
};

// The sandbox prefix with the scripted shell and the system-attribute files, made the current system for the
// lifetime of the object.
class ScriptedPrefixSystem : public platform::System {
public:
    ScriptedPrefixSystem() : prefix_(sandbox.path()), files_(prefix_.files()), shell_(prefix_.shell()), scoped_(*this)
    {}

    platform::Registry& registry() override { return prefix_.registry(); }
    platform::FileSystem& files() override { return files_; }
    platform::Shell& shell() override { return shell_; }
    platform::Processes& processes() override { return prefix_.processes(); }
    std::string description() const override { return "sandbox " + prefix_.description(); }

    platform::WinePrefix& prefix() { return prefix_; }
    SystemAttributeFiles& systemAttributes() { return files_; }
    ScriptedShell& scriptedShell() { return shell_; }

    SandboxPrefix sandbox;

private:
    platform::WinePrefix prefix_;
    SystemAttributeFiles files_;
    ScriptedShell shell_;
    platform::ScopedCurrentSystem scoped_;
};

// Changes the process's current folder for a scope.
class ScopedCurrentPath {
public:
    explicit ScopedCurrentPath(const std::filesystem::path& to) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(to);
    }
    ~ScopedCurrentPath()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    ScopedCurrentPath(const ScopedCurrentPath&) = delete;
    ScopedCurrentPath& operator=(const ScopedCurrentPath&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace tarvix::test
