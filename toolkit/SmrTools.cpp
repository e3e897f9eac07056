#include "toolkit/SmrTools.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "dataset/Fields.h"
#include "host/Services.h"

namespace sumora {

// ---- Value store -------------------------------------------------------------------------------------

double& TValueArray::operator[](int index) {
  // An index outside 1..10000 is a caller's bug; release builds trust the callers.
  assert(index >= 1 && index <= MaxStoredValues);
  return slots_[static_cast<std::size_t>(index - 1)];
}

double TValueArray::operator[](int index) const {
  assert(index >= 1 && index <= MaxStoredValues);
  return slots_[static_cast<std::size_t>(index - 1)];
}

// ---- Numeric helpers ---------------------------------------------------------------------------------

double min(double a, double b) { return a >= b ? b : a; }

double max(double a, double b) { return -min(-a, -b); }

std::int32_t imin(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(min(static_cast<double>(a), static_cast<double>(b)));
}

std::int32_t imax(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(max(static_cast<double>(a), static_cast<double>(b)));
}

int sgn(double x) {
  if (x > 0.0) return 1;
  if (x < 0.0) return -1;
  return 0;
}

bool even(std::int32_t n) { return n % 2 == 0; }

double raiseTo(double x, std::int32_t n) {
  if (x == 0.0) return 0.0;
  // Logarithm, product and exponential in extended precision, one rounding to double at the end. The
  // engine's fast path for small exponents falls back to this exact expression, so keep it as it is.
  long double r = expl(static_cast<long double>(n) * logl(fabsl(static_cast<long double>(x))));
  double magnitude = static_cast<double>(r);
  return even(n) ? magnitude : sgn(x) * magnitude;
}

std::int32_t percentage(double x) {
  // Saturate instead of converting an out-of-range double (undefined behaviour); NaN gives 0.
  double scaled = std::trunc(100.0 * x);
  if (std::isnan(scaled)) return 0;
  if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(scaled);
}

std::string deleteStr(const std::string& s, std::int32_t index, std::int32_t count) {
  const auto length = static_cast<std::int64_t>(s.size());
  if (index < 1 || index > length || count <= 0) return s;
  std::string result = s;
  result.erase(static_cast<std::size_t>(index - 1),
               static_cast<std::size_t>(count));  // erase clips at the end
  return result;
}

bool NumericField(const TField& field) {
  // TCurrencyField derives from TFloatField; TSmallintField, TWordField, TAutoIncField and
  // TLargeintField derive from TIntegerField.
  return dynamic_cast<const TFloatField*>(&field) != nullptr ||
         dynamic_cast<const TIntegerField*>(&field) != nullptr;
}

// ---- Sorting -----------------------------------------------------------------------------------------

void sortDataset(const TValueArray& source, TValueArray& destination, std::int32_t n) {
  destination = source;
  // The callers pass at most MaxStoredValues; clipping keeps a bad count from writing outside the array.
  quickSort(destination, 1, std::clamp(n, 0, MaxStoredValues));
}

void quickSort(TValueArray& a, std::int32_t lo, std::int32_t hi) {
  // Recursion only, last element as pivot. Input already in order recurses once per element: about
  // 10,000 levels for a full array, a few hundred kilobytes, which the main thread's stack (8 MB by
  // default on Linux) holds comfortably. Call it from threads with a stack of at least 2 MB.
  if (hi <= lo) return;
  const double pivot = a[hi];
  std::int32_t i = lo - 1;
  std::int32_t j = hi;
  double t;
  do {
    do {
      ++i;
    } while (i != hi && a[i] < pivot);
    do {
      --j;
    } while (j != lo && a[j] > pivot);
    t = a[i];
    a[i] = a[j];
    a[j] = t;
  } while (i < j);
  // Undo the last exchange and move the pivot between the two sides.
  a[j] = a[i];
  a[i] = a[hi];
  a[hi] = t;
  quickSort(a, lo, i - 1);
  quickSort(a, i + 1, hi);
}

// ---- Random deviates ---------------------------------------------------------------------------------

namespace {

constexpr std::int32_t M1 = 259200, IA1 = 7141, IC1 = 54773;
constexpr std::int32_t M2 = 134456, IA2 = 8121, IC2 = 28411;
constexpr std::int32_t M3 = 243000, IA3 = 4561, IC3 = 51349;
// Decimal approximations of 1/M1 and 1/M2, deliberately not the exact reciprocals.
constexpr long double RM1 = 3.8580247e-6L;
constexpr long double RM2 = 7.4373773e-6L;
constexpr int TableSize = 97;

// The shared generator state, all zero until a negative seed initialises it.
struct GeneratorState {
  std::int32_t lcgState1 = 0;
  std::int32_t lcgState2 = 0;
  std::int32_t lcgState3 = 0;
  std::array<double, TableSize + 1> shuffleTable{};  // slots 1..97; slot 0 unused
  std::int32_t gliset = 0;
  double spareDeviate = 0.0;
};

GeneratorState generator;

double TableEntry(std::int32_t state1, std::int32_t state2) {
  return static_cast<double>((static_cast<long double>(state1) + state2 * RM2) * RM1);
}

// With states in 0..M-1 every product below stays under 2^31 (largest: IA1 * 259199 + IC1).
std::int32_t Step1(std::int32_t state) { return (IA1 * state + IC1) % M1; }
std::int32_t Step2(std::int32_t state) { return (IA2 * state + IC2) % M2; }
std::int32_t Step3(std::int32_t state) { return (IA3 * state + IC3) % M3; }

}  // namespace

namespace detail {

std::int32_t CheckedTableIndex(std::int32_t index) {
  if (index >= 1 && index <= TableSize) return index;
  MessageDlg("Problem with ran1 generator.", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
  return std::clamp(index, 1, TableSize);
}

}  // namespace detail

double ran1(std::int32_t& seed) {
  GeneratorState& g = generator;
  if (seed < 0) {
    // IC1 - seed overflows 32 bits for seeds below -2,147,428,874; in 64 bits every seed down to
    // INT32_MIN maps into 0..M1-1, and the seeds that never overflowed map exactly as before.
    g.lcgState1 = static_cast<std::int32_t>((static_cast<std::int64_t>(IC1) - seed) % M1);
    g.lcgState1 = Step1(g.lcgState1);
    g.lcgState2 = g.lcgState1 % M2;
    g.lcgState1 = Step1(g.lcgState1);
    g.lcgState3 = g.lcgState1 % M3;
    for (int j = 1; j <= TableSize; ++j) {
      g.lcgState1 = Step1(g.lcgState1);
      g.lcgState2 = Step2(g.lcgState2);
      g.shuffleTable[static_cast<std::size_t>(j)] = TableEntry(g.lcgState1, g.lcgState2);
    }
    seed = 1;
  }
  g.lcgState1 = Step1(g.lcgState1);
  g.lcgState2 = Step2(g.lcgState2);
  g.lcgState3 = Step3(g.lcgState3);
  // Always 1..97 while the states stay in range; the check guards against a corrupted state.
  const std::int32_t j = detail::CheckedTableIndex(1 + (97 * g.lcgState3) / M3);
  double& slot = g.shuffleTable[static_cast<std::size_t>(j)];
  // Ten times the entry: the product of a double and 10 is exact in extended precision, so rounding
  // it once gives the same double as a double multiplication.
  const double result = static_cast<double>(10.0L * slot);
  slot = TableEntry(g.lcgState1, g.lcgState2);
  return result;
}

double expdev(std::int32_t seed) {
  std::int32_t localSeed = seed;
  double x;
  do {
    x = ran1(localSeed);
  } while (!(x > 0.0 && x < 1.0));
  return static_cast<double>(-logl(static_cast<long double>(x)));
}

double gasdev(std::int32_t seed) {
  GeneratorState& g = generator;
  if (g.gliset != 0) {
    g.gliset = 0;
    return g.spareDeviate;
  }
  std::int32_t localSeed = seed;
  double x1, x2, r;
  do {
    const double u1 = ran1(localSeed);
    const double u2 = ran1(localSeed);
    x1 = 2.0 * u1 - 1.0;
    x2 = 2.0 * u2 - 1.0;
    r = x1 * x1 + x2 * x2;
  } while (!(r < 1.0));
  const double fac = std::sqrt(-2.0 * std::log(r) / r);
  g.spareDeviate = x1 * fac;
  g.gliset = 1;
  return x2 * fac;
}

void initgliset(std::int32_t value) { generator.gliset = value; }

}  // namespace sumora
