// halvorn-cli: works on Halvorn documents without a window.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/command.h"
#include "midi/playback.h"

namespace halvorn::cli {

// Each subcommand is defined in its own <name>_command.cpp.
Command renderCommand();
Command auditionCommand();
Command infoCommand();
Command portsCommand();
Command playCommand();
Command exportAudioCommand();

namespace {

// One line per subcommand, kept one per line for easy additions.
std::vector<Command> commandTable() {
    // clang-format off
    return {
        renderCommand(),
        auditionCommand(),
        infoCommand(),
        portsCommand(),
        playCommand(),
        exportAudioCommand(),
    };
    // clang-format on
}

void printUsage(std::FILE* stream, const std::vector<Command>& commands) {
    std::fprintf(stream, "usage:\n");
    for (const Command& command : commands)
        std::fprintf(stream, "  halvorn-cli %.*s %.*s\n", static_cast<int>(command.name.size()),
                     command.name.data(), static_cast<int>(command.usage.size()),
                     command.usage.data());
}

int run(std::span<const std::string> words) {
    const std::vector<Command> commands = commandTable();
    if (words.empty()) {
        printUsage(stderr, commands);
        return kExitUsage;
    }
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        printUsage(stdout, commands);
        return kExitSuccess;
    }
    const auto found = std::find_if(commands.begin(), commands.end(), [&](const Command& command) {
        return command.name == words[0];
    });
    if (found == commands.end())
        return usageError("unknown command \"" + words[0] + "\" (try halvorn-cli --help)");
    return found->run(words.subspan(1));
}

}  // namespace

}  // namespace halvorn::cli

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const int status = halvorn::cli::run(words);
    halvorn::midiPlaybackShutdown();  // no stream closing on a thread of its own outlives main
    return status;
}
