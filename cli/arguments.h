#pragma once
// Argument parsing shared by the subcommands: positional words and
// "--name [value]" / "-o value" options, with one clear error line for
// anything that does not fit.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvorn::cli {

struct OptionRule {
    std::string_view name;  // as typed: "--ppqn", "-o"
    bool takesValue = false;
};

class Arguments {
  public:
    // Splits `words` by `options`. Fails on an unknown option, a missing
    // value, an option given twice, or a positional count other than
    // `positionalCount`.
    static std::optional<Arguments> parse(std::span<const std::string> words,
                                          std::span<const OptionRule> options,
                                          std::size_t positionalCount, std::string& error);

    const std::vector<std::string>& positionals() const { return positionals_; }
    bool has(std::string_view option) const;
    // The option's value; nothing when it was not given.
    std::optional<std::string> value(std::string_view option) const;

  private:
    std::vector<std::string> positionals_;
    std::map<std::string, std::string, std::less<>> options_;
};

// A whole decimal integer (optional sign, nothing else), or nothing.
std::optional<std::int64_t> parseInteger(std::string_view text);

// The value of `option` as an integer in min..max. `fallback` when the
// option is absent; nothing (with `error` set) when it is malformed or out
// of range.
std::optional<std::int32_t> integerOption(const Arguments& arguments, std::string_view option,
                                          std::int32_t min, std::int32_t max, std::int32_t fallback,
                                          std::string& error);

// "24, 48 or 96": the choices an option takes, for its error line.
std::string listOfChoices(std::span<const std::int32_t> choices);

// The value of a required option; nothing (with `error` set) when absent.
std::optional<std::string> requiredOption(const Arguments& arguments, std::string_view option,
                                          std::string& error);

// The resolution of "--ppqn N": 24, 48, 96, 120, 192, 240 or 384, and 120
// when absent. Nothing (with `error` set) for any other value.
std::optional<std::int32_t> ppqnOption(const Arguments& arguments, std::string& error);

}  // namespace halvorn::cli
