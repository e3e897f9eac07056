#include "host/Random.h"

#include <chrono>

namespace sumora {

namespace {
std::uint32_t state = 0;
}

void Randomize() {
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  state = static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

void SetRandSeed(std::uint32_t seed) { state = seed; }

std::uint32_t RandSeed() { return state; }

// A 32-bit linear congruential step; the high bits of the product pick the result, as the classic
// platform generator does, so small ranges are not biased towards the low bits' short periods.
int Random(int range) {
  state = state * 134775813u + 1u;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<std::uint64_t>(state) * static_cast<std::uint64_t>(range)) >> 32);
}

double Random() {
  state = state * 134775813u + 1u;
  return static_cast<double>(state) / 4294967296.0;
}

}  // namespace sumora
