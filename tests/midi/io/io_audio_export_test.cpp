// Rendering a song to a WAV file through the offline synthesizer.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/arrangement.h"
#include "midi/channel_setup.h"
#include "midi/io/audio_export.h"
#include "midi/io/sndfile/wav_file_writer.h"
#include "midi/io/stem_export.h"
#include "model/document.h"

namespace halvorn::test {
namespace {

namespace fs = std::filesystem;

class AudioExport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kDefaultSoundfontPath)) GTEST_SKIP() << "no soundfont installed";
        dir = fs::temp_directory_path() / ("halvorn-audio-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    fs::path dir;
};

MidiSong twoBarSong() {
    MidiSong song;
    song.ppqn = 96;
    song.tempo = 120.0;
    for (std::uint32_t beat = 0; beat < 8; ++beat) {
        const auto key = static_cast<std::uint8_t>(60 + beat);
        song.tracks[0].events.push_back({beat * 96, 0x90, key, 100});
        song.tracks[0].events.push_back({beat * 96 + 90, 0x90, key, 0});
    }
    song.tracks[0].events.push_back({8 * 96, 0x90, 72, 0});
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

// Sixteen tracks, each on its own channel, chords at full velocity and
// volume: far louder together than full scale at the synthesizer's gain.
MidiSong sixteenLoudTracks() {
    MidiSong song;
    song.ppqn = 96;
    song.tempo = 150.0;
    for (std::uint8_t slot = 0; slot < kMidiTrackSlots; ++slot) {
        MidiTrack& track = song.tracks[slot];
        track.channel = slot;
        track.program = static_cast<std::uint8_t>(slot * 8);
        track.volume = 127;
        const auto status = static_cast<std::uint8_t>(0x90 | slot);
        for (std::uint32_t beat = 0; beat < 4; ++beat) {
            for (const std::uint8_t key : {48, 55, 60, 64})
                track.events.push_back({beat * 96, status, key, 127});
            for (const std::uint8_t key : {48, 55, 60, 64})
                track.events.push_back({beat * 96 + 80, status, key, 0});
        }
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The interleaved stereo samples of a WAV file (none when it cannot be read).
std::vector<short> wavSamples(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<short> samples(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

// The loudest sample of every `step`-th from `first` (-1 without any).
int peakOf(const std::vector<short>& samples, std::size_t first = 0, std::size_t step = 1) {
    int peak = -1;
    for (std::size_t i = first; i < samples.size(); i += step)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

int wavPeak(const fs::path& path) {
    return peakOf(wavSamples(path));
}

// The export with its failure line in `error`, as these tests read it.
bool exportSongAudio(const MidiSong& song, const std::string& path,
                     const AudioExportOptions& options, const AudioExportProgress& progress,
                     std::string& error) {
    const auto exported = halvorn::exportSongAudio(song, path, options, progress);
    if (!exported) error = exported.error().reason;
    return exported.has_value();
}

TEST_F(AudioExport, WavLastsThePieceAndTheTailAndIsNotSilent) {
    MidiSong song = twoBarSong();
    const fs::path out = dir / "song.wav";
    std::vector<double> progress;
    std::string error;
    ASSERT_TRUE(exportSongAudio(
        song, out.string(), AudioExportOptions{},
        [&](double f) {
            progress.push_back(f);
            return true;
        },
        error))
        << error;
    SF_INFO info{};
    SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.frames, 5 * 44100);
    std::vector<short> samples(static_cast<std::size_t>(info.frames) * 2);
    EXPECT_EQ(sf_readf_short(file, samples.data(), info.frames), info.frames);
    sf_close(file);
    int peak = 0;
    for (short s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 1000);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_EQ(filesInDir(), 1u);  // no temporary left beside it
}

TEST_F(AudioExport, SynthesizerSoundsTheInstrumentVolumeAndPanOfTheTrack) {
    const auto samplesOf = [this](MidiSong song) {
        const fs::path out = dir / "voice.wav";
        std::string error;
        EXPECT_TRUE(exportSongAudio(song, out.string(), AudioExportOptions{}, nullptr, error))
            << error;
        SF_INFO info{};
        SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
        std::vector<short> samples(file ? static_cast<std::size_t>(info.frames) * 2 : 0);
        if (file) sf_readf_short(file, samples.data(), info.frames);
        if (file) sf_close(file);
        fs::remove(out);
        return samples;
    };
    MidiSong violin = twoBarSong();
    violin.tracks[0].program = 40;
    violin.tracks[0].volume = 90;
    violin.tracks[0].pan = 0;
    MidiSong violinByMessages = violin;
    ASSERT_EQ(midiSongAddChannelSetupEvents(violinByMessages), MidiResult::kOk);

    const std::vector<short> piano = samplesOf(twoBarSong());
    const std::vector<short> setUp = samplesOf(violin);
    ASSERT_EQ(setUp.size(), piano.size());
    // The set-up sounds as the same instruments sent as messages at tick 0 ...
    EXPECT_EQ(setUp, samplesOf(violinByMessages));
    // ... and not as the power-on piano, centred.
    std::int64_t difference = 0, left = 0, right = 0;
    for (std::size_t i = 0; i < setUp.size(); i += 2) {
        difference += std::abs(setUp[i] - piano[i]);
        left += std::abs(setUp[i]);
        right += std::abs(setUp[i + 1]);
    }
    EXPECT_GT(difference, left / 4);
    // Panned hard left (the violin's stereo samples keep some right; centred
    // it sounds a little louder on the right).
    EXPECT_GT(2 * left, 3 * right);
}

TEST_F(AudioExport, LevelledExportPeaksAtTheTargetAndComesOutTheSameEveryTime) {
    const double target = 23197.6;  // -3.00 dBFS
    // One loud track panned hard right (a fingered bass, whose samples are
    // mono): the right channel's peak is the level.
    MidiSong right = sixteenLoudTracks();
    for (std::size_t slot = 1; slot < kMidiTrackSlots; ++slot) right.tracks[slot].events.clear();
    right.tracks[0].program = 33;
    right.tracks[0].pan = 127;
    midiSongCountEvents(right);
    midiSongComputeLength(right);
    for (const MidiSong& song : {twoBarSong(), sixteenLoudTracks(), right}) {
        const fs::path first = dir / "first.wav";
        const fs::path second = dir / "second.wav";
        std::string error;
        ASSERT_TRUE(exportSongAudio(song, first.string(), AudioExportOptions{}, nullptr, error))
            << error;
        ASSERT_TRUE(exportSongAudio(song, second.string(), AudioExportOptions{}, nullptr, error))
            << error;
        EXPECT_NEAR(wavPeak(first), target, 1.0);
        const std::string bytes = fileBytes(first);
        EXPECT_GT(bytes.size(), 44100u);
        EXPECT_TRUE(bytes == fileBytes(second)) << "two exports of one song differ";
    }
    // A gain of the user's is taken as it is: twice the gain, twice the level.
    const auto peakAtGain = [this](double gain) {
        AudioExportOptions options;
        options.gain = gain;
        std::string error;
        EXPECT_TRUE(
            exportSongAudio(twoBarSong(), (dir / "gain.wav").string(), options, nullptr, error))
            << error;
        return wavPeak(dir / "gain.wav");
    };
    const int quiet = peakAtGain(0.1);
    EXPECT_NEAR(peakAtGain(0.2), 2 * quiet, 2);
    EXPECT_LT(quiet, target / 4);

    std::string error;
    ASSERT_TRUE(
        exportSongAudio(right, (dir / "right.wav").string(), AudioExportOptions{}, nullptr, error))
        << error;
    const std::vector<short> panned = wavSamples(dir / "right.wav");
    EXPECT_NEAR(peakOf(panned, 1, 2), target, 1.0);
    EXPECT_LT(peakOf(panned, 0, 2), target / 4);
}

// Sixteen loud tracks at a high gain go far beyond full scale: held there,
// never wrapped round to the other sign.
TEST_F(AudioExport, HighGainSaturatesInsteadOfWrapping) {
    const auto samplesAtGain = [this](double gain) {
        AudioExportOptions options;
        options.gain = gain;
        std::string error;
        EXPECT_TRUE(exportSongAudio(sixteenLoudTracks(), (dir / "loud.wav").string(), options,
                                    nullptr, error))
            << error;
        return wavSamples(dir / "loud.wav");
    };
    const std::vector<short> plain = samplesAtGain(1.0);
    const std::vector<short> high = samplesAtGain(kMaxSynthGain);
    ASSERT_EQ(plain.size(), high.size());
    std::size_t compared = 0;
    std::size_t saturated = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (std::abs(plain[i]) <= 4000) continue;
        ++compared;
        ASSERT_EQ(plain[i] > 0, high[i] > 0) << "sample " << i << ": " << plain[i] << " at gain 1, "
                                             << high[i] << " at gain " << kMaxSynthGain;
        if (high[i] == 32767 || high[i] == -32768) ++saturated;
    }
    EXPECT_GT(compared, 1000u);
    EXPECT_GT(saturated, compared / 2);
}

// A WAV file's samples in 16-bit steps (a 24-bit sample in 256ths of
// them), its sample format and its rate.
struct WavContents {
    std::vector<double> samples;
    int format = 0;
    int rate = 0;
};

WavContents wavContents(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<int> raw(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_int(file, raw.data(), info.frames);
    sf_close(file);
    WavContents contents{{}, info.format, info.samplerate};
    for (const int sample : raw) contents.samples.push_back(sample / 65536.0);
    return contents;
}

std::set<std::string> fileNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// -90 dBFS in 16-bit steps.
constexpr double kStemTolerance = 32768 * 3.1622776601683795e-5;

// Exports `song` whole and as stems with their mix beside them; checks that
// the stems are `names`, 24-bit, exactly as long as the whole, each
// sounding, and add up to the whole (as their mix does) within -90 dBFS.
void expectStemsAddUp(const MidiSong& song, const fs::path& dir,
                      const std::set<std::string>& names) {
    AudioExportOptions options;
    options.sampleRate = 22050;
    const fs::path whole = dir / "whole.wav";
    ASSERT_TRUE(exportSongAudio(song, whole.string(), options, nullptr));
    const fs::path folder = dir / "stems";
    const auto exported =
        exportSongStems(song, folder.string(), options, nullptr, (dir / "mix.wav").string());
    ASSERT_TRUE(exported) << exported.error().line();
    ASSERT_EQ(fileNames(folder), names);

    const WavContents expected = wavContents(whole);
    std::vector<double> sum(expected.samples.size(), 0.0);
    for (const std::string& name : names) {
        const WavContents stem = wavContents(folder / name);
        EXPECT_EQ(stem.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24) << name;
        EXPECT_EQ(stem.rate, 22050) << name;
        ASSERT_EQ(stem.samples.size(), expected.samples.size()) << name;
        double peak = 0.0;
        for (std::size_t i = 0; i < sum.size(); ++i) {
            sum[i] += stem.samples[i];
            peak = std::max(peak, std::abs(stem.samples[i]));
        }
        EXPECT_GT(peak, 100.0) << name << " is silent";
    }
    const WavContents mix = wavContents(dir / "mix.wav");
    ASSERT_EQ(mix.samples.size(), expected.samples.size());
    double worstSum = 0.0;
    double worstMix = 0.0;
    for (std::size_t i = 0; i < sum.size(); ++i) {
        worstSum = std::max(worstSum, std::abs(sum[i] - expected.samples[i]));
        worstMix = std::max(worstMix, std::abs(mix.samples[i] - expected.samples[i]));
    }
    EXPECT_LE(worstSum, kStemTolerance) << "the stems do not add up to the export";
    EXPECT_LE(worstMix, 1.0) << "the mix beside the stems is not the export";
}

TEST_F(AudioExport, StemsOfADemoAddUpToItsExport) {
    auto document = documentRead(HALVORN_SOURCE_DIR "/examples/orbit_garden.hvn");
    ASSERT_TRUE(document) << document.error().line();
    MidiSong song;
    NoRenderProgress progress;
    ASSERT_TRUE(renderSong(song, document->song, progress, true, 120));
    // Its fourth track is muted: it makes no stem.
    expectStemsAddUp(song, dir, {"00-Marimba.wav", "01-Bass.wav", "02-Warm pad.wav"});
}

// Stems play on channels of their own: a drum track moved off channel 10
// keeps its drums, a melodic one moved onto it its instrument, and two
// tracks on one channel both sound as that channel does in the mix.
TEST_F(AudioExport, StemsKeepDrumsInstrumentsAndSharedChannels) {
    MidiSong song;
    song.ppqn = 96;
    song.tempo = 150.0;
    const auto addTrack = [&](std::size_t slot, const char* name, std::uint8_t channel,
                              std::uint8_t program, std::uint8_t key) {
        MidiTrack& track = song.tracks[slot];
        if (name) track.name = name;
        track.channel = channel;
        track.program = program;
        track.pan = static_cast<std::uint8_t>(slot * 12);
        const auto status = static_cast<std::uint8_t>(0x90 | channel);
        const auto start = static_cast<std::uint32_t>(slot * 24);
        track.events = {{start, status, key, 110}, {start + 150, status, key, 0}};
    };
    addTrack(0, "Kick/Snare", 9, 0, 38);  // stem 0: channel 1 of the synthesizer
    for (std::uint8_t slot = 1; slot < 10; ++slot)
        addTrack(slot, slot == 5 ? nullptr : "Line", static_cast<std::uint8_t>((slot + 9) % 16),
                 static_cast<std::uint8_t>(slot * 11), static_cast<std::uint8_t>(50 + slot));
    addTrack(10, "Echo.", 10, 40, 70);  // channel 11 as slot 1, another instrument
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    // Slot 9 is stem 9: the synthesizer's channel 10.
    expectStemsAddUp(
        song, dir,
        {"00-Kick_Snare.wav", "01-Line.wav", "02-Line.wav", "03-Line.wav", "04-Line.wav", "05.wav",
         "06-Line.wav", "07-Line.wav", "08-Line.wav", "09-Line.wav", "10-Echo.wav"});
}

TEST_F(AudioExport, FailedOrCancelledStemsLeaveNothing) {
    const MidiSong song = twoBarSong();
    const auto stems = [&](const fs::path& folder, const AudioExportProgress& progress,
                           const fs::path& mix) {
        return exportSongStems(song, folder.string(), AudioExportOptions{}, progress, mix.string());
    };
    const auto cancelled = stems(
        dir / "stems", [](double) { return false; }, dir / "mix.wav");
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().code, ErrorCode::kCancelled);
    const auto nowhere = stems(dir / "missing" / "stems", nullptr, {});
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.error().path, (dir / "missing" / "stems").string());
    // The mix cannot be made: the stems go too, and the folder made for them.
    EXPECT_FALSE(stems(dir / "stems", nullptr, dir / "missing" / "mix.wav"));
    EXPECT_EQ(filesInDir(), 0u);
    // A folder that was there stays.
    fs::create_directory(dir / "kept");
    EXPECT_FALSE(stems(dir / "kept", [](double) { return false; }, {}));
    EXPECT_TRUE(fs::is_empty(dir / "kept"));
}

TEST_F(AudioExport, FailuresLeaveNoFile) {
    MidiSong song = twoBarSong();
    std::string error;
    EXPECT_FALSE(exportSongAudio(song, (dir / "missing" / "x.wav").string(), AudioExportOptions{},
                                 nullptr, error));
    EXPECT_FALSE(error.empty());

    AudioExportOptions noSoundfont;
    noSoundfont.soundfontPath = (dir / "none.sf2").string();
    EXPECT_FALSE(exportSongAudio(song, (dir / "y.wav").string(), noSoundfont, nullptr, error));
    EXPECT_NE(error.find("none.sf2"), std::string::npos);

    MidiSong empty;
    EXPECT_FALSE(
        exportSongAudio(empty, (dir / "z.wav").string(), AudioExportOptions{}, nullptr, error));
    EXPECT_EQ(filesInDir(), 0u);
}

TEST_F(AudioExport, CancelledExportLeavesNoFile) {
    MidiSong song = twoBarSong();
    std::string error;
    EXPECT_FALSE(exportSongAudio(
        song, (dir / "c.wav").string(), AudioExportOptions{}, [](double) { return false; }, error));
    EXPECT_EQ(error, "Export cancelled");
    EXPECT_EQ(filesInDir(), 0u);
}

TEST_F(AudioExport, UncommittedWriterRemovesItsTemporaryFile) {
    {
        auto created = WavFileWriter::create((dir / "a.wav").string(), 8000);
        ASSERT_TRUE(created) << created.error().message;
        auto& writer = *created;
        const std::int16_t frame[2] = {1, -1};
        EXPECT_TRUE(writer->write(frame, 1));
        EXPECT_EQ(filesInDir(), 1u);
    }
    EXPECT_EQ(filesInDir(), 0u);
}

}  // namespace
}  // namespace halvorn::test
