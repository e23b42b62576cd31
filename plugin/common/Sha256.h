// SHA-256 of a byte string. Platform-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

class Sha256 {
public:
    Sha256();
    void update(const void* data, size_t size);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<uint8_t, 32> finish();

private:
    void block(const uint8_t* data);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_ = {};
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};

// The digest of size bytes as 64 lower-case hexadecimal digits.
std::string sha256Hex(const void* data, size_t size);

}  // namespace corvane
