#include "dataset/ValueText.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string Where(const std::string& fieldName, std::int64_t recordNumber) {
  return "field '" + ShownText(fieldName) + "', record " + std::to_string(recordNumber);
}

// The power of ten of the first significant digit of a decimal number (0 for "1.5", -401 for "0.000…01"
// with 400 zeros), from the digits and the exponent; large enough in magnitude to tell an overflow from
// an underflow when from_chars reports the value out of range.
long long DecimalMagnitude(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  long long leadingDigits = 0;  // digits before the point, not counting leading zeros
  long long zerosAfterPoint = 0;  // zeros between the point and the first significant digit
  bool significant = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    significant = significant || text[at] != '0';
    if (significant) ++leadingDigits;
  }
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      if (!significant && text[at] == '0') ++zerosAfterPoint;
      significant = significant || text[at] != '0';
    }
  }
  long long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      if (exponent < 1000000000LL) exponent = exponent * 10 + (text[at] - '0');  // far beyond any double
    }
    if (negative) exponent = -exponent;
  }
  return (leadingDigits > 0 ? leadingDigits - 1 : -(zerosAfterPoint + 1)) + exponent;
}

// from_chars rejects a leading '+', which users do write.
bool ParseDouble(std::string_view text, double* value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  if (ptr != end) return false;
  // Out of range leaves the value untouched. A number too large is the infinity it rounds to; one too
  // small for even the smallest subnormal is the zero it rounds to (subnormals themselves are in range).
  if (ec == std::errc::result_out_of_range) {
    const double sign = text.front() == '-' ? -1.0 : 1.0;
    *value = DecimalMagnitude(text) < 0 ? sign * 0.0 : sign * HUGE_VAL;
    return true;
  }
  return ec == std::errc();
}

}  // namespace

void ThrowInfiniteValue(double value, const std::string& fieldName, std::int64_t recordNumber) {
  throw EDatabaseError(std::string(value > 0 ? "+Inf" : "-Inf") + " is not a usable value (" +
                       Where(fieldName, recordNumber) + ")");
}

double ParseFloatText(std::string_view text, const std::string& fieldName, std::int64_t recordNumber) {
  std::string_view cell = Trim(text);
  double value = 0.0;
  if (!ParseDouble(cell, &value)) {
    throw EDatabaseError("'" + ShownText(cell) + "' is not a valid number (" + Where(fieldName, recordNumber) + ")");
  }
  return CheckedFloat(value, fieldName, recordNumber);
}

bool IsNanText(std::string_view text) {
  std::string_view cell = Trim(text);
  if (!cell.empty() && (cell.front() == '+' || cell.front() == '-')) cell.remove_prefix(1);
  return cell.size() == 3 && (cell[0] | 0x20) == 'n' && (cell[1] | 0x20) == 'a' && (cell[2] | 0x20) == 'n';
}

bool TryParseFloatText(std::string_view text, double* value) { return ParseDouble(Trim(text), value); }

bool LooksNumeric(std::string_view text, bool* isInteger) {
  std::string_view cell = Trim(text);
  if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
  if (cell.empty()) return false;
  const char* end = cell.data() + cell.size();
  std::int64_t integer = 0;
  auto [iptr, iec] = std::from_chars(cell.data(), end, integer);
  if (iptr == end && iec == std::errc()) {
    if (isInteger) *isInteger = true;
    return true;
  }
  double value = 0.0;
  auto [dptr, dec] = std::from_chars(cell.data(), end, value);
  if (dptr == end && (dec == std::errc() || dec == std::errc::result_out_of_range)) {
    if (isInteger) *isInteger = false;
    return true;
  }
  return false;
}

std::string FloatToText(double value) {
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

}  // namespace sumora
