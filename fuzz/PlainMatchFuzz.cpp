// Plain matching: the prepared search must agree with the literal position-by-position forms,
// for single patterns and for small rule lists over every target. Input: a flag byte, the
// pattern up to a NUL, a header name up to a NUL, then the text.
#include "tests/native/MatchingReference.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plugin/rules/RuleMatching.h"

using namespace corvane;

namespace {

std::string takeUntilNul(const uint8_t*& data, const uint8_t* end) {
    std::string out;
    while (data < end && *data)
        out += static_cast<char>(*data++);
    if (data < end)
        ++data;
    return out;
}

[[noreturn]] void differ(const char* what) {
    fprintf(stderr, "prepared and literal %s differ\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t* end = data + size;
    uint8_t flags = *data++;
    std::string pattern = takeUntilNul(data, end).substr(0, 1023);
    std::string name = takeUntilNul(data, end).substr(0, 1023);
    std::string text(reinterpret_cast<const char*>(data), static_cast<size_t>(end - data));

    DistributeRule rule;
    copyString(rule.searchText, pattern.c_str());
    copyString(rule.headerName, name.c_str());
    rule.matchCase = flags & 1;
    if (plainMatch(text.c_str(), rule) != reference::plainMatchLiteral(text.c_str(), rule))
        differ("plain matches");
    if (caseFoldFind(text.c_str(), pattern.c_str()) != reference::caseFoldFindLiteral(text.c_str(), pattern.c_str()))
        differ("folded searches");

    RuleList rules;
    for (int i = 0; i < 3; ++i) {
        DistributeRule entry = rule;
        entry.searchTarget = (flags >> (1 + 2 * i)) & 3;
        entry.matchCase = (flags >> i) & 1;
        rules.push_back(entry);
    }
    std::string buffer = text;
    int literal = reference::findMatchingRuleLiteral(rules, &buffer[0]);
    if (buffer != text)
        differ("buffers");
    if (findMatchingRule(rules, text.c_str()) != literal)
        differ("rule choices");
    return 0;
}
