// The drivers of the IDE's command-line tools. A driver keeps an ordered option list, turns it into a command
// line, runs the tool from the IDE's bin folder with its output read as it comes, and hands every output line to
// a callback (the installer's log). TIdeDCC32 is the Delphi compiler: its default options, its path options, the
// build of a package (MakePackage), and the OnBeforeExecute event that fires just before the command line is
// assembled, so that a caller may replace the whole option list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ideservices/ide_installation.h"

namespace tarvix {

// The error of a driver used the wrong way ("dcc32.exe: Output invalid, when OutputCallback assigned.").
class EIdeCommandLineToolError : public EIdeBorRADException {
public:
    using EIdeBorRADException::EIdeBorRADException;
};

class TIdeBorlandCommandLineTool {
public:
    using TIdeBorlandCommandLineToolEvent = std::function<void(TIdeBorlandCommandLineTool& Sender)>;

    // ABinDirectory: the folder of the executable, with its trailing backslash.
    TIdeBorlandCommandLineTool(std::string ABinDirectory, bool ALongPathBug,
                               TIdeCompilerSettingsFormat ACompilerSettingsFormat);
    virtual ~TIdeBorlandCommandLineTool();
    TIdeBorlandCommandLineTool(const TIdeBorlandCommandLineTool&) = delete;
    TIdeBorlandCommandLineTool& operator=(const TIdeBorlandCommandLineTool&) = delete;

    // The executable's file name ("dcc32.exe"); the base class has none and raises EAbstractError.
    virtual std::string GetExeName() const;
    // OnBeforeExecute, the run of the tool with CommandLine after its name, OnAfterExecute. True when the tool
    // was started and ended with exit code 0.
    virtual bool Execute(const std::string& CommandLine);

    // Adds "-<Option>" with Path in double quotes (one trailing backslash removed; with the long-path bug each
    // folder in its short form), unless the list holds that entry already (ignoring case).
    void AddPathOption(const std::string& Option, const std::string& Path);

    const std::string& BinDirectory() const { return FBinDirectory; }
    TIdeCompilerSettingsFormat CompilerSettingsFormat() const { return FCompilerSettingsFormat; }
    std::string ExeName() const { return GetExeName(); }
    bool LongPathBug() const { return FLongPathBug; }
    // The live option list: callers may clear and fill it (the installer does, in OnBeforeExecute).
    std::vector<std::string>& Options() { return FOptions; }
    const std::vector<std::string>& Options() const { return FOptions; }
    const TTextHandler& OutputCallback() const { return FOutputCallback; }
    void SetOutputCallback(TTextHandler CallbackMethod) { FOutputCallback = std::move(CallbackMethod); }
    // The output collected by the runs without a callback; raises EIdeCommandLineToolError when a callback is
    // set (the lines went there).
    const std::string& Output() const;

    TIdeBorlandCommandLineToolEvent OnAfterExecute;
    TIdeBorlandCommandLineToolEvent OnBeforeExecute;

protected:
    // Runs FBinDirectory + GetExeName (quoted when it holds a space) followed by a space and CommandLine. With a
    // callback the full command line is its first line, then every output line; without one the run's output
    // is appended to FOutput.
    bool InternalExecute(const std::string& CommandLine);

    std::string FBinDirectory;
    TIdeCompilerSettingsFormat FCompilerSettingsFormat;
    bool FLongPathBug;
    std::vector<std::string> FOptions;
    TTextHandler FOutputCallback;
    std::string FOutput;
};

// The options that a package's companion project file (.dproj, .bdsproj or .dof) gives its compile.
struct TProjectOptions {
    bool UsePackages = false;
    std::string UnitOutputDir;
    std::string SearchPath;
    std::string DynamicPackages;
    std::string SearchDcpPath;
    std::string Conditionals;
    std::string Namespace;
};

class TIdeDCC32 : public TIdeBorlandCommandLineTool {
public:
    // Stores everything and sets the default options (SetDefaultOptions with False).
    TIdeDCC32(std::string ABinDirectory, bool ALongPathBug, float ADCCVersion,
              TIdeCompilerSettingsFormat ACompilerSettingsFormat, bool ASupportsNoConfig, bool ASupportsPlatform,
              std::string ADCPSearchPath, std::string ALibrarySearchPath, std::string ALibraryDebugSearchPath,
              std::string ACppSearchPath);

    std::string GetExeName() const override; // "dcc32.exe"
    // OnBeforeExecute, then the option list (as the handler left it) appended to CommandLine, path options in
    // the compiler's form, the run, OnAfterExecute.
    bool Execute(const std::string& CommandLine) override;
    // The platform's name for project files ("Win32").
    virtual std::string GetPlatform() const;
    // Clears the options, then "--no-config" when supported, the debug and release library folders as -U and,
    // with a C++ search path, that path as -U and "-LUrtl".
    virtual void SetDefaultOptions(bool ADebug);

    // Builds one package in its own folder (the process's current folder meanwhile), with a <package>.cfg of
    // an earlier build moved aside and put back afterwards, also when the build fails or raises: the default
    // options, the project options of the package's .dproj, .bdsproj or .dof, -LN and -LE, ExtraOptions.
    bool MakePackage(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath,
                     const std::string& ExtraOptions, bool ADebug);

    // The prefix length of an option that takes a path or a list of paths ("-U" 2, "-LE" 3, "-NS" 3 from
    // compiler version 23); 0 for an option that takes none.
    int PathOptionPrefixLength(const std::string& Option) const;

    const std::string& DCPSearchPath() const { return FDCPSearchPath; }
    const std::string& LibrarySearchPath() const { return FLibrarySearchPath; }
    const std::string& LibraryDebugSearchPath() const { return FLibraryDebugSearchPath; }
    const std::string& CppSearchPath() const { return FCppSearchPath; }
    bool SupportsNoConfig() const { return FSupportsNoConfig; }
    bool SupportsPlatform() const { return FSupportsPlatform; }
    float DCCVersion() const { return FDCCVersion; }

    // The installation's environment variables, for the evaluation of .dproj files.
    std::function<const TIdeNameValueList&()> FOnEnvironmentVariables;

protected:
    // The project options of PackageName's companion file, added to the option list.
    void AddProjectOptions(const std::string& PackageName, const std::string& DCPPath);
    bool ReadProjectOptions(const std::string& PackageName, TProjectOptions& Options);

    std::string FDCPSearchPath;
    std::string FLibrarySearchPath;
    std::string FLibraryDebugSearchPath;
    std::string FCppSearchPath;
    bool FSupportsNoConfig;
    bool FSupportsPlatform;
    float FDCCVersion;
};

// The Delphi compilers of the other platforms: dcc32 with another executable and platform name.
class TIdeDCCPlatformCompiler : public TIdeDCC32 {
public:
    TIdeDCCPlatformCompiler(std::string AExeName, std::string APlatformName, std::string ABinDirectory,
                            bool ALongPathBug, float ADCCVersion, TIdeCompilerSettingsFormat ACompilerSettingsFormat,
                            bool ASupportsNoConfig, bool ASupportsPlatform, std::string ADCPSearchPath,
                            std::string ALibrarySearchPath, std::string ALibraryDebugSearchPath,
                            std::string ACppSearchPath);
    std::string GetExeName() const override { return FExeName; }
    std::string GetPlatform() const override { return FPlatformName; }

private:
    std::string FExeName;
    std::string FPlatformName;
};

// A tool the installer only hands the output callback to (the C++ compilers, make, bpr2mak).
class TIdeCommandLineToolFile : public TIdeBorlandCommandLineTool {
public:
    TIdeCommandLineToolFile(std::string AExeName, std::string ABinDirectory, bool ALongPathBug,
                            TIdeCompilerSettingsFormat ACompilerSettingsFormat);
    std::string GetExeName() const override { return FExeName; }

private:
    std::string FExeName;
};

} // namespace tarvix
