// What a sorting run records of each message it hands to the host, so that an undo moves back
// that message and no other: whether the message's key was already taken in the destination,
// and the message's identity (its true size and the SHA-256 of its bytes as the run read them,
// at most the first 65,536). Platform-free.
//
// The identities live in "corvane.hid" beside the history file, which keeps its own format.
// The companion names the SHA-256 of the history's bytes; a companion that names other bytes,
// or holds another number of records than the history has moves, belongs to no history of
// ours and is ignored. On disk, every line ending in CR LF:
//   corvane-identities 1
//   <SHA-256 of the history file>
//   <T if the key was taken, else F> <true size> <SHA-256 of the bytes read>   (one per move)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

struct MessageIdentity {
    bool keyTaken = false;
    uint64_t size = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits

    bool operator==(const MessageIdentity& other) const {
        return keyTaken == other.keyTaken && size == other.size && sha256 == other.sha256;
    }
};

// The identity of a message whose file holds trueSize bytes, of which bytes (size read) were read.
MessageIdentity identityOf(const char* bytes, size_t read, uint64_t trueSize, bool keyTaken);

// Whether a message read as bytes (read of them, from a file of trueSize) is the one identified.
bool sameMessage(const MessageIdentity& identity, const char* bytes, size_t read, uint64_t trueSize);

// One identity as a line of the companion, "T|F size digest" without its line end, and back;
// a line that is not exactly of that form reads as false.
std::string formatIdentityLine(const MessageIdentity& identity);
bool parseIdentityLine(const std::string& line, MessageIdentity& out);

// The companion's bytes for the history's bytes and one identity per move of that history.
std::string formatIdentities(const std::string& historyBytes, const std::vector<MessageIdentity>& identities);

// The identities of a history's moves from the companion's bytes; false (out empty) when the
// companion does not belong to historyBytes, does not hold exactly moveCount records, or is
// malformed anywhere.
bool parseIdentities(const char* companion, size_t companionSize, const char* historyBytes, size_t historySize,
                     size_t moveCount, std::vector<MessageIdentity>& out);
}  // namespace corvane
