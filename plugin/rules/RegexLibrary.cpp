#include "plugin/rules/RegexLibrary.h"

#include <mutex>

#include <oniguruma.h>

namespace corvane {

namespace {

std::mutex g_regexLibraryMutex;
bool g_regexLibraryReady = false;

}  // namespace

void ensureRegexLibrary() {
    std::lock_guard<std::mutex> lock(g_regexLibraryMutex);
    if (g_regexLibraryReady)
        return;
    OnigEncoding encodings[] = {ONIG_ENCODING_ASCII};
    g_regexLibraryReady = onig_initialize(encodings, 1) == ONIG_NORMAL;
}

void endRegexLibrary() {
    std::lock_guard<std::mutex> lock(g_regexLibraryMutex);
    onig_end();
    g_regexLibraryReady = false;
}

const char* regexLibraryVersion() {
    return onig_version();
}

}  // namespace corvane
