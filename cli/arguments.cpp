#include "cli/arguments.h"

#include <algorithm>
#include <charconv>

#include "midi/midi_settings.h"

namespace halvorn::cli {
namespace {

const OptionRule* findOption(std::span<const OptionRule> options, std::string_view word) {
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const OptionRule& option) { return option.name == word; });
    return found == options.end() ? nullptr : &*found;
}

bool looksLikeOption(std::string_view word) {
    // "-" alone and negative numbers are values, not options.
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

std::string positionalCountError(std::size_t expected, std::size_t given) {
    if (given < expected) return "missing the document file name";
    return "unexpected argument";
}

}  // namespace

std::optional<Arguments> Arguments::parse(std::span<const std::string> words,
                                          std::span<const OptionRule> options,
                                          std::size_t positionalCount, std::string& error) {
    Arguments arguments;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!looksLikeOption(word)) {
            arguments.positionals_.push_back(word);
            continue;
        }
        const OptionRule* option = findOption(options, word);
        if (!option) {
            error = "unknown option " + word;
            return std::nullopt;
        }
        if (arguments.options_.contains(word)) {
            error = "option " + word + " given twice";
            return std::nullopt;
        }
        std::string value;
        if (option->takesValue) {
            if (i + 1 >= words.size()) {
                error = "option " + word + " needs a value";
                return std::nullopt;
            }
            value = words[++i];
        }
        arguments.options_.emplace(word, std::move(value));
    }
    if (arguments.positionals_.size() != positionalCount) {
        error = positionalCountError(positionalCount, arguments.positionals_.size());
        if (arguments.positionals_.size() > positionalCount)
            error += " " + arguments.positionals_[positionalCount];
        return std::nullopt;
    }
    return arguments;
}

bool Arguments::has(std::string_view option) const {
    return options_.contains(option);
}

std::optional<std::string> Arguments::value(std::string_view option) const {
    const auto found = options_.find(option);
    if (found == options_.end()) return std::nullopt;
    return found->second;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> integerOption(const Arguments& arguments, std::string_view option,
                                          std::int32_t min, std::int32_t max, std::int32_t fallback,
                                          std::string& error) {
    const std::optional<std::string> text = arguments.value(option);
    if (!text) return fallback;
    const std::optional<std::int64_t> value = parseInteger(*text);
    if (!value || *value < min || *value > max) {
        error = std::string(option) + " takes a whole number from " + std::to_string(min) + " to " +
                std::to_string(max) + ", not \"" + *text + "\"";
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

std::string listOfChoices(std::span<const std::int32_t> choices) {
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
        text += std::to_string(choices[i]);
    }
    return text;
}

std::optional<std::string> requiredOption(const Arguments& arguments, std::string_view option,
                                          std::string& error) {
    std::optional<std::string> value = arguments.value(option);
    if (!value) error = "missing option " + std::string(option);
    return value;
}

std::optional<std::int32_t> ppqnOption(const Arguments& arguments, std::string& error) {
    const std::optional<std::string> text = arguments.value("--ppqn");
    if (!text) return kDefaultPpqn;
    const std::optional<std::int64_t> value = parseInteger(*text);
    if (!value || *value < 0 || *value > 1000 || !isValidPpqn(static_cast<std::int32_t>(*value))) {
        error = "--ppqn takes " + listOfChoices(kPpqnChoices) + ", not \"" + *text + "\"";
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

}  // namespace halvorn::cli
