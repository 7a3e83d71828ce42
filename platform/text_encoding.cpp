#include "platform/text_encoding.h"

#include <cerrno>
#include <iconv.h>

#include "platform/errors.h"

namespace tarvix::platform {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes one code point at `pos` and advances it. Invalid input gives U+FFFD and skips the maximal subpart of
// an ill-formed sequence (a bad lead byte, or the bytes of a sequence up to the first unexpected one).
// Surrogate code points encoded in three bytes are accepted: they stand for unpaired surrogates.
char32_t decodeUtf8(std::string_view s, std::size_t& pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    std::size_t length;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlong forms
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        ++pos;
        return Replacement;
    }
    std::size_t i = 1;
    for (; i < length; ++i) {
        if (pos + i >= s.size())
            break;
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if (i == 1 ? (b < lo || b > hi) : !isContinuation(b))
            break;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (i < length) {
        pos += i;
        return Replacement;
    }
    pos += length;
    return cp;
}

// Valid UTF-8 with every ill-formed sequence replaced by U+FFFD (unpaired surrogates stay as they are).
std::string sanitizeUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size())
        appendUtf8(out, decodeUtf8(utf8, pos));
    return out;
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from, uint32_t codePage)
        : cd_(iconv_open(to.c_str(), from.c_str()))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw PlatformError("Code page " + std::to_string(codePage) + " is not supported.",
                                WinError::InvalidParameter);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    enum class Stop { Done, Invalid, Incomplete };

    // Converts as much as possible of [in, in + left) and appends the result to `out`.
    Stop run(const char*& in, std::size_t& left, std::string& out)
    {
        char buffer[4096];
        while (left > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &inPtr, &left, &outPtr, &outLeft);
            in = inPtr;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (r != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial shift state
            return errno == EINVAL ? Stop::Incomplete : Stop::Invalid;
        }
        // Flush a pending shift sequence (stateful encodings).
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        return Stop::Done;
    }

private:
    iconv_t cd_;
};

} // namespace

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t n = 0;
    std::size_t pos = 0;
    while (pos < utf8.size())
        n += decodeUtf8(utf8, pos) >= 0x10000 ? 2 : 1;
    return n;
}

std::string utf16leBytes(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::u16string fromUtf16leBytes(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (i < bytes.size())
        out += static_cast<char16_t>(Replacement); // a dangling odd byte
    return out;
}

std::string iconvName(uint32_t codePage)
{
    switch (codePage) {
    case codepage::Utf16LE: return "UTF-16LE";
    case codepage::Utf16BE: return "UTF-16BE";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case 65000: return "UTF-7";
    case codepage::Utf8: return "UTF-8";
    case codepage::Ascii: return "ASCII";
    case 437:
    case 737:
    case 775:
    case 850:
    case 852:
    case 855:
    case 857:
    case 858:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258: return "CP" + std::to_string(codePage);
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 50220: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 52936: return "HZ";
    case 54936: return "GB18030";
    default:
        // 28591..28606: ISO 8859-1 .. -16 (there is no 8859-12).
        if (codePage >= 28591 && codePage <= 28606 && codePage != 28602)
            return "ISO-8859-" + std::to_string(codePage - 28590);
        return {};
    }
}

namespace {

// The length of a UTF-8 sequence that `bytes` ends in the middle of; 0 when it ends after a whole character.
std::size_t cutUtf8Tail(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto b = static_cast<unsigned char>(bytes[n - back]);
        if (isContinuation(b))
            continue;
        std::size_t length = 1; // ASCII, or a byte that starts no sequence
        if (b >= 0xC2 && b <= 0xDF)
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF)
            length = 3;
        else if (b >= 0xF0 && b <= 0xF4)
            length = 4;
        return length > back ? back : 0;
    }
    return 0;
}

std::string decode(std::string_view bytes, uint32_t codePage, std::size_t* incompleteTail)
{
    if (incompleteTail)
        *incompleteTail = 0;
    if (codePage == codepage::Utf8) {
        const std::size_t tail = incompleteTail ? cutUtf8Tail(bytes) : 0;
        if (incompleteTail)
            *incompleteTail = tail;
        return sanitizeUtf8(bytes.substr(0, bytes.size() - tail));
    }
    if (codePage == codepage::Utf16LE) {
        const std::size_t tail = incompleteTail ? bytes.size() % 2 : 0;
        if (incompleteTail)
            *incompleteTail = tail;
        return utf16ToUtf8(fromUtf16leBytes(bytes.substr(0, bytes.size() - tail)));
    }
    const std::string name = iconvName(codePage);
    if (name.empty())
        throw PlatformError("Code page " + std::to_string(codePage) + " is not supported.", WinError::InvalidParameter);

    Converter converter("UTF-8", name, codePage);
    std::string out;
    out.reserve(bytes.size());
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    for (;;) {
        const auto stop = converter.run(in, left, out);
        if (stop == Converter::Stop::Done)
            break;
        if (stop == Converter::Stop::Incomplete) {
            // A truncated sequence at the end: the next piece may complete it.
            if (incompleteTail)
                *incompleteTail = left;
            else
                appendUtf8(out, Replacement);
            break;
        }
        appendUtf8(out, Replacement);
        ++in;
        --left;
    }
    return out;
}

} // namespace

std::string decodeCodePage(std::string_view bytes, uint32_t codePage)
{
    return decode(bytes, codePage, nullptr);
}

std::string decodeCodePagePiece(std::string_view bytes, uint32_t codePage, std::size_t& incompleteTail)
{
    return decode(bytes, codePage, &incompleteTail);
}

std::string encodeCodePage(std::string_view utf8, uint32_t codePage)
{
    const std::string clean = sanitizeUtf8(utf8);
    if (codePage == codepage::Utf8)
        return clean;
    if (codePage == codepage::Utf16LE)
        return utf16leBytes(utf8ToUtf16(clean));
    const std::string name = iconvName(codePage);
    if (name.empty())
        throw PlatformError("Code page " + std::to_string(codePage) + " is not supported.", WinError::InvalidParameter);

    Converter converter(name, "UTF-8", codePage);
    std::string out;
    out.reserve(clean.size());
    const char* in = clean.data();
    std::size_t left = clean.size();
    for (;;) {
        const auto stop = converter.run(in, left, out);
        if (stop == Converter::Stop::Done || left == 0)
            break;
        // A character the code page cannot hold: "?" in its place, then the next character.
        out += '?';
        std::size_t pos = static_cast<std::size_t>(in - clean.data());
        const std::size_t before = pos;
        decodeUtf8(clean, pos);
        in += pos - before;
        left -= pos - before;
    }
    return out;
}

} // namespace tarvix::platform
