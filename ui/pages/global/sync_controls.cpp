#include "ui/pages/global/sync_controls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

#include "midi/midi_system.h"
#include "midi/playback.h"
#include "ui/session/playback_session.h"

namespace halvorn {

namespace {

QString captionOf(const SyncSetting& sync) {
    switch (sync.kind) {
        case SyncKind::kInternal:
            return QStringLiteral("Internal");
        case SyncKind::kMidiClock:
            return QStringLiteral("MIDI clock from %1").arg(QString::fromStdString(sync.port));
        case SyncKind::kJackTransport:
            return QStringLiteral("JACK transport");
        case SyncKind::kLink:
            return QStringLiteral("Link");
    }
    return {};
}

}  // namespace

CSyncControls::CSyncControls(QComboBox* list, QCheckBox* timebaseMaster, QLineEdit* tempo,
                             MidiSystem& midi, CPlaybackSessions& sessions, QObject* parent)
    : QObject(parent),
      list_(list),
      timebaseMaster_(timebaseMaster),
      tempo_(tempo),
      midi_(midi),
      sessions_(sessions) {
    list_->setToolTip(QStringLiteral(
        "Where playback's time comes from: its own tempo, MIDI clock from an input port, the "
        "JACK transport or a Link session; Play then waits for that clock to start"));
    timebaseMaster_->setToolTip(QStringLiteral(
        "With \"JACK transport\": publish the song's bar, beat and tempo to the other JACK "
        "programs"));
    fill();
    connect(list_, &QComboBox::currentIndexChanged, this, &CSyncControls::chosen);
    connect(timebaseMaster_, &QCheckBox::toggled, this,
            [this](bool master) { midi_.settings.sync.jackTimebaseMaster = master; });
    connect(&ports_, &QTimer::timeout, this, &CSyncControls::refresh);
    ports_.start(kIntervalMs);
    connect(&followed_, &QTimer::timeout, this, &CSyncControls::showFollowedTempo);
    followed_.start(kTempoIntervalMs);
}

// "Internal", a "MIDI clock from" entry a port, "JACK transport", "Link";
// the chosen entry stays chosen (a port that went is kept, shown as chosen,
// until the user picks another).
void CSyncControls::fill() {
    choices_.clear();
    choices_.push_back({});
    std::vector<std::string> ports;
    if (midi_.clockSources) ports = midi_.clockSources->inputPortNames();
    for (const std::string& port : ports) choices_.push_back({SyncKind::kMidiClock, port, false});
    const SyncSetting& current = midi_.settings.sync;
    if (current.kind == SyncKind::kMidiClock &&
        std::find(ports.begin(), ports.end(), current.port) == ports.end())
        choices_.push_back({SyncKind::kMidiClock, current.port, false});
    choices_.push_back({SyncKind::kJackTransport, {}, false});
    choices_.push_back({SyncKind::kLink, {}, false});
    const QSignalBlocker blocker(list_);
    list_->clear();
    int selected = 0;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        list_->addItem(captionOf(choices_[i]));
        if (choices_[i].kind == current.kind && choices_[i].port == current.port)
            selected = static_cast<int>(i);
    }
    list_->setCurrentIndex(selected);
}

bool CSyncControls::refresh() {
    if (!midi_.clockSources || list_->view()->isVisible()) return false;
    if (!midi_.clockSources->rescan()) return false;
    fill();
    return true;
}

void CSyncControls::chosen(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= choices_.size()) return;
    const bool master = midi_.settings.sync.jackTimebaseMaster;
    midi_.settings.sync = choices_[static_cast<std::size_t>(index)];
    midi_.settings.sync.jackTimebaseMaster = master;
}

QString CSyncControls::documentTempoText() const {
    return heldTempo_.value_or(tempo_->text());
}

void CSyncControls::showDocumentTempo(const QString& text) {
    if (heldTempo_)
        heldTempo_ = text;
    else
        tempo_->setText(text);
}

// The tempo followed, while playback follows a clock that has one; the
// document's again when it stops.
void CSyncControls::showFollowedTempo() {
    const auto tempo =
        sessions_.anyPlaying() ? midiPlaybackFollowedTempo(midi_.playback()) : std::nullopt;
    if (tempo) {
        if (!heldTempo_) heldTempo_ = tempo_->text();
        tempo_->setReadOnly(true);
        tempo_->setText(QString::number(*tempo, 'f', 1));
    } else if (heldTempo_) {
        tempo_->setReadOnly(false);
        tempo_->setText(*heldTempo_);
        heldTempo_.reset();
    }
}

}  // namespace halvorn
