// The installer's start-up against Qt's own, each measured as a whole process in one run:
//
//   startup_bench [--dir DIR] [--runs N]
//
// Makes the demo's prefix in DIR (default: ./startup-bench; `wine wineboot -i` when wine is installed) and packs
// the sample edition of the library onto startup_once as the demo packs it onto tarvix-setup. Then, on Qt's
// offscreen platform, it times alternately, N times each (default 21), startup_once (process start to the welcome
// page painted: payload unpacked, descriptor read, IDEs found) and empty_window_once (process start to one empty
// window of the same size painted). Target: the median wall time at most 2 times the floor's. The work folders
// that the runs leave are removed between runs, untimed. Exit code 0 when the target is met, 1 when not, 2 on an
// error.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_prefix.h"
#include "bench/child_run.h"
#include "platform/host_process.h"
#include "tools/tarvix_pack.h"

namespace fs = std::filesystem;
using namespace tarvix;

namespace {

constexpr double kTarget = 2.0;

// What the start-ups leave in the temporary folder: work folders named with a number.
void removeWorkFolders(const fs::path& temp)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(temp, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
            fs::remove_all(entry.path(), ec);
    }
}

// The size of the installer's window, as startup_once prints it ("800x600").
std::pair<std::string, std::string> windowSize(const std::vector<std::string>& startup)
{
    platform::HostProcessSpec spec;
    spec.argv = startup;
    spec.error = platform::StreamMode::Inherit;
    std::string out;
    spec.onOutput = [&](std::string_view bytes) { out += bytes; };
    const platform::HostProcessResult run = platform::runHostProcess(spec);
    const auto x = out.find('x');
    if (!run.started || run.exitCode != 0 || x == std::string::npos)
        throw std::runtime_error("startup_once failed (exit " + std::to_string(run.exitCode) + ")");
    std::string height = out.substr(x + 1);
    while (!height.empty() && (height.back() == '\n' || height.back() == '\r'))
        height.pop_back();
    return {out.substr(0, x), height};
}

int run(const fs::path& dir, int runs)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    const bench::DemoPrefix prefix = bench::makeDemoPrefix(dir / "prefix");
    std::printf("prefix %s\n", prefix.description().c_str());

    const fs::path edition = TARVIX_SAMPLE_EDITION_DIR;
    pack::PackOptions options;
    options.executable = bench::programBeside("startup_once");
    options.folder = edition / "files";
    options.orderFile = edition / "order.txt";
    options.descriptorFile = edition / "instalar.inf";
    options.output = dir / "tarvix-setup-bench";
    const pack::Listing listing = pack::Pack(options);
    std::printf("installer: the sample edition, %zu files, %jd bytes of payload\n", listing.records.size(),
                static_cast<intmax_t>(listing.archiveSize));

    ::setenv("WINEPREFIX", prefix.dir.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt wants a private runtime folder and says so on every start without one.
    const fs::path runtime = dir / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::vector<std::string> startup = {bench::programBeside("startup_once"), options.output.string()};
    const auto [width, height] = windowSize(startup);
    removeWorkFolders(prefix.tempFolder);
    std::printf("window: %sx%s, offscreen\n", width.c_str(), height.c_str());

    const bench::Contender ours{
        "start-up to the welcome page (startup_once)", {startup}, [&] { removeWorkFolders(prefix.tempFolder); }};
    const bench::Contender floor{"one empty window of that size (empty_window_once)",
                                 {{bench::programBeside("empty_window_once"), width, height}},
                                 {}};
    const auto times = bench::timeAlternately({ours, floor}, runs);
    const bool met = bench::reportRatio("startup", ours, times[0], floor, times[1], kTarget);
    removeWorkFolders(prefix.tempFolder);
    fs::remove_all(dir);
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    return tarvix::bench::benchmarkMain(argc, argv, "startup_bench", "startup-bench", 21, run);
}
