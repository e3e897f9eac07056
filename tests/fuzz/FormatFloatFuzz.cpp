// Formats arbitrary doubles with arbitrary patterns, formats, precisions and digit counts. The first
// eight bytes are the double, the next three choose format, precision and digits, the rest is the
// FormatFloat pattern.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "host/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 11) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  const auto format = static_cast<sumora::TFloatFormat>(data[8] % 5);
  const int precision = data[9] % 20;      // 0..19, one past each end of the documented range
  const int digits = data[10] % 20;        // idem
  const std::string pattern(reinterpret_cast<const char*>(data + 11), size - 11);

  const std::string formatted = sumora::FormatFloat(pattern, value);
  const std::string general = sumora::FloatToStr(value);
  const std::string custom = sumora::FloatToStrF(value, format, precision, digits);
  // Every result is bounded text: a double has at most 309 integer digits.
  if (general.empty() || general.size() > 32) __builtin_trap();
  if (custom.empty() || custom.size() > 512) __builtin_trap();
  if (formatted.size() > pattern.size() + 512) __builtin_trap();
  return 0;
}
