#pragma once
// The steps the audio exports share: telling progress (and hearing a
// cancel), measuring peaks, and turning float samples into a WAV file's
// integers, held to the file's range.

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "midi/audio_export_progress.h"
#include "midi/io/sndfile/wav_file_writer.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Frames synthesized and written at a time.
inline constexpr std::size_t kExportChunkFrames = 8192;
// Of a levelled export's time, synthesizing takes nearly all; the rest is
// scaling and writing.
inline constexpr double kExportSynthesisShare = 0.9;

// The error of an export the user cancelled.
Error exportCancelled();

// Hands an export's progress on, at most every 50 ms apart (the first and
// the last always), so a fast export does not flood a window's progress bar.
class ProgressReport {
  public:
    explicit ProgressReport(const AudioExportProgress& progress) : progress_(progress) {}

    // False when the user cancelled.
    bool operator()(double fraction, bool always = false);

  private:
    const AudioExportProgress& progress_;
    bool told_ = false;
    std::chrono::steady_clock::time_point lastTold_;
};

// The largest magnitude among `samples`.
float peakOf(std::span<const float> samples);

// The gain that puts a peak of `peak` at `dbfs`; 1 for silence, which is
// written as it is.
float levellingGain(float peak, double dbfs);

// `samples` times `scale` (1.0 is full scale), rounded and held to the
// range of 16-bit samples, or of 24-bit ones in the top bits of each 32
// (as libsndfile takes them), whose top 16 bits are the 16-bit sample.
void toPcm16(std::span<const float> samples, float scale, std::vector<std::int16_t>& pcm);
void toPcm24(std::span<const float> samples, float scale, std::vector<std::int32_t>& pcm);

// `samples` (interleaved stereo) scaled into `writer`, in its sample size;
// the reason when the file could not take them.
Expected<void, Error> writeScaled(WavFileWriter& writer, std::span<const float> samples,
                                  float scale);

}  // namespace halvorn
