#include "plugin/rules/HostRuleParse.h"

#include "plugin/common/StrUtil.h"
#include "plugin/rules/RuleText.h"

namespace corvane {

namespace {

bool splitHostRule(const char* value, char (&headerName)[1024], char (&searchText)[1024],
                   PathBuffer& folder) {
    const char* end = findFieldSeparator(value);
    if (!end || !unescapeField(value, end, headerName, sizeof headerName))
        return false;
    const char* p = end + 2;
    end = findFieldSeparator(p);
    if (!end || !unescapeField(p, end, searchText, sizeof searchText))
        return false;
    return copyString(folder, end + 2);
}

}  // namespace

bool parseHostRule(const char* value, char (&headerName)[1024], char (&searchText)[1024],
                   PathBuffer& folder) {
    if (splitHostRule(value, headerName, searchText, folder))
        return true;
    headerName[0] = '\0';
    searchText[0] = '\0';
    folder[0] = '\0';
    return false;
}

}  // namespace corvane
