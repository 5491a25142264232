#pragma once
// The options several subcommands share, with their help.

#include <cstdint>

#include "cli/arguments.h"
#include "cli/command.h"
#include "midi/midi_settings.h"

namespace halvorn::cli {

inline constexpr Option kPpqnOption{
    "--ppqn", "N", "ticks per quarter note: 24, 48, 96, 120, 192, 240 or 384 (default 120)"};

inline constexpr Option kSkipMutedOption{
    "--skip-muted", "",
    "leave out the tracks marked \"Mute Track\", as the Macrosequences page's \"Play\" does"};

inline constexpr Option kSendInstrumentsOption{
    "--send-instruments", "",
    "start each track with its block's instrument (a program change) and its track's volume "
    "and pan (controllers 7 and 10); otherwise only the notes are sent"};

inline Expected<std::int32_t, Error> ppqnOf(const Arguments& arguments) {
    return arguments.choice(kPpqnOption.name, kPpqnChoices, kDefaultPpqn);
}

}  // namespace halvorn::cli
