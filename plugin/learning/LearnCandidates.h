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
constexpr size_t kLearnedHeaderCount = 9;
extern const char* const kLearnedHeaders[kLearnedHeaderCount];

// Candidate texts from one header value: addresses, domains, list identifiers, subject tags with
// their numbers cut off, the subject's first word.
std::vector<std::string> candidateTexts(const char* headerName, const std::string& value);

// The physical lines of a header block as "Name: value" texts, for folders no named header
// separates; the learnt headers and the lines that change with every message left out.
std::vector<std::string> blockCandidates(const std::string& block);

// The lines of a message's body long enough to say something (a list's footer, a signature).
std::vector<std::string> bodyCandidates(const std::string& text);

// Whether a case-folded search of text could find bytes that are not the text: a double-byte
// Shift-JIS character whose second byte is an ASCII letter.
bool caseMatters(const std::string& text);

}  // namespace corvane
