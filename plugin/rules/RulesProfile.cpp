#include "plugin/rules/RulesProfile.h"

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

}  // namespace

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
        profile.rules.push_back(rule);
        profile.values.push_back(value);
    }
}

}  // namespace corvane
