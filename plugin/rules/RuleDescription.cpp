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
    return displayBytes(target + " 「" + rule.searchText + "」 " + flags + " → " + rule.destFolder);
}

}  // namespace corvane
