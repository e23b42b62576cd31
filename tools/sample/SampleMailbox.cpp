#include "tools/sample/SampleMailbox.h"

#include <cstdio>
#include <random>

#include "plugin/common/StrUtil.h"

namespace sample {

namespace {

const char kAccount[] = "Main";

std::string pad(int value, int width) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

struct Person {
    const char* name;  // Shift-JIS
    const char* address;
};

const Person kColleagues[] = {
    {"田中 一郎", "tanaka@example.co.jp"},
    {"佐藤 花子", "sato@example.co.jp"},
    {"鈴木 健", "suzuki@branch.example.co.jp"},
    {"高橋 美咲", "takahashi@example.co.jp"},
};
const Person kFamily[] = {{"母", "mother@family.example.net"}, {"兄", "brother@family.example.net"}};

const char* const kWorkSubjects[] = {"来週の予定について", "見積書のご確認",
                                     "出張報告", "資料の修正版"};
const char* const kBodies[] = {
    "お疲れさまです。\r\n先日の件、資料を添付いたしますのでご確認ください。\r\n",
    "よろしくお願いいたします。\r\n明日の打ち合わせは十時からです。\r\n",
    "本日の議事録をお送りします。\r\n次回は表計算の表を持参してください。\r\n",
    "ご連絡ありがとうございます。\r\n内容を確認のうえ、改めてご返信いたします。\r\n",
};

class Builder {
public:
    Builder(unsigned seed, int count) : random_(seed), count_(count) {}

    SampleMailbox build() {
        box_.account = kAccount;
        box_.inbox = std::string(kAccount) + "\\Inbox.box";
        folders();
        for (int i = 1; i <= count_; ++i)
            message(i);
        std::string list;
        for (const SampleMessage& m : box_.messages)
            list += m.entry.substr(m.entry.rfind('\\') + 1) + "=" + statusOf(m.unread) + "\r\n";
        add(box_.inbox + "\\Entry.lst", list);
        rules();
        return box_;
    }

private:
    void add(const std::string& path, const std::string& bytes) { box_.files.push_back({path, bytes}); }

    void folderSettings(const std::string& folder, const std::string& title, const std::string& subOrder = "") {
        std::string ini = "[Property]\r\nTitle=" + title + "\r\nType=" + (subOrder.empty() ? "Mail" : "Subfolder") + "\r\n";
        if (!subOrder.empty())
            ini += "Order=" + subOrder + "\r\n";
        add(folder + "\\Entry.ini", ini);
        if (subOrder.empty())
            add(folder + "\\Entry.lst", "");
    }

    void folders() {
        const std::string a = kAccount;
        add(a + "\\Account.ini", "[Property]\r\nOrder=I001004007008009OT\r\n");
        add(a + "\\Inbox.box\\Entry.ini", "[Property]\r\nType=Mail\r\n");
        add(a + "\\Outbox.box\\Entry.ini", "[Property]\r\nType=Mail\r\n");
        add(a + "\\Outbox.box\\Entry.lst", "");
        add(a + "\\Trash.box\\Trash.box", "");
        folderSettings(a + "\\User001.box", "仕事", "002003");
        folderSettings(a + "\\User001.box\\User002.box", "会議");
        folderSettings(a + "\\User001.box\\User003.box", "議事録");
        folderSettings(a + "\\User004.box", "メーリングリスト", "005006");
        folderSettings(a + "\\User004.box\\User005.box", "corvane-users");
        folderSettings(a + "\\User004.box\\User006.box", "oniguruma-ja");
        folderSettings(a + "\\User007.box", "請求書");
        folderSettings(a + "\\User008.box", "迷惑メール");
        folderSettings(a + "\\User009.box", "家族");
    }

    template <typename T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[random_() % N];
    }

    std::string date(int i) const {
        return "Date: Mon, " + std::to_string(1 + i % 28) + " Nov 2026 " + pad(8 + i % 10, 2) + ":" + pad(i % 60, 2) +
               ":00 +0900\r\n";
    }

    std::string body(bool iso2022, size_t minimum) {
        std::string text;
        while (text.size() < minimum)
            text += pick(kBodies);
        return iso2022 ? sjisToIso2022jp(text) : text;
    }

    void message(int i) {
        std::string kind, header, text;
        const std::string id = "Message-ID: <" + pad(i, 6) + ".sample@example.co.jp>\r\n";
        int roll = static_cast<int>(random_() % 100);
        bool iso = random_() % 3 != 0;
        size_t size = (random_() % 10 == 0) ? 40000 + random_() % 40000 : 200 + random_() % 3000;
        if (roll < 18) {
            kind = "ml-corvane";
            header = "From: " + std::string(pick(kColleagues).address) + "\r\nTo: corvane-users@lists.example.org\r\n" +
                     "Subject: [corvane-users:" + pad(1000 + i, 5) + "] " + mimeEncodedWord("振り分けの質問") + "\r\n" +
                     "X-ML-Name: corvane-users\r\nX-ML-Count: " + std::to_string(1000 + i) +
                     "\r\nList-Id: <corvane-users.lists.example.org>\r\n";
        } else if (roll < 30) {
            kind = "ml-oniguruma";
            header = "From: dev" + std::to_string(i % 7) + "@oss.example.org\r\nTo: oniguruma-ja@lists.example.org\r\n" +
                     "Subject: [Oniguruma-JA " + std::to_string(i) + "] Re: " + mimeEncodedWord("正規表現の後方参照") +
                     "\r\n" + "List-Id: Oniguruma JA <ONIGURUMA-JA.lists.example.org>\r\n";
        } else if (roll < 40) {
            kind = "invoice";
            header = "From: billing@billing.example.com\r\nTo: main@example.co.jp\r\nSubject: " +
                     mimeEncodedWord("請求書のご案内") + " No." + std::to_string(5000 + i) + "\r\n";
        } else if (roll < 50) {
            kind = "spam";
            header = "From: offer" + std::to_string(i) + "@promo.example.biz\r\nTo: main@example.co.jp\r\n" +
                     "Subject: 【未承諾広告※】今だけ特別価格\r\n" + (i % 2 ? "X-Spam-Flag: YES\r\n" : "") +
                     "X-Mailer: BulkMailer 3.1\r\n";
            iso = false;
        } else if (roll < 58) {
            kind = "family";
            const Person& p = pick(kFamily);
            header = "From: " + mimeEncodedWord(p.name) + " <" + p.address + ">\r\nTo: main@example.co.jp\r\n" +
                     "Subject: " + mimeEncodedWord("週末の予定") + "\r\n";
        } else if (roll < 70) {
            kind = "minutes";
            const Person& p = pick(kColleagues);
            header = "From: " + mimeEncodedWord(p.name) + " <" + p.address + ">\r\nTo: team@example.co.jp\r\n" +
                     "Subject: " + mimeEncodedWord("議事録の送付") + "\r\n";
            text = "議事録\r\n";
            iso = false;
        } else if (roll < 85) {
            kind = "meeting";
            const Person& p = pick(kColleagues);
            header = "From: " + mimeEncodedWord(p.name) + " <" + p.address + ">\r\nTo: main@example.co.jp\r\n" +
                     "Subject: " + mimeEncodedWord("会議の件") + "\r\n\tcontinued\r\n";
        } else {
            kind = "other";
            const Person& p = pick(kColleagues);
            header = "From: " + mimeEncodedWord(p.name) + " <" + p.address + ">\r\nTo: main@example.co.jp\r\n" +
                     "Subject: " + mimeEncodedWord(pick(kWorkSubjects)) + "\r\n";
        }
        header += std::string("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=") +
                  (iso ? "ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n" : "Shift_JIS\r\n");
        std::string bytes = "Return-Path: <bounce@example.co.jp>\r\nReceived: from mx.example.co.jp by mail.example.co.jp;\r\n" +
                            date(i) + id + header + "\r\n" + (iso ? sjisToIso2022jp(text) : text) + body(iso, size);
        std::string key = pad(i, 8);
        add(box_.inbox + "\\" + key + ".qpm", bytes);
        box_.messages.push_back({box_.inbox + "\\" + key, kind, random_() % 5 == 0});
    }

    void rules() {
        const std::string a = kAccount;
        // Every target, anchors, both case modes and regular expressions; the first match wins.
        // The encoded subject in lower case: plain comparisons without case distinction fold
        // ASCII letters only, so Base64 text matches whatever its letters' case.
        std::string meeting = mimeEncodedWord("会議の件");
        for (char& c : meeting)
            c = static_cast<char>(corvane::foldAscii(static_cast<unsigned char>(c)));
        const std::string rule8 = "rule8=\"2: " + meeting + ": Subject::: 0: 0: Main\\User001.box\\User002.box\"";
        const char* const lines[] = {
            "rule1=\"2: corvane-users: X-ML-Name::: 1: 0: Main\\User004.box\\User005.box\"",
            "rule2=\"2: oniguruma-ja.lists.example.org>$: List-Id::: 0: 0: Main\\User004.box\\User006.box\"",
            "rule3=\"1: ^From:: [a-z]+@billing\\.example\\.com\\r$: : 1: 1: Main\\User007.box\"",
            "rule4=\"2: ^YES$: X-Spam-Flag::: 1: 0: Main\\User008.box\"",
            "rule5=\"1: X-Mailer:: Bulk: : 0: 0: Main\\Trash.box\"",
            "rule6=\"2: @family.example.net: From::: 0: 0: Main\\User009.box\"",
            "rule7=\"0: ^議事: : 1: 1: Main\\User001.box\\User003.box\"",
            rule8.c_str(),
            "rule9=\"2: ^=?ISO-2022-JP?B?: Subject::: 1: 0: Main\\Inbox.box\"",
        };
        std::string ini = "[Generic]\r\nunreadmail=0\r\nreportresult=1\r\n[Rule]\r\n";
        for (const char* line : lines)
            ini += std::string(line) + "\r\n";
        add(a + "\\corvane.ini", ini);
    }

    std::mt19937 random_;
    int count_;
    SampleMailbox box_;
};

}  // namespace

std::string statusOf(bool unread) {
    std::string status(12, '\0');
    status[0] = 0x01;
    status[3] = unread ? 0x40 : 0x00;
    return base64(status);
}

std::string base64(const std::string& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            value |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(value >> 18) & 63];
        out += alphabet[(value >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(value >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[value & 63] : '=';
    }
    return out;
}

std::string sjisToIso2022jp(const std::string& sjis) {
    std::string out;
    bool kanji = false;
    for (size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c1 = static_cast<unsigned char>(sjis[i]);
        if (corvane::isSjisLeadByte(c1) && i + 1 < sjis.size()) {
            unsigned char c2 = static_cast<unsigned char>(sjis[++i]);
            if (!kanji) {
                out += "\x1B$B";
                kanji = true;
            }
            int j1, j2;
            if (c2 < 0x9F) {
                j1 = (c1 < 0xA0 ? (c1 - 0x81) * 2 + 0x21 : (c1 - 0xE0) * 2 + 0x5F);
                j2 = c2 - 0x1F - (c2 > 0x7F ? 1 : 0);
            } else {
                j1 = (c1 < 0xA0 ? (c1 - 0x81) * 2 + 0x22 : (c1 - 0xE0) * 2 + 0x60);
                j2 = c2 - 0x7E;
            }
            out += static_cast<char>(j1);
            out += static_cast<char>(j2);
            continue;
        }
        if (kanji) {
            out += "\x1B(B";
            kanji = false;
        }
        out += static_cast<char>(c1);
    }
    if (kanji)
        out += "\x1B(B";
    return out;
}

std::string mimeEncodedWord(const std::string& sjis) {
    return "=?ISO-2022-JP?B?" + base64(sjisToIso2022jp(sjis)) + "?=";
}

SampleMailbox buildSampleMailbox(unsigned seed, int messageCount) {
    return Builder(seed, messageCount).build();
}

}  // namespace sample
