#include "tools/tarvix_pack.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/payload_extractor.h"
#include "platform/private_profile.h"
#include "platform/text_encoding.h"
#include "tests/installer/payload_sandbox.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::IsEmpty;

namespace tarvix::pack {
namespace {

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Names(const std::vector<PackedRecord>& records)
{
    std::vector<std::string> names;
    for (const auto& r : records)
        names.push_back(r.name);
    return names;
}

std::set<std::string> FolderEntries(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// Unpacks an installer with the installer's own step, on a sandbox prefix.
struct Unpacked {
    bool ok = false;
    std::vector<std::string> names;
    fs::path work;
    std::string descriptor;
};
Unpacked Unpack(test::PayloadSandbox& sandbox, const fs::path& installer)
{
    const std::string exe = sandbox.writeC("setup.exe", ReadAll(installer));
    TWizardState state;
    test::RecordingWindow window;
    TSorteioPasta draws([] { return 1; });
    Unpacked result;
    result.ok = ExtrairInstalacao(state, window, draws, exe);
    result.names = state.ListaArquivos;
    result.work = sandbox.tempHost() / "1";
    result.descriptor = ReadAll(result.work / "instalar.inf");
    return result;
}

// A library folder, a setup executable and options that pack them, in a temporary folder.
struct Workspace {
    Workspace()
    {
        fs::create_directories(library);
        fs::create_directories(outDir);
        temp.write("setup.exe", std::string("MZ\x90\0setup image", 15));
        options.executable = temp / "setup.exe";
        options.folder = library;
        options.output = outDir / "tarvix-setup-37.exe";
        DescriptorValues values;
        values.version = 37;
        values.package = "Teste";
        options.descriptor = values;
    }
    void File(const std::string& name, std::string_view bytes) { temp.write("lib/" + name, bytes); }

    test::TempDir temp;
    fs::path library = temp / "lib";
    fs::path outDir = temp / "out";
    PackOptions options;
};

class PackTest : public testing::Test, public Workspace {};

TEST_F(PackTest, RoundTripInTheGivenOrder)
{
    File("KqBeta.dcu", "beta unit");
    File("KqAlpha.dcu", std::string(5000, '\xA5'));
    File("KqAlpha.dcr", "");
    File(platform::decodeCodePage("Op\xE7\xF5"
                                  "es.res",
                                  1252),
         "options");
    File("TarvixLib370.dpk", "package TarvixLib370;\r\n");
    File("README.txt", "not listed in the order, not packed");
    temp.write("order.txt", "KqBeta.dcu\r\nKqAlpha.dcu\nKqAlpha.dcr\n\nOpções.res\nTarvixLib370.dpk\n");
    options.orderFile = temp / "order.txt";
    const std::vector<std::string> order = {"KqBeta.dcu", "KqAlpha.dcu", "KqAlpha.dcr", "Opções.res",
                                            "TarvixLib370.dpk"};

    const Listing packed = Pack(options);
    EXPECT_THAT(Names(packed.records), ElementsAreArray(order));
    const auto perms = fs::status(options.output).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(ReadAll(options.output).substr(0, 15), std::string("MZ\x90\0setup image", 15));
    EXPECT_EQ(FolderEntries(outDir), std::set<std::string>{"tarvix-setup-37.exe"});

    const Listing listed = List(options.output);
    EXPECT_THAT(Names(listed.records), ElementsAreArray(order));
    EXPECT_EQ(listed.records[1].size, 5000);
    EXPECT_EQ(listed.records[2].size, 0);
    EXPECT_EQ(listed.descriptor, "[SETUP]\r\nVersion=37\r\nPackage=Teste\r\n\r\n[COMPONENTS]\r\nSource=0\r\n"
                                 "Files=|KqBeta|KqAlpha|\r\nNames=\r\n");

    test::PayloadSandbox sandbox;
    const Unpacked unpacked = Unpack(sandbox, options.output);
    ASSERT_TRUE(unpacked.ok);
    EXPECT_THAT(unpacked.names, ElementsAreArray(order));
    for (const auto& name : order)
        EXPECT_EQ(ReadAll(unpacked.work / name), ReadAll(library / name)) << name;
    EXPECT_EQ(unpacked.descriptor, listed.descriptor);
}

TEST_F(PackTest, WithoutAnOrderTheFolderIsPackedByName)
{
    File("b.dcu", "b");
    File("A.dcu", "a");
    File("c.dfm", "c");
    options.descriptor->files = "KqX|KqY";
    options.descriptor->names = "|TKqX|";
    options.descriptor->source = true;
    const Listing packed = Pack(options);
    EXPECT_THAT(Names(packed.records), ElementsAreArray({"A.dcu", "b.dcu", "c.dfm"}));
    EXPECT_EQ(packed.descriptor, "[SETUP]\r\nVersion=37\r\nPackage=Teste\r\n\r\n[COMPONENTS]\r\nSource=1\r\n"
                                 "Files=|KqX|KqY|\r\nNames=|TKqX|\r\n");
}

TEST_F(PackTest, DescriptorFileIsTakenAsItIs)
{
    File("KqA.dcu", "a");
    temp.write("instalar.inf", "[SETUP]\nVersion=$25\n; any bytes \xFF\n");
    options.descriptor.reset();
    options.descriptorFile = temp / "instalar.inf";
    Pack(options);
    EXPECT_EQ(List(options.output).descriptor, "[SETUP]\nVersion=$25\n; any bytes \xFF\n");
}

// The report endpoint goes into [SETUP] as Relatorio, and the installer's profile reader finds exactly it; every
// other byte of the descriptor stays.
TEST_F(PackTest, ReportUrlIsWrittenIntoTheDescriptor)
{
    const std::string url = "http://127.0.0.1:8080/tarvix/instalar.php";
    struct Case {
        std::string name;
        std::string descriptor;
        std::string written;
        std::string expected;
    };
    const Case cases[] = {
        {"a built descriptor", "[SETUP]\r\nVersion=37\r\n", url, "[SETUP]\r\nRelatorio=" + url + "\r\nVersion=37\r\n"},
        {"an empty url turns the report off", "[SETUP]\r\nVersion=37\r\n", "",
         "[SETUP]\r\nRelatorio=\r\nVersion=37\r\n"},
        {"earlier values of every [SETUP] go, other sections keep theirs",
         "[setup]\nrelatorio = old\nVersion=37\n[COMPONENTS]\nRelatorio=kept\n[ SETUP ]\nRELATORIO=older\n", url,
         "[setup]\nRelatorio=" + url + "\r\nVersion=37\n[COMPONENTS]\nRelatorio=kept\n[ SETUP ]\n"},
        {"comments stay", "[SETUP]\r\n;Relatorio=commented\r\n", url,
         "[SETUP]\r\nRelatorio=" + url + "\r\n;Relatorio=commented\r\n"},
        {"no [SETUP] section", "[COMPONENTS]\r\nSource=1", url,
         "[COMPONENTS]\r\nSource=1\r\n[SETUP]\r\nRelatorio=" + url + "\r\n"},
        {"a header on the last line", "[SETUP]", url, "[SETUP]\r\nRelatorio=" + url + "\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[SETUP]\r\nPackage=Edi\xC3\xA7\xC3\xA3o\r\n", "http://h/\xC3\xA7",
         "\xEF\xBB\xBF[SETUP]\r\nRelatorio=http://h/\xC3\xA7\r\nPackage=Edi\xC3\xA7\xC3\xA3o\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string result = SetReportUrl(c.descriptor, c.written, 1252);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(platform::findProfileValue(platform::decodeProfileText(result, 1252), "SETUP", "Relatorio"),
                  c.written);
    }

    for (const std::string& refused : {std::string("http://h/\r\nVersion=1"), std::string(" http://h/"),
                                       std::string("'http://h/'"), std::string("http://h/\xC4\x9F")})
        EXPECT_THROW(SetReportUrl("[SETUP]\r\n", refused, 1252), PackError) << refused;
    EXPECT_THROW(SetReportUrl(std::string("\xFF\xFE[\0", 4), url, 1252), PackError);

    // Through Pack, on a descriptor file and on built values alike.
    File("KqA.dcu", "a");
    options.reportUrl = url;
    EXPECT_THAT(Pack(options).descriptor, HasSubstr("[SETUP]\r\nRelatorio=" + url + "\r\nVersion=37\r\n"));
    temp.write("instalar.inf", "[SETUP]\nVersion=37\n");
    options.descriptor.reset();
    options.descriptorFile = temp / "instalar.inf";
    Pack(options);
    EXPECT_EQ(List(options.output).descriptor, "[SETUP]\nRelatorio=" + url + "\r\nVersion=37\n");
}

// What the packer refuses, with the reason, leaving no output file (nor a half-written one) behind. An
// existing output stays as it was.
TEST_F(PackTest, RefusalsLeaveNoOutput)
{
    struct Case {
        const char* what;
        std::function<void(Workspace&)> setup;
        std::string message;
    } cases[] = {
        {"missing executable", [](Workspace& t) { t.options.executable = t.temp / "absent.exe"; },
         "The setup executable"},
        {"missing folder", [](Workspace& t) { t.options.folder = t.temp / "absent"; }, "does not exist"},
        {"empty folder",
         [](Workspace& t) {
             t.options.folder = t.temp / "empty";
             fs::create_directory(t.options.folder);
         },
         "nothing to pack"},
        {"subfolder", [](Workspace& t) { fs::create_directory(t.library / "sub"); }, "records are bare files"},
        {"order names a missing file",
         [](Workspace& t) {
             t.temp.write("order.txt", "KqA.dcu\nKqMissing.dcu\n");
             t.options.orderFile = t.temp / "order.txt";
         },
         "KqMissing.dcu\" does not exist"},
        {"missing order file", [](Workspace& t) { t.options.orderFile = t.temp / "absent.txt"; }, "order file"},
        {"reserved character", [](Workspace& t) { t.File("Kq<A>.dcu", "x"); }, "\"<\""},
        {"device name", [](Workspace& t) { t.File("con.dcu", "x"); }, "device name"},
        {"trailing dot", [](Workspace& t) { t.File("KqA.dcu.", "x"); }, "ends with a dot"},
        {"colon", [](Workspace& t) { t.File("Kq:A.dcu", "x"); }, "\":\""},
        {"control character", [](Workspace& t) { t.File("Kq\x01.dcu", "x"); }, "control character"},
        {"name over 255 bytes",
         [](Workspace& t) {
             t.temp.write("order.txt", std::string(256, 'k') + "\n");
             t.options.orderFile = t.temp / "order.txt";
         },
         "256 bytes long"},
        {"name outside the code page", [](Workspace& t) { t.File("KqΩ.dcu", "x"); }, "code page 1252"},
        {"names the same on Windows", [](Workspace& t) { t.File("kqa.DCU", "x"); }, "the same on Windows"},
        {"file over 2 GiB",
         [](Workspace& t) {
             std::ofstream(t.library / "KqHuge.dcu").close();
             fs::resize_file(t.library / "KqHuge.dcu", 2'147'483'648ull); // sparse: nothing is written
         },
         "at most 2,147,483,647"},
        {"archive over 2 GiB",
         [](Workspace& t) {
             std::ofstream(t.library / "KqHuge.dcu").close();
             fs::resize_file(t.library / "KqHuge.dcu", 2'147'483'647ull);
         },
         "archive would be longer"},
        {"descriptor twice",
         [](Workspace& t) {
             t.temp.write("instalar.inf", "[SETUP]\r\n");
             t.options.descriptorFile = t.temp / "instalar.inf";
         },
         "not both"},
        {"no descriptor", [](Workspace& t) { t.options.descriptor.reset(); }, "not both or neither"},
        {"empty descriptor file",
         [](Workspace& t) {
             t.temp.write("instalar.inf", "");
             t.options.descriptor.reset();
             t.options.descriptorFile = t.temp / "instalar.inf";
         },
         "empty"},
        {"list too long for the reader", [](Workspace& t) { t.options.descriptor->files = std::string(2047, 'K'); },
         "at most 2047"},
        {"value with a line break", [](Workspace& t) { t.options.descriptor->package = "Edição\r\nVersion=1"; },
         "line break"},
        {"quoted value", [](Workspace& t) { t.options.descriptor->package = "\"Teste\""; }, "quotes"},
        {"blank in a list", [](Workspace& t) { t.options.descriptor->names = "|TKq A|"; }, "blanks"},
        {"missing output folder", [](Workspace& t) { t.options.output = t.temp / "absent" / "setup.exe"; },
         "output folder"},
    };
    for (const auto& c : cases) {
        Workspace t;
        t.File("KqA.dcu", "a");
        c.setup(t);
        try {
            Pack(t.options);
            ADD_FAILURE() << c.what << ": packed";
        } catch (const PackError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.what;
        }
        EXPECT_THAT(FolderEntries(t.outDir), IsEmpty()) << c.what;
    }

    // An earlier installer of the same name is kept when packing fails.
    File("KqA.dcu", "a");
    temp.write("out/tarvix-setup-37.exe", "earlier installer");
    File("nul", "x");
    EXPECT_THROW(Pack(options), PackError);
    EXPECT_EQ(ReadAll(options.output), "earlier installer");
    EXPECT_EQ(FolderEntries(outDir), std::set<std::string>{"tarvix-setup-37.exe"});
}

TEST_F(PackTest, ListingRefusesWhatTheInstallerWouldRefuse)
{
    File("KqA.dcu", "a");
    Pack(options);
    const std::string good = ReadAll(options.output);

    temp.write("damaged.exe", good.substr(0, good.size() - 1));
    EXPECT_THROW(List(temp / "damaged.exe"), PackError);
    temp.write("plain.exe", "MZ no payload at all");
    EXPECT_THROW(List(temp / "plain.exe"), PackError);

    const std::string evil = test::Record("..\\KqEvil.dcu", "x");
    temp.write("evil.exe", test::Container(evil, "[SETUP]\r\n"));
    try {
        List(temp / "evil.exe");
        ADD_FAILURE() << "listed";
    } catch (const PackError& e) {
        EXPECT_THAT(e.what(), HasSubstr("record 1"));
        EXPECT_THAT(e.what(), HasSubstr("folder separator"));
    }
    const std::string truncated = test::Record("KqA.dcu", "abcdef").substr(0, 14);
    temp.write("truncated.exe", test::Container(truncated, "[SETUP]\r\n"));
    EXPECT_THROW(List(temp / "truncated.exe"), PackError);
}

// ---------------------------------------------------------------------------------------------------------------
// The command line

struct Ran {
    int code = -1;
    std::string out;
};
Ran RunTool(const std::string& args)
{
    const std::string command = std::string(TARVIX_BINARY_DIR) + "/tools/tarvix-pack " + args + " 2>&1";
    Ran ran;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        ran.out.append(buffer, n);
    const int status = ::pclose(pipe);
    ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

TEST_F(PackTest, CommandLinePacksAndLists)
{
    File("KqA.dcu", "aaa");
    File("KqA.dcr", "rr");
    const std::string out = (outDir / "setup").string();
    const Ran packed = RunTool("--exe " + options.executable.string() + " --dir " + library.string() +
                               " --version 37 --package Edicao --names TKqA -o " + out);
    ASSERT_EQ(packed.code, 0) << packed.out;
    const Ran listed = RunTool("--list " + out);
    ASSERT_EQ(listed.code, 0) << listed.out;
    EXPECT_EQ(listed.out, "KqA.dcr\t2\nKqA.dcu\t3\n-- 2 records, archive 29 bytes, descriptor 90 bytes:\n"
                          "[SETUP]\r\nVersion=37\r\nPackage=Edicao\r\n\r\n[COMPONENTS]\r\nSource=0\r\nFiles=|KqA|\r\n"
                          "Names=|TKqA|\r\n");

    const Ran refused = RunTool("--exe " + (temp / "absent").string() + " --dir " + library.string() +
                                " --version 37 -o " + (outDir / "other").string());
    EXPECT_EQ(refused.code, 1);
    EXPECT_THAT(refused.out, HasSubstr("tarvix-pack: The setup executable"));
    EXPECT_FALSE(fs::exists(outDir / "other"));

    const Ran silent = RunTool("--exe " + options.executable.string() + " --dir " + library.string() +
                               " --version 37 --report-url '' -o " + out);
    ASSERT_EQ(silent.code, 0) << silent.out;
    EXPECT_THAT(RunTool("--list " + out).out, HasSubstr("[SETUP]\r\nRelatorio=\r\nVersion=37\r\n"));

    EXPECT_EQ(RunTool("--bogus x").code, 2);
    EXPECT_EQ(RunTool("--exe x --dir y").code, 2);
    EXPECT_EQ(RunTool("--list " + (temp / "absent").string()).code, 1);
}

// ---------------------------------------------------------------------------------------------------------------
// The sample edition (generated by the build) and its installer

const fs::path SampleDir = fs::path(TARVIX_BINARY_DIR) / "sample-edition";

TEST(SampleEdition, ShapedLikeTheShippedPayload)
{
    std::map<std::string, int> byExtension;
    for (const auto& entry : fs::directory_iterator(SampleDir / "files"))
        ++byExtension[entry.path().extension().string()];
    EXPECT_EQ(byExtension,
              (std::map<std::string, int>{{".dcu", 75}, {".dfm", 42}, {".dcr", 42}, {".res", 5}, {".dpk", 1}}));

    const std::string dpk = ReadAll(SampleDir / "files" / "TarvixLib370.dpk");
    EXPECT_EQ(dpk.rfind("package TarvixLib370;\r\n", 0), 0u);
    for (const char* piece :
         {"\r\n{$R *.res}\r\n", "\r\n{$IFDEF IMPLICITBUILDING", "\r\n{$ENDIF IMPLICITBUILDING}\r\n", "{$ALIGN 8}",
          "{$ASSERTIONS ON}", "{$DEBUGINFO OFF}", "{$OPTIMIZATION OFF}", "{$IMAGEBASE $400000}", "{$DEFINE DEBUG}",
          "\r\n{$DESCRIPTION 'Tarvix Library - Components'}\r\n{$IMPLICITBUILD OFF}\r\n",
          "\r\nrequires\r\n  rtl,\r\n  vclx,\r\n  vcl,\r\n  dbrtl,\r\n  vcldb,\r\n  inet,\r\n  dsnap,\r\n"
          "  designide;\r\n"})
        EXPECT_THAT(dpk, HasSubstr(piece));
    EXPECT_THAT(dpk, testing::EndsWith("\r\ncontains\r\n\r\nend.\r\n"));
    EXPECT_EQ(dpk.find("contains"), dpk.rfind("contains")); // the rewriting replaces the first one
    for (std::size_t i = 0; i < dpk.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(dpk[i]), 0x80);
        if (dpk[i] == '\n') {
            ASSERT_EQ(dpk[i - 1], '\r');
        }
    }

    const std::string inf = ReadAll(SampleDir / "instalar.inf");
    EXPECT_EQ(inf.rfind("[SETUP]\r\nVersion=37\r\nPackage=", 0), 0u);
    EXPECT_THAT(inf, HasSubstr("\r\n[COMPONENTS]\r\nSource=0\r\nFiles=|"));
    auto listOf = [&](const std::string& key) {
        const auto at = inf.find("\r\n" + key + "=") + key.size() + 3;
        return inf.substr(at, inf.find("\r\n", at) - at);
    };
    auto count = [](const std::string& list) { return std::count(list.begin(), list.end(), '|') - 1; };
    const std::string files = listOf("Files");
    EXPECT_EQ(count(files), 75);
    EXPECT_EQ(count(listOf("Names")), 68);
    for (const auto& entry : fs::directory_iterator(SampleDir / "files"))
        if (entry.path().extension() == ".dcu") {
            EXPECT_THAT(files, HasSubstr("|" + entry.path().stem().string() + "|"));
        }
}

TEST(SampleEdition, PacksAndUnpacksByteForByte)
{
    test::TempDir temp;
    PackOptions options;
    options.executable = fs::path(TARVIX_BINARY_DIR) / "tools" / "tarvix-setup-placeholder";
    options.folder = SampleDir / "files";
    options.orderFile = SampleDir / "order.txt";
    options.descriptorFile = SampleDir / "instalar.inf";
    options.output = temp / "setup";
    const Listing packed = Pack(options);
    ASSERT_EQ(packed.records.size(), 165u);
    EXPECT_THAT(Names(List(options.output).records), ElementsAreArray(Names(packed.records)));

    test::PayloadSandbox sandbox;
    const Unpacked unpacked = Unpack(sandbox, options.output);
    ASSERT_TRUE(unpacked.ok);
    EXPECT_THAT(unpacked.names, ElementsAreArray(Names(packed.records)));
    for (const auto& record : packed.records)
        ASSERT_EQ(ReadAll(unpacked.work / record.name), ReadAll(options.folder / record.name)) << record.name;
    EXPECT_EQ(unpacked.descriptor, ReadAll(SampleDir / "instalar.inf"));
}

} // namespace
} // namespace tarvix::pack
