#pragma once
// "Random Values" on the Microsequences page and its panels, and the Noise
// panel's "Random Seed". Each takes its draws from `draws`, in the order
// listed.

#include "edit/micro_fields.h"
#include "fractal/parameters.h"
#include "model/random.h"

namespace halvorn {

// Type trunc(3u), never the placeholder; period trunc(256u) + 1.
void randomizeMicroFields(MicroFields& fields, RandomDraws& draws);

// Base trunc(100u) + 2, start trunc(123456u), step trunc(13579u) + 1.
MorseThueParameters randomMorseThueParameters(RandomDraws& draws);

// Seed: the low 32 bits of trunc(4294967295u), so it may read negative;
// correlation trunc(5u); range trunc(256u).
NoiseParameters randomNoiseParameters(RandomDraws& draws);

// trunc(268435455u): 0..268435454.
std::int32_t drawNoiseSeed(RandomDraws& draws);

}  // namespace halvorn
