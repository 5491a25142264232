#pragma once
// The "Global" page: the document's texts, the song-wide musical settings,
// the random generator, and the process-wide MIDI settings.
//
// Values move between the controls and the page by read() and write(); the
// rules behind them are edit/'s. They reach the Song only through
// CommitToSong(), except the two "Scale:" lists and the MIDI lists, which
// take effect as soon as they change.

#include <QString>
#include <cstdint>
#include <optional>

#include "edit/global_fields.h"
#include "model/document.h"
#include "ui/pages/sheet_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSlider;
class QGroupBox;

namespace halvorn {

class CSyncControls;
class CPortListWatch;

// The page's values: the song-wide settings (edit/global_fields.h), the
// document's texts and the MIDI settings. List indices are -1 while a list
// has no selection.
struct GlobalPageValues {
    GlobalFields settings;
    QString author;
    std::int32_t bufferIndex = -1;  // bufferBeats = 2^index
    QString comments;
    std::int32_t portIndex = -1;
    QString title;
    std::int32_t ppqnIndex = -1;
    bool sendMidiClock = false;
};

inline constexpr std::int32_t kMetronomeMaxPosition = 127;

// The controls, for the sheet's other pages and for tests.
struct GlobalPageControls {
    QLineEdit* title = nullptr;
    QLineEdit* author = nullptr;
    QPlainTextEdit* comments = nullptr;
    QComboBox* generator = nullptr;
    QLineEdit* seed = nullptr;
    QLineEdit* tempo = nullptr;
    QComboBox* signature = nullptr;
    QComboBox* minDuration = nullptr;
    QComboBox* maxDuration = nullptr;
    QComboBox* scaleKey = nullptr;
    QComboBox* scaleType = nullptr;
    QComboBox* port = nullptr;
    QComboBox* buffer = nullptr;
    QComboBox* ppqn = nullptr;
    QCheckBox* sendMidiClock = nullptr;
    QComboBox* sync = nullptr;  // "Sync:", a setting of the run
    QCheckBox* jackTimebaseMaster = nullptr;
    QCheckBox* sendInstruments = nullptr;  // a per-user setting, applied at once
    QSlider* metronome = nullptr;
};

class CGlobalPage final : public CSheetPage {
    Q_OBJECT
  public:
    explicit CGlobalPage(AppContext& context, QWidget* parent = nullptr);

    // Controls into values, stopping at the first field that does not read;
    // then the message is shown and focus moves to that field.
    bool read();
    // Values into controls.
    void write();

    // Reads, keeps min <= max, and stores tempo, metre, note range,
    // generator, seed and the three texts into the Song and the document.
    // False, with nothing stored, when the controls do not read.
    bool CommitToSong();
    // The reverse of CommitToSong, plus the key and scale type the document
    // holds; then write.
    void LoadFromSong();
    // A new document: key C, Major, empty author, the default comments; then
    // everything else from the document.
    void ResetForNewDocument();
    void EnableMidiLists(bool enable);
    void RandomizeValues(RandomDraws& draws);
    void SetRandomSeed(RandomDraws& draws);
    // Buffer index from the process-wide buffer length (no change when none
    // matches).
    void SelectBufferFromSettings();

    // What a commit would store, applied to `document` without any message;
    // false when the controls do not read.
    bool PreviewCommit(Document& document) const;

    bool sendMidiClock() const;
    // 0 at the "Max" end (top) .. 127 at the "Min" end.
    int metronomePosition() const;

    const GlobalPageValues& values() const { return values_; }
    const GlobalPageControls& controls() const { return controls_; }

    void randomValues(RandomDraws& draws) override { RandomizeValues(draws); }
    void randomSeed(RandomDraws& draws) override { SetRandomSeed(draws); }
    bool previewEdits(Document& document) override { return PreviewCommit(document); }
    bool storeEdits() override { return CommitToSong(); }
    // The page's fields go into the document as they are (nothing rounds
    // them), so the document itself is the measure.
    bool holdsEdits() override { return previewDiffersFromDocument(); }

  protected:
    // The song's settings and the texts; the scale lists act on the Song at
    // once and the MIDI settings are the program's, so neither is an edit.
    QList<QWidget*> editFields() const override;
    void fieldsShown() override;

  private:
    struct ReadFailure {
        QWidget* field;
        QString message;
    };

    QGroupBox* buildDescriptionGroup();
    QGroupBox* buildGeneratorGroup();
    QGroupBox* buildParametersGroup();
    QGroupBox* buildMidiGroup();
    QWidget* buildTempoField();
    void connectChangeHandlers();
    void createPage();

    std::optional<ReadFailure> readInto(GlobalPageValues& values) const;
    void applyToDocument(const GlobalPageValues& values, Document& document) const;

    void minDurationChanged();
    void maxDurationChanged();
    void scaleKeyChanged();
    void scaleTypeChanged();
    void portChanged();
    void bufferChanged();
    void ppqnChanged();
    void applyScaleToSong();

    GlobalPageValues values_;
    GlobalPageControls controls_;
    CSyncControls* sync_ = nullptr;  // "Sync:" and the tempo shown while following
    CPortListWatch* portWatch_ = nullptr;
};

}  // namespace halvorn
