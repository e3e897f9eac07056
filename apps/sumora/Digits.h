// Numbers for a terminal: `--digits N` significant digits instead of the windows' three decimals, so
// that a value near 1e-3 does not print as .000.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "apps/sumora/CommandLine.h"

namespace sumora::cli {

// The --digits option: 1 to 17 significant digits, nothing when it is absent.
std::optional<int> DigitsOption(const CommandLine& line);

// `value` with `digits` significant digits in the shortest of fixed and exponent notation ("0.00123",
// "1.5e+07"); INF, -INF and NAN as the windows write them.
std::string NumberWithDigits(double value, int digits);

}  // namespace sumora::cli
