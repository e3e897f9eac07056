#include "toolkit/FastPower.h"

#include <cmath>

#include "toolkit/SmrTools.h"

namespace sumora {

// raiseTo(d, n) is e^(n ln|d|) evaluated in 64-bit-mantissa extended precision and rounded once to
// double. A product of long doubles approximates the same |d|^n. Both carry small relative errors
// against the exact power:
//   - the extended evaluation: the logarithm and the product n*L each err by about one unit in the
//     last place (2^-63 relative) of a number up to |y| = |n ln d| in size, and e^y turns an absolute
//     error in y into the same relative error; the exponential adds a couple of units of its own;
//   - the product: one rounding (2^-64) per multiplication, at most three.
// When the whole interval p(1 - eta) .. p(1 + eta), with eta above both bounds together, rounds to
// one double, the extended result lies in it and must round to that double too. Otherwise (near a
// rounding boundary, or outside the range of normal doubles) the exact formula decides. The bound
// used is (3 n lnBound + 8) 2^-63, twice the estimate above in its growing term and four times in its
// constant; the slow path is then taken for a few per cent of typical values.
namespace {

constexpr long double kUnit = 1.0L / 9223372036854775808.0L;  // 2^-63

inline bool RoundsUniquely(long double product, long double eta, double* result) {
  const double low = static_cast<double>(product * (1.0L - eta));
  const double high = static_cast<double>(product * (1.0L + eta));
  if (low != high || !std::isnormal(low)) return false;
  *result = low;
  return true;
}

}  // namespace

Powers234 RaisePowers234(double d) {
  if (d == 0.0) return {0.0, 0.0, 0.0};
  if (!std::isfinite(d)) return {raiseTo(d, 2), raiseTo(d, 3), raiseTo(d, 4)};

  const long double magnitude = std::fabs(static_cast<long double>(d));
  const long double square = magnitude * magnitude;
  const long double cube = square * magnitude;
  const long double fourth = square * square;

  // |ln|d|| < (|e| + 1) ln 2 for d = m 2^e with 1 <= m < 2.
  const int exponent = std::ilogb(d);
  const long double lnBound = (std::abs(exponent) + 1) * 0.6931471805599453L;
  auto eta = [lnBound](int n) { return (3.0L * n * lnBound + 8.0L) * kUnit; };

  // The exact form shares one logarithm between the powers that need it, exactly as raiseTo takes it.
  long double logMagnitude = 0.0L;
  bool haveLog = false;
  auto exact = [&](int n) {
    if (!haveLog) {
      logMagnitude = logl(magnitude);
      haveLog = true;
    }
    return static_cast<double>(expl(static_cast<long double>(n) * logMagnitude));
  };

  Powers234 powers{};
  if (!RoundsUniquely(square, eta(2), &powers.p2)) powers.p2 = exact(2);
  if (!RoundsUniquely(cube, eta(3), &powers.p3)) powers.p3 = exact(3);
  if (d < 0) powers.p3 = -powers.p3;
  if (!RoundsUniquely(fourth, eta(4), &powers.p4)) powers.p4 = exact(4);
  return powers;
}

}  // namespace sumora
