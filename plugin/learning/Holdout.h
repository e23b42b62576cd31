// Measuring learnt rules on mail they were not learnt from, as new mail would come: the newest
// third of each folder (and of the read mail in the inbox) is held out, ordered by the Date
// header, or by the folder's list order where a message of it has no readable date. Unread inbox
// mail, which waits for the rules, is neither learnt from nor measured on. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/learning/RuleLearning.h"

namespace corvane {

// One message in kHoldoutDivisor of each folder is held out: the newest.
constexpr size_t kHoldoutDivisor = 3;

// Seconds since 1970-01-01 UTC of a Date header value ("Mon, 2 Nov 2026 10:00:00 +0900", the
// weekday, seconds and zone optional, two-digit years read as the mail standard says); -1 when
// it cannot be read.
int64_t mailDateSeconds(const std::string& value);

struct HoldoutSplit {
    LearnInput learnt;               // the older mail, with the input's folders, rules and options
    std::vector<size_t> heldOut;     // indices in the input's messages, ascending
    std::vector<bool> byDate;        // per folder, then the mail that stays: ordered by Date
};

HoldoutSplit splitNewest(const LearnInput& all);
// The same, the learnt messages' texts moved out of all rather than copied (all keeps the held-
// out texts that measureHoldout reads), polling poller as it goes.
HoldoutSplit splitNewestTaking(LearnInput& all, LearnPoller* poller);

struct HoldoutFolder {
    int heldOut = 0;  // filed messages held out of the learning
    int correct = 0;  // of them, put into their folder by the rules learnt without them
    int wrong = 0;    // of them, sent to another folder
    int into = 0;     // held-out messages (of any folder or staying) those rules put into this folder
    int rules = 0;    // rules learnt for it without the held-out mail
    int underMinimum = 0;  // of them, rules that take fewer learnt messages than the minimum
    bool byDate = true;    // held out by the Date header, not by list order
};

struct HoldoutFigures {
    int learnt = 0;    // messages learnt from (folders and those that stay)
    int heldOut = 0;   // filed messages held out, not decided by an existing rule
    int moved = 0;     // held-out messages (filed or staying) a learnt rule moves
    int correct = 0;   // of them, into their own folder
    std::vector<HoldoutFolder> folders;
    bool cancelled = false;  // the monitor stopped the measuring: the figures are partial
};

// How the rules learnt from split.learnt do on the held-out mail, each message decided as a run
// decides it with the existing rules first. learntRules are learnt.rules as they will run (as
// the rules file reads them back), one for one.
HoldoutFigures measureHoldout(const LearnInput& all, const HoldoutSplit& split, const Learning& learnt,
                              const RuleList& learntRules, LearnMonitor* monitor = nullptr);

// part of whole as "12.5%", "-" for no whole.
std::string percentText(int part, int whole);

}  // namespace corvane
