#include "ui/frame/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "ui/fields/field_names.h"
#include "ui/frame/lock_keys.h"
#include "ui/frame/main_sheet.h"
#include "ui/views/toolbar_icons.h"

namespace halvorn {
namespace {

constexpr int kIndicatorPollMs = 250;

// What "Random Values" and "Random Seed" act on while page `index` is
// shown, and when they do nothing. Each tip opens with the command's name.
struct RandomTips {
    QString values;
    QString seed;
};

RandomTips randomTips(int index) {
    switch (index) {
        case kGlobalPageIndex:
            return {QStringLiteral("Random Values: a random tempo, signature, note range, key and "
                                   "scale on the Global page (texts and MIDI settings stay)"),
                    QStringLiteral("Random Seed: a random seed for the song's generator on the "
                                   "Global page")};
        case kMicroPageIndex:
            return {QStringLiteral("Random Values: a random fractal, period and parameters for "
                                   "the microsequence shown, kept by Save current; nothing while "
                                   "the song has no microsequences"),
                    QStringLiteral("Random Seed: a random seed for the microsequence shown when "
                                   "its fractal is Noise; nothing for the other fractals")};
        case kBlockPageIndex:
            return {QStringLiteral("Random Values: random settings for the block shown, kept by "
                                   "Save; nothing while the song has no blocks"),
                    QStringLiteral("Random Seed: a random rhythm seed for the block shown, kept "
                                   "by Save")};
        case kMacroPageIndex:
            return {QStringLiteral("Random Values: nothing on the Macrosequences page"),
                    QStringLiteral("Random Seed: a random seed for the track shown, kept by Save")};
        default:
            return {QStringLiteral("Random Values"), QStringLiteral("Random Seed")};
    }
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Halvorn"));
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    setRecentFiles({});
    QApplication::instance()->installEventFilter(this);
}

QAction* CMainFrame::makeAction(FrameCommand command, const QString& text, const QString& prompt,
                                const QString& tip) {
    auto* created = new QAction(text, this);
    created->setStatusTip(prompt);
    created->setToolTip(tip);
    actions_[static_cast<std::size_t>(command)] = created;
    return created;
}

void CMainFrame::dispatchToSheet(void (CMainSheet::*command)()) {
    if (sheet_) (sheet_->*command)();
}

void CMainFrame::setSheet(CMainSheet* sheet) {
    if (sheet_) disconnect(sheet_, nullptr, this, nullptr);
    sheet_ = sheet;
    if (!sheet_) return;
    connect(sheet_, &QTabWidget::currentChanged, this, &CMainFrame::showRandomTips);
    showRandomTips(sheet_->currentIndex());
}

void CMainFrame::showRandomTips(int pageIndex) {
    const RandomTips tips = randomTips(pageIndex);
    action(FrameCommand::RandomValues)->setToolTip(tips.values);
    action(FrameCommand::RandomSeed)->setToolTip(tips.seed);
}

void CMainFrame::nameToolbarButtons() {
    for (QAction* command : toolBar_->actions()) {
        QWidget* button = toolBar_->widgetForAction(command);
        if (!button || command->isSeparator()) continue;
        nameField(button, captionName(command->text().section(QLatin1Char('\t'), 0, 0)));
    }
}

QAction* CMainFrame::action(FrameCommand command) const {
    return actions_[static_cast<std::size_t>(command)];
}

// Open answers Ctrl+O, as its menu item says, and Ctrl+A; Save answers
// Ctrl+S and Ctrl+G. A text field that has the focus keeps Ctrl+A for
// selecting its text (the toolkit offers it the keys before any shortcut),
// so Ctrl+O is the key that opens from every field.
void CMainFrame::createActions() {
    auto* newAction = makeAction(FrameCommand::New, QStringLiteral("&New\tCtrl+N"),
                                 QStringLiteral("Create a new document"), QStringLiteral("New"));
    newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    newAction->setIcon(toolbarIcon(ToolbarIcon::New));
    connect(newAction, &QAction::triggered, this, &CMainFrame::newRequested);

    auto* open = makeAction(FrameCommand::Open, QStringLiteral("&Open...\tCtrl+O"),
                            QStringLiteral("Open an existing document"), QStringLiteral("Open"));
    open->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_A)});
    open->setIcon(toolbarIcon(ToolbarIcon::Open));
    connect(open, &QAction::triggered, this, &CMainFrame::openRequested);

    auto* save = makeAction(FrameCommand::Save, QStringLiteral("&Save\tCtrl+S"),
                            QStringLiteral("Save the current document"), QStringLiteral("Save"));
    save->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::Key_G)});
    save->setIcon(toolbarIcon(ToolbarIcon::Save));
    connect(save, &QAction::triggered, this, &CMainFrame::saveRequested);

    auto* saveAs = makeAction(FrameCommand::SaveAs, QStringLiteral("Save &as..."),
                              QStringLiteral("Save the active document with a new name"),
                              QStringLiteral("Save as"));
    connect(saveAs, &QAction::triggered, this, &CMainFrame::saveAsRequested);

    auto* exportAudio = makeAction(FrameCommand::ExportAudio, QStringLiteral("Export &Audio..."),
                                   QStringLiteral("Play the song into a WAV audio file"),
                                   QStringLiteral("Export Audio"));
    connect(exportAudio, &QAction::triggered, this,
            [this] { dispatchToSheet(&CMainSheet::exportAudio); });

    auto* stems = makeAction(FrameCommand::ExportStems, QStringLiteral("Export &Stems..."),
                             QStringLiteral("Play each track into a WAV audio file of its own"),
                             QStringLiteral("Export Stems"));
    connect(stems, &QAction::triggered, this,
            [this] { dispatchToSheet(&CMainSheet::exportStems); });

    auto* musicXml = makeAction(FrameCommand::ExportMusicXml, QStringLiteral("Export &MusicXML..."),
                                QStringLiteral("Write the song as a score for notation programs"),
                                QStringLiteral("Export MusicXML"));
    connect(musicXml, &QAction::triggered, this,
            [this] { dispatchToSheet(&CMainSheet::exportMusicXml); });

    auto* exit = makeAction(FrameCommand::Exit, QStringLiteral("&Exit"),
                            QStringLiteral("Exist the application"), QStringLiteral("Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    // A text field that has the focus keeps Ctrl+C and Ctrl+Insert for
    // copying its text: the toolkit offers it the keys before any shortcut.
    auto* copy = makeAction(FrameCommand::Copy, QStringLiteral("&Copy"),
                            QStringLiteral("Copy blocks and sequences"), QStringLiteral("Copy"));
    copy->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    connect(copy, &QAction::triggered, this, [this] { dispatchToSheet(&CMainSheet::copy); });
    // The menu bar would show an icon in place of "&Copy", so the toolbar
    // button has an action of its own that triggers this one.
    copyButton_ = new QAction(toolbarIcon(ToolbarIcon::Copy), copy->text(), this);
    copyButton_->setStatusTip(copy->statusTip());
    copyButton_->setToolTip(copy->toolTip());
    connect(copyButton_, &QAction::triggered, copy, &QAction::trigger);

    auto* values = makeAction(FrameCommand::RandomValues, QStringLiteral("Random Values"),
                              QStringLiteral("Generate random values for parameters"),
                              QStringLiteral("Random Values"));
    values->setIcon(toolbarIcon(ToolbarIcon::RandomValues));
    connect(values, &QAction::triggered, this,
            [this] { dispatchToSheet(&CMainSheet::randomValues); });

    auto* seed =
        makeAction(FrameCommand::RandomSeed, QStringLiteral("Random Seed"),
                   QStringLiteral("Generate a random seed"), QStringLiteral("Random Seed"));
    seed->setIcon(toolbarIcon(ToolbarIcon::RandomSeed));
    connect(seed, &QAction::triggered, this, [this] { dispatchToSheet(&CMainSheet::randomSeed); });

    auto* about = makeAction(FrameCommand::About, QStringLiteral("&About Halvorn..."),
                             QStringLiteral("Shows program info, version and copyright"),
                             QStringLiteral("About..."));
    about->setIcon(toolbarIcon(ToolbarIcon::About));
    connect(about, &QAction::triggered, this, &CMainFrame::aboutRequested);

    auto* toolbarToggle =
        makeAction(FrameCommand::ToggleToolbar, QStringLiteral("&Toolbar"),
                   QStringLiteral("Show or hide the toolbar"), QStringLiteral("Switch toolbar"));
    toolbarToggle->setCheckable(true);
    toolbarToggle->setChecked(true);
    auto* statusToggle = makeAction(FrameCommand::ToggleStatusBar, QStringLiteral("&Status bar"),
                                    QStringLiteral("Show or hide the status bar"),
                                    QStringLiteral("Switch Status bar"));
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
}

void CMainFrame::createMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->addAction(action(FrameCommand::New));
    fileMenu_->addAction(action(FrameCommand::Open));
    fileMenu_->addAction(action(FrameCommand::Save));
    fileMenu_->addAction(action(FrameCommand::SaveAs));
    fileMenu_->addAction(action(FrameCommand::ExportAudio));
    fileMenu_->addAction(action(FrameCommand::ExportStems));
    fileMenu_->addAction(action(FrameCommand::ExportMusicXml));
    recentStart_ = fileMenu_->addSeparator();
    recentEnd_ = fileMenu_->addSeparator();
    fileMenu_->addAction(action(FrameCommand::Exit));

    // The random commands have no key of their own: here the keyboard
    // reaches them. Undo and Redo come before them (setUndoStack).
    editMenu_ = menuBar()->addMenu(QStringLiteral("&Edit"));
    randomStart_ = editMenu_->addSeparator();
    editMenu_->addAction(action(FrameCommand::RandomValues));
    editMenu_->addAction(action(FrameCommand::RandomSeed));
    menuBar()->addAction(action(FrameCommand::Copy));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(action(FrameCommand::ToggleToolbar));
    view->addAction(action(FrameCommand::ToggleStatusBar));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(action(FrameCommand::About));
}

void CMainFrame::createToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->addAction(action(FrameCommand::New));
    toolBar_->addAction(action(FrameCommand::Open));
    toolBar_->addAction(action(FrameCommand::Save));
    toolBar_->addSeparator();
    toolBar_->addAction(copyButton_);
    toolBar_->addSeparator();
    toolBar_->addAction(action(FrameCommand::RandomValues));
    toolBar_->addAction(action(FrameCommand::RandomSeed));
    toolBar_->addSeparator();
    toolBar_->addAction(action(FrameCommand::About));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    nameToolbarButtons();

    QAction* toggle = action(FrameCommand::ToggleToolbar);
    connect(toggle, &QAction::triggered, toolBar_, &QWidget::setVisible);
    // The toolbar can also be hidden from the window's context menu; the
    // check mark follows whichever way it was.
    connect(toolBar_->toggleViewAction(), &QAction::toggled, toggle, &QAction::setChecked);
}

void CMainFrame::createStatusBar() {
    messagePane_ = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(messagePane_, 1);
    const std::array<const char*, 3> names = {"CAPS", "NUM", "SCRL"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        indicators_[i] = new QLabel(QString::fromLatin1(names[i]), this);
        indicators_[i]->setFrameShape(QFrame::Panel);
        indicators_[i]->setFrameShadow(QFrame::Sunken);
        indicators_[i]->setEnabled(false);
        statusBar()->addPermanentWidget(indicators_[i]);
    }
    QAction* toggle = action(FrameCommand::ToggleStatusBar);
    connect(toggle, &QAction::triggered, statusBar(), &QWidget::setVisible);

    if (queryLockKeys()) {
        indicatorTimer_ = new QTimer(this);
        connect(indicatorTimer_, &QTimer::timeout, this, &CMainFrame::updateIndicators);
        indicatorTimer_->start(kIndicatorPollMs);
        updateIndicators();
    }
}

void CMainFrame::setEditActions(QAction* undo, QAction* redo) {
    undo_ = undo;
    redo_ = redo;
    editMenu_->insertAction(randomStart_, undo_);
    editMenu_->insertAction(randomStart_, redo_);
    toolBar_->insertAction(copyButton_, undo_);
    toolBar_->insertAction(copyButton_, redo_);
    toolBar_->insertSeparator(copyButton_);
    nameToolbarButtons();
}

QList<QLabel*> CMainFrame::indicatorPanes() const {
    return {indicators_[0], indicators_[1], indicators_[2]};
}

void CMainFrame::updateIndicators() {
    const auto keys = queryLockKeys();
    if (!keys) return;
    indicators_[0]->setEnabled(keys->caps);
    indicators_[1]->setEnabled(keys->num);
    indicators_[2]->setEnabled(keys->scroll);
}

void CMainFrame::setRecentFiles(const QStringList& paths) {
    for (QAction* old : recentActions_) {
        fileMenu_->removeAction(old);
        old->deleteLater();
    }
    recentActions_.clear();
    if (paths.isEmpty()) {
        auto* placeholder = new QAction(QStringLiteral("Recent File"), this);
        placeholder->setEnabled(false);
        recentActions_.append(placeholder);
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        auto* entry =
            new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this);
        entry->setStatusTip(QStringLiteral("Open this document"));
        entry->setToolTip(path);
        connect(entry, &QAction::triggered, this, [this, path] { emit recentFileRequested(path); });
        recentActions_.append(entry);
    }
    fileMenu_->insertActions(recentEnd_, recentActions_);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && qobject_cast<QDialog*>(watched))
        statusBar()->clearMessage();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace halvorn
