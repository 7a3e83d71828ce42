// A small MSBuild evaluator for the IDE's option files (EnvOptions.proj) and project files (.dproj): loads the
// file as XML, evaluates its property groups with their conditions, imports and choose blocks, expands property
// references, answers evaluated and raw property values, changes the raw text of one property and writes the
// file back in the IDE's layout.
//
// Typical use: construct on the file, Init(), adjust the environment and global properties, Parse(), then read
// Properties().Values(name) or GetRawValue(name); to change a value, SetRawValue() and Save().
#pragma once

#include "ideservices/ide_msbuild_properties.h"
#include "ideservices/ide_msbuild_xml.h"

#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

class TIdeMsBuildParser {
public:
    // May supply the document of an imported file instead of reading it; SubOwnsXml tells whether the parser is
    // to delete it. Returning null lets the parser read the file.
    using TImportEvent =
        std::function<pugi::xml_document*(TIdeMsBuildParser& Sender, const std::string& FileName, bool& SubOwnsXml)>;
    using TToolsVersionEvent = std::function<void(TIdeMsBuildParser& Sender, const std::string& ToolsVersion)>;
    // Answers $(registry:Root\Path@Name); returns true when it did.
    using TRegistryPropertyEvent =
        std::function<bool(TIdeMsBuildParser& Sender, const std::string& Root, const std::string& Path,
                           const std::string& Name, std::string& Value)>;
    // Answers a property function such as $([System.IO.Path]::Combine(...)); returns true when it did.
    using TFunctionPropertyEvent =
        std::function<bool(TIdeMsBuildParser& Sender, const std::string& Command, std::string& Value)>;

    // Reads AFileName (a Windows path, through the platform's file system). With seAuto and code page 0 the
    // encoding comes from a byte-order mark, else from the XML declaration, else the system ANSI code page.
    // Raises the platform's FileError when the file cannot be read and EIdeXmlError when it is not XML.
    explicit TIdeMsBuildParser(const std::string& AFileName, TIdeXmlEncoding Encoding = TIdeXmlEncoding::seAuto,
                               uint32_t CodePage = 0);
    // As above, then an Import of each extra file, in order, is put before everything else in the project, so
    // they are evaluated first (and would be written back by Save).
    TIdeMsBuildParser(const std::string& AFileName, const std::vector<std::string>& ExtraImportsFileName,
                      TIdeXmlEncoding Encoding = TIdeXmlEncoding::seAuto, uint32_t CodePage = 0);
    // The same on bytes already at hand: AFileName is the name the document goes by (reserved properties,
    // relative imports, Save).
    static std::unique_ptr<TIdeMsBuildParser> FromBytes(const std::string& AFileName, std::string_view Bytes,
                                                        const std::vector<std::string>& ExtraImportsFileName = {},
                                                        TIdeXmlEncoding Encoding = TIdeXmlEncoding::seAuto,
                                                        uint32_t CodePage = 0);
    // On a document owned by the caller, whose values are held decoded.
    TIdeMsBuildParser(const std::string& AFileName, pugi::xml_document& Xml);

    virtual ~TIdeMsBuildParser();
    TIdeMsBuildParser(const TIdeMsBuildParser&) = delete;
    TIdeMsBuildParser& operator=(const TIdeMsBuildParser&) = delete;

    // InitReservedProperties, then the environment properties from the process environment.
    void Init();
    // The MSBuild* properties of the project file and of the file being parsed. Raises EIdeMsBuildError
    // "Unable to locate MSBuild.exe" when no .NET Framework runtime folder holds it.
    void InitReservedProperties();
    // Evaluates the document. Raises EIdeMsBuildError for what the evaluator does not accept.
    void Parse();

    // Expands $(Name), $(registry:...) and @(...) references; a result that starts with "0x" becomes the
    // decimal text of that hexadecimal number. An expansion that keeps producing references (a property whose
    // value refers to itself) raises EIdeMsBuildError "Endless expansion of ..." at the limit of every expansion
    // (ide_reference_expansion.h).
    std::string EvaluateString(std::string_view S);
    // Evaluates a condition; the empty condition is true.
    bool ParseCondition(std::string_view Condition);

    // The text of the element that defined the property in the main file, as written there (unevaluated); ""
    // when the property is undefined or came from elsewhere (an import, the environment, a reserved or global
    // property).
    std::string GetRawValue(std::string_view Name) const;
    // Changes that element's text, or appends a new element to the first property group of the main file.
    // Evaluated values are not recomputed.
    void SetRawValue(std::string_view Name, std::string_view Value);
    // Every environment property for which the list has a non-empty value takes that value; names not in the
    // environment layer are not added.
    void MergeEnvironmentProperties(const TIdeNameValueList& SystemEnvironmentProperties);

    // Writes the document to the project file (see ide::FormatXmlDocument for the layout): without XML
    // declaration, in the encoding the declaration named or else the one the file was read in; UTF-8 and
    // UTF-16 with a byte-order mark.
    void Save();
    // The bytes Save writes.
    std::string SaveToBytes() const;

    TIdeMsBuildProperties& Properties() { return *FProperties; }
    const TIdeMsBuildProperties& Properties() const { return *FProperties; }
    // Property lookup and assignment as the evaluator does them (overridable).
    virtual std::string Values(std::string_view Name) const;
    virtual void SetValues(std::string_view Name, std::string_view Value);

    const std::string& CurrentFileName() const { return FCurrentFileName; }
    const std::string& ProjectFileName() const { return FProjectFileName; }
    pugi::xml_document& Xml() { return *FXml; }
    const std::vector<std::string>& InitialTargets() const { return FInitialTargets; }
    const std::vector<std::string>& DefaultTargets() const { return FDefaultTargets; }
    const std::string& ToolsVersion() const { return FToolsVersion; }
    const std::string& DotNetVersion() const { return FDotNetVersion; }
    bool IgnoreFunctionProperties() const { return FIgnoreFunctionProperties; }
    void SetIgnoreFunctionProperties(bool Value) { FIgnoreFunctionProperties = Value; }
    const std::string& WorkingDirectory() const { return FWorkingDirectory; }
    void SetWorkingDirectory(const std::string& Value) { FWorkingDirectory = Value; }
    pugi::xml_node FirstPropertyGroup() const { return FFirstPropertyGroup; }
    pugi::xml_node ProjectExtensions() const { return FProjectExtensions; }
    // The code page the file was read in, and the one Save writes (changeable).
    uint32_t ReadCodePage() const { return FReadCodePage; }
    uint32_t SaveCodePage() const { return FSaveCodePage; }
    void SetSaveCodePage(uint32_t Value) { FSaveCodePage = Value; }

    TImportEvent OnImport;
    TToolsVersionEvent OnToolsVersion;
    TRegistryPropertyEvent OnRegistryProperty;
    TFunctionPropertyEvent OnFunctionProperty;

private:
    struct LoadedFile {
        std::unique_ptr<pugi::xml_document> Xml;
        uint32_t ReadCodePage = 0;
        uint32_t SaveCodePage = 0;
    };
    TIdeMsBuildParser(const std::string& AFileName, LoadedFile Loaded, const std::vector<std::string>& ExtraImports);
    static LoadedFile LoadBytes(std::string_view Bytes, TIdeXmlEncoding Encoding, uint32_t CodePage,
                                std::string_view FileName);
    static LoadedFile LoadFile(const std::string& FileName, TIdeXmlEncoding Encoding, uint32_t CodePage);
    void InsertExtraImports(const std::vector<std::string>& ExtraImports);

    void ParseProject(pugi::xml_node Root);
    void ParsePropertyGroup(pugi::xml_node Group);
    void ParseChoose(pugi::xml_node Choose);
    void ApplyChooseBlock(pugi::xml_node Block);
    void ParseImport(pugi::xml_node Import);
    void ParseImportGroup(pugi::xml_node Group);
    void ImportFile(const std::string& FileName);
    bool ElementCondition(pugi::xml_node Element);
    void UpdateThisFileProperties();
    std::string ResolveFileName(std::string_view FileName) const;
    bool InMainFile() const { return FImportStack.empty(); }

    std::string EvaluateReference(std::string_view Inner);
    std::string EvaluateRegistryProperty(std::string_view Location);

    friend class TIdeMsBuildConditionReader;

    std::string FCurrentFileName;
    std::string FProjectFileName;
    pugi::xml_document* FXml = nullptr;
    bool FOwnsXml = false;
    std::unique_ptr<TIdeMsBuildProperties> FProperties;
    std::vector<std::string> FInitialTargets;
    std::vector<std::string> FDefaultTargets;
    std::string FToolsVersion;
    std::string FDotNetVersion;
    std::string FDotNetFolder;
    bool FIgnoreFunctionProperties = true;
    std::string FWorkingDirectory;
    pugi::xml_node FFirstPropertyGroup;
    pugi::xml_node FProjectExtensions;
    uint32_t FReadCodePage = 0;
    uint32_t FSaveCodePage = 0;
    bool FReservedInitialized = false;
    std::vector<std::string> FImportStack; // imported files being evaluated, outermost first
};

} // namespace tarvix
