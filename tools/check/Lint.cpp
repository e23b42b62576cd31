#include "tools/check/Lint.h"

#include <cstring>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/rules/RuleMarks.h"
#include "plugin/rules/RuleText.h"
#include "tools/check/ConditionLint.h"
#include "tools/check/Disk.h"
#include "tools/check/JsonWriter.h"
#include "tools/check/TextDisplay.h"

namespace corvane {

namespace {

// The number n of a key that is exactly "rule<n>" as the plug-in forms it (any letter case), else 0.
int ruleKeyNumber(const std::string& key) {
    if (key.size() < 5 || compareNoCase(key.c_str(), "rule", 4) != 0 || key[4] < '1' || key[4] > '9')
        return 0;
    long number = 0;
    for (size_t i = 4; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || number > 100000000)
            return 0;
        number = number * 10 + (key[i] - '0');
    }
    return static_cast<int>(number);
}

Finding& keyProblem(Findings& findings, const AccountRules& rules, const std::string& code, const ProfileLine& line,
                    const std::string& message) {
    Finding& finding = findings.addProblem(code, rules.iniPath, message);
    finding.line = line.number;
    finding.key = line.key;
    return finding;
}

void lintOptions(const AccountRules& rules, Findings& findings) {
    for (const char* key : {"unreadmail", "reportresult", "decodemime"}) {
        const ProfileLine* line = rules.file->find("Generic", key);
        if (!line || line->value == "0" || line->value == "1")
            continue;
        unsigned value = rules.file->readInt("Generic", key, 3);
        std::string message;
        if (line->value.empty() || value == 3)
            message = formatText("値「%s」は読み込まれず、0 のままです", line->value.c_str());
        else
            message = formatText("値「%s」は %d として扱われます", line->value.c_str(), value == 1 ? 1 : 0);
        keyProblem(findings, rules, "option-value", *line, message);
    }
}

void lintLoadStop(const AccountRules& rules, Findings& findings) {
    const RulesLoad& load = rules.load;
    const ProfileFile& file = *rules.file;
    bool laterKeys = false;
    for (const ProfileLine& line : file.lines())
        if (file.isEffective(line) && compareNoCase(line.section.c_str(), "Rule") == 0 &&
            ruleKeyNumber(line.key) > load.stopNumber)
            laterKeys = true;
    std::string stopKey = formatText("rule%d", load.stopNumber);
    const ProfileLine* stopLine = file.find("Rule", stopKey.c_str());
    switch (load.stop) {
    case LoadStop::Absent:
        if (laterKeys) {
            Finding& finding = findings.addProblem("gap", rules.iniPath,
                                                   formatText("%s がないため、読み込みはここで止まります",
                                                              stopKey.c_str()));
            finding.key = stopKey;
        }
        break;
    case LoadStop::Empty:
        keyProblem(findings, rules, "load-stop", *stopLine, "値が空のため、読み込みはここで止まります");
        break;
    case LoadStop::TooLong:
        keyProblem(findings, rules, "load-stop", *stopLine,
                   formatText("値が長すぎる(%d バイト以上)ため、読み込みはここで止まります",
                              static_cast<int>(kRuleValueBufferSize - 1)));
        break;
    case LoadStop::Unparsable:
        keyProblem(findings, rules, "load-stop", *stopLine, "規則として読めないため、読み込みはここで止まります");
        break;
    }
    for (const ProfileLine& line : file.lines())
        if (file.isEffective(line) && compareNoCase(line.section.c_str(), "Rule") == 0 &&
            ruleKeyNumber(line.key) > load.stopNumber)
            keyProblem(findings, rules, "never-loads", line,
                       formatText("%s で読み込みが止まるため、読み込まれません", stopKey.c_str()));
}

// Keys and sections that no lookup of the plug-in ever reaches. "Generic" stands for both
// option and condition sections below: neither holds rule keys.
void lintUnreadKeys(const AccountRules& rules, Findings& findings) {
    const ProfileFile& file = *rules.file;
    for (const ProfileLine& line : file.lines()) {
        bool rule = compareNoCase(line.section.c_str(), "Rule") == 0;
        bool generic = compareNoCase(line.section.c_str(), "Generic") == 0 ||
                       compareNoCase(line.section.c_str(), kConditionSection) == 0;
        if (line.kind == ProfileLine::Section && line.sectionIndex > 0 && (rule || generic)) {
            Finding& finding = findings.addProblem("duplicate-section", rules.iniPath,
                                                   formatText("[%s] が前にもあるため、このセクションは読まれません",
                                                              line.section.c_str()));
            finding.line = line.number;
        } else if (line.kind == ProfileLine::Section && line.sectionIndex == 0 && !rule && !generic) {
            Finding& finding = findings.addProblem("unknown-section", rules.iniPath,
                                                   formatText("[%s] は使われないセクションです", line.section.c_str()));
            finding.line = line.number;
        } else if (line.kind == ProfileLine::Other) {
            Finding& finding = findings.addProblem("outside-section", rules.iniPath,
                                                   "セクションの外にあるため読まれません");
            finding.line = line.number;
        }
        if (line.kind != ProfileLine::Key || line.sectionIndex != 0 || !(rule || generic))
            continue;
        if (!file.isEffective(line)) {
            const ProfileLine* first = file.find(line.section.c_str(), line.key.c_str());
            keyProblem(findings, rules, "duplicate-key", line,
                       formatText("同じキーが %d 行目にあるため、読まれません", first->number));
            continue;
        }
        uint32_t id = 0;
        unsigned number = 0;
        bool known = rule ? ruleKeyNumber(line.key) > 0
                          : compareNoCase(line.key.c_str(), "unreadmail") == 0 ||
                                compareNoCase(line.key.c_str(), "reportresult") == 0 ||
                                compareNoCase(line.key.c_str(), "decodemime") == 0 ||
                                parseConditionKey(line.key.c_str(), &id, &number);
        if (!known)
            keyProblem(findings, rules, "unknown-key", line, "使われないキーです");
        else if (!line.hasEquals)
            keyProblem(findings, rules, "not-key", line, "「キー=値」の形になっていません");
    }
}

void lintRawBytes(const LoadedRule& loaded, int number, const AccountRules& rules, Findings& findings) {
    if (!matchesOnlyRawBytes(loaded.rule, rules.load.decodeMime))
        return;
    Finding& finding = findings.addWarning("raw-bytes-only", rules.iniPath,
                                           "検索文字列に ASCII 以外の文字があります。エンコードを解読しない設定では、"
                                           "エンコードされていない Shift-JIS のメールにしか一致しません"
                                           "(「エンコードを解読して照合する」をオンに)");
    finding.line = loaded.line;
    finding.key = loaded.key;
    finding.rule = number;
}

// The findings about a rule's further conditions: their expressions, and the conditions together.
void lintConditions(const LoadedRule& loaded, int number, size_t count, const AccountRules& rules,
                    Findings& findings) {
    const DistributeRule& rule = loaded.rule;
    std::vector<ConditionFinding> found;
    for (size_t k = 0; k < rule.conditions.size(); ++k) {
        const RuleCondition& c = rule.conditions[k];
        std::string error = c.useRegex ? regexCompileError(c.searchText, strnlen(c.searchText, sizeof c.searchText)) : "";
        if (!error.empty())
            found.push_back({"regex-error", formatText("条件 %d: 正規表現のエラー: ", static_cast<int>(k + 2)) + error});
    }
    for (const ConditionFinding& each : lintRuleConditions(rule, number, count))
        found.push_back(each);
    for (const ConditionFinding& each : found) {
        Finding& finding = each.warning ? findings.addWarning(each.code, rules.iniPath, each.message)
                                        : findings.addProblem(each.code, rules.iniPath, each.message);
        finding.line = loaded.line;
        finding.key = loaded.key;
        finding.rule = number;
    }
}

void lintRule(const LoadedRule& loaded, int number, size_t count, const RuleSet& set, const AccountRules& rules,
              const std::string& root, Findings& findings) {
    const DistributeRule& rule = loaded.rule;
    auto problem = [&](const std::string& code, const std::string& message) {
        Finding& finding = findings.addProblem(code, rules.iniPath, message);
        finding.line = loaded.line;
        finding.key = loaded.key;
        finding.rule = number;
    };

    PathBuffer testPath;
    auto folderExists = [&](const char* folder) {
        return formatFolderTestPath(root.c_str(), folder, testPath) && diskPathExists(testPath);
    };
    if (destinationGone(rule, folderExists)) {
        problem("dest-missing", formatText("振り分け先フォルダ「%s」がありません(%s)。このままでは振り分けを始められません",
                                           rule.destFolder, nativeDiskPath(testPath).c_str()));
    } else if (rule.destFolder[0] == '\0') {
        problem("dest-empty", "振り分け先が空のため、ごみ箱に移動します");
    } else if (classifyFolderPath(rule.destFolder) == UserFolder) {
        std::string entryIni;
        readDiskFile(testPath, entryIni);
        ProfileFile entry(entryIni);
        if (entry.readString("Property", "Type", 1024) == "Subfolder")
            problem("dest-parent", formatText("振り分け先「%s」はサブフォルダを持つフォルダです", rule.destFolder));
    }
    if (rule.destIsTrash && rule.destFolder[0] && accountOf(rule.destFolder) != rules.account)
        problem("dest-other-trash", formatText("振り分け先「%s」はごみ箱なので、メールのあるアカウントのごみ箱に移動します",
                                               rule.destFolder));

    size_t index = static_cast<size_t>(number - 1);
    if (!set.regexError(index).empty())
        problem("regex-error", "正規表現のエラー: " + set.regexError(index));
    if (rule.searchTarget == NamedHeader && rule.useRegex)
        problem("regex-ignored", "指定ヘッダの規則では正規表現は使われず、そのままの文字列として比べられます");

    if (!ruleFitsRecord(rule))
        problem("not-saved", "保存して読み直すと同じ規則になりません(保存のときに省かれます)");
    else if (storedRuleValue(rule) != loaded.value)
        problem("rewritten", "保存すると値が「" + storedRuleValue(rule) + "」に書き換わります");

    ConditionMarker marker;
    if (!isSingleCondition(rule) || decodeConditionMarker(rule.searchTarget, marker)) {
        lintConditions(loaded, number, count, rules, findings);
    } else if (rule.searchTarget < WholeMessage || rule.searchTarget > NamedHeader) {
        problem("never-matches", formatText("検索対象 %d はどのメールにも一致しません", rule.searchTarget));
    } else if (!searchesByRegex(rule)) {
        PlainPattern pattern = preparePattern(rule.searchText, strnlen(rule.searchText, sizeof rule.searchText),
                                              rule.matchCase != 0);
        bool anchored = pattern.anchoredStart || pattern.anchoredEnd;
        if (pattern.bytes.empty() && !anchored && !rule.matchCase)
            problem("never-matches", "検索文字列が空で大文字小文字を区別しないため、どのメールにも一致しません");
        bool everyText = pattern.bytes.empty() && (pattern.anchoredStart != pattern.anchoredEnd ||
                                                   (!anchored && rule.matchCase));
        if (everyText && rule.searchTarget != NamedHeader && static_cast<size_t>(number) < count)
            problem("always-matches", formatText("検索文字列が空(またはアンカーだけ)のため、すべてのメールに一致します。"
                                                 "規則 %d 以降は使われません",
                                                 number + 1));
    }
}

}  // namespace

void lintRulesFile(const AccountRules& rules, const std::string& root, Findings& findings) {
    lintOptions(rules, findings);
    lintLoadStop(rules, findings);
    lintUnreadKeys(rules, findings);
    RuleSet set(rules.load.rules, rules.load.decodeMime);
    for (size_t i = 0; i < rules.load.rules.size(); ++i) {
        lintRule(rules.load.rules[i], static_cast<int>(i + 1), rules.load.rules.size(), set, rules, root, findings);
        lintRawBytes(rules.load.rules[i], static_cast<int>(i + 1), rules, findings);
    }
    if (rules.load.rules.empty())
        findings.addProblem("no-rules", rules.iniPath, "規則がありません。振り分けは始まりません");
}

LintResult lintAccount(const std::string& root, const std::string& account) {
    LintResult result;
    result.rules = readAccountRules(root, account, result.findings);
    if (result.rules.read)
        lintRulesFile(result.rules, root, result.findings);
    return result;
}

std::string renderLintText(const LintResult& result) {
    const AccountRules& rules = result.rules;
    std::string out = "規則ファイル: " + rules.iniPath + "\n";
    out += formatText("読み込まれる規則: %d 件 (unreadmail=%d, reportresult=%d)\n",
                      static_cast<int>(rules.load.rules.size()), rules.load.unreadMail ? 1 : 0,
                      rules.load.reportResult ? 1 : 0);
    for (size_t i = 0; i < rules.load.rules.size(); ++i) {
        const LoadedRule& loaded = rules.load.rules[i];
        out += formatText("  %d. (%d 行 %s) ", static_cast<int>(i + 1), loaded.line, loaded.key.c_str()) +
               describeRule(loaded.rule) + "\n";
    }
    out += renderFindingsText(result.findings);
    if (result.findings.problems.empty() && result.findings.unreadable.empty())
        out += "問題はありません\n";
    return out;
}

std::string renderLintJson(const LintResult& result) {
    const AccountRules& rules = result.rules;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("lint");
    json.key("file").value(rules.iniPath);
    json.key("options").beginObject();
    json.key("unreadmail").value(rules.load.unreadMail);
    json.key("reportresult").value(rules.load.reportResult);
    json.endObject();
    json.key("rules").beginArray();
    for (size_t i = 0; i < rules.load.rules.size(); ++i) {
        const LoadedRule& loaded = rules.load.rules[i];
        json.beginObject();
        json.key("number").value(static_cast<int>(i + 1));
        json.key("key").value(loaded.key);
        json.key("line").value(loaded.line);
        json.key("target").value(loaded.rule.searchTarget);
        json.key("text").value(loaded.rule.searchText);
        json.key("header").value(loaded.rule.headerName);
        json.key("matchCase").value(loaded.rule.matchCase != 0);
        json.key("regex").value(loaded.rule.useRegex != 0);
        json.key("destination").value(loaded.rule.destFolder);
        json.endObject();
    }
    json.endArray();
    return finishCheckJson(json, result.findings);
}

}  // namespace corvane
