#include "engine/drum_map.h"

#include <array>

namespace halvorn {
namespace {

constexpr std::int32_t kFirstKey = 35;

constexpr std::array<DrumNotation, 47> kDrums = {{
    {'E', 4, false, "Acoustic Bass Drum"},  // 35
    {'F', 4, false, "Bass Drum 1"},
    {'C', 5, true, "Side Stick"},
    {'C', 5, false, "Acoustic Snare"},
    {'B', 4, true, "Hand Clap"},
    {'C', 5, false, "Electric Snare"},  // 40
    {'G', 4, false, "Low Floor Tom"},
    {'G', 5, true, "Closed Hi-Hat"},
    {'A', 4, false, "High Floor Tom"},
    {'D', 4, true, "Pedal Hi-Hat"},
    {'B', 4, false, "Low Tom"},  // 45
    {'A', 5, true, "Open Hi-Hat"},
    {'D', 5, false, "Low-Mid Tom"},
    {'E', 5, false, "Hi-Mid Tom"},
    {'A', 5, true, "Crash Cymbal 1"},
    {'F', 5, false, "High Tom"},  // 50
    {'F', 5, true, "Ride Cymbal 1"},
    {'B', 5, true, "Chinese Cymbal"},
    {'E', 5, true, "Ride Bell"},
    {'D', 5, true, "Tambourine"},
    {'C', 6, true, "Splash Cymbal"},  // 55
    {'E', 5, false, "Cowbell"},
    {'B', 5, true, "Crash Cymbal 2"},
    {'D', 4, false, "Vibraslap"},
    {'G', 5, true, "Ride Cymbal 2"},
    {'E', 5, false, "Hi Bongo"},  // 60
    {'D', 5, false, "Low Bongo"},
    {'C', 5, false, "Mute Hi Conga"},
    {'B', 4, false, "Open Hi Conga"},
    {'A', 4, false, "Low Conga"},
    {'E', 5, false, "High Timbale"},  // 65
    {'D', 5, false, "Low Timbale"},
    {'F', 5, false, "High Agogo"},
    {'E', 5, false, "Low Agogo"},
    {'D', 5, false, "Cabasa"},
    {'C', 5, false, "Maracas"},  // 70
    {'A', 5, false, "Short Whistle"},
    {'A', 5, false, "Long Whistle"},
    {'G', 5, false, "Short Guiro"},
    {'G', 5, false, "Long Guiro"},
    {'F', 5, false, "Claves"},  // 75
    {'E', 5, false, "Hi Wood Block"},
    {'D', 5, false, "Low Wood Block"},
    {'C', 5, false, "Mute Cuica"},
    {'B', 4, false, "Open Cuica"},
    {'A', 5, false, "Mute Triangle"},  // 80
    {'A', 5, false, "Open Triangle"},
}};

}  // namespace

DrumNotation drumNotation(std::int32_t key) {
    const std::int32_t index = key - kFirstKey;
    if (index < 0 || index >= static_cast<std::int32_t>(kDrums.size()))
        return {.step = 'B', .octave = 4, .crossHead = false, .name = "Percussion"};
    return kDrums[static_cast<std::size_t>(index)];
}

}  // namespace halvorn
