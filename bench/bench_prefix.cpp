#include "bench/bench_prefix.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tools/prefix_builder.h"

namespace fs = std::filesystem;

namespace tarvix::bench {

namespace {

// The hive sizes of a prefix made by `wine wineboot -i` (Wine 8) with the demo IDE registered.
constexpr std::uintmax_t kSystemHiveSize = 1'680'000;
constexpr std::uintmax_t kUserHiveSize = 27'000;

// Appends keys shaped like those Wine registers (class ids with their server and threading model) until the hive
// has `size` bytes.
void fillHive(const fs::path& file, std::uintmax_t size)
{
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    char block[512];
    for (unsigned i = 0; text.size() < size; ++i) {
        const unsigned id = i * 2654435761u;
        const int n = std::snprintf(block, sizeof block,
                                    "\n[Software\\\\Classes\\\\CLSID\\\\{%08X-51D5-4C2B-9A3E-%012X}] 1796911984\n"
                                    "#time=1dd88b092c9848e\n@=\"Filler Class %u\"\n\n"
                                    "[Software\\\\Classes\\\\CLSID\\\\{%08X-51D5-4C2B-9A3E-%012X}\\\\InprocServer32] "
                                    "1796911984\n#time=1dd88b092c9848e\n"
                                    "@=\"C:\\\\windows\\\\system32\\\\filler%u.dll\"\n\"ThreadingModel\"=\"Both\"\n",
                                    id, i, i, id, i, i);
        text.append(block, static_cast<std::size_t>(n));
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace

std::string DemoPrefix::description() const
{
    std::string text = std::string(madeByWine ? "made by wine wineboot -i" : "written by the prefix builder") +
                       ": system.reg " + std::to_string(fs::file_size(dir / "system.reg")) + " bytes, user.reg " +
                       std::to_string(fs::file_size(dir / "user.reg")) + " bytes";
    if (!madeByWine)
        text += " (wine is not installed: the hives are filled with generated keys to the sizes of a prefix made by "
                "wine)";
    return text;
}

DemoPrefix makeDemoPrefix(const fs::path& dir)
{
    tools::PrefixOptions options;
    options.mode = tools::PrefixMode::Auto;
    tools::PrefixBuilder builder = tools::PrefixBuilder::create(dir, options);
    builder.registerIde(tools::IdeSetup::delphi13());
    DemoPrefix prefix{builder.dir(), builder.madeByWine(), builder.hostPath(builder.tempFolder())};
    if (!prefix.madeByWine) {
        fillHive(prefix.dir / "system.reg", kSystemHiveSize);
        fillHive(prefix.dir / "user.reg", kUserHiveSize);
    }
    return prefix;
}

std::string programBeside(const char* name)
{
    const fs::path path = fs::read_symlink("/proc/self/exe").parent_path() / name;
    if (!fs::exists(path))
        throw std::runtime_error("missing " + path.string());
    return path.string();
}

} // namespace tarvix::bench
