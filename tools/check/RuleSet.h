// An account's rules as the plug-in loads them from "corvane.ini", with where each came from
// in the file, and the per-rule matching that the checker reports on. Platform-free.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "plugin/learning/LearnMail.h"
#include "plugin/rules/DistributeRule.h"
#include "plugin/rules/MessageVerdict.h"
#include "plugin/rules/RuleMarks.h"
#include "plugin/text/MessageReadCap.h"
#include "tools/check/ProfileFile.h"

namespace corvane {

struct LoadedRule {
    DistributeRule rule;
    std::string key;    // the key as written in the file
    int line = 0;       // its line
    std::string value;  // the value the plug-in read
};

// Why the loader stopped at rule number stopNumber.
enum class LoadStop { Absent, Empty, TooLong, Unparsable };

struct RulesLoad {
    std::vector<LoadedRule> rules;
    bool unreadMail = false;
    bool reportResult = false;
    bool decodeMime = false;  // "decodemime": rules match the decoded text
    int stopNumber = 1;
    LoadStop stop = LoadStop::Absent;
    int stopLine = 0;  // the line of the key it stopped at, 0 when absent
};

// The options, then rule1, rule2, ... until a key is missing or empty, its value fills the
// 8192-byte buffer, or it does not parse: the plug-in's loadRules over a parsed file.
RulesLoad loadRuleSet(const ProfileFile& file);

// What one rule makes of one message, with the place of the match.
struct RuleProbe {
    bool matched = false;
    bool inHeaderValue = false;  // NamedHeader: offset and length are within headerValue
    size_t offset = 0;
    size_t length = 0;
    bool headerFound = false;
    std::string headerValue;
    std::string searched;  // whole-text targets: the text it searched (its header block, or all)
    int decidedBy = 0;     // the condition that decided: 0 the rule's own, k its k-th further one
    bool placed = false;   // offset and length tell where the rule's own text was found
};

// The rules of a run with the plug-in's own decision (MessageJudge), and the places of the
// matches it reports. With decodeMime they match the decoded text, as the plug-in does with the
// option.
class RuleSet {
public:
    explicit RuleSet(const std::vector<LoadedRule>& loaded, bool decodeMime = false, bool unreadMail = false);

    size_t size() const { return judge_.size(); }
    const DistributeRule& rule(size_t index) const { return judge_.rule(index); }
    // Oniguruma's error text for a regular-expression rule that does not compile, else empty.
    const std::string& regexError(size_t index) const { return regexErrors_[index]; }
    const MessageJudge& judge() const { return judge_; }

    // The index of the first matching rule, or -1.
    int firstMatch(const char* messageText) const { return judge_.firstMatch(messageText); }
    // Every rule on the NUL-terminated message text; *winner gets the first match, or -1.
    std::vector<RuleProbe> probeAll(const char* messageText, int* winner = nullptr) const;
    RuleProbe probe(size_t index, const char* messageText) const { return probeAll(messageText)[index]; }

private:
    MessageJudge judge_;
    std::vector<std::string> regexErrors_;
};


// The message text the plug-in matches: at most kMessageReadCap bytes of the file, up to the first
// NUL.
std::string messageTextFromFile(const std::string& content);

}  // namespace corvane
