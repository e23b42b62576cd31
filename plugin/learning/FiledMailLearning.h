// Rules proposed from how the user already files mail, for the settings sheet's learning dialog:
// the mail of the account's user folders read as a run reads it, the learning core of
// corvane-check suggest run with the sheet's working rules in front, each proposal counted over
// that mail, and the newest third of each folder held out to tell how the rules do on mail they
// were not learnt from. Platform-free: the mail comes through a reader.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/learning/LearnMail.h"
#include "plugin/learning/RuleLearning.h"
#include "plugin/mailbox/FolderTree.h"

namespace corvane {

class FiledMailReader : public LearnMailReader {
public:
    // Whether the folder exists as a run tests it before it moves mail there.
    virtual bool folderExists(const std::string& folder) = 0;
};

// The core's progress and cancel, and the folders read.
class FiledMailMonitor : public LearnMonitor {
public:
    // Reading of folder index (0-based) of count begins.
    virtual void folderStarted(size_t index, size_t count) = 0;
};

// What the learning works on: its own copies, taken on the window thread when the dialog opens.
struct FiledMailSettings {
    FolderList folders;  // the account's folders in display order
    RuleList rules;      // the sheet's working rules, run before any proposal
    bool unreadMail = false;  // box 1001: unread inbox mail is taken by a run, so it must stay
    // Box 1018: a run then matches decoded text (MIME and charsets to code page 932), so the
    // mail is learnt from as a run decodes it, as corvane-check suggest does with decodemime.
    bool decodeMime = false;
    // The bytes of message text learnt from at most, shared among the folders by their number
    // of messages; past a folder's share its oldest messages are left out.
    size_t textBudget = kLearnTextBudget;
};

// What one learnt rule on its own takes of the mail no working rule decides.
struct RuleTakes {
    int takes = 0;        // filed messages of its folder
    int takesOther = 0;   // filed messages of other folders
    int inboxRead = 0;    // read messages in the inbox: what the next run moves
    int inboxUnread = 0;  // unread messages in the inbox (read only when a run takes them)
};

// Per rule of learning.rules; cancelled when the monitor stopped the counting.
std::vector<RuleTakes> countRuleTakes(const LearnInput& input, const Learning& learning, LearnMonitor* monitor,
                                      bool& cancelled);

struct Proposal {
    DistributeRule rule;
    std::string folderTitle;
    int takes = 0;        // as in RuleTakes
    int takesOther = 0;
    int inboxRead = 0;
    int inboxUnread = 0;
};

struct FiledMailLearning {
    std::vector<Proposal> proposals;
    std::string holdoutText;                    // how rules learnt without the newest mail do on it
    std::vector<std::string> unseparatedTexts;  // one per folder with mail no proposal takes
    size_t foldersRead = 0;
    size_t messagesRead = 0;
    size_t dropped = 0;  // the oldest messages left out to keep within the text budget
    bool cancelled = false;  // nothing proposed
};

// The mail learnt from: the user folders' mail, then, withInbox, the inbox mail (the unread mail
// only when a run takes it), which the rules are for: unread it is never evidence against a
// rule, read it is only above kReadInboxSharePercent.
struct FiledMail {
    LearnInput input;                   // with the settings' rules and decodeMime
    std::vector<std::string> titles;    // per folder of input.folders
    std::vector<std::string> entries;   // per message of input.messages
    std::vector<std::string> huge;      // longer than a run reads: learnt from their start
    std::vector<std::string> binary;    // with a NUL byte: learnt from the text before it
    int staying = 0;                    // messages of the inbox
    int waiting = 0;                    // of them, unread
    size_t folders = 0;                 // folders read
    size_t messages = 0;                // messages read
    size_t dropped = 0;                 // of them, left out to keep within the text budget
    bool cancelled = false;
};

FiledMail gatherFiledMail(const FiledMailSettings& settings, bool withInbox, FiledMailReader& reader,
                          FiledMailMonitor* monitor);

FiledMailLearning learnFromFiledMail(const FiledMailSettings& settings, FiledMailReader& reader,
                                     FiledMailMonitor* monitor);

// How a rule's condition is named in a reason: ヘッダ「From:」の「text」, (大小区別) after it
// when it keeps case.
std::string conditionText(const DistributeRule& rule);

// A proposed rule's conditions in words: the own condition as conditionText names it, then
// furtherConditionsText.
std::string proposalText(const DistributeRule& rule);

// Each further condition of the rule after "、かつ" (or "、または"), "を含まない" after those that
// must not hold; empty for a rule of one condition.
std::string furtherConditionsText(const DistributeRule& rule);

// Why a filed message stays unseparated, in words. existingRule names an existing rule by its
// number (a format with one %d); labels name the folders of input.folders.
std::string unseparatedText(const LearnInput& input, const FolderLearning& folder, const Unseparated& why,
                            const char* existingRule, const std::vector<std::string>& labels);

}  // namespace corvane
