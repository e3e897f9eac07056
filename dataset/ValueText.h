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
