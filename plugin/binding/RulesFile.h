// "corvane.ini" in an account directory: the window's rules and its two options.
#pragma once

#include "plugin/binding/FolderRegistry.h"

namespace corvane {

// Reads the options, then the rules, appending them to the record's list. Reading stops at
// the first missing, empty or unreadable rule key; options the file lacks keep their value.
void loadRules(FolderContext& context);

// Writes rules 1 .. ruleCount, then both options. Keys above ruleCount are left alone.
void saveRules(const FolderContext& context);

// Deletes the keys "rule<first>" .. "rule<last>"; nothing without a context or when last < first.
void deleteRuleKeys(const FolderContext* context, int first, int last);

// Whether the rule can be written to the file and read back as itself: its text form fits
// and splits back whole, and its texts survive the system code page, through which the
// profile functions convert every value (a byte pair that is no Shift-JIS character would
// come back as another character).
bool ruleStorable(const DistributeRule& rule);

// The path of a file in the record's account directory; false when it would not fit.
bool accountFilePath(const FolderContext& context, const char* fileName, PathBuffer& out);

}  // namespace corvane
