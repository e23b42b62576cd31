#include "plugin/learning/FiledMailLearning.h"

#include <cstdarg>
#include <cstdio>
#include <set>

#include "plugin/common/StrUtil.h"
#include "plugin/learning/Holdout.h"
#include "plugin/rules/MessageVerdict.h"

namespace corvane {

namespace {

std::string printed(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The user folders a run could move mail into, each once, and the inbox.
std::vector<const FolderEntry*> foldersToRead(const FiledMailSettings& settings, FiledMailReader& reader,
                                              const FolderEntry*& inbox) {
    std::vector<const FolderEntry*> out;
    std::set<std::string> seen;
    inbox = nullptr;
    for (const FolderEntry& folder : settings.folders) {
        if (!seen.insert(folder.path).second)
            continue;
        if (folder.kind == Inbox && !inbox)
            inbox = &folder;
        else if (folder.kind == UserFolder && reader.folderExists(folder.path))
            out.push_back(&folder);
    }
    return out;
}

// One folder's messages into the mail gathered, as folder index (-1: mail that stays).
void addFolder(LearnFolderRead& read, int index, FiledMail& out) {
    out.cancelled = read.cancelled;
    out.huge.insert(out.huge.end(), read.huge.begin(), read.huge.end());
    out.binary.insert(out.binary.end(), read.binary.begin(), read.binary.end());
    for (LearnFolderMessage& message : read.messages) {
        bool waiting = index < 0 && message.unread;
        out.entries.push_back(message.entry);
        out.input.messages.push_back({std::move(message.text), index, waiting});
        out.staying += index < 0;
        out.waiting += waiting;
    }
}

// Takes the learnt texts out of input: the last use of them.
std::string holdoutLine(LearnInput& input, FiledMailMonitor* monitor, bool& cancelled) {
    LearnPoller poller(monitor);
    HoldoutSplit split = splitNewestTaking(input, &poller);
    cancelled = poller.cancelled();
    if (cancelled)
        return std::string();
    if (split.heldOut.empty())
        return "メールが少ないため、新しいメールで確かめることはできませんでした";
    Learning learnt = learnRules(split.learnt, monitor);
    cancelled = learnt.cancelled;
    if (cancelled)
        return std::string();
    RuleList learntRules;
    for (const SuggestedRule& rule : learnt.rules)
        learntRules.push_back(rule.rule);
    HoldoutFigures figures = measureHoldout(input, split, learnt, learntRules, monitor);
    cancelled = figures.cancelled;
    return printed("新しいメールでの検証: 各フォルダの新しい 1/%d を除いた %d 通から作った条件は、"
                   "適合率 %s (移動 %d 通中 正しいフォルダへ %d 通)、再現率 %s (%d 通中 %d 通)",
                   static_cast<int>(kHoldoutDivisor), figures.learnt, percentText(figures.correct, figures.moved).c_str(),
                   figures.moved, figures.correct, percentText(figures.correct, figures.heldOut).c_str(),
                   figures.heldOut, figures.correct);
}

std::vector<Proposal> proposalsOf(const FiledMail& gathered, const Learning& learning, FiledMailMonitor* monitor,
                                  bool& cancelled) {
    std::vector<RuleTakes> takes = countRuleTakes(gathered.input, learning, monitor, cancelled);
    std::vector<Proposal> out;
    for (size_t r = 0; r < learning.rules.size() && !cancelled; ++r) {
        const SuggestedRule& suggested = learning.rules[r];
        Proposal proposal;
        proposal.rule = suggested.rule;
        proposal.folderTitle = gathered.titles[static_cast<size_t>(suggested.folder)];
        proposal.takes = takes[r].takes;
        proposal.takesOther = takes[r].takesOther;
        proposal.inboxRead = takes[r].inboxRead;
        proposal.inboxUnread = takes[r].inboxUnread;
        out.push_back(proposal);
    }
    return out;
}

std::vector<std::string> unseparatedTexts(const FiledMail& gathered, const Learning& learning) {
    std::vector<std::string> labels;
    for (const std::string& title : gathered.titles)
        labels.push_back("「" + title + "」");
    std::vector<std::string> out;
    for (size_t f = 0; f < learning.folders.size() && f < gathered.titles.size(); ++f) {
        const FolderLearning& folder = learning.folders[f];
        if (folder.unseparated.empty())
            continue;
        out.push_back(labels[f] + printed(" の %d 通を分けられません: ", static_cast<int>(folder.unseparated.size())) +
                      unseparatedText(gathered.input, folder, folder.unseparated.front(), "振り分け条件 %d", labels));
    }
    return out;
}

}  // namespace

std::vector<RuleTakes> countRuleTakes(const LearnInput& input, const Learning& learning, LearnMonitor* monitor,
                                      bool& cancelled) {
    VerdictOptions options{true, input.options.decodeMime};
    MessageJudge existing(input.existing, options);
    RuleList proposed;
    for (const SuggestedRule& suggested : learning.rules)
        proposed.push_back(suggested.rule);
    MessageJudge each(proposed, options);
    std::vector<RuleTakes> out(proposed.size());
    LearnPoller poller(monitor);
    for (size_t m = 0; m < input.messages.size() && !out.empty(); ++m) {
        if (!poller.step(LearnStage::Counting, m, input.messages.size()))
            break;
        const LearnMessage& message = input.messages[m];
        if (existing.firstMatch(message.text.c_str()) >= 0)
            continue;
        std::vector<bool> takes = each.matchEach(message.text.c_str());
        for (size_t r = 0; r < out.size(); ++r) {
            if (!takes[r])
                continue;
            RuleTakes& counts = out[r];
            ++(message.folder < 0 ? (message.unread ? counts.inboxUnread : counts.inboxRead)
                                  : message.folder == learning.rules[r].folder ? counts.takes : counts.takesOther);
        }
    }
    cancelled = poller.cancelled();
    return out;
}

FiledMail gatherFiledMail(const FiledMailSettings& settings, bool withInbox, FiledMailReader& reader,
                          FiledMailMonitor* monitor) {
    FiledMail out;
    out.input.existing = settings.rules;
    out.input.options.decodeMime = settings.decodeMime;
    const FolderEntry* inbox = nullptr;
    std::vector<const FolderEntry*> folders = foldersToRead(settings, reader, inbox);
    if (!withInbox)
        inbox = nullptr;
    if (inbox)
        folders.push_back(inbox);
    size_t count = folders.size();
    // Each folder's share of the text budget, by how many of its messages are taken.
    std::vector<std::vector<LearnEntry>> listed(count);
    std::vector<size_t> taken(count, 0);
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        listed[i] = reader.listFolder(folders[i]->path);
        for (const LearnEntry& entry : listed[i])
            taken[i] += !entry.unread || folders[i] != inbox || settings.unreadMail;
        total += taken[i];
    }
    for (size_t i = 0; i < count && !out.cancelled; ++i) {
        const FolderEntry& folder = *folders[i];
        if (monitor)
            monitor->folderStarted(i, count);
        bool staying = &folder == inbox;
        size_t share = total ? static_cast<size_t>(static_cast<double>(settings.textBudget) * taken[i] / total) : 0;
        LearnFolderRead read = readLearnEntries(reader, listed[i], !staying || settings.unreadMail, share, monitor,
                                                out.messages);
        out.dropped += read.dropped;
        if (!staying) {
            out.input.folders.push_back(folder.path);
            out.titles.push_back(folder.title);
        }
        addFolder(read, staying ? -1 : static_cast<int>(out.input.folders.size()) - 1, out);
        out.folders = i + 1;
    }
    return out;
}

std::string conditionText(const DistributeRule& rule) {
    std::string where = rule.searchTarget == NamedHeader   ? std::string("ヘッダ「") + rule.headerName + "」の"
                        : rule.searchTarget == HeaderBlock ? std::string("ヘッダ部の")
                                                           : std::string("メール全体の");
    return where + "「" + rule.searchText + "」" + (rule.matchCase ? "(大小区別)" : "");
}

std::string proposalText(const DistributeRule& rule) {
    return conditionText(rule) + (rule.negate ? "を含まない" : "") + furtherConditionsText(rule);
}

std::string furtherConditionsText(const DistributeRule& rule) {
    std::string out;
    for (const RuleCondition& condition : rule.conditions) {
        DistributeRule further;
        further.searchTarget = condition.searchTarget;
        copyString(further.searchText, condition.searchText);
        copyString(further.headerName, condition.headerName);
        further.matchCase = condition.matchCase;
        out += (rule.anyOf ? "、または" : "、かつ") + conditionText(further) + (condition.negate ? "を含まない" : "");
    }
    return out;
}

std::string folderLabel(int folder, const std::vector<std::string>& labels) {
    return folder < 0 ? std::string("郵便受けに残したメール") : labels[static_cast<size_t>(folder)];
}

std::string unseparatedText(const LearnInput& input, const FolderLearning& folder, const Unseparated& why,
                            const char* existingRule, const std::vector<std::string>& labels) {
    switch (unseparatedReason(folder, why)) {
    case UnseparatedReason::ExistingRuleFirst:
        if (static_cast<size_t>(why.existingRule) > input.existing.size())
            break;
        return printed(existingRule, why.existingRule) +
               printed(" が先に %s へ振り分けます", input.existing[static_cast<size_t>(why.existingRule - 1)].destFolder);
    case UnseparatedReason::TooFew:
        return printed("このメールのどの候補も、ほかのフォルダのメールに一致しないものは %d 通未満のメールにしかありません",
                       input.options.leastEvidence);
    case UnseparatedReason::UnderMinimum:
        return conditionText(why.best) + printed(" は %d 通しか振り分けません (最低 %d 通から)", why.evidence,
                                                 input.options.leastEvidence);
    case UnseparatedReason::CandidateLimit:
        return printed("調べる候補が上限 (%d 件) に達しました", static_cast<int>(kMostCandidatesPerFolder));
    case UnseparatedReason::NoUsableHeader:
        return "振り分けに使えるヘッダがありません";
    case UnseparatedReason::Clash:
        break;
    }
    return conditionText(why.best) + " は" + folderLabel(why.clashFolder, labels) +
           printed("の %d 通にも一致します", why.clashCount);
}

FiledMailLearning learnFromFiledMail(const FiledMailSettings& settings, FiledMailReader& reader,
                                     FiledMailMonitor* monitor) {
    FiledMailLearning out;
    FiledMail gathered = gatherFiledMail(settings, true, reader, monitor);
    out.foldersRead = gathered.folders;
    out.messagesRead = gathered.messages;
    out.dropped = gathered.dropped;
    if (gathered.cancelled) {
        out.cancelled = true;
        return out;
    }
    Learning learning = learnRules(gathered.input, monitor);
    out.cancelled = learning.cancelled;
    if (!out.cancelled)
        out.proposals = proposalsOf(gathered, learning, monitor, out.cancelled);
    if (!out.cancelled)
        out.holdoutText = holdoutLine(gathered.input, monitor, out.cancelled);
    if (out.cancelled) {
        out.proposals.clear();
        out.holdoutText.clear();
        return out;
    }
    out.unseparatedTexts = unseparatedTexts(gathered, learning);
    return out;
}

}  // namespace corvane
