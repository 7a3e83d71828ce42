// Splitting a large file-record archive into the work folder, against copying the same bytes with cp.
//
//   payload_split_bench [--dir DIR] [--mib N] [--records N]
//
// Makes a scratch Wine prefix in DIR (default: ./payload-split-bench), writes an archive of N MiB (default 1024)
// in N records (default 10,000) into it, then, in one run, copies the archive with cp into the same file system
// and splits it with ExtrairPacote in a child process of its own, whose peak resident memory (ru_maxrss) is
// reported. The targets: split time at most 1.5 times the cp time, peak memory under 32 MiB whatever the payload
// size. Everything is removed afterwards. Exit code 0 when both targets are met, 1 when not, 2 on an error.
#include <fcntl.h>
#include <unistd.h>

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
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--records") == 0)
            records = std::atoi(argv[i + 1]);
    }

    int result = 2;
    try {
        const fs::path prefix = fs::absolute(dir) / "prefix";
        fs::remove_all(dir);
        fs::create_directories(prefix / "drive_c" / "split");
        fs::create_directories(prefix / "drive_c" / "copy");
        fs::create_directories(prefix / "drive_c" / "host");
        fs::create_directories(prefix / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
        const fs::path archive = prefix / "drive_c" / "comps.pkg";
        writeArchive(archive, mib << 20, records);
        ::sync();

        using tarvix::bench::runChild;
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        const auto copy = runChild({"cp", archive.string(), (prefix / "drive_c" / "copy" / "comps.pkg").string()});
        ::sync();
        const auto split = runChild({self, "--split", prefix.string(), "C:\\comps.pkg", "C:\\split"});
        ::sync();
        const auto floor = runChild({self, "--host-split", archive.string(), (prefix / "drive_c" / "host").string()});
        ::sync();
        if (copy.status != 0 || split.status != 0 || floor.status != 0)
            throw std::runtime_error("cp, the split or the host split failed");

        const double ratio = split.seconds / copy.seconds;
        const double peakMiB = static_cast<double>(split.maxRssKiB) / 1024.0;
        std::printf(
            "payload_split: %" PRId64 " MiB in %d records: split %.2f s, cp %.2f s, ratio %.2f (target <= 1.5); "
            "peak memory of the split %.1f MiB (target < 32 MiB); the same files with plain host calls "
            "%.2f s (%.2f of cp)\n",
            mib, records, split.seconds, copy.seconds, ratio, peakMiB, floor.seconds, floor.seconds / copy.seconds);
        result = ratio <= 1.5 && peakMiB < 32 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "payload_split: %s\n", e.what());
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}
