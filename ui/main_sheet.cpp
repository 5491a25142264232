#include "ui/main_sheet.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTabBar>

#include "engine/musicxml_writer.h"
#include "model/random.h"
#include "ui/app_context.h"
#include "ui/block_page.h"
#include "ui/global_page.h"
#include "ui/macro_page.h"
#include "ui/micro_page.h"
#include "ui/page_widgets.h"

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
    pages_[kBlockPageIndex] = new CBlockPage(context, *global, this);
    pages_[kMacroPageIndex] = new CMacroPage(context, *global, this);
    for (int index = 0; index < kSheetPageCount; ++index) {
        addTab(pages_[index], QString::fromLatin1(kCaptions[index]));
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

void CMainSheet::randomValues() {
    if (CSheetPage* shown = activePage()) shown->randomValues();
}

void CMainSheet::randomSeed() {
    randomSeedFromTime();
    if (CSheetPage* shown = activePage()) shown->randomSeed();
}

void CMainSheet::copy() {
    if (CSheetPage* shown = activePage()) shown->copy();
}

void CMainSheet::exportAudio() {
    if (auto* macro = qobject_cast<CMacroPage*>(page(kMacroPageIndex))) macro->exportAudio();
}

void CMainSheet::exportStems() {
    if (auto* macro = qobject_cast<CMacroPage*>(page(kMacroPageIndex))) macro->exportStems();
}

void CMainSheet::exportMusicXml() {
    const Document* document = context_.currentDocument();
    if (!document || !globalPage()->CommitToSong()) return;
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

bool CMainSheet::mayLeave(int target) {
    if (target == shownIndex_ || target < 0) return true;
    CSheetPage* shown = page(shownIndex_);
    return !shown || shown->leavePage();
}

// A click on another tab asks the shown page first, so a page that cannot be
// left never disappears behind its own message.
bool CMainSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabBar() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const int target = tabBar()->tabAt(press->position().toPoint());
        if (!mayLeave(target)) return true;
        if (target >= 0 && target != shownIndex_) {
            shownIndex_ = target;
            setCurrentIndex(target);
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
}

}  // namespace halvorn
