// Any text read as a rule value and as a further condition's value: the reader never writes
// past the record, and what it reads is written and read back to the same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/rules/RuleText.h"

using namespace corvane;

namespace {

template <size_t N>
void checkTerminated(const char (&field)[N]) {
    if (strnlen(field, N) >= N)
        abort();
}

template <size_t N>
void checkSame(const char (&a)[N], const char (&b)[N]) {
    if (strcmp(a, b) != 0)
        abort();
}

void checkCondition(const std::string& value) {
    RuleCondition condition;
    if (!parseConditionValue(value.c_str(), condition))
        return;
    checkTerminated(condition.searchText);
    checkTerminated(condition.headerName);
    if (condition.searchTarget < 0 || condition.searchTarget > 2 || condition.negate > 1 || condition.regex)
        abort();
    RuleCondition back;
    if (!parseConditionValue(formatConditionValue(condition).c_str(), back))
        abort();
    checkSame(condition.searchText, back.searchText);
    checkSame(condition.headerName, back.headerName);
    if (condition.searchTarget != back.searchTarget || condition.matchCase != back.matchCase ||
        condition.useRegex != back.useRegex || condition.negate != back.negate)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string value(reinterpret_cast<const char*>(data), size);
    checkCondition(value);
    DistributeRule rule;
    if (!parseRuleValue(value.c_str(), rule))
        return 0;
    checkTerminated(rule.searchText);
    checkTerminated(rule.headerName);
    checkTerminated(rule.destFolder);
    if (rule.matchCase > 1 || rule.useRegex > 1 || rule.regex)
        abort();

    DistributeRule back;
    if (!parseRuleValue(formatRuleValue(rule).c_str(), back))
        abort();
    checkSame(rule.searchText, back.searchText);
    checkSame(rule.headerName, back.headerName);
    checkSame(rule.destFolder, back.destFolder);
    if (rule.searchTarget != back.searchTarget || rule.matchCase != back.matchCase ||
        rule.useRegex != back.useRegex || rule.destIsTrash != back.destIsTrash)
        abort();
    return 0;
}
