// A Wine prefix made by the real `wine wineboot -i`, for the interop tests (ctest label "interop").
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvix::test {

// The prefix shared by the interop tests of one build tree, made on first use in
// <build folder>/interop/wine-prefix. Test
// processes running in parallel wait on a lock for the one that makes it; later runs reuse it. Tests only read
// it; a test that changes a prefix makes its own copy with copyRealWinePrefix().
const std::filesystem::path& realWinePrefix();

// A copy of the shared prefix at `target` (which must not exist yet), for tests that change it.
void copyRealWinePrefix(const std::filesystem::path& target);

struct WineRun {
    int exitCode = -1;
    std::string output; // standard output, carriage returns removed
};

// Runs `wine <args>` in `prefix` (WINEPREFIX set, debug output off, the Mono and Gecko installers suppressed) and
// waits for it. `wineserver -w` follows when `waitForServer`, so that the hives are written when it returns.
WineRun runWine(const std::filesystem::path& prefix, const std::vector<std::string>& args, bool waitForServer = false);

} // namespace tarvix::test
