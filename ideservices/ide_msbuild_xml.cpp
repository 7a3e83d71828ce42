#include "ideservices/ide_msbuild_xml.h"

#include "ideservices/ide_errors.h"
#include "ideservices/ide_text_utils.h"
#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

#include <cctype>
#include <charconv>

namespace tarvix {
namespace ide {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

std::string SwapPairs(std::string_view bytes)
{
    std::string r(bytes.substr(0, bytes.size() & ~std::size_t{1}));
    for (std::size_t i = 0; i + 1 < r.size(); i += 2)
        std::swap(r[i], r[i + 1]);
    return r;
}

std::string Utf16ToText(std::string_view bytes, bool bigEndian)
{
    std::string le = bigEndian ? SwapPairs(bytes) : std::string(bytes.substr(0, bytes.size() & ~std::size_t{1}));
    return platform::utf16ToUtf8(platform::fromUtf16leBytes(le));
}

bool IsDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

uint32_t ToNumber(std::string_view s)
{
    uint32_t v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::size_t SkipBlanks(std::string_view s, std::size_t i)
{
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
        ++i;
    return i;
}

std::string CrLf(std::string_view text)
{
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            r += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            r += "\r\n";
        } else {
            r += c;
        }
    }
    return r;
}

std::string EncodeAttribute(std::string_view text)
{
    std::string r = EncodeXmlText(text);
    // The value stands in double quotes: a quote inside must not end it.
    return ReplaceText(r, "\"", "&quot;");
}

void DecodeValues(pugi::xml_node node)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        switch (child.type()) {
        case pugi::node_element:
            for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute())
                a.set_value(DecodeXmlEntities(a.value()).c_str());
            DecodeValues(child);
            break;
        case pugi::node_pcdata: child.set_value(DecodeXmlEntities(child.value()).c_str()); break;
        default: break;
        }
    }
}

bool IsTextNode(pugi::xml_node n)
{
    return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

std::string TextNode(pugi::xml_node n)
{
    if (n.type() == pugi::node_cdata)
        return "<![CDATA[" + CrLf(n.value()) + "]]>";
    return CrLf(EncodeXmlText(n.value()));
}

void WriteNode(std::string& out, pugi::xml_node node, int level)
{
    const std::string indent(static_cast<std::size_t>(level) * 2, ' ');
    switch (node.type()) {
    case pugi::node_element: {
        std::string tag = "<" + std::string(node.name());
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
            tag += " " + std::string(a.name()) + "=\"" + CrLf(EncodeAttribute(a.value())) + "\"";
        pugi::xml_node first = node.first_child();
        if (!first) {
            out += indent + tag + "/>\r\n";
            return;
        }
        bool textOnly = true;
        for (pugi::xml_node c = first; c; c = c.next_sibling())
            if (!IsTextNode(c))
                textOnly = false;
        const std::string end = "</" + std::string(node.name()) + ">";
        if (textOnly) {
            out += indent + tag + ">";
            for (pugi::xml_node c = first; c; c = c.next_sibling())
                out += TextNode(c);
            out += end + "\r\n";
            return;
        }
        out += indent + tag + ">\r\n";
        for (pugi::xml_node c = first; c; c = c.next_sibling())
            WriteNode(out, c, level + 1);
        out += indent + end + "\r\n";
        return;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata: out += indent + TextNode(node) + "\r\n"; return;
    case pugi::node_comment: out += indent + "<!--" + CrLf(node.value()) + "-->\r\n"; return;
    case pugi::node_pi:
        out += indent + "<?" + std::string(node.name());
        if (*node.value())
            out += " " + CrLf(node.value());
        out += "?>\r\n";
        return;
    default: return; // the declaration and the document type are not written
    }
}

} // namespace

uint32_t CodePageFromEncodingName(std::string_view name)
{
    const std::string n = platform::asciiLowerCase(name);
    struct Known {
        std::string_view name;
        uint32_t codePage;
    };
    static constexpr Known kKnown[] = {
        {"utf-8", 65001},  {"utf8", 65001},         {"utf-16", 1200},      {"utf-16le", 1200},  {"ucs-2", 1200},
        {"unicode", 1200}, {"utf-16be", 1201},      {"unicodefffe", 1201}, {"us-ascii", 20127}, {"ascii", 20127},
        {"latin1", 28591}, {"shift_jis", 932},      {"shift-jis", 932},    {"gb2312", 936},     {"gbk", 936},
        {"big5", 950},     {"ks_c_5601-1987", 949}, {"euc-kr", 949},       {"koi8-r", 20866},   {"koi8-u", 21866},
        {"euc-jp", 20932}, {"macintosh", 10000},
    };
    for (const Known& k : kKnown)
        if (n == k.name)
            return k.codePage;
    for (std::string_view prefix : {"windows-", "cp", "ibm", "x-cp", "cp-"})
        if (n.size() > prefix.size() && n.compare(0, prefix.size(), prefix) == 0 &&
            IsDigits(std::string_view(n).substr(prefix.size())))
            return ToNumber(std::string_view(n).substr(prefix.size()));
    if (n.rfind("iso-8859-", 0) == 0 && IsDigits(std::string_view(n).substr(9))) {
        uint32_t part = ToNumber(std::string_view(n).substr(9));
        if (part >= 1 && part <= 16)
            return 28590 + part;
    }
    return 0;
}

std::string DeclaredEncoding(std::string_view text)
{
    std::size_t i = SkipBlanks(text, 0);
    if (text.substr(i, 5) != "<?xml")
        return {};
    std::size_t end = text.find("?>", i);
    if (end == std::string_view::npos)
        return {};
    std::string_view decl = text.substr(i + 5, end - i - 5);
    std::size_t p = decl.find("encoding");
    if (p == std::string_view::npos)
        return {};
    p = SkipBlanks(decl, p + 8);
    if (p >= decl.size() || decl[p] != '=')
        return {};
    p = SkipBlanks(decl, p + 1);
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\''))
        return {};
    std::size_t close = decl.find(decl[p], p + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(decl.substr(p + 1, close - p - 1));
}

TIdeXmlTextInfo DecodeXmlBytes(std::string_view bytes, TIdeXmlEncoding encoding, uint32_t codePage,
                               const std::function<uint32_t()>& ansiCodePage, std::string_view fileName)
{
    TIdeXmlTextInfo info;
    auto readAs = [&](uint32_t cp, std::string_view body) {
        info.ReadCodePage = cp;
        if (cp == platform::codepage::Utf8)
            info.Utf8 = std::string(body);
        else if (cp == platform::codepage::Utf16LE)
            info.Utf8 = Utf16ToText(body, false);
        else if (cp == platform::codepage::Utf16BE)
            info.Utf8 = Utf16ToText(body, true);
        else
            info.Utf8 = platform::decodeCodePage(body, cp);
    };
    auto systemCodePage = [&]() { return codePage != 0 ? codePage : ansiCodePage(); };

    // A byte-order mark decides, whatever was asked for.
    if (bytes.substr(0, 3) == kUtf8Bom) {
        info.HadByteOrderMark = true;
        readAs(platform::codepage::Utf8, bytes.substr(3));
    } else if (bytes.substr(0, 2) == kUtf16LeBom) {
        info.HadByteOrderMark = true;
        readAs(platform::codepage::Utf16LE, bytes.substr(2));
    } else if (bytes.substr(0, 2) == kUtf16BeBom) {
        info.HadByteOrderMark = true;
        readAs(platform::codepage::Utf16BE, bytes.substr(2));
    } else if (encoding == TIdeXmlEncoding::seUTF8) {
        readAs(platform::codepage::Utf8, bytes);
    } else if (encoding == TIdeXmlEncoding::seUTF16) {
        readAs(platform::codepage::Utf16LE, bytes);
    } else if (encoding == TIdeXmlEncoding::seAnsi) {
        readAs(systemCodePage(), bytes);
    } else if (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == '\0') {
        readAs(platform::codepage::Utf16LE, bytes); // UTF-16 without a mark: "<" is 3C 00
    } else if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] == '<') {
        readAs(platform::codepage::Utf16BE, bytes);
    } else {
        // 8-bit text: the declaration, which is ASCII in every such encoding, names the code page.
        std::string declared = DeclaredEncoding(bytes);
        if (declared.empty()) {
            readAs(systemCodePage(), bytes);
        } else {
            uint32_t cp = CodePageFromEncodingName(declared);
            if (cp == 0)
                throw EIdeXmlError("Unsupported encoding \"" + declared + "\" in file \"" + std::string(fileName) +
                                   "\"");
            // A declaration that says UTF-16 in a file of single bytes is wrong about the width; such files
            // are UTF-8 in practice (what text writers of that kind produce).
            if (cp == platform::codepage::Utf16LE || cp == platform::codepage::Utf16BE)
                cp = platform::codepage::Utf8;
            readAs(cp, bytes);
        }
    }
    std::string declared = DeclaredEncoding(info.Utf8);
    if (!declared.empty()) {
        info.DeclaredCodePage = CodePageFromEncodingName(declared);
        if (info.DeclaredCodePage == 0)
            throw EIdeXmlError("Unsupported encoding \"" + declared + "\" in file \"" + std::string(fileName) + "\"");
    }
    return info;
}

std::string EncodeXmlBytes(std::string_view utf8, uint32_t codePage)
{
    switch (codePage) {
    case platform::codepage::Utf8: return std::string(kUtf8Bom) + std::string(utf8);
    case platform::codepage::Utf16LE:
        return std::string(kUtf16LeBom) + platform::utf16leBytes(platform::utf8ToUtf16(utf8));
    case platform::codepage::Utf16BE:
        return std::string(kUtf16BeBom) + SwapPairs(platform::utf16leBytes(platform::utf8ToUtf16(utf8)));
    default: return platform::encodeCodePage(utf8, codePage);
    }
}

std::string DecodeXmlEntities(std::string_view text)
{
    if (text.find('&') == std::string_view::npos)
        return std::string(text);
    std::string r;
    r.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '&') {
            r += c;
            ++i;
            continue;
        }
        std::size_t semi = text.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 12) {
            r += c;
            ++i;
            continue;
        }
        std::string_view name = text.substr(i + 1, semi - i - 1);
        bool done = true;
        if (name == "amp")
            r += '&';
        else if (name == "lt")
            r += '<';
        else if (name == "gt")
            r += '>';
        else if (name == "quot")
            r += '"';
        else if (name == "apos")
            r += '\'';
        else if (name.size() >= 2 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || cp == 0 || cp > 0x10FFFF)
                done = false;
            else
                platform::appendUtf8(r, cp);
        } else {
            done = false;
        }
        if (done) {
            i = semi + 1;
        } else {
            r += c;
            ++i;
        }
    }
    return r;
}

std::string EncodeXmlText(std::string_view text)
{
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': r += "&amp;"; break;
        case '<': r += "&lt;"; break;
        case '>': r += "&gt;"; break;
        default: r += c;
        }
    }
    return r;
}

void LoadXmlDocument(pugi::xml_document& doc, std::string_view utf8, std::string_view fileName)
{
    // Entities are left alone by the reader (no parse_escapes) and decoded below, the same way for every file.
    constexpr unsigned kFlags =
        pugi::parse_cdata | pugi::parse_wconv_attribute | pugi::parse_eol | pugi::parse_comments | pugi::parse_pi;
    pugi::xml_parse_result result = doc.load_buffer(utf8.data(), utf8.size(), kFlags, pugi::encoding_utf8);
    if (!result) {
        std::size_t offset = static_cast<std::size_t>(result.offset < 0 ? 0 : result.offset);
        if (offset > utf8.size())
            offset = utf8.size();
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < offset; ++i) {
            if (utf8[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        doc.reset();
        throw EIdeXmlError("XML error in file \"" + std::string(fileName) + "\" at line " + std::to_string(line) +
                           ", column " + std::to_string(column) + ": " + result.description());
    }
    DecodeValues(doc);
}

std::string FormatXmlDocument(const pugi::xml_document& doc)
{
    std::string out;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        WriteNode(out, n, 0);
    return out;
}

} // namespace ide
} // namespace tarvix
