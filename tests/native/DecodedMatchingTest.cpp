// Rule matching with the option decodeMime: rules see the decoded text, and match as before on
// it (anchors, case folding, regular expressions); without the option nothing changes.
#include <gtest/gtest.h>

#include <string>

#include "MatchingReference.h"
#include "plugin/rules/RuleMatching.h"

using namespace corvane;
using corvane::reference::makeRule;

namespace {

// The two messages: the same Subject encoded as ISO-2022-JP and as UTF-8.
const std::string kJisMessage =
    "From: billing@example.co.jp\r\nSubject: =?ISO-2022-JP?B?GyRCQEE1YT1xJE4kNDBGRmIbKEIgTm8uNTAwMg==?=\r\n"
    "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$B@A5a=q\x1b(B\r\n";
const std::string kUtf8Message =
    "From: =?UTF-8?B?57WM55CG6YOo?= <billing@example.co.jp>\r\nSubject: =?UTF-8?B?6KuL5rGC5pu444Gu44GU5qGI5YaFIE5vLjUwMDM=?=\r\n"
    "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n6KuL5rGC5pu4DQo=\r\n";

// m: with the option the rule matches `decoded`, without it `raw` (1 match, 0 none).
void m(const DistributeRule& rule, const std::string& message, int decoded, int raw) {
    SCOPED_TRACE(testing::Message() << "rule=" << rule.searchText << " message=" << testing::PrintToString(message));
    RuleList rules{rule};
    compileRules(rules);
    MessageDecoder decoder;
    EXPECT_EQ(decoded ? 0 : -1, findMatchingRule(rules, message.c_str(), &decoder));
    EXPECT_EQ(raw ? 0 : -1, findMatchingRule(rules, message.c_str()));
    releaseRules(rules);
}

}  // namespace

TEST(DecodedMatching, JapaneseSubjectRuleMovesBothEncodedMessages) {
    DistributeRule subject = makeRule(NamedHeader, "請求書", false, false, "Subject:");
    m(subject, kJisMessage, 1, 0);
    m(subject, kUtf8Message, 1, 0);
    m(makeRule(NamedHeader, "^請求書のご案内 No.500", true, false, "Subject:"), kUtf8Message, 1, 0);
    m(makeRule(NamedHeader, "no.5003$", false, false, "Subject:"), kUtf8Message, 1, 0);
    m(makeRule(NamedHeader, "no.5003$", true, false, "Subject:"), kUtf8Message, 0, 0);
    m(makeRule(NamedHeader, "^経理部 <billing", true, false, "From:"), kUtf8Message, 1, 0);
    m(makeRule(NamedHeader, "=?UTF-8?B?", true, false, "Subject:"), kUtf8Message, 0, 1);
}

TEST(DecodedMatching, HeaderBlockAndWholeMessageSeeTheDecodedText) {
    m(makeRule(HeaderBlock, "Subject: 請求書", true), kJisMessage, 1, 0);
    m(makeRule(HeaderBlock, "\r\n\r\n請求書", true), kJisMessage, 0, 0);      // the body is not in the block
    m(makeRule(WholeMessage, "\r\n\r\n請求書\r\n$", true), kUtf8Message, 1, 0);
    m(makeRule(WholeMessage, "^From: 経理部", true), kUtf8Message, 1, 0);
    m(makeRule(WholeMessage, "6KuL5rGC", true), kUtf8Message, 0, 1);          // Base64 no longer there
    m(makeRule(HeaderBlock, "Subject: 請求書の.+No\\.500[23]", false, true), kJisMessage, 1, 0);
    m(makeRule(WholeMessage, "(?m)^請求書\\r$", false, true), kUtf8Message, 1, 0);
    m(makeRule(HeaderBlock, "CONTENT-TYPE: TEXT/PLAIN", false), kUtf8Message, 1, 1);
}

// A header line made of one encoded word before the real From: decoded, it must not read as a
// From line for any kind of rule.
TEST(DecodedMatching, AnEncodedLineIsNeverAFieldName) {
    const std::string forged = "=?us-ascii?Q?From:_boss@corp.example?=\r\nFrom: mallory@evil.example\r\n"
                               "Subject: hi\r\n\r\nbody\r\n";
    m(makeRule(NamedHeader, "boss@corp.example", false, false, "From:"), forged, 0, 0);
    m(makeRule(NamedHeader, "mallory@evil.example", false, false, "From:"), forged, 1, 1);
    m(makeRule(HeaderBlock, "^From: boss@corp\\.example", false, true), forged, 0, 0);
    m(makeRule(WholeMessage, "^From: boss@corp\\.example", false, true), forged, 0, 0);
    m(makeRule(HeaderBlock, "^From: mallory", false, true), forged, 1, 1);
}
