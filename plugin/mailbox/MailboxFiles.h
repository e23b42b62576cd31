// Paths inside the host's mailbox, formed from the mailbox root the host reports at each use.
#pragma once

#include "plugin/mailbox/MailboxPaths.h"

namespace corvane {

// Whether a folder exists: the trash by its directory, any other folder by its settings file.
bool folderExists(const char* folderPath);

// root + entry + ".qpm"; false (out empty) when the host gives no root or it would not fit.
bool messageFilePath(const char* entryName, PathBuffer& out);

// The folder's message list; false (out empty) likewise.
bool messageListPath(const char* folderPath, PathBuffer& out);

}  // namespace corvane
