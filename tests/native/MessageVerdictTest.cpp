// One decision for a message: the run's code path, corvane-check's preview and learning decide
// every message alike, with decoding on and off; learning cuts a header value where a run does.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "plugin/learning/LearnMail.h"
#include "plugin/learning/RuleLearning.h"
#include "plugin/mailbox/AccountFiles.h"
#include "plugin/rules/MessageVerdict.h"
#include "tools/check/RuleSet.h"
#include "tools/sample/SampleMailbox.h"

using namespace corvane;
using sample::base64;

namespace {

// Words in each charset the decoder knows (会議, 報告書, 請求, ①番, ｶﾀｶﾅ, Zurich with an umlaut), and
// in one it does not.
struct Charset {
    const char* name;
    std::vector<const char*> words;
};
const Charset kCharsets[] = {
    {"iso-2022-jp", {"\x1b$B2q5D\x1b(B", "\x1b$BJs9p=q\x1b(B", "\x1b$B@A5a\x1b(B"}},
    {"Shift_JIS", {"\x89\xef\x8b\x63", "\x95\xf1\x8d\x90\x8f\x91", "\xb6\xc0\xb6\xc5"}},
    {"windows-31j", {"\x90\xbf\x8b\x81", "\x87\x40\x94\xd4"}},
    {"CP932", {"\x89\xef\x8b\x63", "\x87\x40\x94\xd4"}},
    {"euc-jp", {"\xb2\xf1\xb5\xc4", "\xca\xf3\xb9\xf0\xbd\xf1", "\x8e\xb6\x8e\xc0"}},
    {"UTF-8", {"\xe4\xbc\x9a\xe8\xad\xb0", "\xe8\xab\x8b\xe6\xb1\x82", "Z\xc3\xbcrich"}},
    {"us-ascii", {"list-a", "weekly report"}},
    {"ISO-8859-1", {"Z\xfcrich", "caf\xe9"}},
    {"x-unknown", {"abc"}},
};

// Texts rules look for, and the raw words messages are made of: they overlap so that rules match.
const char* const kWords[] = {"user20@", "user3@", "example.com", "list-a", "LIST-A", "会議", "報告書", "請求",
                              "weekly", "Z?rich", "caf", "boss@corp.example", "\x89\xef\x8b\x63", "Re:", ";"};
const char* const kRegexes[] = {"user[0-9]+@", "^From: .*example", "(?i)subject: re", "会議|請求",
                                "\\r\\n\\r\\n.*weekly", "(a|aa)*b", "^To:.*user2[0-9]@", "[", "Z.rich$"};
const char* const kHeaders[] = {"From:", "To:", "Subject:", "Cc:", "X-Tag:", "to:"};

std::string qEncoded(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char hex[4];
        snprintf(hex, sizeof hex, "=%02X", c);
        out += c == ' ' ? std::string("_") : isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    return out;
}

class MessageMaker {
public:
    explicit MessageMaker(unsigned seed) : random_(seed) {}

    unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }

    // A word as it stands, or an encoded word (B or Q, sometimes broken) in any charset.
    std::string word() {
        if (pick(3) == 0)
            return kWords[pick(sizeof kWords / sizeof *kWords)];
        const Charset& charset = kCharsets[pick(sizeof kCharsets / sizeof *kCharsets)];
        std::string bytes = charset.words[pick(static_cast<unsigned>(charset.words.size()))];
        if (pick(2))
            return std::string("=?") + charset.name + "?B?" + (pick(12) ? base64(bytes) : "!!") + "?=";
        return std::string("=?") + charset.name + "?Q?" + qEncoded(bytes) + (pick(12) ? "?=" : "");
    }

    // A header value of a few words, sometimes folded, sometimes with a raw Shift-JIS or 8-bit byte.
    std::string value() {
        std::string out;
        for (unsigned n = 1 + pick(4); n > 0; --n) {
            out += word();
            out += pick(5) == 0 ? "\r\n\t" : " ";
        }
        if (pick(10) == 0)
            out += static_cast<char>(0x80 + pick(128));
        return out;
    }

    // A To field of many recipients, each with an encoded name.
    std::string recipients() {
        std::string out = "To: ";
        for (unsigned n = 0, count = 10 + pick(30); n < count; ++n)
            out += (n ? ",\r\n " : "") + word() + " <user" + std::to_string(n + 1) + "@example.com>";
        return out + "\r\n";
    }

    std::string body() {
        std::string text;
        for (unsigned n = pick(40); n > 0; --n)
            text += word() + (pick(6) ? " " : "\r\n");
        switch (pick(4)) {
        case 0: return "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                       base64(text) + "\r\n";
        case 1: return "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: text/plain; "
                       "charset=iso-2022-jp\r\n\r\n" + text + "\r\n--b1--\r\n";
        default: return "\r\n" + text + "\r\n";
        }
    }

    std::string message() {
        std::string out;
        for (unsigned n = pick(6); n > 0; --n)
            out += std::string(kHeaders[pick(sizeof kHeaders / sizeof *kHeaders)]) + " " + value() + "\r\n";
        if (pick(4) == 0)
            out += recipients();
        out += "Subject: " + value() + "\r\n" + body();
        if (pick(20) == 0)  // past what a run reads
            out += std::string(kMessageReadCap - out.size() % 1000 + pick(2000), 'w') + "user20@ weekly";
        if (pick(25) == 0)
            out.insert(pick(static_cast<unsigned>(out.size())), 1, '\0');
        return out;
    }

    DistributeRule rule() {
        DistributeRule rule;
        rule.searchTarget = static_cast<int32_t>(pick(12) == 0 ? 3 : pick(3));
        rule.useRegex = rule.searchTarget != NamedHeader && pick(3) == 0;
        std::string text = rule.useRegex ? kRegexes[pick(sizeof kRegexes / sizeof *kRegexes)]
                                         : kWords[pick(sizeof kWords / sizeof *kWords)];
        if (!rule.useRegex && pick(4) == 0)
            text = "^" + text;
        if (!rule.useRegex && pick(4) == 0)
            text += "$";
        snprintf(rule.searchText, sizeof rule.searchText, "%s", text.c_str());
        snprintf(rule.headerName, sizeof rule.headerName, "%s", kHeaders[pick(sizeof kHeaders / sizeof *kHeaders)]);
        rule.matchCase = pick(2);
        snprintf(rule.destFolder, sizeof rule.destFolder, "Main\\User%03u.box", pick(3));
        if (pick(4) == 0) {  // a recipient of a long To list, where its value may be cut
            rule.searchTarget = NamedHeader;
            snprintf(rule.searchText, sizeof rule.searchText, "user%u@", 10 + pick(30));
            snprintf(rule.headerName, sizeof rule.headerName, "To:");
        }
        return rule;
    }

private:
    std::mt19937 random_;
};

// The run's path: the bytes read into a work buffer of kWorkBufferSize, a NUL after them, and
// the judge over rules compiled once with one decoder for the run.
std::vector<int> runVerdicts(const RuleList& rules, const VerdictOptions& options,
                             const std::vector<std::string>& files, const std::vector<bool>& unread) {
    RuleList compiled = rules;
    compileRules(compiled);
    MessageDecoder decoder;
    MessageJudge judge(compiled, options.unreadMail, options.decodeMime ? &decoder : nullptr);
    std::vector<char> buffer(kWorkBufferSize);
    std::vector<int> out;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!judge.takes(unread[i])) {
            out.push_back(-2);
            continue;
        }
        size_t length = std::min(files[i].size(), kMessageReadCap);
        memcpy(buffer.data(), files[i].data(), length);
        buffer[length] = '\0';
        out.push_back(judge.judge(buffer.data(), unread[i]).rule);
    }
    releaseRules(compiled);
    return out;
}

// corvane-check preview's path: the checker's rule set over the text it reads from the file.
std::vector<int> previewVerdicts(const RuleList& rules, const VerdictOptions& options,
                                 const std::vector<std::string>& files, const std::vector<bool>& unread) {
    std::vector<LoadedRule> loaded(rules.size());
    for (size_t r = 0; r < rules.size(); ++r)
        loaded[r].rule = rules[r];
    RuleSet set(loaded, options.decodeMime, options.unreadMail);
    std::vector<int> out;
    for (size_t i = 0; i < files.size(); ++i) {
        int winner = -2;
        if (set.judge().takes(unread[i]))
            set.probeAll(messageTextFromFile(files[i]).c_str(), &winner);
        out.push_back(winner);
    }
    return out;
}

// Learning's path: the folder read through the learning reader, each message decided by the
// existing rules as learning decides it.
class FilesReader : public LearnMailReader {
public:
    FilesReader(const std::vector<std::string>& files, const std::vector<bool>& unread) : files_(files), unread_(unread) {}
    std::vector<LearnEntry> listFolder(const std::string&) override {
        std::vector<LearnEntry> out(files_.size());
        for (size_t i = 0; i < out.size(); ++i) {
            out[i].name = std::to_string(i);
            out[i].unread = unread_[i];
        }
        return out;
    }
    bool readMessage(const std::string& entry, size_t most, std::string& bytes) override {
        bytes = files_[std::stoul(entry)].substr(0, most);
        return true;
    }

private:
    const std::vector<std::string>& files_;
    const std::vector<bool>& unread_;
};

std::vector<int> learningVerdicts(const RuleList& rules, const VerdictOptions& options,
                                  const std::vector<std::string>& files, const std::vector<bool>& unread) {
    FilesReader reader(files, unread);
    size_t done = 0;
    LearnFolderRead read = readLearnFolder(reader, "Main\\Inbox.box", options.unreadMail, nullptr, done);
    LearnInput input;
    input.existing = rules;
    input.options.decodeMime = options.decodeMime;
    for (LearnFolderMessage& message : read.messages)
        input.messages.push_back({message.text, -1});
    Learning learning = learnRules(input);
    std::vector<int> out(files.size(), -2);
    for (size_t m = 0; m < read.messages.size(); ++m)
        out[std::stoul(read.messages[m].entry)] = learning.existingWinners[m];
    return out;
}

}  // namespace

TEST(MessageVerdict, RunPreviewAndLearningDecideEveryMessageAlike) {
    MessageMaker maker(20261209);
    size_t messages = 0, matched = 0;
    for (int batch = 0; batch < 250; ++batch) {
        RuleList rules;
        for (unsigned n = 1 + maker.pick(6); n > 0; --n)
            rules.push_back(maker.rule());
        std::vector<std::string> files;
        std::vector<bool> unread;
        for (int m = 0; m < 40; ++m) {
            files.push_back(maker.message());
            unread.push_back(maker.pick(5) == 0);
        }
        VerdictOptions options{maker.pick(2) == 0, batch % 2 == 0};
        std::vector<int> run = runVerdicts(rules, options, files, unread);
        ASSERT_EQ(run, previewVerdicts(rules, options, files, unread)) << "batch " << batch;
        ASSERT_EQ(run, learningVerdicts(rules, options, files, unread)) << "batch " << batch;
        messages += files.size();
        for (int winner : run)
            matched += winner >= 0;
    }
    EXPECT_EQ(10000u, messages);
    // The comparison means something only if rules do match, and not always.
    EXPECT_GT(matched, messages / 5);
    EXPECT_LT(matched, messages * 4 / 5);
}

namespace {

// To: with 25 recipients, each named by an encoded word: the raw value passes 1,023 bytes near
// the fifteenth recipient, the decoded one would not.
std::string encodedRecipients() {
    std::string message = "From: boss@corp.example\r\nTo: ";
    for (int n = 1; n <= 25; ++n)
        message += (n > 1 ? ",\r\n " : "") + std::string("=?UTF-8?B?") +
                   base64("\xe5\x96\xb6\xe6\xa5\xad\xe9\x83\xa8\xe3\x81\xae\xe5\xb1\xb1\xe7\x94\xb0") + "?= <user" +
                   std::to_string(n) + "@example.com>";
    return message + "\r\nSubject: hello\r\n\r\nbody\r\n";
}

}  // namespace

TEST(MessageVerdict, LearningCutsAnEncodedToListWhereARunDoes) {
    const std::string message = encodedRecipients();
    MessageDecoder decoder;
    char value[kHeaderValueSize];
    ASSERT_TRUE(runHeaderValue(message.c_str(), "To:", &decoder, value));
    size_t length = 0;
    std::string decoded = decoder.decodeMessage(message.c_str(), &length);
    char whole[kHeaderValueSize];
    ASSERT_TRUE(extractHeaderValue(decoded.c_str(), "To:", whole));
    // Decoding first would keep every recipient; a run cuts the raw value first.
    ASSERT_NE(std::string::npos, std::string(whole).find("user25@"));
    ASSERT_LT(strlen(value), strlen(whole));
    const struct {
        const char* text;
        int winner;  // what a run decides
    } cases[] = {{"user3@", 0}, {"user14@", 0}, {"user20@", -1}, {"user25@", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DistributeRule rule;
        rule.searchTarget = NamedHeader;
        snprintf(rule.searchText, sizeof rule.searchText, "%s", c.text);
        snprintf(rule.headerName, sizeof rule.headerName, "To:");
        snprintf(rule.destFolder, sizeof rule.destFolder, "Main\\User001.box");
        EXPECT_EQ(c.winner, MessageJudge(RuleList{rule}, VerdictOptions{false, true}).firstMatch(message.c_str()));
        LearnInput input;
        input.folders = {"Main\\User001.box"};
        input.existing = {rule};
        input.options.decodeMime = true;
        input.messages.assign(3, LearnMessage{message, 0});
        Learning learning = learnRules(input);
        EXPECT_EQ(std::vector<int>(3, c.winner), learning.existingWinners);
        EXPECT_EQ(c.winner == 0 ? 3 : 0, learning.folders[0].decidedByExisting);
    }
}

TEST(MessageVerdict, CheckBeforeARunNamesTheFirstRuleWhoseFolderIsGone) {
    auto rules = [](std::vector<const char*> destinations) {
        RuleList out(destinations.size());
        for (size_t i = 0; i < out.size(); ++i)
            snprintf(out[i].destFolder, sizeof out[i].destFolder, "%s", destinations[i]);
        return out;
    };
    auto there = [](const char* folder) { return strstr(folder, "Gone") == nullptr; };
    const struct {
        RuleList rules;
        RunRefusal::Kind kind;
        int rule;
    } cases[] = {
        {rules({}), RunRefusal::NoRules, 0},
        {rules({"Main\\A.box", "Main\\B.box"}), RunRefusal::None, 0},
        {rules({"Main\\A.box", "Main\\Gone.box", "Main\\Gone2.box"}), RunRefusal::DestinationGone, 2},
        {rules({"Main\\Gone.box"}), RunRefusal::DestinationGone, 1},
    };
    for (const auto& c : cases) {
        RunRefusal refusal = checkBeforeRun(c.rules, there);
        EXPECT_EQ(c.kind, refusal.kind);
        EXPECT_EQ(c.rule, refusal.rule);
    }
}

TEST(MessageVerdict, EachRuleOnItsOwnAgreesWithTheFirstMatchOfThatRuleAlone) {
    MessageMaker maker(7);
    for (int batch = 0; batch < 40; ++batch) {
        RuleList rules;
        for (int n = 0; n < 5; ++n)
            rules.push_back(maker.rule());
        VerdictOptions options{false, batch % 2 == 0};
        MessageJudge all(rules, options);
        for (int m = 0; m < 10; ++m) {
            std::string text = learnTextOf(maker.message());
            std::vector<bool> each = all.matchEach(text.c_str());
            for (size_t r = 0; r < rules.size(); ++r)
                ASSERT_EQ(each[r], MessageJudge(RuleList{rules[r]}, options).firstMatch(text.c_str()) == 0) << r;
        }
    }
}
