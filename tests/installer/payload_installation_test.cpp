// The unpacking step as the main window runs it, and the deletion of the work folder when it closes.
#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/payload_extractor.h"
#include "installer/payload_format.h"
#include "platform/errors.h"
#include "tests/installer/payload_sandbox.h"
#include "tests/support/forwarding_file_system.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;

namespace tarvix {
namespace {

using test::Container;
using test::PayloadSandbox;
using test::RawTrailer;
using test::Record;
using test::RecordingWindow;

const std::string PackageMessage = "Não foi possível extrair o conteúdo do arquivo <b>comps.pkg<b>.";

std::string FailureText(std::string_view error)
{
    return "error: Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|" + std::string(error);
}

const std::string Descriptor = "[SETUP]\r\nVersion=37\r\nPackage=Teste\r\n";

// Whether the executable and every file of the work folder are closed: each opens exclusively.
std::vector<std::string> OpenFiles(const std::string& exe, const fs::path& workHost, const std::string& work)
{
    std::vector<std::string> open;
    std::vector<std::string> paths{exe};
    if (fs::exists(workHost))
        for (const auto& entry : fs::directory_iterator(workHost))
            paths.push_back(work + "\\" + entry.path().filename().string());
    for (const auto& path : paths) {
        try {
            platform::current().files().open(path, platform::FileMode::ReadWrite, platform::FileShare::Exclusive);
        } catch (const platform::FileError&) {
            open.push_back(path);
        }
    }
    return open;
}

class ExtrairInstalacaoTest : public testing::Test {
protected:
    bool Run(std::string_view installer, int32_t draw = 123)
    {
        const std::string exe = sandbox.writeC("setup/tarvix-setup.exe", installer);
        TSorteioPasta draws([draw] { return draw; });
        return ExtrairInstalacao(state, window, draws, exe);
    }
    fs::path Work(int32_t draw = 123) const { return sandbox.tempHost() / std::to_string(draw); }
    std::string ReadWork(std::string_view name, int32_t draw = 123) const
    {
        return sandbox.readC("temp/" + std::to_string(draw) + "/" + std::string(name));
    }

    PayloadSandbox sandbox;
    TWizardState state;
    RecordingWindow window;
};

TEST_F(ExtrairInstalacaoTest, UnpacksArchiveAndDescriptorAndSplitsTheArchive)
{
    const std::string archive = Record("KqAlpha.dcu", "alpha") + Record("KqAlpha.dcr", "") +
                                Record("TarvixLib370.dpk", "package TarvixLib370;\r\n");
    ASSERT_TRUE(Run(Container(archive, Descriptor)));
    EXPECT_THAT(window.messages, IsEmpty());
    EXPECT_EQ(window.closes, 0);
    EXPECT_FALSE(state.Finalizado);
    EXPECT_EQ(state.PastaTemp, "C:\\temp\\123");
    EXPECT_THAT(state.ListaArquivos, ElementsAre("KqAlpha.dcu", "KqAlpha.dcr", "TarvixLib370.dpk"));
    EXPECT_EQ(ReadWork("comps.pkg"), archive);
    EXPECT_EQ(ReadWork("instalar.inf"), Descriptor);
    EXPECT_EQ(ReadWork("KqAlpha.dcu"), "alpha");
    EXPECT_EQ(ReadWork("TarvixLib370.dpk"), "package TarvixLib370;\r\n");
    std::set<std::string> inWork;
    for (const auto& entry : fs::directory_iterator(Work()))
        inWork.insert(entry.path().filename().string());
    EXPECT_EQ(inWork,
              (std::set<std::string>{"comps.pkg", "instalar.inf", "KqAlpha.dcu", "KqAlpha.dcr", "TarvixLib370.dpk"}));
}

// The payload is found from the end of the file only: the image before it may be anything, even empty, and may
// itself look like a payload.
TEST_F(ExtrairInstalacaoTest, PayloadIsFoundFromTheTrailerAlone)
{
    const std::string archive = Record("KqOnly.dcu", "only");
    for (const std::string& image : {std::string(), Container(Record("KqDecoy.dcu", "decoy"), "[SETUP]\r\n")}) {
        TWizardState fresh;
        state = fresh;
        ASSERT_TRUE(Run(Container(archive, Descriptor, image), 7)) << image.size();
        EXPECT_THAT(state.ListaArquivos, ElementsAre("KqOnly.dcu"));
        EXPECT_EQ(ReadWork("instalar.inf", 7), Descriptor);
        ApagarPastaTemp(state);
    }
}

// Every failure shows the one message with the error's text, marks the wizard finished, asks the window to
// close, and leaves no file open: the work folder can be deleted completely afterwards.
TEST_F(ExtrairInstalacaoTest, FailuresShowTheMessageAndCloseTheWindow)
{
    const std::string archive = Record("KqAlpha.dcu", "alpha");
    const std::string image = "MZ image";
    struct Case {
        const char* what;
        std::string installer;
        std::string error;
    } cases[] = {
        {"archive size 0", image + archive + Descriptor + RawTrailer(0, static_cast<int32_t>(Descriptor.size())),
         PackageMessage},
        {"descriptor size 0", image + archive + RawTrailer(static_cast<int32_t>(archive.size()), 0), PackageMessage},
        {"negative archive size",
         image + archive + Descriptor + RawTrailer(-5, static_cast<int32_t>(Descriptor.size())), PackageMessage},
        {"negative descriptor size",
         image + archive + Descriptor + RawTrailer(static_cast<int32_t>(archive.size()), -1), PackageMessage},
        {"sizes beyond the file's start",
         archive + Descriptor + RawTrailer(1000, static_cast<int32_t>(Descriptor.size())), PackageMessage},
        {"largest sizes", image + RawTrailer(2'147'483'647, 2'147'483'647), PackageMessage},
        {"shorter than a trailer", "MZ", PackageMessage},
        {"empty file", "", PackageMessage},
        {"truncated archive", Container(archive.substr(0, archive.size() - 2), Descriptor), PackageMessage},
        {"record name with a folder", Container(Record("..\\KqEvil.dcu", "evil"), Descriptor), PackageMessage},
    };
    for (const auto& c : cases) {
        state = TWizardState();
        window = RecordingWindow();
        std::vector<std::string> openWhenShown{"not shown"};
        window.OnError = [&] { openWhenShown = OpenFiles("C:\\setup\\tarvix-setup.exe", Work(), "C:\\temp\\123"); };
        EXPECT_FALSE(Run(c.installer)) << c.what;
        EXPECT_THAT(openWhenShown, IsEmpty()) << c.what;
        EXPECT_THAT(window.messages, ElementsAre(FailureText(c.error))) << c.what;
        EXPECT_TRUE(state.Finalizado) << c.what;
        EXPECT_EQ(window.closes, 1) << c.what;
        EXPECT_THAT(state.ListaArquivos, IsEmpty()) << c.what;
        EXPECT_EQ(state.PastaTemp, "C:\\temp\\123") << c.what;
        ApagarPastaTemp(state);
        EXPECT_FALSE(fs::exists(Work())) << c.what << ": a file of the work folder is still open";
        EXPECT_FALSE(fs::exists(sandbox.driveC() / "KqEvil.dcu"));
        EXPECT_FALSE(fs::exists(sandbox.tempHost() / "KqEvil.dcu"));
    }
}

TEST_F(ExtrairInstalacaoTest, MissingExecutableShowsTheSystemsText)
{
    TSorteioPasta draws([] { return 9; });
    EXPECT_FALSE(ExtrairInstalacao(state, window, draws, "C:\\absent.exe"));
    EXPECT_THAT(
        window.messages,
        ElementsAre(FailureText("Cannot open file \"C:\\absent.exe\". The system cannot find the file specified.")));
    EXPECT_TRUE(state.Finalizado);
    EXPECT_EQ(window.closes, 1);
}

TEST_F(ExtrairInstalacaoTest, UnusableTemporaryFolderFailsBeforeAnythingIsWritten)
{
    PayloadSandbox procTemp("1252", "Z:\\proc");
    const std::string exe = procTemp.writeC("setup.exe", Container(Record("KqA.dcu", "a"), Descriptor));
    TSorteioPasta draws([] { return 31; });
    EXPECT_FALSE(ExtrairInstalacao(state, window, draws, exe));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_THAT(window.messages[0], testing::StartsWith(FailureText("Cannot create folder \"Z:\\proc\\31\". ")));
    EXPECT_TRUE(state.PastaTemp.empty());
    EXPECT_TRUE(state.Finalizado);
    EXPECT_EQ(window.closes, 1);
}

// A file system that passes everything to the sandbox's, except that the executable ends early while it is
// read: the file holds fewer bytes than its trailer promises, as when it shrinks under the reader.
class ShrinkingFiles : public test::ForwardingFileSystem {
public:
    ShrinkingFiles(platform::FileSystem& inner, std::string exe, int64_t readableUpTo)
        : ForwardingFileSystem(inner),
          exe_(std::move(exe)),
          readableUpTo_(readableUpTo)
    {}

    std::unique_ptr<platform::File> open(std::string_view path, platform::FileMode mode,
                                         platform::FileShare share = platform::FileShare::DenyWrite) override
    {
        auto file = inner_.open(path, mode, share);
        if (path != exe_)
            return file;
        return std::make_unique<Shrinking>(std::move(file), readableUpTo_);
    }

private:
    class Shrinking : public platform::File {
    public:
        Shrinking(std::unique_ptr<platform::File> inner, int64_t limit) : inner_(std::move(inner)), limit_(limit) {}
        std::size_t read(void* buffer, std::size_t n) override
        {
            // The trailer at the very end still reads; the bytes before it end at the limit.
            const int64_t at = inner_->position();
            if (at < inner_->size() - TamanhoTrailer)
                n = static_cast<std::size_t>(std::clamp<int64_t>(limit_ - at, 0, static_cast<int64_t>(n)));
            return n == 0 ? 0 : inner_->read(buffer, n);
        }
        void write(const void* b, std::size_t n) override { inner_->write(b, n); }
        void seek(int64_t p) override { inner_->seek(p); }
        int64_t position() const override { return inner_->position(); }
        int64_t size() const override { return inner_->size(); }
        void close() override { inner_->close(); }

    private:
        std::unique_ptr<platform::File> inner_;
        int64_t limit_;
    };

    std::string exe_;
    int64_t readableUpTo_;
};

class ShrinkingSystem : public platform::System {
public:
    ShrinkingSystem(platform::System& inner, ShrinkingFiles& files) : inner_(inner), files_(files) {}
    platform::Registry& registry() override { return inner_.registry(); }
    platform::FileSystem& files() override { return files_; }
    platform::Shell& shell() override { return inner_.shell(); }
    platform::Processes& processes() override { return inner_.processes(); }
    std::string description() const override { return inner_.description(); }

private:
    platform::System& inner_;
    platform::FileSystem& files_;
};

TEST_F(ExtrairInstalacaoTest, ExecutableEndingEarlyGivesThePlatformsReadError)
{
    const std::string image = "MZ image";
    const std::string archive = Record("KqAlpha.dcu", std::string(5000, 'a'));
    const std::string exe = sandbox.writeC("setup/tarvix-setup.exe", Container(archive, Descriptor, image));
    struct Case {
        const char* what;
        int64_t readableUpTo;
    } cases[] = {
        {"in the archive", static_cast<int64_t>(image.size() + archive.size() / 2)},
        {"in the descriptor", static_cast<int64_t>(image.size() + archive.size() + 3)},
    };
    for (const auto& c : cases) {
        ShrinkingFiles files(sandbox.prefix().files(), exe, c.readableUpTo);
        ShrinkingSystem system(sandbox.prefix(), files);
        platform::ScopedCurrentSystem scoped(system);
        state = TWizardState();
        window = RecordingWindow();
        TSorteioPasta draws([] { return 55; });
        std::vector<std::string> openWhenShown{"not shown"};
        window.OnError = [&] { openWhenShown = OpenFiles(exe, sandbox.tempHost() / "55", "C:\\temp\\55"); };
        EXPECT_FALSE(ExtrairInstalacao(state, window, draws, exe)) << c.what;
        EXPECT_THAT(openWhenShown, IsEmpty()) << c.what;
        EXPECT_THAT(window.messages, ElementsAre(FailureText("Stream read error"))) << c.what;
        EXPECT_TRUE(state.Finalizado);
        EXPECT_EQ(window.closes, 1);
        ApagarPastaTemp(state);
        EXPECT_FALSE(fs::exists(sandbox.tempHost() / "55")) << c.what << ": a file of the work folder is still open";
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Deleting the work folder

TEST(ApagarPastaTempTest, DeletesTheTreeWithReadOnlyFiles)
{
    PayloadSandbox sandbox;
    sandbox.writeC("temp/321/KqA.dcu", "a");
    sandbox.writeC("temp/321/Library.zip", "zip");
    sandbox.writeC("temp/321/sub/deeper/KqB.dcu", "b");
    for (const char* readOnly : {"C:\\temp\\321\\KqA.dcu", "C:\\temp\\321\\sub\\deeper\\KqB.dcu"})
        ASSERT_TRUE(platform::current().files().setAttributes(readOnly, platform::FileAttr::ReadOnly)) << readOnly;
    sandbox.writeC("temp/other/keep.txt", "not ours");

    TWizardState state;
    state.PastaTemp = "C:\\temp\\321";
    ApagarPastaTemp(state);
    EXPECT_FALSE(fs::exists(sandbox.tempHost() / "321"));
    EXPECT_TRUE(state.PastaTemp.empty());
    EXPECT_EQ(sandbox.readC("temp/other/keep.txt"), "not ours");
}

TEST(ApagarPastaTempTest, WithoutAWorkFolderNothingIsDeleted)
{
    PayloadSandbox sandbox;
    sandbox.writeC("temp/keep.txt", "keep");
    const auto before = sandbox.treeOfC();
    TWizardState state;
    ApagarPastaTemp(state);
    ApagarPastaTemp(state);
    EXPECT_EQ(sandbox.treeOfC(), before);
}

TEST(ApagarPastaTempTest, RunAfterTheStepRemovesEverythingItMade)
{
    PayloadSandbox sandbox;
    const auto before = sandbox.treeOfC();
    const std::string exe =
        sandbox.writeC("setup.exe", Container(Record("KqA.dcu", "a") + Record("KqB.dcu", "b"), Descriptor));
    TWizardState state;
    RecordingWindow window;
    TSorteioPasta draws([] { return 8; });
    ASSERT_TRUE(ExtrairInstalacao(state, window, draws, exe));
    ApagarPastaTemp(state);
    auto after = sandbox.treeOfC();
    after.erase("setup.exe");
    EXPECT_EQ(after, before);
}

} // namespace
} // namespace tarvix
