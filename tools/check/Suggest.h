// corvane-check suggest: rules learnt from the mail the user already filed in the account's user
// folders, proved on that mail through the rules file text the plug-in would read, printed as
// "ruleN=" lines to paste. Reads the mailbox as the plug-in does and writes nothing.
// Platform-free apart from the disk access.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "plugin/learning/FiledMailLearning.h"
#include "plugin/learning/Holdout.h"
#include "plugin/learning/RuleLearning.h"
#include "tools/check/AccountRules.h"
#include "tools/check/Findings.h"

namespace corvane {

struct SuggestResult {
    std::string account;
    AccountRules rules;
    std::vector<std::string> titles;   // per folder of input.folders
    std::vector<std::string> entries;  // per message of input.messages
    int staying = 0;                   // messages in the inbox, which the rules are for
    int waiting = 0;                   // of them, unread (read only when a run takes unread mail)
    size_t dropped = 0;                // the oldest messages left out to keep within the text budget
    bool ignoreInbox = false;          // asked to let the suggestions take them
    LearnInput input;
    Learning learning;
    std::vector<RuleTakes> takes;      // per suggestion: what it takes on its own, the inbox's mail apart
    int firstNumber = 1;                // the number of the first suggested rule
    std::vector<std::string> lines;    // "ruleN=\"value\"" per suggestion
    bool needsSection = false;         // the rules file has no [Rule] section yet
    bool needsConditionSection = true;  // nor a [Conditions] section
    std::set<uint32_t> takenConditionIds;  // the ids of further conditions the rules file names
    std::vector<int> proven;           // per folder: messages the whole rule list files there
    int provenWrong = 0;               // messages a suggestion would send to a folder not theirs
    bool holdout = false;
    HoldoutFigures figures;
    std::vector<std::string> huge;     // messages longer than the plug-in reads: learnt from their start
    std::vector<std::string> binary;   // messages with a NUL byte: learnt from the text before it
    Findings findings;
};

// holdout: also learn from the older two thirds of each folder and measure on the newest third.
// ignoreInbox: the messages left in the inbox may be taken by the suggestions.
SuggestResult suggestRules(const std::string& root, const std::string& account, bool holdout,
                           bool ignoreInbox = false, const LearnOptions& options = LearnOptions());
std::string renderSuggestText(const SuggestResult& result);
std::string renderSuggestJson(const SuggestResult& result);

// The suggestions as rules file lines: one "ruleN" line per rule, numbered from firstNumber, then
// the "cID.K" lines of the further conditions, in the conditions section, with ids none of
// takenIds.
std::vector<std::string> suggestionLines(const Learning& learning, int firstNumber,
                                         const std::set<uint32_t>& takenIds = std::set<uint32_t>());

// Whether the line is a rule's, not one of a further condition.
bool isRuleLine(const std::string& line);

// Where the existing rules followed by the suggestion lines, read back as the plug-in reads
// "corvane.ini", send each message: the index of its folder in folders, -1 when no rule takes
// it, -2 for any other destination. lines that do not all read back give an empty result.
// With decodeMime the rules match the messages as a run decodes them.
std::vector<int> destinationsOf(const std::vector<LoadedRule>& existing, const std::vector<std::string>& lines,
                                const std::vector<std::string>& folders, const std::vector<LearnMessage>& messages,
                                bool decodeMime = false);

// Likewise, the index of the rule that takes each message (existing rules first), -1 for none.
std::vector<int> winnersOf(const std::vector<LoadedRule>& existing, const std::vector<std::string>& lines,
                           const std::vector<LearnMessage>& messages, std::vector<std::string>* destinations = nullptr,
                           bool decodeMime = false);

// The rules the lines read back as, as the plug-in reads "corvane.ini"; false when they do not
// all read back.
bool readBackLines(const std::vector<std::string>& lines, RuleList& rules);

}  // namespace corvane
