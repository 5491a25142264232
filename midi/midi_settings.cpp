#include "midi/midi_settings.h"

#include <algorithm>

namespace halvorn {

bool isValidPpqn(std::int32_t ppqn) {
    return std::find(kPpqnChoices.begin(), kPpqnChoices.end(), ppqn) != kPpqnChoices.end();
}

}  // namespace halvorn
