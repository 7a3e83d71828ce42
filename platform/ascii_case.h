// Letter case of ASCII text: what the system compares without regard to case where its names are ASCII by
// definition (registry value and key names of the IDE, MSBuild properties, environment variable names, option
// letters, file extensions). Other characters compare exactly. Text with letters beyond ASCII that must match
// without regard to case (file names) needs the Unicode rules instead (StrUpper in the component library, the
// file system's own matching).
#pragma once

#include <string>
#include <string_view>

namespace tarvix::platform {

constexpr char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiUpperCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = asciiUpper(c);
    return out;
}

inline std::string asciiLowerCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

constexpr bool startsWithIgnoringAsciiCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsIgnoringAsciiCase(s.substr(0, prefix.size()), prefix);
}

constexpr bool endsWithIgnoringAsciiCase(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && equalsIgnoringAsciiCase(s.substr(s.size() - suffix.size()), suffix);
}

} // namespace tarvix::platform
