#include "telemetry/NumberField.h"

#include <charconv>
#include <cmath>

namespace kirvano {
namespace {

bool IsBlank(std::uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

} // namespace

double RealField(std::span<const std::uint8_t> field) {
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n && IsBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < n && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    // Copy the longest prefix that forms a decimal number; from_chars then reads it without
    // locale and without looking further.
    char text[40];
    std::size_t length = 0;
    std::size_t digits = 0;
    auto take = [&](std::uint8_t c) {
        if (length < sizeof text)
            text[length++] = static_cast<char>(c);
    };
    while (i < n && IsDigit(field[i])) {
        take(field[i++]);
        ++digits;
    }
    if (i < n && field[i] == '.') {
        take(field[i++]);
        while (i < n && IsDigit(field[i])) {
            take(field[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (field[i] == 'e' || field[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (field[j] == '+' || field[j] == '-'))
            ++j;
        if (j < n && IsDigit(field[j])) {
            take('e');
            if (field[i + 1] == '-')
                take('-');
            for (; j < n && IsDigit(field[j]); ++j)
                take(field[j]);
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text, text + length, value);
    if (ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}

long long IntegerField(std::span<const std::uint8_t> field) {
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n && IsBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < n && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    long long value = 0;
    // Fields are at most a few characters; the cap only keeps hostile input defined.
    for (; i < n && IsDigit(field[i]); ++i)
        if (value < 100000000000000000LL)
            value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

} // namespace kirvano
