#include "tools/check/Suggest.h"

#include <algorithm>
#include <set>

#include "plugin/common/StrUtil.h"
#include "plugin/learning/FiledMailLearning.h"
#include "plugin/learning/Holdout.h"
#include "plugin/mailbox/FolderTree.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/rules/RuleText.h"
#include "plugin/text/MessageDecoder.h"
#include "tools/check/Disk.h"
#include "tools/check/JsonWriter.h"
#include "tools/check/Lint.h"
#include "tools/check/Preview.h"
#include "tools/check/TextDisplay.h"

namespace corvane {

namespace {

constexpr size_t kShownUnseparated = 10;
constexpr size_t kShownNames = 5;

// The host's profile files read from the disk, for the plug-in's folder walk.
class DiskFolderSource : public FolderTreeSource {
public:
    explicit DiskFolderSource(std::string root) : root_(std::move(root)) {}
    std::string readProfileString(const char* file, const char* section, const char* key) const override {
        std::string text;
        if (readDiskFile(file, text) != ReadStatus::Ok)
            return std::string();
        return ProfileFile(text).readString(section, key, 1024);
    }
    bool toMailboxRelative(const char* fullDir, PathBuffer& out) const override {
        return corvane::toMailboxRelative(root_.c_str(), fullDir, out);
    }

private:
    std::string root_;
};

// The account's folders and message files from the disk, with what cannot be read recorded as
// the other commands record it.
class DiskMailReader : public FiledMailReader {
public:
    DiskMailReader(const std::string& root, Findings& findings) : root_(root), findings_(findings) {}
    std::vector<LearnEntry> listFolder(const std::string& folder) override {
        FolderEntries listed = listFolderEntries(root_, folder, findings_);
        std::vector<LearnEntry> out(listed.names.size());
        for (size_t i = 0; i < out.size(); ++i) {
            out[i].name = listed.names[i];
            out[i].unread = listed.unread[i];
        }
        return out;
    }
    bool readMessage(const std::string& entry, size_t most, std::string& bytes) override {
        return readMessageFile(root_, entry, most, bytes, findings_);
    }
    // Whether the folder has its settings file, as the plug-in tests a folder; named when not.
    bool folderExists(const std::string& folder) override {
        PathBuffer testPath;
        if (formatFolderTestPath(root_.c_str(), folder.c_str(), testPath) && diskPathExists(testPath))
            return true;
        findings_.addUnreadable("no-entry-file", nativeDiskPath(testPath[0] ? testPath : root_ + folder),
                                "フォルダの設定ファイル(Entry.ini)がありません。このフォルダからは学びません");
        return false;
    }

private:
    const std::string& root_;
    Findings& findings_;
};

// How each folder of the input is named: its title and its path.
std::vector<std::string> folderLabels(const SuggestResult& result) {
    std::vector<std::string> labels;
    for (size_t f = 0; f < result.titles.size(); ++f)
        labels.push_back("「" + result.titles[f] + "」(" + result.input.folders[f] + ")");
    return labels;
}

std::string reasonText(const SuggestResult& result, const FolderLearning& folder, const Unseparated& unseparated) {
    return unseparatedText(result.input, folder, unseparated, "既存の規則%d", folderLabels(result));
}

void namesText(std::string& out, const char* label, const std::vector<std::string>& names) {
    if (names.empty())
        return;
    out += formatText("注意: %s %d 通:", label, static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size() && i < kShownNames; ++i)
        out += " " + displayBytes(names[i]);
    if (names.size() > kShownNames)
        out += formatText(" ほか %d 通", static_cast<int>(names.size() - kShownNames));
    out += "\n";
}

// The "[Rule]" section text of the existing rules and the lines, with the conditions section of both.
std::string rulesIni(const std::vector<LoadedRule>& existing, const std::vector<std::string>& lines) {
    std::string ini = "[Rule]\r\n", conditions;
    for (size_t i = 0; i < existing.size(); ++i) {
        const DistributeRule& rule = existing[i].rule;
        ini += existing[i].key + "=\"" + existing[i].value + "\"\r\n";
        for (size_t k = 0; k < rule.conditions.size() && rule.conditionId; ++k)
            conditions += conditionKey(rule.conditionId, static_cast<unsigned>(k + 1)) + "=\"" +
                          formatConditionValue(rule.conditions[k]) + "\"\r\n";
    }
    for (const std::string& line : lines)
        (isRuleLine(line) ? ini : conditions) += line + "\r\n";
    return conditions.empty() ? ini : ini + "[" + kConditionSection + "]\r\n" + conditions;
}

void checkSuggestions(const std::string& root, SuggestResult& result) {
    std::string ini = rulesIni(result.rules.load.rules, result.lines);
    AccountRules combined;
    combined.account = result.account;
    combined.iniPath = result.rules.iniPath;
    combined.read = true;
    combined.file.reset(new ProfileFile(ini));
    combined.load = loadRuleSet(*combined.file);
    Findings lint;
    lintRulesFile(combined, root, lint);
    for (const Finding& finding : lint.problems)
        if (finding.rule >= result.firstNumber)
            result.findings.addProblem("suggestion-lint", result.rules.iniPath,
                                       formatText("提案した規則%d: ", finding.rule) + finding.message);
}

}  // namespace

bool isRuleLine(const std::string& line) {
    return compareNoCase(line.c_str(), "rule", 4) == 0;
}

std::vector<std::string> suggestionLines(const Learning& learning, int firstNumber, const std::set<uint32_t>& takenIds) {
    std::vector<std::string> lines, conditions;
    uint32_t id = 0;
    for (size_t i = 0; i < learning.rules.size(); ++i) {
        DistributeRule rule = learning.rules[i].rule;
        if (!isSingleCondition(rule)) {
            do
                ++id;
            while (takenIds.count(id) && id < kMaxConditionId);
            rule.conditionId = id;
            for (size_t k = 0; k < rule.conditions.size(); ++k)
                conditions.push_back(conditionKey(rule.conditionId, static_cast<unsigned>(k + 1)) + "=\"" +
                                     formatConditionValue(rule.conditions[k]) + "\"");
        }
        lines.push_back(formatText("rule%d=\"", firstNumber + static_cast<int>(i)) + storedRuleValue(rule) + "\"");
    }
    lines.insert(lines.end(), conditions.begin(), conditions.end());
    return lines;
}

bool readBackLines(const std::vector<std::string>& lines, RuleList& rules) {
    std::vector<std::string> renumbered;
    size_t count = 0;
    for (const std::string& line : lines)
        renumbered.push_back(isRuleLine(line)
                                 ? formatText("rule%d=", static_cast<int>(++count)) + line.substr(line.find('=') + 1)
                                 : line);
    RulesLoad load = loadRuleSet(ProfileFile(rulesIni({}, renumbered)));
    if (load.rules.size() != count)
        return false;
    for (const LoadedRule& loaded : load.rules)
        rules.push_back(loaded.rule);
    return true;
}

std::vector<int> winnersOf(const std::vector<LoadedRule>& existing, const std::vector<std::string>& lines,
                           const std::vector<LearnMessage>& messages, std::vector<std::string>* destinations,
                           bool decodeMime) {
    std::vector<LoadedRule> numbered = existing;
    for (size_t i = 0; i < numbered.size(); ++i)
        numbered[i].key = formatText("rule%d", static_cast<int>(i + 1));
    RulesLoad load = loadRuleSet(ProfileFile(rulesIni(numbered, lines)));
    if (load.rules.size() != existing.size() + static_cast<size_t>(std::count_if(lines.begin(), lines.end(), isRuleLine)))
        return std::vector<int>();
    RuleSet set(load.rules, decodeMime);
    if (destinations)
        for (size_t r = 0; r < set.size(); ++r)
            destinations->push_back(set.rule(r).destFolder);
    std::vector<int> out;
    for (const LearnMessage& message : messages)
        out.push_back(set.firstMatch(message.text.c_str()));
    return out;
}

std::vector<int> destinationsOf(const std::vector<LoadedRule>& existing, const std::vector<std::string>& lines,
                                const std::vector<std::string>& folders, const std::vector<LearnMessage>& messages,
                                bool decodeMime) {
    std::vector<std::string> ruleDestinations;
    std::vector<int> winners = winnersOf(existing, lines, messages, &ruleDestinations, decodeMime);
    std::vector<int> folderOfRule;
    for (const std::string& destination : ruleDestinations) {
        int found = -2;
        for (size_t f = 0; f < folders.size(); ++f)
            if (compareNoCase(destination.c_str(), folders[f].c_str()) == 0)
                found = static_cast<int>(f);
        folderOfRule.push_back(found);
    }
    std::vector<int> out;
    for (int winner : winners)
        out.push_back(winner < 0 ? -1 : folderOfRule[static_cast<size_t>(winner)]);
    return out;
}

namespace {

// The account's rules, run before any suggestion, and where the suggestions' numbers start.
void readExistingRules(const std::string& root, SuggestResult& result) {
    result.rules = readAccountRules(root, result.account, result.findings);
    // No rules file yet is the usual case for a new user: nothing to run before the suggestions.
    std::vector<Finding>& unreadable = result.findings.unreadable;
    unreadable.erase(std::remove_if(unreadable.begin(), unreadable.end(),
                                    [](const Finding& f) { return f.code == "missing-file"; }),
                     unreadable.end());
    const RulesLoad& load = result.rules.load;
    for (const LoadedRule& loaded : load.rules)
        result.input.existing.push_back(loaded.rule);
    result.firstNumber = static_cast<int>(load.rules.size()) + 1;
    if (load.stop != LoadStop::Absent)
        result.findings.addProblem("rules-file-stops", result.rules.iniPath,
                                   formatText("規則の読み込みが rule%d で止まります。先に lint で直してから貼り付けてください",
                                              load.stopNumber));
    result.needsSection = true;
    for (const LoadedRule& loaded : load.rules)
        result.takenConditionIds.insert(loaded.rule.conditionId);
    for (const ProfileLine& line : result.rules.file->lines()) {
        bool conditions = compareNoCase(line.section.c_str(), kConditionSection) == 0;
        if (line.kind == ProfileLine::Section && compareNoCase(line.section.c_str(), "Rule") == 0)
            result.needsSection = false;
        if (line.kind == ProfileLine::Section && conditions)
            result.needsConditionSection = false;
        uint32_t id = 0;
        unsigned number = 0;
        if (line.kind == ProfileLine::Key && conditions && parseConditionKey(line.key.c_str(), &id, &number))
            result.takenConditionIds.insert(id);
    }
}

// The user folders' mail, then the inbox mail that must stay (none with ignoreInbox).
void gatherMail(const std::string& root, SuggestResult& result) {
    FiledMailSettings settings;
    listAccountFolders(settings.folders, (root + result.account + "\\").c_str(), DiskFolderSource(root));
    settings.rules = result.input.existing;
    settings.unreadMail = result.rules.load.unreadMail;
    settings.decodeMime = result.rules.load.decodeMime;
    DiskMailReader reader(root, result.findings);
    FiledMail mail = gatherFiledMail(settings, !result.ignoreInbox, reader, nullptr);
    LearnOptions options = result.input.options;
    result.input = std::move(mail.input);
    result.input.options = options;
    result.input.options.decodeMime = settings.decodeMime;
    result.titles = std::move(mail.titles);
    result.entries = std::move(mail.entries);
    result.huge = std::move(mail.huge);
    result.binary = std::move(mail.binary);
    result.staying = mail.staying;
    result.waiting = mail.waiting;
    result.dropped = mail.dropped;
}

// The suggestions read back from their rules-file text and run over all the learnt mail.
void proveSuggestions(const std::string& root, SuggestResult& result) {
    const RulesLoad& load = result.rules.load;
    bool decode = load.decodeMime;
    std::vector<int> destinations =
        destinationsOf(load.rules, result.lines, result.input.folders, result.input.messages, decode);
    std::vector<int> byExisting = destinationsOf(load.rules, {}, result.input.folders, result.input.messages, decode);
    result.proven.assign(result.input.folders.size(), 0);
    if (destinations.size() != result.input.messages.size() || byExisting.size() != destinations.size()) {
        result.findings.addProblem("suggestion-unreadable", result.rules.iniPath,
                                   "提案した規則を読み直せませんでした");
    } else {
        for (size_t m = 0; m < destinations.size(); ++m) {
            int own = result.input.messages[m].folder;
            if (destinations[m] >= 0 && destinations[m] == own)
                ++result.proven[static_cast<size_t>(own)];
            else if (own >= 0 && destinations[m] != -1 && destinations[m] != own && byExisting[m] == -1)
                ++result.provenWrong;  // a suggestion, not an existing rule, sends it away
        }
    }
    checkSuggestions(root, result);
    for (size_t f = 0; f < result.learning.folders.size(); ++f) {
        const FolderLearning& folder = result.learning.folders[f];
        if (!folder.unseparated.empty())
            result.findings.addProblem("unseparated", nativeDiskPath(root + result.input.folders[f]),
                                       formatText("%d 通を分ける規則がありません", static_cast<int>(folder.unseparated.size())));
    }
}

// Rules learnt from the older mail of each folder, read back as the plug-in reads them and
// measured on the newest.
void measureHeldOut(SuggestResult& result) {
    HoldoutSplit split = splitNewest(result.input);
    Learning learnt = learnRules(split.learnt);
    RuleList learntRules;
    if (!readBackLines(suggestionLines(learnt, result.firstNumber, result.takenConditionIds), learntRules)) {
        result.findings.addProblem("suggestion-unreadable", result.rules.iniPath, "提案した規則を読み直せませんでした");
        return;
    }
    result.figures = measureHoldout(result.input, split, learnt, learntRules);
}

}  // namespace

SuggestResult suggestRules(const std::string& root, const std::string& account, bool holdout, bool ignoreInbox,
                           const LearnOptions& options) {
    SuggestResult result;
    result.input.options = options;
    result.ignoreInbox = ignoreInbox;
    result.account = account;
    result.holdout = holdout;
    readExistingRules(root, result);
    gatherMail(root, result);
    result.learning = learnRules(result.input);
    bool cancelled = false;
    result.takes = countRuleTakes(result.input, result.learning, nullptr, cancelled);
    result.lines = suggestionLines(result.learning, result.firstNumber, result.takenConditionIds);
    proveSuggestions(root, result);
    if (holdout)
        measureHeldOut(result);
    return result;
}

namespace {

std::string folderLineText(const SuggestResult& result, size_t f) {
    const FolderLearning& folder = result.learning.folders[f];
    std::string numbers;
    for (size_t rule : folder.rules)
        numbers += formatText("%s%d", numbers.empty() ? "" : ", ", result.firstNumber + static_cast<int>(rule));
    std::string out = "  " + displayBytes(result.input.folders[f]) + " 「" + displayBytes(result.titles[f]) + "」 " +
                      formatText("%d / %d 通", result.proven[f], folder.filed);
    if (folder.decidedByExisting)
        out += formatText(" (うち既存の規則で %d 通)", folder.decidedByExisting);
    out += numbers.empty() ? std::string("  規則なし\n") : "  規則 " + numbers + "\n";
    if (folder.unseparated.empty())
        return out;
    out += formatText("    分けられない %d 通:\n", static_cast<int>(folder.unseparated.size()));
    for (size_t i = 0; i < folder.unseparated.size() && i < kShownUnseparated; ++i)
        out += "      " + displayBytes(result.entries[folder.unseparated[i].message]) + ": " +
               displayBytes(reasonText(result, folder, folder.unseparated[i])) + "\n";
    if (folder.unseparated.size() > kShownUnseparated)
        out += formatText("      ほか %d 通\n", static_cast<int>(folder.unseparated.size() - kShownUnseparated));
    return out;
}

std::string holdoutFolderText(const SuggestResult& result, size_t f) {
    const HoldoutFolder& folder = result.figures.folders[f];
    return "    " + displayBytes(result.input.folders[f]) + " 「" + displayBytes(result.titles[f]) + "」 " +
           formatText("適合率 %s 再現率 %s (新しい %d 通中 %d 通", percentText(folder.correct, folder.into).c_str(),
                      percentText(folder.correct, folder.heldOut).c_str(), folder.heldOut, folder.correct) +
           (folder.wrong ? formatText("、別のフォルダへ %d 通", folder.wrong) : std::string()) +
           (folder.into > folder.correct ? formatText("、ほかから %d 通", folder.into - folder.correct) : std::string()) +
           formatText(") 規則 %d 件、%d 通未満の規則 %d 件", folder.rules, result.input.options.leastEvidence,
                      folder.underMinimum) +
           (folder.byDate ? "" : " (日付のないメールがあり一覧順)") + "\n";
}

std::string holdoutText(const SuggestResult& result) {
    const HoldoutFigures& figures = result.figures;
    std::string out = formatText("検証 (--holdout): 各フォルダの新しい 1/%d (Date の順) を新着とし、古い %d 通から"
                                 "学んだ規則で振り分けました\n",
                                 static_cast<int>(kHoldoutDivisor), figures.learnt);
    out += formatText("  適合率 %s (移動した %d 通のうち正しいフォルダへ %d 通)\n",
                      percentText(figures.correct, figures.moved).c_str(), figures.moved, figures.correct);
    out += formatText("  再現率 %s (振り分けるべき %d 通のうち %d 通)\n",
                      percentText(figures.correct, figures.heldOut).c_str(), figures.heldOut, figures.correct);
    for (size_t f = 0; f < figures.folders.size(); ++f)
        out += holdoutFolderText(result, f);
    return out;
}

std::string suggestionLinesText(const SuggestResult& result) {
    if (result.lines.empty())
        return "提案できる規則はありません\n";
    size_t rules = result.learning.rules.size();
    std::string out = formatText("提案する規則 %d 件 (メールソフトを閉じてから、corvane.ini の [Rule] の末尾に貼り付けます):\n",
                                 static_cast<int>(rules));
    if (result.needsSection)
        out += "[Rule]\n";
    for (size_t i = 0; i < rules && i < result.lines.size(); ++i)
        out += result.lines[i] + "\n";
    if (result.lines.size() > rules) {
        out += "続けて、条件を重ねた規則の条件を [Conditions] の末尾に貼り付けます:\n";
        if (result.needsConditionSection)
            out += std::string("[") + kConditionSection + "]\n";
        for (size_t i = rules; i < result.lines.size(); ++i)
            out += result.lines[i] + "\n";
        for (size_t i = 0; i < rules; ++i)
            if (!isSingleCondition(result.learning.rules[i].rule))
                out += formatText("  規則%d: ", result.firstNumber + static_cast<int>(i)) +
                       displayBytes(proposalText(result.learning.rules[i].rule)) + "\n";
    }
    if (result.ignoreInbox)
        return out;
    out += "郵便受けのメールのうち、今振り分けると各規則が移すもの:\n";
    for (size_t i = 0; i < result.takes.size(); ++i)
        out += formatText("  規則%d: 既読 %d 通、未読 %d 通\n", result.firstNumber + static_cast<int>(i),
                          result.takes[i].inboxRead, result.takes[i].inboxUnread);
    return out;
}

}  // namespace

std::string renderSuggestText(const SuggestResult& result) {
    std::string out = formatText("アカウント: %s (既存の規則 %d 件、%s)\n", displayBytes(result.account).c_str(),
                                 result.firstNumber - 1, result.rules.iniPath.c_str());
    out += formatText("学んだメール: ユーザーフォルダ %d 個の %d 通。", static_cast<int>(result.input.folders.size()),
                      static_cast<int>(result.input.messages.size()) - result.staying);
    out += result.ignoreInbox
               ? std::string("郵便受けのメールは気にしません (--ignore-inbox)\n")
               : formatText("郵便受けのメール %d 通 (うち未読 %d 通) は規則が振り分けるメールです。"
                            "既読のメールは、規則が振り分けるメールの %d%% を超えるときだけ避けます\n",
                            result.staying, result.waiting, kReadInboxSharePercent);
    out += "フォルダごと (振り分けられる通数 / フォルダの通数):\n";
    for (size_t f = 0; f < result.learning.folders.size(); ++f)
        out += folderLineText(result, f);
    if (result.provenWrong)
        out += formatText("注意: 規則を足すと %d 通が別のフォルダへ振り分けられます\n", result.provenWrong);
    if (result.dropped)
        out += formatText("注意: メールの量が上限 (%d MB) を超えたため、各フォルダの新しいメールから学びました "
                          "(古いメール %d 通は使っていません)\n",
                          static_cast<int>(kLearnTextBudget >> 20), static_cast<int>(result.dropped));
    namesText(out, "64KB を超えるメール (先頭の 64KB から学びました)", result.huge);
    namesText(out, "NUL バイトを含むメール (その手前から学びました)", result.binary);
    if (result.holdout)
        out += holdoutText(result);
    out += suggestionLinesText(result);
    out += renderFindingsText(result.findings);
    return out;
}

namespace {

void foldersJson(JsonWriter& json, const SuggestResult& result) {
    json.key("folders").beginArray();
    for (size_t f = 0; f < result.learning.folders.size(); ++f) {
        const FolderLearning& folder = result.learning.folders[f];
        json.beginObject();
        json.key("path").value(result.input.folders[f]);
        json.key("title").value(result.titles[f]);
        json.key("filed").value(folder.filed);
        json.key("filedByRules").value(result.proven[f]);
        json.key("byExistingRules").value(folder.decidedByExisting);
        json.key("rules").beginArray();
        for (size_t rule : folder.rules)
            json.value(result.firstNumber + static_cast<int>(rule));
        json.endArray();
        json.key("unseparated").beginArray();
        for (const Unseparated& unseparated : folder.unseparated) {
            json.beginObject();
            json.key("entry").value(result.entries[unseparated.message]);
            json.key("reason").value(reasonText(result, folder, unseparated));
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
}

// The further conditions, each with whether it must not hold.
void conditionsJson(JsonWriter& json, const DistributeRule& rule) {
    json.key("conditions").beginArray();
    for (const RuleCondition& condition : rule.conditions) {
        json.beginObject();
        json.key("target").value(condition.searchTarget);
        json.key("header").value(condition.headerName);
        json.key("text").value(condition.searchText);
        json.key("matchCase").value(condition.matchCase != 0);
        json.key("negate").value(condition.negate != 0);
        json.endObject();
    }
    json.endArray();
}

void rulesJson(JsonWriter& json, const SuggestResult& result) {
    json.key("rules").beginArray();
    for (size_t i = 0; i < result.learning.rules.size(); ++i) {
        const SuggestedRule& suggestion = result.learning.rules[i];
        json.beginObject();
        json.key("number").value(result.firstNumber + static_cast<int>(i));
        json.key("line").value(result.lines[i]);
        json.key("target").value(suggestion.rule.searchTarget);
        json.key("header").value(suggestion.rule.headerName);
        json.key("text").value(suggestion.rule.searchText);
        json.key("matchCase").value(suggestion.rule.matchCase != 0);
        conditionsJson(json, suggestion.rule);
        json.key("destination").value(suggestion.rule.destFolder);
        json.key("covers").value(suggestion.covers);
        bool counted = i < result.takes.size();
        json.key("inboxRead").value(counted ? result.takes[i].inboxRead : 0);
        json.key("inboxUnread").value(counted ? result.takes[i].inboxUnread : 0);
        json.endObject();
    }
    json.endArray();
}

void holdoutJson(JsonWriter& json, const SuggestResult& result) {
    json.key("holdout");
    if (!result.holdout) {
        json.null();
        return;
    }
    const HoldoutFigures& figures = result.figures;
    json.beginObject();
    json.key("learnt").value(figures.learnt);
    json.key("heldOut").value(figures.heldOut);
    json.key("moved").value(figures.moved);
    json.key("correct").value(figures.correct);
    json.key("precision").value(percentText(figures.correct, figures.moved));
    json.key("recall").value(percentText(figures.correct, figures.heldOut));
    json.key("folders").beginArray();
    for (size_t f = 0; f < figures.folders.size(); ++f) {
        const HoldoutFolder& folder = figures.folders[f];
        json.beginObject();
        json.key("path").value(result.input.folders[f]);
        json.key("title").value(result.titles[f]);
        json.key("heldOut").value(folder.heldOut);
        json.key("correct").value(folder.correct);
        json.key("wrong").value(folder.wrong);
        json.key("into").value(folder.into);
        json.key("precision").value(percentText(folder.correct, folder.into));
        json.key("recall").value(percentText(folder.correct, folder.heldOut));
        json.key("rules").value(folder.rules);
        json.key("underMinimum").value(folder.underMinimum);
        json.key("byDate").value(folder.byDate);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

}  // namespace

std::string renderSuggestJson(const SuggestResult& result) {
    JsonWriter json;
    json.beginObject();
    json.key("command").value("suggest");
    json.key("account").value(result.account);
    json.key("rulesFile").value(result.rules.iniPath);
    json.key("existingRules").value(result.firstNumber - 1);
    json.key("staying").value(result.staying);
    json.key("waiting").value(result.waiting);
    json.key("dropped").value(static_cast<int>(result.dropped));
    json.key("ignoreInbox").value(result.ignoreInbox);
    foldersJson(json, result);
    rulesJson(json, result);
    holdoutJson(json, result);
    for (const char* name : {"huge", "binary"}) {
        json.key(name).beginArray();
        for (const std::string& entry : name[0] == 'h' ? result.huge : result.binary)
            json.value(entry);
        json.endArray();
    }
    return finishCheckJson(json, result.findings);
}

}  // namespace corvane
