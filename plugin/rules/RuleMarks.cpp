#include "plugin/rules/RuleMarks.h"

#include <cstring>

#include <oniguruma.h>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleMatching.h"

namespace corvane {

namespace {

bool hasNonAscii(const char* text) {
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return true;
    return false;
}

RuleMark markOf(const DistributeRule& rule, size_t index, bool decodeMime,
                const std::function<bool(const char*)>& folderExists, const RuleTallies* tallies) {
    RuleMark mark;
    std::string regexError;
    if (destinationGone(rule, folderExists)) {
        mark.fault = RuleFault::DestinationGone;
        mark.reason = std::string("振り分け先フォルダ「") + rule.destFolder + "」がありません。このままでは振り分けを始められません";
    } else if (!(regexError = ruleRegexError(rule)).empty()) {
        mark.fault = RuleFault::RegexError;
        mark.reason = "正規表現のエラー: " + regexError;
    } else if (tallies && tallies->shadowed(index)) {
        char text[256];
        formatBuffer(text, "このフォルダで一致する %d 通はすべて前の規則が先に取るため、この規則は使われません",
                     tallies->candidates(index));
        mark.fault = RuleFault::Shadowed;
        mark.reason = text;
    } else if (matchesOnlyRawBytes(rule, decodeMime)) {
        mark.fault = RuleFault::RawBytesOnly;
        mark.reason = "検索文字列に ASCII 以外の文字があります。エンコードを解読しない設定では、"
                      "エンコードされていない Shift-JIS のメールにしか一致しません";
    }
    return mark;
}

}  // namespace

std::string regexCompileError(const char* pattern, size_t length) {
    std::string error;
    if (OnigRegex regex = compileRuleRegex(pattern, length, &error))
        onig_free(regex);
    return error;
}

std::string ruleRegexError(const DistributeRule& rule) {
    if (!searchesByRegex(rule))
        return std::string();
    return regexCompileError(rule.searchText, strnlen(rule.searchText, sizeof rule.searchText));
}

bool destinationGone(const DistributeRule& rule, const std::function<bool(const char*)>& folderExists) {
    return !folderExists(rule.destFolder);
}

bool matchesOnlyRawBytes(const DistributeRule& rule, bool decodeMime) {
    return !decodeMime && hasNonAscii(rule.searchText);
}

void RuleTallies::add(const std::vector<bool>& matched) {
    bool decided = false;
    for (size_t i = 0; i < matched.size() && i < hits_.size(); ++i) {
        if (!matched[i])
            continue;
        ++candidates_[i];
        if (!decided)
            ++hits_[i];
        decided = true;
    }
}

std::vector<RuleMark> markRules(const RuleList& rules, bool decodeMime,
                                const std::function<bool(const char*)>& folderExists, const RuleTallies* tallies) {
    std::vector<RuleMark> marks;
    for (size_t i = 0; i < rules.size(); ++i)
        marks.push_back(markOf(rules[i], i, decodeMime, folderExists, tallies));
    return marks;
}

}  // namespace corvane
