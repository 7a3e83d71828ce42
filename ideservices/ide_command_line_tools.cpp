#include "ideservices/ide_command_line_tools.h"

#include <pugixml.hpp>

#include "ideservices/ide_execute_cmd_process.h"
#include "ideservices/ide_msbuild_parser.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/private_profile.h"
#include "platform/system.h"
#include "platform/windows_path.h"

namespace tarvix {

using enum TIdeCompilerSettingsFormat;

namespace {

platform::FileSystem& Files()
{
    return platform::current().files();
}

// Splits at ";", keeping empty elements: the empty text is one empty element.
std::vector<std::string> SplitKeepingEmpty(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t semicolon = text.find(';', start);
        parts.push_back(text.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
        if (semicolon == std::string::npos)
            return parts;
        start = semicolon + 1;
    }
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            text += ';';
        text += parts[i];
    }
    return text;
}

// One pair of the same quote character (single or double) around the whole text removed.
std::string StripOneQuotePair(const std::string& text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

// GetShortPathNameW: there are no short names on Linux, so the long name stands in; a path that does not exist
// stays as it is.
std::string ShortPathName(const std::string& path)
{
    const std::string name = Files().longPathName(path);
    return name.empty() ? path : name;
}

std::vector<std::string> PathComponents(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t backslash = path.find('\\', start);
        const std::size_t end = backslash == std::string::npos ? path.size() : backslash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// An absolute path made relative to a folder (both Windows paths, compared without regard to case): "..\"
// for each folder of Base that Path does not share, then the rest of Path. Another drive keeps Path absolute.
std::string RelativePath(const std::string& Base, const std::string& Path)
{
    const std::vector<std::string> base = PathComponents(Base);
    const std::vector<std::string> target = PathComponents(Path);
    if (base.empty() || target.empty() || !platform::equalsIgnoringAsciiCase(base[0], target[0]))
        return Path;
    std::size_t shared = 0;
    while (shared < base.size() && shared < target.size() &&
           platform::equalsIgnoringAsciiCase(base[shared], target[shared]))
        ++shared;
    std::string relative;
    for (std::size_t i = shared; i < base.size(); ++i)
        relative += "..\\";
    for (std::size_t i = shared; i < target.size(); ++i) {
        relative += target[i];
        if (i + 1 < target.size())
            relative += '\\';
    }
    return relative.empty() ? std::string(".") : relative;
}

// The absolute form of a path taken against the current folder. The empty name has none (GetFullPathNameW
// refuses it): an empty element of a folder list names no folder and must not become the current one.
std::string ExpandFileName(const std::string& Path)
{
    if (Path.empty())
        return Path;
    if (ide::IsAbsoluteWindowsPath(Path))
        return ide::NormalizeWindowsPath(Path);
    const std::string current = Files().currentDirectory();
    if (!Path.empty() && Path.front() == '\\')
        return ide::NormalizeWindowsPath(ide::ExtractFileDrive(current) + Path);
    return ide::NormalizeWindowsPath(platform::includeTrailingBackslash(current) + Path);
}

bool ContainsText(const std::vector<std::string>& list, const std::string& entry)
{
    for (const std::string& item : list)
        if (platform::equalsIgnoringAsciiCase(item, entry))
            return true;
    return false;
}

// The text of an element; empty for a missing one.
std::string ChildText(pugi::xml_node node)
{
    return node ? node.text().get() : std::string();
}

} // namespace

// --- TIdeBorlandCommandLineTool -----------------------------------------------------------------------------------

TIdeBorlandCommandLineTool::TIdeBorlandCommandLineTool(std::string ABinDirectory, bool ALongPathBug,
                                                       TIdeCompilerSettingsFormat ACompilerSettingsFormat)
    : FBinDirectory(std::move(ABinDirectory)),
      FCompilerSettingsFormat(ACompilerSettingsFormat),
      FLongPathBug(ALongPathBug)
{}

TIdeBorlandCommandLineTool::~TIdeBorlandCommandLineTool() = default;

std::string TIdeBorlandCommandLineTool::GetExeName() const
{
    throw EAbstractError();
}

bool TIdeBorlandCommandLineTool::Execute(const std::string& CommandLine)
{
    if (OnBeforeExecute)
        OnBeforeExecute(*this);
    const bool result = InternalExecute(CommandLine);
    if (OnAfterExecute)
        OnAfterExecute(*this);
    return result;
}

void TIdeBorlandCommandLineTool::AddPathOption(const std::string& Option, const std::string& Path)
{
    // One trailing backslash goes, also from a drive root ("C:\" gives "C:"): before the closing quote it would
    // escape the quote on the tool's command line.
    std::string path = Path;
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    if (FLongPathBug) {
        std::vector<std::string> folders = SplitKeepingEmpty(path);
        for (std::string& folder : folders)
            folder = ShortPathName(folder);
        path = Join(folders);
    }
    const std::string entry = "-" + Option + "\"" + path + "\"";
    if (!ContainsText(FOptions, entry))
        FOptions.push_back(entry);
}

const std::string& TIdeBorlandCommandLineTool::Output() const
{
    if (FOutputCallback)
        throw EIdeCommandLineToolError(ExeName() + ": Output invalid, when OutputCallback assigned.");
    return FOutput;
}

bool TIdeBorlandCommandLineTool::InternalExecute(const std::string& CommandLine)
{
    std::string fileName = FBinDirectory + GetExeName();
    if (fileName.find(' ') != std::string::npos)
        fileName = "\"" + ide::ReplaceText(fileName, "\"", "\"\"") + "\"";
    const std::string fullCommandLine = fileName + " " + CommandLine;

    TIdeExecuteCmdProcessOptions run(fullCommandLine);
    if (FOutputCallback) {
        run.FOutputLineCallback = FOutputCallback;
        FOutputCallback(fullCommandLine);
        return run.Execute() && run.ExitCode() == 0;
    }
    const bool started = run.Execute();
    FOutput += run.Output();
    return started && run.ExitCode() == 0;
}

// --- TIdeDCC32 ----------------------------------------------------------------------------------------------------

TIdeDCC32::TIdeDCC32(std::string ABinDirectory, bool ALongPathBug, float ADCCVersion,
                     TIdeCompilerSettingsFormat ACompilerSettingsFormat, bool ASupportsNoConfig, bool ASupportsPlatform,
                     std::string ADCPSearchPath, std::string ALibrarySearchPath, std::string ALibraryDebugSearchPath,
                     std::string ACppSearchPath)
    : TIdeBorlandCommandLineTool(std::move(ABinDirectory), ALongPathBug, ACompilerSettingsFormat),
      FDCPSearchPath(std::move(ADCPSearchPath)),
      FLibrarySearchPath(std::move(ALibrarySearchPath)),
      FLibraryDebugSearchPath(std::move(ALibraryDebugSearchPath)),
      FCppSearchPath(std::move(ACppSearchPath)),
      FSupportsNoConfig(ASupportsNoConfig),
      FSupportsPlatform(ASupportsPlatform),
      FDCCVersion(ADCCVersion)
{
    TIdeDCC32::SetDefaultOptions(false);
}

std::string TIdeDCC32::GetExeName() const
{
    return "dcc32.exe";
}

std::string TIdeDCC32::GetPlatform() const
{
    return "Win32";
}

void TIdeDCC32::SetDefaultOptions(bool ADebug)
{
    FOptions.clear();
    if (FSupportsNoConfig)
        FOptions.push_back("--no-config");
    if (ADebug)
        AddPathOption("U", FLibraryDebugSearchPath);
    AddPathOption("U", FLibrarySearchPath);
    if (!FCppSearchPath.empty()) {
        AddPathOption("U", FCppSearchPath);
        FOptions.push_back("-LUrtl");
    }
}

int TIdeDCC32::PathOptionPrefixLength(const std::string& Option) const
{
    if (Option.size() < 2 || Option[0] != '-')
        return 0;
    const char second = platform::asciiUpper(Option[1]);
    const char third = Option.size() > 2 ? platform::asciiUpper(Option[2]) : '\0';
    switch (second) {
    case 'E':
    case 'I':
    case 'O':
    case 'R':
    case 'U': return 2;
    case 'L': return third == 'E' || third == 'N' ? 3 : 0;
    case 'N':
        // A bare -N names no folder: it is passed as it stands.
        if (third == '\0')
            return 0;
        if ((third >= '0' && third <= '9') || third == 'B' || third == 'H' || third == 'O')
            return 3;
        if (third == 'S')
            return FDCCVersion >= 23.0f ? 3 : 2;
        if (third == 'U' || third == 'X')
            return FDCCVersion >= 24.0f ? 3 : 2;
        return 2;
    default: return 0;
    }
}

bool TIdeDCC32::Execute(const std::string& CommandLine)
{
    if (OnBeforeExecute)
        OnBeforeExecute(*this);
    FOutput.clear();
    std::string arguments;
    for (const std::string& entry : FOptions) {
        const int n = PathOptionPrefixLength(entry);
        if (n == 0) {
            arguments += " " + entry;
            continue;
        }
        std::vector<std::string> folders = SplitKeepingEmpty(StripOneQuotePair(entry.substr(n)));
        if (FLongPathBug) {
            const std::string current = ShortPathName(platform::includeTrailingBackslash(Files().currentDirectory()));
            for (std::string& folder : folders)
                folder = RelativePath(current, ExpandFileName(folder));
        }
        arguments += " " + entry.substr(0, n) + "\"" + Join(folders) + "\"";
    }
    const bool result = InternalExecute(CommandLine + arguments);
    if (OnAfterExecute)
        OnAfterExecute(*this);
    return result;
}

bool TIdeDCC32::MakePackage(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath,
                            const std::string& ExtraOptions, bool ADebug)
{
    platform::FileSystem& files = Files();
    const std::string savedFolder = files.currentDirectory();
    const std::size_t lastBackslash = PackageName.find_last_of('\\');
    const std::string packageFolder =
        (lastBackslash == std::string::npos ? std::string() : PackageName.substr(0, lastBackslash + 1)) + ".";
    files.setCurrentDirectory(packageFolder);

    // A configuration file of an earlier build would add its options to ours; it is put back afterwards.
    const std::string configFile = ide::ChangeFileExt(PackageName, ".cfg");
    const std::string backupFile = ide::ChangeFileExt(configFile, ".~cfg");
    if (files.fileExists(configFile))
        files.replaceFile(configFile, backupFile);

    const auto restore = [&] {
        if (files.fileExists(backupFile))
            files.replaceFile(backupFile, configFile);
        files.setCurrentDirectory(savedFolder);
    };
    bool result = false;
    try {
        FOptions.clear();
        SetDefaultOptions(ADebug);
        AddProjectOptions(PackageName, DCPPath);
        AddPathOption("LN", DCPPath);
        AddPathOption("LE", BPLPath);
        FOptions.push_back(ExtraOptions);
        result = Execute("\"" + StripOneQuotePair(PackageName) + "\"");
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return result;
}

void TIdeDCC32::AddProjectOptions(const std::string& PackageName, const std::string& DCPPath)
{
    TProjectOptions options;
    if (!ReadProjectOptions(PackageName, options))
        return;
    if (!options.UnitOutputDir.empty())
        AddPathOption(FDCCVersion < 24.0f ? "N" : "NU", options.UnitOutputDir);
    if (!options.SearchPath.empty()) {
        AddPathOption("I", options.SearchPath);
        AddPathOption("R", options.SearchPath);
    }
    if (!options.Conditionals.empty())
        FOptions.push_back("-D" + options.Conditionals);
    std::string dcpSearchPath = DCPPath;
    if (!platform::equalsIgnoringAsciiCase(platform::excludeTrailingBackslash(DCPPath),
                                           platform::excludeTrailingBackslash(FDCPSearchPath))) {
        if (!dcpSearchPath.empty() && dcpSearchPath.back() != ';')
            dcpSearchPath += ';';
        dcpSearchPath += FDCPSearchPath;
    }
    std::string unitPath = dcpSearchPath;
    if (!unitPath.empty() && unitPath.back() != ';')
        unitPath += ';';
    AddPathOption("U", unitPath + options.SearchPath);
    if (options.UsePackages && !options.DynamicPackages.empty())
        FOptions.push_back("-LU\"" + options.DynamicPackages + "\"");
    if (!options.Namespace.empty())
        FOptions.push_back("-ns" + options.Namespace);
}

bool TIdeDCC32::ReadProjectOptions(const std::string& PackageName, TProjectOptions& Options)
{
    platform::FileSystem& files = Files();

    const std::string dproj = ide::ChangeFileExt(PackageName, ".dproj");
    if (files.fileExists(dproj) && FCompilerSettingsFormat == csfMsBuild) {
        TIdeMsBuildParser parser(dproj);
        parser.Init();
        if (FOnEnvironmentVariables)
            parser.MergeEnvironmentProperties(FOnEnvironmentVariables());
        if (FSupportsPlatform)
            parser.Properties().GlobalProperties().SetValues("Platform", GetPlatform());
        parser.Parse();
        const std::string personality = ChildText(parser.ProjectExtensions().child("Borland.Personality"));
        const bool delphi = platform::equalsIgnoringAsciiCase(personality, "Delphi.Personality") ||
                            platform::equalsIgnoringAsciiCase(personality, "DelphiDotNet.Personality");
        if (delphi) {
            const TIdeMsBuildProperties& p = parser.Properties();
            Options.DynamicPackages = p.Values("DCC_UsePackage");
            Options.UsePackages = !Options.DynamicPackages.empty();
            Options.UnitOutputDir = p.Values("DCC_DcuOutput");
            Options.SearchPath = p.Values("DCC_UnitSearchPath");
            Options.Conditionals = p.Values("DCC_Define");
            Options.Namespace = p.Values("DCC_Namespace");
        }
        return true;
    }

    const std::string bdsproj = ide::ChangeFileExt(PackageName, ".bdsproj");
    if (files.fileExists(bdsproj)) {
        pugi::xml_document document;
        const std::string bytes = files.readFile(bdsproj);
        if (document.load_buffer(bytes.data(), bytes.size())) {
            // <Directories Name="SearchPath">...</Directories> inside the personality's <Directories> block.
            for (pugi::xpath_node found : document.select_nodes("//Directories[@Name]")) {
                const pugi::xml_node node = found.node();
                const std::string name = node.attribute("Name").value();
                const std::string value = node.text().get();
                if (platform::equalsIgnoringAsciiCase(name, "UnitOutputDir"))
                    Options.UnitOutputDir = value;
                else if (platform::equalsIgnoringAsciiCase(name, "SearchPath"))
                    Options.SearchPath = value;
                else if (platform::equalsIgnoringAsciiCase(name, "Packages"))
                    Options.DynamicPackages = value;
                else if (platform::equalsIgnoringAsciiCase(name, "Conditionals"))
                    Options.Conditionals = value;
                else if (platform::equalsIgnoringAsciiCase(name, "UsePackages"))
                    Options.UsePackages = platform::equalsIgnoringAsciiCase(value, "True");
            }
        }
        return true;
    }

    const std::string dof = ide::ChangeFileExt(PackageName, ".dof");
    if (files.fileExists(dof)) {
        const auto value = [&](const char* key) { return platform::privateProfileString("Directories", key, "", dof); };
        Options.UnitOutputDir = value("UnitOutputDir");
        Options.SearchPath = value("SearchPath");
        Options.Conditionals = value("Conditionals");
        Options.DynamicPackages = value("Packages");
        Options.UsePackages = platform::privateProfileInt("Directories", "UsePackages", 0, dof) != 0;
        return true;
    }
    return false;
}

// --- the other tools ----------------------------------------------------------------------------------------------

TIdeDCCPlatformCompiler::TIdeDCCPlatformCompiler(std::string AExeName, std::string APlatformName,
                                                 std::string ABinDirectory, bool ALongPathBug, float ADCCVersion,
                                                 TIdeCompilerSettingsFormat ACompilerSettingsFormat,
                                                 bool ASupportsNoConfig, bool ASupportsPlatform,
                                                 std::string ADCPSearchPath, std::string ALibrarySearchPath,
                                                 std::string ALibraryDebugSearchPath, std::string ACppSearchPath)
    : TIdeDCC32(std::move(ABinDirectory), ALongPathBug, ADCCVersion, ACompilerSettingsFormat, ASupportsNoConfig,
                ASupportsPlatform, std::move(ADCPSearchPath), std::move(ALibrarySearchPath),
                std::move(ALibraryDebugSearchPath), std::move(ACppSearchPath)),
      FExeName(std::move(AExeName)),
      FPlatformName(std::move(APlatformName))
{}

TIdeCommandLineToolFile::TIdeCommandLineToolFile(std::string AExeName, std::string ABinDirectory, bool ALongPathBug,
                                                 TIdeCompilerSettingsFormat ACompilerSettingsFormat)
    : TIdeBorlandCommandLineTool(std::move(ABinDirectory), ALongPathBug, ACompilerSettingsFormat),
      FExeName(std::move(AExeName))
{}

} // namespace tarvix
