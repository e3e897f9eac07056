#include "toolkit/FastPower.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "toolkit/SmrTools.h"

namespace sumora {

// raiseTo(d, n) is e^(n ln|d|) evaluated in 64-bit-mantissa extended precision and rounded once to
// double. Its result carries a small relative error against the exact power |d|^n: the logarithm
// and the product n*L each err by about one unit in the last place (2^-63 relative) of a number up to
// |y| = |n ln d| in size, e^y turns an absolute error in y into the same relative error, and the
// exponential adds a couple of units of its own. eta = (3 n lnBound + 8) 2^-63 is twice that estimate
// in its growing term and four times in its constant.
//
// The exact power is known here to about 2^-100 as a sum high + low of two doubles (products split
// exactly with a fused multiply-add). When no rounding midpoint between doubles lies within eta of
// it, every number that close rounds to `high`, so the extended result does too. Otherwise (about a
// sixth of amounts written with two decimals), or outside a comfortable range of normal doubles, the
// exact formula decides.
namespace {

constexpr double kUnit = 0x1p-63;
constexpr double kLn2 = 0.6931471805599453;
// The pair's own error, and a cushion for the roundings in computing the margin itself.
constexpr double kPairError = 0x1p-98;
constexpr double kMarginCushion = 1.0 + 0x1p-20;
constexpr std::uint64_t kExponentBits = 0x7FF0000000000000ULL;
constexpr std::uint64_t kMantissaBits = 0x000FFFFFFFFFFFFFULL;
constexpr int kBias = 1023;
// |d| between 2^-200 and 2^200: the fourth power and every error term of the pairs are normal doubles.
constexpr int kLargestExponent = 200;

// high + low, where high is the double nearest to the sum and low the exact rest.
struct Pair {
  double high;
  double low;
};

// Exact when |big| >= |small|.
[[gnu::always_inline]] inline Pair Renormalize(double big, double small) {
  const double high = big + small;
  return {high, small - (high - big)};
}

// True, with *result = p.high, when every number within `margin` of the positive p.high + p.low rounds
// to p.high. Half the gap to the neighbour above is half an ulp; below a power of two it is half that.
[[gnu::always_inline]] inline bool RoundsUniquely(Pair p, double margin, double* result) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(p.high);
  const double halfUlp = std::bit_cast<double>((bits & kExponentBits) - (std::uint64_t{53} << 52));
  const double halfGapBelow = (bits & kMantissaBits) == 0 ? halfUlp * 0.5 : halfUlp;
  if (p.low + margin < halfUlp && p.low - margin > -halfGapBelow) {
    *result = p.high;
    return true;
  }
  return false;
}

Powers234 ExactPowers(double d) { return {raiseTo(d, 2), raiseTo(d, 3), raiseTo(d, 4)}; }

// The powers whose rounding the pairs decide, with `exact(d, fast, mask)` called for the others (bit
// n - 2 of the mask set for power n). Inline, so each public entry below compiles it for every CPU
// variant it is built for (always inlined: a separate copy would be built for the plainest CPU only).
template <typename Exact>
[[gnu::always_inline]] inline Powers234 Raise(double d, Exact&& exact) {
  const int exponent = static_cast<int>((std::bit_cast<std::uint64_t>(d) & kExponentBits) >> 52) - kBias;
  if (d == 0.0) return {0.0, 0.0, 0.0};
  if (exponent > kLargestExponent || exponent < -kLargestExponent) return ExactPowers(d);

  const double a = std::fabs(d);
  // a^2 = s.high + s.low exactly.
  const double square = a * a;
  const Pair s{square, std::fma(a, a, -square)};
  // a^3 = a s.high + a s.low; the second product and the sum of the small parts round (2^-104).
  const double cube = a * s.high;
  const Pair c = Renormalize(cube, std::fma(a, s.high, -cube) + a * s.low);
  // a^4 = s.high^2 + 2 s.high s.low + s.low^2; the last term is below 2^-105 of the whole.
  const double fourth = s.high * s.high;
  const Pair f = Renormalize(fourth, std::fma(s.high, s.high, -fourth) + 2.0 * s.high * s.low);

  const double lnBound = (std::abs(exponent) + 1) * kLn2;
  auto margin = [lnBound](int n, double high) {
    return ((3.0 * n * lnBound + 8.0) * kUnit + kPairError) * kMarginCushion * high;
  };
  Powers234 powers{};
  unsigned slow = 0;
  if (!RoundsUniquely(s, margin(2, s.high), &powers.p2)) slow |= 1u;
  if (!RoundsUniquely(c, margin(3, c.high), &powers.p3)) slow |= 2u;
  if (!RoundsUniquely(f, margin(4, f.high), &powers.p4)) slow |= 4u;
  if (d < 0) powers.p3 = -powers.p3;
  return slow == 0 ? powers : exact(d, powers, slow);
}

// Fills the powers of `slow` with raiseTo's own expression, sharing one logarithm between them.
Powers234 CompleteExactly(double d, Powers234 powers, unsigned slow) {
  const long double logMagnitude = logl(std::fabs(static_cast<long double>(d)));
  auto exact = [logMagnitude](int n) { return static_cast<double>(expl(static_cast<long double>(n) * logMagnitude)); };
  if (slow & 1u) powers.p2 = exact(2);
  if (slow & 2u) powers.p3 = d < 0 ? -exact(3) : exact(3);
  if (slow & 4u) powers.p4 = exact(4);
  return powers;
}

}  // namespace

// With a hardware fused multiply-add the splits cost one instruction each; elsewhere std::fma is the
// library's, slower but just as exact.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SUMORA_FMA_VARIANTS __attribute__((target_clones("fma", "default")))
#else
#define SUMORA_FMA_VARIANTS
#endif

SUMORA_FMA_VARIANTS
Powers234 RaisePowers234(double d) { return Raise(d, CompleteExactly); }

PowerMemo::PowerMemo(int bits) : bits_(std::clamp(bits, 1, kMostBits)) {}
PowerMemo::~PowerMemo() = default;

SUMORA_FMA_VARIANTS
Powers234 PowerMemo::Raise(double d) {
  const auto key = std::bit_cast<std::uint64_t>(d);
  Entry* entry = entries_ == nullptr ? nullptr : &EntryFor(key);
#if defined(__GNUC__)
  // The entry is fetched while the powers are worked out, in case their rounding needs it.
  if (entry != nullptr) __builtin_prefetch(entry);
#endif
  return sumora::Raise(d, [&](double deviation, Powers234 powers, unsigned slow) {
    if (entry == nullptr) {
      entries_ = std::make_unique<Entry[]>(std::size_t{1} << bits_);
      entry = &EntryFor(key);
    }
    if (entry->key != key) *entry = {key, CompleteExactly(deviation, powers, slow)};
    return entry->powers;
  });
}

}  // namespace sumora
