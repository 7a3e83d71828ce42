#include "platform/wine/wine_shell.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/windows_path.h"
#include "platform/wine/prefix_keys.h"
#include "platform/wine/windows_names.h"

extern char** environ;

namespace fs = std::filesystem;

namespace tarvix::platform {

namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

// The prefix's keys are read in the registry's own view, whatever mode the calling thread has switched on.
class NativeView {
public:
    NativeView() : previous_(Registry::setThreadView32(false)) {}
    ~NativeView() { Registry::setThreadView32(previous_); }
    NativeView(const NativeView&) = delete;
    NativeView& operator=(const NativeView&) = delete;

private:
    bool previous_;
};

struct Text {
    std::string value;
    bool expand = false; // REG_EXPAND_SZ
};

std::optional<Text> textOf(const RegValue& value)
{
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz)
        return std::nullopt;
    return Text{value.asString(), value.type == RegType::ExpandSz};
}

const std::string* lookup(const Variables& vars, std::string_view name)
{
    // The last definition counts.
    for (auto it = vars.rbegin(); it != vars.rend(); ++it)
        if (sameName(it->first, name))
            return &it->second;
    return nullptr;
}

void define(Variables& vars, std::string name, std::string value)
{
    std::erase_if(vars, [&](const auto& v) { return sameName(v.first, name); });
    vars.emplace_back(std::move(name), std::move(value));
}

// ExpandEnvironmentStrings: "%NAME%" of a known variable is replaced by its value; an unknown one is kept as it
// stands and the scan goes on after it; a lone "%" stays.
template <typename Lookup>
std::string expandWith(std::string_view text, Lookup&& find)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (const std::string* value = name.empty() ? nullptr : find(name)) {
            out += *value;
            pos = close + 1;
        } else {
            out.append(text.substr(open, close - open + 1));
            pos = close + 1;
        }
    }
    return out;
}

std::vector<std::string> readNulSeparated(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find('\0', pos);
        if (end == std::string::npos)
            end = data.size();
        parts.push_back(data.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

std::string_view baseName(std::string_view path)
{
    const auto sep = path.find_last_of("/\\");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

// Whether the command line (argv) runs `program`, directly or through the wine loader.
bool runsProgram(const std::vector<std::string>& argv, std::string_view program)
{
    if (argv.empty())
        return false;
    const std::string_view first = baseName(argv[0]);
    if (sameName(first, program))
        return true;
    static constexpr std::string_view loaders[] = {"wine", "wine64", "wine-preloader", "wine64-preloader"};
    const bool loader =
        std::any_of(std::begin(loaders), std::end(loaders), [&](std::string_view l) { return first == l; });
    return loader && argv.size() > 1 && sameName(baseName(argv[1]), program);
}

std::string homeOfUser(uid_t uid)
{
    struct passwd pw;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

fs::path comparable(const fs::path& p)
{
    std::error_code ec;
    fs::path result = fs::weakly_canonical(p, ec);
    if (ec)
        result = p.lexically_normal();
    std::string s = result.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::vector<unsigned long> versionNumbers(std::string_view name)
{
    std::vector<unsigned long> numbers;
    std::size_t pos = 0;
    while (pos < name.size()) {
        if (name[pos] >= '0' && name[pos] <= '9') {
            unsigned long n = 0;
            while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9')
                n = n * 10 + static_cast<unsigned long>(name[pos++] - '0');
            numbers.push_back(n);
        } else {
            ++pos;
        }
    }
    return numbers;
}

// Window classes by the program that registers them.
struct KnownWindow {
    std::string_view windowClass;
    std::string_view program;
};
constexpr KnownWindow knownWindows[] = {
    {"TAppBuilder", "bds.exe"}, // the Delphi IDE's main window
};

} // namespace

WineShell::WineShell(Registry& registry, FileSystem& files, fs::path prefixDir)
    : registry_(registry),
      files_(files),
      prefixDir_(std::move(prefixDir))
{}

std::optional<std::string> WineShell::readText(RegRoot root, std::string_view path, std::string_view name,
                                               bool expand) const
{
    NativeView view;
    auto key = registry_.openKey(root, path, KeyAccess::Read, false);
    if (!key)
        return std::nullopt;
    const auto value = key->value(name);
    if (!value)
        return std::nullopt;
    const auto text = textOf(*value);
    if (!text)
        return std::nullopt;
    if (expand && text->expand && text->value.find('%') != std::string::npos) {
        const Variables vars = prefixVariables();
        return expandWith(text->value, [&](std::string_view n) { return lookup(vars, n); });
    }
    return text->value;
}

std::string WineShell::shellFolder(RegRoot root, std::string_view name) const
{
    // Shell Folders holds the resolved paths; User Shell Folders the templates they come from.
    auto folder = readText(root, PrefixKey::ShellFolders, name);
    if (!folder || folder->empty())
        folder = readText(root, PrefixKey::UserShellFolders, name);
    return folder ? excludeTrailingBackslash(*folder) : std::string();
}

std::string WineShell::appDataFolder() const
{
    return shellFolder(RegRoot::CurrentUser, "AppData");
}

std::string WineShell::commonDocumentsFolder() const
{
    return shellFolder(RegRoot::LocalMachine, "Common Documents");
}

std::string WineShell::desktopFolder() const
{
    return shellFolder(RegRoot::CurrentUser, "Desktop");
}

std::string WineShell::programFiles32Folder() const
{
    auto folder = readText(RegRoot::LocalMachine, PrefixKey::CurrentVersion, "ProgramFilesDir (x86)");
    if (!folder || folder->empty())
        folder = readText(RegRoot::LocalMachine, PrefixKey::CurrentVersion, "ProgramFilesDir");
    return folder ? excludeTrailingBackslash(*folder) : std::string();
}

std::string WineShell::windowsFolder() const
{
    // Read as stored: the variables that would expand it start from this folder.
    const auto root = readText(RegRoot::LocalMachine, PrefixKey::NtCurrentVersion, "SystemRoot", false);
    return root && !root->empty() ? excludeTrailingBackslash(*root) : std::string("C:\\windows");
}

Variables WineShell::prefixVariables() const
{
    NativeView view;
    Variables vars;

    // What every Windows process finds in its environment although no Environment key lists it.
    const std::string windows = windowsFolder();
    define(vars, "SystemRoot", windows);
    define(vars, "windir", windows);
    if (windows.size() >= 2 && windows[1] == ':')
        define(vars, "SystemDrive", windows.substr(0, 2));
    auto derive = [&](std::string_view name, std::string_view key, std::string_view value) {
        auto k = registry_.openKey(RegRoot::LocalMachine, key, KeyAccess::Read, false);
        const auto v = k ? k->value(value) : std::nullopt;
        const auto text = v ? textOf(*v) : std::nullopt;
        if (!text || text->value.empty())
            return;
        define(vars, std::string(name),
               text->expand ? expandWith(text->value, [&](std::string_view n) { return lookup(vars, n); })
                            : text->value);
    };
    derive("ProgramFiles", PrefixKey::CurrentVersion, "ProgramFilesDir");
    derive("ProgramFiles(x86)", PrefixKey::CurrentVersion, "ProgramFilesDir (x86)");
    derive("CommonProgramFiles", PrefixKey::CurrentVersion, "CommonFilesDir");
    derive("CommonProgramFiles(x86)", PrefixKey::CurrentVersion, "CommonFilesDir (x86)");
    derive("ProgramData", PrefixKey::ProfileList, "ProgramData");
    derive("ALLUSERSPROFILE", PrefixKey::ProfileList, "ProgramData");
    derive("PUBLIC", PrefixKey::ProfileList, "Public");

    auto readKey = [&](RegRoot root, std::string_view path) {
        std::vector<std::pair<std::string, Text>> values;
        auto key = registry_.openKey(root, path, KeyAccess::Read, false);
        if (!key)
            return values;
        for (const auto& name : key->valueNames()) {
            if (name.empty())
                continue;
            if (const auto v = key->value(name))
                if (auto text = textOf(*v))
                    values.emplace_back(name, std::move(*text));
        }
        return values;
    };
    auto apply = [&](const std::vector<std::pair<std::string, Text>>& values) {
        for (const auto& [name, text] : values)
            define(vars, name,
                   text.expand ? expandWith(text.value, [&](std::string_view n) { return lookup(vars, n); })
                               : text.value);
    };

    const auto system = readKey(RegRoot::LocalMachine, PrefixKey::SessionEnvironment);
    const auto user = readKey(RegRoot::CurrentUser, "Environment");
    const auto volatileValues = readKey(RegRoot::CurrentUser, "Volatile Environment");
    Variables volatileVars;
    for (const auto& [name, text] : volatileValues)
        volatileVars.emplace_back(name, text.value);

    apply(system);
    // The user's values may use the logon's (USERPROFILE in TEMP), which are defined last and win.
    Variables withVolatile = vars;
    for (const auto& [name, value] : volatileVars)
        define(withVolatile, name, value);
    for (const auto& [name, text] : user) {
        std::string value = text.value;
        if (text.expand)
            value = expandWith(value, [&](std::string_view n) { return lookup(withVolatile, n); });
        define(vars, name, value);
        define(withVolatile, name, std::move(value));
    }
    apply(volatileValues);
    return vars;
}

std::vector<std::string> WineShell::environmentStrings() const
{
    const Variables prefix = prefixVariables();
    Variables merged;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry = *e;
        const auto eq = entry.find('=', 1); // Windows keeps "=C:=..." entries; the name starts after one "="
        if (eq == std::string_view::npos)
            continue;
        const std::string name(entry.substr(0, eq));
        if (!lookup(prefix, name))
            merged.emplace_back(name, std::string(entry.substr(eq + 1)));
    }
    merged.insert(merged.end(), prefix.begin(), prefix.end());
    std::sort(merged.begin(), merged.end(), [](const auto& a, const auto& b) {
        const auto ua = upperName(a.first), ub = upperName(b.first);
        return ua != ub ? ua < ub : a.first < b.first;
    });
    std::vector<std::string> strings;
    strings.reserve(merged.size());
    for (const auto& [name, value] : merged)
        strings.push_back(name + "=" + value);
    return strings;
}

namespace {

// A variable of the merged environment: the prefix's, else the host's (an exact spelling first, then any case).
std::optional<std::string> mergedVariable(const Variables& prefix, std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    if (const std::string* v = lookup(prefix, name))
        return *v;
    if (const char* exact = std::getenv(std::string(name).c_str()))
        return std::string(exact);
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry = *e;
        const auto eq = entry.find('=', 1);
        if (eq != std::string_view::npos && sameName(entry.substr(0, eq), name))
            return std::string(entry.substr(eq + 1));
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> WineShell::environmentVariable(std::string_view name) const
{
    return mergedVariable(prefixVariables(), name);
}

std::string WineShell::expandEnvironmentStrings(std::string_view text) const
{
    if (text.find('%') == std::string_view::npos)
        return std::string(text);
    const Variables prefix = prefixVariables();
    std::string scratch;
    return expandWith(text, [&](std::string_view name) -> const std::string* {
        auto v = mergedVariable(prefix, name);
        if (!v)
            return nullptr;
        scratch = std::move(*v);
        return &scratch;
    });
}

std::string WineShell::tempFolder()
{
    const Variables vars = prefixVariables();
    std::string folder;
    for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
        if (const std::string* v = lookup(vars, name); v && !v->empty()) {
            folder = *v;
            break;
        }
    }
    if (folder.empty())
        folder = windowsFolder();
    try {
        if (!files_.directoryExists(folder) && !files_.forceDirectories(folder))
            return {};
    } catch (const PlatformError&) {
        return {};
    }
    return includeTrailingBackslash(folder);
}

// ACP and OEMCP: Wine stores them as text; a DWORD is taken too. Anything else gives the fallback.
uint32_t WineShell::codePage(std::string_view valueName, uint32_t fallback) const
{
    NativeView view;
    auto key = registry_.openKey(RegRoot::LocalMachine, PrefixKey::CodePage, KeyAccess::Read, false);
    const auto value = key ? key->value(valueName) : std::nullopt;
    if (value && value->type == RegType::Dword && value->asDword() != 0)
        return value->asDword();
    if (const auto text = value ? textOf(*value) : std::nullopt) {
        const auto n = versionNumbers(text->value);
        if (n.size() == 1 && n[0] > 0 && n[0] <= 0xFFFF)
            return static_cast<uint32_t>(n[0]);
    }
    return fallback;
}

uint32_t WineShell::ansiCodePage() const
{
    return codePage("ACP", 1252);
}

uint32_t WineShell::oemCodePage() const
{
    return codePage("OEMCP", 437);
}

std::string WineShell::executablePath() const
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return files_.toWindowsPath(exe.string());
}

bool WineShell::runsInThisPrefix(const std::vector<std::string>& environment, const std::string& ownerHome) const
{
    std::string prefix, home;
    for (const auto& entry : environment) {
        if (entry.rfind("WINEPREFIX=", 0) == 0)
            prefix = entry.substr(11);
        else if (entry.rfind("HOME=", 0) == 0)
            home = entry.substr(5);
    }
    if (prefix.empty()) {
        if (home.empty())
            home = ownerHome;
        if (home.empty())
            return false;
        prefix = home + "/.wine";
    }
    return comparable(prefix) == comparable(prefixDir_);
}

bool WineShell::windowExists(std::string_view titleOrClass) const
{
    std::string_view program;
    for (const auto& known : knownWindows)
        if (sameName(known.windowClass, titleOrClass))
            program = known.program;
    if (program.empty())
        return false;

    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (const dirent* e = ::readdir(proc)) {
        const std::string pid = e->d_name;
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string dir = "/proc/" + pid;
        if (!runsProgram(readNulSeparated(dir + "/cmdline"), program))
            continue;
        struct stat st;
        const std::string ownerHome = ::stat(dir.c_str(), &st) == 0 ? homeOfUser(st.st_uid) : std::string();
        // Another user's environment is closed to us; such a process is not counted.
        if (runsInThisPrefix(readNulSeparated(dir + "/environ"), ownerHome)) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

std::vector<std::string> WineShell::dotNetFrameworkFolders() const
{
    const std::string framework = windowsFolder() + "\\Microsoft.NET\\Framework";
    std::vector<std::string> names;
    for (const auto& entry : files_.enumerate(framework, "v*"))
        if (entry.attributes & FileAttr::Directory)
            names.push_back(entry.name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const auto va = versionNumbers(a), vb = versionNumbers(b);
        return va != vb ? va < vb : a < b;
    });
    std::vector<std::string> folders;
    for (const auto& name : names)
        folders.push_back(framework + "\\" + name);
    return folders;
}

} // namespace tarvix::platform
