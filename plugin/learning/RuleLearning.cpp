#include "plugin/learning/RuleLearning.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/MessageVerdict.h"
#include "plugin/rules/RuleText.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

namespace {

constexpr size_t kBlockSlot = kLearnedHeaderCount;  // the header block, for folders no named header separates
constexpr size_t kWholeSlot = kLearnedHeaderCount + 1;  // the whole message, when the header block does not either
constexpr size_t kCandidatesPerRound = 32;
// Body lines: a whole-message rule runs over every message's text, so few are tried.
constexpr size_t kMostBodyCandidatesPerFolder = 40;
// A folder no single condition separates: how many of its refused rules are tried with a further
// negated condition, how many texts for that condition each, and how many such rules it gets.
constexpr size_t kMostExcludedTried = 8;
constexpr size_t kMostExclusionTexts = 64;
constexpr size_t kMostExclusionRules = 8;

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
    std::string key;  // slot digit and text, folded where a folded rule takes all its spellings alike
    size_t slot = 0;
    int count = 0;
    int preference = 0;  // within one slot: address, domain, name, anchored name
    std::vector<std::pair<std::string, int>> spellings;  // the texts of the key, with their counts
};

// A named-header text of one message, as a candidate.
struct SlotText {
    size_t slot = 0;
    std::string text;
    std::string key;  // as in Ranked
};

// A refused rule made exact by a further condition that must not hold: its text, found in every
// message of another folder the rule takes, is found in few or none of the folder's own.
struct Exclusion {
    size_t first = 0;  // index in FolderWork::rejected
    size_t slot = 0;
    std::string text;
    bool matchCase = false;
    size_t gain = 0;      // untaken messages of the folder the pair takes
    size_t excluded = 0;  // of the folder's messages the first takes, those the further condition leaves out
    std::vector<uint32_t> positives;
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
    Learner(const LearnInput& input, LearnMonitor* monitor) : input_(input), poller_(monitor) {}

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
    bool prepareCandidates();
    std::vector<SlotText> headerTextsOf(uint32_t message) const;
    void dropCommonValues();
    std::vector<Ranked> rank(const FolderWork& work, int phase);
    // Valid: takes only the folder's mail. CaseMayHelp: folded it takes other mail that the same
    // text with case would not. Useless: anything else, a text the rules file cannot hold included.
    enum Verdict { Useless, CaseMayHelp, Valid };
    Verdict evaluate(int folder, size_t slot, const std::string& text, bool matchCase, std::vector<Candidate>& pool,
                     std::vector<Candidate>& rejected);
    void explain(const FolderWork& work, FolderLearning& result);
    bool takes(size_t slot, uint32_t message, const PlainPattern& pattern) const;
    bool intrudersOf(const Candidate& candidate, int folder, std::vector<uint32_t>& others,
                     std::vector<uint32_t>& inbox);
    std::vector<SlotText> exclusionTexts(const std::vector<uint32_t>& others, const std::vector<uint32_t>& inbox) const;
    void tryExclusions(const FolderWork& work, size_t first, Exclusion& best);
    bool judgeExclusion(const FolderWork& work, const Candidate& first, const SlotText& text,
                        const std::vector<uint32_t>& others, const std::vector<uint32_t>& inbox, size_t mostExcluded,
                        Exclusion& out);
    void separateByExclusion(FolderWork& work, Learning& learning);
    DistributeRule ruleOf(size_t slot, const std::string& text, bool matchCase, int folder) const;
    bool proceed(LearnStage stage, size_t done, size_t total) { return poller_.poll(stage, done, total); }
    bool step(LearnStage stage, size_t done, size_t total) { return poller_.step(stage, done, total); }
    bool cancelled() const { return poller_.cancelled(); }
    const std::vector<std::string>& blockTextsOf(uint32_t message);

    const LearnInput& input_;
    LearnPoller poller_;
    std::vector<SlotStore> slots_;     // kLearnedHeaderCount named fields and the header block
    std::vector<int> existingWinner_;  // per message: index of the existing rule that decides it, or -1
    std::vector<uint32_t> undecided_;  // messages no existing rule decides
    std::vector<char> uncovered_;
    std::vector<std::vector<SlotText>> headerTexts_;  // per message: its named-header candidates
    // Per message: its header-block lines as candidates, once a folder's cover needs them.
    std::vector<std::unique_ptr<std::vector<std::string>>> blockTexts_;
    // With decodeMime, per undecided message: the text whole-message rules search.
    std::vector<std::string> decoded_;
    bool waiting(size_t message) const {
        return input_.messages[message].folder < 0 && input_.messages[message].unread;
    }
    const std::string& searchedText(uint32_t message) const {
        return decoded_.empty() ? input_.messages[message].text : decoded_[message];
    }
    void addSlots(uint32_t message, MessageDecoder* decoder);
};

std::string keyOf(size_t slot, const std::string& text) {
    return std::string(1, static_cast<char>('0' + slot)) + (caseMatters(text) ? text : foldedText(text));
}

int preferenceOf(size_t slot, const std::string& text) {
    if (!isAddressSlot(slot))
        return 0;
    if (text[0] == '@')
        return 1;
    if (text.find('@') != std::string::npos)
        return 0;
    return text[0] == '"' || text.back() == '<' ? 3 : 2;
}

RuleCondition exclusionCondition(const Exclusion& exclusion) {
    RuleCondition condition;
    condition.searchTarget = NamedHeader;
    copyString(condition.searchText, exclusion.text.c_str());
    copyString(condition.headerName, kLearnedHeaders[exclusion.slot]);
    condition.matchCase = exclusion.matchCase ? 1 : 0;
    condition.negate = 1;
    return condition;
}

// Whether read inbox mail a candidate takes counts against it: see kReadInboxSharePercent.
bool readInboxCounts(int inboxRead, size_t positives, int sharePercent) {
    size_t read = static_cast<size_t>(inboxRead);
    return read * 100 > static_cast<size_t>(std::max(0, sharePercent)) * (positives + read);
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
    const RuleList& existing = input_.existing;
    MessageJudge judge(existing, VerdictOptions{true, input_.options.decodeMime});
    existingWinner_.assign(input_.messages.size(), -1);
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        const LearnMessage& message = input_.messages[m];
        if (!step(LearnStage::Deciding, m, input_.messages.size()))
            return;
        int winner = existing.empty() || message.unread ? -1 : judge.firstMatch(message.text.c_str());
        existingWinner_[m] = winner;
        if (winner < 0 || message.folder < 0)
            continue;
        FolderLearning& folder = learning.folders[static_cast<size_t>(message.folder)];
        if (staysIn(existing[static_cast<size_t>(winner)], input_.folders[static_cast<size_t>(message.folder)].c_str())) {
            ++folder.decidedByExisting;
        } else {
            Unseparated unseparated;
            unseparated.message = m;
            unseparated.existingRule = winner + 1;
            folder.unseparated.push_back(unseparated);
        }
    }
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
    int inboxRead = 0, inboxReadWithCase = 0;
    auto consider = [&](uint32_t message, const char* field, size_t length) {
        if (!plainMatch(field, length, pattern))
            return;
        int owner = input_.messages[message].folder;
        if (owner == folder) {
            candidate.positives.push_back(message);
        } else if (owner < 0) {
            ++inboxRead;
            inboxReadWithCase += !matchCase && plainMatch(field, length, withCase);
        } else {
            ++candidate.negatives;
            ++candidate.clashes[owner];
            if (!matchCase && plainMatch(field, length, withCase))
                ++candidate.negativesWithCase;
        }
    };
    size_t total = input_.folders.size(), at = static_cast<size_t>(folder);
    if (slot == kWholeSlot) {
        for (size_t i = 0; i < undecided_.size() && step(LearnStage::Learning, at, total); ++i)
            consider(undecided_[i], searchedText(undecided_[i]).c_str(), searchedText(undecided_[i]).size());
    } else {
        const SlotStore& store = slots_[slot];
        for (size_t i = 0; i < store.spans.size() && step(LearnStage::Learning, at, total); ++i)
            consider(store.spans[i].message, store.bytes.data() + store.spans[i].offset, store.spans[i].length);
    }
    if (readInboxCounts(inboxRead, candidate.positives.size(), input_.options.readInboxSharePercent)) {
        candidate.negatives += inboxRead;
        candidate.negativesWithCase += inboxReadWithCase;
        candidate.clashes[-1] = inboxRead;
    }
    if (cancelled())
        return Useless;  // a candidate run over part of the mail proves nothing
    if (candidate.negatives == 0 && !candidate.positives.empty()) {
        pool.push_back(std::move(candidate));
        return Valid;
    }
    bool caseMayHelp = !matchCase && candidate.negatives > 0 && candidate.negativesWithCase == 0;
    rejected.push_back(std::move(candidate));
    return caseMayHelp ? CaseMayHelp : Useless;
}

std::vector<Ranked> Learner::rank(const FolderWork& work, int phase) {
    const std::set<std::string>& tried = work.tried;
    std::map<std::string, Ranked> counts;
    auto count = [&](size_t slot, const std::string& text, const std::string& key) {
        if (tried.count(key))
            return;
        Ranked& entry = counts[key];
        entry.key = key;
        entry.slot = slot;
        entry.preference = preferenceOf(slot, text);
        ++entry.count;
        auto spelling = std::find_if(entry.spellings.begin(), entry.spellings.end(),
                                     [&](const std::pair<std::string, int>& known) { return known.first == text; });
        if (spelling == entry.spellings.end())
            entry.spellings.emplace_back(text, 1);
        else
            ++spelling->second;
    };
    for (uint32_t m : work.mine) {
        if (!uncovered_[m])
            continue;
        if (!step(LearnStage::Learning, static_cast<size_t>(work.folder), input_.folders.size()))
            break;
        if (phase == 0) {
            for (const SlotText& text : headerTexts_[m])
                count(text.slot, text.text, text.key);
        } else if (phase == 1) {
            for (const std::string& text : blockTextsOf(m))
                count(kBlockSlot, text, keyOf(kBlockSlot, text));
        } else {
            for (const std::string& text : bodyCandidates(searchedText(m)))
                count(kWholeSlot, text, keyOf(kWholeSlot, text));
        }
    }
    // A text fewer messages give than a rule must rest on can never be proposed.
    int least = std::max(input_.options.leastEvidence, phase == 0 ? 1 : 2);
    std::vector<Ranked> ranked;
    for (auto& entry : counts) {
        if (entry.second.count < least)
            continue;
        // The most frequent spelling names the rule; on a tie, the one in lower case.
        std::stable_sort(entry.second.spellings.begin(), entry.second.spellings.end(),
                         [](const std::pair<std::string, int>& a, const std::pair<std::string, int>& b) {
                             if (a.second != b.second)
                                 return a.second > b.second;
                             return a.first == foldedText(a.first) && b.first != foldedText(b.first);
                         });
        ranked.push_back(std::move(entry.second));
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.count != b.count)
            return a.count > b.count;
        if (a.slot != b.slot)
            return a.slot < b.slot;
        if (a.preference != b.preference)
            return a.preference < b.preference;
        return a.key.size() > b.key.size();
    });
    return ranked;
}

// A message's header-block lines, taken apart once however many rounds rank them.
const std::vector<std::string>& Learner::blockTextsOf(uint32_t message) {
    if (blockTexts_.empty())
        blockTexts_.resize(input_.messages.size());
    std::unique_ptr<std::vector<std::string>>& texts = blockTexts_[message];
    if (!texts)
        texts.reset(new std::vector<std::string>(blockCandidates(slots_[kBlockSlot].value(message))));
    return *texts;
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
    const std::string& text = candidate.spellings.front().first;
    bool exact = caseMatters(text);
    // Case folded first, as a user would write it, which takes every spelling alike; with case
    // only when folding alone takes mail filed elsewhere, each spelling on its own.
    Verdict verdict = evaluate(work.folder, candidate.slot, text, exact, work.pool, work.rejected);
    if (verdict == Valid || exact || (verdict == Useless && candidate.spellings.size() == 1))
        return;
    for (const auto& spelling : candidate.spellings)
        evaluate(work.folder, candidate.slot, spelling.first, true, work.pool, work.rejected);
}

// One ranking of the folder's candidates and the cover drawn from it, lazily: the valid rule
// that takes most of what is still untaken is chosen as soon as no candidate not yet evaluated
// could take more, so most candidates are never run over the mailbox. Returns whether anything
// was evaluated or chosen; a round ends after kCandidatesPerRound evaluations, as what was taken
// since lowers the bounds.
bool Learner::coverRound(FolderWork& work, int phase, Learning& learning) {
    std::vector<Ranked> ranked = rank(work, phase);
    if (cancelled())
        return false;
    bool progress = false;
    size_t next = 0;
    while (work.left > 0) {
        size_t bestGain = 0;
        size_t best = bestInPool(work, bestGain);
        // Once nothing more will be evaluated, every rule in the pool may be chosen.
        bool more = next < ranked.size() && work.tried.size() < kMostCandidatesPerFolder &&
                    (phase < 2 || work.bodyTried < kMostBodyCandidatesPerFolder);
        size_t bound = more ? static_cast<size_t>(ranked[next].count) : 0;
        if (bestGain >= static_cast<size_t>(std::max(1, input_.options.leastEvidence)) && bestGain >= bound) {
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
    for (int phase = 0; phase < 3 && work.left > 0 && !cancelled(); ++phase)
        while (work.left > 0 && !cancelled() && coverRound(work, phase, learning)) {
        }
    if (work.left > 0 && !cancelled())
        separateByExclusion(work, learning);
    result.capped = work.left > 0 && work.tried.size() >= kMostCandidatesPerFolder;
    explain(work, result);
    for (uint32_t m : work.mine)
        uncovered_[m] = 0;
}

// For each message left untaken: the rule that would take most of the folder, and where it
// would also take mail.
void Learner::explain(const FolderWork& work, FolderLearning& result) {
    for (uint32_t m : work.mine) {
        if (!uncovered_[m])
            continue;
        if (!step(LearnStage::Learning, static_cast<size_t>(work.folder), input_.folders.size()))
            return;
        Unseparated unseparated;
        unseparated.message = m;
        auto holds = [&](const Candidate& candidate) {
            return std::binary_search(candidate.positives.begin(), candidate.positives.end(), m);
        };
        const Candidate* best = nullptr;
        for (const Candidate& candidate : work.rejected)
            if (candidate.negatives > 0 && holds(candidate) &&
                (!best || candidate.positives.size() > best->positives.size()))
                best = &candidate;
        const Candidate* clean = nullptr;
        for (const Candidate& candidate : work.pool)
            if (holds(candidate) && (!clean || gainOf(candidate) > gainOf(*clean)))
                clean = &candidate;
        if (best) {
            unseparated.best = ruleOf(best->slot, best->text, best->matchCase, work.folder);
            for (const auto& clash : best->clashes)
                if (clash.second > unseparated.clashCount) {
                    unseparated.clashFolder = clash.first;
                    unseparated.clashCount = clash.second;
                }
        } else if (clean) {
            unseparated.best = ruleOf(clean->slot, clean->text, clean->matchCase, work.folder);
            unseparated.evidence = static_cast<int>(gainOf(*clean));
        } else {
            unseparated.tooFew = !headerTexts_[m].empty();
        }
        result.unseparated.push_back(unseparated);
    }
}

// Whether the undecided message's field of a named-header slot holds the pattern.
bool Learner::takes(size_t slot, uint32_t message, const PlainPattern& pattern) const {
    const SlotStore& store = slots_[slot];
    int32_t span = store.spanOf[message];
    if (span < 0)
        return false;
    const Span& at = store.spans[static_cast<size_t>(span)];
    return plainMatch(store.bytes.data() + at.offset, at.length, pattern);
}

// The messages a refused rule takes besides its folder's: filed elsewhere, and read in the inbox.
bool Learner::intrudersOf(const Candidate& candidate, int folder, std::vector<uint32_t>& others,
                          std::vector<uint32_t>& inbox) {
    PlainPattern pattern = preparePattern(candidate.text.c_str(), candidate.text.size(), candidate.matchCase);
    for (size_t i = 0; i < undecided_.size(); ++i) {
        if (!step(LearnStage::Learning, static_cast<size_t>(folder), input_.folders.size()))
            return false;
        uint32_t m = undecided_[i];
        int owner = input_.messages[m].folder;
        if (owner != folder && takes(candidate.slot, m, pattern))
            (owner < 0 ? inbox : others).push_back(m);
    }
    return true;
}

// The named-header texts every intruder filed elsewhere gives (with none, those the inbox
// intruders give), most often given first.
std::vector<SlotText> Learner::exclusionTexts(const std::vector<uint32_t>& others,
                                              const std::vector<uint32_t>& inbox) const {
    const std::vector<uint32_t>& from = others.empty() ? inbox : others;
    std::map<std::string, std::pair<SlotText, size_t>> counts;
    for (uint32_t m : from) {
        std::set<std::string> seen;
        for (const SlotText& text : headerTexts_[m])
            if (seen.insert(text.key).second) {
                auto& entry = counts.emplace(text.key, std::make_pair(text, size_t(0))).first->second;
                ++entry.second;
            }
    }
    std::vector<std::pair<SlotText, size_t>> ranked;
    for (auto& entry : counts)
        if (others.empty() || entry.second.second == others.size())
            ranked.push_back(std::move(entry.second));
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const std::pair<SlotText, size_t>& a, const std::pair<SlotText, size_t>& b) {
                         return a.second > b.second;
                     });
    std::vector<SlotText> out;
    for (size_t i = 0; i < ranked.size() && i < kMostExclusionTexts; ++i)
        out.push_back(std::move(ranked[i].first));
    return out;
}

// Whether the first rule with the text as a condition that must not hold takes no mail of
// another folder, read inbox mail only within its share, and enough of the folder's own; false as
// soon as it leaves out more than mostExcluded of the folder's messages.
bool Learner::judgeExclusion(const FolderWork& work, const Candidate& first, const SlotText& text,
                             const std::vector<uint32_t>& others, const std::vector<uint32_t>& inbox,
                             size_t mostExcluded, Exclusion& out) {
    bool matchCase = caseMatters(text.text);
    PlainPattern pattern = preparePattern(text.text.c_str(), text.text.size(), matchCase);
    size_t at = static_cast<size_t>(work.folder), total = input_.folders.size();
    for (uint32_t m : others)
        if (!step(LearnStage::Learning, at, total) || !takes(text.slot, m, pattern))
            return false;
    int inboxLeft = 0;
    for (uint32_t m : inbox) {
        if (!step(LearnStage::Learning, at, total))
            return false;
        inboxLeft += !takes(text.slot, m, pattern);
    }
    out = Exclusion();
    for (uint32_t m : first.positives) {
        if (!step(LearnStage::Learning, at, total))
            return false;
        if (!takes(text.slot, m, pattern)) {
            out.positives.push_back(m);
            out.gain += static_cast<size_t>(uncovered_[m]);
        } else if (++out.excluded > mostExcluded) {
            return false;
        }
    }
    if (readInboxCounts(inboxLeft, out.positives.size(), input_.options.readInboxSharePercent) ||
        out.gain < static_cast<size_t>(std::max(1, input_.options.leastEvidence)))
        return false;
    out.slot = text.slot;
    out.text = text.text;
    out.matchCase = matchCase;
    return true;
}

// The simplest further condition for one refused rule, kept in best when it takes more than best
// does: the fewest of the folder's own messages left out, then the shortest text.
void Learner::tryExclusions(const FolderWork& work, size_t first, Exclusion& best) {
    const Candidate& candidate = work.rejected[first];
    std::vector<uint32_t> others, inbox;
    if (!intrudersOf(candidate, work.folder, others, inbox) || (others.empty() && inbox.empty()))
        return;
    bool found = false;
    Exclusion simplest;
    for (const SlotText& text : exclusionTexts(others, inbox)) {
        Exclusion tried;
        size_t mostExcluded = found ? simplest.excluded : candidate.positives.size();
        if (!judgeExclusion(work, candidate, text, others, inbox, mostExcluded, tried))
            continue;
        if (!found || tried.excluded < simplest.excluded ||
            (tried.excluded == simplest.excluded && tried.text.size() < simplest.text.size())) {
            simplest = std::move(tried);
            found = true;
        }
    }
    simplest.first = first;
    if (found && (best.positives.empty() || simplest.gain > best.gain) &&
        ruleFitsRecord(ruleOf(candidate.slot, candidate.text, candidate.matchCase, work.folder)) &&
        conditionFitsRecord(exclusionCondition(simplest)))
        best = std::move(simplest);
}

// Rules of two conditions for what no single one takes alone: a refused rule that takes most of
// the folder's untaken mail, with the text every intruder gives as a condition that must not hold.
void Learner::separateByExclusion(FolderWork& work, Learning& learning) {
    size_t least = static_cast<size_t>(std::max(1, input_.options.leastEvidence));
    for (size_t made = 0; made < kMostExclusionRules && work.left >= least && !cancelled(); ++made) {
        std::vector<std::pair<size_t, size_t>> order;  // gain, index in rejected
        for (size_t r = 0; r < work.rejected.size(); ++r) {
            if (work.rejected[r].slot >= kLearnedHeaderCount)
                continue;  // named headers only: a header-block or body rule would be run over all the mail again
            size_t gain = gainOf(work.rejected[r]);
            if (gain >= least)
                order.emplace_back(gain, r);
        }
        std::stable_sort(order.begin(), order.end(), [](const std::pair<size_t, size_t>& a,
                                                        const std::pair<size_t, size_t>& b) { return a.first > b.first; });
        Exclusion best;
        for (size_t i = 0; i < order.size() && i < kMostExcludedTried && !cancelled(); ++i)
            if (order[i].first > best.gain)
                tryExclusions(work, order[i].second, best);
        if (best.positives.empty() || cancelled())
            return;
        const Candidate& first = work.rejected[best.first];
        SuggestedRule suggestion;
        suggestion.rule = ruleOf(first.slot, first.text, first.matchCase, work.folder);
        suggestion.rule.conditions.push_back(exclusionCondition(best));
        suggestion.folder = work.folder;
        suggestion.covers = static_cast<int>(best.gain);
        for (uint32_t m : best.positives)
            uncovered_[m] = 0;
        work.left -= best.gain;
        FolderLearning& result = learning.folders[static_cast<size_t>(work.folder)];
        result.covered += static_cast<int>(best.gain);
        result.rules.push_back(learning.rules.size());
        learning.rules.push_back(suggestion);
    }
}

// One undecided message's learnt header values, and its header block, into the slot stores,
// as a run compares them.
void Learner::addSlots(uint32_t message, MessageDecoder* decoder) {
    const char* text = input_.messages[message].text.c_str();
    char value[kHeaderValueSize];
    for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot) {
        if (!runHeaderValue(text, kLearnedHeaders[slot], decoder, value))
            continue;
        if (!decoder && input_.options.decoder) {
            std::string decoded = input_.options.decoder->decodeHeader(value);
            slots_[slot].add(message, decoded.c_str(), strlen(decoded.c_str()));
        } else {
            slots_[slot].add(message, value, strlen(value));
        }
    }
    if (decoder) {
        size_t length = 0;
        const char* whole = decoder->decodeMessage(text, &length);
        decoded_[message].assign(whole, length);
    }
    const std::string& searched = searchedText(message);
    slots_[kBlockSlot].add(message, searched.c_str(), headerBlockEnd(searched.c_str()));
}

bool Learner::splitIntoSlots() {
    slots_.assign(kLearnedHeaderCount + 1, SlotStore());
    for (SlotStore& store : slots_)
        store.spanOf.assign(input_.messages.size(), -1);
    std::unique_ptr<MessageDecoder> decoder(input_.options.decodeMime ? new MessageDecoder : nullptr);
    if (decoder)
        decoded_.assign(input_.messages.size(), std::string());
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        if (!proceed(LearnStage::Preparing, m, input_.messages.size()))
            return false;
        if (existingWinner_[m] >= 0 || waiting(m))
            continue;  // the existing rules decide it whatever is learnt; unread inbox mail tells nothing
        uint32_t index = static_cast<uint32_t>(m);
        undecided_.push_back(index);
        addSlots(index, decoder.get());
    }
    return true;
}

std::vector<SlotText> Learner::headerTextsOf(uint32_t message) const {
    bool listed = false;
    for (size_t slot = 0; slot < kListHeaderSlots; ++slot)
        listed = listed || slots_[slot].spanOf[message] >= 0;
    std::vector<SlotText> out;
    for (size_t slot = 0; slot < kLearnedHeaderCount; ++slot) {
        if (slots_[slot].spanOf[message] < 0 ||
            (listed && input_.options.preferListHeaders && slot >= kFirstRecipientSlot && slot < kRecipientSlotEnd))
            continue;
        std::string value = slots_[slot].value(message);
        for (std::string& text : candidateTexts(kLearnedHeaders[slot], value))
            out.push_back({slot, text, keyOf(slot, text)});
        if (slot == kFromSlot)
            for (std::string& text : displayNameTexts(value))
                out.push_back({slot, text, keyOf(slot, text)});
    }
    return out;
}

// What every folder's mail has names no folder: see LearnOptions::skipCommonValues.
void Learner::dropCommonValues() {
    std::unordered_map<std::string, std::vector<int>> spread;  // key -> folders whose mail gives it
    std::set<int> holding;
    auto note = [&](const std::string& key, int folder) {
        std::vector<int>& folders = spread[key];
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    };
    // An address, and a domain, count in whichever address header they are found; a domain also
    // where an address of it is found, so the owner's domain goes with the owner's address.
    auto familyKeys = [](const SlotText& text) {
        size_t at = text.text.find('@');
        if (!isAddressSlot(text.slot) || at == std::string::npos)
            return std::pair<std::string, std::string>();
        std::string folded = foldedText(text.text);
        return std::make_pair((at == 0 ? "=" : "@") + folded, "=" + folded.substr(at));
    };
    for (uint32_t m : undecided_) {
        if (!step(LearnStage::Preparing, m, input_.messages.size()))
            return;
        int folder = input_.messages[m].folder;
        holding.insert(folder);
        for (const SlotText& text : headerTexts_[m]) {
            note(text.key, folder);
            std::pair<std::string, std::string> family = familyKeys(text);
            if (!family.first.empty()) {
                note(family.first, folder);
                note(family.second, folder);
            }
        }
    }
    size_t most = std::max<size_t>(3, holding.size() / 2 + 1);
    auto common = [&](const std::string& key) {
        auto found = spread.find(key);
        return found != spread.end() && found->second.size() >= most;
    };
    for (uint32_t m : undecided_) {
        if (!step(LearnStage::Preparing, m, input_.messages.size()))
            return;
        std::vector<SlotText>& texts = headerTexts_[m];
        texts.erase(std::remove_if(texts.begin(), texts.end(),
                                   [&](const SlotText& text) {
                                       return common(text.key) || common(familyKeys(text).first);
                                   }),
                    texts.end());
    }
}

bool Learner::prepareCandidates() {
    headerTexts_.assign(input_.messages.size(), std::vector<SlotText>());
    for (size_t i = 0; i < undecided_.size(); ++i) {
        if (!proceed(LearnStage::Preparing, i, undecided_.size()))
            return false;
        headerTexts_[undecided_[i]] = headerTextsOf(undecided_[i]);
    }
    if (input_.options.skipCommonValues)
        dropCommonValues();
    return !cancelled();
}

Learning Learner::run() {
    Learning learning;
    learning.folders.resize(input_.folders.size());
    decideByExisting(learning);
    learning.existingWinners = existingWinner_;
    uncovered_.assign(input_.messages.size(), 0);
    if (!cancelled() && splitIntoSlots() && prepareCandidates())
        for (size_t folder = 0; folder < input_.folders.size() && proceed(LearnStage::Learning, folder, input_.folders.size());
             ++folder)
            learnFolder(static_cast<int>(folder), learning);
    learning.cancelled = cancelled();
    return learning;
}

}  // namespace

UnseparatedReason unseparatedReason(const FolderLearning& folder, const Unseparated& why) {
    if (why.existingRule > 0)
        return UnseparatedReason::ExistingRuleFirst;
    if (why.tooFew)
        return UnseparatedReason::TooFew;
    if (why.best.searchText[0] == '\0')
        return folder.capped ? UnseparatedReason::CandidateLimit : UnseparatedReason::NoUsableHeader;
    return why.clashFolder == -2 ? UnseparatedReason::UnderMinimum : UnseparatedReason::Clash;
}

Learning learnRules(const LearnInput& input, LearnMonitor* monitor) {
    return Learner(input, monitor).run();
}

}  // namespace corvane
