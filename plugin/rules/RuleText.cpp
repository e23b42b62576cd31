#include "plugin/rules/RuleText.h"

#include <cstdint>
#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

namespace {

void appendEscaped(std::string& out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == ':')
            out += ':';
        out += text[i];
    }
}

// A record field as text, never reading past the field even when it lacks its NUL.
template <size_t N>
size_t fieldLength(const char (&field)[N]) {
    return strnlen(field, N);
}

template <size_t N>
bool sameField(const char (&a)[N], const char (&b)[N]) {
    return strncmp(a, b, N) == 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The leading-integer conversion of atoi over [begin, end): blanks, a sign, digits; anything
// else ends it, no digits give 0, and values beyond 32 bits stop at the nearest limit.
int32_t leadingInteger(const char* begin, const char* end) {
    const char* p = begin;
    while (p < end && isBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    int64_t magnitude = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// Field 6 is not escaped, so no doubled pair exists there: it ends at the first colon and
// blank, as it always did.
const char* destinationEnd(const char* text) {
    const char* separator = strstr(text, ": ");
    return separator ? separator : text + strlen(text);
}

}  // namespace

std::string escapeColons(const char* text) {
    std::string out;
    if (text)
        appendEscaped(out, text, strlen(text));
    return out;
}

void unescapeColons(char* text) {
    if (!text)
        return;
    char* write = text;
    for (const char* read = text; *read; ++read) {
        if (read[0] == ':' && read[1] == ':')
            ++read;
        *write++ = *read;
    }
    *write = '\0';
}

const char* findFieldSeparator(const char* text) {
    for (const char* p = text; p && *p; ++p) {
        if (*p != ':')
            continue;
        if (p[1] == ':')
            ++p;
        else if (p[1] == ' ')
            return p;
    }
    return nullptr;
}

bool unescapeField(const char* begin, const char* end, char* dst, size_t cap) {
    if (cap == 0)
        return false;
    size_t length = 0;
    for (const char* p = begin; p < end; ++p) {
        if (p[0] == ':' && p + 1 < end && p[1] == ':')
            ++p;
        if (length + 1 >= cap) {
            dst[0] = '\0';
            return false;
        }
        dst[length++] = *p;
    }
    dst[length] = '\0';
    return true;
}

// Target, escaped text and header name, case and regex, each followed by the separator: what a
// rule's value and a condition's value begin with.
template <typename Searched>
std::string formatLeadingFields(const Searched& searched) {
    std::string value = std::to_string(searched.searchTarget);
    value += ": ";
    appendEscaped(value, searched.searchText, fieldLength(searched.searchText));
    value += ": ";
    appendEscaped(value, searched.headerName, fieldLength(searched.headerName));
    value += searched.matchCase ? ": 1: " : ": 0: ";
    value += searched.useRegex ? "1: " : "0: ";
    return value;
}

std::string formatRuleValue(const DistributeRule& rule) {
    std::string value = formatLeadingFields(rule);
    value.append(rule.destFolder, fieldLength(rule.destFolder));
    return value;
}

// Reads what formatLeadingFields writes; the start of the field after them, or null when a
// separator is missing or a text does not fit.
template <typename Searched>
const char* parseLeadingFields(const char* value, Searched& out) {
    static_assert(sizeof out.searchText == sizeof out.headerName, "both texts are read into one size");
    const char* p = value;
    const char* end = findFieldSeparator(p);
    if (!end)
        return nullptr;
    out.searchTarget = leadingInteger(p, end);
    char* texts[] = {out.searchText, out.headerName};
    for (char* text : texts) {
        p = end + 2;
        end = findFieldSeparator(p);
        if (!end || !unescapeField(p, end, text, sizeof out.searchText))
            return nullptr;
    }
    uint8_t* flags[] = {&out.matchCase, &out.useRegex};
    for (uint8_t* flag : flags) {
        p = end + 2;
        end = findFieldSeparator(p);
        if (!end)
            return nullptr;
        *flag = leadingInteger(p, end) == 1;
    }
    return end + 2;
}

bool parseRuleValue(const char* value, DistributeRule& out) {
    DistributeRule rule;
    const char* p = parseLeadingFields(value, rule);
    if (!p || !copyBytes(rule.destFolder, p, static_cast<size_t>(destinationEnd(p) - p)))
        return false;
    finishLoadedRule(rule);
    out = rule;
    return true;
}

void finishLoadedRule(DistributeRule& rule) {
    rule.destIsTrash = classifyFolderPath(rule.destFolder) == Trash;
    rule.regex = nullptr;
}

namespace {

bool valueFits(const std::string& value) {
    return value.size() <= kRuleValueMaxLength && value.find_first_of("\r\n") == std::string::npos;
}

// A rule of several conditions names a known target of its own and at most as many further
// conditions as the marker carries, each of which fits.
bool conditionsFit(const DistributeRule& rule) {
    if (isSingleCondition(rule))
        return true;
    if (rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader ||
        rule.conditions.size() > kMaxFurtherConditions)
        return false;
    for (const RuleCondition& condition : rule.conditions)
        if (!conditionFitsRecord(condition))
            return false;
    return true;
}

}  // namespace

bool ruleFitsRecord(const DistributeRule& rule) {
    std::string value = formatRuleValue(rule);
    if (!valueFits(value))
        return false;
    DistributeRule back;
    if (!parseRuleValue(value.c_str(), back))
        return false;
    return back.searchTarget == rule.searchTarget && sameField(back.searchText, rule.searchText) &&
           sameField(back.headerName, rule.headerName) && back.matchCase == (rule.matchCase != 0) &&
           back.useRegex == (rule.useRegex != 0) && sameField(back.destFolder, rule.destFolder) &&
           conditionsFit(rule);
}

bool conditionFitsRecord(const RuleCondition& condition) {
    std::string value = formatConditionValue(condition);
    RuleCondition back;
    if (!valueFits(value) || !parseConditionValue(value.c_str(), back))
        return false;
    return back.searchTarget == condition.searchTarget && sameField(back.searchText, condition.searchText) &&
           sameField(back.headerName, condition.headerName) && back.matchCase == (condition.matchCase != 0) &&
           back.useRegex == (condition.useRegex != 0) && back.negate == (condition.negate != 0);
}

int32_t encodeConditionMarker(const ConditionMarker& marker) {
    uint32_t bits = 0x40000000u | (marker.id & kMaxConditionId) << 7 | (marker.count & 7u) << 4 |
                    (marker.anyOf ? 8u : 0u) | (marker.negate ? 4u : 0u) |
                    (static_cast<uint32_t>(marker.searchTarget) & 3u);
    return static_cast<int32_t>(bits);
}

bool decodeConditionMarker(int32_t value, ConditionMarker& marker) {
    uint32_t bits = static_cast<uint32_t>(value);
    if ((bits & 0xC0000000u) != 0x40000000u || (bits & 3u) > NamedHeader || (bits >> 7 & kMaxConditionId) == 0)
        return false;
    marker.searchTarget = static_cast<int32_t>(bits & 3u);
    marker.negate = (bits & 4u) != 0;
    marker.anyOf = (bits & 8u) != 0;
    marker.count = bits >> 4 & 7u;
    marker.id = bits >> 7 & kMaxConditionId;
    return true;
}

std::string conditionKey(uint32_t id, unsigned number) {
    return "c" + std::to_string(id) + "." + std::to_string(number);
}

bool parseConditionKey(const char* key, uint32_t* id, unsigned* number) {
    uint64_t values[2] = {0, 0};
    if (key[0] != 'c' && key[0] != 'C')
        return false;
    const char* p = key + 1;
    for (int part = 0; part < 2; ++part) {
        const char* digits = p;
        for (; *p >= '0' && *p <= '9' && p - digits < 9; ++p)
            values[part] = values[part] * 10 + static_cast<unsigned>(*p - '0');
        if (p == digits || *p != (part == 0 ? '.' : '\0'))
            return false;
        ++p;
    }
    *id = static_cast<uint32_t>(values[0]);
    *number = static_cast<unsigned>(values[1]);
    return true;
}

std::string formatConditionValue(const RuleCondition& condition) {
    std::string value = formatLeadingFields(condition);
    value += condition.negate ? "1" : "0";
    return value;
}

bool parseConditionValue(const char* value, RuleCondition& out) {
    RuleCondition condition;
    const char* p = parseLeadingFields(value, condition);
    if (!p || condition.searchTarget < WholeMessage || condition.searchTarget > NamedHeader)
        return false;
    condition.negate = leadingInteger(p, p + strlen(p)) == 1;
    out = condition;
    return true;
}

std::string storedRuleValue(const DistributeRule& rule) {
    if (isSingleCondition(rule))
        return formatRuleValue(rule);
    ConditionMarker marker;
    marker.searchTarget = rule.searchTarget;
    marker.negate = rule.negate != 0;
    marker.anyOf = rule.anyOf != 0;
    marker.count = static_cast<unsigned>(rule.conditions.size());
    marker.id = rule.conditionId;
    DistributeRule stored;
    stored.searchTarget = encodeConditionMarker(marker);
    memcpy(stored.searchText, rule.searchText, sizeof stored.searchText);
    memcpy(stored.headerName, rule.headerName, sizeof stored.headerName);
    stored.matchCase = rule.matchCase;
    stored.useRegex = rule.useRegex;
    memcpy(stored.destFolder, rule.destFolder, sizeof stored.destFolder);
    return formatRuleValue(stored);
}

}  // namespace corvane
