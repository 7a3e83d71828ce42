#include "tools/sim_dcc32.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii_case.h"

namespace tarvix::tools {

namespace {

using platform::asciiUpperCase;
using platform::endsWithIgnoringAsciiCase;
using platform::equalsIgnoringAsciiCase;
using platform::startsWithIgnoringAsciiCase;

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view UsageLine = "Syntax: dcc32 [options] package[.dpk]";
constexpr std::string_view HelpText =
    "Syntax: dcc32 [options] package[.dpk]\n"
    "\n"
    "A simulation for demos and tests, not a compiler. It reads the package source, checks that every unit the\n"
    "package contains exists (as .pas or .dcu, in the package's folder or a -U folder) and writes a placeholder\n"
    ".bpl and .dcp. Unless --no-config is given, the lines of <package>.cfg beside the package are options too,\n"
    "read before the command line's.\n"
    "\n"
    "  -U<folders>     where units are looked for, \";\"-separated\n"
    "  -LE<folder>     folder of the .bpl (default: the package's folder)\n"
    "  -LN<folder>     folder of the .dcp (default: the package's folder)\n"
    "  --no-config     do not read <package>.cfg\n"
    "  --help, -h, /?  this text\n"
    "\n"
    "Accepted without effect: -B -Q -M -H -W -$<switch> -I -R -D -NS -NO -NU -N -LU, and any other option.";

// ---------------------------------------------------------------------------------------------------------------
// Text and Windows paths (ASCII letter case only, platform/ascii_case.h: the keywords and option letters are
// ASCII, and file names are matched by the host's file system)

std::string_view trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// IDEs quote a folder or a list that may hold spaces, as a whole ("-U\"C:\A;C:\B\"") or item by item. A double
// quote cannot appear in a Windows path, so every one is dropped.
std::string withoutQuotes(std::string_view text)
{
    std::string out;
    for (const char c : text)
        if (c != '"')
            out += c;
    return out;
}

std::vector<std::string> splitList(std::string_view list)
{
    std::vector<std::string> items;
    const std::string unquoted = withoutQuotes(list);
    std::string_view rest = unquoted;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        if (const std::string_view item = trim(rest.substr(0, end)); !item.empty())
            items.emplace_back(item);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return items;
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    std::string path(folder);
    if (!isSeparator(path.back()))
        path += '\\';
    return path + std::string(name);
}

std::size_t nameStart(std::string_view path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator != std::string_view::npos)
        return separator + 1;
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// The folder of a file, without a trailing separator except for a drive's root ("C:\").
std::string folderOf(std::string_view path)
{
    std::size_t end = nameStart(path);
    while (end > 0 && isSeparator(path[end - 1]) && !(end == 3 && path[1] == ':'))
        --end;
    return std::string(path.substr(0, end));
}

std::string_view fileNameOf(std::string_view path)
{
    return path.substr(nameStart(path));
}

bool hasExtension(std::string_view path)
{
    return fileNameOf(path).find('.') != std::string_view::npos;
}

std::string stemOf(std::string_view path)
{
    const std::string_view name = fileNameOf(path);
    return std::string(name.substr(0, name.rfind('.')));
}

// "C:\...", "C:..." (drive-relative, left to the file system) and "\\server\..." are not taken against the
// current folder.
bool isRooted(std::string_view path)
{
    return (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':') ||
           (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

std::string absoluteAgainst(std::string_view folder, std::string_view path)
{
    if (isRooted(path))
        return std::string(path);
    if (!path.empty() && isSeparator(path[0])) // the root of the folder's drive
        return std::string(folder.substr(0, 2)) + std::string(path);
    return joinPath(folder, path);
}

// Lines as an editor counts them: a break is CR LF, LF or a lone CR; a last line without a break counts too.
int lineCount(std::string_view text)
{
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        ++lines;
    return lines;
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------------------------
// The package source

struct Token {
    enum class Kind { Identifier, String, Symbol, EndOfFile };
    Kind kind = Kind::EndOfFile;
    std::string text; // the identifier, the string's value, or the symbol
    int line = 1;
};

// Identifiers may hold letters beyond ASCII (any byte of a UTF-8 sequence) and dots between their parts
// ("Vcl.Forms").
bool startsIdentifier(char c)
{
    return isDriveLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool continuesIdentifier(char c)
{
    return startsIdentifier(c) || (c >= '0' && c <= '9');
}

// Splits the source into tokens; comments are skipped and compiler directives are read on the way.
class PackageLexer {
public:
    explicit PackageLexer(std::string_view text) : text_(text) {}

    Token next()
    {
        skipBlanksAndComments();
        Token token;
        token.line = line_;
        if (atEnd())
            return token;
        const char c = text_[pos_];
        if (startsIdentifier(c)) {
            token.kind = Token::Kind::Identifier;
            token.text = identifier();
        } else if (c == '\'') {
            token.kind = Token::Kind::String;
            token.text = quoted();
        } else {
            token.kind = Token::Kind::Symbol;
            token.text = std::string(1, c);
            advance();
        }
        return token;
    }

    // The last {$LIBSUFFIX} met so far.
    const std::string& libSuffix() const { return libSuffix_; }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    bool lookingAt(std::string_view s) const { return text_.substr(pos_).starts_with(s); }

    void advance()
    {
        const char c = text_[pos_++];
        if (c == '\n' || (c == '\r' && (atEnd() || text_[pos_] != '\n')))
            ++line_;
    }

    // Moves past `close` (or to the end); returns what lay before it.
    std::string_view skipPast(std::string_view close)
    {
        const std::size_t start = pos_;
        while (!atEnd() && !lookingAt(close))
            advance();
        const std::string_view inside = text_.substr(start, pos_ - start);
        for (std::size_t i = 0; i < close.size() && !atEnd(); ++i)
            advance();
        return inside;
    }

    void skipBlanksAndComments()
    {
        while (!atEnd()) {
            if (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n') {
                advance();
            } else if (lookingAt("//")) {
                while (!atEnd() && text_[pos_] != '\r' && text_[pos_] != '\n')
                    advance();
            } else if (lookingAt("{")) {
                advance();
                commentOrDirective(skipPast("}"));
            } else if (lookingAt("(*")) {
                advance();
                advance();
                commentOrDirective(skipPast("*)"));
            } else {
                return;
            }
        }
    }

    void commentOrDirective(std::string_view body)
    {
        if (!body.starts_with('$'))
            return;
        body.remove_prefix(1);
        const std::size_t nameEnd = body.find_first_of(" \t\r\n");
        if (!equalsIgnoringAsciiCase(body.substr(0, nameEnd), "LIBSUFFIX") || nameEnd == std::string_view::npos)
            return;
        // The suffix in apostrophes or double quotes.
        const std::string_view argument = trim(body.substr(nameEnd));
        if (argument.size() >= 2 && (argument[0] == '\'' || argument[0] == '"')) {
            const std::size_t close = argument.find(argument[0], 1);
            if (close != std::string_view::npos)
                libSuffix_ = std::string(argument.substr(1, close - 1));
        }
    }

    std::string identifier()
    {
        const std::size_t start = pos_;
        while (!atEnd() && (continuesIdentifier(text_[pos_]) ||
                            (text_[pos_] == '.' && pos_ + 1 < text_.size() && startsIdentifier(text_[pos_ + 1]))))
            advance();
        return std::string(text_.substr(start, pos_ - start));
    }

    // 'text', an apostrophe inside doubled.
    std::string quoted()
    {
        std::string value;
        advance();
        while (!atEnd()) {
            if (text_[pos_] == '\'') {
                advance();
                if (atEnd() || text_[pos_] != '\'')
                    break;
            }
            value += text_[pos_];
            advance();
        }
        return value;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::string libSuffix_;
};

struct ContainedUnit {
    std::string name;
    std::string inFile; // the file after "in", empty without one
    int line = 0;
};

struct PackageSource {
    std::string name;
    int nameLine = 1;
    std::string libSuffix;
    std::vector<std::string> requiredPackages;
    std::vector<ContainedUnit> units;
};

struct SyntaxError {
    int line;
    std::string message;
};

// package Name; [requires A, B;] [contains U1, U2 in 'U2.pas';] end.
class PackageParser {
public:
    explicit PackageParser(std::string_view text) : lexer_(text) { advance(); }

    PackageSource parse()
    {
        PackageSource package;
        if (!isWord("package"))
            fail("'package'");
        advance();
        package.nameLine = current_.line;
        package.name = expectIdentifier();
        expectSymbol(';');
        if (isWord("requires")) {
            advance();
            do
                package.requiredPackages.push_back(expectIdentifier());
            while (acceptSymbol(','));
            expectSymbol(';');
        }
        if (isWord("contains")) {
            advance();
            do
                package.units.push_back(containedUnit());
            while (acceptSymbol(','));
            expectSymbol(';');
        }
        if (!isWord("end"))
            fail("'end'");
        advance();
        expectSymbol('.');
        package.libSuffix = lexer_.libSuffix();
        return package;
    }

private:
    ContainedUnit containedUnit()
    {
        ContainedUnit unit;
        unit.line = current_.line;
        unit.name = expectIdentifier();
        if (isWord("in")) {
            advance();
            if (current_.kind != Token::Kind::String)
                fail("String constant");
            unit.inFile = current_.text;
            advance();
        }
        return unit;
    }

    void advance() { current_ = lexer_.next(); }

    bool isWord(std::string_view word) const
    {
        return current_.kind == Token::Kind::Identifier && equalsIgnoringAsciiCase(current_.text, word);
    }

    bool isReservedWord() const { return isWord("end") || isWord("in"); }

    std::string expectIdentifier()
    {
        if (current_.kind != Token::Kind::Identifier || isReservedWord())
            fail("Identifier");
        std::string name = current_.text;
        advance();
        return name;
    }

    bool acceptSymbol(char symbol)
    {
        if (current_.kind != Token::Kind::Symbol || current_.text[0] != symbol)
            return false;
        advance();
        return true;
    }

    void expectSymbol(char symbol)
    {
        if (!acceptSymbol(symbol))
            fail("'" + std::string(1, symbol) + "'");
    }

    std::string found() const
    {
        switch (current_.kind) {
        case Token::Kind::Identifier: {
            if (!isReservedWord())
                return "identifier '" + current_.text + "'";
            return "'" + asciiUpperCase(current_.text) + "'";
        }
        case Token::Kind::String: return "string constant";
        case Token::Kind::Symbol: return "'" + current_.text + "'";
        case Token::Kind::EndOfFile: break;
        }
        return "end of file";
    }

    [[noreturn]] void fail(const std::string& expected) const
    {
        throw SyntaxError{current_.line, "E2029 " + expected + " expected but " + found() + " found"};
    }

    PackageLexer lexer_;
    Token current_;
};

// ---------------------------------------------------------------------------------------------------------------
// Options

// Only the options that change what the simulation does are kept; the others are accepted without effect, and
// unknown ones are ignored, as a lenient compiler does.
struct Options {
    bool noConfig = false;
    std::vector<std::string> unitFolders;
    std::string bplFolder;
    std::string dcpFolder;
};

// A bare "-h" asks for help; "-H", "-H+" and "-H-" switch hints, as in the real compiler.
bool isHelpRequest(std::string_view argument)
{
    return argument == "--help" || argument == "-h" || argument == "-?" || argument == "/?";
}

void applyOption(Options& options, std::string_view option)
{
    const std::string_view body = option.substr(1);
    if (equalsIgnoringAsciiCase(option, "--no-config")) {
        options.noConfig = true;
    } else if (startsWithIgnoringAsciiCase(body, "LE")) {
        options.bplFolder = withoutQuotes(trim(body.substr(2)));
    } else if (startsWithIgnoringAsciiCase(body, "LN")) {
        options.dcpFolder = withoutQuotes(trim(body.substr(2)));
    } else if (startsWithIgnoringAsciiCase(body, "U")) {
        for (std::string& folder : splitList(body.substr(1)))
            options.unitFolders.push_back(std::move(folder));
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The files written: deterministic text naming what the package would hold, so that a reader can tell the
// simulation's files from real ones. The .bpl starts with "MZ" as a Windows image does.

std::string packageListing(const PackageSource& package)
{
    std::string text = "package " + package.name + "\r\n";
    for (const std::string& required : package.requiredPackages)
        text += "requires " + required + "\r\n";
    for (const ContainedUnit& unit : package.units)
        text += "contains " + unit.name + "\r\n";
    return text;
}

std::string bplImage(const PackageSource& package)
{
    return "MZ\r\nTarvix simulated package library: not a Windows program (written by the simulated compiler "
           "for demos and tests)\r\n" +
           packageListing(package);
}

std::string dcpImage(const PackageSource& package)
{
    return "Tarvix simulated compiled package: not a real .dcp (written by the simulated compiler for demos and "
           "tests)\r\n" +
           packageListing(package);
}

// ---------------------------------------------------------------------------------------------------------------
// One run

class Compilation {
public:
    explicit Compilation(SimDcc32Host& host) : host_(host), currentFolder_(host.currentDirectory()) {}

    int run(const std::vector<std::string>& arguments)
    {
        writeLine(SimDcc32Banner);
        std::optional<std::string> project;
        std::vector<std::string_view> commandLineOptions;
        for (const std::string& argument : arguments) {
            if (isHelpRequest(argument)) {
                printHelp();
                return SimDcc32Success;
            }
            if (argument.starts_with('-'))
                commandLineOptions.push_back(argument);
            else if (!project && !argument.empty())
                project = withoutQuotes(argument);
        }
        if (!project) {
            writeLine(UsageLine);
            return SimDcc32Failure;
        }

        const std::string projectName = projectFileName(*project);
        const std::string projectPath = absolute(projectName);
        const std::optional<std::string> source = readText(projectPath);
        if (!source) {
            writeLine("Fatal: F1026 File not found: '" + projectName + "'");
            return SimDcc32Failure;
        }

        Options commandLine;
        for (const std::string_view option : commandLineOptions)
            applyOption(commandLine, option);
        // The configuration file's options come first, so that the command line's win.
        Options options;
        if (!commandLine.noConfig)
            for (const std::string& option : configOptions(projectPath))
                applyOption(options, option);
        for (const std::string_view option : commandLineOptions)
            applyOption(options, option);
        return compile(projectPath, *source, options);
    }

private:
    void writeLine(std::string_view utf8) { host_.writeOutput(host_.encodeOem(utf8) + "\r\n"); }
    // A lone CR: the next text overwrites this one on a console.
    void writeProgress(std::string_view utf8) { host_.writeOutput(host_.encodeOem(utf8) + "\r"); }

    void printHelp()
    {
        for (const std::string_view line : splitLines(HelpText))
            writeLine(line);
    }

    std::string absolute(std::string_view path) const { return absoluteAgainst(currentFolder_, path); }

    // A name without extension is the package of that name when there is one.
    std::string projectFileName(const std::string& argument)
    {
        if (hasExtension(argument))
            return argument;
        const std::string package = argument + ".dpk";
        if (!host_.fileExists(absolute(package)) && host_.fileExists(absolute(argument)))
            return argument;
        return package;
    }

    // A text file's bytes as UTF-8: after a UTF-8 byte-order mark as they are, else in the ANSI code page.
    std::optional<std::string> readText(const std::string& path)
    {
        if (!host_.fileExists(path))
            return std::nullopt;
        const std::optional<std::string> bytes = host_.readFile(path);
        if (!bytes)
            return std::nullopt;
        if (std::string_view(*bytes).starts_with(Utf8Bom))
            return bytes->substr(Utf8Bom.size());
        return host_.decodeAnsi(*bytes);
    }

    std::vector<std::string> configOptions(const std::string& projectPath)
    {
        std::vector<std::string> options;
        const std::optional<std::string> text = readText(joinPath(folderOf(projectPath), stemOf(projectPath) + ".cfg"));
        if (!text)
            return options;
        for (const std::string_view line : splitLines(*text))
            if (const std::string_view option = trim(line); option.starts_with('-'))
                options.emplace_back(option);
        return options;
    }

    // The `in` file first, then Unit.pas and Unit.dcu in each folder searched.
    std::optional<std::string> findUnit(const ContainedUnit& unit, const std::vector<std::string>& folders)
    {
        if (!unit.inFile.empty()) {
            const std::string inFile = absoluteAgainst(folders.front(), unit.inFile);
            if (host_.fileExists(inFile))
                return inFile;
        }
        for (const std::string& folder : folders)
            for (const char* extension : {".pas", ".dcu"})
                if (const std::string file = joinPath(folder, unit.name + extension); host_.fileExists(file))
                    return file;
        return std::nullopt;
    }

    int compile(const std::string& projectPath, const std::string& source, const Options& options)
    {
        PackageSource package;
        try {
            package = PackageParser(source).parse();
        } catch (const SyntaxError& error) {
            writeLine(projectPath + "(" + std::to_string(error.line) + ") Error: " + error.message);
            return SimDcc32Failure;
        }

        const std::string packageFolder = folderOf(projectPath);
        std::vector<std::string> folders{packageFolder};
        for (const std::string& folder : options.unitFolders)
            folders.push_back(absolute(folder));
        const std::optional<int> unitLines = compileUnits(projectPath, package, folders);
        if (!unitLines)
            return SimDcc32Failure;
        writeLine(projectPath + "(" + std::to_string(package.nameLine) +
                  ") Warning: W1057 Implicit string cast from 'AnsiString' to 'string'");

        const std::string bpl = bplImage(package);
        const std::string dcp = dcpImage(package);
        const std::string bplPath =
            joinPath(outputFolder(options.bplFolder, packageFolder), package.name + package.libSuffix + ".bpl");
        const std::string dcpPath = joinPath(outputFolder(options.dcpFolder, packageFolder), package.name + ".dcp");
        if (!writeOutputs({{bplPath, bpl}, {dcpPath, dcp}}))
            return SimDcc32Failure;

        const int lines = lineCount(source) + *unitLines;
        for (int quarter = 1; quarter <= 4; ++quarter)
            writeProgress(std::to_string(lines * quarter / 4) + " lines");
        writeLine(std::to_string(lines) + " lines, 0.01 seconds, " + std::to_string(bpl.size()) + " bytes code, " +
                  std::to_string(dcp.size()) + " bytes data.");
        return SimDcc32Success;
    }

    // One line per contained unit, in clause order; the lines of the units read as source, or nothing when a
    // unit is missing.
    std::optional<int> compileUnits(const std::string& projectPath, const PackageSource& package,
                                    const std::vector<std::string>& folders)
    {
        int lines = 0;
        for (const ContainedUnit& unit : package.units) {
            const std::optional<std::string> file = findUnit(unit, folders);
            if (!file) {
                writeLine(projectPath + "(" + std::to_string(unit.line) + ") Fatal: F1026 File not found: '" +
                          unit.name + ".dcu'");
                return std::nullopt;
            }
            writeLine("Compiling " + unit.name + " (" + *file + ")");
            if (endsWithIgnoringAsciiCase(*file, ".pas"))
                lines += lineCount(host_.readFile(*file).value_or(""));
        }
        return lines;
    }

    std::string outputFolder(const std::string& option, const std::string& packageFolder) const
    {
        return option.empty() ? packageFolder : absolute(option);
    }

    // Every folder is checked before the first file is written, so that a missing one leaves nothing behind.
    bool writeOutputs(const std::vector<std::pair<std::string, std::string>>& files)
    {
        for (const auto& [path, bytes] : files)
            if (!host_.directoryExists(folderOf(path)))
                return cannotCreate(path);
        for (const auto& [path, bytes] : files)
            if (!host_.writeFile(path, bytes))
                return cannotCreate(path);
        return true;
    }

    bool cannotCreate(const std::string& path)
    {
        writeLine("Fatal: F2039 Could not create output file '" + path + "'");
        return false;
    }

    SimDcc32Host& host_;
    const std::string currentFolder_;
};

} // namespace

int SimDcc32::run(const std::vector<std::string>& arguments)
{
    return Compilation(host_).run(arguments);
}

} // namespace tarvix::tools
