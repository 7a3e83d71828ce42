// The hive backend against the real Wine: Wine must read exactly what we write, we must read what Wine writes,
// untouched hives must come back byte for byte, and a running wineserver must stop our writes.
//
// One prefix made by `wine wineboot -i` is shared by every test of every run (making it takes a while); a file
// lock serialises the test processes that use it, and each test starts from the hives wineboot wrote.
#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/wine/wine_hive.h"
#include "platform/wine/wine_registry.h"
#include "platform/wine/wineserver_lock.h"
#include "tests/support/temp_dir.h"

#include "tests/platform/reg_value_printer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace tarvix::platform::wine {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? "'\\''"s : std::string(1, c);
    return out + "'";
}

struct CommandResult {
    int status = -1;
    std::string output;
};

// The shared prefix: <build>/interop/wine-registry/prefix, with the hives wineboot wrote kept in pristine/.
class SharedPrefix {
public:
    static SharedPrefix& get()
    {
        static SharedPrefix instance;
        return instance;
    }

    const fs::path& prefix() const { return prefix_; }

    // Runs a command with this prefix's Wine environment; stderr goes with stdout.
    CommandResult run(const std::string& command) const
    {
        const std::string full = "WINEPREFIX=" + shellQuote(prefix_.string()) +
                                 " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' " + command + " 2>&1";
        CommandResult result;
        FILE* pipe = popen(full.c_str(), "r");
        if (!pipe)
            return result;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
            result.output.append(buf, n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    // Waits until the wineserver has saved the hives and exited.
    void waitForWineserver() const { run("wineserver -w"); }
    void stopWineserver() const
    {
        run("wineserver -k");
        run("wineserver -w");
    }

    // Puts back the hives wineboot wrote.
    void restoreHives() const
    {
        stopWineserver();
        for (const char* hive : kHives)
            fs::copy_file(pristine_ / hive, prefix_ / hive, fs::copy_options::overwrite_existing);
    }

    std::string error() const { return error_; }

    static constexpr const char* kHives[] = {"system.reg", "user.reg", "userdef.reg"};

private:
    SharedPrefix()
    {
        const fs::path base = fs::path(TARVIX_BINARY_DIR) / "interop" / "wine-registry";
        fs::create_directories(base);
        prefix_ = base / "prefix";
        pristine_ = base / "pristine";

        // Held until the process ends: one test process at a time uses the prefix.
        lockFd_ = ::open((base / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX) != 0) {
            error_ = "cannot lock " + (base / "lock").string();
            return;
        }
        if (fs::exists(base / "ready"))
            return;
        stopWineserver();
        fs::remove_all(prefix_);
        fs::remove_all(pristine_);
        CommandResult boot = run("wine wineboot -i");
        waitForWineserver();
        if (!fs::exists(prefix_ / "system.reg") || !fs::exists(prefix_ / "user.reg")) {
            error_ =
                "wine wineboot -i did not make a prefix (exit " + std::to_string(boot.status) + "): " + boot.output;
            return;
        }
        fs::create_directories(pristine_);
        for (const char* hive : kHives)
            fs::copy_file(prefix_ / hive, pristine_ / hive);
        std::ofstream(base / "ready") << "made by wine wineboot -i\n";
    }

    fs::path prefix_;
    fs::path pristine_;
    int lockFd_ = -1;
    std::string error_;
};

// A registry export as `wine reg export` writes it (UTF-16, regedit 5 syntax): key path -> value name -> value.
using Export = std::map<std::u16string, std::map<std::u16string, RegValue>>;

std::u16string upper(std::u16string s)
{
    for (auto& c : s) {
        if (c < 0x80)
            c = static_cast<char16_t>(asciiUpper(static_cast<char>(c)));
    }
    return s;
}

std::string bytesOf(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

Export parseExport(const std::string& fileBytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < fileBytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(fileBytes[i]) |
                                             (static_cast<unsigned char>(fileBytes[i + 1]) << 8)));
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    std::vector<std::u16string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t nl = text.find(u'\n', start);
        std::u16string line = text.substr(start, nl == std::u16string::npos ? std::u16string::npos : nl - start);
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        lines.push_back(line);
        start = nl == std::u16string::npos ? text.size() : nl + 1;
    }
    auto quoted = [](const std::u16string& s, size_t& pos) {
        std::u16string out;
        for (++pos; pos < s.size() && s[pos] != u'"'; ++pos) {
            if (s[pos] == u'\\' && pos + 1 < s.size()) {
                ++pos;
                out.push_back(s[pos] == u'n' ? u'\n' : s[pos] == u'r' ? u'\r' : s[pos] == u'0' ? u'\0' : s[pos]);
            } else {
                out.push_back(s[pos]);
            }
        }
        ++pos;
        return out;
    };
    Export result;
    std::u16string key;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string& line = lines[i];
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            key = upper(line.substr(1, line.size() - 2));
            result[key];
            continue;
        }
        if (line.empty() || (line[0] != u'"' && line[0] != u'@'))
            continue;
        size_t pos = 0;
        std::u16string name;
        if (line[0] == u'@')
            pos = 1;
        else
            name = quoted(line, pos);
        std::u16string data = line.substr(pos + 1); // after '='
        RegValue value;
        if (data.rfind(u"\"", 0) == 0) {
            size_t p = 0;
            value = RegValue{RegType::Sz, bytesOf(quoted(data, p)) + "\0\0"s};
        } else if (data.rfind(u"dword:", 0) == 0) {
            value = RegValue::dword(
                static_cast<uint32_t>(std::stoul(std::string(data.begin() + 6, data.end()), nullptr, 16)));
        } else {
            size_t colon = data.find(u':');
            value.type = RegType::Binary;
            if (data.rfind(u"hex(", 0) == 0)
                value.type = static_cast<uint32_t>(
                    std::stoul(std::string(data.begin() + 4, data.begin() + colon - 1), nullptr, 16));
            std::string hex(data.begin() + colon + 1, data.end());
            while (!hex.empty() && hex.back() == '\\' && i + 1 < lines.size()) {
                hex.pop_back();
                hex += std::string(lines[i + 1].begin(), lines[i + 1].end());
                ++i;
            }
            for (size_t p = 0; p < hex.size();) {
                while (p < hex.size() && (hex[p] == ',' || hex[p] == ' '))
                    ++p;
                if (p + 2 > hex.size())
                    break;
                value.data.push_back(static_cast<char>(std::stoi(hex.substr(p, 2), nullptr, 16)));
                p += 2;
            }
        }
        result[key][name] = value;
    }
    return result;
}

class WineRegistryInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(shared().error(), "");
        shared().restoreHives();
        ASSERT_FALSE(wineserverRunning(shared().prefix()));
    }
    void TearDown() override { shared().stopWineserver(); }

    static SharedPrefix& shared() { return SharedPrefix::get(); }
    const fs::path& prefix() const { return SharedPrefix::get().prefix(); }

    // Runs the Wine commands one after the other, then waits until the wineserver has saved and exited.
    std::vector<CommandResult> wine(const std::vector<std::string>& commands)
    {
        std::vector<CommandResult> results;
        for (const auto& c : commands)
            results.push_back(shared().run(c));
        shared().waitForWineserver();
        return results;
    }

    // `wine reg export` of a key (with its subkeys), in the 64-bit or the 32-bit view.
    Export exportKey(const std::string& key, bool view32 = false)
    {
        const fs::path file = tmp / "export.reg";
        fs::remove(file);
        std::string winPath = "Z:" + file.string();
        for (auto& c : winPath) {
            if (c == '/')
                c = '\\';
        }
        auto r = wine({"wine reg export " + shellQuote(key) + " " + shellQuote(winPath) + " /y" +
                       (view32 ? " /reg:32" : " /reg:64")});
        EXPECT_EQ(r[0].status, 0) << r[0].output;
        return parseExport(readFile(file));
    }

    test::TempDir tmp;
};

TEST_F(WineRegistryInterop, UntouchedHivesSaveBackByteForByte)
{
    for (const char* name : SharedPrefix::kHives) {
        const fs::path file = prefix() / name;
        const std::string text = readFile(file);
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(WineHive::parse(text, file.string()).serialize(), text) << name;
    }
    WineRegistry reg(prefix());
    EXPECT_EQ(reg.arch(), "win64");
    auto codepage =
        reg.openKey(RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", KeyAccess::Read, false);
    ASSERT_TRUE(codepage);
    EXPECT_EQ(codepage->readString("ACP"), "1252");
    EXPECT_EQ(codepage->readString("OEMCP"), "437");
    // The 32-bit view follows Wine's links to the keys both views share.
    auto fonts = reg.openKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                             KeyAccess::Read | KeyAccess::Wow64_32Key, false);
    ASSERT_TRUE(fonts);
    EXPECT_FALSE(fonts->valueNames().empty());

    // A change to user.reg leaves the other hives as they were.
    const std::string system = readFile(prefix() / "system.reg");
    reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix", KeyAccess::AllAccess, true)->writeDword("n", 1);
    EXPECT_EQ(readFile(prefix() / "system.reg"), system);
}

TEST_F(WineRegistryInterop, WineReadsExactlyWhatWeWrite)
{
    const std::string text =
        "A\xc3\xa7\xc3\xa3o \"entre aspas\" C:\\Morvane\\TarvixComps\\ \xe2\x9c\x93 \xf0\x9f\x98\x80";
    const RegValue binary = RegValue::binary(std::string("\x00\x01\x02\xfe\xff", 5) + std::string(60, '\x5a'));
    {
        WineRegistry reg(prefix());
        auto key = reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix\\Interop", KeyAccess::AllAccess, true);
        ASSERT_TRUE(key);
        key->writeString("Texto \xc3\xa9", text);
        key->writeString("", "padr\xc3\xa3o");
        key->writeString("Expand", "%SystemRoot%\\system32", RegType::ExpandSz);
        key->setValue("Multi", RegValue::multiString({"um", "dois \"2\"", "tr\xc3\xaas\\"}));
        key->writeDword("Dword", 0x8000000A);
        key->setValue("Binary", binary);
        key->writeString("Doomed", "x");
        EXPECT_TRUE(key->deleteValue("Doomed"));
        reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix\\Interop\\Nested\\Deeper", KeyAccess::AllAccess, true)
            ->writeDword("Level", 3);
        reg.openKey(RegRoot::CurrentUser, "Software\\Tarvix\\Gone\\Child", KeyAccess::AllAccess, true)
            ->writeDword("x", 1);
        EXPECT_TRUE(reg.deleteKey(RegRoot::CurrentUser, "Software\\Tarvix\\Gone"));

        // The 32-bit view of HKLM\Software.
        auto key32 = reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\Morvane\\TarvixComps",
                                 KeyAccess::AllAccess | KeyAccess::Wow64_32Key, true);
        ASSERT_TRUE(key32);
        key32->writeString("Caminho D37", "C:\\Morvane\\TarvixComps\\D37");
    }

    Export user = exportKey("HKCU\\Software\\Tarvix");
    const auto& interop = user[u"HKEY_CURRENT_USER\\SOFTWARE\\TARVIX\\INTEROP"];
    EXPECT_EQ(interop.size(), 6u);
    EXPECT_EQ(interop.at(u"Texto \u00e9"), RegValue::string(text));
    EXPECT_EQ(interop.at(u""), RegValue::string("padr\xc3\xa3o"));
    EXPECT_EQ(interop.at(u"Expand"), RegValue::string("%SystemRoot%\\system32", RegType::ExpandSz));
    EXPECT_EQ(interop.at(u"Multi"), RegValue::multiString({"um", "dois \"2\"", "tr\xc3\xaas\\"}));
    EXPECT_EQ(interop.at(u"Dword"), RegValue::dword(0x8000000A));
    EXPECT_EQ(interop.at(u"Binary"), binary);
    EXPECT_EQ(interop.count(u"Doomed"), 0u);
    EXPECT_EQ(user[u"HKEY_CURRENT_USER\\SOFTWARE\\TARVIX\\INTEROP\\NESTED\\DEEPER"].at(u"Level"), RegValue::dword(3));
    EXPECT_EQ(user.count(u"HKEY_CURRENT_USER\\SOFTWARE\\TARVIX\\GONE"), 0u);
    EXPECT_NE(wine({"wine reg query 'HKCU\\Software\\Tarvix\\Gone'"})[0].status, 0);

    Export view32 = exportKey("HKLM\\Software\\Morvane", true);
    EXPECT_EQ(view32[u"HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVANE\\TARVIXCOMPS"].at(u"Caminho D37"),
              RegValue::string("C:\\Morvane\\TarvixComps\\D37"));
    auto checks = wine({"wine reg query 'HKLM\\Software\\Wow6432Node\\Morvane\\TarvixComps' /v 'Caminho D37' /reg:64",
                        "wine reg query 'HKLM\\Software\\Morvane' /reg:64"});
    EXPECT_EQ(checks[0].status, 0) << checks[0].output;
    EXPECT_NE(checks[0].output.find("C:\\Morvane\\TarvixComps\\D37"), std::string::npos) << checks[0].output;
    EXPECT_NE(checks[1].status, 0) << checks[1].output; // nothing in the 64-bit view
}

TEST_F(WineRegistryInterop, WeReadWhatWineWrites)
{
    // Loaded before Wine writes: the cached hives must be read again.
    WineRegistry reg(prefix());
    EXPECT_FALSE(reg.keyExists(RegRoot::CurrentUser, "Software\\FromWine"));

    // A .reg file carries text that the command line would pass through the locale.
    const std::u16string import = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                                  u"[HKEY_CURRENT_USER\\Software\\FromWine\\Import]\r\n"
                                  u"\"Nome \u00e7\"=\"Ol\u00e1 \\\"mundo\\\" C:\\\\x \u2713 \U0001F600\"\r\n\r\n";
    std::ofstream(tmp / "import.reg", std::ios::binary) << bytesOf(import);
    std::string importPath = "Z:" + (tmp / "import.reg").string();
    for (auto& c : importPath) {
        if (c == '/')
            c = '\\';
    }
    auto results = wine({
        "wine regedit /s " + shellQuote(importPath),
        "wine reg add 'HKCU\\Software\\FromWine' /v Sz /t REG_SZ /d 'say \"hi\" C:\\dir\\' /f",
        "wine reg add 'HKCU\\Software\\FromWine' /ve /d 'default' /f",
        "wine reg add 'HKCU\\Software\\FromWine' /v Expand /t REG_EXPAND_SZ /d '%PATH%;C:\\x' /f",
        "wine reg add 'HKCU\\Software\\FromWine' /v Multi /t REG_MULTI_SZ /d 'one\\0two' /f",
        "wine reg add 'HKCU\\Software\\FromWine' /v Dword /t REG_DWORD /d 4294967295 /f",
        "wine reg add 'HKCU\\Software\\FromWine' /v Binary /t REG_BINARY /d "
        "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728 /f",
        "wine reg add 'HKCU\\Software\\FromWine' /v Qword /t REG_QWORD /d 5 /f",
        "wine reg add 'HKLM\\Software\\FromWine32' /v Where /d 'thirty-two' /reg:32 /f",
    });
    for (const auto& r : results)
        EXPECT_EQ(r.status, 0) << r.output;

    auto key = reg.openKey(RegRoot::CurrentUser, "Software\\FromWine", KeyAccess::Read, false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readString("Sz"), "say \"hi\" C:\\dir\\");
    EXPECT_EQ(key->readString(""), "default");
    EXPECT_EQ(key->value("Expand"), RegValue::string("%PATH%;C:\\x", RegType::ExpandSz));
    EXPECT_EQ(key->value("Multi"), RegValue::multiString({"one", "two"}));
    EXPECT_EQ(key->readDword("Dword"), 0xFFFFFFFFu);
    std::string bytes;
    for (int i = 0; i <= 0x28; ++i)
        bytes.push_back(static_cast<char>(i));
    EXPECT_EQ(key->value("Binary"), RegValue::binary(bytes));
    EXPECT_EQ(key->value("Qword"), (RegValue{RegType::Qword, "\x05\0\0\0\0\0\0\0"s}));
    EXPECT_EQ(key->subKeyNames(), std::vector<std::string>{"Import"});

    auto imported = reg.openKey(RegRoot::CurrentUser, "Software\\FromWine\\Import", KeyAccess::Read, false);
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->readString("Nome \xc3\xa7"), "Ol\xc3\xa1 \"mundo\" C:\\x \xe2\x9c\x93 \xf0\x9f\x98\x80");

    auto key32 =
        reg.openKey(RegRoot::LocalMachine, "Software\\FromWine32", KeyAccess::Read | KeyAccess::Wow64_32Key, false);
    ASSERT_TRUE(key32);
    EXPECT_EQ(key32->readString("Where"), "thirty-two");
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\FromWine32"));

    // What Wine wrote saves back byte for byte too.
    for (const char* name : SharedPrefix::kHives) {
        const std::string text = readFile(prefix() / name);
        EXPECT_EQ(WineHive::parse(text, name).serialize(), text) << name;
    }
}

TEST_F(WineRegistryInterop, WritesAreRefusedWhileTheRealWineserverRuns)
{
    WineRegistry reg(prefix());
    auto key = reg.openKey(RegRoot::CurrentUser, "Software", KeyAccess::AllAccess, false);
    ASSERT_TRUE(key);
    const std::string before = readFile(prefix() / "user.reg");

    shared().run("wineserver -p >/dev/null"); // a persistent server, as while a Windows program runs
    EXPECT_TRUE(wineserverRunning(prefix()));
    try {
        key->writeString("Blocked", "x");
        ADD_FAILURE() << "wrote while the wineserver runs";
    } catch (const RegistryError& e) {
        EXPECT_NE(std::string(e.what()).find(prefix().string()), std::string::npos) << e.what();
    }
    EXPECT_THROW(reg.openKey(RegRoot::CurrentUser, "Software\\Blocked", KeyAccess::AllAccess, true), RegistryError);
    EXPECT_THROW(reg.deleteKey(RegRoot::CurrentUser, "Software\\Wine"), RegistryError);
    EXPECT_EQ(readFile(prefix() / "user.reg"), before);

    shared().stopWineserver();
    EXPECT_FALSE(wineserverRunning(prefix()));
    key->writeString("Allowed", "x");
    EXPECT_EQ(wine({"wine reg query 'HKCU\\Software' /v Allowed"})[0].status, 0);
}

} // namespace
} // namespace tarvix::platform::wine
