// Splitting one of the host's own sorting rules: header name, search text, folder.
// Platform-free.
#pragma once

#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

// "header: text: folder" with the colons of header and text doubled. Header and text end at
// the separator of the rules file text form (findFieldSeparator); the folder is the whole
// rest of the value, separators included, unchanged. Fails, leaving all three empty, when a
// separator is missing or a field would not fit its buffer whole.
bool parseHostRule(const char* value, char (&headerName)[1024], char (&searchText)[1024],
                   PathBuffer& folder);

}  // namespace corvane
