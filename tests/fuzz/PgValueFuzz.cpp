// Reads arbitrary text the way the PostgreSQL driver reads a float, numeric or money value. Traps when
// a number reads as NaN, when the fast reading and a correctly rounded strtod disagree on the same text,
// when an underflow becomes an infinity, or when money text gives a value no digits could make.
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <string_view>

#include "dataset/drivers/pg/PgValue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const std::string text(reinterpret_cast<const char*>(data), size);
  using sumora::pg::TextValue;

  double value = 0.0;
  const TextValue read = sumora::pg::ReadFloatText(text, &value);
  if (sumora::pg::IsNotANumberText(text) && read != TextValue::NotANumber) __builtin_trap();
  if (read == TextValue::Number) {
    if (std::isnan(value)) __builtin_trap();
    // The whole text was a number: strtod reads the same text to the same double.
    if (text.find('\0') == std::string::npos) {
      const char* start = text.c_str() + (text[0] == '+' ? 1 : 0);
      char* end = nullptr;
      const double expected = strtod_l(start, &end, cLocale);
      if (*end == '\0' && std::memcmp(&expected, &value, sizeof value) != 0) __builtin_trap();
    }
    // A digit string with a negative exponent or a leading "0." is below 1 in magnitude: never infinite.
    const std::string_view digits(text);
    if (std::isinf(value) && (digits.rfind("0.", 0) == 0 || digits.rfind("-0.", 0) == 0) &&
        digits.find_first_of("eE") == std::string_view::npos) {
      __builtin_trap();
    }
  }

  double money = 0.0;
  if (sumora::pg::ReadMoneyText(text, &money) && !std::isfinite(money)) __builtin_trap();
  return 0;
}
