// Prefixes made by the real wine: `wine wineboot -i` in the prefix folder, without Mono, Gecko or a display,
// through the platform's child-process runner.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tarvix::tools {

// Makes a prefix in `dir` (created when missing) with `wine wineboot -i` and waits until its wineserver has
// written the hives; `log` gets the progress line. Raises PrefixBuildError when wine is not installed or makes
// no prefix.
void bootWinePrefix(const std::filesystem::path& dir, const std::function<void(const std::string&)>& log);

} // namespace tarvix::tools
