#include "ideservices/ide_msbuild_env_options.h"

#include "ideservices/ide_file_backup.h"
#include "ideservices/ide_msbuild_parser.h"
#include "platform/system.h"

#include <memory>

namespace tarvix {

std::string ReadMsBuildEnvOption(const TIdeEnvOptionsFile& File, const std::string& Name, bool Raw)
{
    std::vector<std::string> extraImports;
    if (!File.EnvironmentProjFileName.empty() && platform::current().files().fileExists(File.EnvironmentProjFileName))
        extraImports.push_back(File.EnvironmentProjFileName);
    TIdeMsBuildParser parser(File.EnvOptionsFileName, extraImports);
    parser.Init();
    parser.MergeEnvironmentProperties(File.EnvironmentVariables);
    if (!File.PlatformName.empty())
        parser.Properties().GlobalProperties().SetValues("Platform", File.PlatformName);
    parser.Parse();
    return Raw ? parser.GetRawValue(Name) : parser.Properties().Values(Name);
}

void WriteMsBuildEnvOption(const TIdeEnvOptionsFile& File, const std::string& Name, const std::string& Value)
{
    TIdeMsBuildParser parser(File.EnvOptionsFileName);
    parser.Init();
    parser.Properties().EnvironmentProperties().Assign(File.EnvironmentVariables);
    if (!File.PlatformName.empty())
        parser.Properties().GlobalProperties().SetValues("Platform", File.PlatformName);
    parser.Parse();
    parser.SetRawValue(Name, Value);
    SaveWithBackup(File.EnvOptionsFileName, [&parser] { parser.Save(); });
}

} // namespace tarvix
