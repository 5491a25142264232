#pragma once
// The "Blocks" page: a working copy of one of the Song's blocks in the
// page's controls, written back by "Save" (and by "Listen" and Copy, which
// save first). It shapes the rhythm distribution with the curve presets and
// "Normalize", auditions the block with "Listen", and shows the block's
// notes as a piano roll.
//
// The rules behind the page (the records, the curves, Normalize, the random
// values) are edit/'s; the page moves values between its controls and a
// BlockFields by read() and write(). The sliders hold their own positions:
// the operations take them into the fields when they need them.

#include <QString>
#include <array>
#include <cstdint>

#include "edit/block_fields.h"
#include "model/song.h"
#include "ui/fields/slider_position.h"
#include "ui/pages/sheet_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace halvorn {

class CBlockAudition;
class CPianoRollView;
class CPlaybackSession;

// The page's own values and the block it shows. List indices are -1 while
// a list has no selection.
struct BlockPageValues {
    std::int32_t centerIndex = 0;  // note-value index of "Center:"
    std::int32_t curveIndex = -1;
    std::int32_t currentBlock = -1;
    bool metronome = true;
    bool loop = false;
    BlockFields block;  // the sliders as last taken from or shown in them
};

struct BlockPageControls {
    QComboBox* block = nullptr;
    QPushButton* newBlock = nullptr;
    QPushButton* save = nullptr;
    QPushButton* deleteBlock = nullptr;
    QLineEdit* description = nullptr;
    QComboBox* scaleKey = nullptr;
    QComboBox* scaleType = nullptr;
    QComboBox* length = nullptr;
    QComboBox* curve = nullptr;
    QComboBox* center = nullptr;
    QLineEdit* seed = nullptr;
    QPushButton* normalize = nullptr;
    std::array<QSlider*, kNoteValueCount> rhythm{};      // p = 0 at the top: probability 1
    std::array<QLabel*, kNoteValueCount> rhythmNames{};  // "1/64" … "8", under the sliders
    QComboBox* melodySequence = nullptr;
    QLineEdit* melodyRange = nullptr;
    QLineEdit* melodyOffset = nullptr;
    QComboBox* velocitySequence = nullptr;
    QLineEdit* velocityRange = nullptr;
    QLineEdit* velocityAmp = nullptr;
    QLineEdit* velocityThreshold = nullptr;
    QSlider* dotted = nullptr;
    QSlider* triplets = nullptr;
    QSlider* legato = nullptr;
    std::array<QCheckBox*, kMaxBeatsPerMeasure> accents{};
    QSlider* accentLevel = nullptr;
    QComboBox* instrument = nullptr;
    QComboBox* channel = nullptr;
    QCheckBox* metronome = nullptr;
    QCheckBox* loop = nullptr;
    QPushButton* listen = nullptr;
    CPianoRollView* pianoRoll = nullptr;
};

class CBlockPage final : public CSheetPage {
    Q_OBJECT
  public:
    CBlockPage(AppContext& context, QWidget* parent = nullptr);
    ~CBlockPage() override;

    // Controls into values, stopping at the first field that does not read
    // (its message shown, focus on it); the fields before it are taken.
    bool read();
    void write();

    // The lists of blocks and microsequences, the sliders the Song's note
    // range allows and the accent boxes its metre allows.
    void refresh();
    // Block `currentBlock` into the page (repairing its sequence indices).
    void load();
    // Another block chosen in the list: the edits held for the block shown
    // are dropped (as a step that can be undone), then it is loaded.
    void pickBlock();
    // The page into block `currentBlock`; nothing is stored when a field
    // does not read.
    // False when a field refuses (its message shown).
    bool save();
    // False, after telling the user, when no block can be added.
    bool newBlock();
    void deleteBlock();
    void clampCenter();
    void applyCurve();
    void normalize();
    // "Listen" and "Stop".
    void listen();
    void stop();
    void randomize(RandomDraws& draws);
    void drawRandomSeed(RandomDraws& draws);
    void copyBlock();
    // After a Copy dialog has given source and destination.
    void copyRecord(std::int32_t source, std::int32_t destination);

    bool isPlaying() const;
    CPlaybackSession& session() const;
    const BlockPageValues& values() const { return values_; }
    const BlockPageControls& controls() const { return controls_; }

    void randomValues(RandomDraws& draws) override { randomize(draws); }
    void randomSeed(RandomDraws& draws) override { drawRandomSeed(draws); }
    void copy() override { copyBlock(); }
    void turnedTo() override;
    void reloadFromDocument() override;
    bool previewEdits(Document& document) override;
    bool storeEdits() override { return save(); }

  protected:
    QList<QWidget*> editFields() const override;
    QComboBox* recordList() const override { return controls_.block; }
    void showRecord(std::int32_t record) override;

  private:
    QLayout* buildBlockRow();
    QGroupBox* buildGeneralGroup();
    QGroupBox* buildDistributionGroup();
    QGroupBox* buildMelodyGroup();
    QGroupBox* buildVelocityGroup();
    QGroupBox* buildRhythmGroup();
    QGroupBox* buildAccentGroup();
    QGroupBox* buildMidiGroup();
    QGroupBox* buildNotesGroup();
    void connectControls();
    void initialise();

    Song* song() const;
    std::int32_t blockCount() const;
    std::int32_t sequenceCount() const;
    bool blockValid(std::int32_t index) const;
    std::int32_t beatsPerMeasure() const;
    void fillLists();
    void showCreationValues();
    RhythmPositions shownRhythm() const;
    void showRhythm(const RhythmPositions& positions);
    BlockSliders shownSliders() const;
    void showSliders(const BlockSliders& sliders);
    void copyInto(std::int32_t source, std::int32_t destination);
    void updatePianoRoll();

    BlockPageValues values_;
    BlockPageControls controls_;
    CBlockAudition* audition_ = nullptr;
};

}  // namespace halvorn
