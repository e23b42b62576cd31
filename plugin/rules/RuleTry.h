// A rule tried on the messages of one folder before it is kept: the messages it would take,
// which of them an earlier rule takes first, and why for any one of them. Every decision is the
// run's own (MessageJudge); nothing is moved or written. Platform-free.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "plugin/rules/MessageVerdict.h"
#include "plugin/text/MessageDecoder.h"

namespace corvane {

// One message the tried rule matches.
struct TriedMessage {
    std::string entry;    // "folder\key", to read it again
    std::string key;
    std::string from;     // decoded for display
    std::string subject;  // decoded for display
    bool unread = false;
    int earlierRule = 0;  // the 1-based number of an earlier rule that takes it first, else 0
};

struct TryCounts {
    int messages = 0;  // every message of the folder
    int matched = 0;   // those the tried rule matches, among the ones a run takes
    int earlier = 0;   // of those, the ones an earlier rule takes first
};

// The working rules with the tried rule in its place: a place within them replaces the rule
// there (the one being edited), any other place appends it (a new rule). index gets its index.
RuleList placeTriedRule(const RuleList& working, const DistributeRule& rule, int place, size_t* index);

class RuleTry {
public:
    // rules hold the tried rule at index tried; the rules after it do not matter.
    RuleTry(const RuleList& rules, size_t tried, const VerdictOptions& options);
    RuleTry(const RuleTry&) = delete;
    RuleTry& operator=(const RuleTry&) = delete;

    // Whether a run reads a message with this unread mark at all.
    bool takes(bool unread) const { return judge_.takes(unread); }
    // Counts one message of the folder and lists it when the tried rule matches it. text is the
    // message as a run reads it, null when it cannot be read (then it matches nothing).
    void add(const std::string& entry, const char* text, bool unread);

    const std::vector<TriedMessage>& rows() const { return rows_; }
    const TryCounts& counts() const { return counts_; }
    // The count line of the try dialog.
    std::string countLine() const;
    // Why the run decides a message as it does: each rule in order up to the deciding one, with
    // what it compared.
    std::string why(const TriedMessage& message, const char* text) const;

private:
    size_t tried_;
    MessageJudge judge_;
    MessageDecoder display_;
    TryCounts counts_;
    std::vector<TriedMessage> rows_;
};

// The entries of a folder's message list text ("folder\key", in list order) and their marks.
struct FolderMessages {
    std::vector<std::string> entries;
    std::vector<bool> unread;
};

FolderMessages listFolderMessages(const char* listText, const std::string& folder);

// Reads one entry as a run reads it; null when it cannot be read. The text stays valid until
// the next call.
using TryReader = std::function<const char*(const std::string& entry)>;
// Asked before each message with the number done so far; false stops the try.
using TryProceed = std::function<bool(size_t done)>;

// Tries every message of the folder in order; false when proceed stopped it. Messages a run
// leaves alone (unread ones without the option) are counted but not read.
bool tryFolder(RuleTry& run, const FolderMessages& folder, const TryReader& read, const TryProceed& proceed);

}  // namespace corvane
