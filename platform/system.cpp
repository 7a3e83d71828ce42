#include "platform/system.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

#include "platform/wine/wine_prefix.h"

namespace tarvix::platform {

namespace {

std::mutex defaultMutex;
std::unique_ptr<System> defaultSystem;
System* installed = nullptr;

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    struct passwd pw;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

} // namespace

System& current()
{
    if (installed)
        return *installed;
    std::lock_guard lock(defaultMutex);
    if (!defaultSystem)
        defaultSystem = makeDefaultSystem();
    return *defaultSystem;
}

std::unique_ptr<System> makeDefaultSystem()
{
    // The prefix every Wine tool would choose.
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return std::make_unique<WinePrefix>(prefix);
    return std::make_unique<WinePrefix>(std::filesystem::path(homeFolder()) / ".wine");
}

ScopedCurrentSystem::ScopedCurrentSystem(System& system) : previous_(installed)
{
    installed = &system;
}

ScopedCurrentSystem::~ScopedCurrentSystem()
{
    installed = previous_;
}

} // namespace tarvix::platform
