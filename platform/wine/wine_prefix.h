// One Wine prefix as the system the installer works on: its hives, its drives, its shell and its programs.
#pragma once

#include <filesystem>
#include <string>

#include "platform/system.h"
#include "platform/wine/wine_file_system.h"
#include "platform/wine/wine_processes.h"
#include "platform/wine/wine_registry.h"
#include "platform/wine/wine_shell.h"

namespace tarvix::platform {

class WinePrefix : public System {
public:
    // A relative `prefixDir` is taken against the current folder once, here.
    explicit WinePrefix(std::filesystem::path prefixDir);

    Registry& registry() override { return registry_; }
    FileSystem& files() override { return files_; }
    Shell& shell() override { return shell_; }
    Processes& processes() override { return processes_; }
    std::string description() const override; // "Wine prefix /home/ana/.wine"

    const std::filesystem::path& prefixDir() const { return prefixDir_; }

private:
    std::filesystem::path prefixDir_;
    wine::WineRegistry registry_;
    WineFileSystem files_;
    WineShell shell_;
    WineProcesses processes_;
};

} // namespace tarvix::platform
