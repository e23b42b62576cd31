#include "plugin/learning/LearnCandidates.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "plugin/common/StrUtil.h"
#include "plugin/rules/DistributeRule.h"
#include "plugin/text/HeaderExtraction.h"

namespace corvane {

// List headers name a stream best, then who sends it, then to whom; where replies and bounces
// go only where none of those separates, and the subject least.
const char* const kLearnedHeaders[kLearnedHeaderCount] = {
    "List-Id:", "X-ML-Name:",   "X-Mailing-List:", "List-Post:", "Sender:",      "From:",
    "To:",      "Cc:",          "Delivered-To:",   "Reply-To:",  "Return-Path:", "Subject:"};

bool isAddressSlot(size_t slot) {
    return slot >= 3 && slot < kSubjectSlot;
}

namespace {

constexpr size_t kLongestBlockLine = 200;
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

bool usableText(const std::string& text) {
    return text.size() >= 2 && text.size() < sizeof(DistributeRule().searchText) && text[0] != '^' &&
           text.back() != '$' && printableSjis(text);
}

void addText(std::vector<std::string>& out, std::string text) {
    text = trimBlanks(text);
    if (usableText(text) && std::find(out.begin(), out.end(), text) == out.end())
        out.push_back(text);
}

// The same for the many lines of a header block or body: each text once through a set, so that
// a block of thousands of short lines costs no more than its length.
void addLine(std::vector<std::string>& out, std::unordered_set<std::string>& seen, std::string text) {
    text = trimBlanks(text);
    if (usableText(text) && seen.insert(text).second)
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

bool hasDoubleByte(const std::string& text) {
    for (unsigned char c : text)
        if (isSjisLeadByte(c))
            return true;
    return false;
}

// A word a subject phrase may hold: letters, digits and "-'.,!?&" but not digits alone.
bool phraseWord(const std::string& word) {
    bool letter = false;
    for (unsigned char c : word) {
        if (isLetter(c))
            letter = true;
        else if (!(c >= '0' && c <= '9') && !strchr("-'.,!?&", c))
            return false;
    }
    return letter;
}

// The subject's opening phrase: a leading encoded word or Japanese text whole; else its first
// two and three words.
void openingPhrases(const std::string& rest, std::vector<std::string>& out) {
    std::string first = rest.substr(0, findSjis(rest, ' '));
    if (first.compare(0, 2, "=?") == 0 || hasDoubleByte(first)) {
        if (first.size() >= 4)
            addText(out, first);
        return;
    }
    std::string phrase;
    size_t start = 0;
    for (int words = 0; words < 3 && start < rest.size(); ++words) {
        size_t end = rest.find(' ', start);
        std::string word = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!phraseWord(word))
            return;
        phrase += (phrase.empty() ? "" : " ") + word;
        if (words > 0 && phrase.size() >= 6)
            addText(out, phrase);
        if (end == std::string::npos)
            return;
        start = end + 1;
        while (start < rest.size() && rest[start] == ' ')
            ++start;
    }
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
    bool bracketed = !rest.empty() && (rest[0] == '[' || rest[0] == '(' || rest.compare(0, 2, "\x81\x79") == 0);
    if (!bracketed)
        openingPhrases(rest, out);
}

}  // namespace

std::vector<std::string> blockCandidates(const std::string& block) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
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
            addLine(out, seen, line);
    }
    return out;
}

std::vector<std::string> bodyCandidates(const std::string& text) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    size_t pos = headerBlockEnd(text.c_str());
    pos = pos + 4 <= text.size() ? pos + 4 : text.size();
    for (size_t lines = 0; pos < text.size() && lines < kBodyLinesLookedAt; ++lines) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trimBlanks(text.substr(pos, std::min(end - pos, kLongestBodyLine + 1)));
        pos = end + 2;
        if (line.size() >= kShortestBodyLine && line.size() <= kLongestBodyLine)
            addLine(out, seen, line);
    }
    return out;
}

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
    } else if (is("List-Post:")) {
        for (std::string address : addressesOf(value))
            addText(out, compareNoCase(address.c_str(), "mailto:", 7) == 0 ? address.substr(7) : address);
    } else if (is("From:") || is("Sender:") || is("Reply-To:") || is("Return-Path:") || is("To:") || is("Cc:") ||
               is("Delivered-To:")) {
        bool domains = is("From:") || is("Sender:") || is("Return-Path:");
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

std::vector<std::string> displayNameTexts(const std::string& value) {
    std::vector<std::string> out;
    size_t open = findSjis(value, '<');
    if (open == std::string::npos || findSjis(value, ',') < open)
        return out;
    std::string name = trimBlanks(value.substr(0, open));
    if (name.empty() || findSjis(name, '@') != std::string::npos)
        return out;
    bool quoted = name.size() >= 2 && name[0] == '"' && name.back() == '"';
    std::string bare = quoted ? trimBlanks(name.substr(1, name.size() - 2)) : name;
    if (bare.size() < 2 || findSjis(bare, '"') != std::string::npos)
        return out;
    addText(out, bare);
    size_t nameStart = value.find(name);
    addText(out, quoted ? name : value.substr(nameStart, open + 1 - nameStart));
    return out;
}

std::string foldedText(const std::string& text) {
    std::string out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (isSjisLeadByte(c))
            ++i;
        else if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace corvane
