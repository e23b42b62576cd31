#include "plugin/learning/RuleLearning.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/HeaderExtraction.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/rules/RuleText.h"

namespace corvane {

namespace {

constexpr size_t kBlockSlot = kLearnedHeaderCount;  // the header block, for folders no named header separates
constexpr size_t kWholeSlot = kLearnedHeaderCount + 1;  // the whole message, when the header block does not either
constexpr size_t kCandidatesPerRound = 32;
// Body lines: a whole-message rule runs over every message's text, so few are tried.
constexpr size_t kMostBodyCandidatesPerFolder = 40;

// Where one field's value lies in its slot's store: the values of a slot sit one after the
// other, each followed by a NUL, so that a search over every message runs through memory in order.
struct Span {
    uint32_t message = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
};

struct SlotStore {
    std::string bytes;
    std::vector<Span> spans;       // every message that has the field, in message order
    std::vector<int32_t> spanOf;   // per message: index in spans, or -1

    void add(uint32_t message, const char* value, size_t length) {
        spanOf[message] = static_cast<int32_t>(spans.size());
        spans.push_back({message, static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(length)});
        bytes.append(value, length);
        bytes.push_back('\0');
    }
    std::string value(uint32_t message) const {
        const Span& span = spans[static_cast<size_t>(spanOf[message])];
        return bytes.substr(span.offset, span.length);
    }
};

struct Candidate {
    size_t slot = 0;
    std::string text;
    bool matchCase = false;
    std::vector<uint32_t> positives;  // undecided messages of the folder it matches, ascending
    int negatives = 0;
    int negativesWithCase = 0;   // of them, those it matches with case as well
    std::map<int, int> clashes;  // folder (-1: messages that stay) -> messages it would wrongly take
};

// A candidate text not yet evaluated, with the number of untaken messages of the folder that
// gave it: an upper bound of what it can add, as a text found in a message is drawn from it.
struct Ranked {
    std::string key;  // slot digit and text
    size_t slot = 0;
    int count = 0;
};

// One folder's learning: its messages left to take, the candidates evaluated (valid ones in the
// pool, the others kept to explain what stays untaken) and the texts tried.
struct FolderWork {
    int folder = 0;
    std::vector<uint32_t> mine;  // its messages no existing rule decides
    size_t left = 0;             // of them, not yet taken by a suggestion
    std::vector<Candidate> pool, rejected;
    std::set<std::string> tried;
    size_t bodyTried = 0;
};

class Learner {
public:
    Learner(const LearnInput& input, LearnMonitor* monitor) : input_(input), monitor_(monitor) {}

    Learning run();

private:
    void decideByExisting(Learning& learning);
    bool splitIntoSlots();
    void learnFolder(int folder, Learning& learning);
    FolderWork startFolder(int folder, FolderLearning& result);
    bool coverRound(FolderWork& work, int phase, Learning& learning);
    size_t gainOf(const Candidate& candidate) const;
    size_t bestInPool(const FolderWork& work, size_t& bestGain) const;
    void choose(FolderWork& work, size_t best, size_t gain, Learning& learning);
    void tryCandidate(FolderWork& work, const Ranked& candidate, int phase);
    std::vector<Ranked> rank(const std::vector<uint32_t>& mine, int phase, const std::set<std::string>& tried) const;
    // Valid: takes only the folder's mail. CaseMayHelp: folded it takes other mail that the same
    // text with case would not. Useless: anything else, a text the rules file cannot hold included.
    enum Verdict { Useless, CaseMayHelp, Valid };
    Verdict evaluate(int folder, size_t slot, const std::string& text, bool matchCase, std::vector<Candidate>& pool,
                     std::vector<Candidate>& rejected);
    void explain(int folder, const std::vector<Candidate>& rejected, FolderLearning& result);
    DistributeRule ruleOf(size_t slot, const std::string& text, bool matchCase, int folder) const;
    bool proceed(LearnStage stage, size_t done, size_t total);

    const LearnInput& input_;
    LearnMonitor* monitor_;
    bool cancelled_ = false;
    std::vector<SlotStore> slots_;     // kLearnedHeaderCount named fields and the header block
    std::vector<int> existingWinner_;  // per message: index of the existing rule that decides it, or -1
    std::vector<uint32_t> undecided_;  // messages no existing rule decides
    std::vector<char> uncovered_;
};

bool Learner::proceed(LearnStage stage, size_t done, size_t total) {
    if (!cancelled_ && !proceedWith(monitor_, stage, done, total))
        cancelled_ = true;
    return !cancelled_;
}

DistributeRule Learner::ruleOf(size_t slot, const std::string& text, bool matchCase, int folder) const {
    DistributeRule rule;
    rule.searchTarget = slot == kWholeSlot ? WholeMessage : slot == kBlockSlot ? HeaderBlock : NamedHeader;
    copyString(rule.searchText, text.c_str());
    if (slot < kLearnedHeaderCount)
        copyString(rule.headerName, kLearnedHeaders[slot]);
    rule.matchCase = matchCase ? 1 : 0;
    copyString(rule.destFolder, input_.folders[static_cast<size_t>(folder)].c_str());
    finishLoadedRule(rule);
    return rule;
}

void Learner::decideByExisting(Learning& learning) {
    RuleList existing = input_.existing;
    compileRules(existing);
    PreparedRules prepared = prepareRules(existing);
    existingWinner_.assign(input_.messages.size(), -1);
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        const LearnMessage& message = input_.messages[m];
        int winner = existing.empty() ? -1 : findMatchingRule(prepared, message.text.c_str());
        existingWinner_[m] = winner;
        if (winner < 0 || message.folder < 0)
            continue;
        FolderLearning& folder = learning.folders[static_cast<size_t>(message.folder)];
        const char* dest = existing[static_cast<size_t>(winner)].destFolder;
        if (compareNoCase(dest, input_.folders[static_cast<size_t>(message.folder)].c_str()) == 0) {
            ++folder.decidedByExisting;
        } else {
            Unseparated unseparated;
            unseparated.message = m;
            unseparated.existingRule = winner + 1;
            folder.unseparated.push_back(unseparated);
        }
    }
    releaseRules(existing);
}

Learner::Verdict Learner::evaluate(int folder, size_t slot, const std::string& text, bool matchCase,
                                   std::vector<Candidate>& pool, std::vector<Candidate>& rejected) {
    DistributeRule rule = ruleOf(slot, text, matchCase, folder);
    if (!ruleFitsRecord(rule))
        return Useless;
    Candidate candidate;
    candidate.slot = slot;
    candidate.text = text;
    candidate.matchCase = matchCase;
    PlainPattern pattern = preparePattern(text.c_str(), text.size(), matchCase);
    PlainPattern withCase = preparePattern(text.c_str(), text.size(), true);
    auto consider = [&](uint32_t message, const char* field, size_t length) {
        if (!plainMatch(field, length, pattern))
            return;
        int owner = input_.messages[message].folder;
        if (owner == folder) {
            candidate.positives.push_back(message);
        } else {
            ++candidate.negatives;
            ++candidate.clashes[owner];
            if (!matchCase && plainMatch(field, length, withCase))
                ++candidate.negativesWithCase;
        }
    };
    if (slot == kWholeSlot) {
        for (uint32_t m : undecided_)
            consider(m, input_.messages[m].text.c_str(), input_.messages[m].text.size());
    } else {
        const SlotStore& store = slots_[slot];
        for (const Span& span : store.spans)
            consider(span.message, store.bytes.data() + span.offset, span.length);
    }
    if (candidate.negatives == 0 && !candidate.positives.empty()) {
        pool.push_back(std::move(candidate));
        return Valid;
    }
    bool caseMayHelp = !matchCase && candidate.negatives > 0 && candidate.negativesWithCase == 0;
    rejected.push_back(std::move(candidate));
    return caseMayHelp ? CaseMayHelp : Useless;
}

std::vector<Ranked> Learner::rank(const std::vector<uint32_t>& mine, int phase,
                                  const std::set<std::string>& tried) const {
    std::map<std::string, Ranked> counts;
    auto count = [&](size_t slot, const std::string& text) {
        std::string key = std::string(1, static_cast<char>('0' + slot)) + text;
        if (tried.count(key))
            return;
        Ranked& entry = counts[key];
        entry.key = key;
        entry.slot = slot;
        ++entry.count;
    };
    for (uint32_t m : mine) {
        if (!uncovered_[m])
            continue;
        if (phase == 0) {
            for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot)
                if (slots_[slot].spanOf[m] >= 0)
                    for (const std::string& text : candidateTexts(kLearnedHeaders[slot], slots_[slot].value(m)))
                        count(slot, text);
        } else if (phase == 1) {
            for (const std::string& text : blockCandidates(slots_[kBlockSlot].value(m)))
                count(kBlockSlot, text);
        } else {
            for (const std::string& text : bodyCandidates(input_.messages[m].text))
                count(kWholeSlot, text);
        }
    }
    std::vector<Ranked> ranked;
    for (auto& entry : counts)
        if (phase == 0 || entry.second.count >= 2)
            ranked.push_back(std::move(entry.second));
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.count != b.count)
            return a.count > b.count;
        if (a.slot != b.slot)
            return a.slot < b.slot;
        return a.key.size() > b.key.size();  // the address before its domain when both take as much
    });
    return ranked;
}

FolderWork Learner::startFolder(int folder, FolderLearning& result) {
    FolderWork work;
    work.folder = folder;
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        if (input_.messages[m].folder != folder)
            continue;
        ++result.filed;
        if (existingWinner_[m] < 0) {
            work.mine.push_back(static_cast<uint32_t>(m));
            uncovered_[m] = 1;
        }
    }
    work.left = work.mine.size();
    return work;
}

size_t Learner::gainOf(const Candidate& candidate) const {
    size_t gain = 0;
    for (uint32_t m : candidate.positives)
        gain += static_cast<size_t>(uncovered_[m]);
    return gain;
}

// The valid candidate that takes most of what is still untaken (the earlier slot on a tie);
// pool.size() when none takes anything.
size_t Learner::bestInPool(const FolderWork& work, size_t& bestGain) const {
    size_t best = work.pool.size();
    bestGain = 0;
    for (size_t i = 0; i < work.pool.size(); ++i) {
        size_t gain = gainOf(work.pool[i]);
        if (gain > bestGain || (gain == bestGain && gain > 0 && work.pool[i].slot < work.pool[best].slot)) {
            best = i;
            bestGain = gain;
        }
    }
    return best;
}

void Learner::choose(FolderWork& work, size_t best, size_t gain, Learning& learning) {
    const Candidate& chosen = work.pool[best];
    SuggestedRule suggestion;
    suggestion.rule = ruleOf(chosen.slot, chosen.text, chosen.matchCase, work.folder);
    suggestion.folder = work.folder;
    suggestion.covers = static_cast<int>(gain);
    for (uint32_t m : chosen.positives)
        uncovered_[m] = 0;
    work.left -= gain;
    FolderLearning& result = learning.folders[static_cast<size_t>(work.folder)];
    result.covered += static_cast<int>(gain);
    result.rules.push_back(learning.rules.size());
    learning.rules.push_back(suggestion);
    work.pool.erase(std::remove_if(work.pool.begin(), work.pool.end(),
                                   [&](const Candidate& candidate) { return gainOf(candidate) == 0; }),
                    work.pool.end());
}

void Learner::tryCandidate(FolderWork& work, const Ranked& candidate, int phase) {
    work.tried.insert(candidate.key);
    work.bodyTried += phase == 2;
    std::string text = candidate.key.substr(1);
    bool exact = caseMatters(text);
    // Case folded first, as a user would write it; with case only when folding alone takes
    // mail filed elsewhere.
    if (evaluate(work.folder, candidate.slot, text, exact, work.pool, work.rejected) == CaseMayHelp)
        evaluate(work.folder, candidate.slot, text, true, work.pool, work.rejected);
}

// One ranking of the folder's candidates and the cover drawn from it, lazily: the valid rule
// that takes most of what is still untaken is chosen as soon as no candidate not yet evaluated
// could take more, so most candidates are never run over the mailbox. Returns whether anything
// was evaluated or chosen; a round ends after kCandidatesPerRound evaluations, as what was taken
// since lowers the bounds.
bool Learner::coverRound(FolderWork& work, int phase, Learning& learning) {
    std::vector<Ranked> ranked = rank(work.mine, phase, work.tried);
    bool progress = false;
    size_t next = 0;
    while (work.left > 0) {
        size_t bestGain = 0;
        size_t best = bestInPool(work, bestGain);
        // Once nothing more will be evaluated, every rule in the pool may be chosen.
        bool more = next < ranked.size() && work.tried.size() < kMostCandidatesPerFolder &&
                    (phase < 2 || work.bodyTried < kMostBodyCandidatesPerFolder);
        size_t bound = more ? static_cast<size_t>(ranked[next].count) : 0;
        if (bestGain > 0 && bestGain >= bound) {
            choose(work, best, bestGain, learning);
            progress = true;
            continue;
        }
        if (!more || !proceed(LearnStage::Learning, static_cast<size_t>(work.folder), input_.folders.size()))
            break;
        tryCandidate(work, ranked[next++], phase);
        progress = true;
        if (next % kCandidatesPerRound == 0)
            break;
    }
    return progress;
}

// Greedy cover: phase 0 uses named headers; phase 1 header-block lines, phase 2 body lines (as
// whole-message rules), each shared by two or more messages that nothing before took.
void Learner::learnFolder(int folder, Learning& learning) {
    FolderLearning& result = learning.folders[static_cast<size_t>(folder)];
    FolderWork work = startFolder(folder, result);
    for (int phase = 0; phase < 3 && work.left > 0 && !cancelled_; ++phase)
        while (work.left > 0 && !cancelled_ && coverRound(work, phase, learning)) {
        }
    result.capped = work.left > 0 && work.tried.size() >= kMostCandidatesPerFolder;
    explain(folder, work.rejected, result);
    for (uint32_t m : work.mine)
        uncovered_[m] = 0;
}

// For each message left untaken: the rule that would take most of the folder, and where it
// would also take mail.
void Learner::explain(int folder, const std::vector<Candidate>& rejected, FolderLearning& result) {
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        if (input_.messages[m].folder != folder || !uncovered_[m])
            continue;
        Unseparated unseparated;
        unseparated.message = m;
        const Candidate* best = nullptr;
        for (const Candidate& candidate : rejected)
            if (candidate.negatives > 0 &&
                std::binary_search(candidate.positives.begin(), candidate.positives.end(), static_cast<uint32_t>(m)) &&
                (!best || candidate.positives.size() > best->positives.size()))
                best = &candidate;
        if (best) {
            unseparated.best = ruleOf(best->slot, best->text, best->matchCase, folder);
            for (const auto& clash : best->clashes)
                if (clash.second > unseparated.clashCount) {
                    unseparated.clashFolder = clash.first;
                    unseparated.clashCount = clash.second;
                }
        }
        result.unseparated.push_back(unseparated);
    }
}

// Each undecided message's learnt header values, and its header block, into the slot stores.
bool Learner::splitIntoSlots() {
    slots_.assign(kLearnedHeaderCount + 1, SlotStore());
    for (SlotStore& store : slots_)
        store.spanOf.assign(input_.messages.size(), -1);
    char value[kHeaderValueSize];
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        if (!proceed(LearnStage::Preparing, m, input_.messages.size()))
            return false;
        if (existingWinner_[m] >= 0)
            continue;  // the existing rules decide it whatever is learnt
        const char* text = input_.messages[m].text.c_str();
        uint32_t index = static_cast<uint32_t>(m);
        undecided_.push_back(index);
        for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot)
            if (extractHeaderValue(text, kLearnedHeaders[slot], value))
                slots_[slot].add(index, value, strlen(value));
        slots_[kBlockSlot].add(index, text, headerBlockEnd(text));
    }
    return true;
}

Learning Learner::run() {
    Learning learning;
    learning.folders.resize(input_.folders.size());
    decideByExisting(learning);
    uncovered_.assign(input_.messages.size(), 0);
    if (splitIntoSlots())
        for (size_t folder = 0; folder < input_.folders.size() && proceed(LearnStage::Learning, folder, input_.folders.size());
             ++folder)
            learnFolder(static_cast<int>(folder), learning);
    learning.cancelled = cancelled_;
    return learning;
}

}  // namespace

Learning learnRules(const LearnInput& input, LearnMonitor* monitor) {
    return Learner(input, monitor).run();
}

}  // namespace corvane
