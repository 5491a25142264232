// The live synthesizer's level: quiet sound passes at the master gain,
// loud sound never passes the ceiling, and the gain comes back afterwards.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "midi/io/fluidsynth/peak_limiter.h"

namespace halvorn::test {
namespace {

constexpr double kRate = 44100.0;

std::vector<float> sine(double amplitude, double hz, std::size_t frames) {
    std::vector<float> wave(frames);
    for (std::size_t i = 0; i < frames; ++i)
        wave[i] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate));
    return wave;
}

float peakOf(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    float peak = 0.0f;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

TEST(PeakLimiterTest, QuietPassesAtTheGainLoudStaysUnderTheCeilingAndTheGainComesBack) {
    const float gain = static_cast<float>(std::pow(10.0, 15.0 / 20.0));
    const float ceiling = static_cast<float>(std::pow(10.0, -1.5 / 20.0));
    // One second quiet, half a second of sixteen full-scale tracks' worth,
    // one second quiet again.
    const std::size_t second = static_cast<std::size_t>(kRate);
    std::vector<float> left = sine(0.05, 440, second);
    const std::vector<float> loud = sine(16.0, 110, second / 2);
    left.insert(left.end(), loud.begin(), loud.end());
    const std::vector<float> quiet = sine(0.05, 440, second);
    left.insert(left.end(), quiet.begin(), quiet.end());
    std::vector<float> right(left.size());
    for (std::size_t i = 0; i < left.size(); ++i) right[i] = -0.5f * left[i];
    const std::vector<float> original = left;

    PeakLimiter limiter(15.0, -1.5, kRate);
    // In blocks of an audio driver's odd sizes: the state carries over.
    for (std::size_t at = 0, block = 1; at < left.size(); at += block, block = block * 7 % 1031)
        limiter.process(left.data() + at, right.data() + at, std::min(block, left.size() - at));

    for (std::size_t i = 0; i < second; ++i) ASSERT_FLOAT_EQ(left[i], original[i] * gain) << i;
    // To the float's rounding.
    EXPECT_LE(peakOf(left, 0, left.size()), ceiling * 1.000001f);
    EXPECT_LE(peakOf(right, 0, right.size()), ceiling * 1.000001f);
    EXPECT_GT(peakOf(left, second, second + second / 2), ceiling * 0.95f);
    // Half a second after the loud part the quiet one is back at the gain.
    const std::size_t back = second + second / 2 + second / 2;
    EXPECT_NEAR(peakOf(left, back, left.size()), 0.05f * gain, 0.001f);
}

TEST(PeakLimiterTest, SamplesThatAreNotNumbersBecomeSilence) {
    std::vector<float> left = {NAN, 0.1f, INFINITY};
    std::vector<float> right = {0.1f, -INFINITY, NAN};
    PeakLimiter limiter(0.0, -1.5, kRate);
    limiter.process(left.data(), right.data(), left.size());
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_FLOAT_EQ(left[1], 0.1f);
    EXPECT_EQ(right[1], 0.0f);
    EXPECT_EQ(right[2], 0.0f);
    EXPECT_FLOAT_EQ(right[0], 0.1f);
}

}  // namespace
}  // namespace halvorn::test
