// One sorting rule as a fixed-size record, and the ordered rule list. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Oniguruma's compiled-regex handle, declared as its header declares it: the record does not
// pull that header in, whose struct re_registers collides with the one of <regex.h>.
struct re_pattern_buffer;
typedef struct re_pattern_buffer* OnigRegex;

namespace corvane {

enum SearchTarget : int32_t {
    WholeMessage = 0,  // header block and body
    HeaderBlock = 1,   // the text before the first empty line
    NamedHeader = 2,   // the unfolded value of the field named by headerName
};

// The most conditions a rule may add to its own.
constexpr size_t kMaxFurtherConditions = 7;

// A condition after a rule's own: what it searches and how, and whether it must not hold. Unlike
// the rule's own condition, its regular expression applies to a named header's value as well.
struct RuleCondition {
    int32_t searchTarget = WholeMessage;  // 0 .. 2
    char searchText[1024] = {};
    char headerName[1024] = {};
    uint8_t matchCase = 0;
    uint8_t useRegex = 0;
    uint8_t negate = 0;  // 1: holds when the text is not found
    OnigRegex regex = nullptr;  // compiled for one run only, never stored
};

struct DistributeRule {
    int32_t searchTarget = WholeMessage;  // any other value is kept but never matches
    char searchText[1024] = {};
    char headerName[1024] = {};
    uint8_t matchCase = 0;
    uint8_t useRegex = 0;
    char destFolder[260] = {};
    uint8_t destIsTrash = 0;  // derived from destFolder, never stored
    OnigRegex regex = nullptr;  // compiled for one run only, never stored
    uint8_t negate = 0;  // 1: the rule's own condition holds when its text is not found
    uint8_t anyOf = 0;   // 1: one condition that holds suffices; 0: all must hold
    uint32_t conditionId = 0;  // names the file keys of the further conditions; 0 before the first save
    std::vector<RuleCondition> conditions;  // at most kMaxFurtherConditions, in order
};

// Whether the rule is one positive condition, stored and matched as rules always were.
inline bool isSingleCondition(const DistributeRule& rule) {
    return !rule.negate && rule.conditions.empty();
}

// Whether the rule's text is searched as a regular expression: a named header's value is always
// searched as plain text.
inline bool searchesByRegex(const DistributeRule& rule) {
    return rule.useRegex && rule.searchTarget != NamedHeader;
}

// Rules in evaluation order, held by value.
typedef std::vector<DistributeRule> RuleList;

}  // namespace corvane
