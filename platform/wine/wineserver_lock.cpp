#include "platform/wine/wineserver_lock.h"

#include "platform/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvix::platform::wine {

namespace {

// The name the prefix's file "wineserver" gives to the server's folder under the temporary folder ("wine-AbC123");
// empty when there is none or it is not a plain folder name.
std::string serverFolderName(const std::filesystem::path& prefixDir)
{
    std::ifstream in(prefixDir / "wineserver", std::ios::binary);
    if (!in)
        return {};
    std::string name((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' ' || name.back() == '\0'))
        name.pop_back();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return {};
    return name;
}

} // namespace

std::vector<std::filesystem::path> wineserverLockFiles(const std::filesystem::path& prefixDir)
{
    struct stat st {};
    if (::stat(prefixDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    char server[64];
    std::snprintf(server, sizeof server, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));

    std::vector<std::filesystem::path> files;
    auto add = [&](const std::filesystem::path& p) {
        if (std::find(files.begin(), files.end(), p) == files.end())
            files.push_back(p);
    };
    if (std::string name = serverFolderName(prefixDir); !name.empty()) {
        if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/')
            add(std::filesystem::path(tmp) / name / server / "lock");
        add(std::filesystem::path("/tmp") / name / server / "lock");
    }
    add(std::filesystem::path("/tmp") / (".wine-" + std::to_string(::getuid())) / server / "lock");
    return files;
}

bool wineserverRunning(const std::filesystem::path& prefixDir)
{
    for (const auto& file : wineserverLockFiles(prefixDir)) {
        // A folder we may not enter belongs to another user's server, which cannot serve our prefix.
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct flock query {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        query.l_start = 0;
        query.l_len = 0; // the whole file
        const bool locked = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
        ::close(fd);
        if (locked)
            return true;
    }
    return false;
}

void ensureWineserverStopped(const std::filesystem::path& prefixDir)
{
    if (!wineserverRunning(prefixDir))
        return;
    throw RegistryError("The registry of the Wine prefix \"" + prefixDir.string() +
                            "\" is in use: a wineserver is running for that prefix and would overwrite any change "
                            "when it exits. Close the Windows programs of that prefix (or run: WINEPREFIX=\"" +
                            prefixDir.string() + "\" wineserver -k) and try again.",
                        WinError::SharingViolation);
}

} // namespace tarvix::platform::wine
