#include "plugin/rules/RuleDescription.h"

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/text/DisplayText.h"

namespace corvane {

std::string describeRule(const DistributeRule& rule) {
    std::string target;
    switch (rule.searchTarget) {
    case WholeMessage: target = "全体"; break;
    case HeaderBlock: target = "ヘッダ部"; break;
    case NamedHeader: target = std::string("ヘッダ「") + rule.headerName + "」"; break;
    default: {
        char text[32];
        formatBuffer(text, "検索対象%d", static_cast<int>(rule.searchTarget));
        target = text;
        break;
    }
    }
    std::string flags;
    if (searchesByRegex(rule))
        flags = "正規表現";
    else
        flags = rule.matchCase ? "大小区別" : "大小区別なし";
    std::string text = target + " 「" + rule.searchText + "」 " + flags + (rule.negate ? " を含まない" : "");
    if (!rule.conditions.empty())
        text += rule.anyOf ? "、またはいずれか:" : "、かつすべて:";
    for (const RuleCondition& c : rule.conditions) {
        std::string name = c.searchTarget == WholeMessage ? "全体"
                           : c.searchTarget == HeaderBlock ? "ヘッダ部"
                                                           : std::string("ヘッダ「") + c.headerName + "」";
        text += " " + name + " 「" + c.searchText + "」" + (c.useRegex ? " 正規表現" : c.matchCase ? " 大小区別" : "") +
                (c.negate ? " を含まない" : "") + ";";
    }
    return displayBytes(text + " → " + rule.destFolder);
}

}  // namespace corvane
