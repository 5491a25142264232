#include "cli/help.h"

#include <string_view>
#include <vector>

namespace halvorn::cli {
namespace {

constexpr std::size_t kLineWidth = 79;
constexpr std::size_t kOptionColumn = 24;

constexpr std::string_view kNumbering =
    "Blocks and tracks are numbered from 0, as \"info\" lists them (track K arranges block K); "
    "ports from 0, as \"ports\" lists them; MIDI channels from 1 to 16.";

constexpr std::string_view kExitStatuses[] = {
    "0  done (also when Ctrl+C stops \"play\")",
    "1  the work failed: a document that cannot be read, an output that cannot be written, "
    "nothing to play on, an export stopped by Ctrl+C (no file is left)",
    "2  the command line is wrong: an unknown subcommand or option, a value out of its range",
};

std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        words.emplace_back(text.substr(0, space));
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    return words;
}

// `words` in lines of at most kLineWidth, the first starting at `column`
// after `lead` (padded to it; on a line of its own when longer), the others
// indented to `continuation`.
void printWords(std::FILE* stream, std::string lead, const std::vector<std::string>& words,
                std::size_t column, std::size_t continuation) {
    if (lead.size() > column) {
        std::fprintf(stream, "%s\n", lead.c_str());
        lead.clear();
    }
    std::string line = lead + std::string(column - lead.size(), ' ');
    bool empty = true;
    for (const std::string& word : words) {
        if (!empty && line.size() + 1 + word.size() > kLineWidth) {
            std::fprintf(stream, "%s\n", line.c_str());
            line.assign(continuation, ' ');
            empty = true;
        }
        if (!empty) line += ' ';
        line += word;
        empty = false;
    }
    std::fprintf(stream, "%s\n", line.c_str());
}

void printWrapped(std::FILE* stream, std::string lead, std::string_view text, std::size_t column,
                  std::size_t continuation) {
    printWords(stream, std::move(lead), wordsOf(text), column, continuation);
}

// "SONG.hvn", "-o OUT.mid", "[--ppqn N]": the parts of a usage line, which
// a line break never splits.
std::vector<std::string> usageParts(const Command& command) {
    std::vector<std::string> parts{std::string(command.name)};
    if (!command.document.empty()) parts.emplace_back(command.document);
    for (const Option& option : command.options) {
        std::string part(option.name);
        if (!option.value.empty()) part += " " + std::string(option.value);
        parts.push_back(option.required ? part : "[" + part + "]");
    }
    return parts;
}

void printCommandSection(std::FILE* stream, const Command& command) {
    std::vector<std::string> usage = usageParts(command);
    usage.insert(usage.begin(), "halvorn-cli");
    printWords(stream, {}, usage, 0, 8);
    printWrapped(stream, {}, command.description, 4, 4);
    if (!command.options.empty()) std::fprintf(stream, "\n");
    for (const Option& option : command.options) {
        std::string lead = "    " + std::string(option.name);
        if (!option.value.empty()) lead += " " + std::string(option.value);
        std::string help(option.help);
        if (option.required && option.unless.empty()) help += " (required)";
        if (option.required && !option.unless.empty())
            help += " (required unless " + std::string(option.unless) + " is given)";
        printWrapped(stream, lead + "  ", help, kOptionColumn, kOptionColumn);
    }
}

void printNotes(std::FILE* stream) {
    std::fprintf(stream, "\n");
    printWrapped(stream, {}, kNumbering, 0, 0);
    std::fprintf(stream, "\nExit status:\n");
    for (std::string_view status : kExitStatuses) printWrapped(stream, "  ", status, 2, 5);
}

}  // namespace

std::string usageLine(const Command& command) {
    std::string line;
    for (const std::string& part : usageParts(command)) line += (line.empty() ? "" : " ") + part;
    return line;
}

void printUsage(std::FILE* stream, std::span<const Command> commands) {
    std::fprintf(stream, "usage:\n");
    for (const Command& command : commands)
        std::fprintf(stream, "  halvorn-cli %s\n", usageLine(command).c_str());
    std::fprintf(stream,
                 "  halvorn-cli --help | --version | help SUBCOMMAND | SUBCOMMAND --help\n");
}

void printHelp(std::FILE* stream, std::span<const Command> commands) {
    std::fprintf(stream, "halvorn-cli works on Halvorn documents (.hvn) without a window.\n");
    for (const Command& command : commands) {
        std::fprintf(stream, "\n");
        printCommandSection(stream, command);
    }
    std::fprintf(stream,
                 "\nhalvorn-cli help SUBCOMMAND (or SUBCOMMAND --help) shows one of these;\n"
                 "halvorn-cli --version prints the version.\n");
    printNotes(stream);
}

void printCommandHelp(std::FILE* stream, const Command& command) {
    printCommandSection(stream, command);
    printNotes(stream);
}

}  // namespace halvorn::cli
