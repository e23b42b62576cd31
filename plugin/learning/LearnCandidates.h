// The texts a learnt rule may search for, drawn from one message: named-header values cut into
// what identifies a stream of mail, header-block lines and body lines. Shift-JIS aware; texts
// that the plain pattern form cannot hold (a leading "^" or trailing "$", control bytes) are
// left out. Platform-free.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

// The header fields a learnt rule may name, in the order a rule on them is preferred when two
// cover the same messages.
constexpr size_t kLearnedHeaderCount = 12;
extern const char* const kLearnedHeaders[kLearnedHeaderCount];

// Indices in kLearnedHeaders of the fields the learner treats apart.
constexpr size_t kListHeaderSlots = 4;  // the first four: List-Id, X-ML-Name, X-Mailing-List, List-Post
constexpr size_t kFromSlot = 5;
constexpr size_t kFirstRecipientSlot = 6;  // To, Cc, Delivered-To
constexpr size_t kRecipientSlotEnd = 9;
constexpr size_t kSubjectSlot = 11;

// Whether the slot holds addresses (senders, recipients, a list's posting address).
bool isAddressSlot(size_t slot);

// Candidate texts from one header value: addresses, senders' domains, list identifiers and
// posting addresses, subject tags with their numbers cut off, and where a subject has no tag its
// opening phrase: two or three words (never one word alone: a single word of a subject says too
// little and takes mail by part of a word), or a leading encoded word or Japanese text, which
// holds a phrase. Words that are only digits (they count) end a phrase.
std::vector<std::string> candidateTexts(const char* headerName, const std::string& value);

// The sender's name of a From value "Name <address>" or "\"Name\" <address>": the name as a
// person reads it, quotes taken off, then the name with what ends it in the field (the closing
// quote, or " <"), for a name that is the start of another sender's name. Nothing for a bare
// address or a name that holds "@".
std::vector<std::string> displayNameTexts(const std::string& value);

// The text with its ASCII letters in lower case, second bytes of double-byte characters kept:
// one key for the spellings of one address that a case-folded rule takes alike.
std::string foldedText(const std::string& text);

// The physical lines of a header block as "Name: value" texts, for folders no named header
// separates; the learnt headers and the lines that change with every message left out.
std::vector<std::string> blockCandidates(const std::string& block);

// The lines of a message's body long enough to say something (a list's footer, a signature).
std::vector<std::string> bodyCandidates(const std::string& text);

// Whether a case-folded search of text could find bytes that are not the text: a double-byte
// Shift-JIS character whose second byte is an ASCII letter.
bool caseMatters(const std::string& text);

}  // namespace corvane
