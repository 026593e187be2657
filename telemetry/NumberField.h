// The recorder's ASCII number fields, converted from the field's own characters only:
// leading blanks, an optional sign, digits and (for real numbers) a decimal point and an
// exponent; conversion stops at the first character that does not fit. An empty or
// non-numeric field, or one whose value does not fit a double, gives 0.
#pragma once

#include <cstdint>
#include <span>

namespace kirvano {

double RealField(std::span<const std::uint8_t> field);
long long IntegerField(std::span<const std::uint8_t> field);

} // namespace kirvano
