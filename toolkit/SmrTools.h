// Unit SmrTools: the public numeric routines the components, windows and field editor share —
// comparisons, signs, integer powers, a string cut, the numeric-field test, the value store type with
// its sort, and the uniform, exponential and normal random deviates. The routines keep no state except
// the random generator's.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sumora {

class TField;

// When to show the progress dialog of a pass (one byte, as stored in form files).
enum class TBoolPlus : std::uint8_t { Prompt = 0, Always = 1, Never = 2 };

constexpr int MaxStoredValues = 10000;

// A fixed array of 10000 doubles numbered from 1 to 10000 (80,000 bytes, no allocation).
class TValueArray {
 public:
  TValueArray() { slots_.fill(0.0); }
  // `index` must lie in 1..10000; callers guarantee it (an assertion checks in debug builds).
  double& operator[](int index);
  double operator[](int index) const;
  double* data() { return slots_.data(); }
  const double* data() const { return slots_.data(); }

 private:
  std::array<double, MaxStoredValues> slots_;
};

// b if a >= b, else a: on a tie the second argument is the result.
double min(double a, double b);
// -min(-a, -b): b if a <= b, else a.
double max(double a, double b);
// The integer forms, through the double comparisons (exact for every 32-bit integer).
std::int32_t imin(std::int32_t a, std::int32_t b);
std::int32_t imax(std::int32_t a, std::int32_t b);
// 1, -1 or 0.
int sgn(double x);
// x to the integer power n as e^(n ln|x|) in extended precision, rounded once to double; the sign of
// x for odd n; 0 for x = 0 whatever n.
double raiseTo(double x, std::int32_t n);
// True when n is divisible by 2 (0 and negative even numbers included).
bool even(std::int32_t n);
// 100 x truncated toward zero (saturating at the 32-bit range; NaN gives 0).
std::int32_t percentage(double x);
// A copy of s with `count` characters removed from the 1-based position `index`; nothing is removed
// when index < 1, index > length or count <= 0; a count past the end removes up to the end.
std::string deleteStr(const std::string& s, std::int32_t index, std::int32_t count);
// True for float, currency, integer, small integer and word fields and their descendants.
bool NumericField(const TField& field);

// Copies all 10000 slots of `source` into `destination`, then sorts destination slots 1..n ascending
// (n is clipped to 0..10000).
void sortDataset(const TValueArray& source, TValueArray& destination, std::int32_t n);
// Sorts a[lo..hi] in place: recursive partition sort with the last element as pivot. Sorted input of
// 10000 values recurses about 10000 levels deep, which the main thread's stack holds (~100 bytes a
// level).
void quickSort(TValueArray& a, std::int32_t lo, std::int32_t hi);

// Uniform deviate in [0, 10) from the shuffled three-generator scheme; a negative seed re-initialises
// the shared state and sets the caller's seed to 1.
double ran1(std::int32_t& seed);
// Exponential deviate (> 0); works on a copy of the seed.
double expdev(std::int32_t seed);
// Normal deviate by the polar method, returning the spare of each pair on the next call.
double gasdev(std::int32_t seed);
// Sets the spare-deviate flag: 0 discards a waiting spare.
void initgliset(std::int32_t value);

namespace detail {
// The shuffle-table index check of ran1: an index inside 1..97 is returned as it is; any other shows
// the error box "Problem with ran1 generator." and is clamped into 1..97. Exposed for tests, since
// valid generator states never produce a bad index.
std::int32_t CheckedTableIndex(std::int32_t index);
}  // namespace detail

}  // namespace sumora
