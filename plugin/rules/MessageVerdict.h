// What a run decides for one message, in one place for the run, corvane-check and learning:
// given the message as a run reads it (at most 64 KB, up to its first NUL), its unread mark,
// the rules and the options, the first rule that matches it or none, and on request why.
// Also the check a run makes before it starts. Platform-free.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugin/rules/RuleMatching.h"
#include "plugin/text/MessageDecoder.h"

namespace corvane {

// The two options of the rules file that bear on the decision.
struct VerdictOptions {
    bool unreadMail = false;  // unread mail is taken as well
    bool decodeMime = false;  // rules match the decoded text
};

struct Verdict {
    bool taken = true;  // false: unread, and a run leaves unread mail alone
    int rule = -1;      // index of the first matching rule, -1 for none (or not looked at)
};

// Why one rule matched or not.
struct RuleTrace {
    bool matched = false;
    bool compared = false;  // false: a named field the message lacks, or an unknown target
    std::string text;       // what its own condition compared: the field's value, the header block or the message
    int decidedBy = 0;      // the condition that decided: 0 its own, k its k-th further condition
    std::vector<bool> held;  // whether each condition holds, its own first, every one tested
};

// A rule list ready to decide messages: its regular expressions compiled, its patterns taken
// apart once and, with decodeMime, one decoder for every message.
class MessageJudge {
public:
    // Its own compiled copy of the rules and, with decodeMime, its own decoder.
    MessageJudge(const RuleList& rules, const VerdictOptions& options);
    // The run's: rules the caller compiled (and releases, after this judge is gone) and the
    // caller's decoder, null for raw matching, both allocated once for the run.
    MessageJudge(const RuleList& compiledRules, bool unreadMail, MessageDecoder* decoder);
    ~MessageJudge();
    MessageJudge(const MessageJudge&) = delete;
    MessageJudge& operator=(const MessageJudge&) = delete;

    // Whether a run takes a message with this unread mark at all: it reads no other.
    bool takes(bool unread) const { return unreadMail_ || !unread; }

    // The decision for the NUL-terminated message text (null: a message that cannot be read
    // matches nothing). With why, every rule is tried and why gets one trace per rule, and
    // rule is the first match even for a message a run does not take (what it would do).
    Verdict judge(const char* text, bool unread, std::vector<RuleTrace>* why = nullptr) const;

    // The first matching rule regardless of the unread mark, or -1.
    int firstMatch(const char* text) const { return judge(text, false).rule; }

    // Whether each rule on its own matches the text, the message decoded once for all.
    std::vector<bool> matchEach(const char* text) const;

    size_t size() const { return rules_->size(); }
    const DistributeRule& rule(size_t index) const { return (*rules_)[index]; }
    const PreparedRules& prepared() const { return prepared_; }

private:
    RuleList owned_;
    const RuleList* rules_;
    bool ownsRules_ = false;
    bool unreadMail_ = false;
    std::unique_ptr<MessageDecoder> ownDecoder_;
    MessageDecoder* decoder_ = nullptr;
    PreparedRules prepared_;
};

// Whether a message in folder stays there by the rule that matched it: the rule names the
// folder it is in.
bool staysIn(const DistributeRule& rule, const char* folder);

// Why a run would not start: it has no rules, or a rule's destination folder is gone.
struct RunRefusal {
    enum Kind { None, NoRules, DestinationGone };
    Kind kind = None;
    int rule = 0;  // DestinationGone: the 1-based number of the first such rule
};

// The check before a run; folderExists tells whether a destination folder is there.
RunRefusal checkBeforeRun(const RuleList& rules, const std::function<bool(const char*)>& folderExists);

}  // namespace corvane
