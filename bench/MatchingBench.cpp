// Speed of the sorting run's hot paths against their literal forms: unread lookup over a large
// message list, plain and case-folded search in 64 KB messages, and whole rule lists over a
// corpus of generated messages.
#include "MatchingReference.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "plugin/common/StrUtil.h"
#include "plugin/mailbox/UnreadIndex.h"
#include "plugin/rules/RuleMatching.h"
#include "plugin/text/MessageReadCap.h"

using namespace corvane;
using corvane::reference::makeRule;

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A message list of `records` records, "key=status" per line, and `selected` entry names of
// keys spread over it.
struct UnreadFixture {
    std::string list;
    std::vector<std::string> names;
    std::vector<const char*> entries;

    UnreadFixture(size_t records, size_t selected) {
        std::mt19937 random(1);
        list = "[Entry]\r\nVersion=3\r\n";
        char line[64];
        for (size_t i = 0; i < records; ++i) {
            std::string status;
            for (int c = 0; c < 16; ++c)
                status += kBase64[random() % 64];
            snprintf(line, sizeof line, "%08zu=%s\r\n", 10000000 + i * 7, status.c_str());
            list += line;
        }
        for (size_t i = 0; i < selected; ++i) {
            snprintf(line, sizeof line, "acct1\\Inbox.box\\%08zu", 10000000 + (random() % records) * 7);
            names.push_back(line);
        }
        for (const std::string& name : names)
            entries.push_back(name.c_str());
    }
};

const UnreadFixture& unreadFixture() {
    static UnreadFixture fixture(100000, 10000);
    return fixture;
}

void BM_UnreadLiteral(benchmark::State& state) {
    const UnreadFixture& fixture = unreadFixture();
    for (auto _ : state) {
        size_t unread = 0;
        for (const char* entry : fixture.entries)
            unread += isUnread(fixture.list.c_str(), entry);
        benchmark::DoNotOptimize(unread);
    }
}
BENCHMARK(BM_UnreadLiteral)->Unit(benchmark::kMillisecond);

void BM_UnreadIndexed(benchmark::State& state) {
    const UnreadFixture& fixture = unreadFixture();
    for (auto _ : state) {
        std::vector<bool> flags = findUnreadEntries(fixture.list.c_str(), fixture.entries.data(), fixture.entries.size());
        benchmark::DoNotOptimize(flags);
    }
}
BENCHMARK(BM_UnreadIndexed)->Unit(benchmark::kMillisecond);

// Generated mail: headers of the usual shape, bodies in ISO-2022-JP, Shift-JIS, English or
// Base64, at most the bytes a run reads.
class MailGenerator {
public:
    explicit MailGenerator(unsigned seed) : random_(seed) {}

    std::string message() {
        std::string text;
        text += "Return-Path: <" + address() + ">\r\n";
        for (int i = 0, n = 2 + pick(3); i < n; ++i)
            text += "Received: from mx" + std::to_string(pick(90)) + ".example.net (mx.example.net [192.0.2." +
                    std::to_string(pick(250)) + "])\r\n\tby mail.example.co.jp with ESMTP id " + word(12) +
                    ";\r\n\tMon, 3 Jun 2024 09:" + std::to_string(10 + pick(50)) + ":00 +0900\r\n";
        text += "Message-ID: <" + word(20) + "@" + domain() + ">\r\n";
        text += "Date: Mon, 3 Jun 2024 09:12:44 +0900\r\n";
        text += "From: " + displayName() + " <" + address() + ">\r\n";
        text += "To: " + address() + "\r\n";
        if (pick(3) == 0)
            text += "Cc: " + address() + ",\r\n " + address() + "\r\n";
        text += "Subject: " + subject() + "\r\n";
        text += "MIME-Version: 1.0\r\n";
        int kind = pick(4);
        static const char* charsets[] = {"ISO-2022-JP", "Shift_JIS", "us-ascii", "UTF-8"};
        text += std::string("Content-Type: text/plain; charset=\"") + charsets[kind] + "\"\r\n";
        text += kind == 3 ? "Content-Transfer-Encoding: base64\r\n" : "Content-Transfer-Encoding: 7bit\r\n";
        if (pick(2))
            text += "X-Mailer: Quillpost32 Version 1.6" + std::to_string(pick(10)) + "\r\n";
        text += "\r\n";
        size_t bodySize = static_cast<size_t>(1024 * std::exp2(random_() % 600 / 100.0));  // 1 KB .. 64 KB
        while (text.size() < bodySize)
            text += bodyLine(kind);
        if (text.size() > corvane::kMessageReadCap)
            text.resize(corvane::kMessageReadCap);
        return text;
    }

    std::string bodyLine(int kind) {
        switch (kind) {
        case 0: return jisLine();
        case 1: return sjisLine();
        case 2: return englishLine();
        default: return base64Line();
        }
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

    std::string word(int length) {
        std::string out;
        for (int i = 0; i < length; ++i)
            out += static_cast<char>('a' + pick(26));
        return out;
    }

    std::string domain() {
        static const char* domains[] = {"example.co.jp", "example.ne.jp", "example.com", "mail.example.org",
                                        "lists.example.net"};
        return domains[pick(5)];
    }

    std::string address() { return word(3 + pick(8)) + "@" + domain(); }

    std::string displayName() {
        return pick(2) ? "=?ISO-2022-JP?B?" + base64Word(12 + pick(12)) + "?=" : word(5) + " " + word(7);
    }

    std::string subject() {
        switch (pick(3)) {
        case 0: return "=?ISO-2022-JP?B?" + base64Word(20 + pick(20)) + "?=\r\n =?ISO-2022-JP?B?" + base64Word(16) + "?=";
        case 1: return "[ml:" + std::to_string(pick(9999)) + "] " + sjisText(8 + pick(10));
        default: return "Re: " + word(6) + " " + word(4) + " " + word(8);
        }
    }

    std::string base64Word(int length) {
        std::string out;
        for (int i = 0; i < length * 4 / 4; ++i)
            out += kBase64[pick(64)];
        return out;
    }

    std::string sjisText(int characters) {
        std::string out;
        for (int i = 0; i < characters; ++i) {
            int k = pick(10);
            if (k < 5) {
                out += '\x82';
                out += static_cast<char>(0x9F + pick(83));  // hiragana
            } else if (k < 7) {
                out += '\x83';
                out += static_cast<char>(0x40 + pick(0x56));  // katakana, letters among the second bytes
            } else {
                out += static_cast<char>(0x88 + pick(0x17));
                out += static_cast<char>(0x40 + pick(0x3F));
            }
        }
        return out;
    }

    std::string sjisLine() { return sjisText(10 + pick(30)) + "\r\n"; }

    std::string jisLine() {
        std::string out = "\x1b$B";
        for (int i = 0, n = 10 + pick(30); i < n; ++i) {
            out += static_cast<char>(pick(2) ? 0x24 : 0x21 + pick(0x50));
            out += static_cast<char>(0x21 + pick(0x5E));
        }
        return out + "\x1b(B\r\n";
    }

    std::string englishLine() {
        static const char* words[] = {"the", "meeting", "is", "scheduled", "for", "next", "week", "please",
                                      "confirm", "your", "attendance", "and", "send", "the", "report", "to"};
        std::string out;
        for (int i = 0, n = 6 + pick(10); i < n; ++i)
            out += std::string(words[pick(16)]) + " ";
        return out + "\r\n";
    }

    std::string base64Line() { return base64Word(76) + "\r\n"; }

    std::mt19937 random_;
};

// A 64 KB message in which the searched pattern does not occur, so every search reads it whole.
const std::string& searchText() {
    static std::string text = [] {
        MailGenerator generator(3);
        std::string out;
        for (int i = 0; out.size() < corvane::kMessageReadCap; ++i)
            out += generator.bodyLine(i % 4);
        out.resize(corvane::kMessageReadCap);
        return out;
    }();
    return text;
}

const char* const kSearchPatterns[] = {"Unsubscribe", "zq", "\x83\x4C\x83\x83\x83\x93\x83\x79\x81\x5B\x83\x93",
                                       "Content-Disposition: attachment"};

void BM_PlainSearchLiteral(benchmark::State& state) {
    const std::string& text = searchText();
    const char* pattern = kSearchPatterns[state.range(0)];
    for (auto _ : state)
        benchmark::DoNotOptimize(strstr(text.c_str(), pattern));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainSearchLiteral)->DenseRange(0, 3);

void BM_PlainSearchPrepared(benchmark::State& state) {
    const std::string& text = searchText();
    const char* pattern = kSearchPatterns[state.range(0)];
    PlainPattern prepared = preparePattern(pattern, strlen(pattern), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(findPattern(text.c_str(), text.size(), prepared));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainSearchPrepared)->DenseRange(0, 3);

void BM_FoldedSearchLiteral(benchmark::State& state) {
    const std::string& text = searchText();
    const char* pattern = kSearchPatterns[state.range(0)];
    for (auto _ : state)
        benchmark::DoNotOptimize(reference::caseFoldFindLiteral(text.c_str(), pattern));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FoldedSearchLiteral)->DenseRange(0, 3);

void BM_FoldedSearchPrepared(benchmark::State& state) {
    const std::string& text = searchText();
    const char* pattern = kSearchPatterns[state.range(0)];
    PlainPattern prepared = preparePattern(pattern, strlen(pattern), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(findPattern(text.c_str(), text.size(), prepared));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FoldedSearchPrepared)->DenseRange(0, 3);

// Fifty rules of every kind; most of them miss, as in a real list, so a message meets many.
RuleList corpusRules() {
    RuleList rules;
    static const char* domains[] = {"@partner-a.co.jp", "@partner-b.com", "@shop.example", "@bank.example",
                                    "@news.example", "@club.example"};
    for (const char* domain : domains) {
        rules.push_back(makeRule(NamedHeader, domain, false, false, "From:"));
        rules.push_back(makeRule(NamedHeader, (std::string(domain) + ">$").c_str(), false, false, "From:"));
    }
    static const char* subjects[] = {"^[spam]", "^[ml:10000]", "^Re: invoice", "\x90\xBF\x8B\x81\x8F\x91",
                                     "\x83\x5A\x81\x5B\x83\x8B", "urgent$", "^=?Shift_JIS?", "Weekly Report"};
    for (const char* subject : subjects)
        rules.push_back(makeRule(NamedHeader, subject, subject[0] == '^', false, "Subject:"));
    rules.push_back(makeRule(NamedHeader, "^Quillpost32 Version 2", true, false, "X-Mailer:"));
    rules.push_back(makeRule(NamedHeader, "partner", false, false, "Cc:"));
    rules.push_back(makeRule(NamedHeader, "^multipart/mixed", false, false, "Content-Type:"));
    rules.push_back(makeRule(NamedHeader, "@lists.example.org$", false, false, "To:"));
    static const char* headerWords[] = {"X-Spam-Flag: YES", "List-Id: <announce", "X-ML-Name: club", "Precedence: bulk",
                                        "Received: from mx99.example.net", "Auto-Submitted: auto-replied"};
    for (size_t i = 0; i < 6; ++i)
        rules.push_back(makeRule(HeaderBlock, headerWords[i], i % 2 == 0));
    rules.push_back(makeRule(HeaderBlock, "Content-Transfer-Encoding: quoted-printable$", false));
    rules.push_back(makeRule(HeaderBlock, "^Return-Path: <postmaster", false));
    static const char* bodyWords[] = {"Unsubscribe", "\x83\x4C\x83\x83\x83\x93\x83\x79\x81\x5B\x83\x93",
                                      "http://click.example/", "Content-Disposition: attachment", "PASSWORD RESET",
                                      "\x1b$B%-%c%s%Z!<%s\x1b(B", "wire transfer", "lottery", "confidential$",
                                      "^Received: from mailer-daemon"};
    for (size_t i = 0; i < 10; ++i)
        rules.push_back(makeRule(WholeMessage, bodyWords[i], i % 3 == 0));
    rules.push_back(makeRule(HeaderBlock, "^Subject: .*\\[(?:spam|ad)\\]", false, true));
    rules.push_back(makeRule(HeaderBlock, "(?i)x-priority: 1", false, true));
    rules.push_back(makeRule(WholeMessage, "[0-9]{3}-[0-9]{4}-[0-9]{4}", false, true));
    rules.push_back(makeRule(WholeMessage, "(?i)casino|viagra", false, true));
    rules.push_back(makeRule(WholeMessage, "meeting is scheduled", false));
    rules.push_back(makeRule(NamedHeader, "example", false, false, "From:"));
    return rules;
}

struct Corpus {
    std::vector<std::string> messages;
    RuleList rules;

    Corpus() : rules(corpusRules()) {
        MailGenerator generator(9);
        for (int i = 0; i < 2000; ++i)
            messages.push_back(generator.message());
        compileRules(rules);
        PreparedRules prepared = prepareRules(rules);
        for (std::string& message : messages) {
            int literal = reference::findMatchingRuleLiteral(rules, &message[0]);
            if (literal != findMatchingRule(prepared, message.c_str())) {
                fprintf(stderr, "corpus: prepared and literal matching differ\n");
                abort();
            }
        }
    }
};

Corpus& corpus() {
    static Corpus instance;
    return instance;
}

void BM_CorpusLiteral(benchmark::State& state) {
    Corpus& data = corpus();
    for (auto _ : state)
        for (std::string& message : data.messages)
            benchmark::DoNotOptimize(reference::findMatchingRuleLiteral(data.rules, &message[0]));
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * data.messages.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CorpusLiteral)->Unit(benchmark::kMillisecond);

void BM_CorpusPrepared(benchmark::State& state) {
    Corpus& data = corpus();
    for (auto _ : state) {
        PreparedRules prepared = prepareRules(data.rules);
        for (const std::string& message : data.messages)
            benchmark::DoNotOptimize(findMatchingRule(prepared, message.c_str()));
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * data.messages.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CorpusPrepared)->Unit(benchmark::kMillisecond);

// The same run with the option decodeMime: every message decoded (once, when a rule first
// searches its header block or whole text) and its header values decoded.
void BM_CorpusPreparedDecoded(benchmark::State& state) {
    Corpus& data = corpus();
    MessageDecoder decoder;
    for (auto _ : state) {
        PreparedRules prepared = prepareRules(data.rules);
        for (const std::string& message : data.messages)
            benchmark::DoNotOptimize(findMatchingRule(prepared, message.c_str(), &decoder));
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * data.messages.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CorpusPreparedDecoded)->Unit(benchmark::kMillisecond);

// The same fifty rules with two further conditions each, taken from other rules of the list.
// Every other rule takes any of its conditions, both positive, so for the many messages that its
// own condition misses all three are tested; the others take all of them, the third negated.
RuleList threeConditionRules() {
    RuleList single = corpusRules();
    RuleList rules = single;
    auto conditionOf = [](const DistributeRule& from, bool negate) {
        RuleCondition c;
        c.searchTarget = from.searchTarget;
        memcpy(c.searchText, from.searchText, sizeof c.searchText);
        memcpy(c.headerName, from.headerName, sizeof c.headerName);
        c.matchCase = from.matchCase;
        c.useRegex = searchesByRegex(from);
        c.negate = negate;
        return c;
    };
    for (size_t i = 0; i < rules.size(); ++i) {
        rules[i].anyOf = i % 2 == 1;
        rules[i].conditions.push_back(conditionOf(single[(i + 17) % single.size()], false));
        rules[i].conditions.push_back(conditionOf(single[(i + 31) % single.size()], i % 2 == 0));
    }
    return rules;
}

struct ConditionCorpus {
    RuleList rules = threeConditionRules();
    ConditionCorpus() {
        compileRules(rules);
        PreparedRules prepared = prepareRules(rules);
        int matched = 0, singleMatched = 0;
        PreparedRules single = prepareRules(corpus().rules);
        for (const std::string& message : corpus().messages) {
            int literal = reference::findMatchingRuleWithConditionsLiteral(rules, message);
            matched += literal >= 0;
            singleMatched += findMatchingRule(single, message.c_str()) >= 0;
            if (literal != findMatchingRule(prepared, message.c_str())) {
                fprintf(stderr, "corpus: rules of three conditions and their literal matching differ\n");
                abort();
            }
        }
        fprintf(stderr, "corpus: %d of %zu messages matched by rules of three conditions, %d by the one-condition rules\n",
                matched, corpus().messages.size(), singleMatched);
    }
};

void runConditionCorpus(benchmark::State& state, bool decode) {
    static ConditionCorpus data;
    MessageDecoder decoder;
    for (auto _ : state) {
        PreparedRules prepared = prepareRules(data.rules);
        for (const std::string& message : corpus().messages)
            benchmark::DoNotOptimize(findMatchingRule(prepared, message.c_str(), decode ? &decoder : nullptr));
    }
    state.counters["messages/s"] = benchmark::Counter(static_cast<double>(state.iterations() * corpus().messages.size()),
                                                      benchmark::Counter::kIsRate);
}

// Compare with BM_CorpusPrepared and BM_CorpusPreparedDecoded: at most twice their time.
void BM_CorpusThreeConditions(benchmark::State& state) {
    runConditionCorpus(state, false);
}
BENCHMARK(BM_CorpusThreeConditions)->Unit(benchmark::kMillisecond);

void BM_CorpusThreeConditionsDecoded(benchmark::State& state) {
    runConditionCorpus(state, true);
}
BENCHMARK(BM_CorpusThreeConditionsDecoded)->Unit(benchmark::kMillisecond);

}  // namespace
