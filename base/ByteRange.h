// A bounded view of bytes and the one big-endian reader every parser uses. Reads past
// the end fail instead of touching memory outside the range, so parsers run the same on
// mapped windows, on memory in tests and on fuzzer input.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kirvano {

class ByteRange {
public:
    ByteRange() = default;
    ByteRange(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}
    explicit ByteRange(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::span<const std::uint8_t> span() const { return bytes_; }

    // The sub-range [offset, offset + length), cut at the end of this range.
    ByteRange sub(std::size_t offset, std::size_t length = SIZE_MAX) const {
        if (offset >= bytes_.size())
            return {};
        return ByteRange(bytes_.subspan(offset, std::min(length, bytes_.size() - offset)));
    }
    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::optional<std::uint8_t> u8(std::size_t offset) const { return read<1>(offset); }
    std::optional<std::uint16_t> be16(std::size_t offset) const {
        return narrow<std::uint16_t>(read<2>(offset));
    }
    std::optional<std::uint32_t> be24(std::size_t offset) const {
        return narrow<std::uint32_t>(read<3>(offset));
    }
    std::optional<std::uint32_t> be32(std::size_t offset) const {
        return narrow<std::uint32_t>(read<4>(offset));
    }
    std::optional<std::uint64_t> be64(std::size_t offset) const { return read<8>(offset); }
    // Four bytes as text, e.g. a box type.
    std::optional<std::string_view> fourcc(std::size_t offset) const {
        if (!has(offset, 4))
            return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(bytes_.data() + offset), 4);
    }

private:
    template <std::size_t N> std::optional<std::uint64_t> read(std::size_t offset) const {
        if (!has(offset, N))
            return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < N; ++i)
            value = (value << 8) | bytes_[offset + i];
        return value;
    }
    template <class T> static std::optional<T> narrow(std::optional<std::uint64_t> v) {
        if (!v)
            return std::nullopt;
        return static_cast<T>(*v);
    }

    std::span<const std::uint8_t> bytes_;
};

// Big-endian stores for the writers.
inline void PutBe16(std::uint8_t* out, std::uint16_t v) {
    out[0] = static_cast<std::uint8_t>(v >> 8);
    out[1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
inline void PutBe64(std::uint8_t* out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}

} // namespace kirvano
