// tarvix-sample-edition OUTDIR: writes a sample edition of the Tarvix Library shaped like the shipped payload,
// for the demo, the tests and the sample installer:
//
//   OUTDIR/files/      165 files: 75 compiled units (.dcu), 42 form files (.dfm), 42 component resource files
//                      (.dcr), 4 resource files (.res), the package source TarvixLib370.dpk and TarvixLib370.res
//   OUTDIR/order.txt   the record order for tarvix-pack (one name per line)
//   OUTDIR/instalar.inf the setup descriptor for Delphi 13 (version 37), CR LF
//
// The package source is real text; the contents of the compiled and resource files are deterministic filler
// (the same bytes on every run), sized like the real ones.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Unit {
    const char* name;
    bool dfm;
    bool dcr;
    int classes; // registered component classes (with a .dcr only)
    bool res;
};

// 75 units; 42 with forms, 42 with component resources registering 68 classes, 4 with resource files.
constexpr Unit Units[] = {
    {"KqAbout", true, false, 0, false},     {"KqAnimate", false, true, 2, false},
    {"KqArrowBtn", true, true, 2, false},   {"KqBevel", false, true, 2, false},
    {"KqBitBtn", true, true, 2, false},     {"KqButton", true, true, 2, false},
    {"KqCalc", true, true, 1, true},        {"KqCalendar", true, true, 2, false},
    {"KqCaption", false, true, 1, false},   {"KqCheckBox", true, true, 2, false},
    {"KqChkList", true, true, 1, false},    {"KqClock", true, true, 1, false},
    {"KqColorBox", true, true, 2, false},   {"KqColorGrd", true, true, 1, false},
    {"KqComboBox", true, true, 2, false},   {"KqConsts", false, false, 0, false},
    {"KqCtrls", false, false, 0, false},    {"KqCurrEdit", true, true, 2, false},
    {"KqDateEdit", true, true, 2, false},   {"KqDBCombo", false, true, 2, false},
    {"KqDBEdit", false, true, 2, false},    {"KqDBGrid", true, true, 1, false},
    {"KqDBLabel", false, true, 1, false},   {"KqDBMemo", false, true, 1, false},
    {"KqDBNav", true, true, 1, false},      {"KqDialogs", true, false, 0, false},
    {"KqDirList", true, true, 2, false},    {"KqDragDrop", false, false, 0, false},
    {"KqEdit", true, true, 2, false},       {"KqFileEdit", true, true, 2, false},
    {"KqFindFile", false, true, 1, false},  {"KqFolderDlg", true, true, 1, true},
    {"KqFontBox", true, true, 2, false},    {"KqFormSaver", false, true, 1, false},
    {"KqGauge", true, true, 1, false},      {"KqGradient", false, true, 2, false},
    {"KqGraphics", false, false, 0, false}, {"KqGrid", true, true, 2, false},
    {"KqHeader", true, true, 1, false},     {"KqHint", false, true, 2, false},
    {"KqHotKey", true, true, 1, false},     {"KqImage", true, true, 2, false},
    {"KqImgList", false, true, 1, false},   {"KqIniFile", false, false, 0, false},
    {"KqLabel", true, false, 0, false},     {"KqLed", true, false, 0, false},
    {"KqLibFunc", false, false, 0, false},  {"KqListBox", true, false, 0, false},
    {"KqListView", true, false, 0, false},  {"KqMaskEdit", true, false, 0, false},
    {"KqMemo", true, false, 0, false},      {"KqMenu", true, false, 0, true},
    {"KqMsgDlg", true, false, 0, true},     {"KqNotebook", true, false, 0, false},
    {"KqPageCtrl", true, false, 0, false},  {"KqPanel", true, true, 2, false},
    {"KqProgress", false, true, 2, false},  {"KqRadio", true, true, 2, false},
    {"KqRegMan", false, false, 0, false},   {"KqRegister", false, false, 0, false},
    {"KqScroll", false, false, 0, false},   {"KqShape", false, false, 0, false},
    {"KqSkin", false, false, 0, false},     {"KqSkinHook", false, false, 0, false},
    {"KqSpeedBtn", false, true, 2, false},  {"KqSpin", true, true, 2, false},
    {"KqSplitter", false, false, 0, false}, {"KqStatus", true, false, 0, false},
    {"KqStrings", false, false, 0, false},  {"KqTabs", true, false, 0, false},
    {"KqTimer", false, false, 0, false},    {"KqToolBar", false, false, 0, false},
    {"KqTrackBar", false, false, 0, false}, {"KqTray", false, false, 0, false},
    {"KqTreeView", false, false, 0, false},
};

// FNV-1a of the name: the seed of the file's bytes and size.
uint64_t seedOf(const std::string& name)
{
    uint64_t h = 1469598103934665603ull;
    for (const unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string filler(const std::string& name, std::string head, std::size_t minSize, std::size_t maxSize)
{
    uint64_t state = seedOf(name) | 1;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const std::size_t size = minSize + static_cast<std::size_t>(next() % (maxSize - minSize + 1));
    head.reserve(size);
    while (head.size() < size)
        head.push_back(static_cast<char>(next() >> 56));
    head.resize(size);
    return head;
}

// The empty entry that begins every 32-bit resource file.
std::string resourceHead()
{
    return std::string("\x00\x00\x00\x00\x20\x00\x00\x00\xFF\xFF\x00\x00\xFF\xFF\x00\x00", 16) + std::string(16, '\0');
}

std::string packageSource()
{
    const char* lines[] = {
        "package TarvixLib370;",
        "",
        "{$R *.res}",
        "{$IFDEF IMPLICITBUILDING This IFDEF should not be used by users}",
        "{$ALIGN 8}",
        "{$ASSERTIONS ON}",
        "{$BOOLEVAL OFF}",
        "{$DEBUGINFO OFF}",
        "{$EXTENDEDSYNTAX ON}",
        "{$IMPORTEDDATA ON}",
        "{$IOCHECKS ON}",
        "{$LOCALSYMBOLS ON}",
        "{$LONGSTRINGS ON}",
        "{$OPENSTRINGS ON}",
        "{$OPTIMIZATION OFF}",
        "{$OVERFLOWCHECKS OFF}",
        "{$RANGECHECKS OFF}",
        "{$REFERENCEINFO ON}",
        "{$SAFEDIVIDE OFF}",
        "{$STACKFRAMES ON}",
        "{$TYPEDADDRESS OFF}",
        "{$VARSTRINGCHECKS ON}",
        "{$WRITEABLECONST OFF}",
        "{$MINENUMSIZE 1}",
        "{$IMAGEBASE $400000}",
        "{$DEFINE DEBUG}",
        "{$ENDIF IMPLICITBUILDING}",
        "{$DESCRIPTION 'Tarvix Library - Components'}",
        "{$IMPLICITBUILD OFF}",
        "",
        "requires",
        "  rtl,",
        "  vclx,",
        "  vcl,",
        "  dbrtl,",
        "  vcldb,",
        "  inet,",
        "  dsnap,",
        "  designide;",
        "",
        "contains",
        "",
        "end.",
    };
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

void write(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvix-sample-edition OUTDIR\n");
        return 2;
    }
    try {
        const fs::path out = argv[1];
        const fs::path files = out / "files";
        fs::remove_all(files);
        fs::create_directories(files);

        std::vector<std::string> order;
        std::string unitList = "|", classList = "|";
        auto add = [&](const std::string& name, const std::string& bytes) {
            write(files / name, bytes);
            order.push_back(name);
        };
        for (const Unit& unit : Units) {
            const std::string base = unit.name;
            unitList += base + "|";
            add(base + ".dcu", filler(base + ".dcu", "", 9'000, 46'000));
            if (unit.dfm)
                add(base + ".dfm", filler(base + ".dfm", "TPF0", 600, 6'000));
            if (unit.dcr)
                add(base + ".dcr", filler(base + ".dcr", resourceHead(), 700, 3'000));
            if (unit.res)
                add(base + ".res", filler(base + ".res", resourceHead(), 1'000, 4'000));
            const std::string cls = "T" + base;
            if (unit.classes >= 1)
                classList += cls + "|";
            if (unit.classes >= 2)
                classList += "TKqCustom" + base.substr(2) + "|";
        }
        add("TarvixLib370.dpk", packageSource());
        add("TarvixLib370.res", filler("TarvixLib370.res", resourceHead(), 1'200, 1'200));

        std::string orderText;
        for (const auto& name : order)
            orderText += name + "\n";
        write(out / "order.txt", orderText);
        write(out / "instalar.inf", "[SETUP]\r\nVersion=37\r\nPackage=Tarvix Library Sample Edition\r\n\r\n"
                                    "[COMPONENTS]\r\nSource=0\r\nFiles=" +
                                        unitList + "\r\nNames=" + classList + "\r\n");
        std::printf("sample edition: %zu files in %s\n", order.size(), files.string().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvix-sample-edition: %s\n", e.what());
        return 1;
    }
}
