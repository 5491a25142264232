#include "ui/frame/main_sheet.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTabBar>

#include "engine/musicxml_writer.h"
#include "model/random.h"
#include "ui/fields/page_widgets.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/session/app_context.h"

namespace halvorn {
namespace {

constexpr std::array<const char*, kSheetPageCount> kCaptions = {"Global", "Microsequences",
                                                                "Blocks", "Macrosequences"};

}  // namespace

CMainSheet::CMainSheet(AppContext& context, QWidget* parent)
    : QTabWidget(parent), context_(context) {
    auto* global = new CGlobalPage(context, this);
    pages_[kGlobalPageIndex] = global;
    pages_[kMicroPageIndex] = new CMicroPage(context, this);
    pages_[kBlockPageIndex] = new CBlockPage(context, this);
    pages_[kMacroPageIndex] = new CMacroPage(context, this);
    for (int index = 0; index < kSheetPageCount; ++index) {
        addTab(pages_[index], QString::fromLatin1(kCaptions[index]));
        connect(pages_[index], &CSheetPage::editsDropped, this,
                [this, index](const PageFields& edits, const PageFields& stored) {
                    keepDroppedEdits(index, edits, stored);
                });
    }
    globalPage()->SelectBufferFromSettings();
    greyDisabledControls(this);
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, &CMainSheet::pageChanged);
}

CMainSheet::~CMainSheet() = default;

CGlobalPage* CMainSheet::globalPage() const {
    return static_cast<CGlobalPage*>(pages_[kGlobalPageIndex]);
}

CSheetPage* CMainSheet::page(int index) const {
    return index >= 0 && index < kSheetPageCount ? pages_[index] : nullptr;
}

CSheetPage* CMainSheet::activePage() const {
    return page(currentIndex());
}

void CMainSheet::replacePage(int index, CSheetPage* replacement) {
    if (index <= kGlobalPageIndex || index >= kSheetPageCount || !replacement) return;
    const QSignalBlocker blocker(this);
    const int shown = currentIndex();
    CSheetPage* old = pages_[index];
    removeTab(index);
    insertTab(index, replacement, QString::fromLatin1(kCaptions[index]));
    pages_[index] = replacement;
    old->deleteLater();
    setCurrentIndex(shown);
}

void CMainSheet::showFirstPage() {
    const QSignalBlocker blocker(this);
    shownIndex_ = kGlobalPageIndex;
    setCurrentIndex(kGlobalPageIndex);
}

void CMainSheet::reloadFromDocument() {
    globalPage()->LoadFromSong();
    CSheetPage* shown = activePage();
    if (shown && shown != globalPage()) shown->reloadFromDocument();
}

bool CMainSheet::holdsPageEdits() const {
    CSheetPage* shown = activePage();
    return globalPage()->holdsEdits() || (shown && shown->holdsEdits());
}

void CMainSheet::updateEditMarks() {
    CSheetPage* shown = activePage();
    for (int index = 0; index < kSheetPageCount; ++index) {
        const bool marked = pages_[index] == shown && shown->holdsEdits();
        const QString caption = QString::fromLatin1(kCaptions[index]);
        setTabText(index, marked ? caption + QLatin1Char('*') : caption);
        setTabToolTip(index, marked ? QStringLiteral("This page holds edits that are not saved.")
                                    : QString());
    }
}

bool CMainSheet::storePageEdits() {
    CSheetPage* shown = activePage();
    if (shown && shown != globalPage() && shown->holdsEdits() && !shown->storeEdits()) return false;
    return globalPage()->storeEdits();
}

Document CMainSheet::documentWithEdits() const {
    Document document = globalPage()->withEdits();
    CSheetPage* shown = activePage();
    if (shown && shown != globalPage()) shown->previewEdits(document);
    return document;
}

QString CMainSheet::shownCaption() const {
    const int shown = currentIndex();
    return shown >= 0 && shown < kSheetPageCount ? QString::fromLatin1(kCaptions[shown])
                                                 : QString();
}

PageFields CMainSheet::shownFields() const {
    CSheetPage* shown = activePage();
    if (!shown) return {};
    PageFields fields = shown->fields();
    fields.page = currentIndex();
    return fields;
}

void CMainSheet::showFields(const PageFields& fields) {
    CSheetPage* target = page(fields.page);
    if (!target) return;
    if (fields.page != shownIndex_) turnTo(fields.page);
    target->showFields(fields);
}

PageFields CMainSheet::fieldsBeforeEdits() const {
    const PageFields current = shownFields();
    const PageFields* last = context_.history.fieldsAfterLast();
    if (last && last->page == current.page && last->record == current.record) return *last;
    PageFields stored = activePage() ? activePage()->storedFields() : PageFields{};
    stored.page = current.page;
    return stored;
}

bool CMainSheet::fieldHoldsTyping(const QWidget* field) const {
    CSheetPage* shown = activePage();
    return !shown || shown->fieldHoldsEdit(field);
}

void CMainSheet::undoPageEdits() {
    context_.history.pushFields(QStringLiteral("Edits on %1").arg(shownCaption()),
                                fieldsBeforeEdits(), shownFields());
    context_.history.stack().undo();
}

void CMainSheet::keepDroppedEdits(int index, PageFields edits, PageFields stored) {
    const QString caption = QString::fromLatin1(kCaptions[index]);
    edits.page = index;
    stored.page = index;
    context_.history.pushFields(QStringLiteral("Discard edits on %1").arg(caption),
                                std::move(edits), std::move(stored));
    emit statusMessage(
        QStringLiteral("Edits on %1 discarded; Edit > Undo brings them back").arg(caption));
}

void CMainSheet::runOnShownPage(const QString& name, void (CSheetPage::*command)(RandomDraws&)) {
    CSheetPage* shown = activePage();
    if (!shown) return;
    const std::unique_ptr<RandomDraws> draws = context_.commandDraws();
    context_.history.recordWithFields(name, [&] { (shown->*command)(*draws); });
}

void CMainSheet::randomValues() {
    runOnShownPage(QStringLiteral("Random Values"), &CSheetPage::randomValues);
}

void CMainSheet::randomSeed() {
    runOnShownPage(QStringLiteral("Random Seed"), &CSheetPage::randomSeed);
}

void CMainSheet::copy() {
    if (CSheetPage* shown = activePage()) shown->copy();
}

void CMainSheet::exportAudio() {
    if (!commitGlobalPage()) return;
    if (auto* macro = qobject_cast<CMacroPage*>(page(kMacroPageIndex))) macro->exportAudio();
}

void CMainSheet::exportStems() {
    if (!commitGlobalPage()) return;
    if (auto* macro = qobject_cast<CMacroPage*>(page(kMacroPageIndex))) macro->exportStems();
}

void CMainSheet::exportMusicXml() {
    const Document* document = context_.currentDocument();
    if (!document || !commitGlobalPage()) return;
    const auto path =
        context_.prompts.askSaveFile({.filterText = QStringLiteral("MusicXML files (*.musicxml)"),
                                      .filterPattern = QStringLiteral("*.musicxml"),
                                      .defaultSuffix = QStringLiteral("musicxml")});
    if (!path) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto saved = musicXmlSave(QFile::encodeName(*path).toStdString(), *document, false);
    QApplication::restoreOverrideCursor();
    if (!saved) showFileError(context_.prompts, saved.error());
}

bool CMainSheet::commitGlobalPage() {
    CGlobalPage* global = globalPage();
    return !global->holdsEdits() || global->CommitToSong();
}

// The Global page stores its edits when it is left; the other pages drop
// theirs, as a step that brings them back.
bool CMainSheet::mayLeave(int target) {
    if (target == shownIndex_ || target < 0) return true;
    if (shownIndex_ == kGlobalPageIndex) return commitGlobalPage();
    if (CSheetPage* shown = page(shownIndex_)) shown->dropEdits();
    return true;
}

void CMainSheet::turnTo(int index) {
    shownIndex_ = index;
    {
        const QSignalBlocker blocker(this);
        setCurrentIndex(index);
    }
    pages_[index]->turnedTo();
}

// A click on another tab asks the shown page first, so a page that cannot be
// left never disappears behind its own message.
bool CMainSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabBar() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const int target = tabBar()->tabAt(press->position().toPoint());
        if (!mayLeave(target)) return true;
        if (target >= 0 && target != shownIndex_) {
            turnTo(target);
            return true;
        }
    }
    return QTabWidget::eventFilter(watched, event);
}

// Every other way of changing pages (keyboard, wheel, code) is checked here
// and undone when the page shown before refuses to be left.
void CMainSheet::pageChanged(int index) {
    if (index == shownIndex_) return;
    if (!mayLeave(index)) {
        const QSignalBlocker blocker(this);
        setCurrentIndex(shownIndex_);
        return;
    }
    shownIndex_ = index;
    pages_[index]->turnedTo();
}

}  // namespace halvorn
