// Lifetime of the regular-expression library (Oniguruma, ASCII encoding). Platform-free.
#pragma once

namespace corvane {

// Initialises the library once for the ASCII encoding; safe to call before every compile.
void ensureRegexLibrary();

// Ends the library (clean-up); a later ensureRegexLibrary initialises it again.
void endRegexLibrary();

// The library's version text, such as "6.9.8".
const char* regexLibraryVersion();

}  // namespace corvane
