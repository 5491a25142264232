// halvorn-cli: works on Halvorn documents without a window.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/help.h"

namespace halvorn::cli {

// Each subcommand is defined in its own <name>_command.cpp.
Command renderCommand();
Command auditionCommand();
Command infoCommand();
Command portsCommand();
Command playCommand();
Command exportAudioCommand();
Command exportMusicXmlCommand();

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
        exportMusicXmlCommand(),
    };
    // clang-format on
}

bool isHelp(const std::string& word) {
    return word == "--help" || word == "-h";
}

const Command* findCommand(const std::vector<Command>& commands, const std::string& name) {
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&](const Command& command) { return command.name == name; });
    return found == commands.end() ? nullptr : &*found;
}

int reportUsageError(const std::string& text) {
    reportError(text);
    return kExitUsage;
}

int runCommand(const Command& command, std::span<const std::string> words) {
    if (std::any_of(words.begin(), words.end(), isHelp)) {
        printCommandHelp(stdout, command);
        return kExitSuccess;
    }
    const auto arguments = Arguments::parse(words, command);
    const CommandResult result =
        arguments ? command.run(*arguments) : CommandResult(unexpected(arguments.error()));
    if (result) return kExitSuccess;
    if (result.error().code == ErrorCode::kUsage)
        return reportUsageError(std::string(command.name) + ": " + result.error().message +
                                " (try halvorn-cli " + std::string(command.name) + " --help)");
    reportError(result.error().line());
    return kExitFailure;
}

int run(std::span<const std::string> words) {
    const std::vector<Command> commands = commandTable();
    if (words.empty()) {
        printUsage(stderr, commands);
        return kExitUsage;
    }
    if (isHelp(words[0]) || (words[0] == "help" && words.size() == 1)) {
        printHelp(stdout, commands);
        return kExitSuccess;
    }
    if (words[0] == "--version") {
        std::printf("halvorn-cli %s\n", HALVORN_VERSION);
        return kExitSuccess;
    }
    if (words[0] == "help") {
        const Command* command = findCommand(commands, words[1]);
        if (!command)
            return reportUsageError("help: no subcommand \"" + words[1] +
                                    "\" (try halvorn-cli --help)");
        if (words.size() > 2) return reportUsageError("help takes one subcommand");
        printCommandHelp(stdout, *command);
        return kExitSuccess;
    }
    const Command* command = findCommand(commands, words[0]);
    if (!command)
        return reportUsageError("unknown command \"" + words[0] + "\" (try halvorn-cli --help)");
    return runCommand(*command, words.subspan(1));
}

}  // namespace

}  // namespace halvorn::cli

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    return halvorn::cli::run(words);
}
