// Conversions every driver shares, so a value reads the same whatever holds it.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
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

// Bytes ReadPlainDecimalPadded may read from `begin` on, past `end` too.
constexpr std::size_t kPlainDecimalReach = 18;

namespace detail {
// How many of the eight bytes in `digits` (each already less '0', the first byte lowest) are leading
// decimal digits. A byte below '0' borrows from the ones after it, and one above '9' + 0x76 carries into
// them: both only disturb bytes after the first that is not a digit.
inline int LeadingDigits(std::uint64_t digits) {
  const std::uint64_t notDigit = ((digits + 0x7676767676767676ULL) | digits) & 0x8080808080808080ULL;
  return std::countr_zero(notDigit) >> 3;  // 8 when all are digits
}
// The value of the first `count` (1..7) digits of `digits`: moved to the top bytes, then combined
// eight at a time with three multiplications.
inline std::uint64_t DigitsValue(std::uint64_t digits, int count) {
  std::uint64_t v = digits << (8 * (8 - count));
  v = v * 10 + (v >> 8);
  return ((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
          ((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >> 32;
}
inline std::uint64_t LoadDigits(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word - 0x3030303030303030ULL;
}
}  // namespace detail

// ReadPlainDecimal for a cell that may be read kPlainDecimalReach bytes from `begin`, whatever its
// `end`: the integer digits and the fraction's are each taken eight bytes at a time, without a branch
// per digit. The same digits and power of ten, so the same double; anything not of the short form
// [-]d{0,7}[.d{0,7}] goes to ReadPlainDecimal.
[[gnu::always_inline]] inline bool ReadPlainDecimalPadded(const char* begin, const char* end, double* value) {
  if constexpr (std::endian::native != std::endian::little) return ReadPlainDecimal(begin, end, value);
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  static constexpr std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const char* p = begin;
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  // The byte after a cell is a delimiter, a quote or a line end, but the count stops at `end` anyway.
  const std::uint64_t wholeWord = detail::LoadDigits(p);
  const int whole = static_cast<int>(std::min<std::ptrdiff_t>(detail::LeadingDigits(wholeWord), end - p));
  if (whole == 8) return ReadPlainDecimal(begin, end, value);
  std::uint64_t digits = whole == 0 ? 0 : detail::DigitsValue(wholeWord, whole);
  p += whole;
  int fraction = 0;
  if (p != end) {
    if (*p != '.') return ReadPlainDecimal(begin, end, value);
    const std::uint64_t word = detail::LoadDigits(++p);
    fraction = detail::LeadingDigits(word);
    if (fraction == 8 || p + fraction != end) return ReadPlainDecimal(begin, end, value);
    if (fraction > 0) digits = digits * kScales[fraction] + detail::DigitsValue(word, fraction);
  }
  if (whole + fraction == 0) return false;
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
