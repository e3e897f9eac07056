#include "dataset/drivers/pg/PgValue.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <system_error>

namespace sumora::pg {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// from_chars gives no value when the result is out of range; strtod does, correctly rounded (0, a
// subnormal, or an infinity). The C locale keeps '.' the decimal point whatever the program set.
double NearestDouble(std::string_view text) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const std::string copy(text);
  return strtod_l(copy.c_str(), nullptr, cLocale);
}

}  // namespace

bool IsNotANumberText(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return text.size() == 3 && (text[0] == 'n' || text[0] == 'N') && (text[1] == 'a' || text[1] == 'A') &&
         (text[2] == 'n' || text[2] == 'N');
}

TextValue ReadFloatText(std::string_view text, double* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;  // from_chars refuses the sign users write
  auto [ptr, error] = std::from_chars(begin, end, *value);
  if (ptr == end && begin != end) {
    if (error == std::errc()) return *value != *value ? TextValue::NotANumber : TextValue::Number;
    if (error == std::errc::result_out_of_range) {
      *value = NearestDouble(std::string_view(begin, static_cast<std::size_t>(end - begin)));
      return TextValue::Number;
    }
  }
  return IsNotANumberText(text) ? TextValue::NotANumber : TextValue::Invalid;
}

bool ReadMoneyText(std::string_view text, double* value) {
  char digits[48];
  std::size_t length = 0;
  bool negative = false;
  bool anyDigit = false;
  for (char c : text) {
    if (c == '-' || c == '(') {
      negative = true;
    } else if ((c >= '0' && c <= '9') || c == '.') {
      if (length + 2 > sizeof digits) return false;
      digits[length++] = c;
      anyDigit = anyDigit || c != '.';
    }
  }
  if (!anyDigit) return false;
  auto [end, error] = std::from_chars(digits, digits + length, *value);
  if (error != std::errc() || end != digits + length) return false;
  if (negative) *value = -*value;
  return true;
}

}  // namespace sumora::pg
