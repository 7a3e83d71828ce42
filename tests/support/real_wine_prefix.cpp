#include "tests/support/real_wine_prefix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarvix::test {

namespace {

std::vector<std::string> wineEnvironment(const fs::path& prefix)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("WINEPREFIX=", 0) == 0 || entry.rfind("WINEDEBUG=", 0) == 0 ||
            entry.rfind("WINEDLLOVERRIDES=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("WINEPREFIX=" + prefix.string());
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return env;
}

// Runs a program found on PATH with the given environment; returns its exit code and standard output.
WineRun run(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv, envp;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
    WineRun result;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) {
            for (ssize_t i = 0; i < got; ++i)
                if (buffer[i] != '\r')
                    result.output += buffer[i];
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

fs::path sharedLocation()
{
    const fs::path base = fs::path(TARVIX_BINARY_DIR) / "interop";
    fs::create_directories(base);
    return base;
}

} // namespace

WineRun runWine(const fs::path& prefix, const std::vector<std::string>& args, bool waitForServer)
{
    const auto env = wineEnvironment(prefix);
    std::vector<std::string> argv{"wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    WineRun result = run(argv, env);
    if (waitForServer)
        run({"wineserver", "-w"}, env);
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
        while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
        }
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
