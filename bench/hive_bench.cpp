// The registry of a Wine prefix as the installer meets it, against the file system's own floor, each measured as
// a whole process in one run:
//
//   hive_bench [--dir DIR] [--runs N]
//
// Makes a scratch prefix in DIR (default: ./hive-bench) with `wine wineboot -i` and registers the demo's Delphi 13
// in it (system.reg about 1.6 MB, user.reg about 27 KB). Without wine the prefix is written by the builder and its
// hives are filled with keys of Wine's kind up to those sizes; the bench says so. Then it times alternately, N
// times each (default 21):
//
//   - the discovery of the installed IDEs (ide_discovery_once: both hives loaded) against
//     `grep -c '^\[' system.reg user.reg`; target at most 4 times;
//   - one REG_SZ written under HKEY_LOCAL_MACHINE (hive_write_once, into a copy of the hives in which the value
//     holds other data: load, change, atomic save with its flushes) against `cp system.reg NEW` followed by
//     `sync NEW`; target at most 3 times.
//
// The ratios are those of the median wall times. Exit code 0 when both targets are met, 1 when not, 2 on an error.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_prefix.h"
#include "bench/child_run.h"

namespace fs = std::filesystem;
using namespace tarvix;

namespace {

constexpr double kDiscoveryTarget = 4.0;
constexpr double kWriteTarget = 3.0;

int run(const fs::path& dir, int runs)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    const bench::DemoPrefix prefix = bench::makeDemoPrefix(dir / "prefix");
    const std::string system = (prefix.dir / "system.reg").string();
    const std::string user = (prefix.dir / "user.reg").string();
    std::printf("prefix %s\n", prefix.description().c_str());

    // The writes go to a copy of the hives, so that the discovery reads the hives as wine left them. The copy
    // holds the key with another value already (the wizard's second install into a prefix), and every write
    // starts from that copy: storing the data a value already has saves nothing, so a write that found its own
    // value of the run before would time a load alone.
    const fs::path writePrefix = dir / "write-prefix";
    const fs::path seeded = dir / "seeded";
    fs::create_directories(writePrefix);
    fs::create_directories(seeded);
    const char* const hives[] = {"system.reg", "user.reg", "userdef.reg"};
    for (const char* hive : hives)
        if (fs::exists(prefix.dir / hive))
            fs::copy_file(prefix.dir / hive, writePrefix / hive);
    const std::string writer = bench::programBeside("hive_write_once");
    if (bench::runChild({writer, writePrefix.string(), "C:\\Morvane\\TarvixComps\\D36"}, true).status != 0)
        throw std::runtime_error("hive_write_once failed");
    for (const char* hive : hives)
        if (fs::exists(writePrefix / hive))
            fs::copy_file(writePrefix / hive, seeded / hive);
    auto restoreSeeded = [&] {
        for (const char* hive : hives)
            if (fs::exists(seeded / hive))
                fs::copy_file(seeded / hive, writePrefix / hive, fs::copy_options::overwrite_existing);
    };
    const fs::path copied = dir / "copied.reg";

    ::setenv("WINEPREFIX", prefix.dir.c_str(), 1);
    const bench::Contender discovery{
        "IDE discovery (ide_discovery_once)", {{bench::programBeside("ide_discovery_once")}}, {}};
    const bench::Contender grep{"grep -c '^\\[' system.reg user.reg", {{"grep", "-c", "^\\[", system, user}}, {}};
    const bench::Contender write{"one REG_SZ under HKLM (hive_write_once)",
                                 {{writer, writePrefix.string(), "C:\\Morvane\\TarvixComps\\D37"}},
                                 restoreSeeded};
    const bench::Contender copy{"cp system.reg NEW; sync NEW",
                                {{"cp", system, copied.string()}, {"sync", copied.string()}},
                                [&] { fs::remove(copied); }};

    const auto discoveryTimes = bench::timeAlternately({discovery, grep}, runs);
    const bool discoveryMet =
        bench::reportRatio("ide_discovery", discovery, discoveryTimes[0], grep, discoveryTimes[1], kDiscoveryTarget);
    const auto writeTimes = bench::timeAlternately({write, copy}, runs);
    const bool writeMet = bench::reportRatio("hive_write", write, writeTimes[0], copy, writeTimes[1], kWriteTarget);
    // The last write is in the copy: each timed run saved the hive.
    std::ifstream written(writePrefix / "system.reg");
    const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    if (text.find("\"Caminho D37\"=\"C:\\\\Morvane\\\\TarvixComps\\\\D37\"") == std::string::npos)
        throw std::runtime_error("hive_write_once did not save its value");
    fs::remove_all(dir);
    return discoveryMet && writeMet ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    return tarvix::bench::benchmarkMain(argc, argv, "hive_bench", "hive-bench", 21, run);
}
