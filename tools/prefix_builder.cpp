#include "tools/prefix_builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <chrono>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/host_process.h"
#include "platform/wine/wine_environment.h"
#include "platform/wine/wine_hive.h"
#include "platform/wine/wineserver_lock.h"

namespace fs = std::filesystem;

namespace tarvix::tools {

namespace KeyAccess = platform::KeyAccess;
using platform::RegRoot;
namespace RegType = platform::RegType;
using platform::RegValue;

namespace {

// --- small text helpers -----------------------------------------------------------------------------------------

std::string withoutTrailingBackslash(std::string_view path)
{
    std::string s(path);
    while (s.size() > 3 && s.back() == '\\')
        s.pop_back();
    return s;
}

std::string join(std::string_view folder, std::string_view name)
{
    std::string s = withoutTrailingBackslash(folder);
    if (s.empty() || s.back() != '\\')
        s += '\\';
    s += name;
    return s;
}

std::string lastComponent(std::string_view key)
{
    const auto slash = key.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? key : key.substr(slash + 1));
}

// The number the key name starts with ("37" of "37.0", "37" of "37.5"); 0 when it starts with no digit.
int leadingNumber(std::string_view name)
{
    int n = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + (c - '0');
        if (n > 100000)
            break;
    }
    return n;
}

std::string crlf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
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

// --- running wine -------------------------------------------------------------------------------------------------

std::vector<std::string> wineEnvironment(const fs::path& prefix)
{
    platform::wine::WineEnvironmentOptions options;
    options.withoutMonoAndGecko = true;
    options.withoutDisplay = true;
    return platform::wine::wineEnvironment(prefix, options);
}

// Runs a program found on PATH with its standard streams on /dev/null; returns its exit code (-1 when it could
// not be started).
int runQuietly(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    platform::HostProcessSpec spec;
    spec.argv = args;
    spec.environment = env;
    spec.input = platform::StreamMode::Null;
    spec.output = platform::StreamMode::Null;
    spec.error = platform::StreamMode::Null;
    const platform::HostProcessResult run = platform::runHostProcess(spec);
    return run.started ? static_cast<int>(run.exitCode) : -1;
}

std::string readHostFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PrefixBuildError("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A temporary file in the same folder renamed over the target: readers see the old or the new file.
void writeHostFileAtomically(const fs::path& file, std::string_view text)
{
    const fs::path temp = file.parent_path() / ("." + file.filename().string() + ".new");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw PrefixBuildError("cannot write " + file.string());
        }
    }
    std::error_code ec;
    fs::rename(temp, file, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw PrefixBuildError("cannot replace " + file.string());
    }
}

std::vector<std::string> splitKey(std::string_view path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const auto slash = path.find('\\', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

// --- the minimal prefix -------------------------------------------------------------------------------------------

struct HiveWriter {
    platform::wine::WineHive hive;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();

    HiveWriter(std::string_view relativeTo, std::string_view arch)
        : hive(platform::wine::WineHive::makeEmpty(relativeTo, arch))
    {
    }

    platform::wine::WineHive::Node* key(std::string_view path)
    {
        return hive.createKey(hive.root(), splitKey(path), now);
    }
    void set(std::string_view path, const NameValues& values, uint32_t type = RegType::Sz)
    {
        auto* k = key(path);
        for (const auto& [name, value] : values)
            hive.setValue(k, name, RegValue::string(value, type), now);
    }
    void save(const fs::path& file) const
    {
        const std::string text = hive.serialize();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out)
            throw PrefixBuildError("cannot write " + file.string());
    }
};

constexpr std::string_view kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kSessionEnvironment = "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::string_view kCodePage = "System\\CurrentControlSet\\Control\\Nls\\Codepage";

// The folders of drive C below the prefix that a freshly made Windows installation has.
void writeMinimalFolders(const fs::path& driveC, const std::string& user, bool win64)
{
    const std::vector<std::string> folders = {
        "windows/system32",
        "windows/temp",
        "windows/Fonts",
        "ProgramData/Microsoft/Windows/Start Menu/Programs",
        "ProgramData/Microsoft/Windows/Templates",
        "Program Files/Common Files",
        "users/" + user + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs",
        "users/" + user + "/AppData/Local",
        "users/" + user + "/AppData/LocalLow",
        "users/" + user + "/Desktop",
        "users/" + user + "/Documents",
        "users/" + user + "/Downloads",
        "users/" + user + "/Favorites",
        "users/" + user + "/Music",
        "users/" + user + "/Pictures",
        "users/" + user + "/Videos",
        "users/" + user + "/Temp",
        "users/Public/Desktop",
        "users/Public/Documents",
        "users/Public/Music",
        "users/Public/Pictures",
        "users/Public/Videos",
    };
    for (const auto& f : folders)
        fs::create_directories(driveC / f);
    if (win64)
        fs::create_directories(driveC / "Program Files (x86)/Common Files");
}

void writeMinimalPrefix(const fs::path& dir, const std::string& user, const std::string& arch)
{
    const bool win64 = arch == "win64";
    fs::create_directories(dir / "dosdevices");
    fs::create_directory_symlink("../drive_c", dir / "dosdevices" / "c:");
    fs::create_directory_symlink("/", dir / "dosdevices" / "z:");
    writeMinimalFolders(dir / "drive_c", user, win64);

    const std::string profile = "C:\\users\\" + user;
    const std::string appData = profile + "\\AppData\\Roaming";
    const std::string localAppData = profile + "\\AppData\\Local";
    const std::string temp = profile + "\\Temp";
    const std::string programFiles = "C:\\Program Files";
    const std::string programFiles32 = win64 ? "C:\\Program Files (x86)" : programFiles;

    // HKEY_LOCAL_MACHINE
    HiveWriter system("REGISTRY\\Machine", arch);
    NameValues currentVersion = {
        {"CommonFilesDir", programFiles + "\\Common Files"},
        {"ProgramFilesDir", programFiles},
    };
    if (win64) {
        currentVersion.push_back({"CommonFilesDir (x86)", programFiles32 + "\\Common Files"});
        currentVersion.push_back({"ProgramFilesDir (x86)", programFiles32});
    }
    system.set(kCurrentVersion, currentVersion);
    system.set(kShellFolders, {
                                  {"Common AppData", "C:\\ProgramData"},
                                  {"Common Desktop", "C:\\users\\Public\\Desktop"},
                                  {"Common Documents", "C:\\users\\Public\\Documents"},
                                  {"Common Programs", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
                                  {"Common Start Menu", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
                                  {"Common Templates", "C:\\ProgramData\\Microsoft\\Windows\\Templates"},
                                  {"CommonMusic", "C:\\users\\Public\\Music"},
                                  {"CommonPictures", "C:\\users\\Public\\Pictures"},
                                  {"CommonVideo", "C:\\users\\Public\\Videos"},
                              });
    system.set(kUserShellFolders,
               {
                   {"Common AppData", "%ProgramData%"},
                   {"Common Desktop", "%PUBLIC%\\Desktop"},
                   {"Common Documents", "%PUBLIC%\\Documents"},
               },
               RegType::ExpandSz);
    system.set(kNtCurrentVersion, {
                                      {"CurrentVersion", "6.1"},
                                      {"CurrentBuildNumber", "7601"},
                                      {"ProductName", "Microsoft Windows 7"},
                                      {"SystemRoot", "C:\\windows"},
                                  });
    system.set(std::string(kNtCurrentVersion) + "\\ProfileList",
               {{"ProfilesDirectory", "C:\\users"}, {"ProgramData", "C:\\ProgramData"}, {"Public", "C:\\users\\Public"}},
               RegType::ExpandSz);
    system.set(std::string(kNtCurrentVersion) + "\\ProfileList\\S-1-5-21-0-0-0-1000",
               {{"ProfileImagePath", profile}});
    system.set(kSessionEnvironment, {
                                        {"NUMBER_OF_PROCESSORS", "2"},
                                        {"OS", "Windows_NT"},
                                        {"PATHEXT", ".com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh"},
                                        {"PROCESSOR_ARCHITECTURE", win64 ? "AMD64" : "x86"},
                                    });
    system.set(kSessionEnvironment,
               {
                   {"ComSpec", "%SystemRoot%\\system32\\cmd.exe"},
                   {"PATH", "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\system32\\wbem"},
                   {"TEMP", "%SystemRoot%\\temp"},
                   {"TMP", "%SystemRoot%\\temp"},
                   {"windir", "%SystemRoot%"},
               },
               RegType::ExpandSz);
    system.set(kCodePage, {{"ACP", "1252"}, {"MACCP", "10000"}, {"OEMCP", "437"}});
    system.set("System\\CurrentControlSet\\Control\\Nls\\Language", {{"Default", "0409"}, {"InstallLanguage", "0409"}});
    system.save(dir / "system.reg");

    // HKEY_CURRENT_USER
    HiveWriter userHive("REGISTRY\\User\\S-1-5-21-0-0-0-1000", arch);
    const NameValues userFolders = {
        {"AppData", appData},
        {"Desktop", profile + "\\Desktop"},
        {"Favorites", profile + "\\Favorites"},
        {"Local AppData", localAppData},
        {"My Music", profile + "\\Music"},
        {"My Pictures", profile + "\\Pictures"},
        {"My Videos", profile + "\\Videos"},
        {"Personal", profile + "\\Documents"},
        {"Programs", appData + "\\Microsoft\\Windows\\Start Menu\\Programs"},
        {"Start Menu", appData + "\\Microsoft\\Windows\\Start Menu"},
    };
    userHive.set(kShellFolders, userFolders);
    userHive.set(kUserShellFolders,
                 {
                     {"AppData", "%USERPROFILE%\\AppData\\Roaming"},
                     {"Desktop", "%USERPROFILE%\\Desktop"},
                     {"Local AppData", "%USERPROFILE%\\AppData\\Local"},
                     {"Personal", "%USERPROFILE%\\Documents"},
                 },
                 RegType::ExpandSz);
    userHive.set("Environment", {{"TEMP", temp}, {"TMP", temp}});
    userHive.set("Volatile Environment", {
                                             {"APPDATA", appData},
                                             {"HOMEDRIVE", "C:"},
                                             {"HOMEPATH", "\\users\\" + user},
                                             {"LOCALAPPDATA", localAppData},
                                             {"USERDOMAIN", "SANDBOX"},
                                             {"USERNAME", user},
                                             {"USERPROFILE", profile},
                                         });
    userHive.set("Control Panel\\International", {{"Locale", "00000409"}, {"sDecimal", "."}, {"sList", ","}});
    userHive.save(dir / "user.reg");

    // HKEY_USERS\.Default: the profile new users start from.
    HiveWriter defaultUser("REGISTRY\\User\\.Default", arch);
    defaultUser.set(kShellFolders, userFolders);
    defaultUser.set("Control Panel\\International", {{"Locale", "00000409"}});
    defaultUser.save(dir / "userdef.reg");
}

// --- the prefix's folders, as its registry records them -----------------------------------------------------------

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
        return withoutTrailingBackslash(*v);
    }

    void readFolders()
    {
        appData = requireFolder(RegRoot::CurrentUser, kShellFolders, "AppData");
        documents = requireFolder(RegRoot::CurrentUser, kShellFolders, "Personal");
        commonDocuments = requireFolder(RegRoot::LocalMachine, kShellFolders, "Common Documents");
        auto pf = read(RegRoot::LocalMachine, kCurrentVersion, "ProgramFilesDir (x86)");
        if (!pf || pf->empty())
            pf = read(RegRoot::LocalMachine, kCurrentVersion, "ProgramFilesDir");
        programFiles32 = pf && !pf->empty() ? withoutTrailingBackslash(*pf) : "C:\\Program Files";
        auto t = read(RegRoot::CurrentUser, "Environment", "TEMP");
        temp = t && !t->empty() && t->find('%') == std::string::npos ? withoutTrailingBackslash(*t)
                                                                     : appData.substr(0, appData.rfind("\\AppData")) +
                                                                           "\\Temp";
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
            writeHostFileAtomically(file, hive.serialize());
        }
        for (const auto& w : writes)
            if (w.root != RegRoot::LocalMachine && w.root != RegRoot::CurrentUser)
                throw PrefixBuildError("the builder writes HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER only");
    }

    void ensureDotNetFramework()
    {
        const std::string msbuild = join(dotNetFrameworkFolder, "MSBuild.exe");
        if (!files.fileExists(msbuild)) {
            files.forceDirectories(std::string(dotNetFrameworkFolder));
            std::ofstream(files.toHostPath(msbuild), std::ios::binary) << "MSBuild.exe placeholder of a sandbox prefix\r\n";
            if (!files.fileExists(msbuild))
                throw PrefixBuildError("cannot write " + files.toHostPath(msbuild));
        }
    }
};

bool wineAvailable()
{
    return !platform::findOnPath("wine").empty() && !platform::findOnPath("wineserver").empty();
}

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
            if (!wineAvailable())
                throw PrefixBuildError("wine is not installed (wine and wineserver must be on PATH)");
            fs::create_directories(dir);
            const auto env = wineEnvironment(dir);
            log("wine wineboot -i in " + dir.string());
            const int booted = runQuietly({"wine", "wineboot", "-i"}, env);
            // The hives are written when the server exits.
            runQuietly({"wineserver", "-w"}, env);
            if (booted != 0 || !fs::exists(dir / "system.reg") || !fs::exists(dir / "user.reg"))
                throw PrefixBuildError("wine wineboot -i did not make a prefix in " + dir.string() + " (exit code " +
                                       std::to_string(booted) + ")");
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

const fs::path& PrefixBuilder::dir() const { return state_->dir; }

bool PrefixBuilder::madeByWine() const
{
    return fs::exists(state_->dir / "drive_c" / "windows" / "system32" / "wineboot.exe");
}

std::string PrefixBuilder::arch() { return state_->registry.arch(); }
const std::string& PrefixBuilder::userName() const { return state_->userName; }
const std::string& PrefixBuilder::appDataFolder() const { return state_->appData; }
const std::string& PrefixBuilder::documentsFolder() const { return state_->documents; }
const std::string& PrefixBuilder::commonDocumentsFolder() const { return state_->commonDocuments; }
const std::string& PrefixBuilder::programFiles32Folder() const { return state_->programFiles32; }
const std::string& PrefixBuilder::tempFolder() const { return state_->temp; }
platform::wine::WineRegistry& PrefixBuilder::registry() { return state_->registry; }
platform::WineFileSystem& PrefixBuilder::files() { return state_->files; }

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
    fs::permissions(to, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
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

// --- IDE presets --------------------------------------------------------------------------------------------------

namespace {

// The release whose folder layout a BDS key follows: the key's leading number.
std::string vendorOfBdsUserData(int version)
{
    if (version >= 8)
        return "Embarcadero";
    if (version >= 6)
        return "CodeGear";
    return "Borland";
}

NameValues bdsLibraryPaths(int version, bool platformFolders = false)
{
    // The registry copy of the library settings, as the IDE keeps it next to EnvOptions.proj.
    const std::string sub = platformFolders ? "\\$(Platform)" : "";
    if (version >= 8)
        return {
            {"Search Path", "$(BDSLIB)\\$(Platform)\\release;$(BDSUSERDIR)\\Imports;$(BDS)\\Imports;"
                            "$(BDSCOMMONDIR)\\Dcp" + sub + ";$(BDS)\\include"},
            {"Browsing Path", "$(BDS)\\OCX\\Servers;$(BDS)\\SOURCE\\VCL;$(BDS)\\source\\rtl\\common;"
                              "$(BDS)\\SOURCE\\RTL\\SYS;$(BDS)\\source\\rtl\\win;$(BDS)\\source\\ToolsAPI"},
            {"Debug DCU Path", "$(BDSLIB)\\$(Platform)\\debug"},
            {"Package DPL Output", "$(BDSCOMMONDIR)\\Bpl" + sub},
            {"Package DCP Output", "$(BDSCOMMONDIR)\\Dcp" + sub},
        };
    return {
        {"Search Path", "$(BDS)\\lib;$(BDS)\\Imports;$(BDS)\\Lib\\Indy10;$(BDSCOMMONDIR)\\Dcp"},
        {"Browsing Path", "$(BDS)\\source\\Win32\\vcl;$(BDS)\\source\\Win32\\rtl\\common;$(BDS)\\source\\Win32\\rtl\\sys"},
        {"Debug DCU Path", "$(BDS)\\lib\\debug"},
        {"Package DPL Output", "$(BDSCOMMONDIR)\\Bpl"},
        {"Package DCP Output", "$(BDSCOMMONDIR)\\Dcp"},
    };
}

} // namespace

IdeSetup IdeSetup::bds(std::string_view vendor, std::string_view versionKey)
{
    IdeSetup s;
    s.kind = Kind::BDS;
    const std::string key(versionKey);
    const int version = leadingNumber(key);
    s.machineKey = "SOFTWARE\\" + std::string(vendor) + "\\BDS\\" + key;
    if (vendor == "Borland")
        s.rootBelowProgramFiles = "Borland\\BDS\\" + key;
    else if (vendor == "CodeGear")
        s.rootBelowProgramFiles = "CodeGear\\RAD Studio\\" + key;
    else if (version >= 14 || version == 0)
        s.rootBelowProgramFiles = std::string(vendor) + "\\Studio\\" + key;
    else
        s.rootBelowProgramFiles = std::string(vendor) + "\\RAD Studio\\" + key;
    s.appRelative = "bin\\bds.exe";
    s.machineValues = {{"Edition", "Professional"}, {"ProductVersion", key + ".0.0"}};
    s.personalities = {{"Delphi.Win32", "Delphi"}};
    s.binFiles = {"dcc32.exe", "brcc32.exe"};
    // The IDE keeps its per-user files under its own version, "%d.0", whatever its key is named.
    s.userDataFolder = vendorOfBdsUserData(version) + "\\BDS\\" + std::to_string(version) + ".0";
    // EnvOptions.proj and rsvars.bat exist from RAD Studio 2007 (BDS 5) on.
    s.envOptions = s.environmentProj = s.rsvars = version >= 5;
    if (version >= 14)
        s.commonDirBelowDocuments = s.userDirBelowDocuments = "Embarcadero\\Studio\\" + key;
    else if (version >= 5)
        s.commonDirBelowDocuments = s.userDirBelowDocuments = "RAD Studio\\" + key;
    return s;
}

IdeSetup IdeSetup::delphi13()
{
    IdeSetup s = bds("Embarcadero", "37.0");
    s.machineValues = {
        {"Edition", "Professional"},
        {"ProductVersion", "37.0.57242.3601"},
        {"InstallLanguage", "EN"},
    };
    s.binFiles = {"dcc32.exe", "dcc64.exe", "dcclinux64.exe", "dccaarm64.exe", "dccosx64.exe", "dcciosarm64.exe",
                  "brcc32.exe", "cgrc.exe"};
    s.knownPackages = {
        {"$(BDS)\\bin\\dclstd370.bpl", "Embarcadero Standard Components"},
        {"$(BDS)\\bin\\dcldb370.bpl", "Embarcadero Database Components"},
    };
    return s;
}

IdeSetup IdeSetup::delphi(std::string_view versionKey)
{
    IdeSetup s;
    s.kind = Kind::Delphi;
    const std::string key(versionKey);
    s.machineKey = "SOFTWARE\\Borland\\Delphi\\" + key;
    s.rootBelowProgramFiles = "Borland\\Delphi" + std::to_string(leadingNumber(key));
    s.appRelative = "bin\\delphi32.exe";
    s.machineValues = {{"Version", "PRO"}};
    s.binFiles = {"dcc32.exe", "brcc32.exe", "make.exe"};
    s.envOptions = s.environmentProj = s.rsvars = false;
    return s;
}

IdeSetup IdeSetup::cppBuilder(std::string_view versionKey)
{
    IdeSetup s;
    s.kind = Kind::CppBuilder;
    const std::string key(versionKey);
    s.machineKey = "SOFTWARE\\Borland\\C++Builder\\" + key;
    s.rootBelowProgramFiles = "Borland\\CBuilder" + std::to_string(leadingNumber(key));
    s.appRelative = "bin\\bcb.exe";
    s.machineValues = {{"Version", "PRO"}};
    s.binFiles = {"bcc32.exe", "dcc32.exe", "make.exe", "bpr2mak.exe", "tasm32.exe", "brcc32.exe"};
    s.envOptions = s.environmentProj = s.rsvars = false;
    return s;
}

IdeSetup IdeSetup::delphi7() { return delphi("7.0"); }
IdeSetup IdeSetup::cppBuilder6() { return cppBuilder("6.0"); }

// --- generated IDE files ------------------------------------------------------------------------------------------

std::string rsvarsText(std::string_view rootDir, std::string_view commonDir, int bdsVersion)
{
    const std::string root(rootDir);
    const std::string framework(PrefixBuilder::dotNetFrameworkFolder);
    std::string path = "%FrameworkDir%;%FrameworkSDKDir%;" + root + "\\bin;";
    if (bdsVersion >= 9)
        path += root + "\\bin64;";
    if (bdsVersion >= 23)
        path += root + "\\cmake;";
    path += "%PATH%";
    return crlf({
        "@SET BDS=" + root,
        "@SET BDSINCLUDE=" + root + "\\include",
        "@SET BDSCOMMONDIR=" + std::string(commonDir),
        "@SET FrameworkDir=" + framework,
        "@SET FrameworkVersion=v4.5",
        "@SET FrameworkSDKDir=",
        "@SET PATH=" + path,
        "@SET LANGDIR=EN",
        "@SET PLATFORM=",
        "@SET PlatformSDK=",
    });
}

namespace {

constexpr std::string_view kMsBuildNamespace = "http://schemas.microsoft.com/developer/msbuild/2003";

std::vector<std::string> propertyGroup(std::string_view condition, const NameValues& properties)
{
    std::vector<std::string> lines;
    lines.push_back(condition.empty() ? "  <PropertyGroup>"
                                      : "  <PropertyGroup Condition=\"" + std::string(condition) + "\">");
    for (const auto& [name, value] : properties)
        lines.push_back("    <" + name + ">" + value + "</" + name + ">");
    lines.push_back("  </PropertyGroup>");
    return lines;
}

std::string project(const std::vector<std::vector<std::string>>& groups)
{
    std::vector<std::string> lines = {"<?xml version=\"1.0\" encoding=\"utf-8\"?>",
                                      "<Project xmlns=\"" + std::string(kMsBuildNamespace) + "\">"};
    for (const auto& g : groups)
        lines.insert(lines.end(), g.begin(), g.end());
    lines.push_back("</Project>");
    return crlf(lines);
}

std::string environmentProjText(const RegisteredIde& ide)
{
    NameValues props = {
        {"BDS", ide.rootDir},
        {"BDSBIN", ide.binDir},
        {"BDSINCLUDE", ide.rootDir + "\\include"},
        {"BDSLIB", ide.rootDir + "\\lib"},
    };
    if (!ide.commonDir.empty())
        props.push_back({"BDSCOMMONDIR", ide.commonDir});
    if (!ide.userDir.empty()) {
        props.push_back({"BDSUSERDIR", ide.userDir});
        props.push_back({"BDSPROJECTSDIR", ide.userDir + "\\Projects"});
    }
    props.push_back({"DELPHI", ide.rootDir});
    return project({propertyGroup("", props)});
}

} // namespace

std::string envOptionsText(int bdsVersion)
{
    if (bdsVersion < 8) {
        // RAD Studio 2007 to 2010: Win32 only, one group.
        return project({propertyGroup("", {
                                              {"Win32LibraryPath", "$(BDS)\\lib;$(BDS)\\Imports;$(BDSCOMMONDIR)\\Dcp"},
                                              {"Win32BrowsingPath", "$(BDS)\\source\\Win32\\vcl;$(BDS)\\source\\Win32\\rtl\\common"},
                                              {"Win32DebugDCUPath", "$(BDS)\\lib\\debug"},
                                              {"Win32DLLOutputPath", "$(BDSCOMMONDIR)\\Bpl"},
                                              {"Win32DCPOutput", "$(BDSCOMMONDIR)\\Dcp"},
                                          })});
    }
    const NameValues general = {
        {"DelphiTranslatedLibraryPath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)"},
        {"DelphiTranslatedResourcePath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)"},
        {"AutoSaveEditorFiles", "False"},
    };
    auto platformProps = [](bool withPlatformFolder) {
        const std::string sub = withPlatformFolder ? "\\$(Platform)" : "";
        return NameValues{
            {"DelphiLibraryPath", "$(BDSLIB)\\$(Platform)\\release;$(BDSUSERDIR)\\Imports;$(BDS)\\Imports;"
                                  "$(BDSCOMMONDIR)\\Dcp" + sub + ";$(BDS)\\include"},
            {"DelphiBrowsingPath", "$(BDS)\\OCX\\Servers;$(BDS)\\SOURCE\\VCL;$(BDS)\\source\\rtl\\common;"
                                   "$(BDS)\\SOURCE\\RTL\\SYS;$(BDS)\\source\\rtl\\win;$(BDS)\\source\\ToolsAPI"},
            {"DelphiDebugDCUPath", "$(BDSLIB)\\$(Platform)\\debug"},
            {"DelphiDLLOutputPath", "$(BDSCOMMONDIR)\\Bpl" + sub},
            {"DelphiDCPOutput", "$(BDSCOMMONDIR)\\Dcp" + sub},
            {"DelphiHPPOutputPath", "$(BDSCOMMONDIR)\\hpp\\$(Platform)"},
        };
    };
    if (bdsVersion == 8) {
        // RAD Studio XE: Delphi... properties, but no platforms yet.
        NameValues all = general;
        for (auto& p : platformProps(false)) {
            std::string v = p.second;
            for (std::string::size_type at; (at = v.find("\\$(Platform)")) != std::string::npos;)
                v.erase(at, 12);
            all.push_back({p.first, v});
        }
        return project({propertyGroup("", all)});
    }
    return project({
        propertyGroup("", general),
        propertyGroup("'$(Platform)'=='Win32'", platformProps(false)),
        propertyGroup("'$(Platform)'=='Win64'", platformProps(true)),
        propertyGroup("'$(Platform)'=='Linux64'", platformProps(true)),
    });
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
    const std::string rootValue = !setup.rootDir.empty()
                                      ? setup.rootDir
                                      : join(state_->programFiles32, setup.rootBelowProgramFiles) + "\\";
    ide.rootDir = withoutTrailingBackslash(rootValue);
    ide.binDir = ide.rootDir + "\\bin";
    if (!setup.commonDirBelowDocuments.empty())
        ide.commonDir = join(state_->commonDocuments, setup.commonDirBelowDocuments);
    if (!setup.userDirBelowDocuments.empty())
        ide.userDir = join(state_->documents, setup.userDirBelowDocuments);
    if (!setup.userDataFolder.empty())
        ide.userDataDir = join(state_->appData, setup.userDataFolder);

    // Files of the installation.
    makeFolder(ide.binDir);
    if (!setup.appRelative.empty()) {
        ide.appFile = join(ide.rootDir, setup.appRelative);
        if (setup.createApp)
            writeFile(ide.appFile, "IDE placeholder of a sandbox prefix: " + lastComponent(ide.appFile) + "\r\n");
    }
    for (const auto& name : setup.binFiles) {
        if (name == "dcc32.exe" && setup.dcc32Host)
            continue;
        writeFile(join(ide.binDir, name), "tool placeholder of a sandbox prefix: " + name + "\r\n");
    }
    for (const auto& name : setup.bin64Files)
        writeFile(join(ide.rootDir + "\\bin64", name), "tool placeholder of a sandbox prefix: " + name + "\r\n");
    if (setup.dcc32Host)
        installHostFile(*setup.dcc32Host, join(ide.binDir, "dcc32.exe"));
    if (setup.dcc32Host || std::find(setup.binFiles.begin(), setup.binFiles.end(), "dcc32.exe") != setup.binFiles.end())
        ide.dcc32File = join(ide.binDir, "dcc32.exe");
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
                          {"Browsing Path", var + "\\Source\\Vcl;" + var + "\\Source\\Rtl\\Common;" + var +
                                                "\\Source\\Rtl\\Sys"},
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
