// Regular-expression rules: any pattern compiles or is refused cleanly, and a compiled one
// searches any text without fault, with the answer of a plain onig_search with a region.
// Input: pattern up to a NUL, then the text.
#include "tests/native/MatchingReference.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/distribute/RuleMatching.h"

using namespace corvane;

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
    if (regexSearch(text.c_str(), length, regex) != reference::regexSearchLiteral(text.c_str(), regex))
        abort();
    onig_free(regex);
    return 0;
}
