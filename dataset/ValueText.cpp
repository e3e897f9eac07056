#include "dataset/ValueText.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "host/Errors.h"

namespace sumora {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string Where(const std::string& fieldName, std::int64_t recordNumber) {
  return "field '" + fieldName + "', record " + std::to_string(recordNumber);
}

// from_chars rejects a leading '+', which users do write.
bool ParseDouble(std::string_view text, double* value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  if (ptr != end) return false;
  // Out of range: from_chars leaves value untouched; treat an overflow as the infinity it is.
  if (ec == std::errc::result_out_of_range) {
    *value = (text.front() == '-') ? -HUGE_VAL : HUGE_VAL;
    for (char c : text) {
      if (c == 'e' || c == 'E') {
        // A huge negative exponent underflows to zero rather than overflowing.
        auto epos = text.find_first_of("eE");
        if (epos != std::string_view::npos && epos + 1 < text.size() && text[epos + 1] == '-') *value = 0.0;
        break;
      }
    }
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
    throw EDatabaseError("'" + std::string(cell) + "' is not a valid number (" + Where(fieldName, recordNumber) + ")");
  }
  return CheckedFloat(value, fieldName, recordNumber);
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
