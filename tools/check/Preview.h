// corvane-check preview and explain: the account's rules run over a folder's messages, or over
// one message, with the plug-in's matching; nothing is moved or written. Platform-free apart
// from the disk access.
#pragma once

#include <string>
#include <vector>

#include "tools/check/AccountRules.h"
#include "tools/check/Findings.h"

namespace corvane {

// What the plug-in does with one message.
enum class Outcome {
    Moves,       // the first matching rule sends it elsewhere
    NoMatch,     // no rule matches: it stays
    SameFolder,  // the first matching rule names the folder it is in: it stays
    Unread,      // unread and the unread option is off: not taken
    Unreadable,  // its file cannot be read: it matches nothing and stays
};

const char* outcomeCode(Outcome outcome);

// The message list of a folder: its text (for the unread marks, read as the plug-in reads it)
// and the keys of its records in order. Without a readable list the message files of the
// folder stand in, all of them read. What cannot be read is added to findings.
struct FolderListing {
    bool listRead = false;
    std::string listText;
    std::vector<std::string> keys;
};

FolderListing readFolderListing(const std::string& root, const std::string& folder, Findings& findings);

// A folder's listing with the entry names a run is given ("folder\\key") and which of them
// the list marks unread.
struct FolderEntries {
    FolderListing listing;
    std::vector<std::string> names;
    std::vector<bool> unread;
};

FolderEntries listFolderEntries(const std::string& root, const std::string& folder, Findings& findings);

// At most `most` bytes of one message file; false, with the reason in findings, when it cannot
// be read.
bool readMessageFile(const std::string& root, const std::string& entry, size_t most, std::string& content,
                     Findings& findings);

// Reads one message as the plug-in reads it (kMessageReadCap bytes, up to the first NUL); false,
// with an unreadable finding, when it cannot. fileSize, when given, receives the bytes read,
// one more than kMessageReadCap when the file is longer.
bool readMessageText(const std::string& root, const std::string& entry, std::string& text, Findings& findings,
                     size_t* fileSize = nullptr);

struct MessageVerdict {
    std::string entry;
    std::string key;
    std::string subject;  // decoded for display
    bool unread = false;
    Outcome outcome = Outcome::NoMatch;
    int rule = 0;             // the deciding rule's number, 0 when none
    std::string destination;  // the folder it goes to; empty when it stays
};

struct RuleTally {
    int number = 0;
    int hits = 0;        // messages this rule decided
    int candidates = 0;  // messages it matches, decided or not
    std::vector<int> takenBy;  // rules that decided its candidates when it did not
};

struct PreviewResult {
    std::string folder;
    bool all = false;
    AccountRules rules;
    std::string refusal;  // why the plug-in would refuse to start the run, if it would
    std::vector<MessageVerdict> messages;
    std::vector<RuleTally> tallies;
    Findings findings;
};

// all: every message, unread ones included; otherwise those the plug-in would take.
PreviewResult previewFolder(const std::string& root, const std::string& folder, bool all);
std::string renderPreviewText(const PreviewResult& result);
std::string renderPreviewJson(const PreviewResult& result);

struct RuleExplanation {
    int number = 0;
    bool matched = false;
    int wonBy = 0;  // for a match that does not decide: the earlier rule that did
    RuleProbe probe;
    int line = 0;    // line and column of the match in the message (1-based), whole text targets
    int column = 0;
    std::string matchedText;  // for display
    std::string regexError;
};

struct ExplainResult {
    std::string entry;
    std::string folder;
    MessageVerdict verdict;
    bool readable = false;
    bool unreadOption = false;
    AccountRules rules;
    std::string refusal;
    std::vector<RuleExplanation> explanations;
    Findings findings;
};

ExplainResult explainEntry(const std::string& root, const std::string& entry);
std::string renderExplainText(const ExplainResult& result);
std::string renderExplainJson(const ExplainResult& result);

}  // namespace corvane
