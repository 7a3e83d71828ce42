#include "ideservices/ide_reference_expansion.h"

#include "ideservices/ide_text_utils.h"

namespace tarvix::ide {

std::size_t FindClosing(std::string_view s, std::size_t open)
{
    int depth = 0;
    char quote = 0;
    for (std::size_t i = open; i < s.size(); ++i) {
        const char c = s[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0)
                return i;
        }
    }
    return std::string_view::npos;
}

std::string LastClosedReference(std::string_view s)
{
    for (std::size_t p = s.size(); p-- > 0;) {
        if (s[p] != '$' || p + 1 >= s.size() || s[p + 1] != '(')
            continue;
        const std::size_t close = FindClosing(s, p + 1);
        if (close != std::string_view::npos)
            return std::string(s.substr(p, close - p + 1));
    }
    return {};
}

TIdeExpansion ExpandReferences(std::string_view Text, const TIdeNextReference& Next)
{
    TIdeExpansion expansion{std::string(Text), {}};
    std::string& s = expansion.Text;
    int steps = 0;
    while (std::optional<TIdeReferenceStep> step = Next(s)) {
        if (FindText(s, step->Reference) == std::string::npos)
            continue;
        if (steps == kMaxExpansionSteps || s.size() > kMaxExpansionLength) {
            expansion.Unfinished = std::move(step->Reference);
            break;
        }
        ++steps;
        s = ReplaceText(s, step->Reference, step->Value);
    }
    return expansion;
}

} // namespace tarvix::ide
