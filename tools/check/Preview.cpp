#include "tools/check/Preview.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/text/HeaderExtraction.h"
#include "tools/check/Disk.h"
#include "tools/check/JsonWriter.h"
#include "tools/check/Lint.h"
#include "tools/check/TextDisplay.h"

namespace corvane {

namespace {

constexpr size_t kShownSubject = 60;
constexpr size_t kShownMatch = 80;

bool isStatusText(const std::string& status) {
    if (status.size() != 16)
        return false;
    for (char c : status)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/' && c != '=')
            return false;
    return true;
}

// The plug-in's check before a run, worded as the checker reports it.
std::string refusalOf(const AccountRules& rules, const std::string& root) {
    RuleList list;
    for (const LoadedRule& loaded : rules.load.rules)
        list.push_back(loaded.rule);
    RunRefusal refusal = checkBeforeRun(list, [&](const char* dest) {
        PathBuffer testPath;
        return formatFolderTestPath(root.c_str(), dest, testPath) && diskPathExists(testPath);
    });
    switch (refusal.kind) {
    case RunRefusal::NoRules: return "振り分け条件がありません";
    case RunRefusal::DestinationGone: return formatText("条件%d番目の振り分け先フォルダが存在しません", refusal.rule);
    case RunRefusal::None: break;
    }
    return std::string();
}

std::string subjectOf(const std::string& text) {
    char value[kHeaderValueSize];
    if (!extractHeaderValue(text.c_str(), "Subject:", value))
        return std::string();
    return decodeHeaderForDisplay(value);
}

// The outcome of the first matching rule for a message in folder.
void setOutcome(const RuleSet& set, int index, const std::string& folder, MessageVerdict& verdict) {
    if (index < 0) {
        verdict.outcome = Outcome::NoMatch;
        return;
    }
    const DistributeRule& rule = set.rule(static_cast<size_t>(index));
    verdict.rule = index + 1;
    if (staysIn(rule, folder.c_str())) {
        verdict.outcome = Outcome::SameFolder;
        return;
    }
    verdict.outcome = Outcome::Moves;
    verdict.destination = rule.destIsTrash ? accountOf(verdict.entry) + "\\Trash.box" : std::string(rule.destFolder);
}

std::string outcomeText(const MessageVerdict& verdict) {
    switch (verdict.outcome) {
    case Outcome::Moves: return verdict.destination + " へ移動";
    case Outcome::NoMatch: return "移動しない(一致する規則なし)";
    case Outcome::SameFolder: return "移動しない(振り分け先が今のフォルダ)";
    case Outcome::Unread: return "対象外(未読)";
    case Outcome::Unreadable: return "移動しない(読めないメール)";
    }
    return std::string();
}

void writeVerdictJson(JsonWriter& json, const MessageVerdict& verdict) {
    json.key("entry").value(verdict.entry);
    json.key("key").value(verdict.key);
    json.key("subject").value(verdict.subject);
    json.key("unread").value(verdict.unread);
    json.key("outcome").value(outcomeCode(verdict.outcome));
    json.key("rule");
    if (verdict.rule > 0)
        json.value(verdict.rule);
    else
        json.null();
    json.key("destination");
    if (verdict.outcome == Outcome::Moves)
        json.value(verdict.destination);
    else
        json.null();
}

// The keys of the list's records in order, each once; lines that are no "key=status" record
// are left out and reported together.
void readListKeys(FolderListing& listing, const char* listPath, Findings& findings) {
    int firstBad = 0, badLines = 0, number = 0;
    size_t pos = 0;
    const std::string& text = listing.listText;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        size_t equals = line.find('=');
        if (equals == 0 || equals == std::string::npos || !isStatusText(line.substr(equals + 1)) ||
            line.find('\0') != std::string::npos) {
            if (!firstBad)
                firstBad = number;
            ++badLines;
            continue;
        }
        std::string key = line.substr(0, equals);
        if (std::find(listing.keys.begin(), listing.keys.end(), key) == listing.keys.end())
            listing.keys.push_back(key);
    }
    if (badLines)
        findings.addUnreadable("broken-list", nativeDiskPath(listPath),
                               formatText("一覧ファイルの %d 行目%sが「キー=状態」の形ではありません", firstBad,
                                          badLines > 1 ? formatText("ほか %d 行", badLines - 1).c_str() : ""));
}

// Without a readable list, the folder's message files stand in for its records, and the
// finding says what kind of folder this looks like.
void listMessageFiles(FolderListing& listing, const std::string& folderDir, const char* listPath, ReadStatus status,
                      Findings& findings) {
    std::vector<std::string> files = listDiskFiles(folderDir, ".qpm");
    std::vector<std::string> dirs = listDiskDirectories(folderDir);
    bool maildir = std::find(dirs.begin(), dirs.end(), "cur") != dirs.end() &&
                   std::find(dirs.begin(), dirs.end(), "new") != dirs.end();
    std::string message;
    if (maildir)
        message = "Maildir 形式のフォルダです。Quillpost32 のフォルダではありません";
    else if (files.empty())
        message = "一覧ファイルもメールファイル(.qpm)もありません。Quillpost32 のフォルダではありません";
    else
        message = status == ReadStatus::Missing ? "一覧ファイルがありません。メールファイルを既読として調べます"
                                                : "一覧ファイルを読めません。メールファイルを既読として調べます";
    findings.addUnreadable(maildir || files.empty() ? "other-layout" : "missing-list", nativeDiskPath(listPath),
                           message);
    for (const std::string& file : files)
        listing.keys.push_back(file.substr(0, file.size() - 4));
}

// One tally per rule, and a problem for each rule whose expression does not compile.
void startTallies(const RuleSet& set, PreviewResult& result) {
    for (size_t i = 0; i < set.size(); ++i) {
        if (!set.regexError(i).empty()) {
            Finding& finding = result.findings.addProblem("regex-error", result.rules.iniPath,
                                                          "正規表現のエラー: " + set.regexError(i));
            finding.rule = static_cast<int>(i + 1);
            finding.line = result.rules.load.rules[i].line;
            finding.key = result.rules.load.rules[i].key;
        }
        RuleTally tally;
        tally.number = static_cast<int>(i + 1);
        result.tallies.push_back(tally);
    }
}

// Counts every rule that matches the text: a hit for the winner, the winner's number for the
// others.
void tallyMatches(const std::vector<RuleProbe>& probes, int winner, std::vector<RuleTally>& tallies) {
    for (size_t i = 0; i < probes.size(); ++i) {
        if (!probes[i].matched)
            continue;
        RuleTally& tally = tallies[i];
        ++tally.candidates;
        if (static_cast<int>(i) == winner)
            ++tally.hits;
        else if (std::find(tally.takenBy.begin(), tally.takenBy.end(), winner + 1) == tally.takenBy.end())
            tally.takenBy.push_back(winner + 1);
    }
}

// What the run does with one message of the folder, and the rules it counts for.
void previewMessage(const std::string& root, const RuleSet& set, PreviewResult& result, MessageVerdict& verdict) {
    std::string text;
    bool readable = readMessageText(root, verdict.entry, text, result.findings);
    if (readable)
        verdict.subject = subjectOf(text);
    if (!set.judge().takes(verdict.unread && !result.all)) {
        verdict.outcome = Outcome::Unread;
    } else if (!readable) {
        verdict.outcome = Outcome::Unreadable;
    } else {
        int winner = -1;
        std::vector<RuleProbe> probes = set.probeAll(text.c_str(), &winner);
        setOutcome(set, winner, result.folder, verdict);
        tallyMatches(probes, winner, result.tallies);
    }
}

// A rule that matched messages but decided none is shadowed by the rules before it.
void reportShadowedRules(PreviewResult& result) {
    for (RuleTally& tally : result.tallies) {
        std::sort(tally.takenBy.begin(), tally.takenBy.end());
        if (!shadowedRule(tally.candidates, tally.hits))
            continue;
        const LoadedRule& loaded = result.rules.load.rules[static_cast<size_t>(tally.number - 1)];
        Finding& finding = result.findings.addProblem(
            "shadowed", result.rules.iniPath,
            formatText("一致した %d 通はすべて先の規則が振り分けるため、この規則は使われません", tally.candidates));
        finding.rule = tally.number;
        finding.line = loaded.line;
        finding.key = loaded.key;
    }
}

// One rule's part in explain: matched or not, and where in the text it searched.
RuleExplanation explainRule(const RuleSet& set, const RuleProbe& probe, size_t i, int winner) {
    RuleExplanation explanation;
    explanation.number = static_cast<int>(i + 1);
    explanation.probe = probe;
    explanation.matched = probe.matched;
    explanation.regexError = set.regexError(i);
    if (!explanation.matched)
        return explanation;
    if (static_cast<int>(i) != winner)
        explanation.wonBy = winner + 1;
    if (!probe.placed)
        return explanation;
    const std::string& source = probe.inHeaderValue ? probe.headerValue : probe.searched;
    explanation.matchedText = displayBytes(source.data() + probe.offset, probe.length, kShownMatch);
    if (!probe.inHeaderValue) {
        const std::string& searched = probe.searched;
        explanation.line = 1 + static_cast<int>(std::count(searched.begin(), searched.begin() + probe.offset, '\n'));
        size_t newline = probe.offset ? searched.rfind('\n', probe.offset - 1) : std::string::npos;
        size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
        explanation.column = 1 + static_cast<int>(probe.offset - lineStart);
    }
    return explanation;
}

std::string optionText(bool on) {
    return on ? "する" : "しない";
}

}  // namespace

FolderEntries listFolderEntries(const std::string& root, const std::string& folder, Findings& findings) {
    FolderEntries out;
    out.listing = readFolderListing(root, folder, findings);
    for (const std::string& key : out.listing.keys)
        out.names.push_back(folder + "\\" + key);
    std::vector<const char*> names;
    for (const std::string& name : out.names)
        names.push_back(name.c_str());
    out.unread = findUnreadEntries(out.listing.listRead ? out.listing.listText.c_str() : nullptr, names.data(),
                                   names.size());
    return out;
}

FolderListing readFolderListing(const std::string& root, const std::string& folder, Findings& findings) {
    FolderListing listing;
    std::string folderDir = root + folder;
    if (!diskIsDirectory(folderDir)) {
        findings.addUnreadable("no-folder", nativeDiskPath(folderDir), "フォルダがありません");
        return listing;
    }
    PathBuffer listPath;
    if (!formatMessageListPath(root.c_str(), folder.c_str(), listPath)) {
        findings.addUnreadable("path-too-long", nativeDiskPath(folderDir), "パスが長すぎます");
        return listing;
    }
    ReadStatus status = readDiskFile(listPath, listing.listText);
    if (status == ReadStatus::Ok) {
        listing.listRead = true;
        readListKeys(listing, listPath, findings);
        return listing;
    }
    listing.listText.clear();
    listMessageFiles(listing, folderDir, listPath, status, findings);
    return listing;
}

bool readMessageFile(const std::string& root, const std::string& entry, size_t most, std::string& content,
                     Findings& findings) {
    PathBuffer path;
    if (!formatMessageFilePath(root.c_str(), entry.c_str(), path)) {
        findings.addUnreadable("path-too-long", entry, "メールファイルのパスが長すぎます");
        return false;
    }
    ReadStatus status = readDiskFile(path, content, most);
    if (status != ReadStatus::Ok) {
        findings.addUnreadable("unreadable-message", nativeDiskPath(path),
                               status == ReadStatus::Missing ? "メールファイルがありません" : "メールファイルを読めません");
        return false;
    }
    return true;
}

bool readMessageText(const std::string& root, const std::string& entry, std::string& text, Findings& findings,
                     size_t* fileSize) {
    std::string content;
    if (!readMessageFile(root, entry, fileSize ? kMessageReadCap + 1 : kMessageReadCap, content, findings))
        return false;
    if (fileSize)
        *fileSize = content.size();
    text = messageTextFromFile(content);
    return true;
}

const char* outcomeCode(Outcome outcome) {
    switch (outcome) {
    case Outcome::Moves: return "moves";
    case Outcome::NoMatch: return "no-match";
    case Outcome::SameFolder: return "same-folder";
    case Outcome::Unread: return "unread";
    case Outcome::Unreadable: return "unreadable";
    }
    return "";
}

PreviewResult previewFolder(const std::string& root, const std::string& folder, bool all) {
    PreviewResult result;
    result.folder = folder;
    result.all = all;
    result.rules = readAccountRules(root, accountOf(folder), result.findings);
    result.refusal = refusalOf(result.rules, root);
    if (!result.refusal.empty())
        result.findings.addProblem("run-refused", result.rules.iniPath, "実際の振り分けは始まりません: " + result.refusal);
    RuleSet set(result.rules.load.rules, result.rules.load.decodeMime, result.rules.load.unreadMail);
    startTallies(set, result);
    FolderEntries folderEntries = listFolderEntries(root, folder, result.findings);
    for (size_t m = 0; m < folderEntries.names.size(); ++m) {
        MessageVerdict verdict;
        verdict.entry = folderEntries.names[m];
        verdict.key = folderEntries.listing.keys[m];
        verdict.unread = folderEntries.unread[m];
        previewMessage(root, set, result, verdict);
        result.messages.push_back(verdict);
    }
    reportShadowedRules(result);
    return result;
}

std::string renderPreviewText(const PreviewResult& result) {
    std::string out = formatText("フォルダ: %s (規則 %d 件、未読メールも対象に%s%s%s)\n", result.folder.c_str(),
                                 static_cast<int>(result.rules.load.rules.size()),
                                 optionText(result.rules.load.unreadMail).c_str(),
                                 result.rules.load.decodeMime ? "、エンコードを解読して照合" : "",
                                 result.all ? "、--all: 未読も調べる" : "");
    if (!result.refusal.empty())
        out += "注意: 実際の振り分けは始まりません: " + result.refusal + "\n";
    for (const MessageVerdict& verdict : result.messages) {
        out += "  " + displayBytes(verdict.key) + "  ";
        out += verdict.rule ? formatText("規則%-3d", verdict.rule) : std::string("-      ");
        out += "  " + displayBytes(outcomeText(verdict)) + (verdict.unread ? "  [未読]" : "");
        out += "  「" + displayBytes(verdict.subject, kShownSubject) + "」\n";
    }
    int moving = 0;
    for (const MessageVerdict& verdict : result.messages)
        moving += verdict.outcome == Outcome::Moves;
    out += formatText("%d 通中 %d 通を移動します\n", static_cast<int>(result.messages.size()), moving);
    out += "規則ごと:\n";
    for (const RuleTally& tally : result.tallies) {
        out += formatText("  規則%d: %d 通", tally.number, tally.hits);
        if (tally.candidates == 0) {
            out += " — 一致するメールがありません";
        } else if (tally.hits == 0) {
            std::string earlier;
            for (int number : tally.takenBy)
                earlier += formatText("%s規則%d", earlier.empty() ? "" : "、", number);
            out += formatText(" — 一致した %d 通はすべて先の%sが振り分けます(隠れた規則)", tally.candidates,
                              earlier.c_str());
        } else if (tally.candidates > tally.hits) {
            out += formatText(" (ほかに %d 通が一致、先の規則が優先)", tally.candidates - tally.hits);
        }
        out += "\n";
    }
    out += renderFindingsText(result.findings);
    return out;
}

// A text field, or null when the text is empty.
static void writeTextOrNull(JsonWriter& json, const char* key, const std::string& text) {
    json.key(key);
    if (text.empty())
        json.null();
    else
        json.value(text);
}

std::string renderPreviewJson(const PreviewResult& result) {
    JsonWriter json;
    json.beginObject();
    json.key("command").value("preview");
    json.key("folder").value(result.folder);
    json.key("rulesFile").value(result.rules.iniPath);
    json.key("unreadmail").value(result.rules.load.unreadMail);
    json.key("decodemime").value(result.rules.load.decodeMime);
    json.key("all").value(result.all);
    writeTextOrNull(json, "refused", result.refusal);
    json.key("messages").beginArray();
    for (const MessageVerdict& verdict : result.messages) {
        json.beginObject();
        writeVerdictJson(json, verdict);
        json.endObject();
    }
    json.endArray();
    json.key("moves").beginObject();
    for (const MessageVerdict& verdict : result.messages) {
        json.key(verdict.entry.c_str());
        if (verdict.outcome == Outcome::Moves)
            json.value(verdict.destination);
        else
            json.null();
    }
    json.endObject();
    json.key("rules").beginArray();
    for (const RuleTally& tally : result.tallies) {
        json.beginObject();
        json.key("number").value(tally.number);
        json.key("hits").value(tally.hits);
        json.key("candidates").value(tally.candidates);
        json.key("shadowed").value(tally.candidates > 0 && tally.hits == 0);
        json.key("takenBy").beginArray();
        for (int number : tally.takenBy)
            json.value(number);
        json.endArray();
        json.endObject();
    }
    json.endArray();
    return finishCheckJson(json, result.findings);
}

ExplainResult explainEntry(const std::string& root, const std::string& entry) {
    ExplainResult result;
    result.entry = entry;
    result.folder = folderOf(entry);
    result.verdict.entry = entry;
    const char* key = lastPathComponent(entry.c_str());
    result.verdict.key = key ? key : entry;
    if (result.folder.empty()) {
        result.findings.addUnreadable("bad-entry", entry, "エントリ名にフォルダがありません(例: Main\\Inbox.box\\00000001)");
        return result;
    }
    result.rules = readAccountRules(root, accountOf(entry), result.findings);
    result.unreadOption = result.rules.load.unreadMail;
    result.refusal = refusalOf(result.rules, root);
    if (!result.refusal.empty())
        result.findings.addProblem("run-refused", result.rules.iniPath, "実際の振り分けは始まりません: " + result.refusal);

    FolderListing listing = readFolderListing(root, result.folder, result.findings);
    result.verdict.unread = listing.listRead && isUnread(listing.listText.c_str(), entry.c_str());
    std::string text;
    result.readable = readMessageText(root, entry, text, result.findings);
    if (!result.readable) {
        result.verdict.outcome = Outcome::Unreadable;
        return result;
    }
    result.verdict.subject = subjectOf(text);

    RuleSet set(result.rules.load.rules, result.rules.load.decodeMime, result.unreadOption);
    int winner = -1;
    std::vector<RuleProbe> probes = set.probeAll(text.c_str(), &winner);
    for (size_t i = 0; i < set.size(); ++i)
        result.explanations.push_back(explainRule(set, probes[i], i, winner));
    setOutcome(set, winner, result.folder, result.verdict);
    if (!set.judge().takes(result.verdict.unread))
        result.verdict.outcome = Outcome::Unread;
    return result;
}

// One rule's lines in explain's text: whether it matched, where, and for a rule of several
// conditions which condition decided.
std::string explainRuleText(const ExplainResult& result, size_t i) {
    std::string out;
    const RuleExplanation& explanation = result.explanations[i];
    const DistributeRule& rule = result.rules.load.rules[i].rule;
    bool single = isSingleCondition(rule);
    out += formatText("規則%d ", explanation.number) + describeRule(rule) + "\n";
    const RuleProbe& probe = explanation.probe;
    if (!explanation.regexError.empty() && single) {
        out += "  一致しません(正規表現のエラー: " + explanation.regexError + ")\n";
    } else if (!explanation.matched) {
        if (!single)
            out += "  一致しません\n";
        else if (rule.searchTarget == NamedHeader && !probe.headerFound)
            out += std::string("  一致しません(ヘッダ「") + displayBytes(rule.headerName) + "」がありません)\n";
        else if (rule.searchTarget == NamedHeader)
            out += "  一致しません(ヘッダの値「" + displayBytes(probe.headerValue, kShownMatch) + "」)\n";
        else
            out += "  一致しません\n";
    } else {
        if (!probe.placed)
            out += "  一致";
        else if (probe.inHeaderValue)
            out += formatText("  一致: ヘッダの値の %d バイト目", static_cast<int>(probe.offset));
        else
            out += formatText("  一致: %d 行 %d 桁目(%d バイト目)", explanation.line, explanation.column,
                              static_cast<int>(probe.offset));
        if (probe.placed)
            out += formatText(" %d バイト「", static_cast<int>(probe.length)) + explanation.matchedText + "」";
        out += explanation.wonBy ? formatText(" — 先に規則%d が一致しています\n", explanation.wonBy)
                                 : std::string(" — この規則で決まります\n");
    }
    if (!single) {
        size_t k = std::min(static_cast<size_t>(std::max(probe.decidedBy, 0)), rule.conditions.size());
        std::string text = k == 0 ? rule.searchText : rule.conditions[k - 1].searchText;
        out += formatText("  決め手: 条件 %d「", static_cast<int>(k + 1)) + displayBytes(text, kShownMatch) +
               (explanation.matched ? "」が満たされました\n" : "」が満たされません\n");
    }
    return out;
}

std::string renderExplainText(const ExplainResult& result) {
    std::string out = "メール: " + displayBytes(result.entry) + "\n";
    if (result.readable)
        out += "件名: " + displayBytes(result.verdict.subject) + "\n";
    out += formatText("未読: %s (未読メールも対象に%s)\n", result.verdict.unread ? "はい" : "いいえ",
                      optionText(result.unreadOption).c_str());
    if (result.rules.load.decodeMime)
        out += "エンコードを解読して照合します。位置は解読した本文のものです\n";
    for (size_t i = 0; i < result.explanations.size(); ++i)
        out += explainRuleText(result, i);
    out += "結果: " + displayBytes(outcomeText(result.verdict));
    out += result.verdict.rule ? formatText(" (規則%d)\n", result.verdict.rule) : std::string("\n");
    if (result.verdict.outcome == Outcome::Unread && result.verdict.rule)
        out += "  (既読なら: " + displayBytes(result.verdict.destination.empty() ? "移動しない" : result.verdict.destination) +
               ")\n";
    out += renderFindingsText(result.findings);
    return out;
}

std::string renderExplainJson(const ExplainResult& result) {
    JsonWriter json;
    json.beginObject();
    json.key("command").value("explain");
    writeVerdictJson(json, result.verdict);
    json.key("unreadmail").value(result.unreadOption);
    json.key("decodemime").value(result.rules.load.decodeMime);
    writeTextOrNull(json, "refused", result.refusal);
    json.key("rules").beginArray();
    for (const RuleExplanation& explanation : result.explanations) {
        json.beginObject();
        json.key("number").value(explanation.number);
        json.key("matched").value(explanation.matched);
        json.key("decides").value(explanation.matched && explanation.wonBy == 0);
        json.key("wonBy");
        if (explanation.wonBy)
            json.value(explanation.wonBy);
        else
            json.null();
        if (explanation.matched) {
            json.key("in").value(explanation.probe.inHeaderValue ? "header-value" : "message");
            json.key("offset").value(explanation.probe.offset);
            json.key("length").value(explanation.probe.length);
            if (!explanation.probe.inHeaderValue) {
                json.key("line").value(explanation.line);
                json.key("column").value(explanation.column);
            }
            json.key("text").value(explanation.matchedText);
        }
        if (!explanation.regexError.empty())
            json.key("regexError").value(explanation.regexError);
        if (!isSingleCondition(result.rules.load.rules[static_cast<size_t>(explanation.number - 1)].rule))
            json.key("decidedBy").value(explanation.probe.decidedBy + 1);
        json.endObject();
    }
    json.endArray();
    return finishCheckJson(json, result.findings);
}

}  // namespace corvane
