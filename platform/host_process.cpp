#include "platform/host_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/errors.h"

extern char** environ;

namespace tarvix::platform {

namespace {

// How often an abort flag is looked at while nothing arrives.
constexpr int AbortPollMs = 50;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read;
    Fd write;
};

Pipe makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw PlatformError(std::string("Cannot create a pipe: ") + std::strerror(errno), windowsErrorFromErrno(errno));
    return {Fd(fds[0]), Fd(fds[1])};
}

std::string variableName(std::string_view entry)
{
    return std::string(entry.substr(0, entry.find('=')));
}

const std::string* pathOf(const std::vector<std::string>& environment)
{
    for (const std::string& entry : environment)
        if (entry.starts_with("PATH="))
            return &entry;
    return nullptr;
}

bool isExecutableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The Windows error code that CreateProcess gives for the same reason a program cannot be run.
uint32_t startErrorOf(int err)
{
    switch (err) {
    case ENOEXEC: return WinError::BadExeFormat;
    case ENOENT:
    case ENOTDIR: return WinError::FileNotFound;
    default: return windowsErrorFromErrno(err);
    }
}

// What the child needs after fork(), prepared before it: between fork and exec only async-signal-safe calls are
// allowed, and the parent may have other threads.
struct ChildPlan {
    std::string program;
    std::vector<char*> argv;
    std::vector<char*> envp;
    const char* workingDirectory = nullptr;
    int nice = 0;
    int stdinFd = -1; // -1: keep
    int stdoutFd = -1;
    int stderrFd = -1;
    int errorReport = -1; // write end of the exec-error pipe
    int startSignal = -1; // read end of a pipe to wait on before exec; -1: none
};

[[noreturn]] void runChild(const ChildPlan& plan)
{
    // Our own blocked or ignored signals must not leak into the child.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);

    auto fail = [&](int err) {
        (void)!::write(plan.errorReport, &err, sizeof err);
        _exit(127);
    };
    if (plan.stdinFd >= 0 && ::dup2(plan.stdinFd, STDIN_FILENO) < 0)
        fail(errno);
    if (plan.stdoutFd >= 0 && ::dup2(plan.stdoutFd, STDOUT_FILENO) < 0)
        fail(errno);
    if (plan.stderrFd >= 0 && ::dup2(plan.stderrFd, STDERR_FILENO) < 0)
        fail(errno);
    if (plan.workingDirectory && ::chdir(plan.workingDirectory) != 0)
        fail(errno);
    if (plan.startSignal >= 0) {
        char go;
        while (::read(plan.startSignal, &go, 1) < 0 && errno == EINTR) {}
    }
    // A priority class is an absolute level, whatever ours is: set, not added to our own nice value. A level we
    // may not raise to is refused by the kernel and the child keeps ours.
    if (plan.nice != 0)
        (void)::setpriority(PRIO_PROCESS, 0, plan.nice);
    ::execve(plan.program.c_str(), plan.argv.data(), plan.envp.data());
    fail(errno);
    _exit(127);
}

double cpuSecondsOf(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

uint32_t exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return static_cast<uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128u + static_cast<uint32_t>(WTERMSIG(status));
    return NoExitCode;
}

// A pipe of the child's output that we read.
struct Reader {
    Fd fd;
    const std::function<void(std::string_view)>* sink = nullptr;
};

// The running child: killed and reaped if the run leaves early by an error.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid)
    {
#ifdef SYS_pidfd_open
        const long fd = ::syscall(SYS_pidfd_open, pid, 0);
        if (fd >= 0) {
            pidfd_ = Fd(static_cast<int>(fd));
            ::fcntl(pidfd_.get(), F_SETFD, FD_CLOEXEC);
        }
#endif
    }
    ~Child()
    {
        if (!reaped_) {
            kill();
            reap();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // A descriptor that becomes readable when the child ends; none on kernels without pidfd.
    int exitFd() const
    {
        return pidfd_.get();
    }

    bool ended()
    {
        if (reaped_)
            return true;
        int status = 0;
        const pid_t r = ::wait4(pid_, &status, WNOHANG, &usage_);
        if (r == pid_) {
            reaped_ = true;
            status_ = status;
        }
        return reaped_;
    }
    void kill()
    {
        if (!reaped_)
            ::kill(pid_, SIGKILL);
    }
    void reap()
    {
        while (!reaped_) {
            int status = 0;
            const pid_t r = ::wait4(pid_, &status, 0, &usage_);
            if (r == pid_) {
                reaped_ = true;
                status_ = status;
            } else if (r < 0 && errno != EINTR) {
                reaped_ = true; // not our child any more: nothing to wait for
                status_ = -1;
            }
        }
    }
    int status() const
    {
        return status_;
    }
    const rusage& usage() const
    {
        return usage_;
    }

private:
    pid_t pid_;
    Fd pidfd_;
    bool reaped_ = false;
    int status_ = -1;
    rusage usage_{};
};

bool aborted(const std::atomic<bool>* flag)
{
    return flag && flag->load();
}

// Reads once from a ready pipe; false when it is at its end (and closes it).
bool readOnce(Reader& reader, std::string& buffer)
{
    for (;;) {
        const ssize_t got = ::read(reader.fd.get(), buffer.data(), buffer.size());
        if (got > 0) {
            if (reader.sink && *reader.sink)
                (*reader.sink)(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            return true;
        }
        if (got == 0) {
            reader.fd.reset();
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return true;
        const int err = errno;
        throw PlatformError(std::string("Cannot read the output of a child process: ") + std::strerror(err),
                            windowsErrorFromErrno(err));
    }
}

// After the child ended: what the pipes still hold, without waiting for more.
void drain(std::vector<Reader>& readers, std::string& buffer)
{
    for (Reader& reader : readers) {
        if (!reader.fd)
            continue;
        ::fcntl(reader.fd.get(), F_SETFL, ::fcntl(reader.fd.get(), F_GETFL) | O_NONBLOCK);
        for (;;) {
            const ssize_t got = ::read(reader.fd.get(), buffer.data(), buffer.size());
            if (got > 0) {
                if (reader.sink && *reader.sink)
                    (*reader.sink)(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            break;
        }
        reader.fd.reset();
    }
}

} // namespace

int niceValue(ProcessPriority priority)
{
    switch (priority) {
    case ProcessPriority::Idle: return 19;
    case ProcessPriority::BelowNormal: return 10;
    case ProcessPriority::Normal: return 0;
    case ProcessPriority::AboveNormal: return -5;
    case ProcessPriority::High: return -10;
    case ProcessPriority::RealTime: return -20;
    }
    return 0;
}

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    return env;
}

std::vector<std::string> withEnvironment(std::vector<std::string> environment, const std::vector<std::string>& changes)
{
    for (const std::string& change : changes) {
        const std::string name = variableName(change);
        std::erase_if(environment, [&](const std::string& entry) { return variableName(entry) == name; });
        if (change.find('=') != std::string::npos)
            environment.push_back(change);
    }
    return environment;
}

std::string findOnPath(std::string_view program, const std::vector<std::string>* environment)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string_view::npos)
        return isExecutableFile(std::string(program)) ? std::string(program) : std::string();
    std::string_view path;
    if (environment) {
        const std::string* entry = pathOf(*environment);
        path = entry ? std::string_view(*entry).substr(5) : std::string_view();
    } else if (const char* value = std::getenv("PATH")) {
        path = value;
    } else {
        path = "/usr/local/bin:/usr/bin:/bin";
    }
    for (;;) {
        const auto colon = path.find(':');
        std::string folder(path.substr(0, colon));
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + std::string(program);
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        path.remove_prefix(colon + 1);
    }
}

HostProcessResult runHostProcess(const HostProcessSpec& spec)
{
    HostProcessResult result;
    if (spec.argv.empty()) {
        result.startError = WinError::InvalidParameter;
        return result;
    }

    const std::vector<std::string> environment = spec.environment ? *spec.environment : currentEnvironment();
    ChildPlan plan;
    plan.program = findOnPath(spec.argv[0], &environment);
    if (plan.program.empty()) {
        const bool named = spec.argv[0].find('/') != std::string::npos;
        result.startError =
            named && ::access(spec.argv[0].c_str(), F_OK) == 0 ? WinError::AccessDenied : WinError::FileNotFound;
        return result;
    }
    for (const std::string& a : spec.argv)
        plan.argv.push_back(const_cast<char*>(a.c_str()));
    plan.argv.push_back(nullptr);
    for (const std::string& e : environment)
        plan.envp.push_back(const_cast<char*>(e.c_str()));
    plan.envp.push_back(nullptr);
    if (!spec.workingDirectory.empty())
        plan.workingDirectory = spec.workingDirectory.c_str();
    plan.nice = niceValue(spec.priority);

    Fd devNull;
    auto nullFd = [&] {
        if (!devNull)
            devNull = Fd(::open("/dev/null", O_RDWR | O_CLOEXEC));
        return devNull.get();
    };
    if (spec.input == StreamMode::Null)
        plan.stdinFd = nullFd();

    std::vector<Reader> readers;
    Pipe outPipe, errPipe;
    if (spec.output == StreamMode::Pipe) {
        outPipe = makePipe();
        plan.stdoutFd = outPipe.write.get();
        readers.push_back({std::move(outPipe.read), &spec.onOutput});
    } else if (spec.output == StreamMode::Null) {
        plan.stdoutFd = nullFd();
    }
    if (spec.mergeError) {
        plan.stderrFd = plan.stdoutFd >= 0 ? plan.stdoutFd : -1;
        if (spec.output == StreamMode::Inherit)
            plan.stderrFd = STDOUT_FILENO;
    } else if (spec.error == StreamMode::Pipe) {
        errPipe = makePipe();
        plan.stderrFd = errPipe.write.get();
        readers.push_back({std::move(errPipe.read), &spec.onError});
    } else if (spec.error == StreamMode::Null) {
        plan.stderrFd = nullFd();
    }
    Pipe execReport = makePipe();
    plan.errorReport = execReport.write.get();
    Pipe startSignal;
    if (spec.beforeStart) {
        startSignal = makePipe();
        plan.startSignal = startSignal.read.get();
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.startError = windowsErrorFromErrno(errno);
        return result;
    }
    if (pid == 0)
        runChild(plan);

    Child child(pid);
    // Our copies of the child's ends: the pipes reach their end when the child (and its children) close theirs.
    outPipe.write.reset();
    errPipe.write.reset();
    execReport.write.reset();
    startSignal.read.reset();
    if (spec.beforeStart) {
        // One byte on the pipe lets the child go on, whatever the callback did. (Closing our end would not do:
        // the waiting child holds a copy of it until it runs the program.)
        const auto release = [&] {
            const char go = 1;
            while (::write(startSignal.write.get(), &go, 1) < 0 && errno == EINTR) {}
            startSignal.write.reset();
        };
        try {
            spec.beforeStart(static_cast<int>(pid));
        } catch (...) {
            release();
            throw;
        }
        release();
    }
    int execError = 0;
    ssize_t got;
    while ((got = ::read(execReport.read.get(), &execError, sizeof execError)) < 0 && errno == EINTR) {}
    if (got == static_cast<ssize_t>(sizeof execError)) {
        child.reap();
        result.startError = startErrorOf(execError);
        return result;
    }
    result.started = true;

    std::string buffer(spec.readSize == 0 ? 255 : spec.readSize, '\0');
    bool abortedRun = false;
    for (;;) {
        if (aborted(spec.abort)) {
            abortedRun = true;
            break;
        }
        std::vector<pollfd> fds;
        std::vector<Reader*> polled;
        for (Reader& reader : readers) {
            if (reader.fd) {
                fds.push_back({reader.fd.get(), POLLIN, 0});
                polled.push_back(&reader);
            }
        }
        if (child.exitFd() >= 0)
            fds.push_back({child.exitFd(), POLLIN, 0});
        // Without a pidfd, or with an abort flag to watch, the wait wakes up now and then.
        const int timeout = child.exitFd() < 0 || spec.abort ? AbortPollMs : -1;
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            throw PlatformError(std::string("Cannot wait for a child process: ") + std::strerror(err),
                                windowsErrorFromErrno(err));
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                readOnce(*polled[i], buffer);
            if (aborted(spec.abort))
                break;
        }
        if (aborted(spec.abort)) {
            abortedRun = true;
            break;
        }
        const bool exitSignalled = child.exitFd() >= 0 && (fds.back().revents & POLLIN);
        if ((exitSignalled || child.exitFd() < 0 || polled.empty()) && child.ended())
            break;
    }

    if (abortedRun)
        child.kill();
    child.reap();
    drain(readers, buffer);

    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = cpuSecondsOf(child.usage());
    result.maxRssKiB = child.usage().ru_maxrss;
    result.aborted = abortedRun;
    result.exitCode = abortedRun ? AbortedExitCode : exitCodeOf(child.status());
    return result;
}

} // namespace tarvix::platform
