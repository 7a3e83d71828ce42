// Text conversions at the edges of the core. Inside, text is UTF-8 in std::string; rules that count characters
// count UTF-16 code units, so the conversions to and from UTF-16 are exact and lossless for valid input.
// Invalid UTF-8 bytes become U+FFFD; unpaired surrogates are kept as they are in UTF-16 and encoded as
// three-byte sequences in UTF-8 (the way Windows file names may carry them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvix::platform {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Appends one code point in UTF-8 (surrogate code points too, as three bytes).
void appendUtf8(std::string& out, char32_t codePoint);

// Number of UTF-16 code units the UTF-8 text has.
std::size_t utf16Length(std::string_view utf8);

// UTF-16 little-endian bytes (no terminator) and back.
std::string utf16leBytes(std::u16string_view text);
std::u16string fromUtf16leBytes(std::string_view bytes);

// Code page numbers as Windows uses them.
namespace codepage {
inline constexpr uint32_t Utf16LE = 1200;
inline constexpr uint32_t Utf16BE = 1201;
inline constexpr uint32_t Ascii = 20127;
inline constexpr uint32_t Latin1 = 28591;
inline constexpr uint32_t Utf8 = 65001;
} // namespace codepage

// 8-bit (or multi-byte) text in a Windows code page to UTF-8, and back. Characters the code page cannot hold
// become "?" on the way out, the way WideCharToMultiByte replaces them; undecodable bytes become U+FFFD on the
// way in. An unknown code page raises PlatformError.
std::string decodeCodePage(std::string_view bytes, uint32_t codePage);
std::string encodeCodePage(std::string_view utf8, uint32_t codePage);
// decodeCodePage for one piece of a text that arrives in pieces (a pipe read): a multi-byte sequence that the
// piece ends in the middle of is not decoded; `incompleteTail` gets its length, so that the caller can put those
// bytes before the next piece.
std::string decodeCodePagePiece(std::string_view bytes, uint32_t codePage, std::size_t& incompleteTail);

// The iconv name of a Windows code page ("CP1252", "UTF-8", ...); empty when unknown.
std::string iconvName(uint32_t codePage);

} // namespace tarvix::platform
