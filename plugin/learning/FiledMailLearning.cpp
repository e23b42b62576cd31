#include "plugin/learning/FiledMailLearning.h"

#include <cstdarg>
#include <cstdio>
#include <set>

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
        out.entries.push_back(message.entry);
        out.input.messages.push_back({std::move(message.text), index});
        out.staying += index < 0;
    }
}

std::string holdoutLine(const LearnInput& input, FiledMailMonitor* monitor, bool& cancelled) {
    HoldoutSplit split = splitNewest(input);
    if (split.heldOut.empty())
        return "メールが少ないため、新しいメールで確かめることはできませんでした";
    Learning learnt = learnRules(split.learnt, monitor);
    cancelled = learnt.cancelled;
    RuleList learntRules;
    for (const SuggestedRule& rule : learnt.rules)
        learntRules.push_back(rule.rule);
    HoldoutFigures figures = measureHoldout(input, split, learnt, learntRules);
    return printed("新しいメールでの検証: 各フォルダの新しい 1/%d を除いた %d 通から作った条件は、"
                   "適合率 %s (移動 %d 通中 正しいフォルダへ %d 通)、再現率 %s (%d 通中 %d 通)",
                   static_cast<int>(kHoldoutDivisor), figures.learnt, percentText(figures.correct, figures.moved).c_str(),
                   figures.moved, figures.correct, percentText(figures.correct, figures.heldOut).c_str(),
                   figures.heldOut, figures.correct);
}

// What each proposal on its own takes of the mail no working rule decides.
std::vector<Proposal> countProposals(const FiledMail& gathered, const Learning& learning) {
    const LearnInput& input = gathered.input;
    VerdictOptions options{true, input.options.decodeMime};
    MessageJudge existing(input.existing, options);
    RuleList proposed;
    std::vector<Proposal> out;
    for (const SuggestedRule& suggested : learning.rules) {
        Proposal proposal;
        proposal.rule = suggested.rule;
        proposal.folderTitle = gathered.titles[static_cast<size_t>(suggested.folder)];
        out.push_back(proposal);
        proposed.push_back(suggested.rule);
    }
    MessageJudge each(proposed, options);
    for (const LearnMessage& message : input.messages) {
        if (out.empty() || existing.firstMatch(message.text.c_str()) >= 0)
            continue;
        std::vector<bool> takes = each.matchEach(message.text.c_str());
        for (size_t r = 0; r < out.size(); ++r)
            if (takes[r])
                ++(message.folder == learning.rules[r].folder ? out[r].takes : out[r].takesOther);
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

FiledMail gatherFiledMail(const FiledMailSettings& settings, bool withInbox, FiledMailReader& reader,
                          FiledMailMonitor* monitor) {
    FiledMail out;
    out.input.existing = settings.rules;
    out.input.options.decodeMime = settings.decodeMime;
    const FolderEntry* inbox = nullptr;
    std::vector<const FolderEntry*> folders = foldersToRead(settings, reader, inbox);
    if (!withInbox)
        inbox = nullptr;
    size_t count = folders.size() + (inbox ? 1 : 0);
    for (size_t i = 0; i < count && !out.cancelled; ++i) {
        const FolderEntry& folder = i < folders.size() ? *folders[i] : *inbox;
        if (monitor)
            monitor->folderStarted(i, count);
        bool staying = &folder == inbox;
        LearnFolderRead read = readLearnFolder(reader, folder.path, !staying || settings.unreadMail, monitor,
                                               out.messages);
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
    if (gathered.cancelled) {
        out.cancelled = true;
        return out;
    }
    Learning learning = learnRules(gathered.input, monitor);
    if (!learning.cancelled)
        out.holdoutText = holdoutLine(gathered.input, monitor, out.cancelled);
    if (learning.cancelled || out.cancelled) {
        out.cancelled = true;
        out.holdoutText.clear();
        return out;
    }
    out.proposals = countProposals(gathered, learning);
    out.unseparatedTexts = unseparatedTexts(gathered, learning);
    return out;
}

}  // namespace corvane
