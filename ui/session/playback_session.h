#pragma once
// The MidiSystem's one playback, as the pages that play share it.
//
// Each page that plays owns a session and renders into the session's song
// while it is stopped. Starting a session stops any other of the same
// CPlaybackSessions that plays (its page hears stopped()), so one stream
// never serves two pages. While any session plays, the Global page's
// "Port:", "Buffer:" and "PPQN:" lists are disabled (it follows
// CPlaybackSessions::playingChanged).
//
// With "Send instruments, volume and pan" (the settings' sendInstruments)
// the song gets each used track's program, volume and pan at tick 0 before
// it plays, so a port hears the instruments the tracks name.
//
// The end of a song is reported by the stream's notification thread; the
// session hands it to the user-interface thread through a queued call and
// stops there. Nothing on the notification thread touches a widget or the
// session.

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>

#include <vector>

#include "midi/midi_song.h"
#include "midi/midi_system.h"
#include "midi/playback.h"

namespace halvorn {

class CPlaybackSession;
class Prompts;

// The sessions that play on one MidiSystem, and the prompts they report
// failures through.
class CPlaybackSessions final : public QObject {
    Q_OBJECT
  public:
    CPlaybackSessions(MidiSystem& midi, Prompts& prompts) : midi_(midi), prompts_(prompts) {}

    MidiSystem& midi() const { return midi_; }
    Prompts& prompts() const { return prompts_; }

    // Stops every session; the document runs it before a New or an Open
    // replaces the composition, and the frame before the window closes.
    void stopAll();
    bool anyPlaying() const;

  signals:
    // Whether any session plays (or is about to): the Global page disables
    // its MIDI lists meanwhile.
    void playingChanged(bool anyPlaying);

  private:
    friend class CPlaybackSession;
    void announce() { emit playingChanged(anyPlaying()); }

    MidiSystem& midi_;
    Prompts& prompts_;
    std::vector<CPlaybackSession*> all_;
};

class CPlaybackSession final : public QObject {
    Q_OBJECT
  public:
    explicit CPlaybackSession(CPlaybackSessions& sessions, QObject* parent = nullptr);
    // Ends this session's playback, without a signal.
    ~CPlaybackSession() override;

    // What the session plays. The owner fills it while the session is
    // stopped and leaves it alone while it plays.
    MidiSong& song() { return song_; }
    bool isPlaying() const { return playing_; }

    // Stops every other session, disables the MIDI lists and plays song() on
    // the selected port, with `loop` and `sendClock` (the Global page's
    // "Send MIDI Clock"). When the stream cannot be prepared or started the user is told
    // ("Unable to prepare MIDI data" with the device's reason as its detail,
    // "Unable to playback MIDI data"), the session is stopped and the result
    // is false. When the output goes away while it plays, the session stops
    // and the user is told which port it was.
    bool play(bool loop, bool sendClock);

    // While this session plays: the song tick being heard, counted from the
    // start of the loop pass. Nothing otherwise, or when the output cannot
    // tell.
    std::optional<std::uint64_t> positionTicks() const;

    // Ends the playback (if the stream is still this session's), empties the
    // song, enables the MIDI lists unless another session plays, and emits
    // stopped() when the session was playing.
    void stop();

  signals:
    // Playing has ended: by stop(), at the end of a non-looping song, after a
    // failure inside the stream, or because another session started.
    void stopped();

  private:
    struct Link;

    void playbackEnded(std::uint64_t generation);
    void endPlayback();

    CPlaybackSessions& sessions_;
    MidiSong song_;
    bool playing_ = false;
    // Tells a late end notice from the playback it belongs to.
    std::uint64_t generation_ = 0;
    // Held while the playback prepared for this session is still its own.
    PlaybackLease lease_;
    std::shared_ptr<Link> link_;
};

}  // namespace halvorn
