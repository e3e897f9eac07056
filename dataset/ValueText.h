// Conversions every driver shares, so a value reads the same whatever holds it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace sumora {

// Raises the error CheckedFloat gives for an infinite value.
[[noreturn]] void ThrowInfiniteValue(double value, const std::string& fieldName, std::int64_t recordNumber);

// `value` unchanged when finite; NaN is the caller's null. +-Inf raises EDatabaseError naming the
// field and the record. Inline: every value a pass reads goes through it.
inline double CheckedFloat(double value, const std::string& fieldName, std::int64_t recordNumber) {
  if (std::isinf(value)) ThrowInfiniteValue(value, fieldName, recordNumber);
  return value;
}

// Reads a plain decimal, [-]digits[.digits] with at most 19 digits, whose digits fit in 53 bits
// and whose fraction has at most 22 of them: the digits and the power of ten are then exact doubles,
// and one division rounds to the nearest double, the value std::from_chars gives. False for any other
// text (signs, exponents, blanks, longer digits), which the caller reads the general way. Inline: a
// CSV pass reads every cell through it, and most cells written by programs are of this form.
inline bool ReadPlainDecimal(const char* begin, const char* end, double* value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = begin;
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  // The integer digits, then the fraction's: two tight loops instead of one that asks at every digit
  // whether the point was met.
  std::uint64_t digits = 0;
  const char* first = p;
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit >= 10) break;
    digits = digits * 10 + digit;
  }
  int count = static_cast<int>(p - first);
  int fraction = 0;
  if (p != end) {
    if (*p != '.') return false;
    const char* fractionStart = ++p;
    for (; p != end; ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit >= 10) return false;
      digits = digits * 10 + digit;
    }
    fraction = static_cast<int>(p - fractionStart);
    count += fraction;
  }
  if (count == 0 || count > 19 || digits > (std::uint64_t{1} << 53) || fraction > 22) return false;
  double magnitude = static_cast<double>(digits);
  if (fraction > 0) magnitude /= kPowersOfTen[fraction];
  *value = negative ? -magnitude : magnitude;
  return true;
}

// Parses a whole cell as a number with std::from_chars (surrounding blanks allowed). Text that is not
// a number, or that is +-Inf, raises EDatabaseError naming the field and the record. "nan" gives NaN.
// A value beyond the range of a double is +-Inf (an error); one too small even for a subnormal is 0,
// whether or not it is written with an exponent.
double ParseFloatText(std::string_view text, const std::string& fieldName, std::int64_t recordNumber);

// True for text that reads as NaN ("nan", "NaN", "-nan", blanks around): a null value in every driver.
bool IsNanText(std::string_view text);

// Parses like ParseFloatText without raising: false when `text` is not a number. +-Inf and NaN are
// numbers here; the caller decides what they mean.
bool TryParseFloatText(std::string_view text, double* value);

// True when the whole of `text` is a number (integer or floating); `isInteger` tells which.
bool LooksNumeric(std::string_view text, bool* isInteger);

// The shortest text that reads back to the same double.
std::string FloatToText(double value);

}  // namespace sumora
