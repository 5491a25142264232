#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace halvorn::cli {
namespace {

const Option* findOption(std::span<const Option> options, std::string_view word) {
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const Option& option) { return option.name == word; });
    return found == options.end() ? nullptr : &*found;
}

bool looksLikeOption(std::string_view word) {
    // "-" alone and negative numbers are values, not options.
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

Unexpected<Error> refuse(std::string text) {
    return unexpected(usageError(std::move(text)));
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

Expected<Arguments, Error> Arguments::parse(std::span<const std::string> words,
                                            const Command& command) {
    Arguments arguments;
    std::vector<std::string> positionals;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!looksLikeOption(word)) {
            positionals.push_back(word);
            continue;
        }
        const Option* option = findOption(command.options, word);
        if (!option) return refuse("unknown option " + word);
        if (arguments.options_.contains(word)) return refuse("option " + word + " given twice");
        std::string value;
        if (!option->value.empty()) {
            if (i + 1 >= words.size()) return refuse("option " + word + " needs a value");
            value = words[++i];
        }
        arguments.options_.emplace(word, std::move(value));
    }
    const std::size_t wanted = command.document.empty() ? 0 : 1;
    if (positionals.size() < wanted) return refuse("missing the document file name");
    if (positionals.size() > wanted) return refuse("unexpected argument " + positionals[wanted]);
    if (wanted) arguments.document_ = positionals[0];
    for (const Option& option : command.options) {
        if (!option.required || arguments.has(option.name)) continue;
        if (option.unless.empty()) return refuse("missing option " + std::string(option.name));
        if (!arguments.has(option.unless))
            return refuse("missing option " + std::string(option.name) + " (or " +
                          std::string(option.unless) + ")");
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

Expected<std::string, Error> Arguments::required(std::string_view option) const {
    const auto found = options_.find(option);
    if (found == options_.end()) return refuse("missing option " + std::string(option));
    return found->second;
}

Expected<std::int32_t, Error> Arguments::integer(std::string_view option, std::int32_t min,
                                                 std::int32_t max, std::int32_t fallback) const {
    const std::optional<std::string> text = value(option);
    if (!text) return fallback;
    const std::optional<std::int64_t> parsed = parseInteger(*text);
    if (!parsed || *parsed < min || *parsed > max)
        return refuse(std::string(option) + " takes a whole number from " + std::to_string(min) +
                      " to " + std::to_string(max) + ", not " + quoted(*text));
    return static_cast<std::int32_t>(*parsed);
}

Expected<std::int32_t, Error> Arguments::choice(std::string_view option,
                                                std::span<const std::int32_t> choices,
                                                std::int32_t fallback) const {
    const std::optional<std::string> text = value(option);
    if (!text) return fallback;
    const std::optional<std::int64_t> parsed = parseInteger(*text);
    if (!parsed || std::find(choices.begin(), choices.end(), *parsed) == choices.end())
        return refuse(std::string(option) + " takes " + listOfChoices(choices) + ", not " +
                      quoted(*text));
    return static_cast<std::int32_t>(*parsed);
}

Expected<std::optional<double>, Error> Arguments::number(std::string_view option, double min,
                                                         double max) const {
    const std::optional<std::string> text = value(option);
    if (!text) return std::optional<double>();
    double parsed = 0.0;
    const char* end = text->data() + text->size();
    const auto [stop, failure] = std::from_chars(text->data(), end, parsed);
    if (text->empty() || failure != std::errc() || stop != end || !std::isfinite(parsed) ||
        parsed < min || parsed > max) {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g", min, max);
        return refuse(std::string(option) + " takes a number from " + range + ", not " +
                      quoted(*text));
    }
    return std::optional<double>(parsed);
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string listOfChoices(std::span<const std::int32_t> choices) {
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
        text += std::to_string(choices[i]);
    }
    return text;
}

}  // namespace halvorn::cli
