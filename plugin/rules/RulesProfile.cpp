#include "plugin/rules/RulesProfile.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleText.h"

namespace corvane {

namespace {

const char kRuleSection[] = "Rule";
const char kGenericSection[] = "Generic";

// 3 is no value a user writes: it tells a missing key from 0 and 1.
void readOption(const ProfileSource& source, const char* key, bool& option) {
    unsigned value = source.readInt(kGenericSection, key, 3);
    if (value != 3)
        option = value == 1;
}

// Gives a rule whose key carries the marker its further conditions. When one of them is
// missing or unreadable the rule keeps the marker as its target, and so never matches: a
// rule without all its conditions would take more mail than its user meant.
void attachConditions(const ProfileSource& source, DistributeRule& rule) {
    ConditionMarker marker;
    if (!decodeConditionMarker(rule.searchTarget, marker))
        return;
    std::vector<RuleCondition> conditions(marker.count);
    for (unsigned n = 1; n <= marker.count; ++n) {
        size_t length = 0;
        std::string value =
            source.readString(kConditionSection, conditionKey(marker.id, n).c_str(), kRuleValueBufferSize, &length);
        if (length == 0 || length >= kRuleValueBufferSize - 1 || !parseConditionValue(value.c_str(), conditions[n - 1]))
            return;
    }
    rule.searchTarget = marker.searchTarget;
    rule.negate = marker.negate;
    rule.anyOf = marker.anyOf;
    rule.conditionId = marker.id;
    rule.conditions = conditions;
}

// Every id the rule keys of the file name, with the number of further conditions it carries.
std::map<uint32_t, unsigned> idsInFile(const ProfileStore& store) {
    std::map<uint32_t, unsigned> ids;
    for (const std::string& key : store.keyNames(kRuleSection)) {
        size_t length = 0;
        std::string value = store.readString(kRuleSection, key.c_str(), kRuleValueBufferSize, &length);
        DistributeRule rule;
        ConditionMarker marker;
        if (parseRuleValue(value.c_str(), rule) && decodeConditionMarker(rule.searchTarget, marker))
            ids[marker.id] = std::max(ids[marker.id], marker.count);
    }
    return ids;
}

// The rules to write, each of several conditions with an id of its own.
RuleList withConditionIds(const RuleList& rules, const std::map<uint32_t, unsigned>& inFile) {
    RuleList written = rules;
    std::set<uint32_t> taken;
    std::vector<DistributeRule*> needing;
    for (DistributeRule& rule : written) {
        if (isSingleCondition(rule))
            continue;
        if (rule.conditionId == 0 || rule.conditionId > kMaxConditionId || !taken.insert(rule.conditionId).second)
            needing.push_back(&rule);
    }
    uint32_t next = 1;
    for (DistributeRule* rule : needing) {
        while (next < kMaxConditionId && (taken.count(next) || inFile.count(next)))
            ++next;
        rule->conditionId = next;
        taken.insert(next);
    }
    return written;
}

std::string quoted(const std::string& value) {
    return "\"" + value + "\"";
}

}  // namespace

int writeRuleKeys(ProfileStore& store, const RuleList& rules, size_t count,
                  const std::function<bool(const DistributeRule&)>& storable) {
    RuleList list(rules.begin(), rules.begin() + static_cast<std::ptrdiff_t>(std::min(count, rules.size())));
    list = withConditionIds(list, idsInFile(store));
    int written = 0;
    for (const DistributeRule& rule : list) {
        if (!storable(rule))
            continue;
        char key[32];
        formatBuffer(key, "rule%d", ++written);
        store.writeString(kRuleSection, key, quoted(storedRuleValue(rule)).c_str());
        for (size_t k = 0; k < rule.conditions.size() && !isSingleCondition(rule); ++k)
            store.writeString(kConditionSection, conditionKey(rule.conditionId, static_cast<unsigned>(k + 1)).c_str(),
                              quoted(formatConditionValue(rule.conditions[k])).c_str());
    }
    return written;
}

void deleteStaleConditions(ProfileStore& store) {
    std::map<uint32_t, unsigned> live = idsInFile(store);
    for (const std::string& key : store.keyNames(kConditionSection)) {
        uint32_t id = 0;
        unsigned number = 0;
        if (!parseConditionKey(key.c_str(), &id, &number))
            continue;
        auto found = live.find(id);
        if (found == live.end() || number == 0 || number > found->second)
            store.writeString(kConditionSection, key.c_str(), nullptr);
    }
}

void readRulesProfile(const ProfileSource& source, RulesProfile& profile) {
    readOption(source, "unreadmail", profile.unreadMail);
    readOption(source, "reportresult", profile.reportResult);
    profile.decodeMime = source.readInt(kGenericSection, "decodemime", 0) == 1;
    for (int n = 1;; ++n) {
        char key[32];
        formatBuffer(key, "rule%d", n);
        profile.stopNumber = n;
        size_t length = 0;
        std::string value = source.readString(kRuleSection, key, kRuleValueBufferSize, &length);
        if (length == 0) {
            profile.stop = RulesStop::Empty;
            break;
        }
        if (length >= kRuleValueBufferSize - 1) {
            profile.stop = RulesStop::TooLong;
            break;
        }
        DistributeRule rule;
        if (!parseRuleValue(value.c_str(), rule)) {
            profile.stop = RulesStop::Unparsable;
            break;
        }
        attachConditions(source, rule);
        profile.rules.push_back(rule);
        profile.values.push_back(value);
    }
}

}  // namespace corvane
