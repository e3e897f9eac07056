// Reading the text PostgreSQL prints for a value as a double. No libpq here, so the fuzz targets can
// reach it in a build without the driver.
#pragma once

#include <string_view>

namespace sumora::pg {

enum class TextValue { Number, NotANumber, Invalid };

// float4, float8 and numeric text: "1.5", "-2e-300", "NaN", "Infinity", or a numeric's plain digits of
// any length. A magnitude below the smallest double reads as the nearest one (0 or a subnormal), never as
// an infinity; one above the largest reads as the infinity the caller refuses. "NaN" in any case, and
// with a sign, is NotANumber (a null).
TextValue ReadFloatText(std::string_view text, double* value);

// Money text under lc_monetary 'C' is "$1,234.50" or "-$1,234.50"; other locales may wrap negatives in
// parentheses. Keeps the sign, digits and decimal point, drops symbols and group separators.
bool ReadMoneyText(std::string_view text, double* value);

// "nan", "NaN", "-nan", " NAN " and the like: text a user's query may return for a missing number.
bool IsNotANumberText(std::string_view text);

}  // namespace sumora::pg
