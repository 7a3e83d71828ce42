// Reading project files in their encodings and writing them back in the IDE's layout.
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_parser.h"
#include "ideservices/ide_msbuild_xml.h"
#include "platform/text_encoding.h"
#include "tests/ideservices/msbuild_test_util.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

std::string CrLf(std::string_view text)
{
    std::string r;
    for (char c : text) {
        if (c == '\n')
            r += '\r';
        r += c;
    }
    return r;
}

const std::string kBom = "\xEF\xBB\xBF";

// EnvOptions.proj as the IDE keeps it: an unconditional group, one group per platform, comments, references to
// the IDE's variables.
const std::string kEnvOptions = CrLf(R"(<Project xmlns="http://schemas.microsoft.com/developer/msbuild/2003">
  <PropertyGroup>
    <!--Written by the IDE; edit with care-->
    <BDSUSERDIR>$(BDSCOMMONDIR)\User</BDSUSERDIR>
    <AutoSaveInterval>5</AutoSaveInterval>
    <EmptyWhenNew/>
  </PropertyGroup>
  <PropertyGroup Condition="'$(Platform)'=='Win32'">
    <DelphiLibraryPath>$(BDSLIB)\$(Platform)\release;$(BDSUSERDIR)\Imports;$(BDS)\Imports;$(BDSCOMMONDIR)\Dcp\$(Platform)</DelphiLibraryPath>
    <DelphiBrowsingPath>$(BDS)\source\rtl\common;$(BDS)\source\vcl</DelphiBrowsingPath>
    <DelphiDebugDCUPath>$(BDSLIB)\$(Platform)\debug</DelphiDebugDCUPath>
    <DelphiDLLOutputPath>$(BDSCOMMONDIR)\Bpl</DelphiDLLOutputPath>
    <DelphiDCPOutput>$(BDSCOMMONDIR)\Dcp</DelphiDCPOutput>
    <Note>R&amp;D &lt;tools&gt;</Note>
  </PropertyGroup>
  <PropertyGroup Condition="'$(Platform)'=='Win64'">
    <!--64-bit Windows-->
    <DelphiLibraryPath>$(BDSLIB)\$(Platform)\release;$(BDS)\Imports</DelphiLibraryPath>
    <DelphiDLLOutputPath>$(BDSCOMMONDIR)\Bpl\Win64</DelphiDLLOutputPath>
    <DelphiDCPOutput>$(BDSCOMMONDIR)\Dcp\Win64</DelphiDCPOutput>
  </PropertyGroup>
</Project>
)");

std::unique_ptr<TIdeMsBuildParser> ParseEnvOptions(const std::string& bytes, const std::string& platform = "Win32")
{
    auto parser = test::MsBuildFromText(bytes);
    auto& env = parser->Properties().EnvironmentProperties();
    env.Add("BDS", "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0");
    env.Add("BDSLIB", "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\lib");
    env.Add("BDSCOMMONDIR", "C:\\Users\\Public\\Documents\\Embarcadero\\Studio\\37.0");
    parser->Properties().GlobalProperties().Add("Platform", platform);
    parser->Parse();
    return parser;
}

TEST(Layout, AnUnchangedFileIsWrittenBackByteForByte)
{
    auto parser = ParseEnvOptions(kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + kEnvOptions);
    // The declaration line is not written; the byte-order mark is.
    EXPECT_EQ(parser->SaveToBytes(), kBom + kEnvOptions);
}

TEST(Layout, ChangingOnePathChangesExactlyThatLine)
{
    auto parser = ParseEnvOptions(kBom + kEnvOptions);
    EXPECT_EQ(parser->Properties().Values("DelphiLibraryPath"),
              "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\lib\\Win32\\release;"
              "C:\\Users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\User\\Imports;"
              "C:\\Program Files (x86)\\Embarcadero\\Studio\\37.0\\Imports;"
              "C:\\Users\\Public\\Documents\\Embarcadero\\Studio\\37.0\\Dcp\\Win32");
    EXPECT_EQ(parser->Properties().Values("Note"), "R&D <tools>");

    const std::string raw = parser->GetRawValue("DelphiLibraryPath");
    parser->SetRawValue("DelphiLibraryPath", raw + ";C:\\Morvane\\TarvixComps\\D37");
    parser->SetRawValue("DelphiBrowsingPath", "a&b<c>\"d\"");
    parser->SetRawValue("NewSetting", "x");

    std::string expected = kEnvOptions;
    auto replace = [&](const std::string& from, const std::string& to) {
        std::size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    };
    replace("$(BDSCOMMONDIR)\\Dcp\\$(Platform)</DelphiLibraryPath>",
            "$(BDSCOMMONDIR)\\Dcp\\$(Platform);C:\\Morvane\\TarvixComps\\D37</DelphiLibraryPath>");
    replace("$(BDS)\\source\\rtl\\common;$(BDS)\\source\\vcl", "a&amp;b&lt;c&gt;\"d\"");
    replace("    <EmptyWhenNew/>\r\n", "    <EmptyWhenNew/>\r\n    <NewSetting>x</NewSetting>\r\n");
    EXPECT_EQ(parser->SaveToBytes(), kBom + expected);
}

TEST(Layout, AnyInputIsRewrittenInTheIdeLayout)
{
    const std::string input =
        "<?xml version='1.0' encoding='UTF-8'?>\n"
        "<!-- top -->\n"
        "<Project xmlns='http://schemas.microsoft.com/developer/msbuild/2003'>\n"
        "\t<PropertyGroup Condition = \"'$(A)x&amp;y'=='x&amp;y'\" >\n"
        "\t\t<Empty></Empty><Apos>it&apos;s &#x41;&#66; &unknown; a > b</Apos>\n"
        "\t\t<Mixed>text<!--c-->more</Mixed>\n"
        "\t</PropertyGroup>\n"
        "<ProjectExtensions><Borland.Personality>Delphi</Borland.Personality>"
        "<Note a=\"&quot;q&quot;\"><![CDATA[<raw & data>]]></Note><?pi data?></ProjectExtensions>\n"
        "</Project>\n";
    auto parser = test::MsBuildFromText(input);
    parser->Parse();
    const std::string expected = kBom + CrLf(R"(<!-- top -->
<Project xmlns="http://schemas.microsoft.com/developer/msbuild/2003">
  <PropertyGroup Condition="'$(A)x&amp;y'=='x&amp;y'">
    <Empty/>
    <Apos>it's AB &amp;unknown; a &gt; b</Apos>
    <Mixed>
      text
      <!--c-->
      more
    </Mixed>
  </PropertyGroup>
  <ProjectExtensions>
    <Borland.Personality>Delphi</Borland.Personality>
    <Note a="&quot;q&quot;"><![CDATA[<raw & data>]]></Note>
    <?pi data?>
  </ProjectExtensions>
</Project>
)");
    EXPECT_EQ(parser->SaveToBytes(), expected);
    EXPECT_EQ(parser->GetRawValue("Apos"), "it's AB &unknown; a > b");
}

TEST(Layout, LineBreaksInsideTextBecomeCrLf)
{
    auto parser = test::MsBuildFromText(test::MsBuildProject("<PropertyGroup><P>a\r\nb\nc</P></PropertyGroup>"));
    parser->Parse();
    EXPECT_EQ(parser->GetRawValue("P"), "a\nb\nc");
    EXPECT_NE(parser->SaveToBytes().find("<P>a\r\nb\r\nc</P>\r\n"), std::string::npos);
}

TEST(Entities, DecodeAndEncode)
{
    struct Case {
        const char* in;
        const char* decoded;
    };
    for (const Case& c :
         {Case{"a&amp;b", "a&b"}, Case{"&lt;&gt;&quot;&apos;", "<>\"'"}, Case{"&#65;&#x42;&#X43;", "ABC"},
          Case{"&#233;", "\xC3\xA9"}, Case{"&#x1F600;", "\xF0\x9F\x98\x80"}, Case{"& alone", "& alone"},
          Case{"&nbsp;", "&nbsp;"}, Case{"&#;&#x;&#0;&#xZZ;", "&#;&#x;&#0;&#xZZ;"}, Case{"&amp", "&amp"},
          Case{"&amp;amp;", "&amp;"}})
        EXPECT_EQ(ide::DecodeXmlEntities(c.in), c.decoded) << c.in;
    EXPECT_EQ(ide::EncodeXmlText("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d\"e'f");
}

TEST(Encodings, EncodingNamesToCodePages)
{
    struct Case {
        const char* name;
        uint32_t codePage;
    };
    for (const Case& c : {Case{"utf-8", 65001}, Case{"UTF-8", 65001}, Case{"utf-16", 1200}, Case{"UTF-16BE", 1201},
                          Case{"windows-1252", 1252}, Case{"Windows-1251", 1251}, Case{"iso-8859-1", 28591},
                          Case{"ISO-8859-15", 28605}, Case{"us-ascii", 20127}, Case{"cp437", 437}, Case{"ibm850", 850},
                          Case{"shift_jis", 932}, Case{"klingon", 0}, Case{"windows-", 0}, Case{"iso-8859-99", 0}})
        EXPECT_EQ(ide::CodePageFromEncodingName(c.name), c.codePage) << c.name;
}

TEST(Encodings, DeclaredEncodingIsFoundInTheDeclarationOnly)
{
    EXPECT_EQ(ide::DeclaredEncoding("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a/>"), "windows-1252");
    EXPECT_EQ(ide::DeclaredEncoding("\r\n<?xml version='1.0' encoding = 'utf-16' standalone='yes'?>"), "utf-16");
    EXPECT_EQ(ide::DeclaredEncoding("<?xml version=\"1.0\"?><a encoding=\"x\"/>"), "");
    EXPECT_EQ(ide::DeclaredEncoding("<a/><?xml encoding=\"x\"?>"), "");
}

const std::function<uint32_t()> kAnsi1252 = [] { return 1252u; };
const std::function<uint32_t()> kNoAnsi = []() -> uint32_t {
    ADD_FAILURE() << "the system code page was asked for";
    return 1252u;
};

struct EncodingCase {
    const char* name;
    std::string bytes;
    uint32_t readCodePage;
    uint32_t saveCodePage;
    bool askAnsi;
};

class Encodings : public ::testing::TestWithParam<EncodingCase> {};

const std::string kBody = "<Project><PropertyGroup><P>caf\xC3\xA9</P></PropertyGroup></Project>";

std::string Utf16Le(std::string_view utf8)
{
    return platform::utf16leBytes(platform::utf8ToUtf16(utf8));
}

std::string Utf16Be(std::string_view utf8)
{
    std::string le = Utf16Le(utf8);
    for (std::size_t i = 0; i + 1 < le.size(); i += 2)
        std::swap(le[i], le[i + 1]);
    return le;
}

TEST_P(Encodings, TextIsReadAndTheSaveEncodingChosen)
{
    const EncodingCase& c = GetParam();
    TIdeXmlTextInfo info =
        ide::DecodeXmlBytes(c.bytes, TIdeXmlEncoding::seAuto, 0, c.askAnsi ? kAnsi1252 : kNoAnsi, "f.proj");
    EXPECT_EQ(info.ReadCodePage, c.readCodePage);
    EXPECT_EQ(info.SaveCodePage(), c.saveCodePage);
    EXPECT_NE(info.Utf8.find("<P>caf\xC3\xA9</P>"), std::string::npos) << info.Utf8;
    EXPECT_NE(info.Utf8.substr(0, 3), kBom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Encodings,
    ::testing::Values(
        EncodingCase{"Utf8Bom", kBom + kBody, 65001, 65001, false},
        EncodingCase{"Utf8Declared", "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + kBody, 65001, 65001, false},
        EncodingCase{"Utf16LeBom", "\xFF\xFE" + Utf16Le(kBody), 1200, 1200, false},
        EncodingCase{"Utf16BeBom", "\xFE\xFF" + Utf16Be(kBody), 1201, 1201, false},
        EncodingCase{"Utf16WithoutBom", Utf16Le("<?xml version=\"1.0\" encoding=\"utf-16\"?>" + kBody), 1200, 1200,
                     false},
        // A declaration of UTF-16 in a file of single bytes: read as UTF-8, written as the declaration says.
        EncodingCase{"Utf16DeclaredInUtf8", "<?xml version=\"1.0\" encoding=\"utf-16\"?>" + kBody, 65001, 1200, false},
        EncodingCase{"Ansi1252Declared",
                     "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Project><PropertyGroup><P>caf\xE9</P>"
                     "</PropertyGroup></Project>",
                     1252, 1252, false},
        // Without mark or declaration: the system ANSI code page, also for writing back.
        EncodingCase{"AnsiUndeclared", "<Project><PropertyGroup><P>caf\xE9</P></PropertyGroup></Project>", 1252, 1252,
                     true},
        // The declaration names the encoding to write; the mark decides how the file is read.
        EncodingCase{"BomAndOtherDeclaration",
                     "\xFF\xFE" + Utf16Le("<?xml version=\"1.0\" encoding=\"utf-8\"?>" + kBody), 1200, 65001, false}),
    [](const ::testing::TestParamInfo<EncodingCase>& c) { return std::string(c.param.name); });

TEST(Encodings, UnknownEncodingNamesAreRefused)
{
    try {
        ide::DecodeXmlBytes("<?xml version=\"1.0\" encoding=\"klingon\"?><a/>", TIdeXmlEncoding::seAuto, 0, kNoAnsi,
                            "C:\\f.proj");
        FAIL();
    } catch (const EIdeXmlError& e) {
        EXPECT_STREQ(e.what(), "Unsupported encoding \"klingon\" in file \"C:\\f.proj\"");
    }
}

TEST(Encodings, AFileIsWrittenBackInItsEncoding)
{
    struct Case {
        std::string input;
        std::string output; // of the same document, with P changed to "café!"
    };
    const std::string body = "<Project><PropertyGroup><P>caf\xC3\xA9!</P></PropertyGroup></Project>";
    const std::string written = CrLf("<Project>\n  <PropertyGroup>\n    <P>caf\xC3\xA9!</P>\n  </PropertyGroup>\n"
                                     "</Project>\n");
    std::string ansiWritten = written;
    ansiWritten.replace(ansiWritten.find("\xC3\xA9"), 2, "\xE9");
    for (const Case& c : {
             Case{kBom + kBody, kBom + written},
             Case{"<?xml version=\"1.0\" encoding=\"utf-8\"?>" + kBody, kBom + written},
             Case{"\xFF\xFE" + Utf16Le("<?xml version=\"1.0\" encoding=\"utf-16\"?>" + kBody),
                  "\xFF\xFE" + Utf16Le(written)},
             Case{"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                  "<Project><PropertyGroup><P>caf\xE9</P></PropertyGroup></Project>",
                  ansiWritten},
         }) {
        auto parser = TIdeMsBuildParser::FromBytes("C:\\f.proj", c.input, {}, TIdeXmlEncoding::seAuto, 1252);
        parser->Parse();
        EXPECT_EQ(parser->Properties().Values("P"), "caf\xC3\xA9");
        parser->SetRawValue("P", "caf\xC3\xA9!");
        EXPECT_EQ(parser->SaveToBytes(), c.output);
    }
}

} // namespace
} // namespace tarvix
