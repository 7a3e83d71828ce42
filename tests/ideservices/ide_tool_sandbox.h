// Fixtures of the tests of the tool drivers and the package installation: an IDE registered in a sandbox prefix
// and found by the enumeration, as the installer finds it, and a scripted tool: a /bin/sh script that stands in
// for a tool's executable (a host executable starts directly), records what it was given and answers with the
// output bytes and the exit code a case chooses.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ideservices/ide_installation.h"
#include "ideservices/ide_installations.h"
#include "platform/system.h"
#include "tests/support/sandbox_system.h"

namespace tarvix::test {

inline std::string ReadHostFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteHostFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// A tool played by a /bin/sh script. Each run writes its arguments (one a line) and its current folder (the host
// path, symbolic links resolved) into the script's folder, copies the files of its current folder there when
// asked, prints the chosen output bytes in one write (so that the reader's reads cut them at fixed places), then
// the chosen error bytes on standard error, runs `moreShell` when given and ends with the chosen exit code. The
// script is a host file; copies of it in a prefix record into the same folder.
class ScriptedTool {
public:
    explicit ScriptedTool(std::filesystem::path folder, bool copyCurrentFolder = false, std::string_view moreShell = {})
        : folder_(std::move(folder))
    {
        std::filesystem::create_directories(folder_);
        const std::string d = folder_.string();
        std::string script = "#!/bin/sh\n"
                             "d='" +
                             d +
                             "'\n"
                             "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$d/arguments\"\n"
                             "pwd -P > \"$d/current-folder\"\n";
        if (copyCurrentFolder)
            script += "mkdir -p \"$d/folder\"\n"
                      "for f in ./* ./.[!.]*; do [ -f \"$f\" ] && cp \"$f\" \"$d/folder/\"; done\n";
        script += "cat \"$d/output\"\n"
                  "cat \"$d/error\" >&2\n";
        script += moreShell;
        script += "\nexit \"$(cat \"$d/exit-code\")\"\n";
        WriteHostFile(script_(), script);
        ::chmod(script_().c_str(), 0755);
        setOutput("");
        setError("");
        setExitCode(0);
    }

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path script() const { return script_(); }

    void setOutput(std::string_view bytes) { WriteHostFile(folder_ / "output", bytes); }
    void setError(std::string_view bytes) { WriteHostFile(folder_ / "error", bytes); }
    void setExitCode(int code) { WriteHostFile(folder_ / "exit-code", std::to_string(code)); }

    // Forgets what earlier runs recorded.
    void reset()
    {
        std::filesystem::remove(folder_ / "arguments");
        std::filesystem::remove(folder_ / "current-folder");
        std::filesystem::remove_all(folder_ / "folder");
    }
    bool ran() const { return std::filesystem::exists(folder_ / "arguments"); }

    // What the last run was given.
    std::vector<std::string> arguments() const
    {
        std::vector<std::string> result;
        const std::string text = ReadHostFile(folder_ / "arguments");
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            result.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return result;
    }
    std::filesystem::path currentFolder() const
    {
        std::string text = ReadHostFile(folder_ / "current-folder");
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }
    // The files of the last run's current folder as it saw them: name = contents.
    std::map<std::string, std::string> folderFiles() const
    {
        std::map<std::string, std::string> files;
        if (std::filesystem::exists(folder_ / "folder"))
            for (const auto& entry : std::filesystem::directory_iterator(folder_ / "folder"))
                files[entry.path().filename().string()] = ReadHostFile(entry.path());
        return files;
    }

private:
    std::filesystem::path script_() const { return folder_ / "tool.sh"; }

    std::filesystem::path folder_;
};

// A sandbox prefix with IDEs registered in it; install() enumerates them the way the installer does.
class IdeSandbox {
public:
    tools::PrefixBuilder& prefix() { return sandbox_.builder(); }
    SandboxSystem& sandbox() { return sandbox_; }
    const tools::RegisteredIde& ide() const { return ide_; }
    std::filesystem::path temp(std::string_view name) const { return sandbox_.temp() / name; }

    // Registers the IDE and returns the installation the enumeration made for it. Raises when it is not listed.
    TIdeBorRADToolInstallation& install(const tools::IdeSetup& setup)
    {
        ide_ = prefix().registerIde(setup);
        return enumerate();
    }
    // Enumerates again (a new installation object for the IDE registered last).
    TIdeBorRADToolInstallation& enumerate()
    {
        all_ = std::make_unique<TIdeBorRADToolInstallations>();
        TIdeBorRADToolInstallation* found = nullptr;
        all_->Iterate([&](TIdeBorRADToolInstallation& i) {
            if (i.RootDir() == ide_.rootDir)
                found = &i;
            return found == nullptr;
        });
        if (!found)
            throw std::runtime_error("the IDE in " + ide_.rootDir + " was not listed");
        return *found;
    }

    // A file of the prefix (Windows path) on the host.
    std::filesystem::path host(std::string_view windowsPath) { return sandbox_.builder().hostPath(windowsPath); }
    bool exists(std::string_view windowsPath) { return platform::current().files().fileExists(windowsPath); }
    std::string read(std::string_view windowsPath) { return platform::current().files().readFile(windowsPath); }

private:
    SandboxSystem sandbox_;
    tools::RegisteredIde ide_;
    std::unique_ptr<TIdeBorRADToolInstallations> all_;
};

} // namespace tarvix::test
