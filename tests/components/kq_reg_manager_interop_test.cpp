// The registry manager's values as the real Wine sees them: every type written by TKqRegManager is read back by
// `wine reg query` with the right type and bytes, and values written by `wine reg add` read back through the
// manager.
#include "components/kq_reg_manager.h"

#include "platform/ascii_case.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/real_wine_prefix.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace tarvix {
namespace {

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

struct Queried {
    std::string type;
    std::string data; // as printed, lower case for numbers and bytes
};

// "    Name    REG_TYPE    data" lines of `wine reg query`, by value name.
std::map<std::string, Queried> parseQuery(const std::string& output)
{
    std::map<std::string, Queried> values;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t typeAt = line.find("    REG_");
        if (line.rfind("    ", 0) != 0 || typeAt == std::string::npos || typeAt < 4)
            continue;
        const std::string name = line.substr(4, typeAt - 4);
        std::string rest = line.substr(typeAt + 4);
        const size_t gap = rest.find("    ");
        Queried q;
        q.type = rest.substr(0, gap);
        q.data = gap == std::string::npos ? std::string() : rest.substr(gap + 4);
        while (!q.data.empty() && q.data.back() == ' ')
            q.data.pop_back();
        values[name] = q;
    }
    return values;
}

class RegManagerInteropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::copyRealWinePrefix(prefixDir);
        system = std::make_unique<platform::WinePrefix>(prefixDir);
        scope = std::make_unique<platform::ScopedCurrentSystem>(*system);
        reg = std::make_unique<TKqRegManager>();
        reg->SetKey("\\Software\\Tarvix\\Interop");
    }

    test::TempDir temp;
    std::filesystem::path prefixDir = temp.path() / "prefix";
    std::unique_ptr<platform::WinePrefix> system;
    std::unique_ptr<platform::ScopedCurrentSystem> scope;
    std::unique_ptr<TKqRegManager> reg;
};

TEST_F(RegManagerInteropTest, WineReadsEveryTypeWithItsBytes)
{
    ASSERT_EQ(system->shell().ansiCodePage(), 1252u) << "the test's face name is in code page 1252";
    TKqFontValue font;
    font.Charset = 0;
    font.Color = clNavy;
    font.Name = "Fonté";
    font.Pitch = fpVariable;
    font.Size = 9;
    font.Style = fsItalic | fsStrikeOut;

    reg->WriteString("", "Str", "Caminho C:\\Morvane");
    reg->WriteInteger("", "Int", -2);
    reg->WriteColor("", "Color", clBtnFace);
    reg->WriteBool("", "Bool", true);
    reg->WriteFloat("", "Float", 1.5);
    reg->WriteDateTime("", "DateTime", 36526.75);
    reg->WritePoint("", "Point", TPoint{10, -3});
    reg->WriteRect("", "Rect", TRect{1, -2, 300, -40000});
    reg->WriteBinaryData("", "Bin", "\x01\x02\xff", 3);
    reg->WriteFont("", "Font", font);
    reg->SetRootKey(HKeyLocalMachine);
    reg->WriteString("", "Caminho D37", "C:\\Morvane\\TarvixComps\\D37");

    const test::WineRun cu = test::runWine(prefixDir, {"reg", "query", "HKCU\\Software\\Tarvix\\Interop"}, true);
    ASSERT_EQ(cu.exitCode, 0) << cu.output;
    const auto values = parseQuery(cu.output);

    std::string fontRecord(68, '\0');
    fontRecord.replace(4, 4, std::string("\x00\x00\x80\x00", 4));
    fontRecord[8] = 5;
    fontRecord.replace(9, 5, "Font\xE9");
    fontRecord[59] = 1;
    fontRecord[60] = 9;
    fontRecord[64] = 10;

    const std::map<std::string, Queried> expected = {
        {"Str", {"REG_SZ", "Caminho C:\\Morvane"}},
        {"Int", {"REG_DWORD", "0xfffffffe"}},
        {"Color", {"REG_DWORD", "0xff00000f"}},
        {"Bool", {"REG_DWORD", "0x1"}},
        {"Float", {"REG_BINARY", "000000000000f83f"}},
        {"DateTime", {"REG_BINARY", "00000000d8d5e140"}},
        {"Point", {"REG_BINARY", "0a000000fdffffff"}},
        {"Rect", {"REG_BINARY", "01000000feffffff2c010000c063ffff"}},
        {"Bin", {"REG_BINARY", "0102ff"}},
        {"Font", {"REG_BINARY", hex(fontRecord)}},
    };
    for (const auto& [name, want] : expected) {
        SCOPED_TRACE(name);
        auto it = values.find(name);
        ASSERT_NE(it, values.end()) << cu.output;
        EXPECT_EQ(it->second.type, want.type);
        EXPECT_EQ(want.type == "REG_SZ" ? it->second.data : platform::asciiLowerCase(it->second.data), want.data);
    }

    const test::WineRun lm = test::runWine(prefixDir, {"reg", "query", "HKLM\\Software\\Tarvix\\Interop"}, true);
    ASSERT_EQ(lm.exitCode, 0) << lm.output;
    const auto machine = parseQuery(lm.output);
    ASSERT_TRUE(machine.count("Caminho D37")) << lm.output;
    EXPECT_EQ(machine.at("Caminho D37").type, "REG_SZ");
    EXPECT_EQ(machine.at("Caminho D37").data, "C:\\Morvane\\TarvixComps\\D37");
}

TEST_F(RegManagerInteropTest, ReadsWhatWineWrote)
{
    const std::string key = "HKCU\\Software\\Tarvix\\Interop";
    const std::vector<std::vector<std::string>> adds = {
        {"reg", "add", key, "/v", "Str", "/t", "REG_SZ", "/d", "from wine", "/f"},
        {"reg", "add", key, "/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%TEMP%\\x", "/f"},
        {"reg", "add", key, "/v", "Int", "/t", "REG_DWORD", "/d", "4294967295", "/f"},
        {"reg", "add", key, "/v", "Point", "/t", "REG_BINARY", "/d", "0A000000FDFFFFFF", "/f"},
        {"reg", "add", key, "/v", "Float4", "/t", "REG_BINARY", "/d", "0000C03F", "/f"},
    };
    for (size_t i = 0; i < adds.size(); ++i) {
        // After the last one, wait for the wineserver to write the hives and exit.
        const test::WineRun run = test::runWine(prefixDir, adds[i], i + 1 == adds.size());
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    EXPECT_EQ(reg->ReadString("", "Str", "dflt"), "from wine");
    EXPECT_EQ(reg->ReadString("", "Expand", "dflt"), "dflt");
    EXPECT_EQ(reg->ReadInteger("", "Int", 0), -1);
    EXPECT_EQ(reg->ReadPoint("", "Point", TPoint{}), (TPoint{10, -3}));
    EXPECT_THROW(reg->ReadFloat("", "Float4", 0), ERegistryException);
}

} // namespace
} // namespace tarvix
