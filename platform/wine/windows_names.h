// How Windows compares and matches names: without regard to case (by the Unicode upper-case mapping of each
// UTF-16 code unit, as the file system's case table does) and with the wildcard rules of FindFirstFile.
#pragma once

#include <string>
#include <string_view>

namespace tarvix::platform {

// The name in upper case, as UTF-16 code units.
std::u16string upperName(std::string_view utf8);

// Whether two names are the same for Windows (case-insensitive).
bool sameName(std::string_view a, std::string_view b);

// FindFirstFile's wildcard rules for long names. "*" and "*.*" match every name. Otherwise:
// - "?" matches one character, except that at a "." or at the end of the name it matches nothing (so "a??"
//   matches "a", "ab" and "abc");
// - a "*" directly before a "." may run over dots but never over the name's last dot (so "*.dcr" matches
//   "x.dcr" and "a.b.dcr" but not "x.dcr.bak");
// - a "." before "?" or "*" or at the end of the mask also matches the end of a name without a dot (so "*."
//   matches exactly the names without a dot, "abc.*" matches "abc");
// - any other "*" matches any run of characters; every other character matches itself, ignoring case.
// An empty mask matches nothing.
bool matchesMask(std::string_view name, std::string_view mask);

} // namespace tarvix::platform
