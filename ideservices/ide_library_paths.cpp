// Library paths, output folders and environment variables of the installation classes, and the helpers they are
// made of.
#include "ideservices/ide_library_paths.h"

#include <array>
#include <optional>

#include "components/kq_lib_functions.h"
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_env_options.h"
#include "ideservices/ide_reference_expansion.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/text_format.h"
#include "platform/windows_path.h"

namespace tarvix {

using enum TIdeBorRADToolKind;
using enum TIdeBorPersonality;
using enum TIdeBDSPlatform;
using enum TCommandLineTool;

namespace {

constexpr const char* kUnknownPlatform = "This installation cannot generate binaries for an unknown platform";

struct PlatformInfo {
    const char* name;
    TIdeBorPersonalities required;
};

const std::array<PlatformInfo, 12>& PlatformTable()
{
    static const std::array<PlatformInfo, 12> table{{
        {"Win32", {bpDelphi32, bpBCBuilder32}},   // bpWin32
        {"Win32", {bpBCBuilder32}},               // bpWin32c
        {"Win64", {bpDelphi64, bpBCBuilder64}},   // bpWin64
        {"Win64x", {bpBCBuilder64}},              // bpWin64x
        {"OSX32", {bpDelphiOSX32}},               // bpOSX32
        {"OSX64", {bpDelphiOSX64}},               // bpOSX64
        {"Android32", {bpDelphiAndroid32}},       // bpAndroid32
        {"Android64", {bpDelphiAndroid64}},       // bpAndroid64
        {"iOSDevice32", {bpDelphiiOSDevice32}},   // bpiOSDevice32
        {"iOSDevice64", {bpDelphiiOSDevice64}},   // bpiOSDevice64
        {"iOSSimulator", {bpDelphiiOSSimulator}}, // bpiOSSimulator
        {"Linux64", {bpDelphiLinux64}},           // bpLinux64
    }};
    return table;
}

const PlatformInfo& InfoOf(TIdeBDSPlatform APlatform)
{
    const auto index = static_cast<std::size_t>(APlatform);
    if (index >= PlatformTable().size())
        throw EIdeBorRADException(kUnknownPlatform);
    return PlatformTable()[index];
}

bool IsAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Equal without regard to case, for every letter that has an upper-case form (file names are not only ASCII).
bool SameFileNameText(std::string_view a, std::string_view b)
{
    if (platform::equalsIgnoringAsciiCase(a, b))
        return true;
    if (IsAscii(a) && IsAscii(b))
        return false;
    return StrUpper(a) == StrUpper(b);
}

// The value with each %NAME% replaced by NAME's value in List (empty when unknown).
std::string ExpandPercentReferences(std::string_view value, const TIdeNameValueList& List)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t open = value.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(value.substr(pos));
            break;
        }
        out.append(value.substr(pos, open - pos));
        const std::size_t close = value.find('%', open + 1);
        if (close == std::string_view::npos) {
            out += VariableValue(List, value.substr(open + 1));
            break;
        }
        out += VariableValue(List, value.substr(open + 1, close - open - 1));
        pos = close + 1;
    }
    return out;
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

// --- platforms ----------------------------------------------------------------------------------------------------

std::string PlatformName(TIdeBDSPlatform APlatform)
{
    return InfoOf(APlatform).name;
}

TIdeBorPersonalities RequiredPersonalities(TIdeBDSPlatform APlatform)
{
    return InfoOf(APlatform).required;
}

// --- path lists ---------------------------------------------------------------------------------------------------

std::vector<std::string> SplitPathList(std::string_view Path)
{
    std::vector<std::string> paths;
    if (Path.empty())
        return paths;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = Path.find(';', start);
        if (sep == std::string_view::npos) {
            paths.emplace_back(Path.substr(start));
            return paths;
        }
        paths.emplace_back(Path.substr(start, sep - start));
        start = sep + 1;
    }
}

std::string JoinPathList(const std::vector<std::string>& Paths)
{
    std::string text;
    for (std::size_t i = 0; i < Paths.size(); ++i) {
        if (i > 0)
            text += ';';
        text += Paths[i];
    }
    return text;
}

std::string FolderCompareForm(std::string_view Folder)
{
    if (Folder.empty())
        return {};
    const std::string longName = platform::current().files().longPathName(Folder);
    // "C:\Tarvix\D37\" and "C:\Tarvix\D37" name one folder (a drive root keeps its backslash).
    return platform::excludeTrailingBackslash(longName.empty() ? Folder : std::string_view(longName));
}

bool SameFolder(std::string_view A, std::string_view B)
{
    return SameFileNameText(FolderCompareForm(A), FolderCompareForm(B));
}

std::string MergePathList(std::string_view Current, std::string_view Path)
{
    std::vector<std::string> merged = SplitPathList(Current);
    // Each folder's long name is looked up once.
    std::vector<std::string> forms;
    forms.reserve(merged.size());
    for (const std::string& folder : merged)
        forms.push_back(FolderCompareForm(folder));
    for (std::string& folder : SplitPathList(Path)) {
        if (folder.empty())
            continue;
        std::string form = FolderCompareForm(folder);
        bool present = false;
        for (const std::string& other : forms) {
            if (SameFileNameText(other, form)) {
                present = true;
                break;
            }
        }
        if (!present) {
            merged.push_back(std::move(folder));
            forms.push_back(std::move(form));
        }
    }
    return JoinPathList(merged);
}

std::string AdjustPathForWin64X(std::string_view Folder)
{
    constexpr std::string_view component = "\\win64";
    for (std::size_t at = ide::FindText(Folder, component); at != std::string_view::npos;
         at = ide::FindText(Folder, component, at + 1)) {
        const std::size_t end = at + component.size();
        if (end == Folder.size() || Folder[end] == '\\')
            return std::string(Folder.substr(0, at)) + "\\win64x" + std::string(Folder.substr(end));
    }
    return std::string(Folder);
}

// --- variable lists -----------------------------------------------------------------------------------------------

int IndexOfVariable(const TIdeNameValueList& List, std::string_view Name)
{
    for (std::size_t i = 0; i < List.size(); ++i)
        if (platform::equalsIgnoringAsciiCase(List[i].first, Name))
            return static_cast<int>(i);
    return -1;
}

std::string VariableValue(const TIdeNameValueList& List, std::string_view Name)
{
    const int index = IndexOfVariable(List, Name);
    return index < 0 ? std::string() : List[index].second;
}

void SetVariable(TIdeNameValueList& List, std::string_view Name, std::string_view Value)
{
    const int index = IndexOfVariable(List, Name);
    if (Value.empty()) {
        if (index >= 0)
            List.erase(List.begin() + index);
    } else if (index >= 0) {
        List[index].second = std::string(Value);
    } else {
        List.emplace_back(std::string(Name), std::string(Value));
    }
}

void PutVariable(TIdeNameValueList& List, std::string_view Name, std::string_view Value)
{
    const int index = IndexOfVariable(List, Name);
    if (index >= 0)
        List[index].second = std::string(Value);
    else
        List.emplace_back(std::string(Name), std::string(Value));
}

std::string ExpandVariables(std::string_view Text, const TIdeNameValueList& List)
{
    // The last closed reference first; the first name without a value ends the expansion. At the limit the text
    // is kept as far as it got.
    const auto next = [&](const std::string& s) -> std::optional<ide::TIdeReferenceStep> {
        std::string reference = ide::LastClosedReference(s);
        if (reference.empty())
            return std::nullopt;
        std::string value = VariableValue(List, std::string_view(reference).substr(2, reference.size() - 3));
        if (value.empty())
            return std::nullopt;
        return ide::TIdeReferenceStep{std::move(reference), std::move(value)};
    };
    return ide::ExpandReferences(Text, next).Text;
}

std::string SubstituteVariables(std::string_view Path, const TIdeNameValueList& List)
{
    std::string s(Path);
    if (s.find("$(") != std::string::npos) {
        // The variables in list order, each once, a name without a value too. At the limit the text is kept as
        // far as it got.
        std::size_t index = 0;
        const auto next = [&](const std::string&) -> std::optional<ide::TIdeReferenceStep> {
            if (index == List.size())
                return std::nullopt;
            const auto& [name, value] = List[index++];
            return ide::TIdeReferenceStep{"$(" + name + ")", value};
        };
        s = ide::ExpandReferences(s, next).Text;
    }
    // "$(BDS)\bin" with a BDS that ends in a backslash doubles it; a network path's leading "\\" is no such
    // doubling and stays.
    const std::size_t keep = s.starts_with("\\\\") ? 2 : 0;
    std::string out = s.substr(0, keep);
    for (std::size_t i = keep; i < s.size(); ++i) {
        out += s[i];
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\')
            ++i;
    }
    return out;
}

// --- rsvars.bat ---------------------------------------------------------------------------------------------------

void ParseRADStudioVars(std::string_view Text, TIdeNameValueList& List)
{
    std::size_t lineStart = 0;
    while (lineStart < Text.size()) {
        std::size_t lineEnd = Text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = Text.size();
        const std::string_view line = Text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (lineEnd + 1 < Text.size() && Text[lineEnd] == '\r' && Text[lineEnd + 1] == '\n')
            ++lineStart;

        std::size_t i = 0;
        while (i < line.size() && (IsBlank(line[i]) || line[i] == '@'))
            ++i;
        std::size_t wordEnd = i;
        while (wordEnd < line.size() && !IsBlank(line[wordEnd]))
            ++wordEnd;
        if (!platform::equalsIgnoringAsciiCase(line.substr(i, wordEnd - i), "set"))
            continue;
        i = wordEnd;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const std::size_t equals = line.find('=', i);
        if (equals == std::string_view::npos || equals == i)
            continue;
        const std::string_view name = line.substr(i, equals - i);
        PutVariable(List, name, ExpandPercentReferences(line.substr(equals + 1), List));
    }
}

void GetRADStudioVars(const std::string& FileName, TIdeNameValueList& List)
{
    platform::System& system = platform::current();
    if (!system.files().fileExists(FileName))
        return;
    const std::string bytes = system.files().readFile(FileName);
    constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
    if (bytes.starts_with(utf8Mark))
        ParseRADStudioVars(std::string_view(bytes).substr(utf8Mark.size()), List);
    else
        ParseRADStudioVars(platform::decodeCodePage(bytes, system.shell().ansiCodePage()), List);
}

// --- installations: platforms and path lists ----------------------------------------------------------------------

void TIdeBorRADToolInstallation::RequirePlatform(TIdeBDSPlatform APlatform) const
{
    if ((FPersonalities * RequiredPersonalities(APlatform)).Empty())
        throw EIdeBorRADException(kUnknownPlatform);
}

void TIdeBorRADToolInstallation::ExtractPaths(const std::string& Path, std::vector<std::string>& List) const
{
    List = SplitPathList(Path);
}

std::string TIdeBorRADToolInstallation::SubstitutePath(const std::string& Path)
{
    if (Path.find("$(") == std::string::npos)
        return SubstituteVariables(Path, {});
    return SubstituteVariables(Path, GetEnvironmentVariables());
}

bool TIdeBorRADToolInstallation::AddToLibrarySearchPath(const std::string& Path, TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    if (Path.empty())
        return false;
    SetRawLibrarySearchPath(APlatform, MergePathList(GetRawLibrarySearchPath(APlatform), Path));
    return true;
}

bool TIdeBorRADToolInstallation::AddToLibraryBrowsingPath(const std::string& Path, TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    if (Path.empty())
        return false;
    SetRawLibraryBrowsingPath(APlatform, MergePathList(GetRawLibraryBrowsingPath(APlatform), Path));
    // The C++ compilers of the same target keep a browsing path of their own.
    if (APlatform == bpWin32 && FCommandLineTools.Contains(clBcc32c))
        return AddToLibraryBrowsingPath(Path, bpWin32c);
    if (APlatform == bpWin64 && FCommandLineTools.Contains(clBcc64x)) {
        std::vector<std::string> folders = SplitPathList(Path);
        for (std::string& folder : folders)
            folder = AdjustPathForWin64X(folder);
        return AddToLibraryBrowsingPath(JoinPathList(folders), bpWin64x);
    }
    return true;
}

bool TIdeBorRADToolInstallation::AddToDebugDCUPath(const std::string& Path, TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    if (Path.empty())
        return false;
    SetRawDebugDCUPath(APlatform, MergePathList(GetRawDebugDCUPath(APlatform), Path));
    return true;
}

bool TIdeBorRADToolInstallation::RemoveFromLibrarySearchPath(const std::string&, TIdeBDSPlatform)
{
    NotSupported("RemoveFromLibrarySearchPath");
}
bool TIdeBorRADToolInstallation::RemoveFromLibraryBrowsingPath(const std::string&, TIdeBDSPlatform)
{
    NotSupported("RemoveFromLibraryBrowsingPath");
}
bool TIdeBorRADToolInstallation::RemoveFromDebugDCUPath(const std::string&, TIdeBDSPlatform)
{
    NotSupported("RemoveFromDebugDCUPath");
}

// --- installations: environment variables -------------------------------------------------------------------------

std::string TIdeBorRADToolInstallation::BdsCommonDirFromShell() const
{
    const std::string common = platform::current().shell().commonDocumentsFolder();
    if (common.empty())
        return {};
    const char* pattern = FIDEVersionNumber > 13 ? "Embarcadero\\Studio\\%d.0" : "RAD Studio\\%d.0";
    return platform::includeTrailingBackslash(common) +
           platform::formatText(pattern, {std::to_string(FIDEVersionNumber)});
}

void TIdeBorRADToolInstallation::ReadSharedEnvironmentVariables(TIdeNameValueList& List)
{
    platform::Shell& shell = platform::current().shell();
    const bool bds = RadToolKind() == brBorlandDevStudio;

    // 1. The process environment, each value expanded.
    List.clear();
    for (const std::string& entry : shell.environmentStrings()) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        List.emplace_back(entry.substr(0, equals),
                          shell.expandEnvironmentStrings(std::string_view(entry).substr(equals + 1)));
    }

    // 2. The folder shared by the IDE's users.
    if (bds && FIDEVersionNumber > 5) {
        const std::string common = BdsCommonDirFromShell();
        SetVariable(List, "BDSCOMMONDIR",
                    !common.empty() ? common : shell.environmentVariable("BDSCOMMONDIR").value_or(""));
    }

    // 3. The user's own variables, set in the IDE.
    if ((FIDEVersionNumber >= 6 || bds) && FConfigData->SectionExists("Environment Variables"))
        for (const auto& [name, value] : FConfigData->ReadSectionValues("Environment Variables"))
            SetVariable(List, name, ExpandVariables(value, List));

    // 4. The process environment's entries for drive folders ("=C:=C:\...") have no name.
    std::erase_if(List, [](const auto& entry) { return entry.first.empty(); });
}

const TIdeNameValueList& TIdeBorRADToolInstallation::GetEnvironmentVariables()
{
    if (!FEnvironmentVariables) {
        auto list = std::make_unique<TIdeNameValueList>();
        ReadSharedEnvironmentVariables(*list);
        FEnvironmentVariables = std::move(list);
    }
    return *FEnvironmentVariables;
}

const TIdeNameValueList& TIdeDelphiInstallation::GetEnvironmentVariables()
{
    if (!FEnvironmentVariables) {
        auto list = std::make_unique<TIdeNameValueList>();
        ReadSharedEnvironmentVariables(*list);
        SetVariable(*list, "DELPHI", FRootDir);
        FEnvironmentVariables = std::move(list);
    }
    return *FEnvironmentVariables;
}

const TIdeNameValueList& TIdeBCBInstallation::GetEnvironmentVariables()
{
    if (!FEnvironmentVariables) {
        auto list = std::make_unique<TIdeNameValueList>();
        ReadSharedEnvironmentVariables(*list);
        SetVariable(*list, "BCB", FRootDir);
        FEnvironmentVariables = std::move(list);
    }
    return *FEnvironmentVariables;
}

const TIdeNameValueList& TIdeBDSInstallation::GetEnvironmentVariables()
{
    if (!FEnvironmentVariables) {
        auto list = std::make_unique<TIdeNameValueList>();
        ReadSharedEnvironmentVariables(*list);
        if (FIDEVersionNumber > 4) {
            // rsvars.bat first, then what the process and the user set, over it.
            TIdeNameValueList aside = std::move(*list);
            list->clear();
            GetRADStudioVars(FRootDir + "\\bin\\rsvars.bat", *list);
            for (const auto& [name, value] : aside)
                PutVariable(*list, name, ExpandVariables(value, *list));
        } else {
            if (IndexOfVariable(*list, "BDS") < 0)
                SetVariable(*list, "BDS", FRootDir);
            if (IndexOfVariable(*list, "BDSPROJECTSDIR") < 0)
                SetVariable(*list, "BDSPROJECTSDIR", GetDefaultProjectsDir());
            if (IndexOfVariable(*list, "BDSCOMMONDIR") < 0)
                SetVariable(*list, "BDSCOMMONDIR", GetCommonProjectsDir());
        }
        FEnvironmentVariables = std::move(list);
    }
    return *FEnvironmentVariables;
}

// --- installations: the registry-only forms (Delphi, C++Builder) --------------------------------------------------

std::string TIdeBorRADToolInstallation::GetDCPOutputPath(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    return SubstitutePath(FConfigData->ReadString("Library", "Package DCP Output"));
}

std::string TIdeBorRADToolInstallation::GetBPLOutputPath(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    return SubstitutePath(FConfigData->ReadString("Library", "Package DPL Output"));
}

std::string TIdeBorRADToolInstallation::ReadLibraryPath(TIdeBDSPlatform APlatform, bool, const LibraryPathNames& Names)
{
    RequirePlatform(APlatform);
    return FConfigData->ReadString(Names.Section, Names.Value);
}

void TIdeBorRADToolInstallation::WriteLibraryPath(TIdeBDSPlatform APlatform, const std::string& Path,
                                                  const LibraryPathNames& Names)
{
    RequirePlatform(APlatform);
    FConfigData->WriteString(Names.Section, Names.Value, Path);
}

std::string TIdeBorRADToolInstallation::GetLibFolderName(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    return FRootDir + "\\lib\\";
}

std::string TIdeBorRADToolInstallation::GetObjFolderName(TIdeBDSPlatform APlatform)
{
    const std::string folder = GetLibFolderName(APlatform) + "obj\\";
    return platform::current().files().directoryExists(folder) ? folder : std::string();
}

std::string TIdeBorRADToolInstallation::GetLibDebugFolderName(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    return FRootDir + "\\lib\\debug\\";
}

std::string TIdeBorRADToolInstallation::GetDefaultProjectsDir()
{
    return FRootDir + "\\Projects";
}

std::string TIdeBorRADToolInstallation::GetCommonProjectsDir()
{
    return GetDefaultProjectsDir();
}

// --- installations: the library path accessors, one path of the table each ----------------------------------------

std::string TIdeBorRADToolInstallation::GetDebugDCUPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, false, kDebugDCUPath);
}

std::string TIdeBorRADToolInstallation::GetRawDebugDCUPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, true, kDebugDCUPath);
}

void TIdeBorRADToolInstallation::SetRawDebugDCUPath(TIdeBDSPlatform APlatform, const std::string& Value)
{
    WriteLibraryPath(APlatform, Value, kDebugDCUPath);
}

std::string TIdeBorRADToolInstallation::GetLibrarySearchPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, false, kLibrarySearchPath);
}

std::string TIdeBorRADToolInstallation::GetRawLibrarySearchPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, true, kLibrarySearchPath);
}

void TIdeBorRADToolInstallation::SetRawLibrarySearchPath(TIdeBDSPlatform APlatform, const std::string& Value)
{
    WriteLibraryPath(APlatform, Value, kLibrarySearchPath);
}

std::string TIdeBorRADToolInstallation::GetLibraryBrowsingPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, false, kLibraryBrowsingPath);
}

std::string TIdeBorRADToolInstallation::GetRawLibraryBrowsingPath(TIdeBDSPlatform APlatform)
{
    return ReadLibraryPath(APlatform, true, kLibraryBrowsingPath);
}

void TIdeBorRADToolInstallation::SetRawLibraryBrowsingPath(TIdeBDSPlatform APlatform, const std::string& Value)
{
    WriteLibraryPath(APlatform, Value, kLibraryBrowsingPath);
}

// --- BDS: the MSBuild options file --------------------------------------------------------------------------------

TIdeEnvOptionsFile TIdeBDSInstallation::EnvOptionsFor(TIdeBDSPlatform APlatform)
{
    if (FIDEVersionNumber < 5)
        throw EIdeBorRADException(platform::formatText("Query of RsVars for %s %d reported the following error ",
                                                       {RadToolName(), std::to_string(FIDEVersionNumber)}) +
                                  "\"MSBuild is not supported by this IDE\"");
    TIdeEnvOptionsFile file;
    file.EnvOptionsFileName = EnvOptionsFileName();
    file.EnvironmentProjFileName = EnvironmentProjFileName();
    file.EnvironmentVariables = GetEnvironmentVariables();
    if (SupportsPlatform())
        file.PlatformName = PlatformName(APlatform);
    return file;
}

std::string TIdeBDSInstallation::ReadEnvOption(const std::string& Name, TIdeBDSPlatform APlatform, bool Raw)
{
    return ReadMsBuildEnvOption(EnvOptionsFor(APlatform), Name, Raw);
}

void TIdeBDSInstallation::WriteEnvOption(const std::string& Name, const std::string& Value, TIdeBDSPlatform APlatform)
{
    WriteMsBuildEnvOption(EnvOptionsFor(APlatform), Name, Value);
}

// --- BDS: output paths, library paths and folders -----------------------------------------------------------------

std::string TIdeBDSInstallation::GetBPLOutputPath(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    if (FIDEVersionNumber <= 2)
        return GetDefaultProjectsDir() + "\\bpl";
    if (FIDEVersionNumber <= 4)
        return SubstitutePath(FConfigData->ReadString("Library", "Package DPL Output"));
    std::string path = ReadEnvOption("CBuilderBPLOutputPath", APlatform);
    if (path.empty())
        path = ReadEnvOption(FIDEVersionNumber <= 7 ? "Win32DLLOutputPath" : "DelphiDLLOutputPath", APlatform);
    return path;
}

std::string TIdeBDSInstallation::GetDCPOutputPath(TIdeBDSPlatform APlatform)
{
    RequirePlatform(APlatform);
    if (FIDEVersionNumber <= 2)
        return FRootDir + "\\lib";
    if (FIDEVersionNumber <= 4)
        return SubstitutePath(FConfigData->ReadString("Library", "Package DCP Output"));
    return ReadEnvOption(FIDEVersionNumber <= 7 ? "Win32DCPOutput" : "DelphiDCPOutput", APlatform);
}

std::string TIdeBDSInstallation::LibrarySection(TIdeBDSPlatform APlatform) const
{
    // BDS 8 has no platforms yet and keeps its paths where the earlier releases do.
    return FIDEVersionNumber >= 9 ? "Library\\" + PlatformName(APlatform) : std::string("Library");
}

std::string TIdeBDSInstallation::ReadLibraryPath(TIdeBDSPlatform APlatform, bool Raw, const LibraryPathNames& Names)
{
    RequirePlatform(APlatform);
    if (FIDEVersionNumber < 5)
        return FConfigData->ReadString("Library", Names.RegistryValue);
    if (FIDEVersionNumber < 8)
        return ReadEnvOption(Names.Win32Property, APlatform, Raw);
    std::string path = ReadEnvOption(Names.Property, APlatform, Raw);
    if (path.empty())
        path = FConfigData->ReadString(LibrarySection(APlatform), Names.RegistryValue);
    return path;
}

void TIdeBDSInstallation::WriteLibraryPath(TIdeBDSPlatform APlatform, const std::string& Path,
                                           const LibraryPathNames& Names)
{
    RequirePlatform(APlatform);
    FConfigData->WriteString(LibrarySection(APlatform), Names.RegistryValue, Path);
    if (FIDEVersionNumber >= 8)
        WriteEnvOption(Names.Property, Path, APlatform);
    else if (FIDEVersionNumber >= 5)
        WriteEnvOption(Names.Win32Property, Path, APlatform);
}

std::string TIdeBDSInstallation::GetLibFolderName(TIdeBDSPlatform APlatform)
{
    if (FIDEVersionNumber < 8)
        return TIdeBorRADToolInstallation::GetLibFolderName(APlatform);
    RequirePlatform(APlatform);
    return FRootDir + "\\lib\\" + PlatformName(APlatform) + "\\release\\";
}

std::string TIdeBDSInstallation::GetLibDebugFolderName(TIdeBDSPlatform APlatform)
{
    if (FIDEVersionNumber < 8)
        return TIdeBorRADToolInstallation::GetLibDebugFolderName(APlatform);
    RequirePlatform(APlatform);
    return FRootDir + "\\lib\\" + PlatformName(APlatform) + "\\debug\\";
}

// --- BDS: project folders -----------------------------------------------------------------------------------------

std::string TIdeBDSInstallation::PersonalFolder() const
{
    auto key = platform::current().registry().openKey(
        FRootKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", platform::KeyAccess::Read,
        false);
    return key ? platform::excludeTrailingBackslash(key->readString("Personal").value_or("")) : std::string();
}

std::string TIdeBDSInstallation::GetDefaultProjectsDir()
{
    const std::string documents = PersonalFolder();
    if (documents.empty())
        return {};
    if (FIDEVersionNumber <= 5)
        return documents + "\\Borland Studio Projects";
    if (FIDEVersionNumber <= 13)
        return documents + "\\RAD Studio\\Projects";
    return documents + "\\Embarcadero\\Studio\\Projects";
}

std::string TIdeBDSInstallation::GetCommonProjectsDir()
{
    if (FIDEVersionNumber > 5)
        return BdsCommonDirFromShell();
    const std::string common = platform::current().shell().commonDocumentsFolder();
    return common.empty() ? std::string() : platform::includeTrailingBackslash(common) + "Borland Studio Projects";
}

} // namespace tarvix
