// The distortion the live synthesizer's limiter adds: sines from 30 Hz to
// 10 kHz at 0, 6 and 20 dB over its ceiling, each measured once the gain
// has settled. A sine is fitted to one second of output at its frequency;
// what the fit leaves (harmonics and noise, THD+N) against the sine's own
// level, less what the same fit leaves of the input, is the limiter's.
//
// Usage: limiter_distortion
// Goal: under 0.1% added THD+N everywhere, and no sample over the ceiling.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "midi/io/fluidsynth/peak_limiter.h"

namespace {

using namespace halvorn;

constexpr double kRate = 44100.0;
constexpr std::size_t kSettleFrames = 44100;   // the attack and any hold over
constexpr std::size_t kMeasureFrames = 44100;  // one second measured
constexpr double kGoalPercent = 0.1;

std::vector<float> sine(double amplitude, double hz, std::size_t frames) {
    std::vector<float> wave(frames);
    for (std::size_t i = 0; i < frames; ++i)
        wave[i] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate));
    return wave;
}

// THD+N of `samples` in percent: the least-squares fit of a sin + b cos + c
// at `hz`, the residual's RMS against the fitted sine's.
double distortionPercent(const std::vector<float>& samples, double hz) {
    std::array<std::array<double, 4>, 3> normal{};  // [A | y] of the normal equations
    const std::size_t n = samples.size();
    const auto basis = [&](std::size_t i) {
        const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
        return std::array<double, 3>{std::sin(phase), std::cos(phase), 1.0};
    };
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = basis(i);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) normal[r][c] += b[r] * b[c];
            normal[r][3] += b[r] * samples[i];
        }
    }
    // Gauss-Jordan on the 3 x 3 system (well conditioned: the basis is
    // nearly orthogonal over many waves).
    for (int p = 0; p < 3; ++p) {
        for (int r = 0; r < 3; ++r) {
            if (r == p) continue;
            const double f = normal[r][p] / normal[p][p];
            for (int c = 0; c < 4; ++c) normal[r][c] -= f * normal[p][c];
        }
    }
    std::array<double, 3> fit{};
    for (int r = 0; r < 3; ++r) fit[r] = normal[r][3] / normal[r][r];
    double residual = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = basis(i);
        const double e = samples[i] - (fit[0] * b[0] + fit[1] * b[1] + fit[2] * b[2]);
        residual += e * e;
    }
    const double sineRms = std::sqrt((fit[0] * fit[0] + fit[1] * fit[1]) / 2);
    return 100.0 * std::sqrt(residual / static_cast<double>(n)) / sineRms;
}

struct Measured {
    double addedPercent;
    double peakOverCeilingDb;
};

Measured measure(double hz, double overDb) {
    const double ceiling = std::pow(10.0, kLiveCeilingDbfs / 20);
    const double gain = std::pow(10.0, kLiveMasterGainDb / 20);
    const double amplitude = ceiling * std::pow(10.0, overDb / 20) / gain;
    const std::vector<float> in = sine(amplitude, hz, kSettleFrames + kMeasureFrames);
    std::vector<float> left = in;
    std::vector<float> right = in;
    PeakLimiter limiter(kLiveMasterGainDb, kLiveCeilingDbfs, kRate);
    // In blocks as an audio driver asks for them.
    constexpr std::size_t kBlock = 512;
    for (std::size_t at = 0; at < left.size(); at += kBlock)
        limiter.process(left.data() + at, right.data() + at, std::min(kBlock, left.size() - at));
    const std::size_t latency = limiter.latencyFrames();
    const std::vector<float> out(left.end() - static_cast<std::ptrdiff_t>(kMeasureFrames - latency),
                                 left.end());
    const std::vector<float> source(in.end() - static_cast<std::ptrdiff_t>(kMeasureFrames),
                                    in.end() - static_cast<std::ptrdiff_t>(latency));
    float peak = 0.0f;
    for (const float s : left) peak = std::max(peak, std::abs(s));
    return {distortionPercent(out, hz) - distortionPercent(source, hz),
            20 * std::log10(peak / ceiling)};
}

}  // namespace

int main() {
    const double frequencies[] = {30, 55, 110, 220, 440, 1000, 2500, 5000, 10000};
    const double overs[] = {0.0, 6.0, 20.0};
    std::printf("Limiter: added THD+N in %% (output peak against the ceiling in dB)\n");
    std::printf("%8s", "Hz");
    for (const double over : overs) std::printf("   %5.0f dB over   ", over);
    std::printf("\n");
    double worst = 0.0;
    double highestPeak = -1e9;
    for (const double hz : frequencies) {
        std::printf("%8.0f", hz);
        for (const double over : overs) {
            const Measured m = measure(hz, over);
            worst = std::max(worst, m.addedPercent);
            highestPeak = std::max(highestPeak, m.peakOverCeilingDb);
            std::printf("   %9.6f (%+6.3f)", m.addedPercent, m.peakOverCeilingDb);
        }
        std::printf("\n");
    }
    std::printf(
        "worst added THD+N %.6f%% (goal < %.1f%%), highest peak %+.4f dB against the "
        "ceiling (goal <= 0): %s\n",
        worst, kGoalPercent, highestPeak,
        worst < kGoalPercent && highestPeak <= 1e-4 ? "met" : "MISSED");
    return 0;
}
