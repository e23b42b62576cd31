// A private-profile (INI) file read the way GetPrivateProfileStringA and GetPrivateProfileIntA
// read it, keeping the line of every key so that findings can point at it. Platform-free.
//
// Sections and keys compare without regard to ASCII case; the first section of a name and the
// first key of a name inside it win; key and value are trimmed of blanks and tabs, and a value
// enclosed in one pair of matching quotes (double or single) loses them; ';' starts a comment
// line; CR LF and LF both end a line. The text is taken through code page 932 and back first,
// as those functions take it (cp932::profileRoundTrip): 0xED40 reads as 0xFA5C.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/rules/RulesProfile.h"

namespace corvane {

struct ProfileLine {
    enum Kind { Blank, Comment, Section, Key, Other };
    Kind kind = Blank;
    int number = 0;        // 1-based line number in the file
    std::string section;   // the section this line belongs to (its name for a Section line)
    int sectionIndex = -1; // which occurrence of that section, counted from 0 in file order
    std::string key;       // Key lines: the trimmed name
    std::string value;     // Key lines: the value as the functions return it (quotes removed)
    bool hasEquals = false;
};

class ProfileFile : public ProfileSource {
public:
    // Parses the file text. A leading UTF-8 byte-order mark is skipped.
    explicit ProfileFile(const std::string& text);

    const std::vector<ProfileLine>& lines() const { return lines_; }

    // The line that a lookup of section/key finds, or null.
    const ProfileLine* find(const char* section, const char* key) const;

    // What GetPrivateProfileStringA returns with the default "" and a buffer of bufferSize
    // bytes: the value cut to bufferSize - 1 bytes. *length receives the returned length.
    std::string readString(const char* section, const char* key, size_t bufferSize,
                           size_t* length = nullptr) const override;

    // What GetPrivateProfileIntA returns: the default for a missing or empty value, else the
    // leading decimal integer (blanks, sign, digits; no digits give 0) as an unsigned value.
    unsigned readInt(const char* section, const char* key, unsigned defaultValue) const override;

    // Whether this line is the one a lookup of its section and key finds.
    bool isEffective(const ProfileLine& line) const;

private:
    std::vector<ProfileLine> lines_;
};

// Leading decimal integer of a profile value, as GetPrivateProfileIntA converts it.
unsigned profileInteger(const std::string& value);

}  // namespace corvane
