#include "ui/playback_session.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

#include "midi/channel_setup.h"
#include "midi/midi_settings.h"
#include "midi/playback.h"
#include "ui/global_page.h"
#include "ui/main_sheet.h"
#include "ui/prompts.h"

namespace halvorn {

// The session as the queued end notices see it: cleared when the session
// goes, on the user-interface thread, which is also where they are read.
struct CPlaybackSession::Link {
    CPlaybackSession* session = nullptr;
};

namespace {

std::vector<CPlaybackSession*>& sessions() {
    static std::vector<CPlaybackSession*> all;
    return all;
}

void updateMidiLists() {
    if (CMainSheet* sheet = theMainSheet()) {
        sheet->globalPage()->EnableMidiLists(!anyPlaybackSessionPlaying());
    }
}

bool sendMidiClock() {
    CMainSheet* sheet = theMainSheet();
    return sheet && sheet->globalPage()->sendMidiClock();
}

}  // namespace

CPlaybackSession::CPlaybackSession(QObject* parent)
    : QObject(parent), link_(std::make_shared<Link>(Link{this})) {
    midiSongReset(&song_);
    sessions().push_back(this);
}

CPlaybackSession::~CPlaybackSession() {
    link_->session = nullptr;
    std::erase(sessions(), this);
    if (midiPlaybackUsesSong(&song_)) endPlayback();
}

bool CPlaybackSession::play(bool loop) {
    for (CPlaybackSession* other : std::vector(sessions())) {
        if (other != this) other->stop();
    }
    // Playing again from the start: the song is the one the owner just filled.
    if (midiPlaybackUsesSong(&song_)) endPlayback();
    playing_ = false;
    if (CMainSheet* sheet = theMainSheet()) sheet->globalPage()->EnableMidiLists(false);
    if (midiSettings().sendInstruments && midiSongAddChannelSetupEvents(song_) != MidiResult::kOk) {
        prompts().message(QStringLiteral("Not enough memory to generate MIDI data."));
        stop();
        return false;
    }

    const std::uint64_t generation = ++generation_;
    // Runs on the notification thread (or on this one when a playback
    // outside the sessions takes the stream): it only posts.
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
    const MidiStatus prepared = midiPlaybackPrepare(&song_, onEnd, loop, sendMidiClock());
    if (!prepared) {
        prompts().message(QStringLiteral("Unable to prepare MIDI data"),
                          QString::fromStdString(prepared.error().detail));
        endPlayback();
        stop();
        return false;
    }
    if (midiPlaybackStart() != MidiResult::kOk) {
        prompts().message(QStringLiteral("Unable to playback MIDI data"));
        endPlayback();
        stop();
        return false;
    }
    playing_ = true;
    updateMidiLists();
    return true;
}

std::optional<std::uint64_t> CPlaybackSession::positionTicks() const {
    if (!playing_ || !midiPlaybackUsesSong(&song_)) return std::nullopt;
    return midiPlaybackPositionTicks();
}

void CPlaybackSession::stop() {
    const bool wasPlaying = playing_;
    playing_ = false;
    ++generation_;
    if (midiPlaybackUsesSong(&song_)) endPlayback();
    midiSongFree(&song_);
    updateMidiLists();
    if (wasPlaying) emit stopped();
}

// The stream is closed here, never on its own thread; closing silences the
// notes that still sound.
void CPlaybackSession::endPlayback() {
    static_cast<void>(midiPlaybackStop());
    static_cast<void>(midiCloseStream());
}

// An output that went away (a port whose program quit, a stopped JACK
// server) ends playback early: the page stops first, then the user is told
// which port it was.
void CPlaybackSession::playbackEnded(std::uint64_t generation) {
    if (!playing_ || generation != generation_) return;
    const std::string failure = midiPlaybackFailure();
    stop();
    if (!failure.empty()) prompts().message(QString::fromStdString(failure));
}

void stopAllPlayback() {
    for (CPlaybackSession* session : std::vector(sessions())) session->stop();
}

bool anyPlaybackSessionPlaying() {
    return std::ranges::any_of(
        sessions(), [](const CPlaybackSession* session) { return session->isPlaying(); });
}

}  // namespace halvorn
