// One sorting rule as a fixed-size record, and the ordered rule list. Platform-free.
#pragma once

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

struct DistributeRule {
    int32_t searchTarget = WholeMessage;  // any other value is kept but never matches
    char searchText[1024] = {};
    char headerName[1024] = {};
    uint8_t matchCase = 0;
    uint8_t useRegex = 0;
    char destFolder[260] = {};
    uint8_t destIsTrash = 0;  // derived from destFolder, never stored
    OnigRegex regex = nullptr;  // compiled for one run only, never stored
};

// Whether the rule's text is searched as a regular expression: a named header's value is always
// searched as plain text.
inline bool searchesByRegex(const DistributeRule& rule) {
    return rule.useRegex && rule.searchTarget != NamedHeader;
}

// Rules in evaluation order, held by value.
typedef std::vector<DistributeRule> RuleList;

}  // namespace corvane
