// What the benchmarks that run the installer's code against a Wine prefix share: the demo's prefix, made the way
// the demo makes it, and the programs built beside the benchmark.
#pragma once

#include <filesystem>
#include <string>

namespace tarvix::bench {

struct DemoPrefix {
    std::filesystem::path dir;
    bool madeByWine = false;
    std::filesystem::path tempFolder; // the user's TEMP on the host, where the installer makes its work folder
    // "made by wine wineboot -i: system.reg 1680201 bytes, user.reg 27073 bytes", and when wine is not
    // installed, that the hives were filled up instead.
    std::string description() const;
};

// Makes a prefix in `dir` (new or empty) with `wine wineboot -i` and registers the demo's Delphi 13 in it. Where
// wine is not installed the prefix builder writes it, and its hives are filled with keys shaped like Wine's
// (class ids with their servers) up to the sizes of a prefix made by wine, so that the hive work is the same.
// Raises std::runtime_error (tools::PrefixBuildError).
DemoPrefix makeDemoPrefix(const std::filesystem::path& dir);

// The path of a program built beside the running benchmark; raises std::runtime_error when it is not there.
std::string programBeside(const char* name);

} // namespace tarvix::bench
