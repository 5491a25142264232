#pragma once
// The Macrosequences page's ways out for the whole piece: "Play" (with the
// arrangement following the music), "Save MIDI" and "Export Audio...". Each
// renders the Song as it stands; the page stores its track first.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "ui/session/audio_export_run.h"

class QProgressBar;
class QPushButton;
class QTimer;

namespace halvorn {

class AppContext;
class CArrangementDisplay;
class CPlaybackSession;
struct MidiSong;

class CMacroOutput final : public QObject {
    Q_OBJECT
  public:
    struct Controls {
        QPushButton* play = nullptr;       // "Play", "Stop" while playing
        QProgressBar* progress = nullptr;  // driven by the song rendering
        CArrangementDisplay* display = nullptr;
    };
    // `turnTo(measure)` shows the arrangement from `measure` when the music
    // leaves the measures shown.
    CMacroOutput(AppContext& context, Controls controls, std::function<void(std::int32_t)> turnTo,
                 QObject* parent);

    bool isPlaying() const;
    CPlaybackSession& session() const { return *session_; }

    // Renders the whole piece into `midi` (muted tracks left out when
    // `forPlayback`). False when there is nothing to render or the rendering
    // failed (after its message).
    bool render(MidiSong& midi, bool forPlayback);

    // Plays what render() put into the session's song.
    void play(bool loop);
    void stop();
    // Asks for a file name and writes `piece` as a Standard MIDI File.
    void saveMidi(MidiSong& piece);
    // Plays `piece` through the built-in synthesizer into `target` (a file,
    // or a folder of stems) with `exporter`.
    void exportAudio(const AudioExportFunction& exporter, MidiSong& piece, const QString& target);

  private:
    void followPlayback();
    void showStopped();

    AppContext& context_;
    Controls controls_;
    std::function<void(std::int32_t)> turnTo_;
    CPlaybackSession* session_;
    QTimer* followTimer_;
};

}  // namespace halvorn
