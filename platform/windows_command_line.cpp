#include "platform/windows_command_line.h"

namespace tarvix::platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> splitWindowsCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    // The program name: double quotes only toggle quoting, backslashes are plain characters.
    std::string program;
    bool quotedName = false;
    while (i < n && (quotedName || !isBlank(line[i]))) {
        if (line[i] == '"')
            quotedName = !quotedName;
        else
            program += line[i];
        ++i;
    }
    if (n == 0)
        return args;
    args.push_back(program);

    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = line[i];
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // An even count leaves the quote to the branch below.
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (isBlank(c) && !quoted)
                break;
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string quoteWindowsArgument(std::string_view argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            out.append(slashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(slashes, '\\');
            out += c;
        }
        slashes = 0;
    }
    out.append(slashes * 2, '\\');
    out += '"';
    return out;
}

std::string joinWindowsCommandLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        if (k == 0) {
            const std::string& program = arguments[0];
            line +=
                program.find_first_of(" \t") == std::string::npos && !program.empty() ? program : "\"" + program + "\"";
        } else {
            line += ' ';
            line += quoteWindowsArgument(arguments[k]);
        }
    }
    return line;
}

} // namespace tarvix::platform
