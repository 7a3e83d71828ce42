#include "installer/file_deployment.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/kq_find_file.h"
#include "tests/installer/installer_sandbox.h"
#include "tests/installer/window_recorder.h"
#include "tests/support/fake_message_pump.h"

namespace tarvix {
namespace {

const std::string Package = "package TarvixLib370;\r\n\r\n{$R *.res}\r\n\r\ncontains\r\n\r\nend.\r\n";

// A work folder C:\Temp\4711 with unpacked files, a destination read from `destino`, and what the page saw.
struct CopyBench {
    CopyBench()
    {
        state.PastaTemp = "C:\\Temp\\4711";
        state.Version = 37;
        state.Files = "|KqAlpha|KqBeta|";
        Unpack("TarvixLib370.dpk", Package);
        Unpack("KqAlpha.dcu", "alpha unit");
        Unpack("KqAlpha.dcr", "alpha resource");
        Unpack("KqBeta.dcu", "beta unit");
        state.ListaArquivos = {"TarvixLib370.dpk", "KqAlpha.dcu", "KqAlpha.dcr", "KqBeta.dcu"};

        pagina.PastaDestino = [this] { return destino; };
        pagina.SetMaxValue = [this](int n) { maximos.push_back(n); };
        pagina.SetProgress = [this](int n) { progresso.push_back(n); };
        pagina.MostrarArquivo = [this](const std::string& f) {
            arquivos.push_back(f);
            conferir = true;
        };
        pagina.Fechada = [this] { return fechada; };
        // The one pass before each copy sees the page updated and the file not yet copied.
        pump.onProcess = [this](test::FakeMessagePump&) {
            if (!conferir)
                return;
            conferir = false;
            ++passesAntesDaCopia;
            const std::string alvo = arquivos.back().substr(3); // without "C:\"
            if (antesDaCopia)
                antesDaCopia(alvo);
        };
    }

    void Unpack(const std::string& name, std::string_view bytes) { sandbox.write("Temp\\4711\\" + name, bytes); }
    std::string Dest(const std::string& name) const { return sandbox.read("Morvane\\TarvixComps\\D37\\" + name); }
    bool DestExists(const std::string& name) const { return sandbox.exists("Morvane\\TarvixComps\\D37\\" + name); }
    TFimCopia Copiar() { return CopiarArquivos(state, window, pagina, finder); }

    CopyBench(const CopyBench&) = delete;
    CopyBench& operator=(const CopyBench&) = delete;

    test::InstallerSandbox sandbox;
    test::FakeMessagePump pump;
    test::ScopedMessagePump pumpScope{pump};
    TWizardState state;
    test::WindowRecorder window;
    TKqFindFile finder;
    TPaginaCopia pagina;

    std::string destino = "C:\\Morvane\\TarvixComps\\D37";
    bool fechada = false;
    std::vector<int> maximos;
    std::vector<int> progresso;
    std::vector<std::string> arquivos;
    bool conferir = false;
    int passesAntesDaCopia = 0;
    std::function<void(const std::string& alvo)> antesDaCopia;
};

class CopyStep : public ::testing::Test, public CopyBench {};

TEST_F(CopyStep, CopiesEveryListedFileShowingItAndRewritesThePackage)
{
    // A file larger than the copy buffer arrives whole.
    std::string big(TamanhoBufferCopiaArquivo * 2 + 12345, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 4096);
    Unpack("Big.res", big);
    state.ListaArquivos.push_back("Big.res");

    EXPECT_EQ(Copiar(), TFimCopia::Concluida);

    EXPECT_EQ(Dest("KqAlpha.dcu"), "alpha unit");
    EXPECT_EQ(Dest("KqAlpha.dcr"), "alpha resource");
    EXPECT_EQ(Dest("KqBeta.dcu"), "beta unit");
    EXPECT_EQ(Dest("Big.res"), big);
    EXPECT_EQ(Dest("TarvixLib370.dpk"), "package TarvixLib370;\r\n\r\n{$R *.res}\r\n{$R 'KqAlpha.dcr'}\r\n\r\n"
                                        "contains\r\n  KqAlpha,\r\n  KqBeta;\r\n\r\nend.\r\n");
    // The work folder keeps its files.
    EXPECT_EQ(sandbox.read("Temp\\4711\\KqAlpha.dcu"), "alpha unit");

    EXPECT_EQ(maximos, std::vector<int>{5});
    EXPECT_EQ(progresso, (std::vector<int>{1, 2, 3, 4, 5}));
    const std::string d = "C:\\Morvane\\TarvixComps\\D37\\";
    EXPECT_EQ(arquivos, (std::vector<std::string>{d + "TarvixLib370.dpk", d + "KqAlpha.dcu", d + "KqAlpha.dcr",
                                                  d + "KqBeta.dcu", d + "Big.res"}));
    EXPECT_EQ(passesAntesDaCopia, 5);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.closes, 0);
    EXPECT_FALSE(state.Finalizado);
}

TEST_F(CopyStep, FilesAreCopiedOnlyAfterTheirPassOfMessages)
{
    antesDaCopia = [this](const std::string& alvo) { EXPECT_FALSE(sandbox.exists(alvo)) << alvo; };
    EXPECT_EQ(Copiar(), TFimCopia::Concluida);
    EXPECT_EQ(passesAntesDaCopia, 4);
}

TEST_F(CopyStep, ExistingFilesAreReplacedAndOthersLeftAlone)
{
    sandbox.write("Morvane\\TarvixComps\\D37\\KqAlpha.dcu", "an older and longer alpha unit");
    sandbox.write("Morvane\\TarvixComps\\D37\\Mine.txt", "the user's own file");
    EXPECT_EQ(Copiar(), TFimCopia::Concluida);
    EXPECT_EQ(Dest("KqAlpha.dcu"), "alpha unit");
    EXPECT_EQ(Dest("Mine.txt"), "the user's own file");
}

TEST_F(CopyStep, ANameListedTwiceIsCopiedTwice)
{
    state.ListaArquivos = {"TarvixLib370.dpk", "KqAlpha.dcu", "KqBeta.dcu", "KqAlpha.dcu"};
    // Remove the first copy just before the second one: it is there again afterwards.
    int seen = 0;
    antesDaCopia = [&](const std::string& alvo) {
        if (alvo.ends_with("KqAlpha.dcu") && ++seen == 2) {
            ASSERT_TRUE(sandbox.exists(alvo));
            std::filesystem::remove(sandbox.host(alvo));
        }
    };
    EXPECT_EQ(Copiar(), TFimCopia::Concluida);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(Dest("KqAlpha.dcu"), "alpha unit");
    EXPECT_EQ(progresso, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(maximos, std::vector<int>{4});
}

TEST_F(CopyStep, TheDestinationIsReadAgainForEveryFile)
{
    sandbox.makeFolder("Other");
    antesDaCopia = [&](const std::string& alvo) {
        if (alvo.ends_with("KqAlpha.dcu"))
            destino = "C:\\Other";
    };
    // The package source is rewritten where the destination then stands: in C:\Other, which has none.
    EXPECT_EQ(Copiar(), TFimCopia::Falhou);
    EXPECT_TRUE(DestExists("TarvixLib370.dpk"));
    EXPECT_TRUE(DestExists("KqAlpha.dcu"));
    EXPECT_EQ(sandbox.read("Other\\KqAlpha.dcr"), "alpha resource");
}

TEST_F(CopyStep, AFailureIsShownFinishesTheWizardAndPostsTheClose)
{
    struct Case {
        const char* what;
        std::function<void(CopyBench&)> arrange;
        std::string error; // the start of the error text after the fixed part of the message
        std::vector<std::string> copied;
        std::vector<std::string> notCopied;
    };
    const std::vector<Case> cases = {
        {"a target that cannot be created (a folder of that name)",
         [](CopyBench& t) { t.sandbox.makeFolder("Morvane\\TarvixComps\\D37\\KqAlpha.dcr"); },
         "Cannot create file \"C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcr\".",
         {"TarvixLib370.dpk", "KqAlpha.dcu"},
         {"KqBeta.dcu"}},
        {"a listed file missing from the work folder",
         [](CopyBench& t) { t.state.ListaArquivos.insert(t.state.ListaArquivos.begin() + 1, "Gone.dcu"); },
         "Cannot open file \"C:\\Temp\\4711\\Gone.dcu\".",
         {"TarvixLib370.dpk"},
         {"KqAlpha.dcu", "Gone.dcu"}},
        {"no package source among the files",
         [](CopyBench& t) { t.state.ListaArquivos.erase(t.state.ListaArquivos.begin()); },
         "Cannot open file \"C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk\".",
         {"KqAlpha.dcu", "KqBeta.dcu"},
         {"TarvixLib370.dpk"}},
        {"an empty list: nothing copied, and no package source to rewrite",
         [](CopyBench& t) { t.state.ListaArquivos.clear(); },
         "Cannot open file \"C:\\Morvane\\TarvixComps\\D37\\TarvixLib370.dpk\".",
         {},
         {"TarvixLib370.dpk", "KqAlpha.dcu"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyBench t;
        c.arrange(t);
        EXPECT_EQ(t.Copiar(), TFimCopia::Falhou);
        ASSERT_EQ(t.window.boxes.size(), 1u);
        EXPECT_EQ(t.window.boxes[0].kind, "error");
        const std::string prefix = "Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|";
        EXPECT_EQ(t.window.boxes[0].markup.substr(0, prefix.size() + c.error.size()), prefix + c.error);
        EXPECT_TRUE(t.state.Finalizado);
        EXPECT_EQ(t.window.closes, 1);
        for (const std::string& f : c.copied)
            EXPECT_TRUE(t.DestExists(f)) << f;
        for (const std::string& f : c.notCopied)
            EXPECT_FALSE(t.DestExists(f)) << f;
    }
}

TEST_F(CopyStep, AnEmptyListLeavesTheGaugeMaximumToTheGauge)
{
    state.ListaArquivos.clear();
    Copiar();
    // The step hands the count over; the gauge refuses a maximum of 0 by itself.
    EXPECT_EQ(maximos, std::vector<int>{0});
    EXPECT_TRUE(progresso.empty());
}

TEST_F(CopyStep, AClosedWindowOrATerminatingApplicationStopsTheStep)
{
    struct Case {
        const char* what;
        std::function<void(CopyBench&)> arrange;
        std::vector<std::string> copied;
        std::vector<std::string> notCopied;
    };
    const std::vector<Case> cases = {
        {"window closed while the second file's messages are processed",
         [](CopyBench& t) {
             t.antesDaCopia = [&t](const std::string& alvo) {
                 if (alvo.ends_with("KqAlpha.dcu")) {
                     t.fechada = true;
                     // The close deletes the work folder.
                     std::filesystem::remove_all(t.sandbox.host("Temp\\4711"));
                 }
             };
         },
         {"TarvixLib370.dpk"},
         {"KqAlpha.dcu", "KqAlpha.dcr", "KqBeta.dcu"}},
        {"application terminating while the third file's messages are processed",
         [](CopyBench& t) {
             t.antesDaCopia = [&t](const std::string& alvo) {
                 if (alvo.ends_with("KqAlpha.dcr"))
                     t.pump.terminate = true;
             };
         },
         {"TarvixLib370.dpk", "KqAlpha.dcu"},
         {"KqAlpha.dcr", "KqBeta.dcu"}},
        {"window closed before the step began", [](CopyBench& t) { t.fechada = true; }, {}, {"TarvixLib370.dpk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyBench t;
        c.arrange(t);
        EXPECT_EQ(t.Copiar(), TFimCopia::Interrompida);
        EXPECT_TRUE(t.window.boxes.empty());
        EXPECT_EQ(t.window.closes, 0);
        EXPECT_FALSE(t.state.Finalizado);
        for (const std::string& f : c.copied)
            EXPECT_TRUE(t.DestExists(f)) << f;
        for (const std::string& f : c.notCopied)
            EXPECT_FALSE(t.DestExists(f)) << f;
        // The package source was not rewritten.
        if (t.DestExists("TarvixLib370.dpk")) {
            EXPECT_EQ(t.Dest("TarvixLib370.dpk"), Package);
        }
    }
}

TEST(PathShortening, NarrowingLabelsGiveTheFolderUpFromTheFront)
{
    // One unit of width per byte: the label widths pick the steps of the sequence.
    const auto medir = [](std::string_view s) { return static_cast<int>(s.size()); };
    const std::string path = "C:\\Morvane\\TarvixComps\\D37\\KqAlpha.dcu"; // 38
    struct Case {
        int width;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {100, path},
        {38, path},
        {37, "C:\\...\\TarvixComps\\D37\\KqAlpha.dcu"},
        {34, "C:\\...\\TarvixComps\\D37\\KqAlpha.dcu"},
        {33, "C:\\...\\D37\\KqAlpha.dcu"},
        {21, "C:\\...\\KqAlpha.dcu"},
        {17, "...\\KqAlpha.dcu"},
        {14, "KqAlpha.dcu"},
        {3, "KqAlpha.dcu"}, // the name itself is never cut
        {0, "KqAlpha.dcu"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EncurtarCaminho(path, c.width, medir), c.expected) << c.width;

    // Without a drive, the folders still give way; a bare name stays as it is.
    EXPECT_EQ(EncurtarCaminho("\\\\srv\\share\\KqAlpha.dcu", 12, medir), "KqAlpha.dcu");
    EXPECT_EQ(EncurtarCaminho("\\Lib\\Sub\\a.dcu", 10, medir), "\\...\\a.dcu");
    EXPECT_EQ(EncurtarCaminho("KqAlpha.dcu", 1, medir), "KqAlpha.dcu");
    EXPECT_EQ(EncurtarCaminho("C:\\KqAlpha.dcu", 12, medir), "KqAlpha.dcu");
    EXPECT_EQ(EncurtarCaminho("", 0, medir), "");
}

} // namespace
} // namespace tarvix
