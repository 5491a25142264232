#include "ui/session/app_context.h"

#include <algorithm>

namespace halvorn {

Song* AppContext::currentSong() const {
    Document* current = currentDocument();
    return current ? &current->song : nullptr;
}

std::int32_t AppContext::currentBlockCount() const {
    const Song* song = currentSong();
    return song ? std::clamp(song->blockCount, 0, kMaxBlocks) : 0;
}

}  // namespace halvorn
