#include "ideservices/ide_msbuild_parser.h"

#include "ideservices/ide_errors.h"
#include "ideservices/ide_reference_expansion.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace tarvix {

namespace {

constexpr std::string_view kMsBuildNamespace = "http://schemas.microsoft.com/developer/msbuild/2003";
constexpr std::size_t kMaxImportDepth = 64;

std::string Quoted(std::string_view s)
{
    return "\"" + std::string(s) + "\"";
}

[[noreturn]] void UnknownElement(pugi::xml_node node)
{
    throw EIdeMsBuildError("Unknown element " + Quoted(node.name()));
}

[[noreturn]] void UnknownProperty(pugi::xml_attribute attribute)
{
    throw EIdeMsBuildError("Unknown property " + Quoted(attribute.name()));
}

std::string_view NodeKindName(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_pcdata: return "Text";
    case pugi::node_cdata: return "CData";
    case pugi::node_comment: return "Comment";
    case pugi::node_pi: return "ProcessingInstruction";
    case pugi::node_declaration: return "Declaration";
    case pugi::node_doctype: return "DocType";
    case pugi::node_element: return "Element";
    default: return "Unknown";
    }
}

[[noreturn]] void UnsupportedChild(pugi::xml_node child, pugi::xml_node parent)
{
    throw EIdeMsBuildError("Unsupported child type " + Quoted(NodeKindName(child)) + " in element " +
                           Quoted(parent.name()));
}

// Only the listed attributes may appear on an element.
void AllowAttributes(pugi::xml_node element, std::initializer_list<std::string_view> allowed)
{
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        bool ok = false;
        for (std::string_view name : allowed)
            if (name == a.name())
                ok = true;
        if (!ok)
            UnknownProperty(a);
    }
}

bool Is(pugi::xml_node node, std::string_view name)
{
    return node.type() == pugi::node_element && name == node.name();
}

// Characters of XML names as property names use them (":" left out: a name with a colon is not a property).
bool IsNameChar(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || u >= 0x80;
}

bool IsName(std::string_view s)
{
    for (char c : s)
        if (!IsNameChar(c))
            return false;
    return true;
}

// A name an element can carry: name characters, not starting with a digit, "-" or ".".
bool IsElementName(std::string_view s)
{
    if (s.empty() || !IsName(s))
        return false;
    char c = s[0];
    return !((c >= '0' && c <= '9') || c == '-' || c == '.');
}

std::string ElementText(pugi::xml_node element)
{
    std::string text;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata)
            text += c.value();
    return text;
}

void SetElementText(pugi::xml_node element, std::string_view value)
{
    pugi::xml_node before; // the node the text goes after; null: at the front
    bool hadText = false;
    for (pugi::xml_node c = element.first_child(); c;) {
        pugi::xml_node next = c.next_sibling();
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            if (!hadText)
                before = c.previous_sibling();
            hadText = true;
            element.remove_child(c);
        }
        c = next;
    }
    if (value.empty())
        return;
    std::string v(value);
    pugi::xml_node text;
    if (!hadText)
        text = element.append_child(pugi::node_pcdata);
    else if (before)
        text = element.insert_child_after(pugi::node_pcdata, before);
    else
        text = element.prepend_child(pugi::node_pcdata);
    text.set_value(v.c_str());
}

std::vector<std::string> SplitTargets(std::string_view s)
{
    std::vector<std::string> r;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find(';', start);
        if (end == std::string_view::npos)
            end = s.size();
        std::string part(s.substr(start, end - start));
        if (!part.empty())
            r.push_back(part);
        start = end + 1;
    }
    return r;
}

std::string JoinTargets(const std::vector<std::string>& parts)
{
    std::string r;
    for (const std::string& p : parts)
        r += (r.empty() ? "" : ";") + p;
    return r;
}

bool ParseInt64(std::string_view s, int64_t& out)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return false;
    if (base == 10 && v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0))
        return false;
    out = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

int64_t ToInt64(std::string_view s)
{
    int64_t v = 0;
    if (!ParseInt64(s, v))
        throw EIdeMsBuildError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

bool ToBoolean(std::string_view s)
{
    if (platform::equalsIgnoringAsciiCase(s, "true"))
        return true;
    if (platform::equalsIgnoringAsciiCase(s, "false"))
        return false;
    int64_t v = 0;
    if (ParseInt64(s, v))
        return v != 0;
    throw EIdeMsBuildError("'" + std::string(s) + "' is not a valid boolean value");
}

std::string BooleanText(bool b)
{
    return b ? "True" : "False";
}

} // namespace

// --- Conditions ---
//
// condition := term { ("and" | "or") term }        evaluated from left to right, no precedence
// term      := "(" condition ")" [ compare operand ] | operand [ compare operand ]
// operand   := 'text' | name | $(...) | "!" operand | Exists(operand) | HasTrailingSlash(operand) | "(" condition ")"
//
// Once the outcome of an "and"/"or" is known, the rest is still read (so that a malformed condition is always
// reported) but not evaluated.
class TIdeMsBuildConditionReader {
public:
    TIdeMsBuildConditionReader(TIdeMsBuildParser& parser, std::string_view condition) : P(parser), C(condition) {}

    bool Read()
    {
        SkipBlanks();
        if (Pos == C.size())
            return true;
        bool r = Condition(true);
        SkipBlanks();
        if (Pos < C.size()) {
            if (C[Pos] == ')')
                Fail("missing parenthesis");
            Fail("unknown operator");
        }
        return r;
    }

private:
    [[noreturn]] void Fail(std::string_view what) const
    {
        throw EIdeMsBuildError("Invalid condition: " + std::string(what) + " in condition " + Quoted(C));
    }

    void SkipBlanks()
    {
        while (Pos < C.size() && (C[Pos] == ' ' || C[Pos] == '\t' || C[Pos] == '\r' || C[Pos] == '\n'))
            ++Pos;
    }

    std::string_view PeekWord() const
    {
        std::size_t end = Pos;
        while (end < C.size() && IsNameChar(C[end]))
            ++end;
        return C.substr(Pos, end - Pos);
    }

    bool Condition(bool active)
    {
        bool r = Term(active);
        for (;;) {
            SkipBlanks();
            if (Pos == C.size() || C[Pos] == ')')
                return r;
            std::string_view word = PeekWord();
            if (platform::equalsIgnoringAsciiCase(word, "and")) {
                Pos += word.size();
                bool rhs = Term(active && r);
                r = r && rhs;
            } else if (platform::equalsIgnoringAsciiCase(word, "or")) {
                Pos += word.size();
                bool rhs = Term(active && !r);
                r = r || rhs;
            } else {
                Fail("unknown operator");
            }
        }
    }

    // "(" condition ")": the opening parenthesis is at Pos.
    bool Group(bool active)
    {
        ++Pos;
        bool r = Condition(active);
        SkipBlanks();
        if (Pos >= C.size() || C[Pos] != ')')
            Fail("missing parenthesis");
        ++Pos;
        return r;
    }

    // A comparison operator at Pos, consumed; empty when none.
    std::string_view Comparison()
    {
        SkipBlanks();
        for (std::string_view op : {"==", "!=", "<=", ">=", "<", ">"})
            if (C.substr(Pos, op.size()) == op) {
                Pos += op.size();
                return op;
            }
        return {};
    }

    bool Term(bool active)
    {
        SkipBlanks();
        if (Pos >= C.size())
            Fail("end of string");
        std::string lhs = Operand(active);
        std::string_view op = Comparison();
        if (op.empty()) {
            RequireTermEnd();
            return active ? ToBoolean(lhs) : false;
        }
        std::string rhs = Operand(active);
        RequireTermEnd();
        if (!active)
            return false;
        if (op == "==")
            return lhs == rhs;
        if (op == "!=")
            return lhs != rhs;
        int64_t a = ToInt64(lhs), b = ToInt64(rhs);
        if (op == "<")
            return a < b;
        if (op == "<=")
            return a <= b;
        if (op == ">")
            return a > b;
        return a >= b;
    }

    // What may follow a term: the end, a closing parenthesis, "and" or "or". Checked before the operands are
    // converted, so that a malformed condition is reported as such.
    void RequireTermEnd()
    {
        SkipBlanks();
        if (Pos == C.size() || C[Pos] == ')')
            return;
        std::string_view word = PeekWord();
        if (!platform::equalsIgnoringAsciiCase(word, "and") && !platform::equalsIgnoringAsciiCase(word, "or"))
            Fail("unknown operator");
    }

    std::string Operand(bool active)
    {
        SkipBlanks();
        if (Pos >= C.size())
            Fail("end of string");
        char c = C[Pos];
        if (c == '\'') {
            std::size_t start = ++Pos;
            while (Pos < C.size() && C[Pos] != '\'') {
                // A reference inside the quotes may hold quotes of its own ($(X.Replace('a','b'))).
                if ((C[Pos] == '$' || C[Pos] == '@' || C[Pos] == '%') && Pos + 1 < C.size() && C[Pos + 1] == '(') {
                    std::size_t close = ide::FindClosing(C, Pos + 1);
                    if (close == std::string_view::npos)
                        Fail("end of string");
                    Pos = close + 1;
                } else {
                    ++Pos;
                }
            }
            if (Pos >= C.size())
                Fail("end of string");
            std::string_view text = C.substr(start, Pos - start);
            ++Pos;
            return active ? P.EvaluateString(text) : std::string();
        }
        if (c == '!') {
            ++Pos;
            std::string inner = Operand(active);
            return active ? BooleanText(!ToBoolean(inner)) : std::string();
        }
        if (c == '(')
            return BooleanText(Group(active));
        if ((c == '$' || c == '@' || c == '%') && Pos + 1 < C.size() && C[Pos + 1] == '(') {
            std::size_t close = ide::FindClosing(C, Pos + 1);
            if (close == std::string_view::npos)
                Fail("missing parenthesis");
            std::string_view ref = C.substr(Pos, close + 1 - Pos);
            Pos = close + 1;
            return active ? P.EvaluateString(ref) : std::string();
        }
        std::string_view word = PeekWord();
        if (word.empty())
            Fail("unknown operator");
        Pos += word.size();
        std::size_t afterWord = Pos;
        SkipBlanks();
        if (Pos < C.size() && C[Pos] == '(') {
            bool exists = platform::equalsIgnoringAsciiCase(word, "Exists");
            if (!exists && !platform::equalsIgnoringAsciiCase(word, "HasTrailingSlash"))
                Fail("unknown operator");
            ++Pos;
            std::string arg = Operand(active);
            SkipBlanks();
            if (Pos >= C.size() || C[Pos] != ')')
                Fail("missing parenthesis");
            ++Pos;
            if (!active)
                return std::string();
            if (exists)
                return BooleanText(PathExists(arg));
            return BooleanText(!arg.empty() && arg.back() == '\\');
        }
        Pos = afterWord;
        return active ? P.EvaluateString(word) : std::string();
    }

    bool PathExists(const std::string& path) const
    {
        if (path.empty())
            return false;
        std::string full = P.ResolveFileName(path);
        platform::FileSystem& files = platform::current().files();
        return files.fileExists(full) || files.directoryExists(full);
    }

    TIdeMsBuildParser& P;
    std::string_view C;
    std::size_t Pos = 0;
};

// --- Construction and loading ---

TIdeMsBuildParser::TIdeMsBuildParser(const std::string& AFileName, TIdeXmlEncoding Encoding, uint32_t CodePage)
    : TIdeMsBuildParser(AFileName, LoadFile(AFileName, Encoding, CodePage), {})
{}

TIdeMsBuildParser::TIdeMsBuildParser(const std::string& AFileName, const std::vector<std::string>& ExtraImportsFileName,
                                     TIdeXmlEncoding Encoding, uint32_t CodePage)
    : TIdeMsBuildParser(AFileName, LoadFile(AFileName, Encoding, CodePage), ExtraImportsFileName)
{}

std::unique_ptr<TIdeMsBuildParser> TIdeMsBuildParser::FromBytes(const std::string& AFileName, std::string_view Bytes,
                                                                const std::vector<std::string>& ExtraImportsFileName,
                                                                TIdeXmlEncoding Encoding, uint32_t CodePage)
{
    return std::unique_ptr<TIdeMsBuildParser>(
        new TIdeMsBuildParser(AFileName, LoadBytes(Bytes, Encoding, CodePage, AFileName), ExtraImportsFileName));
}

TIdeMsBuildParser::TIdeMsBuildParser(const std::string& AFileName, pugi::xml_document& Xml)
    : FCurrentFileName(AFileName),
      FProjectFileName(AFileName),
      FXml(&Xml),
      FOwnsXml(false),
      FProperties(std::make_unique<TIdeMsBuildProperties>(this)),
      FReadCodePage(platform::codepage::Utf8),
      FSaveCodePage(platform::codepage::Utf8)
{}

TIdeMsBuildParser::TIdeMsBuildParser(const std::string& AFileName, LoadedFile Loaded,
                                     const std::vector<std::string>& ExtraImports)
    : FCurrentFileName(AFileName),
      FProjectFileName(AFileName),
      FXml(Loaded.Xml.release()),
      FOwnsXml(true),
      FProperties(std::make_unique<TIdeMsBuildProperties>(this)),
      FReadCodePage(Loaded.ReadCodePage),
      FSaveCodePage(Loaded.SaveCodePage)
{
    InsertExtraImports(ExtraImports);
}

TIdeMsBuildParser::~TIdeMsBuildParser()
{
    if (FOwnsXml)
        delete FXml;
}

TIdeMsBuildParser::LoadedFile TIdeMsBuildParser::LoadBytes(std::string_view Bytes, TIdeXmlEncoding Encoding,
                                                           uint32_t CodePage, std::string_view FileName)
{
    TIdeXmlTextInfo text = ide::DecodeXmlBytes(
        Bytes, Encoding, CodePage, [] { return platform::current().shell().ansiCodePage(); }, FileName);
    LoadedFile loaded;
    loaded.Xml = std::make_unique<pugi::xml_document>();
    ide::LoadXmlDocument(*loaded.Xml, text.Utf8, FileName);
    loaded.ReadCodePage = text.ReadCodePage;
    loaded.SaveCodePage = text.SaveCodePage();
    return loaded;
}

TIdeMsBuildParser::LoadedFile TIdeMsBuildParser::LoadFile(const std::string& FileName, TIdeXmlEncoding Encoding,
                                                          uint32_t CodePage)
{
    std::string bytes = platform::current().files().readFile(FileName);
    return LoadBytes(bytes, Encoding, CodePage, FileName);
}

void TIdeMsBuildParser::InsertExtraImports(const std::vector<std::string>& ExtraImports)
{
    pugi::xml_node root = FXml->document_element();
    if (!root)
        return;
    pugi::xml_node previous;
    for (const std::string& file : ExtraImports) {
        pugi::xml_node import = previous ? root.insert_child_after("Import", previous) : root.prepend_child("Import");
        import.append_attribute("Project").set_value(file.c_str());
        previous = import;
    }
}

// --- Properties from outside ---

void TIdeMsBuildParser::Init()
{
    InitReservedProperties();
    platform::Shell& shell = platform::current().shell();
    TIdeMsBuildPropertyList& env = FProperties->EnvironmentProperties();
    env.Clear();
    for (const std::string& entry : shell.environmentStrings()) {
        // "=C:=C:\dir" entries (the current folder per drive) are not variables.
        std::size_t eq = entry.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        std::string name = entry.substr(0, eq);
        if (env.IndexOfName(name) >= 0)
            continue;
        env.Add(name, shell.expandEnvironmentStrings(entry.substr(eq + 1)));
    }
}

void TIdeMsBuildParser::InitReservedProperties()
{
    platform::System& system = platform::current();
    if (FDotNetFolder.empty()) {
        for (const std::string& folder : system.shell().dotNetFrameworkFolders()) {
            std::string dir = platform::excludeTrailingBackslash(folder);
            if (system.files().fileExists(platform::includeTrailingBackslash(dir) + "MSBuild.exe")) {
                FDotNetFolder = dir;
                FDotNetVersion = ide::ExtractFileName(dir);
                break;
            }
        }
        if (FDotNetFolder.empty())
            throw EIdeMsBuildError("Unable to locate MSBuild.exe");
    }

    std::string full = FProjectFileName;
    if (!ide::IsAbsoluteWindowsPath(full))
        full = platform::includeTrailingBackslash(system.files().currentDirectory()) + full;
    full = ide::NormalizeWindowsPath(full);
    const std::string dir = platform::excludeTrailingBackslash(ide::ExtractFileDir(full));
    const std::string drive = ide::ExtractFileDrive(dir);
    std::string noRoot = dir.substr(drive.size());
    if (!noRoot.empty() && noRoot[0] == '\\')
        noRoot.erase(0, 1);

    TIdeMsBuildPropertyList& r = FProperties->ReservedProperties();
    r.Clear();
    r.SetValues("MSBuildProjectDirectory", dir);
    r.SetValues("MSBuildProjectFile", ide::ExtractFileName(full));
    r.SetValues("MSBuildProjectExtension", ide::ExtractFileExt(full));
    r.SetValues("MSBuildProjectFullPath", full);
    r.SetValues("MSBuildProjectName", ide::ChangeFileExt(ide::ExtractFileName(full), ""));
    r.SetValues("MSBuildToolsVersion", FDotNetVersion);
    r.SetValues("MSBuildBinPath", FDotNetFolder);
    r.SetValues("MSBuildToolsPath", FDotNetFolder);
    r.SetValues("MSBuildStartupDirectory",
                FWorkingDirectory.empty() ? dir : platform::excludeTrailingBackslash(FWorkingDirectory));
    r.SetValues("MSBuildNodeCount", "1");
    r.SetValues("MSBuildLastTaskResult", "true");
    r.SetValues("MSBuildProgramFiles32", platform::excludeTrailingBackslash(system.shell().programFiles32Folder()));
    r.SetValues("MSBuildProjectDirectoryNoRoot", noRoot);
    if (!FDefaultTargets.empty())
        r.SetValues("MSBuildProjectDefaultTargets", JoinTargets(FDefaultTargets));
    FReservedInitialized = true;
    UpdateThisFileProperties();
}

void TIdeMsBuildParser::UpdateThisFileProperties()
{
    if (!FReservedInitialized)
        return;
    std::string full = FCurrentFileName;
    if (!ide::IsAbsoluteWindowsPath(full))
        full = platform::includeTrailingBackslash(platform::current().files().currentDirectory()) + full;
    full = ide::NormalizeWindowsPath(full);
    TIdeMsBuildPropertyList& r = FProperties->ReservedProperties();
    r.SetValues("MSBuildThisFile", ide::ExtractFileName(full));
    r.SetValues("MSBuildThisFileDirectory", platform::excludeTrailingBackslash(ide::ExtractFileDir(full)));
}

void TIdeMsBuildParser::MergeEnvironmentProperties(const TIdeNameValueList& SystemEnvironmentProperties)
{
    TIdeMsBuildPropertyList& env = FProperties->EnvironmentProperties();
    for (int i = 0; i < env.Count(); ++i) {
        for (const auto& [name, value] : SystemEnvironmentProperties) {
            if (!platform::equalsIgnoringAsciiCase(name, env.Names(i)))
                continue;
            if (!value.empty())
                env.SetValueFromIndex(i, value);
            break;
        }
    }
}

std::string TIdeMsBuildParser::Values(std::string_view Name) const
{
    return FProperties->Values(Name);
}

void TIdeMsBuildParser::SetValues(std::string_view Name, std::string_view Value)
{
    FProperties->SetValues(Name, Value);
}

// --- Document evaluation ---

void TIdeMsBuildParser::Parse()
{
    FFirstPropertyGroup = pugi::xml_node();
    FProjectExtensions = pugi::xml_node();
    FCurrentFileName = FProjectFileName;
    FImportStack.clear();
    UpdateThisFileProperties();
    ParseProject(FXml->document_element());
}

void TIdeMsBuildParser::ParseProject(pugi::xml_node Root)
{
    if (!Is(Root, "Project"))
        throw EIdeMsBuildError("Project element expected, got " + Quoted(Root.name()));

    for (pugi::xml_attribute a = Root.first_attribute(); a; a = a.next_attribute()) {
        std::string_view name = a.name();
        if (name == "InitialTargets") {
            FInitialTargets = SplitTargets(EvaluateString(a.value()));
        } else if (name == "DefaultTargets") {
            FDefaultTargets = SplitTargets(EvaluateString(a.value()));
            FProperties->ReservedProperties().SetValues("MSBuildProjectDefaultTargets", JoinTargets(FDefaultTargets));
        } else if (name == "ToolsVersion") {
            std::string version = EvaluateString(a.value());
            if (OnToolsVersion)
                OnToolsVersion(*this, version);
            FToolsVersion = version;
        } else if (name == "xmlns") {
            if (kMsBuildNamespace != a.value())
                throw EIdeMsBuildError("Unknown schema " + Quoted(a.value()));
        } else {
            UnknownProperty(a);
        }
    }

    for (pugi::xml_node child = Root.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_comment)
            continue;
        if (child.type() != pugi::node_element)
            UnsupportedChild(child, Root);
        std::string_view name = child.name();
        if (name == "Choose") {
            ParseChoose(child);
        } else if (name == "Import") {
            ParseImport(child);
        } else if (name == "ImportGroup") {
            ParseImportGroup(child);
        } else if (name == "ItemDefinitionGroup" || name == "ItemGroup" || name == "Target" || name == "UsingTask") {
            // Items, item definitions, targets and task declarations: nothing here builds, so they are skipped.
        } else if (name == "ProjectExtensions") {
            if (FProjectExtensions)
                throw EIdeMsBuildError("Multiple project extensions");
            FProjectExtensions = child;
        } else if (name == "PropertyGroup") {
            if (InMainFile() && !FFirstPropertyGroup)
                FFirstPropertyGroup = child;
            ParsePropertyGroup(child);
        } else {
            UnknownElement(child);
        }
    }
}

bool TIdeMsBuildParser::ElementCondition(pugi::xml_node Element)
{
    return ParseCondition(Element.attribute("Condition").value());
}

void TIdeMsBuildParser::ParsePropertyGroup(pugi::xml_node Group)
{
    AllowAttributes(Group, {"Condition"});
    if (!ElementCondition(Group))
        return;
    for (pugi::xml_node property = Group.first_child(); property; property = property.next_sibling()) {
        if (property.type() == pugi::node_comment)
            continue;
        if (property.type() != pugi::node_element)
            UnsupportedChild(property, Group);
        AllowAttributes(property, {"Condition"});
        for (pugi::xml_node c = property.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_comment || c.type() == pugi::node_pcdata)
                continue;
            if (c.type() == pugi::node_element)
                UnknownElement(c);
            UnsupportedChild(c, property);
        }
        if (!ElementCondition(property))
            continue;
        SetValues(property.name(), EvaluateString(ElementText(property)));
        if (InMainFile()) {
            int index = FProperties->IndexOfName(property.name());
            if (index >= 0)
                FProperties->SetObjects(index, property);
        }
    }
}

void TIdeMsBuildParser::ParseChoose(pugi::xml_node Choose)
{
    AllowAttributes(Choose, {});
    bool applied = false;
    pugi::xml_node otherwise;
    for (pugi::xml_node child = Choose.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_comment)
            continue;
        if (child.type() != pugi::node_element)
            UnsupportedChild(child, Choose);
        if (Is(child, "When")) {
            int count = 0;
            for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute())
                ++count;
            if (count != 1)
                throw EIdeMsBuildError("Condition is not unique");
            AllowAttributes(child, {"Condition"});
            // Only the first block whose condition holds applies; later conditions are not even evaluated.
            if (!applied && ElementCondition(child)) {
                ApplyChooseBlock(child);
                applied = true;
            }
        } else if (Is(child, "Otherwise")) {
            if (otherwise)
                throw EIdeMsBuildError("Multiple otherwise");
            AllowAttributes(child, {});
            otherwise = child;
        } else {
            UnknownElement(child);
        }
    }
    if (!applied && otherwise)
        ApplyChooseBlock(otherwise);
}

void TIdeMsBuildParser::ApplyChooseBlock(pugi::xml_node Block)
{
    for (pugi::xml_node child = Block.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_comment)
            continue;
        if (child.type() != pugi::node_element)
            UnsupportedChild(child, Block);
        if (Is(child, "PropertyGroup"))
            ParsePropertyGroup(child);
        else if (Is(child, "ItemGroup"))
            continue;
        else if (Is(child, "Choose"))
            ParseChoose(child);
        else
            UnknownElement(child);
    }
}

void TIdeMsBuildParser::ParseImportGroup(pugi::xml_node Group)
{
    AllowAttributes(Group, {"Condition"});
    if (!ElementCondition(Group))
        return;
    for (pugi::xml_node child = Group.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_comment)
            continue;
        if (child.type() != pugi::node_element)
            UnsupportedChild(child, Group);
        if (!Is(child, "Import"))
            UnknownElement(child);
        ParseImport(child);
    }
}

void TIdeMsBuildParser::ParseImport(pugi::xml_node Import)
{
    AllowAttributes(Import, {"Project", "Condition"});
    if (!ElementCondition(Import))
        return;
    ImportFile(ResolveFileName(EvaluateString(Import.attribute("Project").value())));
}

std::string TIdeMsBuildParser::ResolveFileName(std::string_view FileName) const
{
    std::string name(FileName);
    if (!ide::IsAbsoluteWindowsPath(name)) {
        std::string dir = ide::ExtractFileDir(FCurrentFileName);
        if (!dir.empty())
            name = platform::includeTrailingBackslash(dir) + name;
    }
    return ide::NormalizeWindowsPath(name);
}

void TIdeMsBuildParser::ImportFile(const std::string& FileName)
{
    // A file that imports itself, directly or through others, would never finish.
    if (platform::equalsIgnoringAsciiCase(FileName, ide::NormalizeWindowsPath(FProjectFileName)))
        throw EIdeMsBuildError("Circular import of " + Quoted(FileName));
    for (const std::string& open : FImportStack)
        if (platform::equalsIgnoringAsciiCase(open, FileName))
            throw EIdeMsBuildError("Circular import of " + Quoted(FileName));
    if (FImportStack.size() >= kMaxImportDepth)
        throw EIdeMsBuildError("Imports nested too deeply at " + Quoted(FileName));

    std::unique_ptr<pugi::xml_document> owned;
    pugi::xml_document* sub = nullptr;
    if (OnImport) {
        bool subOwnsXml = false;
        sub = OnImport(*this, FileName, subOwnsXml);
        if (sub && subOwnsXml)
            owned.reset(sub);
    }
    if (!sub) {
        owned = LoadFile(FileName, TIdeXmlEncoding::seAuto, 0).Xml;
        sub = owned.get();
    }

    struct Restore {
        TIdeMsBuildParser& P;
        std::string CurrentFileName;
        pugi::xml_node ProjectExtensions;
        ~Restore()
        {
            P.FImportStack.pop_back();
            P.FCurrentFileName = CurrentFileName;
            P.FProjectExtensions = ProjectExtensions;
            try {
                P.UpdateThisFileProperties();
            } catch (...) {
                // Only a relative main file name asks the system anything here, and it answered before.
            }
        }
    };
    FImportStack.push_back(FileName);
    Restore restore{*this, FCurrentFileName, FProjectExtensions};
    FCurrentFileName = FileName;
    FProjectExtensions = pugi::xml_node();
    UpdateThisFileProperties();
    ParseProject(sub->document_element());
}

// --- Expansion ---

std::string TIdeMsBuildParser::EvaluateString(std::string_view S)
{
    // The last closed property reference first; when none is left, the last item list.
    const auto next = [&](const std::string& s) -> std::optional<ide::TIdeReferenceStep> {
        std::string reference = ide::LastClosedReference(s);
        if (!reference.empty()) {
            std::string value = EvaluateReference(std::string_view(reference).substr(2, reference.size() - 3));
            return ide::TIdeReferenceStep{std::move(reference), std::move(value)};
        }
        std::size_t p = s.rfind("@(");
        if (p == std::string::npos)
            return std::nullopt;
        std::size_t c = ide::FindClosing(s, p + 1);
        if (c == std::string::npos)
            throw EIdeMsBuildError("Invalid condition: end of string in condition " + Quoted(S));
        // Item lists: items are not evaluated here, so every list is empty.
        return ide::TIdeReferenceStep{s.substr(p, c - p + 1), std::string()};
    };
    ide::TIdeExpansion expansion = ide::ExpandReferences(S, next);
    // A project whose property refers to itself is broken: that is reported, not read as far as it goes.
    if (!expansion.Unfinished.empty())
        throw EIdeMsBuildError("Endless expansion of " + Quoted(expansion.Unfinished) + " in " + Quoted(S) +
                               " (a property refers to itself)");
    std::string s = std::move(expansion.Text);
    if (s.size() > 2 && s[0] == '0' && s[1] == 'x') {
        // A hexadecimal number stands for its decimal value; other text that merely starts with "0x" is kept.
        std::string_view digits = std::string_view(s).substr(2);
        uint64_t v = 0;
        auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (ec == std::errc() && ptr == digits.data() + digits.size())
            s = std::to_string(static_cast<int64_t>(v));
    }
    return s;
}

std::string TIdeMsBuildParser::EvaluateReference(std::string_view Inner)
{
    if (IsName(Inner))
        return Values(Inner);
    if (platform::startsWithIgnoringAsciiCase(Inner, "registry:"))
        return EvaluateRegistryProperty(Inner.substr(9));
    std::string value;
    if (OnFunctionProperty && OnFunctionProperty(*this, std::string(Inner), value))
        return value;
    if (FIgnoreFunctionProperties)
        return {};
    throw EIdeMsBuildError("Unable to evaluate function property " + Quoted(Inner));
}

std::string TIdeMsBuildParser::EvaluateRegistryProperty(std::string_view Location)
{
    std::string_view key = Location, name;
    std::size_t at = Location.rfind('@');
    if (at != std::string_view::npos) {
        key = Location.substr(0, at);
        name = Location.substr(at + 1);
    }
    std::size_t slash = key.find('\\');
    std::string root(key.substr(0, slash));
    std::string path(slash == std::string_view::npos ? std::string_view() : key.substr(slash + 1));
    std::optional<platform::RegRoot> rootKey = platform::rootFromName(root);
    if (!rootKey)
        throw EIdeMsBuildError(Quoted(root) + " does not match RootKey");

    std::string value;
    if (OnRegistryProperty && OnRegistryProperty(*this, root, path, std::string(name), value))
        return value;

    std::unique_ptr<platform::RegistryKey> regKey =
        platform::current().registry().openKey(*rootKey, path, platform::KeyAccess::Read, false);
    if (regKey) {
        if (std::optional<platform::RegValue> v = regKey->value(name)) {
            switch (v->type) {
            case platform::RegType::Sz:
            case platform::RegType::ExpandSz: return v->asString();
            case platform::RegType::Dword: return std::to_string(v->asDword());
            default: break;
            }
        }
    }
    throw EIdeMsBuildError("Unable to evaluate registry property root=" + Quoted(root) + " path=" + Quoted(path) +
                           " name=" + Quoted(name));
}

bool TIdeMsBuildParser::ParseCondition(std::string_view Condition)
{
    return TIdeMsBuildConditionReader(*this, Condition).Read();
}

// --- Raw values and saving ---

std::string TIdeMsBuildParser::GetRawValue(std::string_view Name) const
{
    pugi::xml_node element = FProperties->Element(Name);
    return element ? ElementText(element) : std::string();
}

void TIdeMsBuildParser::SetRawValue(std::string_view Name, std::string_view Value)
{
    pugi::xml_node element = FProperties->Element(Name);
    if (!element) {
        if (!FFirstPropertyGroup)
            throw EIdeMsBuildError("Unable to locate the XML element for MSBuild property " + Quoted(Name));
        // The name becomes an element name: anything else would write a file nobody can read back.
        if (!IsElementName(Name))
            throw EIdeMsBuildError("Invalid MSBuild property name " + Quoted(Name));
        element = FFirstPropertyGroup.append_child(std::string(Name).c_str());
        int index = FProperties->IndexOfName(Name);
        if (index >= 0)
            FProperties->SetObjects(index, element);
    }
    SetElementText(element, Value);
}

std::string TIdeMsBuildParser::SaveToBytes() const
{
    return ide::EncodeXmlBytes(ide::FormatXmlDocument(*FXml), FSaveCodePage);
}

void TIdeMsBuildParser::Save()
{
    platform::current().files().writeFile(FProjectFileName, SaveToBytes());
}

} // namespace tarvix
