// The checker library's interface, for corvane-check itself and for other programs that use
// it (the stand-in host's preview and playground): the command line, the preview and
// explanation of a folder's messages, and the platform-free disk access, header display and
// console text that it reads and shows mail with.
#pragma once

#include "tools/check/Charset.h"
#include "tools/check/CheckCommand.h"
#include "tools/check/Disk.h"
#include "tools/check/Preview.h"
#include "tools/check/TextDisplay.h"
