// The Blocks page's "Listen": the block shown, saved first when its fields
// read, played alone through the page's playback session.

#include <QPushButton>
#include <optional>

#include "edit/audition_failure.h"
#include "engine/audition.h"
#include "midi/midi_settings.h"
#include "ui/block_page.h"
#include "ui/global_page.h"
#include "ui/playback_session.h"
#include "ui/prompts.h"

namespace halvorn {

void CBlockPage::listen() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    if (!blockValid(values_.currentBlock)) return;
    commitGlobalPage();
    normalize();
    // A field that does not read has been pointed out already; the block then
    // plays as last saved.
    if (readable) save();

    std::optional<std::int32_t> metronome;
    if (values_.metronome) metronome = kMetronomeMaxPosition - global_.metronomePosition();
    const auto rendered = renderAudition(session_->song(), *song(), values_.currentBlock, metronome,
                                         settings().ppqnSetting);
    if (!rendered) {
        const AuditionFailure failure = auditionFailure(rendered.error().code);
        prompts().message(QString::fromUtf8(failure.message));
        if (failure.endsAudition) {
            session_->stop();
            return;
        }
    }
    if (!session_->play(values_.loop, global_.sendMidiClock())) return;
    controls_.listen->setText(QStringLiteral("Stop"));
}

void CBlockPage::stop() {
    session_->stop();
    showStopped();
}

void CBlockPage::showStopped() {
    controls_.listen->setText(QStringLiteral("Listen"));
}

}  // namespace halvorn
