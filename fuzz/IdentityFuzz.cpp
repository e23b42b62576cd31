// The identities beside a history on hostile files: a companion reads back only when it is
// exactly what the writer gives for its history, and a message list never yields a key that
// names a file outside its folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/history/MessageIdentity.h"
#include "plugin/history/MessageListKeys.h"

using namespace corvane;

namespace {

const std::string kHistory = "acct\\Inbox.box\r\nacct\\Inbox.box\\1 acct\\Work\r\nacct\\Inbox.box\\2 acct\\Work\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::vector<MessageIdentity> identities;
    for (size_t moves = 0; moves < 3; ++moves) {
        if (parseIdentities(bytes, size, kHistory.data(), kHistory.size(), moves, identities)) {
            if (identities.size() != moves || formatIdentities(kHistory, identities) != std::string(bytes, size))
                abort();
        } else if (!identities.empty()) {
            abort();
        }
    }
    std::string text(bytes, size);
    for (const std::string& key : messageListKeys(text.c_str(), 50))
        if (key.empty() || key.find_first_of("\\/:\r\n=") != std::string::npos)
            abort();
    return 0;
}
