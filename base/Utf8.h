// UTF-8 helpers shared by the text converters: which character-set names mean UTF-8, and
// how long the well-formed sequence at a position is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvano {

// Whether a character-set name ("UTF-8", "utf8", "" ...) means UTF-8.
inline bool IsUtf8Charset(const std::string& charset) {
    std::string lower;
    for (char c : charset) {
        if (c != '-' && c != '_')
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return lower.empty() || lower == "utf8";
}

// The length of the well-formed UTF-8 sequence at `at`, 0 when it is not one; its code
// point goes to *codePoint when asked for.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t at,
                                      char32_t* codePoint = nullptr) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        if (codePoint != nullptr)
            *codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    if (codePoint != nullptr)
        *codePoint = static_cast<char32_t>(code);
    return length;
}

} // namespace kirvano
