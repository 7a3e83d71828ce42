#include "tools/prefix_builder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/host_file.h"
#include "platform/windows_path.h"
#include "platform/wine/prefix_keys.h"
#include "platform/wine/wine_hive.h"
#include "platform/wine/wineserver_lock.h"
#include "tools/hive_key_path.h"
#include "tools/minimal_prefix.h"
#include "tools/wine_boot.h"

namespace fs = std::filesystem;

namespace tarvix::tools {

namespace KeyAccess = platform::KeyAccess;
namespace PrefixKey = platform::PrefixKey;
using platform::RegRoot;
using platform::RegValue;

namespace {

std::string lastComponent(std::string_view key)
{
    const auto slash = key.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? key : key.substr(slash + 1));
}

// The name wine gives the Windows user: the host's login name.
std::string hostLoginName()
{
    if (const char* v = std::getenv("USER"); v && *v)
        return v;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    return "user";
}

std::string readHostFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PrefixBuildError("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

struct PrefixBuilder::State {
    fs::path dir;
    platform::wine::WineRegistry registry;
    platform::WineFileSystem files;
    std::string userName;
    std::string appData, documents, commonDocuments, programFiles32, temp;

    explicit State(const fs::path& d) : dir(d), registry(d), files(d) {}

    std::optional<std::string> read(RegRoot root, std::string_view key, std::string_view name)
    {
        const bool previous = platform::Registry::setThreadView32(false);
        std::optional<std::string> text;
        try {
            if (auto k = registry.openKey(root, key, KeyAccess::Read, false))
                text = k->readString(name);
        } catch (...) {
            platform::Registry::setThreadView32(previous);
            throw;
        }
        platform::Registry::setThreadView32(previous);
        return text;
    }

    std::string requireFolder(RegRoot root, std::string_view key, std::string_view name)
    {
        auto v = read(root, key, name);
        if (!v || v->empty())
            throw PrefixBuildError("the Wine prefix " + dir.string() + " records no folder \"" + std::string(name) +
                                   "\" under " + std::string(platform::rootName(root)) + "\\" + std::string(key));
        // Wine writes plain paths here; a %USERPROFILE% template would need the logon's variables.
        if (v->find('%') != std::string::npos) {
            const auto profile = read(RegRoot::CurrentUser, "Volatile Environment", "USERPROFILE");
            const std::string marker = "%USERPROFILE%";
            const auto at = v->find(marker);
            if (profile && at != std::string::npos)
                v->replace(at, marker.size(), *profile);
        }
        return platform::excludeTrailingBackslash(*v);
    }

    void readFolders()
    {
        appData = requireFolder(RegRoot::CurrentUser, PrefixKey::ShellFolders, "AppData");
        documents = requireFolder(RegRoot::CurrentUser, PrefixKey::ShellFolders, "Personal");
        commonDocuments = requireFolder(RegRoot::LocalMachine, PrefixKey::ShellFolders, "Common Documents");
        auto pf = read(RegRoot::LocalMachine, PrefixKey::CurrentVersion, "ProgramFilesDir (x86)");
        if (!pf || pf->empty())
            pf = read(RegRoot::LocalMachine, PrefixKey::CurrentVersion, "ProgramFilesDir");
        programFiles32 = pf && !pf->empty() ? platform::excludeTrailingBackslash(*pf) : "C:\\Program Files";
        auto t = read(RegRoot::CurrentUser, "Environment", "TEMP");
        temp = t && !t->empty() && t->find('%') == std::string::npos
                   ? platform::excludeTrailingBackslash(*t)
                   : appData.substr(0, appData.rfind("\\AppData")) + "\\Temp";
        auto user = read(RegRoot::CurrentUser, "Volatile Environment", "USERNAME");
        if (user && !user->empty()) {
            userName = *user;
        } else {
            // C:\users\<name>\AppData\Roaming
            const auto cut = appData.rfind("\\AppData");
            const std::string profile = appData.substr(0, cut);
            userName = lastComponent(profile);
        }
    }

    // Wine links the user's Documents, Desktop, ... to the host's home folder; a sandbox keeps them inside.
    void sandboxUserFolders()
    {
        const fs::path users = dir / "drive_c" / "users";
        std::error_code ec;
        if (!fs::is_directory(users, ec))
            return;
        const fs::path root = fs::weakly_canonical(dir, ec);
        for (const auto& profile : fs::directory_iterator(users, ec)) {
            if (!profile.is_directory(ec) || profile.is_symlink(ec))
                continue;
            for (const auto& entry : fs::directory_iterator(profile.path(), ec)) {
                if (!entry.is_symlink(ec))
                    continue;
                const fs::path target = fs::weakly_canonical(entry.path(), ec);
                const auto rel = target.lexically_relative(root);
                if (!rel.empty() && *rel.begin() != "..")
                    continue; // points inside the prefix
                fs::remove(entry.path());
                fs::create_directory(entry.path());
            }
        }
    }

    // Registry writes are collected and applied to each hive file in one go: the hive is read, changed by the
    // hive layer and written back once (a temporary file renamed over it), instead of once per value.
    struct RegWrite {
        RegRoot root;
        std::string key;
        NameValues values;
        bool view32 = false;
    };

    void applyWrites(const std::vector<RegWrite>& writes)
    {
        try {
            platform::wine::ensureWineserverStopped(dir);
        } catch (const platform::PlatformError& e) {
            throw PrefixBuildError(e.what());
        }
        for (const RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser}) {
            bool any = false;
            for (const auto& w : writes)
                any = any || w.root == root;
            if (!any)
                continue;
            const fs::path file = dir / (root == RegRoot::LocalMachine ? "system.reg" : "user.reg");
            const std::string text = readHostFile(file);
            platform::wine::WineHive hive;
            try {
                hive = platform::wine::WineHive::parse(text, file.string());
            } catch (const platform::PlatformError& e) {
                throw PrefixBuildError(e.what());
            }
            const auto now = std::chrono::system_clock::now();
            for (const auto& w : writes) {
                if (w.root != root)
                    continue;
                std::vector<std::string> parts = splitKey(w.key);
                // The 32-bit view of a 64-bit prefix keeps HKLM\Software\X under Software\Wow6432Node\X.
                if (w.view32 && root == RegRoot::LocalMachine && hive.arch() == "win64" && !parts.empty() &&
                    platform::wine::WineHive::namesEqual(parts[0], "Software") &&
                    !(parts.size() > 1 && (platform::wine::WineHive::namesEqual(parts[1], "Wow6432Node") ||
                                           platform::wine::WineHive::namesEqual(parts[1], "Classes"))))
                    parts.insert(parts.begin() + 1, "Wow6432Node");
                if (parts.empty())
                    throw PrefixBuildError("no key named for " + std::string(platform::rootName(root)));
                auto* node = hive.createKey(hive.root(), parts, now);
                for (const auto& [name, value] : w.values)
                    hive.setValue(node, name, RegValue::string(value), now);
            }
            // Readers of the hive (the installer under test, a wine run) see the old file or the new one.
            try {
                platform::replaceHostFile(file, hive.serialize());
            } catch (const platform::HostFileError& e) {
                const bool renaming = e.step() == platform::HostFileStep::Replace;
                throw PrefixBuildError((renaming ? "cannot replace " : "cannot write ") + file.string());
            }
        }
        for (const auto& w : writes)
            if (w.root != RegRoot::LocalMachine && w.root != RegRoot::CurrentUser)
                throw PrefixBuildError("the builder writes HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER only");
    }

    void ensureDotNetFramework()
    {
        const std::string msbuild = platform::includeTrailingBackslash(dotNetFrameworkFolder) + "MSBuild.exe";
        if (!files.fileExists(msbuild)) {
            files.forceDirectories(std::string(dotNetFrameworkFolder));
            std::ofstream(files.toHostPath(msbuild), std::ios::binary)
                << "MSBuild.exe placeholder of a sandbox prefix\r\n";
            if (!files.fileExists(msbuild))
                throw PrefixBuildError("cannot write " + files.toHostPath(msbuild));
        }
    }
};

PrefixBuilder::PrefixBuilder(std::unique_ptr<State> state) : state_(std::move(state)) {}
PrefixBuilder::PrefixBuilder(PrefixBuilder&&) noexcept = default;
PrefixBuilder& PrefixBuilder::operator=(PrefixBuilder&&) noexcept = default;
PrefixBuilder::~PrefixBuilder() = default;

PrefixBuilder PrefixBuilder::create(const fs::path& dirIn, const PrefixOptions& options)
{
    const fs::path dir = fs::absolute(dirIn);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir, ec))) {
        if (!fs::is_directory(dir, ec))
            throw PrefixBuildError(dir.string() + " exists and is not a folder");
        if (!fs::is_empty(dir, ec))
            throw PrefixBuildError(dir.string() + " is not empty; a new prefix needs an empty or new folder");
    }
    auto log = [&](const std::string& line) {
        if (options.log)
            options.log(line);
    };

    PrefixMode mode = options.mode;
    if (mode == PrefixMode::Auto)
        mode = wineAvailable() ? PrefixMode::RealWine : PrefixMode::Minimal;

    try {
        if (mode == PrefixMode::RealWine) {
            bootWinePrefix(dir, log);
        } else {
            if (options.arch != "win64" && options.arch != "win32")
                throw PrefixBuildError("unknown prefix architecture \"" + options.arch + "\" (win64 or win32)");
            const std::string user = options.userName.empty() ? hostLoginName() : options.userName;
            if (user.find_first_of("/\\:*?\"<>|") != std::string::npos || user == "." || user == ".." ||
                user == "Public")
                throw PrefixBuildError("\"" + user + "\" cannot be a Windows user name here");
            log("writing a minimal prefix in " + dir.string());
            fs::create_directories(dir);
            writeMinimalPrefix(dir, user, options.arch);
        }
    } catch (const fs::filesystem_error& e) {
        throw PrefixBuildError(std::string("cannot make the prefix: ") + e.what());
    }

    PrefixBuilder builder = open(dir);
    try {
        builder.state_->ensureDotNetFramework();
    } catch (const platform::PlatformError& e) {
        throw PrefixBuildError(std::string("cannot write the .NET Framework folder: ") + e.what());
    }
    return builder;
}

PrefixBuilder PrefixBuilder::open(const fs::path& dirIn)
{
    const fs::path dir = fs::absolute(dirIn);
    std::error_code ec;
    if (!fs::exists(dir / "system.reg", ec) || !fs::exists(dir / "dosdevices", ec))
        throw PrefixBuildError("no Wine prefix in " + dir.string() + " (system.reg or dosdevices missing)");
    auto state = std::make_unique<State>(dir);
    try {
        state->sandboxUserFolders();
        state->readFolders();
    } catch (const fs::filesystem_error& e) {
        throw PrefixBuildError(std::string("cannot prepare the prefix: ") + e.what());
    } catch (const platform::PlatformError& e) {
        throw PrefixBuildError(std::string("cannot read the prefix: ") + e.what());
    }
    return PrefixBuilder(std::move(state));
}

const fs::path& PrefixBuilder::dir() const
{
    return state_->dir;
}

bool PrefixBuilder::madeByWine() const
{
    return fs::exists(state_->dir / "drive_c" / "windows" / "system32" / "wineboot.exe");
}

std::string PrefixBuilder::arch()
{
    return state_->registry.arch();
}
const std::string& PrefixBuilder::userName() const
{
    return state_->userName;
}
const std::string& PrefixBuilder::appDataFolder() const
{
    return state_->appData;
}
const std::string& PrefixBuilder::documentsFolder() const
{
    return state_->documents;
}
const std::string& PrefixBuilder::commonDocumentsFolder() const
{
    return state_->commonDocuments;
}
const std::string& PrefixBuilder::programFiles32Folder() const
{
    return state_->programFiles32;
}
const std::string& PrefixBuilder::tempFolder() const
{
    return state_->temp;
}
platform::wine::WineRegistry& PrefixBuilder::registry()
{
    return state_->registry;
}
platform::WineFileSystem& PrefixBuilder::files()
{
    return state_->files;
}

fs::path PrefixBuilder::hostPath(std::string_view windowsPath) const
{
    try {
        return state_->files.toHostPath(windowsPath);
    } catch (const platform::PlatformError& e) {
        throw PrefixBuildError(e.what());
    }
}

void PrefixBuilder::makeFolder(std::string_view windowsPath)
{
    if (!state_->files.forceDirectories(windowsPath))
        throw PrefixBuildError("cannot make the folder " + std::string(windowsPath) + " in " + state_->dir.string());
}

void PrefixBuilder::writeFile(std::string_view windowsPath, std::string_view bytes)
{
    const auto slash = windowsPath.find_last_of('\\');
    if (slash != std::string_view::npos && slash > 2)
        makeFolder(windowsPath.substr(0, slash));
    // A plain write: a sandbox needs no flush to the disk, and tests make many of them.
    const fs::path host = hostPath(windowsPath);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw PrefixBuildError("cannot write " + host.string());
}

void PrefixBuilder::installHostFile(const fs::path& from, std::string_view windowsPath)
{
    const auto slash = windowsPath.find_last_of('\\');
    if (slash != std::string_view::npos && slash > 2)
        makeFolder(windowsPath.substr(0, slash));
    const fs::path to = hostPath(windowsPath);
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        throw PrefixBuildError("cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
    fs::permissions(to, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add,
                    ec);
}

void PrefixBuilder::setValues(RegRoot root, std::string_view key, const NameValues& values, bool view32)
{
    state_->applyWrites({{root, std::string(key), values, view32}});
}

void PrefixBuilder::setString(RegRoot root, std::string_view key, std::string_view name, std::string_view value,
                              bool view32)
{
    setValues(root, key, {{std::string(name), std::string(value)}}, view32);
}

// --- registering an IDE -------------------------------------------------------------------------------------------

RegisteredIde PrefixBuilder::registerIde(const IdeSetup& setup)
{
    if (setup.machineKey.empty())
        throw PrefixBuildError("an IDE needs an installation key");
    const int version = leadingNumber(lastComponent(setup.machineKey));
    const bool bds = setup.kind == IdeSetup::Kind::BDS;

    RegisteredIde ide;
    ide.machineKey = setup.machineKey;
    const std::string rootValue = !setup.rootDir.empty() ? setup.rootDir
                                                         : platform::includeTrailingBackslash(state_->programFiles32) +
                                                               setup.rootBelowProgramFiles + "\\";
    ide.rootDir = platform::excludeTrailingBackslash(rootValue);
    ide.binDir = ide.rootDir + "\\bin";
    if (!setup.commonDirBelowDocuments.empty())
        ide.commonDir = platform::includeTrailingBackslash(state_->commonDocuments) + setup.commonDirBelowDocuments;
    if (!setup.userDirBelowDocuments.empty())
        ide.userDir = platform::includeTrailingBackslash(state_->documents) + setup.userDirBelowDocuments;
    if (!setup.userDataFolder.empty())
        ide.userDataDir = platform::includeTrailingBackslash(state_->appData) + setup.userDataFolder;

    // Files of the installation.
    makeFolder(ide.binDir);
    if (!setup.appRelative.empty()) {
        ide.appFile = platform::includeTrailingBackslash(ide.rootDir) + setup.appRelative;
        if (setup.createApp)
            writeFile(ide.appFile, "IDE placeholder of a sandbox prefix: " + lastComponent(ide.appFile) + "\r\n");
    }
    for (const auto& name : setup.binFiles) {
        if (name == "dcc32.exe" && setup.dcc32Host)
            continue;
        writeFile(ide.binDir + "\\" + name, "tool placeholder of a sandbox prefix: " + name + "\r\n");
    }
    for (const auto& name : setup.bin64Files)
        writeFile(ide.rootDir + "\\bin64\\" + name, "tool placeholder of a sandbox prefix: " + name + "\r\n");
    if (setup.dcc32Host)
        installHostFile(*setup.dcc32Host, ide.binDir + "\\dcc32.exe");
    if (setup.dcc32Host || std::find(setup.binFiles.begin(), setup.binFiles.end(), "dcc32.exe") != setup.binFiles.end())
        ide.dcc32File = ide.binDir + "\\dcc32.exe";
    makeFolder(ide.rootDir + "\\include");
    if (bds && version >= 8) {
        for (const char* platform : {"Win32", "Win64"}) {
            makeFolder(ide.rootDir + "\\lib\\" + platform + "\\release");
            makeFolder(ide.rootDir + "\\lib\\" + platform + "\\debug");
        }
    } else {
        makeFolder(ide.rootDir + "\\lib\\debug");
    }
    if (bds && version >= 5)
        state_->ensureDotNetFramework();
    if (setup.rsvars) {
        ide.rsvarsFile = ide.binDir + "\\rsvars.bat";
        writeFile(ide.rsvarsFile, rsvarsText(ide.rootDir, ide.commonDir, version));
    }
    if (!ide.commonDir.empty()) {
        makeFolder(ide.commonDir + "\\Bpl");
        makeFolder(ide.commonDir + "\\Dcp");
    }
    if (!ide.userDir.empty())
        makeFolder(ide.userDir + "\\Projects");

    std::vector<State::RegWrite> writes;
    auto add = [&](RegRoot root, std::string key, NameValues values, bool view32 = false) {
        writes.push_back({root, std::move(key), std::move(values), view32});
    };
    // The installation key, in the 32-bit view like every 32-bit installer writes it.
    NameValues machine = {{"RootDir", rootValue}};
    if (!ide.appFile.empty())
        machine.push_back({"App", ide.appFile});
    machine.insert(machine.end(), setup.machineValues.begin(), setup.machineValues.end());
    add(RegRoot::LocalMachine, setup.machineKey, machine, true);
    if (!setup.machineGlobals.empty())
        add(RegRoot::LocalMachine, setup.machineKey + "\\Globals", setup.machineGlobals, true);
    if (!setup.personalities.empty())
        add(RegRoot::LocalMachine, setup.machineKey + "\\Personalities", setup.personalities, true);

    // What the user's first start of the IDE leaves.
    if (!setup.userGlobals.empty())
        add(RegRoot::CurrentUser, setup.machineKey + "\\Globals", setup.userGlobals);
    if (!setup.userEnvironmentVariables.empty())
        add(RegRoot::CurrentUser, setup.machineKey + "\\Environment Variables", setup.userEnvironmentVariables);
    if (setup.userSettings) {
        if (!setup.personalities.empty())
            add(RegRoot::CurrentUser, setup.machineKey + "\\Personalities", setup.personalities);
        if (bds && version >= 9) {
            for (const char* platform : {"Win32", "Win64"})
                add(RegRoot::CurrentUser, setup.machineKey + "\\Library\\" + platform,
                    bdsLibraryPaths(version, std::string_view(platform) != "Win32"));
        } else if (bds) {
            add(RegRoot::CurrentUser, setup.machineKey + "\\Library", bdsLibraryPaths(version));
        } else {
            const std::string var = setup.kind == IdeSetup::Kind::Delphi ? "$(DELPHI)" : "$(BCB)";
            add(RegRoot::CurrentUser, setup.machineKey + "\\Library",
                {
                    {"Search Path", var + "\\Lib;" + var + "\\Bin;" + var + "\\Imports;" + var + "\\Projects\\Bpl"},
                    {"Browsing Path",
                     var + "\\Source\\Vcl;" + var + "\\Source\\Rtl\\Common;" + var + "\\Source\\Rtl\\Sys"},
                    {"Package DPL Output", var + "\\Projects\\Bpl"},
                    {"Package DCP Output", var + "\\Projects\\Bpl"},
                });
            add(RegRoot::CurrentUser, setup.machineKey + "\\Debugging", {{"Debug DCUs Path", var + "\\Lib\\Debug"}});
            makeFolder(ide.rootDir + "\\Projects\\Bpl");
        }
        if (!setup.knownPackages.empty())
            add(RegRoot::CurrentUser, setup.machineKey + "\\Known Packages", setup.knownPackages);
    }
    state_->applyWrites(writes);

    if (!ide.userDataDir.empty() && (setup.envOptions || setup.environmentProj))
        makeFolder(ide.userDataDir);
    if (setup.envOptions && !ide.userDataDir.empty()) {
        ide.envOptionsFile = ide.userDataDir + "\\EnvOptions.proj";
        writeFile(ide.envOptionsFile, setup.envOptionsText ? *setup.envOptionsText : envOptionsText(version));
    }
    if (setup.environmentProj && !ide.userDataDir.empty()) {
        ide.environmentProjFile = ide.userDataDir + "\\environment.proj";
        writeFile(ide.environmentProjFile, environmentProjText(ide));
    }
    return ide;
}

} // namespace tarvix::tools
