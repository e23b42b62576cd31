#include "plugin/rules/RuleMatching.h"

#include <cstring>
#include <memory>

#include <oniguruma.h>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RegexLibrary.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {

// Rough frequency of each byte in stored mail: English and header words, CR LF, Base64 bodies,
// Shift-JIS lead bytes of kana and the row bytes of ISO-2022-JP kana. Only the order matters:
// a search scans for the pattern byte that turns up least often.
int byteFrequency(unsigned char c) {
    static const char kCommonLower[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (c >= 'a' && c <= 'z')
        return 30 + 4 * static_cast<int>(sizeof kCommonLower - (strchr(kCommonLower, c) - kCommonLower));
    if (c >= 'A' && c <= 'Z')
        return 8 + static_cast<int>(sizeof kCommonLower - (strchr(kCommonLower, c + 32) - kCommonLower));
    if (c >= '0' && c <= '9')
        return 40;
    switch (c) {
    case ' ': return 250;
    case '\r': case '\n': return 90;
    case '$': return 70;
    case 0x82: return 90;
    case 0x81: case 0x83: return 50;
    case '%': case '.': case ',': case ':': case '-': case '/': case '=': case '+': return 30;
    case '!': case '@': case '<': case '>': case '"': case '(': case ')': case ';': case '_': return 15;
    case 0x1B: return 12;
    default: break;
    }
    if (c >= 0x88 && c <= 0x9F)
        return 12;
    if (c >= 0x9F && c <= 0xF1)
        return 8;
    return 4;
}

int foldedFrequency(unsigned char c, bool matchCase) {
    if (!matchCase && c >= 'a' && c <= 'z')
        return byteFrequency(c) + byteFrequency(static_cast<unsigned char>(c - 32));
    return byteFrequency(c);
}

void chooseScanBytes(PlainPattern& pattern) {
    const std::string& bytes = pattern.bytes;
    size_t rarest = 0, second = 0;
    int rarestScore = 1 << 20, secondScore = 1 << 20;
    for (size_t i = 0; i < bytes.size(); ++i) {
        int score = foldedFrequency(static_cast<unsigned char>(bytes[i]), pattern.matchCase);
        if (score < rarestScore) {
            second = rarest;
            secondScore = rarestScore;
            rarest = i;
            rarestScore = score;
        } else if (score < secondScore) {
            second = i;
            secondScore = score;
        }
    }
    pattern.rarest = rarest;
    pattern.second = bytes.size() > 1 ? second : 0;
}

bool equalFolded(const char* text, const char* folded, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (foldAscii(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(folded[i]))
            return false;
    return true;
}

bool equalAt(const char* text, const PlainPattern& pattern) {
    const std::string& bytes = pattern.bytes;
    if (pattern.matchCase)
        return memcmp(text, bytes.data(), bytes.size()) == 0;
    return equalFolded(text, bytes.data(), bytes.size());
}

// Candidate places of the rarest byte run from first to last inclusive; each is checked at
// the second byte and then whole. Without matchCase a letter is looked for in both cases,
// taking the nearer of the two each time, so the places still come in order.
const char* scanCandidates(const char* text, size_t length, const PlainPattern& pattern) {
    const std::string& bytes = pattern.bytes;
    size_t n = bytes.size();
    const char* first = text + pattern.rarest;
    const char* last = text + (length - n) + pattern.rarest;
    unsigned char target = static_cast<unsigned char>(bytes[pattern.rarest]);
    unsigned char secondByte = static_cast<unsigned char>(bytes[pattern.second]);
    size_t secondOffset = pattern.second;
    bool fold = !pattern.matchCase;
    auto fits = [&](const char* place) {
        const char* start = place - pattern.rarest;
        unsigned char atSecond = static_cast<unsigned char>(start[secondOffset]);
        if ((fold ? foldAscii(atSecond) : atSecond) != secondByte)
            return false;
        return equalAt(start, pattern);
    };
    auto next = [&](const char* from, unsigned char c) -> const char* {
        if (from > last)
            return nullptr;
        return static_cast<const char*>(memchr(from, c, static_cast<size_t>(last - from) + 1));
    };
    if (!fold || target < 'a' || target > 'z') {
        for (const char* place = next(first, target); place; place = next(place + 1, target))
            if (fits(place))
                return place - pattern.rarest;
        return nullptr;
    }
    unsigned char upper = static_cast<unsigned char>(target - 32);
    const char* lowerPlace = next(first, target);
    const char* upperPlace = next(first, upper);
    while (lowerPlace || upperPlace) {
        bool takeLower = lowerPlace && (!upperPlace || lowerPlace < upperPlace);
        const char* place = takeLower ? lowerPlace : upperPlace;
        if (fits(place))
            return place - pattern.rarest;
        if (takeLower)
            lowerPlace = next(lowerPlace + 1, target);
        else
            upperPlace = next(upperPlace + 1, upper);
    }
    return nullptr;
}

size_t boundedLength(const char* field, size_t capacity) {
    return strnlen(field, capacity);
}

}  // namespace

PlainPattern preparePattern(const char* searchText, size_t length, bool matchCase) {
    PlainPattern pattern;
    pattern.matchCase = matchCase;
    const char* start = searchText;
    const char* end = searchText + length;
    if (start < end && *start == '^') {
        pattern.anchoredStart = true;
        ++start;
    }
    if (start < end && end[-1] == '$') {
        pattern.anchoredEnd = true;
        --end;
    }
    pattern.bytes.assign(start, end);
    if (!matchCase)
        for (char& c : pattern.bytes)
            c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    chooseScanBytes(pattern);
    return pattern;
}

const char* findPattern(const char* text, size_t length, const PlainPattern& pattern) {
    size_t n = pattern.bytes.size();
    if (n == 0)
        return pattern.matchCase ? text : nullptr;
    if (n > length)
        return nullptr;
    return scanCandidates(text, length, pattern);
}

bool plainMatch(const char* text, size_t length, const PlainPattern& pattern) {
    size_t n = pattern.bytes.size();
    if (pattern.anchoredStart && pattern.anchoredEnd)
        return length == n && equalAt(text, pattern);
    if (pattern.anchoredStart)
        return length >= n && equalAt(text, pattern);
    if (pattern.anchoredEnd)
        return length >= n && equalAt(text + (length - n), pattern);
    return findPattern(text, length, pattern) != nullptr;
}

bool plainMatch(const char* text, const DistributeRule& rule) {
    if (!text)
        return false;
    PlainPattern pattern = preparePattern(rule.searchText, boundedLength(rule.searchText, sizeof rule.searchText),
                                          rule.matchCase != 0);
    return plainMatch(text, strlen(text), pattern);
}

const char* caseFoldFind(const char* text, const char* pattern) {
    if (!text || !pattern || !*text || !*pattern)
        return nullptr;
    PlainPattern prepared;
    prepared.bytes = pattern;
    for (char& c : prepared.bytes)
        c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    chooseScanBytes(prepared);
    return findPattern(text, strlen(text), prepared);
}

OnigRegex compileRuleRegex(const char* searchText, size_t length, std::string* error) {
    if (!searchText)
        return nullptr;
    ensureRegexLibrary();
    OnigRegex regex = nullptr;
    OnigErrorInfo errorInfo{};
    const OnigUChar* pattern = reinterpret_cast<const OnigUChar*>(searchText);
    // Ruby syntax by name: the library's default syntax is its own since Oniguruma 6, and that
    // accepts callouts and option letters Ruby refuses and reads \N and \O as kinds of dot.
    int result = onig_new(&regex, pattern, pattern + length, ONIG_OPTION_NONE, ONIG_ENCODING_ASCII,
                          ONIG_SYNTAX_RUBY, &errorInfo);
    if (result != ONIG_NORMAL) {
        OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN];
        onig_error_code_to_str(message, result, &errorInfo);
        if (error)
            *error = reinterpret_cast<const char*>(message);
        if (regex)
            onig_free(regex);
        return nullptr;
    }
    return regex;
}

OnigRegex compileRuleRegex(const char* searchText) {
    return searchText ? compileRuleRegex(searchText, strlen(searchText)) : nullptr;
}

namespace {

void freeHandle(OnigRegex& regex) {
    if (regex)
        onig_free(regex);
    regex = nullptr;
}

}  // namespace

void compileRules(RuleList& rules) {
    for (DistributeRule& rule : rules) {
        freeHandle(rule.regex);
        if (searchesByRegex(rule))
            rule.regex = compileRuleRegex(rule.searchText, boundedLength(rule.searchText, sizeof rule.searchText));
        for (RuleCondition& condition : rule.conditions) {
            freeHandle(condition.regex);
            if (condition.useRegex)
                condition.regex = compileRuleRegex(condition.searchText,
                                                   boundedLength(condition.searchText, sizeof condition.searchText));
        }
    }
}

void releaseRules(RuleList& rules) {
    for (DistributeRule& rule : rules) {
        freeHandle(rule.regex);
        for (RuleCondition& condition : rule.conditions)
            freeHandle(condition.regex);
    }
}

bool regexSearch(const char* text, size_t length, OnigRegex regex) {
    if (!regex || !text)
        return false;
    const OnigUChar* start = reinterpret_cast<const OnigUChar*>(text);
    const OnigUChar* end = start + length;
    // Oniguruma bounds the retries of a match at one start place but not of the whole search,
    // so an expression that backtracks at every place of a 64 KB message could take seconds;
    // one that never backtracks but runs to the end of the text from every place, or that
    // compares long back references, costs as much without a single retry.
    OnigMatchParam* param = onig_new_match_param();
    int result;
    if (param) {
        onig_initialize_match_param(param);
        onig_set_retry_limit_in_search_of_match_param(param, kRegexRetryLimitInSearch);
        onig_set_step_limit_in_search_of_match_param(param, kRegexStepLimitInSearch);
        result = onig_search_with_param(regex, start, end, start, end, nullptr, ONIG_OPTION_NONE, param);
        onig_free_match_param(param);
    } else {
        result = onig_search(regex, start, end, start, end, nullptr, ONIG_OPTION_NONE);
    }
    if (result >= 0)
        return true;
    if (result != ONIG_MISMATCH) {
        OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN];
        onig_error_code_to_str(message, result);
    }
    return false;
}

namespace {

// The slot of the header name among those the rules name, added when it is new.
size_t headerSlot(PreparedRules& prepared, const char (&headerName)[1024]) {
    std::string name(headerName, boundedLength(headerName, sizeof headerName));
    size_t slot = 0;
    while (slot < prepared.headerNames.size() && prepared.headerNames[slot] != name)
        ++slot;
    if (slot == prepared.headerNames.size())
        prepared.headerNames.push_back(name);
    return slot;
}

PreparedCondition prepareCondition(PreparedRules& prepared, const RuleCondition& condition) {
    PreparedCondition entry;
    entry.searchTarget = condition.searchTarget;
    entry.byRegex = condition.useRegex != 0;
    entry.regex = condition.regex;
    entry.negate = condition.negate != 0;
    entry.pattern = preparePattern(condition.searchText,
                                   boundedLength(condition.searchText, sizeof condition.searchText),
                                   condition.matchCase != 0);
    if (condition.searchTarget == NamedHeader)
        entry.headerSlot = headerSlot(prepared, condition.headerName);
    return entry;
}

}  // namespace

PreparedRules prepareRules(const RuleList& rules) {
    PreparedRules prepared;
    prepared.rules.reserve(rules.size());
    for (const DistributeRule& rule : rules) {
        PreparedRule entry;
        entry.searchTarget = rule.searchTarget;
        entry.useRegex = rule.useRegex != 0;
        entry.regex = rule.regex;
        entry.pattern = preparePattern(rule.searchText, boundedLength(rule.searchText, sizeof rule.searchText),
                                       rule.matchCase != 0);
        if (rule.searchTarget == NamedHeader)
            entry.headerSlot = headerSlot(prepared, rule.headerName);
        entry.negate = rule.negate != 0;
        entry.anyOf = rule.anyOf != 0;
        for (const RuleCondition& condition : rule.conditions)
            entry.further.push_back(prepareCondition(prepared, condition));
        prepared.rules.push_back(std::move(entry));
    }
    return prepared;
}

bool runHeaderValue(const char* text, const char* name, MessageDecoder* decoder, char (&value)[kHeaderValueSize]) {
    if (!decoder)
        return extractHeaderValue(text, name, value);
    // The raw value is cut to its capacity first and then decoded: what a run compares.
    char raw[kHeaderValueSize];
    if (!extractHeaderValue(text, name, raw)) {
        value[0] = '\0';
        return false;
    }
    decoder->decodeHeaderValue(raw, strlen(raw), value);
    return true;
}

SearchedMessage::SearchedMessage(const char* message, MessageDecoder* decoder, const PreparedRules* rules)
    : message_(message), decoder_(decoder), rules_(rules) {
    if (rules && !rules->headerNames.empty()) {
        state_.assign(rules->headerNames.size(), Unknown);
        values_.reset(new char[rules->headerNames.size()][kHeaderValueSize]);
    }
}

const char* SearchedMessage::whole(size_t* length) {
    if (!text_) {
        if (decoder_)
            text_ = decoder_->decodeMessage(message_, &length_);
        else
            length_ = strlen(text_ = message_);
    }
    *length = length_;
    return text_;
}

const char* SearchedMessage::headerBlock(size_t* length) {
    const char* text = whole(length);
    if (headerLength_ == static_cast<size_t>(-1))
        headerLength_ = headerBlockEnd(text);
    *length = headerLength_;
    return text;
}

const char* SearchedMessage::headerValue(size_t slot, size_t* length) {
    if (state_[slot] == Unknown)
        state_[slot] = runHeaderValue(message_, rules_->headerNames[slot].c_str(), decoder_, values_[slot]) ? Present
                                                                                                           : Absent;
    if (state_[slot] == Absent)
        return nullptr;
    *length = strlen(values_[slot]);
    return values_[slot];
}

const char* SearchedMessage::comparedText(size_t index, size_t* length) {
    const PreparedRule& rule = rules_->rules[index];
    switch (rule.searchTarget) {
    case WholeMessage: return whole(length);
    case HeaderBlock: return headerBlock(length);
    case NamedHeader: return headerValue(rule.headerSlot, length);
    default: return nullptr;
    }
}

const char* SearchedMessage::conditionText(const PreparedCondition& condition, size_t* length) {
    switch (condition.searchTarget) {
    case WholeMessage: return whole(length);
    case HeaderBlock: return headerBlock(length);
    case NamedHeader: return headerValue(condition.headerSlot, length);
    default: return nullptr;
    }
}

bool ruleMatchesText(const PreparedRule& rule, const char* text, size_t length) {
    if (!text)
        return false;
    // A named header's value is always searched as plain text.
    if (rule.useRegex && rule.searchTarget != NamedHeader)
        return regexSearch(text, length, rule.regex);
    return plainMatch(text, length, rule.pattern);
}

namespace {

bool conditionHolds(const PreparedCondition& condition, SearchedMessage& message) {
    size_t length = 0;
    const char* text = message.conditionText(condition, &length);
    bool found = false;
    if (text)
        found = condition.byRegex ? regexSearch(text, length, condition.regex)
                                  : plainMatch(text, length, condition.pattern);
    return found != condition.negate;
}

}  // namespace

bool ruleMatches(const PreparedRules& rules, size_t index, SearchedMessage& message, int* decidedBy) {
    const PreparedRule& rule = rules.rules[index];
    if (decidedBy)
        *decidedBy = 0;
    if (rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader)
        return false;
    size_t length = 0;
    const char* text = message.comparedText(index, &length);
    bool holds = ruleMatchesText(rule, text, length) != rule.negate;
    // All: the first condition that fails decides; any: the first that holds.
    for (size_t k = 0; k < rule.further.size() && holds != rule.anyOf; ++k) {
        holds = conditionHolds(rule.further[k], message);
        if (decidedBy)
            *decidedBy = static_cast<int>(k + 1);
    }
    return holds;
}

std::vector<bool> conditionResults(const PreparedRules& rules, size_t index, SearchedMessage& message) {
    const PreparedRule& rule = rules.rules[index];
    std::vector<bool> held;
    if (rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader)
        return held;
    size_t length = 0;
    const char* text = message.comparedText(index, &length);
    held.push_back(ruleMatchesText(rule, text, length) != rule.negate);
    for (const PreparedCondition& condition : rule.further)
        held.push_back(conditionHolds(condition, message));
    return held;
}

int findMatchingRule(const PreparedRules& rules, const char* messageText, MessageDecoder* decoder) {
    if (!messageText)
        return -1;
    SearchedMessage searched(messageText, decoder, &rules);
    for (size_t i = 0; i < rules.rules.size(); ++i)
        if (ruleMatches(rules, i, searched))
            return static_cast<int>(i);
    return -1;
}

int findMatchingRule(const RuleList& rules, const char* messageText, MessageDecoder* decoder) {
    return findMatchingRule(prepareRules(rules), messageText, decoder);
}

}  // namespace corvane
