#include "tests/support/real_wine_prefix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

#include "platform/host_process.h"
#include "platform/wine/wine_environment.h"

namespace fs = std::filesystem;

namespace tarvix::test {

namespace {

fs::path sharedLocation()
{
    const fs::path base = fs::path(TARVIX_BINARY_DIR) / "interop";
    fs::create_directories(base);
    return base;
}

} // namespace

WineRun runWine(const fs::path& prefix, const std::vector<std::string>& args, bool waitForServer)
{
    const platform::wine::WineEnvironmentOptions options{.withoutMonoAndGecko = true, .withoutDisplay = true};
    std::vector<std::string> argv{"wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    WineRun result;
    std::string output;
    result.exitCode = platform::wine::runWineCommand(prefix, argv, options, &output);
    std::erase(output, '\r');
    result.output = std::move(output);
    if (waitForServer)
        platform::wine::waitForWineserver(prefix, options);
    return result;
}

const fs::path& realWinePrefix()
{
    static const fs::path prefix = [] {
        const fs::path base = sharedLocation();
        const fs::path dir = base / "wine-prefix";
        const fs::path ready = base / "wine-prefix.ready";
        const int lock = ::open((base / "wine-prefix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock < 0)
            throw std::runtime_error("cannot open the lock file in " + base.string());
        while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {}
        if (!fs::exists(ready)) {
            std::error_code ignored;
            fs::remove_all(dir, ignored); // a half-made prefix of an interrupted run
            const WineRun made = runWine(dir, {"wineboot", "-i"}, true);
            if (made.exitCode != 0 || !fs::exists(dir / "system.reg") || !fs::exists(dir / "user.reg")) {
                close(lock);
                throw std::runtime_error("wine wineboot -i did not make a prefix in " + dir.string());
            }
            ::close(::open(ready.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
        close(lock);
        return dir;
    }();
    return prefix;
}

void copyRealWinePrefix(const fs::path& target)
{
    const fs::path& source = realWinePrefix();
    // Symbolic links (the drives of dosdevices, the user's folders) are copied as links.
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

} // namespace tarvix::test
