#include "engine/part_names.h"

#include <array>
#include <cctype>
#include <utility>

namespace halvorn {
namespace {

constexpr std::string_view kMuted = " (muted)";
constexpr std::size_t kKeptWord = 4;  // words this short stay whole
constexpr std::size_t kCutWord = 3;

constexpr std::array<std::pair<std::string_view, std::string_view>, 34> kAbbreviations = {{
    {"piccolo", "Picc."},    {"flute", "Fl."},
    {"oboe", "Ob."},         {"clarinet", "Cl."},
    {"bassoon", "Bsn."},     {"saxophone", "Sax."},
    {"horn", "Hn."},         {"trumpet", "Tpt."},
    {"trombone", "Tbn."},    {"tuba", "Tba."},
    {"violin", "Vln."},      {"viola", "Vla."},
    {"violoncello", "Vc."},  {"cello", "Vc."},
    {"contrabass", "Cb."},   {"double", "D."},
    {"bass", "B."},          {"piano", "Pno."},
    {"harp", "Hp."},         {"timpani", "Timp."},
    {"drums", "Dr."},        {"percussion", "Perc."},
    {"guitar", "Gtr."},      {"organ", "Org."},
    {"marimba", "Mar."},     {"vibraphone", "Vib."},
    {"xylophone", "Xyl."},   {"glockenspiel", "Glock."},
    {"celesta", "Cel."},     {"strings", "Str."},
    {"harpsichord", "Hpd."}, {"accordion", "Acc."},
    {"voice", "V."},         {"bells", "Bells"},
}};

std::string lowered(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string abbreviateWord(std::string_view word) {
    const std::string lower = lowered(word);
    for (const auto& [name, abbreviation] : kAbbreviations) {
        if (lower != name) continue;
        std::string result(abbreviation);
        // Keep the word's own case where it was lower case ("bass" in
        // "Walking bass").
        if (std::islower(static_cast<unsigned char>(word.front())))
            result.front() =
                static_cast<char>(std::tolower(static_cast<unsigned char>(result.front())));
        return result;
    }
    if (word.size() <= kKeptWord) return std::string(word);
    return std::string(word.substr(0, kCutWord)) + ".";
}

}  // namespace

std::string partName(std::string_view description, int trackNumber, bool percussion, bool muted) {
    std::string name;
    if (!description.empty())
        name = description;
    else if (percussion)
        name = "Drums";
    else
        name = "Track " + std::to_string(trackNumber);
    if (muted) name += kMuted;
    return name;
}

std::string partAbbreviation(std::string_view name) {
    if (name.ends_with(kMuted)) name.remove_suffix(kMuted.size());
    std::string result;
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t space = name.find(' ', at);
        const std::size_t end = space == std::string_view::npos ? name.size() : space;
        if (end > at) {
            if (!result.empty()) result += ' ';
            result += abbreviateWord(name.substr(at, end - at));
        }
        at = end + 1;
    }
    return result;
}

}  // namespace halvorn
