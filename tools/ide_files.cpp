#include "tools/ide_files.h"

#include <vector>

#include "tools/prefix_builder.h"

namespace tarvix::tools {

namespace {

std::string crlf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

constexpr std::string_view kMsBuildNamespace = "http://schemas.microsoft.com/developer/msbuild/2003";

std::vector<std::string> propertyGroup(std::string_view condition, const NameValues& properties)
{
    std::vector<std::string> lines;
    lines.push_back(condition.empty() ? "  <PropertyGroup>"
                                      : "  <PropertyGroup Condition=\"" + std::string(condition) + "\">");
    for (const auto& [name, value] : properties)
        lines.push_back("    <" + name + ">" + value + "</" + name + ">");
    lines.push_back("  </PropertyGroup>");
    return lines;
}

std::string project(const std::vector<std::vector<std::string>>& groups)
{
    std::vector<std::string> lines = {"<?xml version=\"1.0\" encoding=\"utf-8\"?>",
                                      "<Project xmlns=\"" + std::string(kMsBuildNamespace) + "\">"};
    for (const auto& g : groups)
        lines.insert(lines.end(), g.begin(), g.end());
    lines.push_back("</Project>");
    return crlf(lines);
}

// The library settings of BDS 8 and later. The IDE keeps them twice, as the properties of EnvOptions.proj and
// as the values of its "Library" registry key; the key has no HPP output folder.
struct LibrarySetting {
    const char* property;
    const char* registryName; // nullptr: EnvOptions.proj only
    std::string value;
};

std::vector<LibrarySetting> librarySettings(bool platformFolders)
{
    const std::string sub = platformFolders ? "\\$(Platform)" : "";
    return {
        {"DelphiLibraryPath", "Search Path",
         "$(BDSLIB)\\$(Platform)\\release;$(BDSUSERDIR)\\Imports;$(BDS)\\Imports;$(BDSCOMMONDIR)\\Dcp" + sub +
             ";$(BDS)\\include"},
        {"DelphiBrowsingPath", "Browsing Path",
         "$(BDS)\\OCX\\Servers;$(BDS)\\SOURCE\\VCL;$(BDS)\\source\\rtl\\common;$(BDS)\\SOURCE\\RTL\\SYS;"
         "$(BDS)\\source\\rtl\\win;$(BDS)\\source\\ToolsAPI"},
        {"DelphiDebugDCUPath", "Debug DCU Path", "$(BDSLIB)\\$(Platform)\\debug"},
        {"DelphiDLLOutputPath", "Package DPL Output", "$(BDSCOMMONDIR)\\Bpl" + sub},
        {"DelphiDCPOutput", "Package DCP Output", "$(BDSCOMMONDIR)\\Dcp" + sub},
        {"DelphiHPPOutputPath", nullptr, "$(BDSCOMMONDIR)\\hpp\\$(Platform)"},
    };
}

} // namespace

std::string rsvarsText(std::string_view rootDir, std::string_view commonDir, int bdsVersion)
{
    const std::string root(rootDir);
    const std::string framework(PrefixBuilder::dotNetFrameworkFolder);
    std::string path = "%FrameworkDir%;%FrameworkSDKDir%;" + root + "\\bin;";
    if (bdsVersion >= 9)
        path += root + "\\bin64;";
    if (bdsVersion >= 23)
        path += root + "\\cmake;";
    path += "%PATH%";
    return crlf({
        "@SET BDS=" + root,
        "@SET BDSINCLUDE=" + root + "\\include",
        "@SET BDSCOMMONDIR=" + std::string(commonDir),
        "@SET FrameworkDir=" + framework,
        "@SET FrameworkVersion=v4.5",
        "@SET FrameworkSDKDir=",
        "@SET PATH=" + path,
        "@SET LANGDIR=EN",
        "@SET PLATFORM=",
        "@SET PlatformSDK=",
    });
}

std::string envOptionsText(int bdsVersion)
{
    if (bdsVersion < 8) {
        // RAD Studio 2007 to 2010: Win32 only, one group.
        return project({propertyGroup(
            "", {
                    {"Win32LibraryPath", "$(BDS)\\lib;$(BDS)\\Imports;$(BDSCOMMONDIR)\\Dcp"},
                    {"Win32BrowsingPath", "$(BDS)\\source\\Win32\\vcl;$(BDS)\\source\\Win32\\rtl\\common"},
                    {"Win32DebugDCUPath", "$(BDS)\\lib\\debug"},
                    {"Win32DLLOutputPath", "$(BDSCOMMONDIR)\\Bpl"},
                    {"Win32DCPOutput", "$(BDSCOMMONDIR)\\Dcp"},
                })});
    }
    const NameValues general = {
        {"DelphiTranslatedLibraryPath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)"},
        {"DelphiTranslatedResourcePath", "$(BDSLIB)\\$(Platform)\\release\\$(LANGDIR)"},
        {"AutoSaveEditorFiles", "False"},
    };
    auto platformProps = [](bool withPlatformFolder) {
        NameValues props;
        for (const LibrarySetting& setting : librarySettings(withPlatformFolder))
            props.push_back({setting.property, setting.value});
        return props;
    };
    if (bdsVersion == 8) {
        // RAD Studio XE: Delphi... properties, but no platforms yet.
        NameValues all = general;
        for (auto& p : platformProps(false)) {
            std::string v = p.second;
            for (std::string::size_type at; (at = v.find("\\$(Platform)")) != std::string::npos;)
                v.erase(at, 12);
            all.push_back({p.first, v});
        }
        return project({propertyGroup("", all)});
    }
    return project({
        propertyGroup("", general),
        propertyGroup("'$(Platform)'=='Win32'", platformProps(false)),
        propertyGroup("'$(Platform)'=='Win64'", platformProps(true)),
        propertyGroup("'$(Platform)'=='Linux64'", platformProps(true)),
    });
}

std::string environmentProjText(const RegisteredIde& ide)
{
    NameValues props = {
        {"BDS", ide.rootDir},
        {"BDSBIN", ide.binDir},
        {"BDSINCLUDE", ide.rootDir + "\\include"},
        {"BDSLIB", ide.rootDir + "\\lib"},
    };
    if (!ide.commonDir.empty())
        props.push_back({"BDSCOMMONDIR", ide.commonDir});
    if (!ide.userDir.empty()) {
        props.push_back({"BDSUSERDIR", ide.userDir});
        props.push_back({"BDSPROJECTSDIR", ide.userDir + "\\Projects"});
    }
    props.push_back({"DELPHI", ide.rootDir});
    return project({propertyGroup("", props)});
}

NameValues bdsLibraryPaths(int version, bool platformFolders)
{
    if (version >= 8) {
        NameValues values;
        for (const LibrarySetting& setting : librarySettings(platformFolders))
            if (setting.registryName)
                values.push_back({setting.registryName, setting.value});
        return values;
    }
    return {
        {"Search Path", "$(BDS)\\lib;$(BDS)\\Imports;$(BDS)\\Lib\\Indy10;$(BDSCOMMONDIR)\\Dcp"},
        {"Browsing Path",
         "$(BDS)\\source\\Win32\\vcl;$(BDS)\\source\\Win32\\rtl\\common;$(BDS)\\source\\Win32\\rtl\\sys"},
        {"Debug DCU Path", "$(BDS)\\lib\\debug"},
        {"Package DPL Output", "$(BDSCOMMONDIR)\\Bpl"},
        {"Package DCP Output", "$(BDSCOMMONDIR)\\Dcp"},
    };
}

} // namespace tarvix::tools
