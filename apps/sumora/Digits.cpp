#include "apps/sumora/Digits.h"

#include <cmath>
#include <cstdio>

namespace sumora::cli {

std::optional<int> DigitsOption(const CommandLine& line) {
  auto digits = line.GetInteger("digits", 1, 17);
  if (!digits) return std::nullopt;
  return static_cast<int>(*digits);
}

std::string NumberWithDigits(double value, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

}  // namespace sumora::cli
