// The operating system the installer runs against: its registry, file system, shell and programs. The core reaches it
// through platform::current(); on Linux that is the Wine prefix named by WINEPREFIX, else ~/.wine. Tests and
// tools point it at a sandbox prefix with ScopedCurrentSystem.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace tarvix::platform {

class System {
public:
    virtual ~System() = default;
    virtual Registry& registry() = 0;
    virtual FileSystem& files() = 0;
    virtual Shell& shell() = 0;
    virtual Processes& processes() = 0;
    // One line for logs and error messages ("Wine prefix /home/ana/.wine").
    virtual std::string description() const = 0;
};

// The system of this process: created on first use by makeDefaultSystem() unless one was installed.
System& current();

// The default for this build: on Linux the Wine prefix of WINEPREFIX, else of $HOME/.wine.
std::unique_ptr<System> makeDefaultSystem();

// Makes `system` the current one for a scope (tests, tools), restoring the previous one afterwards.
class ScopedCurrentSystem {
public:
    explicit ScopedCurrentSystem(System& system);
    ~ScopedCurrentSystem();
    ScopedCurrentSystem(const ScopedCurrentSystem&) = delete;
    ScopedCurrentSystem& operator=(const ScopedCurrentSystem&) = delete;

private:
    System* previous_;
};

} // namespace tarvix::platform
