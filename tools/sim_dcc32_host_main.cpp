// tarvix-sim-dcc32 [options] package[.dpk]: the simulated IDE compiler (tools/sim_dcc32.h) as a Linux program,
// installed as the simulated IDE's bin\dcc32.exe in a Wine prefix. It is a simulation for the demo and the tests,
// not a compiler.
//
// It runs in the prefix every Wine tool would choose (WINEPREFIX, else ~/.wine): Windows paths are resolved
// through the prefix's drives, the current folder is the host's current folder as the prefix sees it, and the
// code pages are the prefix's.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/text_encoding.h"
#include "tools/sim_dcc32.h"

namespace {

using namespace tarvix;

class WinePrefixHost : public tools::SimDcc32Host {
public:
    // The code pages are read once: the prefix's registry does not change during a run.
    explicit WinePrefixHost(platform::System& system)
        : system_(system),
          ansiCodePage_(system.shell().ansiCodePage()),
          oemCodePage_(system.shell().oemCodePage())
    {}

    bool fileExists(std::string_view path) override { return system_.files().fileExists(path); }
    bool directoryExists(std::string_view path) override { return system_.files().directoryExists(path); }

    std::optional<std::string> readFile(std::string_view path) override
    {
        try {
            return system_.files().readFile(path);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

    bool writeFile(std::string_view path, std::string_view bytes) override
    {
        try {
            system_.files().writeFile(path, bytes);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    std::string currentDirectory() override { return system_.files().currentDirectory(); }

    std::string decodeAnsi(std::string_view bytes) override { return platform::decodeCodePage(bytes, ansiCodePage_); }

    std::string encodeOem(std::string_view utf8) override { return platform::encodeCodePage(utf8, oemCodePage_); }

    void writeOutput(std::string_view bytes) override
    {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    }

private:
    platform::System& system_;
    const uint32_t ansiCodePage_;
    const uint32_t oemCodePage_;
};

} // namespace

int main(int argc, char** argv)
{
    try {
        WinePrefixHost host(platform::current());
        return tools::SimDcc32(host).run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        // The prefix itself is unusable (no drives, an unknown code page): no compiler message fits.
        std::fprintf(stderr, "tarvix-sim-dcc32: %s\n", e.what());
        return tools::SimDcc32Failure;
    }
}
