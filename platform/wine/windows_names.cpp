#include "platform/wine/windows_names.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

namespace tarvix::platform {

namespace {

// A locale whose character classes cover Unicode, independent of the process's own locale setting.
locale_t unicodeLocale()
{
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

char16_t upperUnit(char16_t c)
{
    if (c < 0x80)
        return static_cast<char16_t>(asciiUpper(static_cast<char>(c)));
    if (c >= 0xD800 && c <= 0xDFFF)
        return c; // surrogates have no case of their own in the table
    const locale_t loc = unicodeLocale();
    if (!loc)
        return c;
    const wint_t upper = towupper_l(static_cast<wint_t>(c), loc);
    // A mapping that leaves the BMP (none exists for simple upper case) would not fit in one unit.
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

enum class Tok : uint8_t { Literal, Star, DosStar, DosQm, DosDot };

struct Token {
    Tok kind;
    char16_t ch;
};

class Matcher {
public:
    Matcher(std::u16string name, std::vector<Token> pattern)
        : name_(std::move(name)),
          pattern_(std::move(pattern)),
          memo_((pattern_.size() + 1) * (name_.size() + 1), Unknown)
    {
        lastDot_ = name_.rfind(u'.');
    }

    bool run() { return match(0, 0); }

private:
    static constexpr int8_t Unknown = -1;

    bool match(std::size_t p, std::size_t n)
    {
        int8_t& slot = memo_[p * (name_.size() + 1) + n];
        if (slot != Unknown)
            return slot != 0;
        const bool result = compute(p, n);
        slot = result ? 1 : 0;
        return result;
    }

    bool compute(std::size_t p, std::size_t n)
    {
        const std::size_t size = name_.size();
        if (p == pattern_.size())
            return n == size;
        const Token& t = pattern_[p];
        const bool atEnd = n == size;
        switch (t.kind) {
        case Tok::Literal: return !atEnd && name_[n] == t.ch && match(p + 1, n + 1);
        case Tok::Star: return match(p + 1, n) || (!atEnd && match(p, n + 1));
        case Tok::DosStar: return match(p + 1, n) || (!atEnd && n != lastDot_ && match(p, n + 1));
        case Tok::DosQm:
            if (atEnd || name_[n] == u'.')
                return match(p + 1, n);
            return match(p + 1, n + 1);
        case Tok::DosDot:
            if (atEnd)
                return match(p + 1, n);
            return name_[n] == u'.' && match(p + 1, n + 1);
        }
        return false;
    }

    std::u16string name_;
    std::vector<Token> pattern_;
    std::vector<int8_t> memo_;
    std::size_t lastDot_;
};

} // namespace

std::u16string upperName(std::string_view utf8)
{
    std::u16string s = utf8ToUtf16(utf8);
    for (char16_t& c : s)
        c = upperUnit(c);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() == b.size() && a == b)
        return true;
    return upperName(a) == upperName(b);
}

bool matchesMask(std::string_view name, std::string_view mask)
{
    if (mask.empty())
        return false;
    if (mask == "*" || mask == "*.*")
        return true;
    const std::u16string m = upperName(mask);
    std::vector<Token> pattern;
    pattern.reserve(m.size());
    for (std::size_t i = 0; i < m.size(); ++i) {
        const char16_t c = m[i];
        const char16_t next = i + 1 < m.size() ? m[i + 1] : u'\0';
        if (c == u'?')
            pattern.push_back({Tok::DosQm, c});
        else if (c == u'*')
            pattern.push_back({next == u'.' ? Tok::DosStar : Tok::Star, c});
        else if (c == u'.' && (i + 1 == m.size() || next == u'?' || next == u'*'))
            pattern.push_back({Tok::DosDot, c});
        else
            pattern.push_back({Tok::Literal, c});
    }
    return Matcher(upperName(name), std::move(pattern)).run();
}

} // namespace tarvix::platform
