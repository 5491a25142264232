#pragma once
// The Global page's "Sync:" list and its "JACK timebase master" check box:
// where playback's time comes from ("Internal", "MIDI clock from PORT" for
// each MIDI input port, "JACK transport", "Link"). A setting of the run,
// kept in the MIDI settings like "Port:", never in the document. The list
// follows input ports as they come and go, once a second.
//
// While playback follows a clock, the page's Tempo shows the tempo
// followed, read-only; the document's own tempo is held aside meanwhile and
// is what the page reads and stores.

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

#include "midi/clock_source.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace halvorn {

class MidiSystem;
class CPlaybackSessions;

class CSyncControls final : public QObject {
    Q_OBJECT
  public:
    static constexpr int kIntervalMs = 1000;
    static constexpr int kTempoIntervalMs = 250;

    CSyncControls(QComboBox* list, QCheckBox* timebaseMaster, QLineEdit* tempo, MidiSystem& midi,
                  CPlaybackSessions& sessions, QObject* parent);

    // The Tempo text the page reads: the document's, also while the field
    // shows the tempo followed.
    QString documentTempoText() const;
    // Shows the document's tempo, or holds it aside while following.
    void showDocumentTempo(const QString& text);

    // One look at the input ports now; true when the list changed.
    bool refresh();

  private:
    void fill();
    void chosen(int index);
    void showFollowedTempo();

    QComboBox* list_;
    QCheckBox* timebaseMaster_;
    QLineEdit* tempo_;
    MidiSystem& midi_;
    CPlaybackSessions& sessions_;
    std::vector<SyncSetting> choices_;
    std::optional<QString> heldTempo_;  // the document's, while following
    QTimer ports_;
    QTimer followed_;
};

}  // namespace halvorn
