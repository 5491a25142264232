#pragma once
// The property sheet that fills the main window: "Global",
// "Microsequences", "Blocks" and "Macrosequences", in that order. It passes
// the frame's page commands to the page shown, and keeps a page shown while
// that page refuses to be left.

#include <QTabWidget>
#include <array>

#include "ui/pages/sheet_page.h"

namespace halvorn {

class AppContext;
class CGlobalPage;

enum SheetPageIndex : int {
    kGlobalPageIndex = 0,
    kMicroPageIndex = 1,
    kBlockPageIndex = 2,
    kMacroPageIndex = 3,
    kSheetPageCount = 4,
};

class CMainSheet final : public QTabWidget {
    Q_OBJECT
  public:
    explicit CMainSheet(AppContext& context, QWidget* parent = nullptr);
    ~CMainSheet() override;

    CGlobalPage* globalPage() const;
    CSheetPage* page(int index) const;
    CSheetPage* activePage() const;

    // Puts `page` in place of the placeholder at `index`; the sheet takes it.
    void replacePage(int index, CSheetPage* page);

    // Stores the Global page's fields in the Song when they hold edits (one
    // step, "Change global settings"): before any command that reads the
    // Song while that page is shown, and when it is left. False, with the
    // page's message shown, when a field does not read.
    bool commitGlobalPage();

    // Shows the "Global" page without asking the page shown (a new or
    // opened document replaces what that page was editing).
    void showFirstPage();
    // The document's contents were replaced (undo, redo): the Global page
    // and the page shown read them again.
    void reloadFromDocument();

    // Whether the page shown (or the Global page) holds edits that are not
    // in the document; its tab carries a mark while it does.
    bool holdsPageEdits() const;
    // Puts or takes away the tabs' marks.
    void updateEditMarks();
    // Stores the page shown's edits as its Save would (the Global page's
    // too); false when a field refuses.
    bool storePageEdits();
    // The document with the pages' edits applied, as far as they read.
    Document documentWithEdits() const;

    // The page shown's caption ("Blocks").
    QString shownCaption() const;
    // What the page shown's fields hold, and showing fields again: their
    // page is turned to (nothing is asked of the page shown) and their
    // record shown before them.
    PageFields shownFields() const;
    void showFields(const PageFields& fields);
    // The page shown's fields as its record is stored, or as the history's
    // last step left them.
    PageFields fieldsBeforeEdits() const;
    // Whether `field` holds typing the page shown has not stored (true for
    // a field that is none of the page's).
    bool fieldHoldsTyping(const QWidget* field) const;
    // "Undo Edits on <page>": the page shown's edits become a step of the
    // history, which is undone, so that Redo brings them back.
    void undoPageEdits();

    // The frame's commands, acting on the page shown.
    void randomValues();
    void randomSeed();
    void copy();
    // The whole piece as audio, whichever page is shown.
    void exportAudio();
    // "Export Stems...": the same, a WAV file per track into a folder.
    void exportStems();
    // The whole piece as a MusicXML score (muted tracks included, as "Save
    // MIDI" includes them; the same bytes as halvorn-cli export-musicxml),
    // after the Global page's fields are committed.
    void exportMusicXml();

  signals:
    // A message for the status bar.
    void statusMessage(const QString& message);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void pageChanged(int index);
    bool mayLeave(int target);
    // Shows page `index` and tells it so.
    void turnTo(int index);
    // A page dropped the edits its fields held: a step brings them back.
    void keepDroppedEdits(int index, PageFields edits, PageFields stored);
    // Runs a randomising frame command on the page shown as one step named
    // `name`, keeping the page's fields before and after it; its draws are
    // seeded from the clock.
    void runOnShownPage(const QString& name, void (CSheetPage::*command)(RandomDraws&));

    AppContext& context_;
    std::array<CSheetPage*, kSheetPageCount> pages_{};
    int shownIndex_ = 0;
};

}  // namespace halvorn
