// $(Name) references: where one ends, and the one expansion loop that the MSBuild evaluator (property references)
// and the IDE's variable lists (ExpandVariables, SubstituteVariables) share. The callers differ in the order in
// which they take the references (the last closed one first, or a list's variables one after the other) and in
// what stops them; each brings that rule as the function that picks the next reference.
//
// The limit is one for all of them: an expansion ends after kMaxExpansionSteps replacements, or once the text has
// grown past kMaxExpansionLength, since only a value that brings its own reference back gets there. What happens
// then is the caller's: the evaluator raises EIdeMsBuildError (a project file whose property refers to itself is
// broken and says so), the variable lists keep the text as far as it got (a variable of the user's that refers to
// itself must not keep the IDE's paths from being read).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarvix::ide {

inline constexpr int kMaxExpansionSteps = 1000;
inline constexpr std::size_t kMaxExpansionLength = 4u << 20;

// The ")" closing the "(" at `open`: nested parentheses counted, none inside a run quoted with ', " or `; npos
// when the text ends first.
std::size_t FindClosing(std::string_view s, std::size_t open);

// The last "$(" of the text that has its ")", as the whole reference ("$(BDS)"); empty when there is none. A
// "$(" without its ")" is no reference and stays as it is.
std::string LastClosedReference(std::string_view s);

// One step of an expansion: the reference as it is written ("$(BDS)") and what replaces it.
struct TIdeReferenceStep {
    std::string Reference;
    std::string Value;
};

// The caller's rule: the next step for the text as it stands, or none to end the expansion.
using TIdeNextReference = std::function<std::optional<TIdeReferenceStep>(const std::string& Text)>;

struct TIdeExpansion {
    std::string Text;
    // The reference that was next when the expansion reached its limit; empty when it ended by the rule.
    std::string Unfinished;
};

// Text with, step after step, every occurrence (ignoring case) of the step's reference replaced by its value; what
// a step inserts is looked at by the next steps only. A step whose reference does not occur in the text changes
// nothing and is not counted.
TIdeExpansion ExpandReferences(std::string_view Text, const TIdeNextReference& Next);

} // namespace tarvix::ide
