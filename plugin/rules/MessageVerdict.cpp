#include "plugin/rules/MessageVerdict.h"

#include "plugin/common/StrUtil.h"

namespace corvane {

MessageJudge::MessageJudge(const RuleList& rules, const VerdictOptions& options)
    : owned_(rules), rules_(&owned_), ownsRules_(true), unreadMail_(options.unreadMail),
      ownDecoder_(options.decodeMime ? new MessageDecoder : nullptr), decoder_(ownDecoder_.get()) {
    // A copy shares the caller's handles: they are dropped before compiling our own.
    for (DistributeRule& rule : owned_) {
        rule.regex = nullptr;
        for (RuleCondition& condition : rule.conditions)
            condition.regex = nullptr;
    }
    compileRules(owned_);
    prepared_ = prepareRules(owned_);
}

MessageJudge::MessageJudge(const RuleList& compiledRules, bool unreadMail, MessageDecoder* decoder)
    : rules_(&compiledRules), unreadMail_(unreadMail), decoder_(decoder), prepared_(prepareRules(compiledRules)) {}

MessageJudge::~MessageJudge() {
    if (ownsRules_)
        releaseRules(owned_);
}

Verdict MessageJudge::judge(const char* text, bool unread, std::vector<RuleTrace>* why) const {
    Verdict verdict;
    verdict.taken = takes(unread);
    if (why)
        why->assign(prepared_.rules.size(), RuleTrace());
    if ((!verdict.taken && !why) || !text)
        return verdict;
    SearchedMessage searched(text, decoder_, &prepared_);
    for (size_t i = 0; i < prepared_.rules.size(); ++i) {
        int decidedBy = 0;
        bool matched = ruleMatches(prepared_, i, searched, &decidedBy);
        if (matched && verdict.rule < 0)
            verdict.rule = static_cast<int>(i);
        if (!why) {
            if (matched)
                break;
            continue;
        }
        RuleTrace& trace = (*why)[i];
        trace.matched = matched;
        trace.decidedBy = decidedBy;
        trace.held = conditionResults(prepared_, i, searched);
        size_t length = 0;
        const char* compared = searched.comparedText(i, &length);
        trace.compared = compared != nullptr;
        if (compared)
            trace.text.assign(compared, length);
    }
    return verdict;
}

bool staysIn(const DistributeRule& rule, const char* folder) {
    return compareNoCase(rule.destFolder, folder) == 0;
}

std::vector<bool> MessageJudge::matchEach(const char* text) const {
    std::vector<bool> matched(prepared_.rules.size(), false);
    if (!text)
        return matched;
    SearchedMessage searched(text, decoder_, &prepared_);
    for (size_t i = 0; i < prepared_.rules.size(); ++i)
        matched[i] = ruleMatches(prepared_, i, searched);
    return matched;
}

RunRefusal checkBeforeRun(const RuleList& rules, const std::function<bool(const char*)>& folderExists) {
    RunRefusal refusal;
    if (rules.empty()) {
        refusal.kind = RunRefusal::NoRules;
        return refusal;
    }
    for (size_t i = 0; i < rules.size(); ++i)
        if (!folderExists(rules[i].destFolder)) {
            refusal.kind = RunRefusal::DestinationGone;
            refusal.rule = static_cast<int>(i + 1);
            break;
        }
    return refusal;
}

}  // namespace corvane
