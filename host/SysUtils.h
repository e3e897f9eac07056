// Number and text formatting used by the windows and the command.
// The decimal separator follows the user's locale (LC_NUMERIC); '.' in the C locale. Rounding to the
// shown decimals is half away from zero, applied to the double's exact decimal value. A negative
// value that rounds to zero is written without a minus sign.
#pragma once

#include <cstdint>
#include <string>

namespace sumora {

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Formats `value` with a pattern of '0' (digit, shown always), '#' (digit, shown when significant),
// '.' (decimal separator) and ',' (thousands separator), with literal text before and after the digits
// ("Range: #.000"). Examples: FormatFloat("#.000", 0.5) = ".500", FormatFloat("000.000", 5.5) =
// "005.500", FormatFloat("#000.00", 25) = "025.00".
std::string FormatFloat(const std::string& pattern, double value);

// Fixed format with `digits` decimals when the integer part needs at most `precision` digits,
// otherwise scientific notation with `precision` significant digits ("1.234568E+10").
// ffGeneral: the shortest of fixed and scientific with `precision` significant digits.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);

// General format with 15 significant digits, no trailing zeros (2 -> "2", 0.5 -> "0.5", 1e20 -> "1E20").
std::string FloatToStr(double value);

std::string IntToStr(std::int64_t value);

// Everything after the last '\', '/' or ':'; the whole name when it has none.
std::string ExtractFileName(const std::string& fileName);

// The decimal separator of the current LC_NUMERIC locale.
char DecimalSeparator();

}  // namespace sumora
