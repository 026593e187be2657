#include "telemetry/NumberField.h"

#include <charconv>
#include <cmath>
#include <cstring>

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
    const std::size_t start = i;
    std::size_t digits = 0;
    long long mantissa = 0;
    int fraction = 0;
    for (; i < n && IsDigit(field[i]); ++i, ++digits)
        if (digits < 18)
            mantissa = mantissa * 10 + (field[i] - '0');
    if (i < n && field[i] == '.') {
        for (++i; i < n && IsDigit(field[i]); ++i, ++digits, ++fraction)
            if (digits < 18)
                mantissa = mantissa * 10 + (field[i] - '0');
    }
    if (digits == 0)
        return 0.0;
    bool exponent = false;
    if (i < n && (field[i] == 'e' || field[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (field[j] == '+' || field[j] == '-'))
            ++j;
        if (j < n && IsDigit(field[j])) {
            exponent = true;
            while (j < n && IsDigit(field[j]))
                ++j;
            i = j;
        }
    }
    // Up to 15 digits without an exponent: the digits as an exact integer divided by an
    // exact power of ten is one correctly rounded division, the value from_chars gives.
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (!exponent && digits <= 15) {
        const double value = static_cast<double>(mantissa) / kPowers[fraction];
        return negative ? -value : value;
    }
    // Otherwise a bounded copy of exactly the number's characters for from_chars, which
    // reads it without locale and without looking further.
    char text[64];
    if (i - start > sizeof text)
        return 0.0;
    std::memcpy(text, field.data() + start, i - start);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text, text + (i - start), value);
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
