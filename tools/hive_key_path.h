// Key paths of the hives the sandbox builder writes, taken apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::tools {

// The components of a key path; empty components (doubled, leading or trailing backslashes) are dropped.
inline std::vector<std::string> splitKey(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto slash = path.find('\\', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

} // namespace tarvix::tools
