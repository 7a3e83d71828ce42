// The unpacking step over any installer tail: the fuzzer's bytes are the end of the setup executable, so they
// supply the trailer, the archive and the descriptor. Besides crashes and hangs (libFuzzer's own checks), every
// input is checked for its effect on the disk: the step may write only inside its work folder, and deleting the
// work folder must leave the sandbox as it was. A violation aborts, which libFuzzer reports with the input.
//
// The sandbox is a Wine prefix in a scratch folder (on /dev/shm when there is one, for speed) with drive C: only,
// so that no path of the prefix reaches the rest of the host; its ANSI code page is 932, a multi-byte one, so
// that record names also go through multi-byte decoding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "installer/payload_extractor.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"

namespace fs = std::filesystem;

namespace {

class NullWindow : public tarvix::TWizardWindow {
public:
    int MsgError(const std::string&) override { return 1; }
    int MsgWarning(const std::string&) override { return 1; }
    int MsgInformation(const std::string&) override { return 1; }
    int MsgConfirmation(const std::string&) override { return 6; }
    void PostClose() override {}
};

struct Sandbox {
    fs::path root;
    fs::path driveC;
    std::unique_ptr<tarvix::platform::WinePrefix> prefix;
    std::unique_ptr<tarvix::platform::ScopedCurrentSystem> scoped;
    std::set<std::string> baseline;

    Sandbox()
    {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "tarvix-payload-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        const fs::path prefixDir = root / "prefix";
        driveC = prefixDir / "drive_c";
        fs::create_directories(driveC / "temp");
        fs::create_directories(prefixDir / "dosdevices");
        fs::create_directory_symlink("../drive_c", prefixDir / "dosdevices" / "c:");
        write(prefixDir / "system.reg", "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                                        "#arch=win64\n\n[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Codepage] 1\n"
                                        "\"ACP\"=\"932\"\n\"OEMCP\"=\"932\"\n\n");
        write(prefixDir / "user.reg",
              "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
              "#arch=win64\n\n[Environment] 1\n\"TEMP\"=\"C:\\\\temp\"\n\"TMP\"=\"C:\\\\temp\"\n\n");
        write(driveC / "setup.exe", "");
        prefix = std::make_unique<tarvix::platform::WinePrefix>(prefixDir);
        scoped = std::make_unique<tarvix::platform::ScopedCurrentSystem>(*prefix);
        baseline = tree();
    }
    ~Sandbox()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static void write(const fs::path& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Every entry below the scratch folder (links not followed), relative to it.
    std::set<std::string> tree() const
    {
        std::set<std::string> entries;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
            entries.insert(fs::relative(it->path(), root).string());
        return entries;
    }
};

Sandbox& sandbox()
{
    static Sandbox instance;
    return instance;
}

[[noreturn]] void violation(const std::string& what)
{
    std::fprintf(stderr, "payload_fuzz: %s\n", what.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Sandbox& box = sandbox();
    static int32_t draw = 0;
    draw = (draw + 1) % (tarvix::TSorteioPasta::Maior + 1);

    Sandbox::write(box.driveC / "setup.exe", "MZ" + std::string(reinterpret_cast<const char*>(data), size));
    tarvix::TWizardState state;
    NullWindow window;
    tarvix::TSorteioPasta draws([] { return draw; });
    tarvix::ExtrairInstalacao(state, window, draws, "C:\\setup.exe");

    const std::string work = "prefix/drive_c/temp/" + std::to_string(draw);
    if (state.PastaTemp != "C:\\temp\\" + std::to_string(draw))
        violation("unexpected work folder " + state.PastaTemp);
    for (const auto& entry : box.tree())
        if (!box.baseline.count(entry) && entry != work && entry.rfind(work + "/", 0) != 0)
            violation("written outside the work folder: " + entry);
    for (const auto& name : state.ListaArquivos)
        if (!tarvix::platform::current().files().fileExists(state.PastaTemp + "\\" + name))
            violation("listed but not in the work folder: " + name);

    tarvix::ApagarPastaTemp(state);
    if (box.tree() != box.baseline)
        violation("the work folder's deletion left something behind");
    return 0;
}
