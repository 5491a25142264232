#include "edit/randomize_micro.h"

#include "model/random.h"

namespace halvorn {

void randomizeMicroFields(MicroFields& fields, RandomDraws& draws) {
    fields.fractalType = static_cast<std::int32_t>(draws.next() * 3);
    fields.period = static_cast<std::int32_t>(draws.next() * 256) + 1;
}

MorseThueParameters randomMorseThueParameters(RandomDraws& draws) {
    MorseThueParameters parameters;
    parameters.base = static_cast<std::int32_t>(draws.next() * 100) + 2;
    parameters.start = static_cast<std::int32_t>(draws.next() * 123456);
    parameters.step = static_cast<std::int32_t>(draws.next() * 13579) + 1;
    return parameters;
}

NoiseParameters randomNoiseParameters(RandomDraws& draws) {
    NoiseParameters parameters;
    parameters.seed = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int64_t>(draws.next() * 4294967295.0)));
    parameters.correlation = static_cast<std::int32_t>(draws.next() * 5);
    parameters.range = static_cast<std::int32_t>(draws.next() * 256);
    return parameters;
}

std::int32_t drawNoiseSeed(RandomDraws& draws) {
    return static_cast<std::int32_t>(draws.next() * 268435455.0);
}

}  // namespace halvorn
