// UTF-8 <-> UTF-16 for the registry code. The registry was written before platform/text_encoding.cpp existed;
// these follow the same rules (invalid UTF-8 becomes U+FFFD, unpaired surrogates travel as three-byte sequences)
// and can be replaced by utf8ToUtf16/utf16ToUtf8 from text_encoding.h.
#pragma once

#include <string>
#include <string_view>

namespace tarvix::platform::detail {

std::u16string registryUtf8ToUtf16(std::string_view utf8);
std::string registryUtf16ToUtf8(std::u16string_view utf16);

} // namespace tarvix::platform::detail
