#include "platform/wine/wine_path_grammar.h"

#include "platform/ascii_case.h"
#include "platform/errors.h"

namespace tarvix::platform {

namespace {

// Windows refuses these characters in names.
bool validComponent(std::string_view c)
{
    for (char ch : c) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' || ch == '?' || ch == '*')
            return false;
    }
    return true;
}

} // namespace

std::string WindowsFullPath::text() const
{
    std::string s;
    s += drive;
    s += ':';
    if (components.empty())
        return s + "\\";
    for (const auto& c : components) {
        s += '\\';
        s += c;
    }
    return s;
}

WindowsFullPath parseFullPath(std::string_view path, const std::function<WindowsFullPath()>& currentFolder)
{
    std::string_view p = path;
    if (p.empty())
        throw PlatformError("The path is empty.", WinError::PathNotFound);

    // Namespace prefixes that name an ordinary drive path: \\?\C:\..., \\.\C:\..., \??\C:\...
    if (p.size() >= 4 && isWindowsSeparator(p[0]) &&
        ((isWindowsSeparator(p[1]) && (p[2] == '?' || p[2] == '.')) || (p[1] == '?' && p[2] == '?')) &&
        isWindowsSeparator(p[3])) {
        p.remove_prefix(4);
        if (p.size() < 2 || !isDriveLetter(p[0]) || p[1] != ':')
            throw PlatformError("The path \"" + std::string(path) + "\" is not on a drive.", WinError::BadPathName);
    }
    if (p.size() >= 2 && isWindowsSeparator(p[0]) && isWindowsSeparator(p[1]))
        throw PlatformError("The network path \"" + std::string(path) + "\" is not available.", WinError::BadNetPath);

    WindowsFullPath full;
    std::string_view rest;
    if (p.size() >= 2 && isDriveLetter(p[0]) && p[1] == ':') {
        full.drive = asciiUpper(p[0]);
        rest = p.substr(2);
        if (rest.empty() || !isWindowsSeparator(rest.front())) {
            // "C:name" is relative to the drive's current folder: ours when we are on that drive, else its root.
            const WindowsFullPath current = currentFolder();
            if (current.drive == full.drive)
                full.components = current.components;
        }
    } else {
        const WindowsFullPath current = currentFolder();
        full.drive = current.drive;
        if (!isWindowsSeparator(p.front()))
            full.components = current.components;
        rest = p;
    }

    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = pos;
        while (end < rest.size() && !isWindowsSeparator(rest[end]))
            ++end;
        std::string component(rest.substr(pos, end - pos));
        pos = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!full.components.empty())
                full.components.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces of a name ("name." is "name").
        while (!component.empty() && (component.back() == '.' || component.back() == ' '))
            component.pop_back();
        if (component.empty())
            continue;
        if (!validComponent(component))
            throw PlatformError("The name \"" + std::string(path) + "\" is not valid.", WinError::InvalidName);
        full.components.push_back(std::move(component));
    }
    return full;
}

} // namespace tarvix::platform
