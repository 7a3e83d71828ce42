#include "installer/package_rewriter.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/kq_find_file.h"
#include "platform/errors.h"
#include "platform/text_encoding.h"
#include "tests/installer/installer_sandbox.h"

namespace tarvix {
namespace {

// A package source the way the payload carries it: an empty contains clause and the generic resource line.
std::string PackageSource(std::string_view nl = "\r\n")
{
    std::string s;
    for (std::string_view line :
         {"package TarvixLib370;", "", "{$R *.res}", "{$IFDEF IMPLICITBUILDING}", "{$ALIGN 8}", "{$IMAGEBASE $400000}",
          "{$DEFINE DEBUG}", "{$ENDIF IMPLICITBUILDING}", "{$DESCRIPTION 'Tarvix Library - Components'}",
          "{$IMPLICITBUILD OFF}", "", "requires", "  rtl,", "  vcl,", "  designide;", "", "contains", "", "end."}) {
        s += line;
        s += nl;
    }
    return s;
}

// PackageSource with the resource lines after {$R *.res} and the contains clause in place of the bare word.
std::string Rewritten(const std::vector<std::string>& resources, const std::vector<std::string>& contains)
{
    std::string s = PackageSource();
    std::string res = "{$R *.res}";
    for (const std::string& r : resources)
        res += "\r\n" + r;
    s.replace(s.find("{$R *.res}"), 10, res);
    std::string clause = "contains";
    for (const std::string& c : contains)
        clause += "\r\n" + c;
    s.replace(s.find("contains"), 8, clause);
    return s;
}

class PackageRewriter : public ::testing::Test {
protected:
    // Writes the files (name → bytes) into C:\Dest and rewrites C:\Dest\TarvixLib370.dpk.
    void Run(std::string_view files) { AtualizarPackage("C:\\Dest\\TarvixLib370.dpk", files, finder); }
    void Put(std::string_view name, std::string_view bytes = "x")
    {
        sandbox.write("Dest\\" + std::string(name), bytes);
    }
    std::string Package() const { return sandbox.read("Dest\\TarvixLib370.dpk"); }

    test::InstallerSandbox sandbox;
    TKqFindFile finder;
};

TEST_F(PackageRewriter, TheExampleOfTwoUnitsWithOneResource)
{
    Put("TarvixLib370.dpk", PackageSource());
    Put("KqAlpha.dcr");
    Put("KqAlpha.dcu");
    Put("KqBeta.dcu");
    Run("|KqAlpha|KqBeta|");
    EXPECT_EQ(Package(), Rewritten({"{$R 'KqAlpha.dcr'}"}, {"  KqAlpha,", "  KqBeta;"}));

    // With the source of KqBeta present as well, KqBeta is contained as source.
    Put("TarvixLib370.dpk", PackageSource());
    Put("KqBeta.pas");
    Run("|KqAlpha|KqBeta|");
    EXPECT_EQ(Package(), Rewritten({"{$R 'KqAlpha.dcr'}"}, {"  KqAlpha,", "  KqBeta in 'KqBeta.pas';"}));
}

TEST_F(PackageRewriter, ResourcesAndUnitsFollowTheirOwnOrders)
{
    Put("TarvixLib370.dpk", PackageSource());
    // Resources sorted by name without regard to case (a case-sensitive sort would put aLpha last); units in
    // the order of the list, whatever the order of the resources.
    for (const char* name : {"KqGamma.dcr", "aLpha.dcr", "KqBeta.dcr", "KqGamma.pas", "aLpha.dcu", "KqBeta.dcu"})
        Put(name);
    Run("|KqGamma|KqBeta|aLpha|");
    EXPECT_EQ(Package(), Rewritten({"{$R 'aLpha.dcr'}", "{$R 'KqBeta.dcr'}", "{$R 'KqGamma.dcr'}"},
                                   {"  KqGamma in 'KqGamma.pas',", "  KqBeta,", "  aLpha;"}));
}

TEST_F(PackageRewriter, OnlyListedUnitsPresentInTheFolderAreUsed)
{
    struct Case {
        const char* what;
        std::vector<std::string> present;
        std::string files;
        std::vector<std::string> resources;
        std::vector<std::string> contains;
    };
    const std::vector<Case> cases = {
        {"no listed unit present: the clause stays empty", {"Other.dcu"}, "|KqAlpha|", {}, {}},
        {"a resource of an unlisted unit gets no line", {"Stray.dcr", "KqAlpha.dcu"}, "|KqAlpha|", {}, {"  KqAlpha;"}},
        {"membership is case-sensitive", {"kqalpha.dcr", "KqAlpha.dcu"}, "|KqAlpha|", {}, {"  KqAlpha;"}},
        {"a resource without its unit still links", {"KqAlpha.dcr"}, "|KqAlpha|", {"{$R 'KqAlpha.dcr'}"}, {}},
        {"the empty tokens around the list are no units",
         {".pas", ".dcu", "KqAlpha.dcu"},
         "|KqAlpha|",
         {},
         {"  KqAlpha;"}},
        {"a unit name that is part of another is no member",
         {"Kq.dcr", "KqAlpha.dcu"},
         "|KqAlpha|",
         {},
         {"  KqAlpha;"}},
        {"resources in subfolders are not searched",
         {"Sub\\KqAlpha.dcr", "KqAlpha.dcu"},
         "|KqAlpha|",
         {},
         {"  KqAlpha;"}},
        {"apostrophes are doubled inside the quotes",
         {"Kq'Q.dcr", "Kq'Q.pas"},
         "|Kq'Q|",
         {"{$R 'Kq''Q.dcr'}"},
         {"  Kq'Q in 'Kq''Q.pas';"}},
        {"an empty list adds nothing", {"KqAlpha.dcr", "KqAlpha.dcu"}, "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::InstallerSandbox fresh;
        fresh.write("Dest\\TarvixLib370.dpk", PackageSource());
        for (const std::string& name : c.present)
            fresh.write("Dest\\" + name, "x");
        TKqFindFile freshFinder;
        AtualizarPackage("C:\\Dest\\TarvixLib370.dpk", c.files, freshFinder);
        EXPECT_EQ(fresh.read("Dest\\TarvixLib370.dpk"), Rewritten(c.resources, c.contains));
    }
}

TEST_F(PackageRewriter, OnlyTheFirstOccurrenceOfEachAnchorIsReplaced)
{
    Put("KqAlpha.dcr");
    Put("KqAlpha.dcu");
    // A "contains" in a comment before the clause takes the units; a second resource line stays as it is.
    const std::string source = "package P;\r\n{$R *.res}\r\n{$R *.res}\r\n{ contains nothing }\r\ncontains\r\n"
                               "\r\nend.\r\n";
    Put("TarvixLib370.dpk", source);
    Run("|KqAlpha|");
    EXPECT_EQ(Package(), "package P;\r\n{$R *.res}\r\n{$R 'KqAlpha.dcr'}\r\n{$R *.res}\r\n{ contains\r\n"
                         "  KqAlpha; nothing }\r\ncontains\r\n\r\nend.\r\n");

    // Without the anchors nothing is added, and the text is written back unchanged.
    const std::string plain = "package P;\r\n{$R Other.res}\r\nrequires rtl;\r\nend.\r\n";
    Put("TarvixLib370.dpk", plain);
    Run("|KqAlpha|");
    EXPECT_EQ(Package(), plain);
}

TEST_F(PackageRewriter, LineBreaksBecomeCrLfAfterEveryLine)
{
    Put("KqAlpha.dcu");
    struct Case {
        const char* what;
        std::string source;
    };
    const std::vector<Case> cases = {
        {"LF", PackageSource("\n")},
        {"CR", PackageSource("\r")},
        {"mixed", "package TarvixLib370;\n\r\n{$R *.res}\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("TarvixLib370.dpk", c.source);
        Run("|KqAlpha|");
        std::string expected = c.source;
        for (std::size_t p = 0; (p = expected.find_first_of("\r\n", p)) != std::string::npos;) {
            const std::size_t len = expected.compare(p, 2, "\r\n") == 0 ? 2 : 1;
            expected.replace(p, len, "\r\n");
            p += 2;
        }
        if (const std::size_t k = expected.find("contains"); k != std::string::npos)
            expected.replace(k, 8, "contains\r\n  KqAlpha;");
        EXPECT_EQ(Package(), expected);
    }

    // The last line gets its line break even when the file had none.
    Put("TarvixLib370.dpk", "package P;\r\ncontains\r\nend.");
    Run("|KqAlpha|");
    EXPECT_EQ(Package(), "package P;\r\ncontains\r\n  KqAlpha;\r\nend.\r\n");
}

TEST_F(PackageRewriter, TheFileIsWrittenBackInItsOwnEncoding)
{
    Put("KqAlpha.dcr");
    Put("KqAlpha.dcu");
    // "Biblioteca de Componentes" with "ç" and "õ" in a comment, in each encoding.
    const std::u16string comment = u"{ Descrição: Componentes, versão 1 }";
    const std::string utf8Comment = platform::utf16ToUtf8(comment);
    const std::string source = "package P;\r\n" + utf8Comment + "\r\n{$R *.res}\r\ncontains\r\n\r\nend.\r\n";
    const std::string result = "package P;\r\n" + utf8Comment +
                               "\r\n{$R *.res}\r\n{$R 'KqAlpha.dcr'}\r\ncontains\r\n  KqAlpha;\r\n\r\nend.\r\n";
    const auto be = [](std::string le) {
        for (std::size_t i = 0; i + 1 < le.size(); i += 2)
            std::swap(le[i], le[i + 1]);
        return le;
    };
    const auto u16 = [](const std::string& utf8) { return platform::utf16leBytes(platform::utf8ToUtf16(utf8)); };
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"ANSI (code page 1252)", platform::encodeCodePage(source, 1252), platform::encodeCodePage(result, 1252)},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + source, "\xEF\xBB\xBF" + result},
        {"UTF-16 LE with its mark", "\xFF\xFE" + u16(source), "\xFF\xFE" + u16(result)},
        {"UTF-16 BE with its mark", "\xFE\xFF" + be(u16(source)), "\xFE\xFF" + be(u16(result))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("TarvixLib370.dpk", c.in);
        Run("|KqAlpha|");
        EXPECT_EQ(Package(), c.out);
    }
    // The ANSI bytes really are single bytes: "ç" is 0xE7.
    EXPECT_NE(platform::encodeCodePage(source, 1252).find('\xE7'), std::string::npos);
}

TEST_F(PackageRewriter, AnAnsiFileIsReadInTheSystemCodePage)
{
    // A prefix whose ANSI code page is 1251 (Cyrillic): the byte 0xE4 is "д" there, and goes back as 0xE4.
    test::InstallerSandbox cyrillic("1251");
    cyrillic.write("Dest\\TarvixLib370.dpk", "package P;\r\n{ \xE4 }\r\ncontains\r\nend.\r\n");
    cyrillic.write("Dest\\KqAlpha.dcu", "x");
    const TTextoLinhas texto = CarregarTexto("C:\\Dest\\TarvixLib370.dpk");
    ASSERT_EQ(texto.Linhas.size(), 4u);
    EXPECT_EQ(texto.Linhas[1], "{ \xD0\xB4 }");
    TKqFindFile cyrillicFinder;
    AtualizarPackage("C:\\Dest\\TarvixLib370.dpk", "|KqAlpha|", cyrillicFinder);
    EXPECT_EQ(cyrillic.read("Dest\\TarvixLib370.dpk"), "package P;\r\n{ \xE4 }\r\ncontains\r\n  KqAlpha;\r\nend.\r\n");
}

TEST_F(PackageRewriter, ErrorsReachTheCaller)
{
    // No package source in the folder.
    Put("KqAlpha.dcu");
    EXPECT_THROW(Run("|KqAlpha|"), platform::FileError);

    // A package source that cannot be replaced (read-only): the error names it, and the file stays as it was.
    Put("TarvixLib370.dpk", PackageSource());
    ASSERT_TRUE(sandbox.system().files().setAttributes("C:\\Dest\\TarvixLib370.dpk", platform::FileAttr::ReadOnly));
    try {
        Run("|KqAlpha|");
        ADD_FAILURE() << "no error";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"C:\\Dest\\TarvixLib370.dpk\".", 0), 0u) << e.what();
    }
    EXPECT_EQ(Package(), PackageSource());
}

TEST(PackageRewriterPieces, QuotingAndSorting)
{
    EXPECT_EQ(QuotedStr("KqAlpha.dcr"), "'KqAlpha.dcr'");
    EXPECT_EQ(QuotedStr("a'b''c"), "'a''b''''c'");
    EXPECT_EQ(QuotedStr(""), "''");

    std::vector<std::string> names = {"b.dcr", "C.dcr", "A.dcr", "a.dcr", "Ab.dcr"};
    OrdenarSemCaixa(names);
    // "A.dcr" and "a.dcr" compare equal without regard to case; they keep a fixed order.
    EXPECT_EQ(names, (std::vector<std::string>{"A.dcr", "a.dcr", "Ab.dcr", "b.dcr", "C.dcr"}));
}

TEST(PackageRewriterPieces, LinesAndText)
{
    TTextoLinhas t;
    t.SetTexto("a\r\nb\nc\rd");
    EXPECT_EQ(t.Linhas, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(t.Texto(), "a\r\nb\r\nc\r\nd\r\n");
    t.SetTexto("a\r\n\r\n");
    EXPECT_EQ(t.Linhas, (std::vector<std::string>{"a", ""}));
    t.SetTexto("");
    EXPECT_TRUE(t.Linhas.empty());
    EXPECT_EQ(t.Texto(), "");
}

} // namespace
} // namespace tarvix
