// Reading and writing one property of the IDE's per-user MSBuild options file (EnvOptions.proj): the work behind
// the installation's ReadEnvOption and WriteEnvOption, which add only the version check.
#pragma once

#include "ideservices/ide_msbuild_properties.h"

#include <string>

namespace tarvix {

struct TIdeEnvOptionsFile {
    std::string EnvOptionsFileName;         // %APPDATA%\Embarcadero\BDS\<ver>\EnvOptions.proj
    std::string EnvironmentProjFileName;    // environment.proj beside it; read first when it exists (empty: none)
    TIdeNameValueList EnvironmentVariables; // the installation's environment variables (BDS, BDSLIB, ...)
    std::string PlatformName;               // global property "Platform"; empty when the IDE has no platforms
};

// Evaluates the file and returns the property's evaluated value, or with Raw its text as written in the file
// (empty when the property comes from environment.proj, the environment or nowhere).
std::string ReadMsBuildEnvOption(const TIdeEnvOptionsFile& File, const std::string& Name, bool Raw);

// Sets the raw text of the property that is active for the platform (appending a new element to the first
// property group when no element defines it) and rewrites the file, with a ".bak" copy of the previous one
// standing by (SaveWithBackup).
void WriteMsBuildEnvOption(const TIdeEnvOptionsFile& File, const std::string& Name, const std::string& Value);

} // namespace tarvix
