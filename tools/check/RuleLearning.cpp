#include "tools/check/RuleLearning.h"

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

// In the order a rule on them is preferred when two cover the same messages: list headers
// name a stream best, the subject least.
const char* const kLearnedHeaders[] = {"List-Id:", "X-ML-Name:", "X-Mailing-List:", "Sender:", "From:",
                                       "To:",      "Cc:",        "Delivered-To:",   "Subject:"};
const size_t kLearnedHeaderCount = sizeof kLearnedHeaders / sizeof kLearnedHeaders[0];

namespace {

constexpr size_t kBlockSlot = kLearnedHeaderCount;  // the header block, for folders no named header separates
constexpr size_t kWholeSlot = kLearnedHeaderCount + 1;  // the whole message, when the header block does not either
constexpr size_t kCandidatesPerRound = 32;
constexpr size_t kLongestBlockLine = 200;
// Body lines: a whole-message rule runs over every message's text, so few are tried, and only
// lines long enough to say something (a list's footer, a sender's signature).
constexpr size_t kMostBodyCandidatesPerFolder = 40;
constexpr size_t kShortestBodyLine = 8;
constexpr size_t kLongestBodyLine = 120;
constexpr size_t kBodyLinesLookedAt = 200;

// Header lines that differ from message to message or tell nothing of where mail comes from:
// a header-block rule on them would only fit the messages it was learnt from.
const char* const kNoiseHeaders[] = {"Date:",     "Message-ID:",   "Received:",     "Return-Path:",
                                     "X-ML-Count:", "In-Reply-To:", "References:", "Content-Length:"};

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Index of the first byte c at or after from that is a character of its own, not the second
// byte of a double-byte character; npos when none.
size_t findSjis(const std::string& text, char c, size_t from = 0) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (isSjisLeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        if (i >= from && text[i] == c)
            return i;
    }
    return std::string::npos;
}

// Printable ASCII, half-width katakana and whole double-byte characters only.
bool printableSjis(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F)
            continue;
        if (c >= 0xA1 && c <= 0xDF)
            continue;
        if (!isSjisLeadByte(c) || i + 1 >= text.size())
            return false;
        unsigned char second = static_cast<unsigned char>(text[++i]);
        if (second < 0x40 || second == 0x7F || second > 0xFC)
            return false;
    }
    return true;
}

std::string trimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(begin, end - begin);
}

void addText(std::vector<std::string>& out, std::string text) {
    text = trimBlanks(text);
    if (text.size() < 2 || text.size() >= sizeof(DistributeRule().searchText) || text[0] == '^' ||
        text.back() == '$' || !printableSjis(text))
        return;
    if (std::find(out.begin(), out.end(), text) == out.end())
        out.push_back(text);
}

// The addresses of an address list: inside "<...>" where there is one, else the word with "@".
std::vector<std::string> addressesOf(const std::string& value) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = findSjis(value, ',', start);
        std::string part = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t open = findSjis(part, '<');
        size_t close = open == std::string::npos ? std::string::npos : findSjis(part, '>', open);
        std::string address;
        if (close != std::string::npos) {
            address = part.substr(open + 1, close - open - 1);
        } else {
            size_t at = findSjis(part, '@');
            if (at != std::string::npos) {
                size_t begin = part.rfind(' ', at), end = part.find(' ', at);
                begin = begin == std::string::npos ? 0 : begin + 1;
                address = part.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
            }
        }
        address = trimBlanks(address);
        if (findSjis(address, '@') != std::string::npos)
            out.push_back(address);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

// "[name:0123]" and "(name 12)" become "[name:" and "(name": the number changes with every
// message of a list. A tag that is only a number gives nothing.
std::string subjectTagText(const std::string& tag) {
    std::string inner = tag.substr(1, tag.size() - 2);
    size_t end = inner.size();
    while (end > 0 && inner[end - 1] >= '0' && inner[end - 1] <= '9')
        --end;
    if (end == inner.size())
        return tag;
    if (end == 0)
        return std::string();
    char separator = inner[end - 1];
    if (separator != ':' && separator != ' ' && separator != '-' && separator != '#' && separator != '_' &&
        separator != ',')
        return std::string();
    return tag.substr(0, 1) + inner.substr(0, end);
}

void subjectCandidates(const std::string& value, std::vector<std::string>& out) {
    size_t p = 0;
    for (bool again = true; again;) {
        again = false;
        while (p < value.size() && value[p] == ' ')
            ++p;
        for (const char* prefix : {"Re:", "Fwd:", "Fw:"}) {
            size_t n = strlen(prefix);
            if (value.size() - p >= n && compareNoCase(value.c_str() + p, prefix, n) == 0) {
                p += n;
                again = true;
            }
        }
    }
    std::string rest = value.substr(p);
    std::string tag;
    if (!rest.empty() && (rest[0] == '[' || rest[0] == '(')) {
        size_t close = findSjis(rest, rest[0] == '[' ? ']' : ')');
        if (close != std::string::npos)
            tag = subjectTagText(rest.substr(0, close + 1));
    } else if (rest.compare(0, 2, "\x81\x79") == 0) {  // 【
        for (size_t i = 2; i + 1 < rest.size(); ++i) {
            if (rest.compare(i, 2, "\x81\x7A") == 0) {  // 】
                tag = rest.substr(0, i + 2);
                break;
            }
            if (isSjisLeadByte(static_cast<unsigned char>(rest[i])))
                ++i;
        }
    }
    if (!tag.empty())
        addText(out, tag);
    // Otherwise the first word, which for an encoded subject is its first encoded word whole.
    bool bracketed = !rest.empty() && (rest[0] == '[' || rest[0] == '(' || rest.compare(0, 2, "\x81\x79") == 0);
    std::string word = rest.substr(0, findSjis(rest, ' '));
    if (!bracketed && word.size() >= 4)
        addText(out, word);
}

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

// The first physical lines of the header block as fallback texts: "Name: value", noise left out.
std::vector<std::string> blockCandidates(const std::string& block) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < block.size()) {
        size_t end = block.find("\r\n", pos);
        if (end == std::string::npos)
            end = block.size();
        std::string line = block.substr(pos, end - pos);
        pos = end + 2;
        if (line.empty() || line[0] == ' ' || line[0] == '\t' || line.size() > kLongestBlockLine ||
            line.find(':') == std::string::npos)
            continue;
        bool skip = false;
        for (const char* name : kLearnedHeaders)
            skip = skip || compareNoCase(line.c_str(), name, strlen(name)) == 0;
        for (const char* name : kNoiseHeaders)
            skip = skip || compareNoCase(line.c_str(), name, strlen(name)) == 0;
        if (!skip)
            addText(out, line);
    }
    return out;
}

// The lines of a message's body as whole-message texts.
std::vector<std::string> bodyCandidates(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = headerBlockEnd(text.c_str());
    pos = pos + 4 <= text.size() ? pos + 4 : text.size();
    for (size_t lines = 0; pos < text.size() && lines < kBodyLinesLookedAt; ++lines) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trimBlanks(text.substr(pos, std::min(end - pos, kLongestBodyLine + 1)));
        pos = end + 2;
        if (line.size() >= kShortestBodyLine && line.size() <= kLongestBodyLine)
            addText(out, line);
    }
    return out;
}

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

class Learner {
public:
    explicit Learner(const LearnInput& input) : input_(input) {}

    Learning run();

private:
    void decideByExisting(Learning& learning);
    void learnFolder(int folder, Learning& learning);
    std::vector<Ranked> rank(const std::vector<uint32_t>& mine, int phase, const std::set<std::string>& tried) const;
    // Valid: takes only the folder's mail. CaseMayHelp: folded it takes other mail that the same
    // text with case would not. Useless: anything else, a text the rules file cannot hold included.
    enum Verdict { Useless, CaseMayHelp, Valid };
    Verdict evaluate(int folder, size_t slot, const std::string& text, bool matchCase, std::vector<Candidate>& pool,
                     std::vector<Candidate>& rejected);
    void explain(int folder, const std::vector<Candidate>& rejected, FolderLearning& result);
    DistributeRule ruleOf(size_t slot, const std::string& text, bool matchCase, int folder) const;

    const LearnInput& input_;
    std::vector<SlotStore> slots_;     // kLearnedHeaderCount named fields and the header block
    std::vector<int> existingWinner_;  // per message: index of the existing rule that decides it, or -1
    std::vector<uint32_t> undecided_;  // messages no existing rule decides
    std::vector<char> uncovered_;
};

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

// Greedy cover, lazily: the valid rule that takes most of what is still untaken is chosen as
// soon as no candidate not yet evaluated could take more, so most candidates are never run
// over the mailbox. Phase 0 uses named headers; phase 1 header-block lines, phase 2 body lines
// (as whole-message rules), each shared by two or more messages that nothing before took.
void Learner::learnFolder(int folder, Learning& learning) {
    FolderLearning& result = learning.folders[static_cast<size_t>(folder)];
    std::vector<uint32_t> mine;
    for (size_t m = 0; m < input_.messages.size(); ++m) {
        if (input_.messages[m].folder != folder)
            continue;
        ++result.filed;
        if (existingWinner_[m] < 0) {
            mine.push_back(static_cast<uint32_t>(m));
            uncovered_[m] = 1;
        }
    }
    std::vector<Candidate> pool, rejected;
    std::set<std::string> tried;
    size_t left = mine.size();
    auto gainOf = [&](const Candidate& candidate) {
        size_t gain = 0;
        for (uint32_t m : candidate.positives)
            gain += static_cast<size_t>(uncovered_[m]);
        return gain;
    };
    size_t bodyTried = 0;
    for (int phase = 0; phase < 3 && left > 0; ++phase) {
        for (bool progress = true; progress && left > 0;) {
            progress = false;
            std::vector<Ranked> ranked = rank(mine, phase, tried);
            size_t next = 0;
            while (left > 0) {
                size_t best = pool.size(), bestGain = 0;
                for (size_t i = 0; i < pool.size(); ++i) {
                    size_t gain = gainOf(pool[i]);
                    if (gain > bestGain || (gain == bestGain && gain > 0 && pool[i].slot < pool[best].slot)) {
                        best = i;
                        bestGain = gain;
                    }
                }
                // Once nothing more will be evaluated, every rule in the pool may be chosen.
                bool more = next < ranked.size() && tried.size() < kMostCandidatesPerFolder &&
                            (phase < 2 || bodyTried < kMostBodyCandidatesPerFolder);
                size_t bound = more ? static_cast<size_t>(ranked[next].count) : 0;
                if (bestGain > 0 && bestGain >= bound) {
                    SuggestedRule suggestion;
                    suggestion.rule = ruleOf(pool[best].slot, pool[best].text, pool[best].matchCase, folder);
                    suggestion.folder = folder;
                    suggestion.covers = static_cast<int>(bestGain);
                    for (uint32_t m : pool[best].positives)
                        uncovered_[m] = 0;
                    left -= bestGain;
                    result.covered += static_cast<int>(bestGain);
                    result.rules.push_back(learning.rules.size());
                    learning.rules.push_back(suggestion);
                    pool.erase(std::remove_if(pool.begin(), pool.end(),
                                              [&](const Candidate& candidate) { return gainOf(candidate) == 0; }),
                               pool.end());
                    progress = true;
                    continue;
                }
                if (!more)
                    break;
                const Ranked& candidate = ranked[next++];
                tried.insert(candidate.key);
                bodyTried += phase == 2;
                std::string text = candidate.key.substr(1);
                bool exact = caseMatters(text);
                // Case folded first, as a user would write it; with case only when folding
                // alone takes mail filed elsewhere.
                if (evaluate(folder, candidate.slot, text, exact, pool, rejected) == CaseMayHelp)
                    evaluate(folder, candidate.slot, text, true, pool, rejected);
                progress = true;
                if (next % kCandidatesPerRound == 0)
                    break;  // rank again: what was taken since lowers the bounds
            }
        }
    }
    result.capped = left > 0 && tried.size() >= kMostCandidatesPerFolder;
    explain(folder, rejected, result);
    for (uint32_t m : mine)
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

Learning Learner::run() {
    Learning learning;
    learning.folders.resize(input_.folders.size());
    decideByExisting(learning);
    slots_.assign(kLearnedHeaderCount + 1, SlotStore());
    for (SlotStore& store : slots_)
        store.spanOf.assign(input_.messages.size(), -1);
    char value[kHeaderValueSize];
    for (size_t m = 0; m < input_.messages.size(); ++m) {
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
    uncovered_.assign(input_.messages.size(), 0);
    for (size_t folder = 0; folder < input_.folders.size(); ++folder)
        learnFolder(static_cast<int>(folder), learning);
    return learning;
}

}  // namespace

bool caseMatters(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (!isSjisLeadByte(static_cast<unsigned char>(text[i])))
            continue;
        if (isLetter(static_cast<unsigned char>(text[i + 1])))
            return true;
        ++i;
    }
    return false;
}

std::vector<std::string> candidateTexts(const char* headerName, const std::string& value) {
    std::vector<std::string> out;
    std::string name = headerName;
    auto is = [&](const char* other) { return compareNoCase(name.c_str(), other) == 0; };
    if (is("List-Id:") || is("X-Mailing-List:")) {
        size_t open = findSjis(value, '<');
        size_t close = open == std::string::npos ? std::string::npos : findSjis(value, '>', open);
        addText(out, close != std::string::npos ? value.substr(open + 1, close - open - 1) : value);
    } else if (is("X-ML-Name:")) {
        addText(out, value);
    } else if (is("From:") || is("Sender:") || is("To:") || is("Cc:") || is("Delivered-To:")) {
        bool domains = is("From:") || is("Sender:");
        for (const std::string& address : addressesOf(value)) {
            addText(out, address);
            size_t at = findSjis(address, '@');
            if (domains && address.find('.', at) != std::string::npos)
                addText(out, address.substr(at));
        }
    } else if (is("Subject:")) {
        subjectCandidates(value, out);
    }
    return out;
}

Learning learnRules(const LearnInput& input) {
    return Learner(input).run();
}

}  // namespace corvane
