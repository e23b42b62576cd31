// The text form of one rule in "corvane.ini", and the colon escaping it shares with the
// host's own rules. Platform-free; the Win32 reader and writer wrap these.
#pragma once

#include <cstddef>
#include <string>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

// The loader's buffer for one rule value. It holds the longest value any record can give
// (both texts of 1023 colons escaped to 2046 bytes, a 259-byte destination), so every rule
// that fits its record is stored and read back whole.
constexpr size_t kRuleValueBufferSize = 8192;
// The writer encloses the value in a pair of double quotes.
constexpr size_t kRuleValueMaxLength = kRuleValueBufferSize - 3;

// Every colon written twice.
std::string escapeColons(const char* text);

// Each pair of colons, taken from left to right, becomes one colon; a single colon stays.
void unescapeColons(char* text);

// The end of the field that starts at text: its separator (a colon followed by a blank, where
// the colon is not the second half of a doubled pair, pairs taken from left to right as
// unescapeColons takes them), or nullptr when the field runs to the end of the text.
// A value written from escaped fields thus splits where it was joined, even when a field held
// a colon and a blank; any value whose fields hold no colon and blank splits at the first
// colon and blank, as it always did.
const char* findFieldSeparator(const char* text);

// Unescapes [begin, end) into dst. Returns false, leaving dst empty, when it does not fit.
bool unescapeField(const char* begin, const char* end, char* dst, size_t cap);

// "%d: %s: %s: %d: %d: %s" with fields 2 and 3 escaped, without the enclosing quotes.
std::string formatRuleValue(const DistributeRule& rule);

// Reads one value into out (destIsTrash derived, regex none). Fails, leaving out untouched,
// when a separator is missing or a field would not fit its record field whole.
bool parseRuleValue(const char* value, DistributeRule& out);

// Sets the fields that are derived, never stored: destIsTrash from destFolder, regex none.
void finishLoadedRule(DistributeRule& rule);

// Whether the rule can be written to the rules file and read back unchanged: its value fits
// the file's limit, holds no line break, and splits back into the same fields (a destination
// holding a colon and a blank does not).
bool ruleFitsRecord(const DistributeRule& rule);

// A rule with more than one positive condition keeps its own condition in the rule key with a
// searchTarget that no one-condition reader matches (bit 30 set): it carries the own target,
// the negation, all or any, the number of further conditions and an id. The further
// conditions are kept in their own section under keys made from that id, so they stay with
// their rule however the rule keys are renumbered.
constexpr char kConditionSection[] = "Conditions";

struct ConditionMarker {
    int32_t searchTarget = WholeMessage;
    bool negate = false;
    bool anyOf = false;
    unsigned count = 0;  // further conditions, at most kMaxFurtherConditions
    uint32_t id = 0;     // 1 .. kMaxConditionId
};

constexpr uint32_t kMaxConditionId = (1u << 23) - 1;

int32_t encodeConditionMarker(const ConditionMarker& marker);
// False for every value that is not such a marker.
bool decodeConditionMarker(int32_t value, ConditionMarker& marker);

// "c<id>.<number>", number counted from 1.
std::string conditionKey(uint32_t id, unsigned number);
bool parseConditionKey(const char* key, uint32_t* id, unsigned* number);

// "%d: %s: %s: %d: %d: %d": target, escaped text and header name, case, regex, negation.
std::string formatConditionValue(const RuleCondition& condition);
// Fails, leaving out untouched, for a missing separator, a field that does not fit, or a
// target outside 0 .. 2.
bool parseConditionValue(const char* value, RuleCondition& out);

// Whether the condition can be written and read back unchanged.
bool conditionFitsRecord(const RuleCondition& condition);

// The value of a rule's key as this release writes it: the one-condition form, or for any
// other rule the same form with the marker (rule.conditionId must be set) in field 1.
std::string storedRuleValue(const DistributeRule& rule);

}  // namespace corvane
