#include "ideservices/ide_text_utils.h"

#include <vector>

#include "platform/ascii_case.h"

namespace tarvix::ide {

std::size_t FindText(std::string_view s, std::string_view what, std::size_t from)
{
    if (what.empty())
        return from <= s.size() ? from : std::string_view::npos;
    for (std::size_t i = from; i + what.size() <= s.size(); ++i)
        if (platform::equalsIgnoringAsciiCase(s.substr(i, what.size()), what))
            return i;
    return std::string_view::npos;
}

std::string ReplaceText(std::string_view s, std::string_view what, std::string_view by)
{
    if (what.empty())
        return std::string(s);
    std::string r;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = FindText(s, what, pos);
        if (hit == std::string_view::npos)
            break;
        r.append(s.substr(pos, hit - pos));
        r.append(by);
        pos = hit + what.size();
    }
    r.append(s.substr(pos));
    return r;
}

namespace {

std::size_t LastDelimiter(std::string_view path, std::string_view delimiters)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (delimiters.find(path[i - 1]) != std::string_view::npos)
            return i - 1;
    return std::string_view::npos;
}

} // namespace

std::string ExtractFileName(std::string_view path)
{
    std::size_t p = LastDelimiter(path, "\\:");
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileDir(std::string_view path)
{
    std::size_t p = LastDelimiter(path, "\\:");
    if (p == std::string_view::npos)
        return {};
    // "C:\name" keeps "C:\": the root folder is written with its backslash.
    if (p > 0 && path[p] == '\\' && path[p - 1] != ':' && path[p - 1] != '\\')
        return std::string(path.substr(0, p));
    return std::string(path.substr(0, p + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    std::size_t p = LastDelimiter(path, ".\\:");
    if (p == std::string_view::npos || path[p] != '.')
        return {};
    return std::string(path.substr(p));
}

std::string ExtractFileDrive(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':')
        return std::string(path.substr(0, 2));
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        // \\server\share
        std::size_t server = path.find('\\', 2);
        if (server == std::string_view::npos)
            return std::string(path);
        std::size_t share = path.find('\\', server + 1);
        return std::string(path.substr(0, share == std::string_view::npos ? path.size() : share));
    }
    return {};
}

std::string ChangeFileExt(std::string_view path, std::string_view ext)
{
    std::size_t p = LastDelimiter(path, ".\\:");
    if (p == std::string_view::npos || path[p] != '.')
        return std::string(path) + std::string(ext);
    return std::string(path.substr(0, p)) + std::string(ext);
}

bool IsAbsoluteWindowsPath(std::string_view path)
{
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'))
        return true;
    return path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

std::string NormalizeWindowsPath(std::string_view path)
{
    std::string p(path);
    for (char& c : p)
        if (c == '/')
            c = '\\';
    std::string root;
    std::string rest;
    if (p.size() >= 2 && p[1] == ':') {
        root = p.substr(0, 2);
        rest = p.substr(2);
        if (!rest.empty() && rest[0] == '\\')
            root += '\\';
    } else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        std::string drive = ExtractFileDrive(p);
        root = drive + "\\";
        rest = p.substr(drive.size());
    } else if (!p.empty() && p[0] == '\\') {
        root = "\\";
        rest = p;
    } else {
        rest = p;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (root.empty())
                parts.push_back(part); // a relative path keeps what it cannot resolve
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string r = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            r += '\\';
        r += parts[i];
    }
    if (r.empty() && !p.empty())
        r = ".";
    return r;
}

} // namespace tarvix::ide
