#pragma once
// What halvorn-cli says about itself: the usage lines, and the help of each
// subcommand with every option, its range and default, what it plays or
// writes, how things are numbered and the exit statuses.

#include <cstdio>
#include <span>
#include <string>

#include "cli/command.h"

namespace halvorn::cli {

// "render SONG.hvn -o OUT.mid [--ppqn N] ...": required options bare,
// the others in brackets, in the table's order.
std::string usageLine(const Command& command);

// One usage line per subcommand, for a command line that names none.
void printUsage(std::FILE* stream, std::span<const Command> commands);

// Every subcommand's help, then the numbering and the exit statuses.
void printHelp(std::FILE* stream, std::span<const Command> commands);

// One subcommand's help, then the numbering and the exit statuses.
void printCommandHelp(std::FILE* stream, const Command& command);

}  // namespace halvorn::cli
