#include "tools/check/RuleSet.h"

#include <cstring>

#include <oniguruma.h>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleText.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {


void readOption(const ProfileFile& file, const char* key, bool& option) {
    unsigned value = file.readInt("Generic", key, 3);
    if (value != 3)
        option = value == 1;
}

// Where a plain pattern that matched lies in the text.
void placePlainMatch(const char* text, size_t length, const PlainPattern& pattern, RuleProbe& probe) {
    size_t n = pattern.bytes.size();
    probe.length = n;
    if (pattern.anchoredStart)
        probe.offset = 0;
    else if (pattern.anchoredEnd)
        probe.offset = length - n;
    else if (const char* found = findPattern(text, length, pattern))
        probe.offset = static_cast<size_t>(found - text);
}

void placeRegexMatch(const char* text, size_t length, OnigRegex regex, RuleProbe& probe) {
    OnigRegion* region = onig_region_new();
    const OnigUChar* start = reinterpret_cast<const OnigUChar*>(text);
    if (onig_search(regex, start, start + length, start, start + length, region, ONIG_OPTION_NONE) >= 0 &&
        region->num_regs > 0) {
        probe.offset = static_cast<size_t>(region->beg[0]);
        probe.length = static_cast<size_t>(region->end[0] - region->beg[0]);
    }
    onig_region_free(region, 1);
}

}  // namespace

RulesLoad loadRuleSet(const ProfileFile& file) {
    RulesLoad load;
    readOption(file, "unreadmail", load.unreadMail);
    readOption(file, "reportresult", load.reportResult);
    load.decodeMime = file.readInt("Generic", "decodemime", 0) == 1;
    for (int n = 1;; ++n) {
        char key[32];
        formatBuffer(key, "rule%d", n);
        load.stopNumber = n;
        const ProfileLine* line = file.find("Rule", key);
        load.stopLine = line ? line->number : 0;
        size_t length = 0;
        std::string value = file.readString("Rule", key, RuleValueBufferSize, &length);
        if (length == 0) {
            load.stop = line ? LoadStop::Empty : LoadStop::Absent;
            break;
        }
        if (length >= RuleValueBufferSize - 1) {
            load.stop = LoadStop::TooLong;
            break;
        }
        LoadedRule loaded;
        if (!parseRuleValue(value.c_str(), loaded.rule)) {
            load.stop = LoadStop::Unparsable;
            break;
        }
        loaded.key = line->key;
        loaded.line = line->number;
        loaded.value = value;
        load.rules.push_back(loaded);
    }
    return load;
}

std::string regexCompileError(const char* pattern, size_t length) {
    std::string error;
    if (OnigRegex regex = compileRuleRegex(pattern, length, &error))
        onig_free(regex);
    return error;
}

std::string messageTextFromFile(const std::string& content) {
    return learnTextOf(content);
}

RuleSet::RuleSet(const std::vector<LoadedRule>& loaded, bool decodeMime)
    : decoder_(decodeMime ? new MessageDecoder : nullptr) {
    for (const LoadedRule& entry : loaded)
        rules_.push_back(entry.rule);
    compileRules(rules_);
    prepared_ = prepareRules(rules_);
    for (const DistributeRule& rule : rules_) {
        std::string error;
        if (searchesByRegex(rule) && !rule.regex)
            error = regexCompileError(rule.searchText, strnlen(rule.searchText, sizeof rule.searchText));
        regexErrors_.push_back(error);
    }
}

RuleSet::~RuleSet() {
    releaseRules(rules_);
}

int RuleSet::firstMatch(const char* messageText) const {
    return findMatchingRule(prepared_, messageText, decoder_.get());
}

std::string RuleSet::searchedText(const char* messageText) const {
    if (!decoder_)
        return messageText;
    size_t length = 0;
    const char* text = decoder_->decodeMessage(messageText, &length);
    return std::string(text, length);
}

RuleProbe RuleSet::probe(size_t index, const char* messageText) const {
    RuleProbe probe;
    const DistributeRule& rule = rules_[index];
    const PreparedRule& prepared = prepared_.rules[index];
    switch (rule.searchTarget) {
    case WholeMessage:
    case HeaderBlock: {
        size_t length = 0;
        if (decoder_)
            messageText = decoder_->decodeMessage(messageText, &length);
        else
            length = strlen(messageText);
        if (rule.searchTarget == HeaderBlock)
            length = headerBlockEnd(messageText);
        if (rule.useRegex) {
            probe.matched = regexSearch(messageText, length, rule.regex);
            if (probe.matched)
                placeRegexMatch(messageText, length, rule.regex, probe);
        } else {
            probe.matched = plainMatch(messageText, length, prepared.pattern);
            if (probe.matched)
                placePlainMatch(messageText, length, prepared.pattern, probe);
        }
        break;
    }
    case NamedHeader: {
        char value[kHeaderValueSize];
        probe.headerFound = extractHeaderValue(messageText, rule.headerName, value);
        if (!probe.headerFound)
            break;
        if (decoder_) {
            char raw[kHeaderValueSize];
            memcpy(raw, value, sizeof raw);
            decoder_->decodeHeaderValue(raw, strlen(raw), value);
        }
        probe.headerValue = value;
        probe.inHeaderValue = true;
        probe.matched = plainMatch(value, probe.headerValue.size(), prepared.pattern);
        if (probe.matched)
            placePlainMatch(value, probe.headerValue.size(), prepared.pattern, probe);
        break;
    }
    default:
        break;
    }
    return probe;
}

}  // namespace corvane
