// "corvane.ini" in an account directory: the account's rules and its three options.
#pragma once

#include <cstdint>

#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/rules/DistributeRule.h"

namespace corvane {

// An account's rules and its three options as the rules file holds them, and the account
// directory the file lives in.
struct AccountSettings {
    RuleList rules;         // evaluation order
    int32_t ruleCount = 0;  // always rules.size()
    bool unreadMail = false;
    bool reportResult = false;
    bool decodeMime = false;  // rules match the decoded text (MessageDecoder)
    PathBuffer accountDir = {};  // ends with a backslash

    void appendRule(const DistributeRule& rule) {
        rules.push_back(rule);
        ruleCount = static_cast<int32_t>(rules.size());
    }
    void setRules(const RuleList& list) {
        rules = list;
        ruleCount = static_cast<int32_t>(rules.size());
    }
    void clearRules() {
        rules.clear();
        ruleCount = 0;
    }
};

// Reads the options, then the rules, appending them to the list. Reading stops at
// the first missing, empty or unreadable rule key; options the file lacks keep their value.
void loadRules(AccountSettings& account);

// Writes rules 1 .. ruleCount, then the options: "decodemime" only when it is on or the file
// already holds it, so the files of users who never touch it stay as they were. Keys above
// ruleCount are left alone.
void saveRules(const AccountSettings& account);

// Deletes the keys "rule<first>" .. "rule<last>"; nothing without an account or when last < first.
void deleteRuleKeys(const AccountSettings* account, int first, int last);

// Whether the rule can be written to the file and read back as itself: its text form fits
// and splits back whole, and its texts survive the system code page, through which the
// profile functions convert every value (a byte pair that is no Shift-JIS character would
// come back as another character).
bool ruleStorable(const DistributeRule& rule);
bool conditionStorable(const RuleCondition& condition);

}  // namespace corvane
