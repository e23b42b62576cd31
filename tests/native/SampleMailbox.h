// The sample mailbox of the demo: account "Main" with three user folders, eight messages in its
// inbox (ISO-2022-JP encoded and raw Shift-JIS subjects, a mailing list, a newsletter, a spam
// flag, an unread message) and five rules, the last of them hidden behind the first.
#pragma once

#include <string>
#include <vector>

#include "MailboxBuilder.h"

namespace corvane {
namespace testmailbox {

struct SampleMailbox {
    std::string account = "Main";
    std::string inbox = "Main\\Inbox.box";
    std::string lists = "Main\\User001.box";
    std::string work = "Main\\User002.box";
    std::string news = "Main\\User003.box";
    std::vector<std::string> entries;  // the inbox messages in list order
};

inline SampleMailbox buildSampleMailbox(MailboxBuilder& box) {
    typedef MailboxBuilder B;
    SampleMailbox sample;
    box.createAccount(sample.account, "I001002003OT");
    box.createUserFolder(sample.account, "001", "メーリングリスト");
    box.createUserFolder(sample.account, "002", "仕事");
    box.createUserFolder(sample.account, "003", "お知らせ");
    const std::string inbox = sample.inbox;
    auto add = [&](const std::vector<std::string>& headers, const std::string& body, bool unread = false) {
        sample.entries.push_back(box.addMessage(inbox, B::message(headers, body), unread));
    };
    add({"From: list-a@lists.example.org", "Subject: [list-a] =?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=",
         "To: user@example.jp"},
        "Meeting on Friday.\r\n");
    add({"From: boss@example.co.jp", "Subject: =?ISO-2022-JP?B?GyRCPTVKcxsoQg==?=", "To: user@example.jp"},
        "今週の報告をお願いします。\r\n");
    add({"From: news@shop.example.com", "Subject: =?ISO-2022-JP?B?GyRCR1s/LkRkO18kTiQ0MEZGYhsoQg==?=",
         "To: user@example.jp"},
        "To unsubscribe, reply with STOP.\r\n");
    add({"From: friend@example.net", "Subject: 久しぶり", "To: user@example.jp"}, "元気ですか。\r\n");
    add({"From: list-a@lists.example.org", "Subject: [LIST-A] 定例の議事録", "To: user@example.jp"},
        "議事録を送ります。\r\n");
    add({"From: unknown@spam.example", "Subject: You won!", "X-Spam-Flag: YES", "To: user@example.jp"},
        "Click here.\r\n");
    add({"From: boss@example.co.jp", "Subject: =?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=",
         "To: user@example.jp"},
        "未読のままの連絡です。\r\n", true);
    add({"From: list-a@lists.example.org", "Subject: [list-a] 定例", "To: user@example.jp"}, "定例会です。\r\n");
    box.writeRules(sample.account, {
        "[Generic]",
        "unreadmail=0",
        "reportresult=1",
        "[Rule]",
        "rule1=\"2: [list-a]: Subject::: 0: 0: Main\\User001.box\"",
        "rule2=\"2: @example.co.jp: From::: 0: 0: Main\\User002.box\"",
        "rule3=\"0: unsubscribe|配信停止: : 0: 1: Main\\User003.box\"",
        "rule4=\"1: ^X-Spam-Flag::\\s*YES: : 1: 1: Main\\Trash.box\"",
        "rule5=\"2: 定例: Subject::: 0: 0: Main\\User002.box\"",
    });
    return sample;
}

}  // namespace testmailbox
}  // namespace corvane
