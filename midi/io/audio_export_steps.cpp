#include "midi/io/audio_export_steps.h"

#include <algorithm>
#include <cmath>

namespace halvorn {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(50);
constexpr float kPcm16FullScale = 32767.0f;
// A 24-bit sample is a 16-bit one with eight bits more below: 1.0 is the
// same 32767 steps of 256, so that 24-bit parts add up to a 16-bit whole
// to within its own rounding.
constexpr float kPcm24Steps = 256.0f;
constexpr float kPcm24Highest = 8388607.0f;

// `samples` times `scale` times `factor`, rounded and held to
// lowest..highest, in the top bits of a `Sample` (moved up by `shift`).
template <typename Sample>
void toPcm(std::span<const float> samples, float scale, float factor, float lowest, float highest,
           int shift, std::vector<Sample>& pcm) {
    pcm.resize(samples.size());
    const float toSteps = scale * factor;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float value = std::clamp(samples[i] * toSteps, lowest, highest);
        pcm[i] = static_cast<Sample>(static_cast<Sample>(std::lrint(value)) * (Sample{1} << shift));
    }
}

}  // namespace

Error exportCancelled() {
    return errorOf(ErrorCode::kCancelled, "Export cancelled");
}

bool ProgressReport::operator()(double fraction, bool always) {
    if (!progress_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (!always && told_ && now - lastTold_ < kProgressInterval) return true;
    told_ = true;
    lastTold_ = now;
    return progress_(std::clamp(fraction, 0.0, 1.0));
}

float peakOf(std::span<const float> samples) {
    float peak = 0.0f;
    for (const float s : samples) peak = std::max(peak, std::abs(s));
    return peak;
}

float levellingGain(float peak, double dbfs) {
    const auto target = static_cast<float>(std::pow(10.0, dbfs / 20.0));
    return peak > 0.0f ? target / peak : 1.0f;
}

void toPcm16(std::span<const float> samples, float scale, std::vector<std::int16_t>& pcm) {
    toPcm(samples, scale, kPcm16FullScale, -32768.0f, kPcm16FullScale, 0, pcm);
}

void toPcm24(std::span<const float> samples, float scale, std::vector<std::int32_t>& pcm) {
    toPcm(samples, scale, kPcm16FullScale * kPcm24Steps, -kPcm24Highest - 1.0f, kPcm24Highest, 8,
          pcm);
}

Expected<void, Error> writeScaled(WavFileWriter& writer, std::span<const float> samples,
                                  float scale) {
    bool written = false;
    if (writer.sampleSize() == WavSampleSize::k24Bit) {
        std::vector<std::int32_t> pcm;
        toPcm24(samples, scale, pcm);
        written = writer.write(pcm.data(), pcm.size() / 2);
    } else {
        std::vector<std::int16_t> pcm;
        toPcm16(samples, scale, pcm);
        written = writer.write(pcm.data(), pcm.size() / 2);
    }
    if (!written)
        return unexpected(errorOf(ErrorCode::kDevice, "The audio could not be written in full"));
    return {};
}

}  // namespace halvorn
