// Regular-expression rules: any pattern compiles or is refused cleanly, and a compiled one
// searches any text without fault, with the answer of a plain onig_search with a region, unless
// the search ran past its retry or step limit, where no match is the answer.
// Input: pattern up to a NUL, then the text.
#include "tests/native/MatchingReference.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/rules/RuleMatching.h"

using namespace corvane;

namespace {

bool endsAtTheLimits(const std::string& text, OnigRegex regex) {
    OnigMatchParam* param = onig_new_match_param();
    onig_initialize_match_param(param);
    onig_set_retry_limit_in_search_of_match_param(param, kRegexRetryLimitInSearch);
    onig_set_step_limit_in_search_of_match_param(param, kRegexStepLimitInSearch);
    const OnigUChar* start = reinterpret_cast<const OnigUChar*>(text.c_str());
    const OnigUChar* end = start + strlen(text.c_str());
    int result = onig_search_with_param(regex, start, end, start, end, nullptr, ONIG_OPTION_NONE, param);
    onig_free_match_param(param);
    return result == ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER || result == ONIGERR_RETRY_LIMIT_IN_MATCH_OVER;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t patternLength = size ? strnlen(bytes, size) : 0;
    if (patternLength > 200)
        return 0;
    std::string pattern(bytes, patternLength);
    std::string text = patternLength < size ? std::string(bytes + patternLength + 1, size - patternLength - 1) : "";
    if (text.size() > 4096)
        text.resize(4096);
    OnigRegex regex = compileRuleRegex(pattern.c_str());
    if (!regex)
        return 0;
    size_t length = strlen(text.c_str());
    bool found = regexSearch(text.c_str(), length, regex);
    if (found != reference::regexSearchLiteral(text.c_str(), regex) && (found || !endsAtTheLimits(text, regex)))
        abort();
    onig_free(regex);
    return 0;
}
