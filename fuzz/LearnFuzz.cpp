// Learning on hostile mail: candidate texts are texts a plain rule can hold, dates parse or are
// refused, and whatever rules are learnt from a few messages never take a message of another
// folder, nor inbox mail when no share of read inbox mail is allowed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/learning/Holdout.h"
#include "plugin/learning/LearnCandidates.h"
#include "plugin/learning/RuleLearning.h"
#include "plugin/rules/RuleMatching.h"

using namespace corvane;

namespace {

void checkTexts(const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
        if (text.size() < 2 || text.size() >= sizeof(DistributeRule().searchText) || text[0] == '^' ||
            text.back() == '$' || text.find('\0') != std::string::npos)
            abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string value = bytes.substr(0, bytes.find('\n'));
    for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot)
        checkTexts(candidateTexts(kLearnedHeaders[slot], value));
    checkTexts(displayNameTexts(value));
    if (foldedText(value).size() != value.size())
        abort();
    mailDateSeconds(value);

    // The messages: the input cut at each "\x01", each filed by its first byte.
    LearnInput input;
    input.folders = {"Main\\User001.box", "Main\\User002.box"};
    size_t start = 0;
    while (start < bytes.size() && input.messages.size() < 12) {
        size_t end = bytes.find('\x01', start);
        std::string text = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        text = text.substr(0, text.find('\0'));
        if (!text.empty()) {
            int folder = static_cast<unsigned char>(text[0]) % 3 - 1;
            bool unread = folder < 0 && (static_cast<unsigned char>(text[0]) & 0x80) != 0;
            input.messages.push_back({text.substr(1), folder, unread});
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    input.options.leastEvidence = 1 + static_cast<int>(size % 3);
    bool strictInbox = size % 2 == 0;
    if (strictInbox)
        input.options.readInboxSharePercent = 0;
    Learning learning = learnRules(input);
    RuleList rules;
    for (const SuggestedRule& suggestion : learning.rules)
        rules.push_back(suggestion.rule);
    for (const LearnMessage& message : input.messages) {
        int winner = findMatchingRule(rules, message.text.c_str());
        if (winner < 0 || learning.rules[static_cast<size_t>(winner)].folder == message.folder)
            continue;
        if (message.folder >= 0 || (strictInbox && !message.unread))
            abort();
    }
    size_t waiting = 0;
    for (const LearnMessage& message : input.messages)
        waiting += message.unread;
    HoldoutSplit split = splitNewest(input);
    if (split.heldOut.size() + split.learnt.messages.size() + waiting != input.messages.size())
        abort();
    return 0;
}
