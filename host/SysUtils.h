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
// Text in quotes ('...' or "...") is copied without the quotes; every other character is copied as it
// is. A minus sign goes right before the digits, after leading text ("Kurtosis: -1.200"). Every
// integer digit is written, however many ("#.000" of 1e20 has 21 integer digits). An empty pattern
// formats like FloatToStr; non-finite values give "NAN", "INF" or "-INF". Sections (';') and
// exponent placeholders are not supported.
std::string FormatFloat(const std::string& pattern, double value);

// ffFixed: `digits` decimals (0..18) after at least one integer digit, rounded once at whichever comes
// first, the last decimal or the `precision`-th significant digit (1..18); when the integer part needs
// more than `precision` digits, scientific notation instead with `precision` significant digits
// (trailing zeros kept) and a signed exponent of at least two digits: FloatToStrF(12345678901,
// ffFixed, 7, 2) = "1.234568E+10".
// ffNumber and ffCurrency: as ffFixed with thousands separators (no currency symbol).
// ffGeneral: `precision` significant digits without trailing zeros; fixed when the decimal exponent
// lies in -5..precision-1, otherwise scientific ("1.5E-7", "1E20") with at least `digits` (0..4)
// exponent digits.
// ffExponent: "d.dddE+xx" with `precision` significant digits and at least `digits` (0..4) exponent
// digits.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);

// General format with 15 significant digits, no trailing zeros (2 -> "2", 0.5 -> "0.5", 1e20 -> "1E20").
std::string FloatToStr(double value);

std::string IntToStr(std::int64_t value);

// Everything after the last '\', '/' or ':'; the whole name when it has none.
std::string ExtractFileName(const std::string& fileName);

// The decimal separator of the current LC_NUMERIC locale ('.' when the locale's is several bytes
// long; the formatting routines then use the locale's full text).
char DecimalSeparator();

// Makes every routine here use `separator` instead of the locale's (and '.' or ',', whichever is not
// the separator, for thousands); '\0' follows the locale again. For tests on machines without a
// locale that writes a decimal comma.
void SetDecimalSeparatorForTesting(char separator);

}  // namespace sumora
