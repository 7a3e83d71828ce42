// Reading and writing the XML of MSBuild project files: the text encoding of the file, the document model
// (pugixml) with values held decoded, and the exact layout the IDE's files are written in.
//
// Values are decoded by us, not by the XML reader: entities ("&amp;", "&#13;", ...) in element text and
// attribute values become their characters when the file is read, and on writing only "&", "<" and ">" are
// escaped again (plus the double quote inside attribute values, which would otherwise end the value).
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarvix {

// How a project file's bytes are to be read.
enum class TIdeXmlEncoding {
    seAuto, // byte-order mark, else the XML declaration's encoding, else the given or system ANSI code page
    seAnsi, // the given code page (0: the system ANSI code page)
    seUTF8,
    seUTF16, // little-endian unless a byte-order mark says otherwise
};

// What the reader found out about a file's encoding.
struct TIdeXmlTextInfo {
    std::string Utf8;              // the text, without byte-order mark
    uint32_t ReadCodePage = 0;     // what the bytes were read as (65001, 1200, 1201 or an 8-bit code page)
    uint32_t DeclaredCodePage = 0; // the code page the XML declaration names; 0 without one
    bool HadByteOrderMark = false;
    // The encoding the file is written back in: the declared one, else the one it was read in.
    uint32_t SaveCodePage() const { return DeclaredCodePage != 0 ? DeclaredCodePage : ReadCodePage; }
};

namespace ide {

// Windows code page of an encoding name ("utf-8" 65001, "utf-16" 1200, "windows-1252" 1252, "iso-8859-1"
// 28591, "us-ascii" 20127, "cp437", "ibm850", ...), compared without regard to case; 0 when unknown.
uint32_t CodePageFromEncodingName(std::string_view name);

// The value of the encoding pseudo-attribute of an XML declaration at the start of `text`; empty when there is
// no declaration or it names no encoding.
std::string DeclaredEncoding(std::string_view text);

// Decodes a file's bytes. `ansiCodePage` is asked only when the encoding falls back to the system code page.
// Raises EIdeXmlError for an encoding name that is not known ("Unsupported encoding "x" in file "f"").
TIdeXmlTextInfo DecodeXmlBytes(std::string_view bytes, TIdeXmlEncoding encoding, uint32_t codePage,
                               const std::function<uint32_t()>& ansiCodePage, std::string_view fileName);

// Text as written back: a byte-order mark for UTF-8 and UTF-16, else the 8-bit code page.
std::string EncodeXmlBytes(std::string_view utf8, uint32_t codePage);

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#N;" and "&#xH;" to their characters; anything else that
// starts with "&" is kept as it is.
std::string DecodeXmlEntities(std::string_view text);
// "&", "<", ">" to "&amp;", "&lt;", "&gt;"; nothing else.
std::string EncodeXmlText(std::string_view text);

// Parses UTF-8 XML into `doc`, keeping comments, processing instructions and CDATA sections, with element text
// and attribute values decoded by DecodeXmlEntities. Raises EIdeXmlError naming the file, line and column.
void LoadXmlDocument(pugi::xml_document& doc, std::string_view utf8, std::string_view fileName);

// The document in the layout of the IDE's project files, as UTF-8 text without an XML declaration: one node a
// line, lines ended by CR LF, two spaces of indentation per nesting level; an element with only text on one
// line, an element without children as an empty-element tag.
std::string FormatXmlDocument(const pugi::xml_document& doc);

} // namespace ide
} // namespace tarvix
