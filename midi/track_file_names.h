#pragma once
// The names of the files a song is split into, one per track: the slot
// number (tracks are numbered from 0, as everywhere the user sees them)
// and the track's name, so that they list in track order and say what
// they hold: "00-Bass.wav", "03-Warm pad.mid".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace halvorn {

// "NN-name.EXT" (`extension` without its dot), the name as UTF-8 with every
// character a file name should not hold anywhere (control characters, path
// separators and the few that Windows refuses) as "_" and without trailing
// spaces and dots; "NN.EXT" for a track without a name.
std::string trackFileName(std::size_t slot, const std::optional<std::string>& name,
                          std::string_view extension);

}  // namespace halvorn
