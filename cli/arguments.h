#pragma once
// A subcommand's words split by its options: the document and
// "--name [value]" / "-o value" options, with the typed reading of their
// values. Everything that does not fit is refused with a usageError of one
// clear line.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"

namespace halvorn::cli {

class Arguments {
  public:
    // Splits `words` by `command`'s options. Refuses an unknown option, a
    // missing value, an option given twice, a missing required option
    // (unless the option that stands in for it is there), or a document
    // missing or given twice.
    static Expected<Arguments, Error> parse(std::span<const std::string> words,
                                            const Command& command);

    // The document named on the command line.
    const std::string& document() const { return document_; }
    bool has(std::string_view option) const;
    // The option's value; nothing when it was not given.
    std::optional<std::string> value(std::string_view option) const;
    // The value of an option the parse has required.
    Expected<std::string, Error> required(std::string_view option) const;

    // The option as a whole number in min..max; `fallback` when absent.
    Expected<std::int32_t, Error> integer(std::string_view option, std::int32_t min,
                                          std::int32_t max, std::int32_t fallback) const;
    // The option as one of `choices`; `fallback` when absent.
    Expected<std::int32_t, Error> choice(std::string_view option,
                                         std::span<const std::int32_t> choices,
                                         std::int32_t fallback) const;
    // The option as a decimal number in min..max; nothing when absent.
    Expected<std::optional<double>, Error> number(std::string_view option, double min,
                                                  double max) const;

  private:
    std::string document_;
    std::map<std::string, std::string, std::less<>> options_;
};

// A whole decimal integer (optional sign, nothing else), or nothing.
std::optional<std::int64_t> parseInteger(std::string_view text);

// "24, 48 or 96": the choices an option takes, for its help and errors.
std::string listOfChoices(std::span<const std::int32_t> choices);

}  // namespace halvorn::cli
