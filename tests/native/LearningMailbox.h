// A generated mailbox of the shape that real mail has and that misleads a learner: feeds relayed
// through one gateway address and told apart only by the sender's display name (one name the
// start of another, one MIME encoded); a list without list headers whose address comes spelled
// several ways; the owner's address on every message (on one list as its Sender); cross-posts
// that arrive once through each list; senders that first write in the newest mail; subjects from
// one shared vocabulary of single words; read mail left in the inbox. Dates rise with arrival,
// a few messages arriving late. Deterministic from its seed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "MailboxBuilder.h"
#include "plugin/learning/RuleLearning.h"
#include "tools/sample/SampleMailbox.h"

namespace corvane {
namespace testmailbox {

struct LearningMailbox {
    std::string account = "Main";
    std::string owner = "taro.yamada@home.example.jp";
    std::vector<std::string> titles;  // per folder of input.folders
    LearnInput input;                 // in arrival order; folder -1: read mail left in the inbox
    // The rules a person would write: one per list, feed, sender domain and tag, two for the bills
    // (two billers).
    static constexpr int kPersonRules = 14;
    // The name of the feed that is only the start of another feed's name, and the encoded one.
    std::string shortFeed = "Science";
    std::string encodedFeed;
};

namespace learningmailbox {

enum Stream { Dev, Users, Announce, Jobs, World, Science, ScienceWeekly, Sports, Family, Work, Shop, Bills, Support, Kept };

struct Folder {
    Stream stream;
    const char* title;
    int weight;
};

const Folder kFolders[] = {{Dev, "dev", 120},           {Users, "users", 90},    {Announce, "announce", 40},
                           {Jobs, "jobs", 40},          {World, "World News", 50}, {Science, "Science", 50},
                           {ScienceWeekly, "Science Weekly", 45}, {Sports, "地域スポーツ", 45},
                           {Family, "家族", 45},        {Work, "仕事", 80},      {Shop, "ショップ", 40},
                           {Bills, "請求書", 30},       {Support, "サポート", 50}, {Kept, "", 90}};

inline std::string pick(std::mt19937& random, const std::vector<std::string>& from) {
    return from[random() % from.size()];
}

inline std::string number(unsigned value, int width) {
    char text[16];
    snprintf(text, sizeof text, "%0*u", width, value);
    return text;
}

// "2 Nov 2026 10:00:00 +0900" for seconds since 1970 in Japan's time.
inline std::string dateText(int64_t seconds) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    seconds += 9 * 3600;
    int64_t days = seconds / 86400, rest = seconds % 86400;
    int64_t z = days + 719468, era = z / 146097, dayOfEra = z - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t mp = (5 * dayOfYear + 2) / 153, day = dayOfYear - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9, year = yearOfEra + era * 400 + (month <= 2);
    char text[64];
    snprintf(text, sizeof text, "%d %s %d %02d:%02d:%02d +0900", static_cast<int>(day), kMonths[month - 1],
             static_cast<int>(year), static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
             static_cast<int>(rest % 60));
    return text;
}

// Subjects of single words and short titles from one vocabulary shared by every stream.
inline std::string subject(std::mt19937& random) {
    static const std::vector<std::string> kWords = {
        "Marriage", "Education", "First", "Currie", "Budget", "Weather", "Elections", "Update", "Release",
        "Question", "Meeting", "Report", "Notes", "Travel", "Health", "Music", "Garden", "Library",
        "Review", "Schedule", "Photos", "Invoice", "Problem", "Tuesday", "Results", "Plans", "Summer"};
    std::string text = pick(random, kWords);
    if (random() % 2)
        text += " " + pick(random, kWords);
    return text;
}

struct Generator {
    std::mt19937 random;
    LearningMailbox& box;
    int serial = 0;

    std::string person(const char* domain, unsigned count) {
        return "user" + std::to_string(random() % count) + "@" + domain;
    }

    std::vector<std::string> common(int64_t date, const std::string& returnPath) {
        return {"Return-Path: <" + returnPath + ">", "Date: " + dateText(date),
                "Message-ID: <" + std::to_string(++serial) + ".learning@mx.example.net>",
                "MIME-Version: 1.0", "Content-Type: text/plain; charset=ISO-2022-JP"};
    }

    std::vector<std::string> list(Stream stream, int64_t date, bool crossPost) {
        std::string from = person(random() % 3 ? "devmail.example.org" : "uni.example.ac.jp", 40);
        bool dev = stream == Dev;
        const char* name = dev ? "dev" : "users";
        std::vector<std::string> headers = common(date, std::string(name) + "-bounces@lists.example.org");
        headers.push_back("From: " + from);
        headers.push_back(std::string("To: ") + name + "@lists.example.org");
        if (crossPost)
            headers.push_back(std::string("Cc: ") + (dev ? "users" : "dev") + "@lists.example.org");
        headers.push_back("Subject: [" + std::string(name) + ":" + number(static_cast<unsigned>(serial), 5) + "] " +
                          subject(random));
        headers.push_back(std::string("List-Id: ") + (dev ? "Developers <dev" : "<users") + ".lists.example.org>");
        headers.push_back(std::string("List-Post: <mailto:") + name + "@lists.example.org>");
        headers.push_back("Delivered-To: " + box.owner);
        return headers;
    }

    std::vector<std::string> feed(Stream stream, int64_t date) {
        std::string name = stream == World           ? "\"World News\""
                           : stream == Science       ? box.shortFeed
                           : stream == ScienceWeekly ? box.shortFeed + " Weekly"
                                                     : box.encodedFeed;
        std::vector<std::string> headers = common(date, "feeds@relay.example.net");
        headers.push_back("From: " + name + " <feeds@relay.example.net>");
        headers.push_back("To: " + box.owner);
        headers.push_back("Subject: " + subject(random));
        return headers;
    }

    // Senders of one domain; from the last sixth of the mail on, one more writes too.
    std::vector<std::string> domainMail(Stream stream, int64_t date, bool late) {
        bool family = stream == Family;
        const char* domain = family ? "family.example.net" : "corp.example.co.jp";
        std::string from = late && random() % 3 == 0 ? std::string(family ? "cousin@" : "newcomer@") + domain
                                                      : person(domain, family ? 3 : 10);
        std::vector<std::string> headers = common(date, from);
        headers.push_back("From: " + from);
        headers.push_back(random() % 4 ? "To: Taro Yamada <" + box.owner + ">" : "To: TARO.YAMADA@home.example.jp");
        headers.push_back("Subject: " + (random() % 3 ? subject(random) : "Re: " + subject(random)));
        return headers;
    }

    std::vector<std::string> other(Stream stream, int64_t date) {
        static const std::vector<std::string> kAnnounce = {
            "announce@lists.example.org", "Announce@lists.example.org", "ANNOUNCE@LISTS.EXAMPLE.ORG",
            "\"Announce\" <announce@Lists.Example.Org>", "announce@lists.example.org (Announcements)"};
        std::vector<std::string> headers;
        if (stream == Announce) {
            headers = common(date, "announce-bounces@lists.example.org");
            headers.push_back("From: " + person("devmail.example.org", 40));
            headers.push_back("To: " + pick(random, kAnnounce));
            headers.push_back("Sender: " + box.owner);
        } else if (stream == Jobs) {
            headers = common(date, "jobs-admin@ml.example.jp");
            headers.push_back("From: " + person("recruit.example.com", 30));
            headers.push_back("To: jobs@ml.example.jp");
            headers.push_back("Cc: " + box.owner);
            headers.push_back("X-ML-Name: jobs");
        } else if (stream == Shop) {
            headers = common(date, "bounce@mailer.shop.example.com");
            headers.push_back("From: Shop Example <news@shop.example.com>");
            headers.push_back("Reply-To: support@shop.example.com");
            headers.push_back("To: " + box.owner);
        } else if (stream == Bills) {
            std::string from = random() % 3 ? "billing@power.example.com" : "invoices@water.example.org";
            headers = common(date, from);
            headers.push_back("From: " + from);
            headers.push_back("To: " + box.owner);
        } else if (stream == Support) {
            std::string from = person(random() % 2 ? "helpdesk.example.com" : "customers.example.net", 25);
            headers = common(date, from);
            headers.push_back("From: " + from);
            headers.push_back("To: " + box.owner);
            headers.push_back("Subject: [Support #" + number(4000 + static_cast<unsigned>(serial), 5) + "] " +
                              subject(random));
            return headers;
        } else {
            std::string from = random() % 4 ? person("freemail.example.com", 60) : person("devmail.example.org", 40);
            headers = common(date, from);
            headers.push_back("From: " + from);
            headers.push_back("To: " + box.owner);
        }
        headers.push_back("Subject: " + subject(random));
        return headers;
    }

    void add(int folder, const std::vector<std::string>& headers) {
        box.input.messages.push_back({MailboxBuilder::message(headers, "Hello.\r\n"), folder});
    }
};

}  // namespace learningmailbox

// messages: about how many to make (cross-posts add their second copies).
inline LearningMailbox buildLearningMailbox(unsigned seed = 2026, int messages = 900) {
    using namespace learningmailbox;
    LearningMailbox box;
    box.encodedFeed = sample::mimeEncodedWord("地域スポーツ");
    std::vector<int> weights;
    for (const Folder& folder : kFolders) {
        weights.push_back(folder.weight);
        if (folder.stream == Kept)
            continue;
        box.input.folders.push_back(box.account + "\\User" + number(static_cast<unsigned>(box.titles.size() + 1), 3) +
                                    ".box");
        box.titles.push_back(folder.title);
    }
    Generator make{std::mt19937(seed), box};
    std::discrete_distribution<int> which(weights.begin(), weights.end());
    int64_t date = 1780000000;  // June 2026
    for (int i = 0; i < messages; ++i) {
        date += 1800 + make.random() % 7200;
        // A few arrive late: their Date is older than mail listed before them.
        int64_t written = make.random() % 30 == 0 ? date - 20000 : date;
        int index = which(make.random);
        Stream stream = kFolders[index].stream;
        int folder = stream == Kept ? -1 : index;
        bool late = i >= messages * 5 / 6;
        if (stream == Dev || stream == Users) {
            bool crossPost = make.random() % 8 == 0;
            make.add(folder, make.list(stream, written, crossPost));
            if (crossPost)  // the same post through the other list, into its folder
                make.add(stream == Dev ? Users : Dev, make.list(stream == Dev ? Users : Dev, written, true));
        } else if (stream >= World && stream <= Sports) {
            make.add(folder, make.feed(stream, written));
        } else if (stream == Family || stream == Work) {
            make.add(folder, make.domainMail(stream, written, late));
        } else {
            make.add(folder, make.other(stream, written));
        }
    }
    return box;
}

// The mailbox on disk: the account, its user folders with their titles, every message in
// arrival order (the inbox's read mail, and a few unread messages that no run takes).
inline void writeLearningMailbox(MailboxBuilder& builder, const LearningMailbox& box) {
    std::string order = "I";
    for (size_t f = 0; f < box.input.folders.size(); ++f)
        order += learningmailbox::number(static_cast<unsigned>(f + 1), 3);
    builder.createAccount(box.account, order + "OT");
    for (size_t f = 0; f < box.titles.size(); ++f)
        builder.createUserFolder(box.account, learningmailbox::number(static_cast<unsigned>(f + 1), 3), box.titles[f]);
    std::string inbox = box.account + "\\Inbox.box";
    for (const LearnMessage& message : box.input.messages)
        builder.addMessage(message.folder < 0 ? inbox : box.input.folders[static_cast<size_t>(message.folder)],
                           message.text);
    for (int i = 0; i < 3; ++i)
        builder.addMessage(inbox, MailboxBuilder::message({"From: " + box.owner, "Subject: note to self"}, "x\r\n"),
                           true);
}

}  // namespace testmailbox
}  // namespace corvane
