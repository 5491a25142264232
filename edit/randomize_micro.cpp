#include "edit/randomize_micro.h"

#include "model/random.h"

namespace halvorn {

void randomizeMicroFields(MicroFields& fields) {
    fields.fractalType = static_cast<std::int32_t>(randomNext() * 3);
    fields.period = static_cast<std::int32_t>(randomNext() * 256) + 1;
}

MorseThueParameters randomMorseThueParameters() {
    MorseThueParameters parameters;
    parameters.base = static_cast<std::int32_t>(randomNext() * 100) + 2;
    parameters.start = static_cast<std::int32_t>(randomNext() * 123456);
    parameters.step = static_cast<std::int32_t>(randomNext() * 13579) + 1;
    return parameters;
}

NoiseParameters randomNoiseParameters() {
    NoiseParameters parameters;
    parameters.seed = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int64_t>(randomNext() * 4294967295.0)));
    parameters.correlation = static_cast<std::int32_t>(randomNext() * 5);
    parameters.range = static_cast<std::int32_t>(randomNext() * 256);
    return parameters;
}

std::int32_t drawNoiseSeed() {
    return static_cast<std::int32_t>(randomNext() * 268435455.0);
}

}  // namespace halvorn
