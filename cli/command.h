#pragma once
// A subcommand of halvorn-cli: its name, the document it reads, what it
// does, its options with their help, and the function that runs it. Each
// subcommand lives in its own <name>_command.cpp and is listed once in
// main.cpp's table; main parses the words against the options, answers
// --help, and turns the error a subcommand returns into the one line and
// exit status.

#include <span>
#include <string>
#include <string_view>

#include "model/error.h"
#include "model/expected.h"

namespace halvorn::cli {

class Arguments;

// Exit statuses shared by every subcommand.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work itself failed
inline constexpr int kExitUsage = 2;    // bad arguments

// What a subcommand returns: nothing, or the error that ended it.
using CommandResult = Expected<void, Error>;

struct Option {
    std::string_view name;   // as typed: "--ppqn", "-o"
    std::string_view value;  // what it takes ("N", "OUT.mid"); empty for a switch
    std::string_view help;   // what it does, with its range and default
    bool required = false;
    std::string_view unless = {};  // a required option this other option stands in for
};

struct Command {
    std::string_view name;
    std::string_view document;     // the positional argument ("SONG.hvn"), or empty
    std::string_view description;  // what it does: what it plays or writes
    std::span<const Option> options;
    // Runs with the words parsed against `options`.
    CommandResult (*run)(const Arguments& arguments);
};

// The command line is wrong (code kUsage): main prints
// "halvorn-cli: SUBCOMMAND: <text>" and exits with kExitUsage.
Error usageError(std::string text);

// The work failed: main prints "halvorn-cli: " and the error's line() and
// exits with kExitFailure. The text names the file it is about.
Error commandFailure(ErrorCode code, std::string text);

// Prints "halvorn-cli: <text>" as one line on standard error.
void reportError(const std::string& text);

}  // namespace halvorn::cli
