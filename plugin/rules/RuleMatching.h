// Which rule of a rule list applies to a message: plain patterns with optional "^" and "$"
// anchors, with or without ASCII case folding, and Oniguruma regular expressions (ASCII
// encoding, Ruby syntax). Texts end at their first NUL. Platform-free.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "plugin/rules/DistributeRule.h"
#include "plugin/text/MessageDecoder.h"

namespace corvane {

// A plain pattern taken apart once for many searches: a leading "^" and then a trailing "$"
// removed, the folded copy used without matchCase, and the two rarest bytes that a search
// looks for first.
struct PlainPattern {
    std::string bytes;   // the pattern without its anchors; folded when matchCase is off
    bool anchoredStart = false;
    bool anchoredEnd = false;
    bool matchCase = false;
    size_t rarest = 0;   // index in bytes of the byte a search scans for
    size_t second = 0;   // index of the byte checked next, before the whole pattern
};

PlainPattern preparePattern(const char* searchText, size_t length, bool matchCase);

// First position at or after text at which the pattern occurs, or null. Without matchCase
// the comparison folds ASCII letters byte by byte, and an empty text or pattern finds nothing;
// with it an empty pattern is found at the text's start. Anchors are not looked at.
const char* findPattern(const char* text, size_t length, const PlainPattern& pattern);

// Whether the text (length bytes, NUL after them) matches the pattern, anchors included.
bool plainMatch(const char* text, size_t length, const PlainPattern& pattern);

// The same for one rule's searchText and matchCase, prepared on the spot.
bool plainMatch(const char* text, const DistributeRule& rule);

// First position of pattern in text with ASCII letters folded, or null; null as well for an
// empty text or an empty pattern.
const char* caseFoldFind(const char* text, const char* pattern);

// Compiles searchText as a regular expression (ASCII, Ruby syntax); null when the library
// refuses it. Every compile of a rule's expression goes through here. Its error text
// is formed and, unless error asks for it, dropped. The caller frees the handle with onig_free.
OnigRegex compileRuleRegex(const char* searchText);
OnigRegex compileRuleRegex(const char* searchText, size_t length, std::string* error = nullptr);

// Compiles the handle of every rule that searchesByRegex; releaseRules frees them all and leaves every handle null.
void compileRules(RuleList& rules);
void releaseRules(RuleList& rules);

// The most backtracking steps one search of a message may take, all start places together:
// as many as Oniguruma allows one match at a single place. A search that needs more counts as
// no match.
constexpr unsigned long kRegexRetryLimitInSearch = 10000000;

// The most steps of work one search may take, all start places together: an instruction of the
// compiled expression, or a byte that one instruction runs over or compares. An ordinary
// rule's search of 64 KB costs under a million; a search that needs more than the limit counts
// as no match. Needs the step limit our Oniguruma build adds (patches/).
constexpr unsigned long kRegexStepLimitInSearch = 20000000;

// Whether the regular expression matches somewhere in [text, text + length). A null handle
// or a search error counts as no match.
bool regexSearch(const char* text, size_t length, OnigRegex regex);

// The rules of a run, prepared once: patterns taken apart, header names gathered so that a
// message's field is extracted once for all the rules that name it. The regular-expression
// handles are borrowed from the rule list, which must outlive this.
// A further condition of a rule, prepared the same way. Its regular expression, when it has one,
// searches whatever its target gives, a named header's value included.
struct PreparedCondition {
    int32_t searchTarget = WholeMessage;
    bool byRegex = false;
    OnigRegex regex = nullptr;
    size_t headerSlot = 0;
    PlainPattern pattern;
    bool negate = false;
};

// The fields before negate are the rule's own condition, as a one-condition rule always had.
struct PreparedRule {
    int32_t searchTarget = WholeMessage;
    bool useRegex = false;
    OnigRegex regex = nullptr;
    size_t headerSlot = 0;  // index in PreparedRules::headerNames for NamedHeader rules
    PlainPattern pattern;
    bool negate = false;
    bool anyOf = false;
    std::vector<PreparedCondition> further;
};

struct PreparedRules {
    std::vector<PreparedRule> rules;
    std::vector<std::string> headerNames;
};

PreparedRules prepareRules(const RuleList& rules);

// A message as the rules see it: the text as read or, with a decoder (the option decodeMime),
// the text its reader sees (MessageDecoder). Each part is made when a rule first asks for it:
// the decoded message once, each named field's value once. The text must outlive it; with a
// decoder, what it gives stays valid until the decoder is used again.
class SearchedMessage {
public:
    SearchedMessage(const char* message, MessageDecoder* decoder, const PreparedRules* rules = nullptr);
    SearchedMessage(const SearchedMessage&) = delete;
    SearchedMessage& operator=(const SearchedMessage&) = delete;

    // What WholeMessage rules search.
    const char* whole(size_t* length);
    // What HeaderBlock rules search: the start of whole(), *length its header block's length.
    const char* headerBlock(size_t* length);
    // The value of the field in the rules' header slot, or null when the message has none.
    const char* headerValue(size_t slot, size_t* length);
    // The text the rule at index compares, or null when there is none (a missing field, an
    // unknown target).
    const char* comparedText(size_t index, size_t* length);
    // The text a further condition compares, or null when there is none (a missing field).
    const char* conditionText(const PreparedCondition& condition, size_t* length);

private:
    enum State : unsigned char { Unknown, Present, Absent };

    const char* message_;
    MessageDecoder* decoder_;
    const PreparedRules* rules_;
    const char* text_ = nullptr;
    size_t length_ = 0;
    size_t headerLength_ = static_cast<size_t>(-1);
    std::vector<State> state_;
    std::unique_ptr<char[][kHeaderValueSize]> values_;
};

// The value of the named field as a run compares it: unfolded and cut to its capacity from
// the raw text, then, with a decoder, decoded. False (value empty) when there is no such field.
bool runHeaderValue(const char* text, const char* name, MessageDecoder* decoder, char (&value)[kHeaderValueSize]);

// Whether the rule's own condition finds its text in the text it compares (null: no text, no
// match), negation not applied.
bool ruleMatchesText(const PreparedRule& rule, const char* text, size_t length);

// Whether the rule at index matches the message: its conditions tested from the first, stopping
// as soon as the result is known (the first that fails for all of them, the first that holds for
// any of them). decidedBy, when given, gets the condition that decided: 0 for the rule's own,
// k for its k-th further condition. A rule whose own target is unknown never matches.
bool ruleMatches(const PreparedRules& rules, size_t index, SearchedMessage& message, int* decidedBy = nullptr);
// Whether each condition of the rule at index holds, its own first, every one of them tested:
// what an explanation shows. Empty for a rule whose own target is unknown.
std::vector<bool> conditionResults(const PreparedRules& rules, size_t index, SearchedMessage& message);

// Index of the first rule that matches the NUL-terminated message text, or -1. With a
// decoder (the option decodeMime), every rule matches the text as its reader sees it:
// NamedHeader the decoded value, HeaderBlock and WholeMessage the decoded message
// (MessageDecoder), decoded once and only when such a rule is reached.
int findMatchingRule(const PreparedRules& rules, const char* messageText, MessageDecoder* decoder = nullptr);
int findMatchingRule(const RuleList& rules, const char* messageText, MessageDecoder* decoder = nullptr);

}  // namespace corvane
