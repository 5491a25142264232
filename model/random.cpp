#include "model/random.h"

#include <ctime>

namespace halvorn {
namespace {

std::uint32_t internalState = 1;
std::int32_t generatorKind = kInternalGenerator;
RandomGenerator currentGenerator = &randomInternalNext;

}  // namespace

double randomInternalNext() {
    internalState = internalState * 214013u + 2531011u;
    const std::uint32_t r = (internalState >> 16) & 0x7FFFu;
    return static_cast<double>(r) / 32768.0;
}

double randomNext() {
    return currentGenerator();
}

void randomSelectGenerator(std::int32_t kind) {
    if (kind == kInternalGenerator) currentGenerator = &randomInternalNext;
    generatorKind = kind;
    randomSeed(1);
}

void randomSeed(std::int32_t seed) {
    if (generatorKind == kInternalGenerator) internalState = static_cast<std::uint32_t>(seed);
    randomNext();
}

void randomSeedFromTime() {
    randomSeed(static_cast<std::int32_t>(std::time(nullptr)));
    randomNext();
}

RandomGenerator randomSetCurrentGenerator(RandomGenerator generator) {
    const RandomGenerator previous = currentGenerator;
    currentGenerator = generator;
    return previous;
}

RandomSourceScope::RandomSourceScope()
    : state_(internalState), kind_(generatorKind), generator_(currentGenerator) {}

RandomSourceScope::~RandomSourceScope() {
    internalState = state_;
    generatorKind = kind_;
    currentGenerator = generator_;
}

}  // namespace halvorn
