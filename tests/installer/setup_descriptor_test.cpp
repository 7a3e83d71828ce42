// The setup descriptor read from a work folder of a sandbox prefix, the display names, and the choice of the
// target installation with its failure.
#include "installer/setup_descriptor.h"

#include "platform/text_encoding.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvix {
namespace {

// What a step asked of the main window, in order.
class RecordingWindow : public TWizardWindow {
public:
    std::vector<std::string> calls;

    int MsgError(const std::string& markup) override { return record("error: " + markup, 1); }
    int MsgWarning(const std::string& markup) override { return record("warning: " + markup, 1); }
    int MsgInformation(const std::string& markup) override { return record("information: " + markup, 1); }
    int MsgConfirmation(const std::string& markup) override { return record("confirmation: " + markup, 6); }
    void PostClose() override { calls.push_back("close"); }

private:
    int record(std::string call, int result)
    {
        calls.push_back(std::move(call));
        return result;
    }
};

// The smallest installations collection: version texts in a fixed order, counting what was looked at.
class FakeInstallation {
public:
    explicit FakeInstallation(std::string version) : version_(std::move(version)) {}
    const std::string& IDEVersionNumberStr() const { return version_; }

private:
    std::string version_;
};

class FakeInstallations {
public:
    explicit FakeInstallations(std::initializer_list<std::string> versions)
    {
        for (const auto& v : versions)
            items_.emplace_back(v);
    }
    int Count() const { return static_cast<int>(items_.size()); }
    const FakeInstallation* Installations(int i) const
    {
        looked.push_back(i);
        return &items_.at(i);
    }
    mutable std::vector<int> looked;

private:
    std::vector<FakeInstallation> items_;
};

class SetupDescriptorTest : public ::testing::Test {
protected:
    static constexpr const char* kWork = "C:\\users\\tester\\Temp\\1804289383";

    void SetUp() override { state.PastaTemp = kWork; }

    void writeDescriptor(std::string_view bytes) { sandbox.writeC("users/tester/Temp/1804289383/instalar.inf", bytes); }
    TWizardState read()
    {
        LerConfiguracao(state);
        return state;
    }

    test::SandboxPrefix sandbox;
    platform::WinePrefix system{sandbox.path()};
    platform::ScopedCurrentSystem scope{system};
    TWizardState state;
    RecordingWindow window;
};

TEST_F(SetupDescriptorTest, ReadsTheShippedShapeOfDescriptor)
{
    writeDescriptor("[SETUP]\r\n"
                    "Version=37\r\n"
                    "Package=Tarvix Library Professional\r\n"
                    "\r\n"
                    "[COMPONENTS]\r\n"
                    "Source=1\r\n"
                    "Files=|KqAlpha|KqBeta|KqGamma|\r\n"
                    "Names=|TKqAlpha|TKqBeta|\r\n");
    read();
    EXPECT_EQ(state.Version, 37);
    EXPECT_EQ(state.Package, "Tarvix Library Professional");
    EXPECT_EQ(state.Files, "|KqAlpha|KqBeta|KqGamma|");
    EXPECT_EQ(state.Names, "|TKqAlpha|TKqBeta|");
    EXPECT_TRUE(state.Source);
}

TEST_F(SetupDescriptorTest, VersionNotationsAndTheInstallationTheySelect)
{
    const FakeInstallations installations{"D37", "c37", "d29", "d37", "d37"};
    struct Case {
        std::string_view written;
        int32_t version;
        int32_t index;
    };
    const Case cases[] = {
        {"37", 37, 3},     {"0x25", 37, 3}, {"0X25", 37, 3},  {"$25", 37, 3}, {"  37  ", 37, 3},
        {"\"37\"", 37, 3}, {"29", 29, 2},   {"37abc", 0, -1}, {"", 0, -1},    {"-37", -37, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        writeDescriptor("[SETUP]\r\nVersion=" + std::string(c.written) + "\r\n");
        state = TWizardState{};
        state.PastaTemp = kWork;
        window.calls.clear();
        read();
        EXPECT_EQ(state.Version, c.version);
        LocalizarDelphi(state, window, installations);
        EXPECT_EQ(state.IndiceDelphi, c.index);
        EXPECT_EQ(state.Finalizado, c.index == -1);
        EXPECT_EQ(window.calls.size(), c.index == -1 ? 2u : 0u);
    }
}

TEST_F(SetupDescriptorTest, SourceIsAnIntegerReadAsBoolean)
{
    struct Case {
        std::string_view line;
        bool source;
    };
    const Case cases[] = {
        {"Source=0", false}, {"Source=1", true},    {"Source=-1", true},   {"Source=yes", false},
        {"Source=", false},  {"Source=$10", true},  {"Source=0x0", false}, {"Source=True", false},
        {"", false},         {"source = 2 ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeDescriptor("[COMPONENTS]\r\n" + std::string(c.line) + "\r\n");
        state.Source = !c.source;
        read();
        EXPECT_EQ(state.Source, c.source);
    }
}

TEST_F(SetupDescriptorTest, LongFilesListIsCutAt2047Characters)
{
    std::string files = "|";
    while (files.size() < 2100)
        files += "KqUnit" + std::to_string(files.size()) + "|";
    writeDescriptor("[COMPONENTS]\r\nFiles=" + files + "\r\nNames=|TKqA|\r\n");
    read();
    EXPECT_EQ(state.Files, files.substr(0, 2047));
    EXPECT_NE(state.Files.back(), '|') << "the last name is cut";
    EXPECT_EQ(state.Names, "|TKqA|");
}

TEST_F(SetupDescriptorTest, MissingFileSectionOrKeyGivesTheDefaults)
{
    auto expectDefaults = [&](const char* what) {
        SCOPED_TRACE(what);
        state.Version = 99;
        state.Package = state.Files = state.Names = "stale";
        state.Source = true;
        read();
        EXPECT_EQ(state.Version, 0);
        EXPECT_EQ(state.Package, "");
        EXPECT_EQ(state.Files, "");
        EXPECT_EQ(state.Names, "");
        EXPECT_FALSE(state.Source);
        EXPECT_EQ(state.Relatorio, EnderecoRelatorioPadrao());
    };
    expectDefaults("no descriptor");
    writeDescriptor("[OTHER]\r\nVersion=37\r\nPackage=P\r\n");
    expectDefaults("no sections");
    writeDescriptor("[SETUP]\r\nVersio=37\r\n[COMPONENTS]\r\nFile=|A|\r\n");
    expectDefaults("no keys");
    writeDescriptor("[COMPONENTS]\r\nVersion=37\r\nPackage=P\r\n[SETUP]\r\nFiles=|A|\r\nNames=|B|\r\nSource=1\r\n");
    expectDefaults("keys in the wrong sections");
    state.PastaTemp.clear();
    expectDefaults("no work folder");
}

TEST_F(SetupDescriptorTest, ReportEndpointFromTheDescriptorOrTheBuild)
{
    // An empty value is not a missing one: it turns the report off.
    struct Case {
        std::string_view descriptor;
        std::string expected;
    };
    const Case cases[] = {
        {"[SETUP]\r\nVersion=37\r\n", std::string(EnderecoRelatorioPadrao())},
        {"[SETUP]\r\nRelatorio=http://127.0.0.1:8080/tarvix/instalar.php\r\n",
         "http://127.0.0.1:8080/tarvix/instalar.php"},
        {"[setup]\r\n relatorio = \"https://example.test/tarvix/instalar.php\" \r\n",
         "https://example.test/tarvix/instalar.php"},
        {"[SETUP]\r\nRelatorio=\r\n", ""},
        {"[SETUP]\r\nRelatorio=\"\"\r\n", ""},
        {"[COMPONENTS]\r\nRelatorio=http://elsewhere/\r\n", std::string(EnderecoRelatorioPadrao())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.descriptor);
        writeDescriptor(c.descriptor);
        state.Relatorio = "stale";
        read();
        EXPECT_EQ(state.Relatorio, c.expected);
    }
    EXPECT_TRUE(EnderecoRelatorioPadrao().empty() || EnderecoRelatorioPadrao().starts_with("https://"));
}

TEST_F(SetupDescriptorTest, NamesCaseBlanksAndQuotes)
{
    writeDescriptor("[setup]\r\n"
                    "  VERSION =  0x25 \r\n"
                    "package = ' Tarvix Library ' \r\n"
                    "[Components]\r\n"
                    "FILES=\"|KqAlpha|\"\r\n"
                    "names  =   |TKqAlpha|   \r\n");
    state.PastaTemp = std::string(kWork) + "\\"; // a trailing backslash is no harm
    read();
    EXPECT_EQ(state.Version, 37);
    EXPECT_EQ(state.Package, " Tarvix Library ");
    EXPECT_EQ(state.Files, "|KqAlpha|");
    EXPECT_EQ(state.Names, "|TKqAlpha|");
}

TEST_F(SetupDescriptorTest, Utf16AndAnsiDescriptors)
{
    const std::u16string text = u"[SETUP]\r\nVersion=29\r\nPackage=Edição Ñ €\r\n";
    writeDescriptor("\xFF\xFE" + platform::utf16leBytes(text));
    read();
    EXPECT_EQ(state.Version, 29);
    EXPECT_EQ(state.Package, "Edição Ñ €");

    writeDescriptor("[SETUP]\r\nVersion=29\r\nPackage=Edi\xE7\xE3o \xD1 \x80\xFF\r\n");
    read();
    EXPECT_EQ(state.Package, "Edição Ñ €ÿ");
}

TEST(NomeDelphiTest, TableAndItsGaps)
{
    const std::pair<int32_t, std::string_view> names[] = {
        {7, "Delphi 7"},
        {9, "Delphi 2005"},
        {10, "Delphi 2006"},
        {11, "Delphi 2007"},
        {12, "Delphi 2009"},
        {14, "Delphi 2010"},
        {15, "Delphi XE"},
        {16, "Delphi XE2"},
        {17, "Delphi XE3"},
        {18, "Delphi XE4"},
        {19, "Delphi XE5"},
        {20, "Delphi XE6"},
        {21, "Delphi XE7"},
        {22, "Delphi XE8"},
        {23, "Delphi 10 - Seattle"},
        {24, "Delphi 10.1 - Berlin"},
        {25, "Delphi 10.2 - Tokyo"},
        {26, "Delphi 10.3 - Rio"},
        {27, "Delphi 10.4 - Sydney"},
        {28, "Delphi 11 - Alexandria"},
        {29, "Delphi 12 - Athens"},
        {37, "Delphi 13 - Florence"},
    };
    for (const auto& [version, name] : names)
        EXPECT_EQ(NomeDelphi(version), name) << version;
    for (int32_t version : {-1, 0, 6, 8, 13, 30, 31, 35, 36, 38, INT32_MAX})
        EXPECT_EQ(NomeDelphi(version), "") << version;
}

class LocalizarDelphiTest : public ::testing::Test {
protected:
    TWizardState state;
    RecordingWindow window;
};

TEST_F(LocalizarDelphiTest, FirstLowerCaseDelphiOfTheVersionWins)
{
    state.Version = 37;
    const FakeInstallations installations{"c37", "D37", "d370", "d3", "d37", "d37"};
    LocalizarDelphi(state, window, installations);
    EXPECT_EQ(state.IndiceDelphi, 4);
    EXPECT_EQ(installations.looked, (std::vector<int>{0, 1, 2, 3, 4})) << "later installations are not looked at";
    EXPECT_FALSE(state.Finalizado);
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(LocalizarDelphiTest, AllDigitsOfTheTextMakeTheNumber)
{
    state.Version = 103;
    LocalizarDelphi(state, window, FakeInstallations{"d10.3"});
    EXPECT_EQ(state.IndiceDelphi, 0);

    // Digits beyond 64 bits name no version; the search goes on.
    state.Version = 37;
    LocalizarDelphi(state, window, FakeInstallations{"d99999999999999999999999", "d37"});
    EXPECT_EQ(state.IndiceDelphi, 1);
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(LocalizarDelphiTest, NoMatchFailsTheStep)
{
    struct Case {
        const char* what;
        int32_t version;
        FakeInstallations installations;
        std::string name;
    };
    const Case cases[] = {
        {"upper-case D only", 37, FakeInstallations{"D37", "c37"}, "Delphi 13 - Florence"},
        {"no installations", 29, FakeInstallations{}, "Delphi 12 - Athens"},
        {"version 0 of a missing descriptor", 0, FakeInstallations{"d37"}, ""},
        {"version not in the table", 8, FakeInstallations{"d37"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        state = TWizardState{};
        state.Version = c.version;
        state.IndiceDelphi = 7; // a stale position is not kept
        window.calls.clear();
        LocalizarDelphi(state, window, c.installations);
        EXPECT_EQ(state.IndiceDelphi, -1);
        EXPECT_TRUE(state.Finalizado);
        EXPECT_EQ(
            window.calls,
            (std::vector<std::string>{
                "error: O <b>" + c.name + "<b> parece não estar corretamente instalado neste computador.", "close"}));
    }
}

TEST_F(LocalizarDelphiTest, MessageWithAnEmptyName)
{
    EXPECT_EQ(MensagemDelphiAusente(0), "O <b><b> parece não estar corretamente instalado neste computador.");
    EXPECT_EQ(MensagemDelphiAusente(37),
              "O <b>Delphi 13 - Florence<b> parece não estar corretamente instalado neste computador.");
}

} // namespace
} // namespace tarvix
