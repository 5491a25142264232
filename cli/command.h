#pragma once
// A subcommand of halvorn-cli: its name, its usage line and the function
// that runs it. Each subcommand lives in its own <name>_command.cpp and is
// listed once in main.cpp's table.

#include <span>
#include <string>
#include <string_view>

namespace halvorn::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work itself failed
inline constexpr int kExitUsage = 2;    // bad arguments

struct Command {
    std::string_view name;
    std::string_view usage;  // the arguments after the name, for the help text
    // Runs with the words after the subcommand's name; returns the exit status.
    int (*run)(std::span<const std::string> arguments);
};

// Prints "halvorn-cli: <text>" as one line on standard error.
void reportError(const std::string& text);

// reportError, then kExitUsage.
int usageError(const std::string& text);

}  // namespace halvorn::cli
