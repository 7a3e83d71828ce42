// tarvix-demo-prefix DIR [--wine|--no-wine] [--dcc32 FILE]
//
// Makes the demo's sandbox Wine prefix in DIR with a simulated Delphi 13 registered in it, and prints what it
// made. With --wine the prefix is made by `wine wineboot -i`, with --no-wine it is written directly; by default
// wine is used when it is installed. --dcc32 installs a host executable as the IDE's bin\dcc32.exe.
//
// DIR is rebuilt from scratch when this tool made it before (it leaves a marker file there); any other existing,
// non-empty DIR is refused, so that a real prefix such as ~/.wine is never wiped.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include "platform/wine/wineserver_lock.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;
using namespace tarvix::tools;

namespace {

constexpr const char* kMarker = ".tarvix-demo-prefix";

int usage(const char* message = nullptr)
{
    if (message)
        std::cerr << "tarvix-demo-prefix: " << message << "\n";
    std::cerr << "usage: tarvix-demo-prefix DIR [--wine|--no-wine] [--dcc32 FILE]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    fs::path dir;
    PrefixMode mode = PrefixMode::Auto;
    std::optional<fs::path> dcc32;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wine")
            mode = PrefixMode::RealWine;
        else if (arg == "--no-wine")
            mode = PrefixMode::Minimal;
        else if (arg == "--dcc32" && i + 1 < argc)
            dcc32 = fs::absolute(argv[++i]);
        else if (arg == "-h" || arg == "--help")
            return usage();
        else if (!arg.empty() && arg[0] == '-')
            return usage(("unknown option " + arg).c_str());
        else if (dir.empty())
            dir = arg;
        else
            return usage("only one folder may be given");
    }
    if (dir.empty())
        return usage("no folder given");
    dir = fs::absolute(dir).lexically_normal();
    if (dcc32 && !fs::is_regular_file(*dcc32)) {
        std::cerr << "tarvix-demo-prefix: " << dcc32->string() << " is not a file\n";
        return 1;
    }

    try {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(dir)) && !(fs::is_directory(dir) && fs::is_empty(dir))) {
            if (!fs::exists(dir / kMarker, ec)) {
                std::cerr << "tarvix-demo-prefix: " << dir.string()
                          << " exists and was not made by tarvix-demo-prefix; refusing to replace it.\n"
                             "Choose a new folder or remove this one yourself.\n";
                return 1;
            }
            if (tarvix::platform::wine::wineserverRunning(dir)) {
                std::cerr << "tarvix-demo-prefix: the wineserver of " << dir.string()
                          << " is running; close its Windows programs (or run `WINEPREFIX=" << dir.string()
                          << " wineserver -k`) and try again.\n";
                return 1;
            }
            std::cout << "Removing the earlier demo prefix in " << dir.string() << "\n";
            fs::remove_all(dir);
        }

        PrefixOptions options;
        options.mode = mode;
        options.log = [](const std::string& line) { std::cout << line << std::endl; };
        PrefixBuilder prefix = PrefixBuilder::create(dir, options);
        // Marked before anything else can fail, so that a rerun may clean up a half-made prefix.
        {
            std::ofstream(dir / kMarker) << "made by tarvix-demo-prefix\n";
        }

        IdeSetup setup = IdeSetup::delphi13();
        setup.dcc32Host = dcc32;
        const RegisteredIde ide = prefix.registerIde(setup);

        std::cout << "Wine prefix:        " << prefix.dir().string() << " ("
                  << (prefix.madeByWine() ? "made by wine wineboot" : "minimal, written directly") << ", "
                  << prefix.arch() << ")\n"
                  << "Windows user:       " << prefix.userName() << "\n"
                  << "Application data:   " << prefix.appDataFolder() << "\n"
                  << "Temporary folder:   " << prefix.tempFolder() << "\n"
                  << "MSBuild.exe:        " << PrefixBuilder::dotNetFrameworkFolder << "\\MSBuild.exe\n"
                  << "Simulated Delphi 13 (BDS 37.0):\n"
                  << "  registry key:     HKEY_LOCAL_MACHINE\\" << ide.machineKey << " (32-bit view)\n"
                  << "  root folder:      " << ide.rootDir << "\n"
                  << "  IDE executable:   " << ide.appFile << "\n"
                  << "  compiler:         " << ide.dcc32File
                  << (dcc32 ? " (" + dcc32->string() + ")" : std::string(" (placeholder)")) << "\n"
                  << "  rsvars.bat:       " << ide.rsvarsFile << "\n"
                  << "  EnvOptions.proj:  " << ide.envOptionsFile << "\n"
                  << "  user settings:    HKEY_CURRENT_USER\\" << ide.machineKey << "\n"
                  << "Use it with: WINEPREFIX=" << prefix.dir().string() << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "tarvix-demo-prefix: " << e.what() << "\n";
        return 1;
    }
}
