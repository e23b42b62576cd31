#include "plugin/learning/Holdout.h"

#include <algorithm>
#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/MessageVerdict.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {

// Reads an unsigned number of 1 to most digits at pos; -1 when there is none.
int64_t number(const std::string& text, size_t& pos, size_t most) {
    size_t start = pos;
    int64_t value = 0;
    while (pos < text.size() && pos - start < most && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    return pos == start ? -1 : value;
}

void skipBlanks(const std::string& text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
}

int monthOf(const std::string& text, size_t& pos) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 0; month < 12; ++month)
        if (text.size() - pos >= 3 && compareNoCase(text.c_str() + pos, kMonths[month], 3) == 0) {
            pos += 3;
            return month + 1;
        }
    return 0;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The zone's offset east of UTC in seconds: "+0900", "-0500", or UT/GMT/Z and the US names.
int64_t zoneSeconds(const std::string& text, size_t pos) {
    skipBlanks(text, pos);
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        int sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        size_t start = pos;
        int64_t hhmm = number(text, pos, 4);
        if (hhmm < 0 || pos - start != 4 || hhmm % 100 >= 60)
            return 0;
        return sign * ((hhmm / 100) * 3600 + (hhmm % 100) * 60);
    }
    static const struct {
        const char* name;
        int hours;
    } kZones[] = {{"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    for (const auto& zone : kZones)
        if (text.size() - pos >= 3 && compareNoCase(text.c_str() + pos, zone.name, 3) == 0)
            return zone.hours * 3600;
    return 0;
}

// The messages of one folder (or of those that stay), oldest first.
// Unread inbox mail waits for the rules: it is neither learnt from nor measured on.
std::vector<size_t> oldestFirst(const LearnInput& all, int folder, bool& byDate, LearnPoller* poller) {
    std::vector<size_t> members;
    std::vector<int64_t> dates(all.messages.size(), -1);
    byDate = true;
    char value[kHeaderValueSize];
    for (size_t m = 0; m < all.messages.size(); ++m) {
        if (all.messages[m].folder != folder || all.messages[m].unread)
            continue;
        if (poller && !poller->step(LearnStage::Counting, m, all.messages.size()))
            break;
        members.push_back(m);
        if (extractHeaderValue(all.messages[m].text.c_str(), "Date:", value))
            dates[m] = mailDateSeconds(value);
        byDate = byDate && dates[m] >= 0;
    }
    if (byDate)
        std::stable_sort(members.begin(), members.end(), [&](size_t a, size_t b) { return dates[a] < dates[b]; });
    return members;
}

}  // namespace

int64_t mailDateSeconds(const std::string& value) {
    size_t pos = 0;
    skipBlanks(value, pos);
    size_t comma = value.find(',');
    if (comma != std::string::npos && comma < 12)
        pos = comma + 1;
    skipBlanks(value, pos);
    int64_t day = number(value, pos, 2);
    skipBlanks(value, pos);
    int month = monthOf(value, pos);
    skipBlanks(value, pos);
    size_t yearStart = pos;
    int64_t year = number(value, pos, 4);
    if (day < 1 || day > 31 || month == 0 || year < 0)
        return -1;
    if (pos - yearStart <= 2)
        year += year < 50 ? 2000 : 1900;
    else if (pos - yearStart == 3)
        year += 1900;
    skipBlanks(value, pos);
    int64_t hour = number(value, pos, 2), minute = -1, second = 0;
    if (pos < value.size() && value[pos] == ':') {
        ++pos;
        minute = number(value, pos, 2);
    }
    if (pos < value.size() && value[pos] == ':') {
        ++pos;
        second = number(value, pos, 2);
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return -1;
    int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return seconds - zoneSeconds(value, pos);
}

namespace {

// With source (all itself), the learnt messages' texts are moved out of it, not copied.
HoldoutSplit split(const LearnInput& all, LearnInput* source, LearnPoller* poller) {
    HoldoutSplit split;
    split.learnt.folders = all.folders;
    split.learnt.existing = all.existing;
    split.learnt.options = all.options;
    std::vector<bool> held(all.messages.size(), false);
    for (int folder = 0; folder <= static_cast<int>(all.folders.size()); ++folder) {
        int owner = folder < static_cast<int>(all.folders.size()) ? folder : -1;
        bool byDate = false;
        std::vector<size_t> members = oldestFirst(all, owner, byDate, poller);
        split.byDate.push_back(byDate);
        for (size_t i = members.size() - members.size() / kHoldoutDivisor; i < members.size(); ++i)
            held[members[i]] = true;
    }
    for (size_t m = 0; m < all.messages.size(); ++m) {
        if (held[m]) {
            split.heldOut.push_back(m);
        } else if (!all.messages[m].unread) {
            if (source)
                split.learnt.messages.push_back(std::move(source->messages[m]));
            else
                split.learnt.messages.push_back(all.messages[m]);
        }
    }
    return split;
}

}  // namespace

HoldoutSplit splitNewest(const LearnInput& all) {
    return split(all, nullptr, nullptr);
}

HoldoutSplit splitNewestTaking(LearnInput& all, LearnPoller* poller) {
    return split(all, &all, poller);
}

namespace {

// The index of the folder a rule sends mail to, -2 for a folder learnt from none.
std::vector<int> folderIndices(const RuleList& rules, const std::vector<std::string>& folders) {
    std::vector<int> out;
    for (const DistributeRule& rule : rules) {
        int found = -2;
        for (size_t f = 0; f < folders.size() && found < 0; ++f)
            if (compareNoCase(rule.destFolder, folders[f].c_str()) == 0)
                found = static_cast<int>(f);
        out.push_back(found);
    }
    return out;
}

// Per folder: the rules learnt for it, and those that win fewer learnt messages than the minimum.
void countLearntRules(const LearnInput& all, const HoldoutSplit& split, const Learning& learnt,
                      const MessageJudge& judge, HoldoutFigures& figures, LearnPoller& poller) {
    size_t existing = all.existing.size();
    std::vector<int> wins(learnt.rules.size(), 0);
    for (const LearnMessage& message : split.learnt.messages) {
        if (!poller.step(LearnStage::Counting, 0, 0))
            return;
        int winner = judge.firstMatch(message.text.c_str());
        if (winner >= static_cast<int>(existing) && static_cast<size_t>(winner) - existing < wins.size())
            ++wins[static_cast<size_t>(winner) - existing];
    }
    for (size_t r = 0; r < learnt.rules.size(); ++r) {
        HoldoutFolder& folder = figures.folders[static_cast<size_t>(learnt.rules[r].folder)];
        ++folder.rules;
        folder.underMinimum += wins[r] < all.options.leastEvidence;
    }
}

}  // namespace

HoldoutFigures measureHoldout(const LearnInput& all, const HoldoutSplit& split, const Learning& learnt,
                              const RuleList& learntRules, LearnMonitor* monitor) {
    HoldoutFigures figures;
    LearnPoller poller(monitor);
    figures.learnt = static_cast<int>(split.learnt.messages.size());
    figures.folders.assign(all.folders.size(), HoldoutFolder());
    for (size_t f = 0; f < figures.folders.size() && f < split.byDate.size(); ++f)
        figures.folders[f].byDate = split.byDate[f];
    RuleList rules = all.existing;
    rules.insert(rules.end(), learntRules.begin(), learntRules.end());
    MessageJudge judge(rules, VerdictOptions{true, all.options.decodeMime});
    std::vector<int> destination = folderIndices(rules, all.folders);
    countLearntRules(all, split, learnt, judge, figures, poller);
    for (size_t m : split.heldOut) {
        if (!poller.step(LearnStage::Counting, 0, 0))
            break;
        const LearnMessage& message = all.messages[m];
        int winner = judge.firstMatch(message.text.c_str());
        if (winner >= 0 && winner < static_cast<int>(all.existing.size()))
            continue;  // an existing rule decides it, whatever was learnt
        int own = message.folder, to = winner < 0 ? -1 : destination[static_cast<size_t>(winner)];
        if (own >= 0) {
            ++figures.heldOut;
            ++figures.folders[static_cast<size_t>(own)].heldOut;
        }
        if (to == -1)
            continue;
        ++figures.moved;
        if (to >= 0)
            ++figures.folders[static_cast<size_t>(to)].into;
        if (to == own) {
            ++figures.correct;
            ++figures.folders[static_cast<size_t>(own)].correct;
        } else if (own >= 0) {
            ++figures.folders[static_cast<size_t>(own)].wrong;
        }
    }
    figures.cancelled = poller.cancelled();
    return figures;
}

std::string percentText(int part, int whole) {
    if (!whole)
        return "-";
    char text[32];
    formatBuffer(text, "%.1f%%", 100.0 * part / whole);
    return text;
}

}  // namespace corvane
