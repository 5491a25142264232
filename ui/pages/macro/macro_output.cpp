#include "ui/pages/macro/macro_output.h"

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
#include "ui/session/app_context.h"
#include "ui/session/audio_export_run.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"
#include "ui/views/arrangement_display.h"

namespace halvorn {
namespace {

// How often the display looks where the music is while it plays.
constexpr int kFollowIntervalMs = 40;

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

CMacroOutput::CMacroOutput(AppContext& context, Controls controls,
                           std::function<void(std::int32_t)> turnTo, QObject* parent)
    : QObject(parent),
      context_(context),
      controls_(controls),
      turnTo_(std::move(turnTo)),
      session_(new CPlaybackSession(context.sessions, this)),
      followTimer_(new QTimer(this)) {
    connect(session_, &CPlaybackSession::stopped, this, &CMacroOutput::showStopped);
    connect(followTimer_, &QTimer::timeout, this, &CMacroOutput::followPlayback);
}

bool CMacroOutput::isPlaying() const {
    return session_->isPlaying();
}

bool CMacroOutput::render(MidiSong& midi, bool forPlayback) {
    Song* current = context_.currentSong();
    if (!current || context_.currentBlockCount() <= 0) return false;
    BarProgress progress(controls_.progress);
    const auto rendered =
        renderSong(midi, *current, progress, forPlayback, context_.midi.settings.ppqnSetting);
    if (!rendered) {
        context_.prompts.message(QString::fromStdString(rendered.error().message));
        return false;
    }
    midiSongSetDocumentTexts(midi, *context_.currentDocument());
    return true;
}

void CMacroOutput::play(bool loop) {
    if (!session_->play(loop, context_.midi.settings.sendMidiClock)) return;
    controls_.play->setText(QStringLiteral("Stop"));
    followTimer_->start(kFollowIntervalMs);
}

void CMacroOutput::stop() {
    session_->stop();
    showStopped();
}

void CMacroOutput::showStopped() {
    followTimer_->stop();
    controls_.play->setText(QStringLiteral("Play"));
    controls_.display->setPlayPosition(std::nullopt);
    controls_.display->redraw();
}

// The play line at the song position being heard; when it leaves the window
// the window turns a page to show it.
void CMacroOutput::followPlayback() {
    const auto ticks = session_->positionTicks();
    const Song* current = context_.currentSong();
    if (!ticks || !current) return;
    const double beats = arrangementBeatsOfTicks(*ticks, session_->song().ppqn);
    const std::int32_t shown = controls_.display->firstVisibleMeasure();
    const std::int32_t first = arrangementFirstMeasureShowing(shown, current->lengthMeasures,
                                                              current->beatsPerMeasure, beats);
    if (first != shown) turnTo_(first);
    controls_.display->setPlayPosition(beats);
    controls_.display->redraw();
}

void CMacroOutput::saveMidi(MidiSong& piece) {
    Prompts& prompts = context_.prompts;
    if (context_.midi.settings.sendInstruments &&
        midiSongAddChannelSetupEvents(piece) != MidiResult::kOk) {
        prompts.message(QStringLiteral("Not enough memory to generate MIDI data."));
        return;
    }
    const auto path = prompts.askSaveFile({.filterText = QStringLiteral("Archivos MIDI (*.mid)"),
                                           .filterPattern = QStringLiteral("*"),
                                           .defaultSuffix = QStringLiteral("mid"),
                                           .title = QStringLiteral("Save MIDI")});
    if (!path) return;
    if (const auto saved = midiSongSave(localPath(*path), piece); !saved)
        showFileError(prompts, saved.error());
}

// The synthesizer renders the piece offline on the export's own thread; the
// playback, and a piece that plays meanwhile, are never touched.
void CMacroOutput::exportAudio(const AudioExportFunction& exporter, MidiSong& piece,
                               const QString& target) {
    const AudioExportResult result =
        runAudioExport(exporter, piece, localPath(target), qobject_cast<QWidget*>(parent()));
    if (result.outcome == AudioExportOutcome::kFailed)
        showFileError(context_.prompts, result.error);
}

}  // namespace halvorn
