#pragma once
// The Blocks page's "Listen": one block rendered alone (with the metronome
// when asked) and played through the page's playback session. The button
// reads "Stop" while it plays and "Listen" again once playing ends, however
// it ends.

#include <QObject>
#include <cstdint>

class QPushButton;

namespace halvorn {

class AppContext;
class CPlaybackSession;
struct Song;

class CBlockAudition final : public QObject {
    Q_OBJECT
  public:
    CBlockAudition(AppContext& context, QPushButton* button, QObject* parent);

    bool isPlaying() const;
    CPlaybackSession& session() const { return *session_; }

    // Renders block `block` of `song` (computing its sequences) (with the metronome clicks when
    // `metronome`) and plays it; the user is told why when it cannot.
    void play(Song& song, std::int32_t block, bool metronome, bool loop);
    void stop();

  private:
    void showStopped();

    AppContext& context_;
    QPushButton* button_;
    CPlaybackSession* session_;
};

}  // namespace halvorn
