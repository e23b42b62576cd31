// Reading an account's rules and options from its rules file, one way for every reader: the
// plug-in through the system's private-profile functions, corvane-check through its own reader
// of the file. Platform-free.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

// A private-profile file as GetPrivateProfileIntA and GetPrivateProfileStringA read it.
class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    // The key's leading decimal integer, or defaultValue when it is missing or empty.
    virtual unsigned readInt(const char* section, const char* key, unsigned defaultValue) const = 0;
    // The key's value with the default "" into a buffer of bufferSize bytes: cut to
    // bufferSize - 1 bytes; *length gets the length returned.
    virtual std::string readString(const char* section, const char* key, size_t bufferSize, size_t* length) const = 0;
};

// A private-profile file that can be written as well, as WritePrivateProfileStringA writes it.
class ProfileStore : public ProfileSource {
public:
    // Writes the value, enclosed in double quotes by the caller where blanks must survive;
    // a null value deletes the key.
    virtual void writeString(const char* section, const char* key, const char* value) = 0;
    // The names of the keys of the section, in file order.
    virtual std::vector<std::string> keyNames(const char* section) const = 0;
};

// Why reading stopped at rule number stopNumber.
enum class RulesStop {
    Empty,       // the key is missing or its value empty
    TooLong,     // the value filled the buffer: reading it would give another rule
    Unparsable,  // the value is no rule
};

// What the file holds: the options keep their value where the file has none of its own
// (decodemime is on only when it reads 1).
struct RulesProfile {
    RuleList rules;
    std::vector<std::string> values;  // per rule: the value read
    bool unreadMail = false;
    bool reportResult = false;
    bool decodeMime = false;
    int stopNumber = 1;
    RulesStop stop = RulesStop::Empty;
};

// Reads the options, then rule1, rule2, ... up to the first missing, empty, cut or unreadable
// key, appending to profile.
void readRulesProfile(const ProfileSource& source, RulesProfile& profile);

// Writes "rule1" .. of the rules that storable accepts (the others are left out and the rules
// after them close up), each with its further conditions, and returns how many it wrote.
// A rule of several conditions keeps its id, unless another rule of the list took it first or
// it has none: it then gets one that no rule key in the file names.
int writeRuleKeys(ProfileStore& store, const RuleList& rules, size_t count,
                  const std::function<bool(const DistributeRule&)>& storable);

// Deletes every key of further conditions that no rule key of the file names (or names with
// fewer conditions), whichever release wrote or dropped that rule key.
void deleteStaleConditions(ProfileStore& store);

}  // namespace corvane
