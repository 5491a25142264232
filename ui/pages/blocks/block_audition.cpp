#include "ui/pages/blocks/block_audition.h"

#include <QPushButton>
#include <optional>

#include "edit/audition_failure.h"
#include "engine/audition.h"
#include "midi/midi_settings.h"
#include "ui/session/app_context.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"

namespace halvorn {

CBlockAudition::CBlockAudition(AppContext& context, QPushButton* button, QObject* parent)
    : QObject(parent),
      context_(context),
      button_(button),
      session_(new CPlaybackSession(context.sessions, this)) {
    connect(session_, &CPlaybackSession::stopped, this, &CBlockAudition::showStopped);
}

bool CBlockAudition::isPlaying() const {
    return session_->isPlaying();
}

void CBlockAudition::play(Song& song, std::int32_t block, bool metronome, bool loop) {
    const MidiSettings& settings = context_.midi.settings;
    std::optional<std::int32_t> clicks;
    if (metronome) clicks = settings.metronomeLevel;
    const auto rendered =
        renderAudition(session_->song(), song, block, clicks, settings.ppqnSetting);
    if (!rendered) {
        const AuditionFailure failure = auditionFailure(rendered.error().code);
        context_.prompts.message(QString::fromUtf8(failure.message));
        if (failure.endsAudition) {
            session_->stop();
            return;
        }
    }
    if (!session_->play(loop, settings.sendMidiClock)) return;
    button_->setText(QStringLiteral("Stop"));
}

void CBlockAudition::stop() {
    session_->stop();
    showStopped();
}

void CBlockAudition::showStopped() {
    button_->setText(QStringLiteral("Listen"));
}

}  // namespace halvorn
