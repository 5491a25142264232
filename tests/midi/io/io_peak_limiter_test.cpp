// The live synthesizer's level: quiet sound passes at the master gain,
// loud sound never passes the ceiling and is scaled, not reshaped, and the
// gain holds after it before it comes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "midi/io/fluidsynth/peak_limiter.h"

namespace halvorn::test {
namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kSecond = 44100;

std::vector<float> sine(double amplitude, double hz, std::size_t frames) {
    std::vector<float> wave(frames);
    for (std::size_t i = 0; i < frames; ++i)
        wave[i] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate));
    return wave;
}

std::vector<float> joined(std::vector<float> first, const std::vector<float>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

float peakOf(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    float peak = 0.0f;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

float factorOf(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

// Both channels through `limiter` in blocks of an audio driver's odd sizes:
// the state carries over from one to the next.
void processInBlocks(PeakLimiter& limiter, std::vector<float>& left, std::vector<float>& right) {
    for (std::size_t at = 0, block = 1; at < left.size(); at += block, block = block * 7 % 1031)
        limiter.process(left.data() + at, right.data() + at, std::min(block, left.size() - at));
}

// What the limiter multiplied the input by to make each output frame, where
// the input is loud enough to tell (0 elsewhere).
std::vector<double> appliedGains(const std::vector<float>& in, const std::vector<float>& out,
                                 std::size_t latency, float loudEnough) {
    std::vector<double> gains(out.size(), 0.0);
    for (std::size_t i = latency; i < out.size(); ++i)
        if (std::abs(in[i - latency]) >= loudEnough) gains[i] = out[i] / in[i - latency];
    return gains;
}

TEST(PeakLimiterTest, QuietPassesAtTheGainLoudStaysUnderTheCeilingAndTheGainComesBack) {
    const float gain = factorOf(15.0);
    const float ceiling = factorOf(-1.5);
    // One second quiet, half a second of sixteen full-scale tracks' worth,
    // one second quiet again.
    std::vector<float> left = joined(joined(sine(0.05, 440, kSecond), sine(16.0, 110, kSecond / 2)),
                                     sine(0.05, 440, kSecond));
    std::vector<float> right(left.size());
    for (std::size_t i = 0; i < left.size(); ++i) right[i] = -0.5f * left[i];
    const std::vector<float> original = left;

    PeakLimiter limiter(15.0, -1.5, kRate);
    const std::size_t latency = limiter.latencyFrames();
    // A few milliseconds: enough to ramp, too little to be felt.
    EXPECT_GE(latency, kSecond / 1000);
    EXPECT_LE(latency, kSecond / 100);
    processInBlocks(limiter, left, right);

    for (std::size_t i = 0; i < latency; ++i) ASSERT_EQ(left[i], 0.0f) << i;
    for (std::size_t i = latency; i < kSecond; ++i)
        ASSERT_FLOAT_EQ(left[i], original[i - latency] * gain) << i;
    // To the float's rounding.
    EXPECT_LE(peakOf(left, 0, left.size()), ceiling * 1.000001f);
    EXPECT_LE(peakOf(right, 0, right.size()), ceiling * 1.000001f);
    EXPECT_GT(peakOf(left, kSecond, kSecond + kSecond / 2 + latency), ceiling * 0.95f);
    // Half a second after the loud part the quiet one is back at the gain.
    const std::size_t back = 2 * kSecond + latency;
    EXPECT_NEAR(peakOf(left, back, left.size()), 0.05f * gain, 0.001f);
}

// 110.25 Hz repeats every 400 frames exactly, so a gain that follows the
// waveform meets its peaks the same way in every wave and may still look
// steady; the gain must rather stay put while the tone lasts, hold after it
// for longer than a wave of the lowest notes, then come back gradually.
TEST(PeakLimiterTest, ALoudToneIsScaledByOneGainThatHoldsAfterIt) {
    const float master = factorOf(18.0);
    const std::size_t loudFrames = kSecond / 2;
    const std::vector<float> in =
        joined(sine(1.0, 110.25, loudFrames), sine(0.01, 110.25, kSecond));
    std::vector<float> left = in;
    std::vector<float> right = in;
    PeakLimiter limiter(18.0, -1.5, kRate);
    const std::size_t latency = limiter.latencyFrames();
    processInBlocks(limiter, left, right);

    // After the first wave, one gain for the rest of the loud part.
    const std::vector<double> loud = appliedGains(in, left, latency, 0.1f);
    const std::size_t firstWave = latency + 400;
    const double steady = loud[latency + loudFrames / 2 + 100];  // a peak's frame
    ASSERT_GT(steady, 0.0);
    EXPECT_LT(steady, 0.2 * master);
    for (std::size_t i = firstWave; i < latency + loudFrames; ++i) {
        if (loud[i] != 0.0) {
            ASSERT_NEAR(loud[i], steady, 0.02 * steady) << i;
        }
    }
    EXPECT_LE(peakOf(left, 0, left.size()), factorOf(-1.5) * 1.000001f);

    // 30 to 50 ms after the loud part the quiet tone is still held down by
    // the loud part's gain; 200 to 250 ms after, the gain is on its way back.
    const std::vector<double> quiet = appliedGains(in, left, latency, 0.005f);
    const auto gainsAfter = [&](std::size_t fromMs, std::size_t toMs) {
        const std::size_t ms = kSecond / 1000;
        std::vector<double> gains;
        for (std::size_t i = latency + loudFrames + fromMs * ms;
             i < latency + loudFrames + toMs * ms; ++i)
            if (quiet[i] != 0.0) gains.push_back(quiet[i]);
        return gains;
    };
    const std::vector<double> held = gainsAfter(30, 50);
    ASSERT_GT(held.size(), 100u);
    EXPECT_LT(*std::max_element(held.begin(), held.end()), 0.9 * master);
    EXPECT_NEAR(*std::max_element(held.begin(), held.end()), steady, 0.02 * steady);
    const std::vector<double> releasing = gainsAfter(200, 250);
    ASSERT_GT(releasing.size(), 100u);
    EXPECT_GT(*std::min_element(releasing.begin(), releasing.end()), 1.1 * steady);
    EXPECT_LT(*std::max_element(releasing.begin(), releasing.end()), 0.9 * master);
    // And it comes back in the end.
    const auto lastWave = quiet.end() - 400;
    EXPECT_NEAR(*std::max_element(lastWave, quiet.end()), master, 0.01 * master);
}

TEST(PeakLimiterTest, SamplesThatAreNotNumbersBecomeSilence) {
    PeakLimiter limiter(0.0, -1.5, kRate);
    const std::size_t latency = limiter.latencyFrames();
    std::vector<float> left(latency + 3, 0.0f);
    std::vector<float> right(latency + 3, 0.0f);
    left[0] = NAN, left[1] = 0.1f, left[2] = INFINITY;
    right[0] = 0.1f, right[1] = -INFINITY, right[2] = NAN;
    limiter.process(left.data(), right.data(), left.size());
    EXPECT_EQ(left[latency], 0.0f);
    EXPECT_FLOAT_EQ(left[latency + 1], 0.1f);
    EXPECT_EQ(left[latency + 2], 0.0f);
    EXPECT_FLOAT_EQ(right[latency], 0.1f);
    EXPECT_EQ(right[latency + 1], 0.0f);
    EXPECT_EQ(right[latency + 2], 0.0f);
}

}  // namespace
}  // namespace halvorn::test
