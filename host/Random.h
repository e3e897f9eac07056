// The platform's uniform random numbers: clock-seeded by Randomize, reproducible through RandSeed.
#pragma once

#include <cstdint>

namespace sumora {

// Seeds the generator from the clock.
void Randomize();
// Sets and reads the generator state; the same seed gives the same sequence.
void SetRandSeed(std::uint32_t seed);
std::uint32_t RandSeed();
// A whole number in 0 .. range-1 (0 when range <= 0).
int Random(int range);
// A double in [0, 1).
double Random();

}  // namespace sumora
