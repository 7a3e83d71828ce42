// Helpers shared by the MSBuild evaluator tests.
#pragma once

#include "ideservices/ide_msbuild_parser.h"

#include <memory>
#include <string>
#include <string_view>

namespace tarvix::test {

inline constexpr const char* kEnvOptionsName =
    "C:\\users\\ana\\AppData\\Roaming\\Embarcadero\\BDS\\37.0\\EnvOptions.proj";

// A Project element with the MSBuild namespace around `inner`.
inline std::string MsBuildProject(std::string_view inner)
{
    return "<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">" + std::string(inner) +
           "</Project>";
}

// A parser on a document given as text; text without byte-order mark or declaration is read as UTF-8, so
// nothing asks the system for its code page.
inline std::unique_ptr<TIdeMsBuildParser> MsBuildFromText(std::string_view xml,
                                                          const std::string& fileName = kEnvOptionsName)
{
    return TIdeMsBuildParser::FromBytes(fileName, xml, {}, TIdeXmlEncoding::seAuto, 65001);
}

} // namespace tarvix::test
