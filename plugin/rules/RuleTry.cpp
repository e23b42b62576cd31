#include "plugin/rules/RuleTry.h"

#include <algorithm>

#include "plugin/common/StrUtil.h"
#include "plugin/history/MessageListKeys.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/rules/RuleDescription.h"
#include "plugin/text/DisplayText.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {

// How much of a compared text the explanation shows.
constexpr size_t kShownCompared = 120;

// The rules a try needs: those before the tried rule decide first, those after never matter.
RuleList rulesUpTo(const RuleList& rules, size_t tried) {
    size_t end = std::min(rules.size(), tried + 1);
    return RuleList(rules.begin(), rules.begin() + static_cast<ptrdiff_t>(end));
}

std::string headerShown(MessageDecoder& decoder, const char* text, const char* name) {
    char value[kHeaderValueSize];
    if (!text || !extractHeaderValue(text, name, value))
        return std::string();
    return decodeHeaderForDisplay(decoder, value);
}

std::string numbered(const char* format, int number) {
    char text[64];
    formatBuffer(text, format, number);
    return text;
}

// One rule's line of the explanation and what it made of the message.
std::string traceLines(const DistributeRule& rule, const RuleTrace& trace, int number, bool deciding) {
    std::string out = numbered("規則 %d: ", number) + describeRule(rule) + "\r\n";
    if (deciding)
        out += "  一致します。このメールはこの規則で振り分けられます";
    else if (!trace.compared)
        out += "  一致しません(比べるヘッダがありません)";
    else
        out += "  一致しません";
    if (trace.compared)
        out += "\r\n  比べた文字列:「" + displayBytes(trace.text, kShownCompared) + "」";
    if (trace.held.size() > 1)
        for (size_t k = 0; k < trace.held.size(); ++k)
            out += numbered("\r\n  条件 %d: ", static_cast<int>(k + 1)) + (trace.held[k] ? "満たします" : "満たしません") +
                   (static_cast<int>(k) == trace.decidedBy ? "(決め手)" : "");
    return out + "\r\n";
}

}  // namespace

RuleList placeTriedRule(const RuleList& working, const DistributeRule& rule, int place, size_t* index) {
    RuleList placed(working);
    for (DistributeRule& each : placed)
        each.regex = nullptr;
    DistributeRule tried = rule;
    tried.regex = nullptr;
    size_t at = working.size();
    if (place >= 0 && static_cast<size_t>(place) < working.size()) {
        at = static_cast<size_t>(place);
        placed[at] = tried;
    } else {
        placed.push_back(tried);
    }
    if (index)
        *index = at;
    return placed;
}

RuleTry::RuleTry(const RuleList& rules, size_t tried, const VerdictOptions& options)
    : tried_(std::min(tried, rules.empty() ? 0 : rules.size() - 1)), judge_(rulesUpTo(rules, tried), options) {}

void RuleTry::add(const std::string& entry, const char* text, bool unread) {
    ++counts_.messages;
    if (!judge_.takes(unread) || !text || tried_ >= judge_.size())
        return;
    std::vector<bool> matched = judge_.matchEach(text);
    if (!matched[tried_])
        return;
    TriedMessage row;
    row.entry = entry;
    const char* key = lastPathComponent(entry.c_str());
    row.key = key ? key : entry;
    row.from = headerShown(display_, text, "From:");
    row.subject = headerShown(display_, text, "Subject:");
    row.unread = unread;
    size_t first = static_cast<size_t>(std::find(matched.begin(), matched.end(), true) - matched.begin());
    if (first < tried_) {
        row.earlierRule = static_cast<int>(first + 1);
        ++counts_.earlier;
    }
    ++counts_.matched;
    rows_.push_back(row);
}

std::string RuleTry::countLine() const {
    char text[256];
    formatBuffer(text, "このフォルダの %d 通のうち %d 通に一致します(うち %d 通は前の規則が先に取ります)",
                 counts_.messages, counts_.matched, counts_.earlier);
    return text;
}

std::string RuleTry::why(const TriedMessage& message, const char* text) const {
    std::string out = "メール: " + displayBytes(message.key) + "\r\n件名: " + message.subject + "\r\n";
    if (!text)
        return out + "メールを読めません\r\n";
    if (!judge_.takes(message.unread))
        return out + "未読のため、振り分けの対象になりません\r\n";
    std::vector<RuleTrace> traces;
    Verdict verdict = judge_.judge(text, message.unread, &traces);
    size_t last = verdict.rule < 0 ? traces.size() : static_cast<size_t>(verdict.rule) + 1;
    for (size_t i = 0; i < last && i < traces.size(); ++i)
        out += traceLines(judge_.rule(i), traces[i], static_cast<int>(i + 1), static_cast<int>(i) == verdict.rule);
    if (verdict.rule < 0)
        out += "どの規則にも一致しません\r\n";
    return out;
}

FolderMessages listFolderMessages(const char* listText, const std::string& folder) {
    FolderMessages out;
    for (const std::string& key : messageListKeys(listText))
        out.entries.push_back(folder + "\\" + key);
    std::vector<const char*> names;
    names.reserve(out.entries.size());
    for (const std::string& entry : out.entries)
        names.push_back(entry.c_str());
    out.unread = findUnreadEntries(listText, names.data(), names.size());
    return out;
}

bool tryFolder(RuleTry& run, const FolderMessages& folder, const TryReader& read, const TryProceed& proceed) {
    for (size_t i = 0; i < folder.entries.size(); ++i) {
        if (!proceed(i))
            return false;
        const std::string& entry = folder.entries[i];
        bool unread = i < folder.unread.size() && folder.unread[i];
        run.add(entry, run.takes(unread) ? read(entry) : nullptr, unread);
    }
    return true;
}

}  // namespace corvane
