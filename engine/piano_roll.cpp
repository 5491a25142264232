#include "engine/piano_roll.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <tuple>

namespace halvorn {
namespace {

constexpr std::int32_t kHighestKey = 127;
constexpr std::int32_t kMiddleKey = 60;

bool isBlackKey(std::int32_t pitch) {
    switch (pitch % 12) {
        case 1:
        case 3:
        case 6:
        case 8:
        case 10:
            return true;
        default:
            return false;
    }
}

std::uint64_t frameTicks(const PianoRollFrame& frame) {
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(std::max(frame.beats, 0)) * frame.ticksPerBeat;
    return std::max<std::uint64_t>(ticks, 1);
}

// The keys shown: the notes' own, widened around them to the minimum and
// held inside 0..127.
std::pair<std::int32_t, std::int32_t> shownKeys(std::span<const PianoRollNote> notes) {
    std::int32_t low = kMiddleKey;
    std::int32_t high = kMiddleKey;
    if (!notes.empty()) {
        const auto [lowest, highest] = std::minmax_element(
            notes.begin(), notes.end(),
            [](const PianoRollNote& a, const PianoRollNote& b) { return a.pitch < b.pitch; });
        low = lowest->pitch;
        high = highest->pitch;
    }
    const std::int32_t missing = kPianoRollMinimumKeys - (high - low + 1);
    if (missing > 0) {
        low -= missing / 2;
        high = low + kPianoRollMinimumKeys - 1;
    }
    if (low < 0) {
        high -= low;
        low = 0;
    }
    if (high > kHighestKey) {
        low = std::max(0, low - (high - kHighestKey));
        high = kHighestKey;
    }
    return {low, high};
}

std::uint8_t blend(std::uint32_t light, std::uint32_t dark, int shift, std::uint32_t amount) {
    const std::uint32_t a = (light >> shift) & 0xFFu;
    const std::uint32_t b = (dark >> shift) & 0xFFu;
    return static_cast<std::uint8_t>((a * (127 - amount) + b * amount) / 127);
}

class Canvas {
  public:
    explicit Canvas(PianoRollImage& image) : image_(image) {}

    void fill(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
              std::uint32_t colour) {
        left = std::max(left, 0);
        top = std::max(top, 0);
        right = std::min(right, image_.width);
        bottom = std::min(bottom, image_.height);
        for (std::int32_t y = top; y < bottom; ++y) {
            auto row = image_.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image_.width;
            std::fill(row + left, row + std::max(left, right), colour);
        }
    }

  private:
    PianoRollImage& image_;
};

void drawKeyRows(const PianoRollImage& image, Canvas& canvas) {
    for (std::int32_t pitch = image.lowestPitch; pitch <= image.highestPitch; ++pitch) {
        const std::int32_t top = image.pitchTop(pitch);
        const std::int32_t bottom = image.pitchBottom(pitch);
        canvas.fill(0, top, image.width, bottom,
                    isBlackKey(pitch) ? kPianoRollBlackKey : kPianoRollWhiteKey);
        // The line under every C marks the octaves.
        if (pitch % 12 == 0 && bottom - top >= 2) {
            canvas.fill(0, bottom - 1, image.width, bottom, kPianoRollOctaveLine);
        }
    }
}

void drawBeatLines(const PianoRollImage& image, const PianoRollFrame& frame, Canvas& canvas) {
    for (std::int32_t beat = 1; beat < frame.beats; ++beat) {
        const std::int32_t x = PianoRollImage::tickColumn(
            static_cast<std::uint64_t>(beat) * frame.ticksPerBeat, frame);
        const bool measure = frame.beatsPerMeasure > 0 && beat % frame.beatsPerMeasure == 0;
        canvas.fill(x, 0, x + 1, image.height,
                    measure ? kPianoRollMeasureLine : kPianoRollBeatLine);
    }
}

// Bars keep a pixel free after them where there is room, so notes that
// follow each other on one key stay apart.
void drawNote(const PianoRollImage& image, const PianoRollFrame& frame, const PianoRollNote& note,
              Canvas& canvas) {
    if (note.pitch < image.lowestPitch || note.pitch > image.highestPitch) return;
    const std::int32_t left = PianoRollImage::tickColumn(note.start, frame);
    std::int32_t right = PianoRollImage::tickColumn(std::uint64_t{note.end} + 1, frame);
    if (right - left >= 3) --right;
    right = std::max(right, left + 1);
    const std::int32_t top = image.pitchTop(note.pitch);
    std::int32_t bottom = image.pitchBottom(note.pitch);
    if (bottom - top >= 3) --bottom;
    bottom = std::max(bottom, top + 1);
    canvas.fill(left, top, right, bottom, pianoRollNoteColour(note.velocity));
}

}  // namespace

std::vector<PianoRollNote> pianoRollNotes(std::span<const MidiEvent> events,
                                          std::uint32_t lastTick) {
    std::vector<PianoRollNote> notes;
    std::map<int, std::deque<std::size_t>> sounding;  // channel and key -> open notes
    for (const MidiEvent& event : events) {
        const int kind = event.status & 0xF0;
        if (kind != 0x90 && kind != 0x80) continue;
        const int key = ((event.status & 0x0F) << 7) | (event.data1 & 0x7F);
        if (kind == 0x90 && event.data2 > 0) {
            sounding[key].push_back(notes.size());
            notes.push_back({event.time, lastTick, static_cast<std::uint8_t>(event.data1 & 0x7F),
                             static_cast<std::uint8_t>(std::min<int>(event.data2, 127))});
            continue;
        }
        auto open = sounding.find(key);
        if (open == sounding.end() || open->second.empty()) continue;
        notes[open->second.front()].end = event.time;
        open->second.pop_front();
    }
    return notes;
}

std::uint32_t pianoRollNoteColour(std::uint8_t velocity) {
    constexpr std::uint32_t kSoft = 0x00BFD3EE;
    constexpr std::uint32_t kLoud = 0x000B3B8F;
    const std::uint32_t amount = std::min<std::uint32_t>(velocity, 127);
    return static_cast<std::uint32_t>(blend(kSoft, kLoud, 16, amount)) << 16 |
           static_cast<std::uint32_t>(blend(kSoft, kLoud, 8, amount)) << 8 |
           blend(kSoft, kLoud, 0, amount);
}

std::int32_t PianoRollImage::pitchTop(std::int32_t pitch) const {
    const std::int64_t rows = highestPitch - lowestPitch + 1;
    return static_cast<std::int32_t>((highestPitch - pitch) * std::int64_t{height} / rows);
}

std::int32_t PianoRollImage::pitchBottom(std::int32_t pitch) const {
    const std::int64_t rows = highestPitch - lowestPitch + 1;
    return static_cast<std::int32_t>((highestPitch - pitch + 1) * std::int64_t{height} / rows);
}

std::int32_t PianoRollImage::tickColumn(std::uint64_t tick, const PianoRollFrame& frame) {
    const std::uint64_t ticks = frameTicks(frame);
    const std::uint64_t width = static_cast<std::uint64_t>(std::max(frame.width, 0));
    return static_cast<std::int32_t>(std::min(tick, ticks) * width / ticks);
}

std::vector<PianoRollNote> pianoRollNotesOver(std::span<const MidiEvent> events,
                                              const PianoRollFrame& frame) {
    return pianoRollNotes(events,
                          static_cast<std::uint32_t>(std::min<std::uint64_t>(
                              frameTicks(frame) - 1, std::numeric_limits<std::uint32_t>::max())));
}

PianoRollImage composePianoRoll(std::span<const MidiEvent> events, const PianoRollFrame& frame) {
    PianoRollImage image;
    if (frame.width <= 0 || frame.height <= 0) return image;
    const auto notes = pianoRollNotesOver(events, frame);
    image.width = frame.width;
    image.height = frame.height;
    std::tie(image.lowestPitch, image.highestPitch) = shownKeys(notes);
    image.pixels.assign(
        static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height),
        kPianoRollWhiteKey);
    Canvas canvas(image);
    drawKeyRows(image, canvas);
    drawBeatLines(image, frame, canvas);
    for (const PianoRollNote& note : notes) drawNote(image, frame, note, canvas);
    return image;
}

}  // namespace halvorn
