// Messages with placeholders, as the system's texts are written: "%s" (a text) and "%d" (a number) are filled from
// left to right; a "%" followed by anything else stays as it is, and the inserted text is never scanned again.
// Placeholders beyond the values given stay in the text; values beyond the placeholders are dropped.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarvix::platform {

inline std::string formatText(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string out;
    out.reserve(pattern.size());
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder =
            pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
        if (placeholder && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace tarvix::platform
