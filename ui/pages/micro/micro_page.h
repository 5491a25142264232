#pragma once
// The "Microsequences" page: the Song's microsequences in a list, and a
// working copy of one of them in the page's fields and its parameter panel.
// Nothing reaches the Song until "Save current" (or Copy, Delete).
//
// The rules behind the page (the records, the random values) are edit/'s;
// the page moves values between its controls and a MicroFields by read()
// and write().

#include <QString>
#include <cstdint>

#include "edit/micro_fields.h"
#include "model/document.h"
#include "ui/pages/micro/micro_panel.h"
#include "ui/pages/sheet_page.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace halvorn {

class CValuesPlot;
struct Song;

struct MicroPageValues {
    std::int32_t selection = -1;  // index of the sequence list
    MicroFields sequence;
};

struct MicroPageControls {
    QComboBox* sequences = nullptr;
    QPushButton* create = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* save = nullptr;
    QLineEdit* description = nullptr;
    QComboBox* fractal = nullptr;
    QLineEdit* period = nullptr;
    QProgressBar* progress = nullptr;
    QGroupBox* parameters = nullptr;
    CValuesPlot* plot = nullptr;
};

class CMicroPage final : public CSheetPage {
    Q_OBJECT
  public:
    explicit CMicroPage(AppContext& context, QWidget* parent = nullptr);
    ~CMicroPage() override;

    // Controls into values, field by field, stopping at the first that does
    // not read (its message shown); the fields before it are taken.
    bool read();
    void write();

    void refreshList();
    // The selected sequence into the page and its panel.
    void load();
    // Another sequence chosen in the list: the edits held for the one shown
    // are dropped (as a step that can be undone), then it is loaded.
    void pickSequence();
    // A new panel for the page's fractal type, loaded.
    void rebuildPanel();
    void create();
    // False when a field refuses (its message shown).
    bool save();
    void deleteSequence();
    void randomize(RandomDraws& draws);
    void drawRandomSeed(RandomDraws& draws);
    void copySequence();

    // After a copy dialog has given source and destination.
    void copyRecord(std::int32_t source, std::int32_t destination);

    CMicroPanel* panel() const { return panel_; }
    const RememberedParameters& remembered() const { return remembered_; }
    const MicroPageValues& values() const { return values_; }
    const MicroPageControls& controls() const { return controls_; }

    void randomValues(RandomDraws& draws) override { randomize(draws); }
    void randomSeed(RandomDraws& draws) override { drawRandomSeed(draws); }
    void copy() override { copySequence(); }
    void turnedTo() override;
    void reloadFromDocument() override;
    bool previewEdits(Document& document) override;
    bool storeEdits() override { return save(); }

  protected:
    QList<QWidget*> editFields() const override;
    QComboBox* recordList() const override { return controls_.sequences; }
    std::vector<std::uint8_t> extraFields() const override;
    void showRecord(std::int32_t record) override;
    void prepareFields(const PageFields& fields) override;
    void fieldsShown() override { updateValuesPlot(); }

  private:
    void buildControls();
    void initialise();
    Song* song() const;
    std::int32_t sequenceCount() const;
    bool selectionValid() const;
    void updateValuesPlot();
    void copyInto(std::int32_t source, std::int32_t destination);

    MicroPageValues values_;
    MicroPageControls controls_;
    QVBoxLayout* panelLayout_ = nullptr;
    CMicroPanel* panel_ = nullptr;
    RememberedParameters remembered_;
};

}  // namespace halvorn
