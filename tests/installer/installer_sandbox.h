// A sandbox Wine prefix made the current system for one test of the wizard's steps, with helpers to put files
// below drive C: and read them back.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

namespace tarvix::test {

class InstallerSandbox {
public:
    // `systemKeys`: extra keys of system.reg (the code page key, for example).
    explicit InstallerSandbox(std::string_view systemKeys = {})
    {
        prefix_.writeHive("system.reg", systemKeys);
        prefix_.writeHive("user.reg", "");
        system_ = std::make_unique<platform::WinePrefix>(prefix_.path());
        scope_ = std::make_unique<platform::ScopedCurrentSystem>(*system_);
    }

    const SandboxPrefix& prefix() const { return prefix_; }
    platform::WinePrefix& system() { return *system_; }

    // "Dest\\KqAlpha.dcu" below drive C:, as bytes; the folders are made.
    std::filesystem::path write(std::string_view relative, std::string_view bytes = {}) const
    {
        return prefix_.writeC(hostRelative(relative), bytes);
    }
    std::string read(std::string_view relative) const { return prefix_.readC(hostRelative(relative)); }
    bool exists(std::string_view relative) const
    {
        return std::filesystem::exists(prefix_.driveC() / hostRelative(relative));
    }
    std::filesystem::path host(std::string_view relative) const { return prefix_.driveC() / hostRelative(relative); }

private:
    static std::string hostRelative(std::string_view relative)
    {
        std::string r(relative);
        for (char& c : r)
            if (c == '\\')
                c = '/';
        return r;
    }

    SandboxPrefix prefix_;
    std::unique_ptr<platform::WinePrefix> system_;
    std::unique_ptr<platform::ScopedCurrentSystem> scope_;
};

} // namespace tarvix::test
