#pragma once
// The "Macrosequences" page: a working copy of one track (the macrosequence
// of block i) in the page's controls, written back by "Save" (and by
// "Regenerate", "Play", "Save MIDI" and Copy, which save first). It edits
// the song's length, regenerates the arrangement and shows it in the
// arrangement display, plays the whole piece, saves it as a MIDI file and
// exports it as audio.
//
// The rules behind the page (the track's fields, Normalize) are edit/'s;
// the page moves values between its controls and a TrackFields by read()
// and write(). The sliders hold their own positions: the operations take
// them into the fields when they need them.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "edit/track_fields.h"
#include "midi/midi_song.h"
#include "ui/pages/sheet_page.h"
#include "ui/session/audio_export_run.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QToolButton;

namespace halvorn {

class CArrangementCaptions;
class CArrangementDisplay;
class CMacroOutput;
class CPlaybackSession;
struct Song;

// The page's own values and the track it shows.
struct MacroPageValues {
    std::int32_t totalLength = 1;   // measures
    std::int32_t currentTrack = 0;  // selection of "Block:"
    bool loop = false;
    TrackFields track;  // the sliders as last taken from or shown in them
};

struct MacroPageControls {
    QComboBox* block = nullptr;
    QCheckBox* muteTrack = nullptr;
    QPushButton* save = nullptr;
    QSlider* volume = nullptr;       // p = 0 at the top: volume 1
    QSlider* probability = nullptr;  // p = 0 at the top: probability 1
    QLineEdit* seed = nullptr;
    QSlider* panning = nullptr;  // p = 0 at the left
    QComboBox* alignTo = nullptr;
    QLineEdit* displacement = nullptr;
    std::array<QSlider*, kStretchChoices> stretch{};
    QPushButton* normalize = nullptr;
    CArrangementDisplay* display = nullptr;
    CArrangementCaptions* captions = nullptr;  // around the display
    QToolButton* scrollLeft = nullptr;
    QProgressBar* positionBar = nullptr;
    QToolButton* scrollRight = nullptr;
    QLineEdit* totalLength = nullptr;
    QPushButton* regenerate = nullptr;
    QCheckBox* loop = nullptr;
    QPushButton* play = nullptr;
    QPushButton* saveMidi = nullptr;
    QPushButton* exportAudio = nullptr;
    QProgressBar* progress = nullptr;  // driven by the song rendering
};

class CMacroPage final : public CSheetPage {
    Q_OBJECT
  public:
    CMacroPage(AppContext& context, QWidget* parent = nullptr);
    ~CMacroPage() override;

    // Controls into values, stopping at the first field that does not read
    // (its message shown, focus on it); the fields before it are taken.
    bool read();
    void write();

    // The list of blocks; track 0 and "1 measure" selected.
    void refresh();
    // Track `currentTrack` into the page; unsaved edits are dropped.
    void load();
    // Another track chosen in the list: the edits held for the track shown
    // are dropped (as a step that can be undone), then it is loaded.
    void pickTrack();
    // The page into track `currentTrack` and the song's length; nothing is
    // stored when a field does not read. The track's placements are dropped
    // until the next Regenerate, Play or Save MIDI.
    // False when a field refuses (its message shown).
    bool save();
    void normalize();
    // Save, place every track anew, show the arrangement from measure 1.
    void regenerate();
    // "Play" and "Stop".
    void play();
    void stop();
    void saveMidi();
    // "Export Audio...": the piece as "Play" plays it, through the built-in
    // synthesizer into a WAV file. Also the File menu's command, from any
    // page: while this page is hidden its controls are left out and the
    // song is exported as stored.
    void exportAudio();
    // "Export Stems...": the same, one WAV file per track into a folder the
    // user picks (halvorn-cli export-audio --stems).
    void exportStems();
    void scrollLeft();
    void scrollRight();
    void drawRandomSeed(RandomDraws& draws);
    void copyTrack();
    // After a Copy dialog has given source and destination.
    void copyRecord(std::int32_t source, std::int32_t destination);

    bool isPlaying() const;
    CPlaybackSession& session() const;
    std::int32_t firstVisibleMeasure() const;
    const MacroPageValues& values() const { return values_; }
    const MacroPageControls& controls() const { return controls_; }

    void randomSeed(RandomDraws& draws) override { drawRandomSeed(draws); }
    void copy() override { copyTrack(); }
    void turnedTo() override;
    void reloadFromDocument() override;
    bool previewEdits(Document& document) override;
    bool storeEdits() override { return save(); }

  protected:
    QList<QWidget*> editFields() const override;
    QComboBox* recordList() const override { return controls_.block; }
    void showRecord(std::int32_t record) override;

  private:
    void copyInto(std::int32_t source, std::int32_t destination);
    QLayout* buildLeftColumn();
    QGroupBox* buildPropertiesGroup();
    QGroupBox* buildAlignmentGroup();
    QGroupBox* buildStretchGroup();
    QLayout* buildRightColumn();
    QGroupBox* buildGeneralGroup();
    QGroupBox* buildMidiGroup();
    void connectControls();
    void initialise();

    bool trackValid(std::int32_t index) const;
    // For `command`: renders the whole piece into `midi` (muted tracks left
    // out when `forPlayback`), saving the page into its track first when
    // `saveTrack`. False when there is nothing to render or the rendering
    // failed (after its message).
    bool prepareSong(const QString& command, MidiSong& midi, bool forPlayback, bool saveTrack);
    // Shows the arrangement from `measure`, within the song's length.
    void turnTo(std::int32_t measure);
    // For `command`: exports the piece as "Play" plays it with `exporter`
    // to where `askTarget` asks for.
    void exportPiece(const QString& command, const AudioExportFunction& exporter,
                     const std::function<std::optional<QString>()>& askTarget);
    // The position bar's range 1 .. max(1, totalLength - 15).
    void setScrollRange(std::int32_t totalLength);
    // The window from `measure`, on the display and the position bar.
    void showFirstVisibleMeasure(std::int32_t measure);
    StretchPositions shownStretch() const;
    void showStretch(const StretchPositions& positions);
    void takeSliders(TrackFields& track) const;
    void showSliders(const TrackFields& track);

    MacroPageValues values_;
    MacroPageControls controls_;
    CMacroOutput* output_ = nullptr;
};

}  // namespace halvorn
