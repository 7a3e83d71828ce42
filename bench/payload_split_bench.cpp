// Splitting a large file-record archive into the work folder, against writing the same files with plain host
// calls.
//
//   payload_split_bench [--dir DIR] [--mib N] [--records N] [--rounds N]
//
// Makes a scratch Wine prefix in DIR (default: ./payload-split-bench) and writes an archive of N MiB (default
// 1024) in N records (default 10,000) into it. Then, in N rounds (default 5), it splits the archive with
// ExtrairPacote into a new folder in a child process of its own (Windows paths through the prefix's drives,
// share modes, name checks), writes the same files with plain host calls in another (the floor: what the file
// system itself costs) and copies the archive with cp, each into a new folder of the same file system, with
// everything written out and the previous run's files dropped from the page cache before each run. The targets:
// the median split time at most 1.15 times the median of the host-call split, and the split's peak resident
// memory (ru_maxrss) under 32 MiB whatever the payload size. The cp time is shown for comparison. Everything is
// removed afterwards. Exit code 0 when both targets are met, 1 when not, 2 on an error.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "installer/payload_extractor.h"
#include "installer/payload_format.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"

namespace fs = std::filesystem;

namespace {

constexpr double kTargetRatio = 1.15;
constexpr double kPeakMiB = 32;

// Writes the archive: `records` records of (nearly) equal size summing to `bytes`, data from a cheap generator so
// that nothing compresses or deduplicates it.
void writeArchive(const fs::path& path, int64_t bytes, int records)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path.string());
    std::vector<char> chunk(1 << 20);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    int64_t payload = bytes;
    for (int i = 0; i < records; ++i) {
        char name[32];
        const int length = std::snprintf(name, sizeof name, "KqUnit%05d.dcu", i);
        payload -= tarvix::TamanhoCabecalhoRegistro + length;
    }
    for (int i = 0; i < records; ++i) {
        char name[32];
        const int length = std::snprintf(name, sizeof name, "KqUnit%05d.dcu", i);
        const int64_t size = payload / records + (i < payload % records ? 1 : 0);
        const std::string header =
            tarvix::EscreverCabecalhoRegistro(static_cast<uint8_t>(length), static_cast<int32_t>(size));
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(name, 1, static_cast<std::size_t>(length), f);
        for (int64_t left = size; left > 0;) {
            const auto n = static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
            for (std::size_t k = 0; k < n; k += 8) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                std::memcpy(chunk.data() + k, &state, std::min<std::size_t>(8, n - k));
            }
            std::fwrite(chunk.data(), 1, n, f);
            left -= static_cast<int64_t>(n);
        }
    }
    if (std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

// Drops the (written out) files of a folder from the page cache.
void dropFromPageCache(const fs::path& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

// The child: split ARCHIVE into FOLDER (Windows paths) in the prefix PREFIX.
int splitMain(const char* prefix, const char* archive, const char* folder)
{
    tarvix::platform::WinePrefix system(prefix);
    tarvix::platform::ScopedCurrentSystem scoped(system);
    std::vector<std::string> names;
    if (!tarvix::ExtrairPacote(archive, folder, names))
        return 1;
    std::printf("%zu\n", names.size());
    return 0;
}

// The child of the floor measurement: the same files written with plain host calls (no Windows paths, no share
// modes, no name checks), to tell what the file system itself costs from what the split adds.
int hostSplitMain(const char* archive, const char* folder)
{
    const int in = ::open(archive, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return 1;
    std::vector<char> buffer(tarvix::TamanhoBufferRegistro);
    for (;;) {
        unsigned char header[tarvix::TamanhoCabecalhoRegistro];
        const ssize_t got = ::read(in, header, sizeof header);
        if (got == 0)
            break;
        if (got != sizeof header)
            return 1;
        const auto record = tarvix::LerCabecalhoRegistro(header);
        char name[256] = {};
        if (::read(in, name, record.TamanhoNome) != record.TamanhoNome)
            return 1;
        const int out =
            ::open((std::string(folder) + "/" + name).c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0666);
        if (out < 0)
            return 1;
        for (int64_t left = record.TamanhoDados; left > 0;) {
            const ssize_t n =
                ::read(in, buffer.data(),
                       static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size()))));
            if (n <= 0 || ::write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
                return 1;
            left -= n;
        }
        ::close(out);
    }
    ::close(in);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--split") == 0)
        return splitMain(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "--host-split") == 0)
        return hostSplitMain(argv[2], argv[3]);

    fs::path dir = "payload-split-bench";
    int64_t mib = 1024;
    int records = 10'000;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--records") == 0)
            records = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }

    int result = 2;
    try {
        const fs::path prefix = fs::absolute(dir) / "prefix";
        fs::remove_all(dir);
        fs::create_directories(prefix / "drive_c");
        fs::create_directories(prefix / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
        const fs::path archive = prefix / "drive_c" / "comps.pkg";
        writeArchive(archive, mib << 20, records);
        ::sync();

        using tarvix::bench::runChild;
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        // Every run writes into a new folder, as the installer splits into its new work folder. Before each run
        // everything is written out and the previous run's files leave the page cache: every run then starts from
        // the same state of the file system and of memory (just given back by a run of the same size), whichever
        // program made the run before. The files themselves stay until the end: thousands of files deleted just
        // before would make the file system look through their inodes for every new one. The split and the
        // host-call split take turns; cp runs once per round after them.
        int runs = 0;
        fs::path previous;
        auto run = [&](const std::vector<std::string>& args, const fs::path& out, bool quiet) {
            ::sync();
            if (!previous.empty())
                dropFromPageCache(previous);
            fs::create_directories(out);
            const auto child = runChild(args, quiet);
            if (child.status != 0)
                throw std::runtime_error(args[0] + " " + args[1] + " failed");
            previous = out;
            return child;
        };
        auto folder = [&](const char* what) { return prefix / "drive_c" / (what + std::to_string(runs++)); };
        auto split = [&](bool quiet) {
            const fs::path out = folder("split");
            return run({self, "--split", prefix.string(), "C:\\comps.pkg", "C:\\" + out.filename().string()}, out,
                       quiet);
        };
        auto hostSplit = [&](bool quiet) {
            const fs::path out = folder("host");
            return run({self, "--host-split", archive.string(), out.string()}, out, quiet);
        };
        // Untimed: the first run after writing the archive meets another memory state than the rest.
        split(true);
        hostSplit(true);

        std::vector<double> splits, floors, copies, splitCpu, floorCpu;
        long peakKiB = 0;
        for (int round = 0; round < rounds; ++round) {
            tarvix::bench::ChildRun ours, floor;
            if (round % 2 == 0) {
                ours = split(true);
                floor = hostSplit(true);
            } else {
                floor = hostSplit(true);
                ours = split(true);
            }
            const fs::path out = folder("copy");
            const auto copy = run({"cp", archive.string(), (out / "comps.pkg").string()}, out, true);
            splits.push_back(ours.seconds);
            floors.push_back(floor.seconds);
            splitCpu.push_back(ours.cpuSeconds);
            floorCpu.push_back(floor.cpuSeconds);
            copies.push_back(copy.seconds);
            peakKiB = std::max(peakKiB, ours.maxRssKiB);
            std::printf(
                "  round %d: split %.2f s (cpu %.2f s), host-call split %.2f s (cpu %.2f s), ratio %.2f; cp %.2f s\n",
                round + 1, ours.seconds, ours.cpuSeconds, floor.seconds, floor.cpuSeconds, ours.seconds / floor.seconds,
                copy.seconds);
        }

        using tarvix::bench::median;
        const double ratio = median(splits) / median(floors);
        const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
        const bool met = ratio <= kTargetRatio && peakMiB < kPeakMiB;
        std::printf("payload_split: %" PRId64 " MiB in %d records, medians of %d rounds: split %.2f s, the same "
                    "files with plain host calls %.2f s, ratio %.2f (target at most %.2f); peak memory of the split "
                    "%.1f MiB (target under %.0f MiB); cpu ratio %.2f; cp of the archive %.2f s: %s\n",
                    mib, records, rounds, median(splits), median(floors), ratio, kTargetRatio, peakMiB, kPeakMiB,
                    median(splitCpu) / median(floorCpu), median(copies), met ? "met" : "MISSED");
        result = met ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "payload_split: %s\n", e.what());
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}
