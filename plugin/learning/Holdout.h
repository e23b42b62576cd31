// Measuring learnt rules on mail they were not learnt from, as new mail would come: the newest
// third of each folder (and of the mail that stays in the inbox) is held out, ordered by the Date
// header, or by the folder's list order where a message of it has no readable date.
// Platform-free.
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

}  // namespace corvane
