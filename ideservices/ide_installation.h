// One installed Delphi, C++Builder or BDS-family IDE as found in the registry: its identity (version numbers,
// short version string such as "d37", root and bin folders, edition, update pack), the command-line tools in its
// bin folder, its personalities and its per-user configuration store.
//
// Installations are made by a factory (`Create`): the object is constructed first and then initialised, so the
// concrete class decides everything that depends on it (kind, version string, personalities) while its identity
// is read. The operations that later parts fill (library paths, compiler drivers, package registration) are
// declared here in their final order; until they are given bodies they raise EIdeBorRADException.
//
// A derived class that overrides one overload of RegisterPackage, UnregisterPackage, CompilePackage and the like
// must bring the others into scope with a using-declaration.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ideservices/ide_config_store.h"
#include "ideservices/ide_enum_set.h"
#include "ideservices/ide_errors.h"
#include "ideservices/ide_msbuild_env_options.h"
#include "ideservices/ide_msbuild_properties.h"
#include "platform/registry.h"

namespace tarvix {

enum class TIdeBorRADToolKind { brDelphi, brCppBuilder, brBorlandDevStudio };

enum class TIdeBorRADToolEdition { deSTD, dePRO, deCSS, deARC };

enum class TIdeBorPersonality {
    bpDelphi32,
    bpDelphi64,
    bpDelphiOSX32,
    bpDelphiOSX64,
    bpDelphiAndroid32,
    bpDelphiAndroid64,
    bpDelphiiOSDevice32,
    bpDelphiiOSDevice64,
    bpDelphiiOSSimulator,
    bpDelphiLinux64,
    bpBCBuilder32,
    bpBCBuilder64,
    bpDelphiNet32,
    bpDelphiNet64,
    bpCSBuilder32,
    bpCSBuilder64,
    bpVisualBasic32,
    bpVisualBasic64,
    bpDesign,
    bpUnknown,
};
using TIdeBorPersonalities = TIdeEnumSet<TIdeBorPersonality>;

enum class TIdeBDSPlatform {
    bpWin32,
    bpWin32c,
    bpWin64,
    bpWin64x,
    bpOSX32,
    bpOSX64,
    bpAndroid32,
    bpAndroid64,
    bpiOSDevice32,
    bpiOSDevice64,
    bpiOSSimulator,
    bpLinux64,
};

enum class TCommandLineTool {
    clAsm,
    clBcc32,
    clBcc32c,
    clBcc64,
    clBcc64x,
    clDcc32,
    clDcc64,
    clDccOSX32,
    clDccOSX64,
    clDcciOSSimulator,
    clDcciOS32,
    clDcciOS64,
    clDccArm32,
    clDccArm64,
    clDccLinux64,
    clDccIL,
    clMake,
    clProj2Mak,
};
using TCommandLineTools = TIdeEnumSet<TCommandLineTool>;

// How the IDE's compiler keeps project options: Delphi 7's .dof files, BDS 2006's .bdsproj, MSBuild projects.
enum class TIdeCompilerSettingsFormat { csfDOF, csfBDSProj, csfMsBuild };

// Receives one line of text (progress lines, compiler output).
using TTextHandler = std::function<void(const std::string&)>;

// The run-time library's error for a call of an operation that the object's class does not implement.
class EAbstractError : public std::logic_error {
public:
    EAbstractError() : std::logic_error("Abstract Error") {}
};

// The root given to a constructor to mean "the current user" (HKEY_CURRENT_USER).
inline constexpr platform::RegRoot kDefaultRootKey = platform::RegRoot(0);

class TIdeBorRADToolInstallation;
class TIdeBorRADToolIdePackages;
class TIdeBorlandCommandLineTool;
class TIdeDCC32;

// What the enumeration is told to construct for a registry root: a class's `Create`.
using TIdeBorRADToolInstallationClass =
    std::unique_ptr<TIdeBorRADToolInstallation> (*)(const std::string& AConfigDataLocation, platform::RegRoot ARootKey);

class TIdeBorRADToolInstallation {
public:
    // Constructs and initialises an installation of this class for the key AConfigDataLocation
    // ("\SOFTWARE\Embarcadero\BDS\37.0"), with its per-user store under ARootKey (HKEY_CURRENT_USER for
    // kDefaultRootKey). The base class cannot read an identity and raises EAbstractError.
    static std::unique_ptr<TIdeBorRADToolInstallation> Create(const std::string& AConfigDataLocation,
                                                              platform::RegRoot ARootKey = kDefaultRootKey);

    virtual ~TIdeBorRADToolInstallation();
    TIdeBorRADToolInstallation(const TIdeBorRADToolInstallation&) = delete;
    TIdeBorRADToolInstallation& operator=(const TIdeBorRADToolInstallation&) = delete;

    // --- Virtual operations -----------------------------------------------------------------------------------

    // Compile and install by language. The Pascal package builds use the Delphi compiler driver DCC; the C++
    // Builder ones (.bpk packages) are not supported and raise EIdeBorRADException "<Operation> is not supported
    // by this installation".
    virtual bool CompilePascalPackage(const std::string& PackageName, const std::string& BPLPath,
                                      const std::string& DCPPath);
    // Emits "Compiling package %s", checks the ".dpk" extension ("%s not a Delphi package source file"), adds
    // " -GD" when MapCreate is set, builds the package with DCC's MakePackage and emits "Compilation success" or
    // "Compilation failure".
    virtual bool CompilePascalPackageEx(const std::string& PackageName, const std::string& BPLPath,
                                        const std::string& DCPPath, const std::string& ExtraOptions);
    virtual bool CompileCppPackage(const std::string& PackageName, const std::string& BPLPath,
                                   const std::string& DCPPath);
    // Emits "Installing package %s", refuses a run-only package ("A run-only package cannot be installed"),
    // compiles it and registers its BPL with the description of its source, then emits "Installation of package
    // finished"; True when both the compile and the registration succeeded.
    virtual bool InstallPascalPackage(const std::string& PackageName, const std::string& BPLPath,
                                      const std::string& DCPPath);
    virtual bool InstallCppPackage(const std::string& PackageName, const std::string& BPLPath,
                                   const std::string& DCPPath);

    // Output paths and properties. The output paths of Delphi and C++Builder are the configuration store's
    // "Library" values "Package DCP Output" and "Package DPL Output", expanded (SubstitutePath).
    virtual std::string GetDCPOutputPath(TIdeBDSPlatform APlatform);
    virtual std::string GetBPLOutputPath(TIdeBDSPlatform APlatform);
    // The reader of EnvironmentVariables: the IDE's variables (BDS, BDSLIB, ...), built on first use.
    virtual const TIdeNameValueList& GetEnvironmentVariables();
    virtual std::string GetVclIncludeDir(TIdeBDSPlatform APlatform);
    // The reader of Name: "Delphi 7", "RAD Studio 13".
    virtual std::string Name() const;
    // The writer of OutputCallback: the installation's own progress lines go to the callback, and so does the
    // output of every driver of a tool that the bin folder holds (bcc32, dcc32, make, bpr2mak), each created
    // here when it does not exist yet.
    virtual void SetOutputCallback(TTextHandler CallbackMethod);

    // Library path accessors. Every operation of this family checks its platform first (RequirePlatform).
    // Delphi and C++Builder keep the paths in the configuration store only, returned as stored by both forms:
    // "Library" / "Search Path", "Library" / "Browsing Path" and "Debugging" / "Debug DCUs Path". The BDS family
    // keeps them elsewhere (TIdeBDSInstallation::ReadLibraryPath). Each accessor reads or writes its path of the
    // table kLibrarySearchPath, kLibraryBrowsingPath, kDebugDCUPath through ReadLibraryPath and WriteLibraryPath.
    virtual std::string GetDebugDCUPath(TIdeBDSPlatform APlatform);
    virtual std::string GetRawDebugDCUPath(TIdeBDSPlatform APlatform);
    virtual void SetRawDebugDCUPath(TIdeBDSPlatform APlatform, const std::string& Value);
    virtual std::string GetLibrarySearchPath(TIdeBDSPlatform APlatform);
    virtual std::string GetRawLibrarySearchPath(TIdeBDSPlatform APlatform);
    virtual void SetRawLibrarySearchPath(TIdeBDSPlatform APlatform, const std::string& Value);
    virtual std::string GetLibraryBrowsingPath(TIdeBDSPlatform APlatform);
    virtual std::string GetRawLibraryBrowsingPath(TIdeBDSPlatform APlatform);
    virtual void SetRawLibraryBrowsingPath(TIdeBDSPlatform APlatform, const std::string& Value);

    // Folder names and flags: RootDir\lib\, RootDir\lib\debug\, and the lib folder's obj\ when it exists (else
    // empty).
    virtual std::string GetLibFolderName(TIdeBDSPlatform APlatform);
    virtual std::string GetObjFolderName(TIdeBDSPlatform APlatform);
    virtual std::string GetLibDebugFolderName(TIdeBDSPlatform APlatform);
    // The reader of Valid: the installation has a key, a root folder and its IDE executable.
    virtual bool Valid() const;
    // The reader of IsDcc64: whether packages are registered in the 64-bit sections (" x64"); False here.
    virtual bool IsDcc64() const;

    // (The virtual constructor of the original design is the static Create of each class.)

    // Identity: every concrete class overrides these; the base class raises EAbstractError.
    virtual int GetLatestUpdatePackForVersion(int Version) const;
    virtual std::string PackageSourceFileExtension() const;
    virtual std::string ProjectSourceFileExtension() const;
    virtual TIdeBorRADToolKind RadToolKind() const;
    virtual std::string RadToolName() const;

    // Package operations. By the extension of PackageName, ignoring case: ".dpk" to the Pascal operation,
    // ".bpk" to the C++ one, anything else raises EIdeBorRADException "%s not a known package extension".
    virtual bool CompilePackage(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath);
    virtual bool CompilePackage(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath,
                                const std::string& ExtraOptions);
    virtual bool InstallPackage(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath);

    // Registration of a package among the IDE's known packages: "Registering package %s", then the entry
    // BinaryFileName = Description (the BPL's name without folder and extension when Description is empty)
    // through IdePackages, then "Registration ok". The second form derives the BPL's path from the package
    // source (PackageBinaryPath).
    virtual bool RegisterPackage(const std::string& BinaryFileName, const std::string& Description);
    virtual bool RegisterPackage(const std::string& PackageName, const std::string& BPLPath,
                                 const std::string& Description);

    // Project folders: RootDir\Projects for Delphi and C++Builder, both of them.
    virtual std::string GetDefaultProjectsDir();
    virtual std::string GetCommonProjectsDir();

    // --- Library paths (non-virtual; they work through the accessors above) --------------------------------

    // Raises EIdeBorRADException "This installation cannot generate binaries for an unknown platform" unless the
    // installation has a personality that builds for APlatform (bpWin32: bpDelphi32 or bpBCBuilder32, bpWin64:
    // bpDelphi64 or bpBCBuilder64, bpWin64x: bpBCBuilder64, ...).
    void RequirePlatform(TIdeBDSPlatform APlatform) const;

    // Appends the folders of Path (itself a ";"-separated list) that the raw path does not hold yet, comparing
    // folders by their long names without regard to case, and writes the path back (also when nothing was added).
    // False, without a write, for an empty Path. The browsing path is then extended the same way for the C++
    // compilers' platforms: bpWin32c after bpWin32 when bcc32c.exe is present, bpWin64x (with AdjustPathForWin64X
    // applied to each folder) after bpWin64 when bin64\bcc64x.exe is present; the result is the last one's.
    bool AddToLibrarySearchPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);
    bool AddToLibraryBrowsingPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);
    bool AddToDebugDCUPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);
    // Not supported by these installations (nothing in the installer removes folders): they raise
    // EIdeBorRADException "<Operation> is not supported by this installation".
    bool RemoveFromLibrarySearchPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);
    bool RemoveFromLibraryBrowsingPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);
    bool RemoveFromDebugDCUPath(const std::string& Path, TIdeBDSPlatform APlatform = TIdeBDSPlatform::bpWin32);

    // Splits a path list into List (replacing its contents); empty elements are kept.
    void ExtractPaths(const std::string& Path, std::vector<std::string>& List) const;
    // Path with every $(Name) of the installation's environment variables replaced by its value and doubled
    // backslashes collapsed ("$(BDS)\bin" with BDS = "C:\IDE\" gives "C:\IDE\bin"); see SubstituteVariables.
    std::string SubstitutePath(const std::string& Path);
    // The installation's environment variables: built on first use and kept (GetEnvironmentVariables).
    const TIdeNameValueList& EnvironmentVariables() { return GetEnvironmentVariables(); }

    // --- Properties -----------------------------------------------------------------------------------------

    TIdeConfigStore& ConfigData() { return *FConfigData; }
    const TIdeConfigStore& ConfigData() const { return *FConfigData; }
    const std::string& ConfigDataLocation() const { return FConfigDataLocation; }
    platform::RegRoot RootKey() const { return FRootKey; }
    // The merged registry values (per-user Globals, per-user key, machine Globals, machine key), first wins.
    const TIdeNameValueList& Globals() const { return FGlobals; }
    // The first Globals value of that name (ignoring case); empty when there is none.
    std::string GlobalValue(std::string_view Name) const;

    const std::string& RootDir() const { return FRootDir; }
    const std::string& BinFolderName() const { return FBinFolderName; }
    const std::string& EditionStr() const { return FEditionStr; }
    TIdeBorRADToolEdition Edition() const { return FEdition; }
    int InstalledUpdatePack() const { return FInstalledUpdatePack; }
    bool IsUpdatePackInstalled() const { return FInstalledUpdatePack > 0; }
    int IDEVersionNumber() const { return FIDEVersionNumber; }
    const std::string& IDEVersionNumberStr() const { return FIDEVersionNumberStr; }
    int IDEPackageVersionNumber() const { return FIDEPackageVersionNumber; }
    int PackageVersionNumber() const { return FPackageVersionNumber; }
    // The number followed by "0" ("370"); empty below 1.
    std::string IDEPackageVersionNumberStr() const;
    std::string PackageVersionNumberStr() const;
    float DCCVersion() const { return FDCCVersion; }
    TCommandLineTools CommandLineTools() const { return FCommandLineTools; }
    TIdeBorPersonalities Personalities() const { return FPersonalities; }
    const TTextHandler& OutputCallback() const { return FOutputCallback; }
    // The Globals value "App".
    std::string IdeExeFileName() const;
    // Name, the edition and the installed update pack: "RAD Studio 13 Professional".
    std::string Description() const;

    // Switches for optional debug-information processing of compiled binaries; off unless set.
    bool MapCreate() const { return FMapCreate; }
    void SetMapCreate(bool Value) { FMapCreate = Value; }
    bool JdbgCreate() const { return FJdbgCreate; }
    void SetJdbgCreate(bool Value) { FJdbgCreate = Value; }
    bool JdbgInsert() const { return FJdbgInsert; }
    void SetJdbgInsert(bool Value) { FJdbgInsert = Value; }
    bool MapDelete() const { return FMapDelete; }
    void SetMapDelete(bool Value) { FMapDelete = Value; }

    // --- Compiler drivers and package lists (made on first use, kept until the installation goes) -------------

    // The Win32 Delphi compiler driver for the bin folder's dcc32.exe, with the folders of bpWin32 (DCP output,
    // lib, lib\debug, obj) and the installation's flags. Raises EIdeBorRADException "%s not found" with
    // "dcc32.exe" when the bin folder has none.
    TIdeDCC32& DCC32();
    // The compiler that package builds use: DCC32 (nothing here selects another).
    TIdeDCC32& DCC();
    // The drivers of the C++ compiler, make and bpr2mak; each raises "%s not found" when its tool is missing.
    TIdeBorlandCommandLineTool& BCC32();
    TIdeBorlandCommandLineTool& Make();
    TIdeBorlandCommandLineTool& Bpr2Mak();
    // The IDE's package registration lists.
    TIdeBorRADToolIdePackages& IdePackages();

    // Capabilities derived from the kind and version.
    bool SupportsNoConfig() const;
    bool SupportsPlatform() const;
    bool SupportsLibSuffix() const;
    bool LongPathBug() const;
    TIdeCompilerSettingsFormat CompilerSettingsFormat() const;

protected:
    TIdeBorRADToolInstallation(std::string AConfigDataLocation, platform::RegRoot ARootKey);

    // Runs once, right after construction, with the concrete class in place: opens the configuration store,
    // reads the identity and probes the bin folder. Overrides call the base first, then add their own part.
    virtual void Initialize();
    void ReadIdentity();
    void ProbeCommandLineTools();

    // Where one of the three library paths is kept: for Delphi and C++Builder a value of the configuration store,
    // for the BDS family a property of EnvOptions.proj (BDS 8 on, and BDS 5 to 7) and a value in the registry.
    struct LibraryPathNames {
        const char* Section;       // "Library" (Delphi, C++Builder)
        const char* Value;         // "Search Path" (Delphi, C++Builder)
        const char* Property;      // "DelphiLibraryPath"
        const char* Win32Property; // "Win32LibraryPath"
        const char* RegistryValue; // "Search Path" (BDS)
    };
    static constexpr LibraryPathNames kLibrarySearchPath{"Library", "Search Path", "DelphiLibraryPath",
                                                         "Win32LibraryPath", "Search Path"};
    static constexpr LibraryPathNames kLibraryBrowsingPath{"Library", "Browsing Path", "DelphiBrowsingPath",
                                                           "Win32BrowsingPath", "Browsing Path"};
    static constexpr LibraryPathNames kDebugDCUPath{"Debugging", "Debug DCUs Path", "DelphiDebugDCUPath",
                                                    "Win32DebugDCUPath", "Debug DCU Path"};
    // One library path of the platform, evaluated or (Raw) as written; here the configuration store's value as
    // stored, for both forms.
    virtual std::string ReadLibraryPath(TIdeBDSPlatform APlatform, bool Raw, const LibraryPathNames& Names);
    virtual void WriteLibraryPath(TIdeBDSPlatform APlatform, const std::string& Path, const LibraryPathNames& Names);

    // Constructs and initialises a T (the body of each class's Create).
    template <typename T>
    static std::unique_ptr<T> Make(const std::string& AConfigDataLocation, platform::RegRoot ARootKey)
    {
        std::unique_ptr<T> installation(new T(AConfigDataLocation, ARootKey));
        installation->Initialize();
        return installation;
    }

    // Raises the EIdeBorRADException of an operation this installation cannot do.
    [[noreturn]] void NotSupported(const char* Operation) const;
    // Calls the output callback with Line when one is set.
    void EmitOutput(const std::string& Line) const;
    // Raises "%s not found" with ExeName when CommandLineTools lacks Tool.
    void RequireTool(TCommandLineTool Tool, const char* ExeName) const;
    // A Delphi compiler driver for a platform's compiler, with that platform's folders.
    std::unique_ptr<TIdeDCC32> MakeCompiler(const char* ExeName, TIdeBDSPlatform APlatform);
    // A driver of a tool that gets nothing but the output callback.
    std::unique_ptr<TIdeBorlandCommandLineTool> MakeTool(const char* ExeName);

    // Steps every class shares when it builds its environment variables: the process environment (each value
    // expanded), BDSCOMMONDIR for BDS above 5, the configuration store's "Environment Variables" (from version 6
    // and for every BDS), and the removal of entries without a name.
    void ReadSharedEnvironmentVariables(TIdeNameValueList& List);
    // The folder for this IDE's BDSCOMMONDIR below the common documents folder ("...\Embarcadero\Studio\37.0";
    // "...\RAD Studio\7.0" for BDS 6 to 13); empty when the system has no common documents folder.
    std::string BdsCommonDirFromShell() const;

    std::unique_ptr<TIdeConfigStore> FConfigData;
    std::string FConfigDataLocation;
    platform::RegRoot FRootKey;
    TIdeNameValueList FGlobals;
    std::string FRootDir;
    std::string FBinFolderName;
    std::string FEditionStr;
    TIdeBorRADToolEdition FEdition = TIdeBorRADToolEdition::deSTD;
    int FInstalledUpdatePack = 0;
    int FIDEVersionNumber = 0;
    std::string FIDEVersionNumberStr;
    int FIDEPackageVersionNumber = 0;
    int FPackageVersionNumber = 0;
    float FDCCVersion = 0.0f;
    bool FMapCreate = false;
    bool FJdbgCreate = false;
    bool FJdbgInsert = false;
    bool FMapDelete = false;
    TCommandLineTools FCommandLineTools;
    TIdeBorPersonalities FPersonalities;
    TTextHandler FOutputCallback;
    // Null until EnvironmentVariables is first read.
    std::unique_ptr<TIdeNameValueList> FEnvironmentVariables;
    // Null until first used.
    std::unique_ptr<TIdeDCC32> FDCC32;
    TIdeDCC32* FDCC = nullptr; // the compiler chosen for builds; null means DCC32
    std::unique_ptr<TIdeBorlandCommandLineTool> FBCC32;
    std::unique_ptr<TIdeBorlandCommandLineTool> FMake;
    std::unique_ptr<TIdeBorlandCommandLineTool> FBpr2Mak;
    std::unique_ptr<TIdeBorRADToolIdePackages> FIdePackages;

private:
    // The steps of ReadIdentity, in this order: each reads what the earlier ones have set.
    void ReadGlobals();
    void ReadVersionNumber();
    void ReadVersionNumberStr();
    void ReadPackageVersions();
    void ReadRootAndBinFolders();
    void ReadEdition();
    void ReadInstalledUpdatePack();
};

class TIdeDelphiInstallation : public TIdeBorRADToolInstallation {
public:
    static std::unique_ptr<TIdeDelphiInstallation> Create(const std::string& AConfigDataLocation,
                                                          platform::RegRoot ARootKey = kDefaultRootKey);

    int GetLatestUpdatePackForVersion(int Version) const override; // 1 for Delphi 5, 2 for Delphi 6
    std::string PackageSourceFileExtension() const override;       // ".dpk"
    std::string ProjectSourceFileExtension() const override;       // ".dpr"
    TIdeBorRADToolKind RadToolKind() const override;               // brDelphi
    std::string RadToolName() const override;                      // "Delphi"

    // The shared variables, then DELPHI = RootDir.
    const TIdeNameValueList& GetEnvironmentVariables() override;

protected:
    using TIdeBorRADToolInstallation::TIdeBorRADToolInstallation;
    void Initialize() override;
    friend class TIdeBorRADToolInstallation;
};

class TIdeBCBInstallation : public TIdeBorRADToolInstallation {
public:
    static std::unique_ptr<TIdeBCBInstallation> Create(const std::string& AConfigDataLocation,
                                                       platform::RegRoot ARootKey = kDefaultRootKey);

    int GetLatestUpdatePackForVersion(int Version) const override; // 4 for C++Builder 6
    std::string PackageSourceFileExtension() const override;       // ".bpk"
    std::string ProjectSourceFileExtension() const override;       // ".bpr"
    TIdeBorRADToolKind RadToolKind() const override;               // brCppBuilder
    std::string RadToolName() const override;                      // "C++Builder"

    // The shared variables, then BCB = RootDir.
    const TIdeNameValueList& GetEnvironmentVariables() override;

protected:
    using TIdeBorRADToolInstallation::TIdeBorRADToolInstallation;
    void Initialize() override;
    friend class TIdeBorRADToolInstallation;
};

class TIdeBDSInstallation : public TIdeBorRADToolInstallation {
public:
    static std::unique_ptr<TIdeBDSInstallation> Create(const std::string& AConfigDataLocation,
                                                       platform::RegRoot ARootKey = kDefaultRootKey);
    ~TIdeBDSInstallation() override;

    // The base drivers, then those of the other platforms' compilers, bcc64 and dccil that the bin folder holds.
    void SetOutputCallback(TTextHandler CallbackMethod) override;
    // With dual packages (off unless set; it needs the C++Builder personality, else "This installation of %s
    // doesn't support dual packages") the options gain " -JL -NB", -NO and the DCP folder; then the base build.
    bool CompilePascalPackageEx(const std::string& PackageName, const std::string& BPLPath, const std::string& DCPPath,
                                const std::string& ExtraOptions) override;
    // From BDS 3 on, the package cache of the BPL ("Package Cache\<file name>" below the configuration key) is
    // removed first ("Cleaning package cache for %s", then "Cleaning ok" or "Cleaning failed"; its result does
    // not matter), then the base registration.
    bool RegisterPackage(const std::string& BinaryFileName, const std::string& Description) override;
    using TIdeBorRADToolInstallation::RegisterPackage;
    // True when the compiler chosen for builds is the 64-bit one (never, here: nothing chooses it).
    bool IsDcc64() const override;

    // The Delphi compilers of the other platforms and the other tools; each raises "%s not found" when the bin
    // folder lacks it.
    TIdeDCC32& DCC64();
    TIdeDCC32& DCCOSX32();
    TIdeDCC32& DCCOSX64();
    TIdeDCC32& DCCiOSSimulator();
    TIdeDCC32& DCCiOS32();
    TIdeDCC32& DCCiOS64();
    TIdeDCC32& DCCArm32();
    TIdeDCC32& DCCArm64();
    TIdeDCC32& DCCLinux64();
    TIdeBorlandCommandLineTool& BCC64();
    // The .NET compiler builds for no platform of TIdeBDSPlatform: it gets no folders.
    TIdeDCC32& DCCIL();

    // Output paths, by version: BDS 8 and later read the evaluated "CBuilderBPLOutputPath" (when empty
    // "DelphiDLLOutputPath") and "DelphiDCPOutput" of EnvOptions.proj for the platform; 5 to 7 their Win32...
    // forms; 3 and 4 the registry's "Library" values "Package DPL Output" / "Package DCP Output", expanded; 1 and 2
    // the default projects folder + "\bpl" and RootDir + "\lib". An empty result is returned as it is.
    std::string GetDCPOutputPath(TIdeBDSPlatform APlatform) override;
    std::string GetBPLOutputPath(TIdeBDSPlatform APlatform) override;
    // The shared variables set aside; from BDS 5 on the variables of bin\rsvars.bat with the set-aside ones put
    // back over them (expanded), up to BDS 4 BDS, BDSPROJECTSDIR and BDSCOMMONDIR added when missing.
    const TIdeNameValueList& GetEnvironmentVariables() override;
    std::string Name() const override; // "RAD Studio 13"; "<tool> ***<version>***" for an unknown release

    // BDS 8 and later: RootDir\lib\<platform>\release\ and ...\debug\; earlier: RootDir\lib\ and
    // RootDir\lib\debug\.
    std::string GetLibFolderName(TIdeBDSPlatform APlatform) override;
    std::string GetLibDebugFolderName(TIdeBDSPlatform APlatform) override;
    // Also requires, from BDS 5 on, the per-user EnvOptions.proj and bin\rsvars.bat.
    bool Valid() const override;

    int GetLatestUpdatePackForVersion(int Version) const override; // 1 for BDS 9 and 10
    std::string PackageSourceFileExtension() const override;       // ".dpk"
    std::string ProjectSourceFileExtension() const override;       // ".dpr"
    TIdeBorRADToolKind RadToolKind() const override;               // brBorlandDevStudio
    // The release's product name ("RAD Studio"); "Delphi" or "C++Builder" for a single-personality RAD Studio 2007.
    std::string RadToolName() const override;

    // The per-user MSBuild options file: <AppData>\Embarcadero\BDS\37.0\EnvOptions.proj (CodeGear for BDS 6 and
    // 7, Borland for BDS 5). Raises EIdeBorRADException "MSBuild is not supported by this IDE" below BDS 5.
    std::string EnvOptionsFileName() const;
    // environment.proj in the same folder.
    std::string EnvironmentProjFileName() const;

    // One property of EnvOptions.proj, evaluated with the installation's environment variables and, from BDS 9 on,
    // the global property "Platform" = the platform's name: its evaluated value, or with Raw its text as written
    // in the file (empty when the property comes from environment.proj or nowhere). environment.proj is read
    // first when it exists. Below BDS 5 it raises EIdeBorRADException "Query of RsVars for <tool> <version>
    // reported the following error "MSBuild is not supported by this IDE"". The file is read afresh every time.
    std::string ReadEnvOption(const std::string& Name, TIdeBDSPlatform APlatform, bool Raw = false);
    // Sets the raw text of the property that is active for the platform (a new element in the file's first
    // property group when none defines it) and rewrites EnvOptions.proj, keeping a ".bak" copy of the previous
    // file until the new one is written. Same version check as ReadEnvOption.
    void WriteEnvOption(const std::string& Name, const std::string& Value, TIdeBDSPlatform APlatform);

    bool DualPackageInstallation() const { return FDualPackageInstallation; }
    void SetDualPackageInstallation(bool Value) { FDualPackageInstallation = Value; }
    bool PdbCreate() const { return FPdbCreate; }
    void SetPdbCreate(bool Value) { FPdbCreate = Value; }

    // Project folders (BDS 1 and 2 put their packages there, BDS up to 4 name them BDSPROJECTSDIR and
    // BDSCOMMONDIR). The default one: the user's documents folder (the "Personal" shell folder of the
    // installation's root key) + "\Borland Studio Projects" (up to BDS 5), "\RAD Studio\Projects" (6 to 13) or
    // "\Embarcadero\Studio\Projects" (14 on). The common one: the common documents folder + "\Borland Studio
    // Projects" (up to BDS 5), else the BDSCOMMONDIR folder ("...\RAD Studio\7.0",
    // "...\Embarcadero\Studio\37.0"). Empty when the system does not know the documents folder.
    std::string GetDefaultProjectsDir() override;
    std::string GetCommonProjectsDir() override;

protected:
    using TIdeBorRADToolInstallation::TIdeBorRADToolInstallation;
    void Initialize() override;
    friend class TIdeBorRADToolInstallation;

    // The version check of ReadEnvOption and WriteEnvOption, and what they hand the evaluator.
    TIdeEnvOptionsFile EnvOptionsFor(TIdeBDSPlatform APlatform);
    // The registry section of the library paths: "Library\<platform>" from BDS 9 on, "Library" before.
    std::string LibrarySection(TIdeBDSPlatform APlatform) const;
    // The library paths, by version: BDS 8 and later keep them in EnvOptions.proj ("DelphiLibraryPath",
    // "DelphiBrowsingPath", "DelphiDebugDCUPath" in the group active for the platform; the registry's values
    // "Search Path", "Browsing Path" and "Debug DCU Path" of "Library\<platform>" (BDS 9 on) or "Library" (BDS 8)
    // stand in when the file has none) and in the registry; 5 to 7 in both ("Win32LibraryPath", ...); up to 4 in the
    // registry only. The evaluated getters read the file's evaluated value, the raw ones its text as written; a
    // registry value is returned as stored. The setters write the registry first, then the file.
    std::string ReadLibraryPath(TIdeBDSPlatform APlatform, bool Raw, const LibraryPathNames& Names) override;
    void WriteLibraryPath(TIdeBDSPlatform APlatform, const std::string& Path, const LibraryPathNames& Names) override;
    // The user's documents folder; empty when unknown.
    std::string PersonalFolder() const;

    // The compiler driver of one of the platform compilers (PlatformCompilers order), made on first use.
    TIdeDCC32& PlatformCompiler(std::size_t Index);

    bool FDualPackageInstallation = false;
    bool FPdbCreate = false;
    // dcc64, dccosx, dccosx64, dccios32, dcciosarm, dcciosarm64, dccaarm, dccaarm64, dcclinux64.
    std::unique_ptr<TIdeDCC32> FPlatformCompilers[9];
    std::unique_ptr<TIdeBorlandCommandLineTool> FBCC64;
    std::unique_ptr<TIdeDCC32> FDCCIL;
};

} // namespace tarvix
