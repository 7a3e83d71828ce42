// A sandbox Wine prefix made by the prefix builder and made the current system for one test of the wizard's
// steps, with helpers to put files below drive C: and read them back.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/sandbox_system.h"

namespace tarvix::test {

class InstallerSandbox {
public:
    // `ansiCodePage`: the prefix's ANSI code page (ACP), when it is to be another than the builder's 1252.
    explicit InstallerSandbox(std::string_view ansiCodePage = {})
    {
        if (!ansiCodePage.empty())
            sandbox_.builder().setString(platform::RegRoot::LocalMachine,
                                         "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP", ansiCodePage);
    }

    platform::WinePrefix& system() { return sandbox_.system(); }

    // "Dest\\KqAlpha.dcu" below drive C:, as bytes; the folders are made.
    std::filesystem::path write(std::string_view relative, std::string_view bytes = {})
    {
        sandbox_.builder().writeFile(windowsPath(relative), bytes);
        return host(relative);
    }
    void makeFolder(std::string_view relative) { sandbox_.builder().makeFolder(windowsPath(relative)); }
    std::string read(std::string_view relative) const
    {
        std::ifstream in(host(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(std::string_view relative) const { return std::filesystem::exists(host(relative)); }
    std::filesystem::path host(std::string_view relative) const
    {
        return sandbox_.builder().hostPath(windowsPath(relative));
    }

private:
    static std::string windowsPath(std::string_view relative) { return "C:\\" + std::string(relative); }

    SandboxSystem sandbox_;
};

} // namespace tarvix::test
