// The Macrosequences page's ways out for the whole piece: "Play" (with the
// display following the music), "Save MIDI" and audio export.

#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "engine/arrangement.h"
#include "engine/document_texts.h"
#include "midi/channel_setup.h"
#include "midi/midi_settings.h"
#include "midi/smf.h"
#include "ui/arrangement_display.h"
#include "ui/audio_export_run.h"
#include "ui/global_page.h"
#include "ui/macro_page.h"
#include "ui/playback_session.h"
#include "ui/prompts.h"

namespace halvorn {
namespace {

// How often the display looks where the music is while it plays.
constexpr int kFollowIntervalMs = 40;

const QString kUnableToGenerate = QStringLiteral("Unable to generate MIDI data");

// The progress bar under "Play" as the song rendering drives it.
class BarProgress final : public RenderProgress {
  public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void setRange(int lower, int upper) override { bar_->setRange(lower, upper); }
    void setStep(int step) override { step_ = step; }
    void setPosition(int position) override { bar_->setValue(position); }
    void stepOnce() override { bar_->setValue(std::min(bar_->value() + step_, bar_->maximum())); }

  private:
    QProgressBar* bar_;
    int step_ = 1;
};

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

bool CMacroPage::prepareSong(MidiSong& midi, bool forPlayback, bool saveTrack) {
    Song* current = currentSong();
    if (!current || currentBlockCount() <= 0) return false;
    global_.CommitToSong();
    normalize();
    if (saveTrack) save();
    BarProgress progress(controls_.progress);
    const auto rendered = renderSong(midi, *current, progress, forPlayback, settings().ppqnSetting);
    if (!rendered) {
        prompts().message(QString::fromStdString(rendered.error().message));
        return false;
    }
    global_.CommitToSong();
    midiSongSetDocumentTexts(midi, *currentDocument());
    return true;
}

void CMacroPage::play() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    // A field that does not read has been pointed out already; the track
    // then plays as last saved.
    if (!prepareSong(session_->song(), true, readable)) {
        session_->stop();
        return;
    }
    if (!session_->play(values_.loop, global_.sendMidiClock())) return;
    controls_.play->setText(QStringLiteral("Stop"));
    followTimer_->start(kFollowIntervalMs);
}

void CMacroPage::stop() {
    session_->stop();
    showStopped();
}

void CMacroPage::showStopped() {
    followTimer_->stop();
    controls_.play->setText(QStringLiteral("Play"));
    controls_.display->setPlayPosition(std::nullopt);
    controls_.display->redraw();
}

// The play line at the song position being heard; when it leaves the window
// the window turns a page to show it.
void CMacroPage::followPlayback() {
    const auto ticks = session_->positionTicks();
    const Song* current = currentSong();
    if (!ticks || !current) return;
    const double beats = arrangementBeatsOfTicks(*ticks, session_->song().ppqn);
    const std::int32_t first = arrangementFirstMeasureShowing(
        firstVisibleMeasure(), current->lengthMeasures, current->beatsPerMeasure, beats);
    if (first != firstVisibleMeasure()) {
        setScrollRange(current->lengthMeasures);
        showFirstVisibleMeasure(first);
    }
    controls_.display->setPlayPosition(beats);
    controls_.display->redraw();
}

// The file gets its own rendering, so a song that plays meanwhile is never
// touched.
void CMacroPage::saveMidi() {
    const bool readable = read();
    MidiSong file;
    if (!prepareSong(file, false, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    if (settings().sendInstruments && midiSongAddChannelSetupEvents(file) != MidiResult::kOk) {
        prompts().message(QStringLiteral("Not enough memory to generate MIDI data."));
        return;
    }
    const auto path = prompts().askSaveFile({.filterText = QStringLiteral("Archivos MIDI (*.mid)"),
                                             .filterPattern = QStringLiteral("*"),
                                             .defaultSuffix = QStringLiteral("mid"),
                                             .title = QStringLiteral("Save MIDI")});
    if (!path) return;
    if (const auto saved = midiSongSave(localPath(*path), file); !saved)
        showFileError(prompts(), saved.error());
}

void CMacroPage::exportAudio() {
    exportPiece(context().audioExport, [this] {
        return prompts().askSaveFile({.filterText = QStringLiteral("Archivos WAV (*.wav)"),
                                      .filterPattern = QStringLiteral("*"),
                                      .defaultSuffix = QStringLiteral("wav")});
    });
}

void CMacroPage::exportStems() {
    exportPiece(context().stemsExport,
                [this] { return prompts().askFolder(QStringLiteral("Export Stems")); });
}

void CMacroPage::exportPiece(const AudioExportFunction& exporter,
                             const std::function<std::optional<QString>()>& askTarget) {
    if (!exporter) {
        prompts().message(QStringLiteral("Audio export needs the built-in synthesizer."));
        return;
    }
    const bool shown = isVisible();
    const bool readable = shown && read();
    MidiSong piece;
    if (!prepareSong(piece, true, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    const auto path = askTarget();
    if (!path) return;
    const AudioExportResult result = runAudioExport(exporter, piece, localPath(*path), this);
    if (result.outcome == AudioExportOutcome::kFailed) showFileError(prompts(), result.error);
}

// Only the "Seed" edit changes: what the user typed elsewhere stays.

}  // namespace halvorn
