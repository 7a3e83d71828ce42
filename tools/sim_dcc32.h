// The simulated IDE command-line compiler: a stand-in for dcc32.exe in the demo and the tests, where the real
// compiler cannot be installed. It is a simulation, not a compiler: it reads a package source (.dpk), checks that
// every unit the package contains is there, as source or compiled unit, and writes a small placeholder .bpl and
// .dcp. What it shares with the real compiler is the surface the installer meets: the command line, the
// <package>.cfg beside the package, the messages on standard output (OEM code page, CR LF, a progress counter on
// lone CRs) and the exit code.
//
// Command line: `dcc32 [options] package[.dpk]`. Options start with "-", their letters in any case; lists are
// ";"-separated, and double quotes around a list, an item or a folder are dropped. What has an effect here:
// -U<folders> (where units are looked for besides the package's folder), -LE<folder> (the .bpl), -LN<folder>
// (the .dcp), --no-config, and --help / -h / /?. Every other option is accepted and ignored. Unless --no-config
// is given, the lines of <package folder>\<package name>.cfg are options too, taken before the command line's.
//
// Standard output of a successful run, each line ended by CR LF:
//   the banner
//   "Compiling <unit> (<file found>)" for each contained unit, in the order of the contains clause
//   "<package>(<line>) Warning: W1057 ..."
//   "<n> lines" four times, each ended by a lone CR (a progress counter overwriting itself)
//   "<n> lines, 0.01 seconds, <bpl size> bytes code, <dcp size> bytes data."
// A failing run ends with a "Fatal: F<code> ..." or "Error: E<code> ..." line and exit code 1. It writes no output
// file, unless the system refuses the .dcp after it has taken the .bpl.
//
// The core is portable C++ with no platform layer: everything it needs from the operating system comes through
// SimDcc32Host, so the same code runs as a Linux program on a Wine prefix and as a real Windows console program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::tools {

// What the compiler needs from its operating system. Paths are Windows paths in UTF-8, absolute when the core
// passes them; names match without regard to case as the file system decides.
class SimDcc32Host {
public:
    virtual ~SimDcc32Host() = default;

    virtual bool fileExists(std::string_view path) = 0; // a folder is not a file
    virtual bool directoryExists(std::string_view path) = 0;
    // The file's bytes, or nothing when it cannot be read.
    virtual std::optional<std::string> readFile(std::string_view path) = 0;
    // Creates or replaces the file; false when that failed.
    virtual bool writeFile(std::string_view path, std::string_view bytes) = 0;
    // The process's current folder (a Windows path).
    virtual std::string currentDirectory() = 0;

    // 8-bit text in the ANSI code page to UTF-8, and UTF-8 to the OEM code page (what a console shows).
    virtual std::string decodeAnsi(std::string_view bytes) = 0;
    virtual std::string encodeOem(std::string_view utf8) = 0;
    // Writes bytes to standard output at once (no buffering left behind), so a reader sees each line as it
    // is written.
    virtual void writeOutput(std::string_view bytes) = 0;
};

// The first line of every run.
inline constexpr std::string_view SimDcc32Banner =
    "Tarvix simulated Delphi compiler for Win32, version 37.0 (a simulation for demos and tests, not a real "
    "compiler)";

// Exit codes.
inline constexpr int SimDcc32Success = 0;
inline constexpr int SimDcc32Failure = 1;

class SimDcc32 {
public:
    explicit SimDcc32(SimDcc32Host& host) : host_(host) {}

    // Runs one compilation. `arguments` are the command-line arguments after the program name, already split,
    // in UTF-8. Returns the exit code.
    int run(const std::vector<std::string>& arguments);

private:
    SimDcc32Host& host_;
};

} // namespace tarvix::tools
