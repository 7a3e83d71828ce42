#include "tools/minimal_prefix.h"

#include <chrono>
#include <fstream>
#include <vector>

#include "platform/registry.h"
#include "platform/wine/prefix_keys.h"
#include "platform/wine/wine_hive.h"
#include "tools/hive_key_path.h"
#include "tools/prefix_builder.h"

namespace fs = std::filesystem;

namespace tarvix::tools {

namespace PrefixKey = platform::PrefixKey;
namespace RegType = platform::RegType;
using platform::RegValue;

namespace {

// A new hive, written in one go once its keys are set.
struct HiveWriter {
    platform::wine::WineHive hive;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();

    HiveWriter(std::string_view relativeTo, std::string_view arch)
        : hive(platform::wine::WineHive::makeEmpty(relativeTo, arch))
    {}

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

} // namespace

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
    system.set(PrefixKey::CurrentVersion, currentVersion);
    system.set(PrefixKey::ShellFolders,
               {
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
    system.set(PrefixKey::UserShellFolders,
               {
                   {"Common AppData", "%ProgramData%"},
                   {"Common Desktop", "%PUBLIC%\\Desktop"},
                   {"Common Documents", "%PUBLIC%\\Documents"},
               },
               RegType::ExpandSz);
    system.set(PrefixKey::NtCurrentVersion, {
                                                {"CurrentVersion", "6.1"},
                                                {"CurrentBuildNumber", "7601"},
                                                {"ProductName", "Microsoft Windows 7"},
                                                {"SystemRoot", "C:\\windows"},
                                            });
    system.set(
        PrefixKey::ProfileList,
        {{"ProfilesDirectory", "C:\\users"}, {"ProgramData", "C:\\ProgramData"}, {"Public", "C:\\users\\Public"}},
        RegType::ExpandSz);
    system.set(std::string(PrefixKey::ProfileList) + "\\S-1-5-21-0-0-0-1000", {{"ProfileImagePath", profile}});
    system.set(PrefixKey::SessionEnvironment, {
                                                  {"NUMBER_OF_PROCESSORS", "2"},
                                                  {"OS", "Windows_NT"},
                                                  {"PATHEXT", ".com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh"},
                                                  {"PROCESSOR_ARCHITECTURE", win64 ? "AMD64" : "x86"},
                                              });
    system.set(PrefixKey::SessionEnvironment,
               {
                   {"ComSpec", "%SystemRoot%\\system32\\cmd.exe"},
                   {"PATH", "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\system32\\wbem"},
                   {"TEMP", "%SystemRoot%\\temp"},
                   {"TMP", "%SystemRoot%\\temp"},
                   {"windir", "%SystemRoot%"},
               },
               RegType::ExpandSz);
    system.set(PrefixKey::CodePage, {{"ACP", "1252"}, {"MACCP", "10000"}, {"OEMCP", "437"}});
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
    userHive.set(PrefixKey::ShellFolders, userFolders);
    userHive.set(PrefixKey::UserShellFolders,
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
    defaultUser.set(PrefixKey::ShellFolders, userFolders);
    defaultUser.set("Control Panel\\International", {{"Locale", "00000409"}});
    defaultUser.save(dir / "userdef.reg");
}

} // namespace tarvix::tools
