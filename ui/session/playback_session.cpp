#include "ui/session/playback_session.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

#include "midi/channel_setup.h"
#include "midi/playback.h"
#include "ui/session/prompts.h"

namespace halvorn {

// The session as the queued end notices see it: cleared when the session
// goes, on the user-interface thread, which is also where they are read.
struct CPlaybackSession::Link {
    CPlaybackSession* session = nullptr;
};

void CPlaybackSessions::stopAll() {
    for (CPlaybackSession* session : std::vector(all_)) session->stop();
}

bool CPlaybackSessions::anyPlaying() const {
    return std::ranges::any_of(
        all_, [](const CPlaybackSession* session) { return session->isPlaying(); });
}

CPlaybackSession::CPlaybackSession(CPlaybackSessions& sessions, QObject* parent)
    : QObject(parent), sessions_(sessions), link_(std::make_shared<Link>(Link{this})) {
    midiSongReset(&song_);
    sessions_.all_.push_back(this);
}

CPlaybackSession::~CPlaybackSession() {
    link_->session = nullptr;
    std::erase(sessions_.all_, this);
    endPlayback();
}

bool CPlaybackSession::play(bool loop, bool sendClock) {
    for (CPlaybackSession* other : std::vector(sessions_.all_)) {
        if (other != this) other->stop();
    }
    MidiSystem& midi = sessions_.midi();
    // Playing again from the start: the song is the one the owner just filled.
    endPlayback();
    playing_ = false;
    emit sessions_.playingChanged(true);
    if (midi.settings.sendInstruments && midiSongAddChannelSetupEvents(song_) != MidiResult::kOk) {
        sessions_.prompts().message(QStringLiteral("Not enough memory to generate MIDI data."));
        stop();
        return false;
    }

    const std::uint64_t generation = ++generation_;
    // Runs on the notification thread: it only posts.
    auto onEnd = [link = link_, generation](std::uint32_t) {
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) return;
        QMetaObject::invokeMethod(
            application,
            [link, generation] {
                if (link->session) link->session->playbackEnded(generation);
            },
            Qt::QueuedConnection);
    };
    PlaybackPrepared prepared =
        midiPlaybackPrepare(midi.playback(), &song_, onEnd, loop, sendClock);
    if (prepared) lease_ = std::move(*prepared);
    if (!prepared) {
        sessions_.prompts().message(QStringLiteral("Unable to prepare MIDI data"),
                                    QString::fromStdString(prepared.error().message));
        endPlayback();
        stop();
        return false;
    }
    if (!midiPlaybackStart(midi.playback())) {
        sessions_.prompts().message(QStringLiteral("Unable to playback MIDI data"));
        endPlayback();
        stop();
        return false;
    }
    playing_ = true;
    sessions_.announce();
    return true;
}

std::optional<std::uint64_t> CPlaybackSession::positionTicks() const {
    if (!playing_ || !lease_.held()) return std::nullopt;
    return midiPlaybackPositionTicks(sessions_.midi().playback());
}

void CPlaybackSession::stop() {
    const bool wasPlaying = playing_;
    playing_ = false;
    ++generation_;
    endPlayback();
    midiSongFree(&song_);
    sessions_.announce();
    if (wasPlaying) emit stopped();
}

// The stream is closed here, never on its own thread, and only while it is
// still this session's; closing silences the notes that still sound.
void CPlaybackSession::endPlayback() {
    lease_.release();
}

// An output that went away (a port whose program quit, a stopped JACK
// server) ends playback early: the page stops first, then the user is told
// which port it was.
void CPlaybackSession::playbackEnded(std::uint64_t generation) {
    if (!playing_ || generation != generation_) return;
    const std::string failure = midiPlaybackFailure(sessions_.midi().playback());
    stop();
    if (!failure.empty()) sessions_.prompts().message(QString::fromStdString(failure));
}

}  // namespace halvorn
