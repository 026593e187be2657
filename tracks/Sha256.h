// SHA-256 (FIPS 180-4) for the evidence package's file digests: fed in pieces, the digest
// as 64 lower-case hex digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvano {

class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // Ends the message; the object must not be fed again afterwards.
    std::array<std::uint8_t, 32> finish();
    std::string finishHex();

private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes fed so far
};

std::string Sha256Hex(std::string_view bytes);

} // namespace kirvano
