// The private-profile (INI file) reader: what GetPrivateProfileStringW answers on Windows, with the same rules
// on every system.
//
// A profile file has section lines ("[Name]") and key lines ("Key=Value"); lines of any other shape and lines
// whose first non-blank character is ";" are passed over, and so are key lines before the first section. Section
// and key names match without regard to case (ASCII and Latin-1 letters) and without the blanks around them. The
// value is the text after the first "=", without the blanks around it and without one pair of matching single or
// double quotes that encloses it, cut to 2047 UTF-16 code units (never between the two units of a surrogate
// pair). When a section name or a key occurs more than once, the first key line found in file order wins.
//
// The file is read as UTF-16 when it begins with a UTF-16 byte-order mark (little or big endian), as UTF-8 when
// it begins with the UTF-8 one, and as 8-bit text in the system's ANSI code page otherwise. Line ends are CR LF,
// LF or CR. A file that is missing or cannot be read gives the default, as does a missing section or key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvix::platform {

// The longest value the reader hands out, in UTF-16 code units (its buffer holds 2048 with the terminator).
inline constexpr std::size_t ProfileValueMaxLength = 2047;

// The value of `key` in `section` of the profile file `fileName` (a Windows path, read through
// platform::current()), or `defaultValue`.
std::string privateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                 std::string_view fileName);

// The value of `key` in `section`, or nothing when the file, the section or the key is missing (or the file cannot
// be read): for callers to whom a key present with an empty value means something else than no key.
std::optional<std::string> privateProfileValue(std::string_view section, std::string_view key,
                                               std::string_view fileName);

// The value read as an integer: decimal with an optional sign, or hexadecimal after "0x" (any case) or "$",
// optionally signed too. A value that is not one of these, or is missing, gives `defaultValue`. Decimal values
// must lie in the 32-bit signed range, or they give the default as well; hexadecimal values are 32-bit patterns
// of at most 8 significant digits ("$FFFFFFFF" is -1), and a longer one gives the default.
int32_t privateProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                          std::string_view fileName);

// The pieces of the reader, for callers that hold the file's bytes themselves.

// The file's text as UTF-16, chosen by its byte-order mark or else decoded from `ansiCodePage`.
std::u16string decodeProfileText(std::string_view fileBytes, uint32_t ansiCodePage);
// The value of `key` in `section` of the text, by the rules above; nothing when there is none.
std::optional<std::string> findProfileValue(std::u16string_view text, std::string_view section, std::string_view key);
// The integer of a value text by the rules of privateProfileInt; nothing when it is not one.
std::optional<int32_t> parseProfileInt(std::string_view value);

} // namespace tarvix::platform
