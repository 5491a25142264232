#pragma once
// The main window: menu, dockable toolbar, status bar, and the view with the
// main sheet in its client area. File commands and "About" are passed on as
// signals to the application; "Copy", "Random Values" and "Random Seed" go to
// the page the sheet shows. Its minimum size is the one at which every field
// of every page is readable.

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace halvorn {

class CMainSheet;

enum class FrameCommand {
    New,
    Open,
    Save,
    SaveAs,
    ExportAudio,
    ExportStems,
    ExportMusicXml,
    Exit,
    Copy,
    RandomValues,
    RandomSeed,
    ToggleToolbar,
    ToggleStatusBar,
    About,
    Count,
};

class CMainFrame final : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // The recent-file entries of the "&File" menu, most recent first.
    void setRecentFiles(const QStringList& paths);
    // The sheet that "Copy", "Random Values", "Random Seed" and "Export
    // Audio..." act on (the view's). The tooltips of "Random Values" and
    // "Random Seed" follow the page it shows.
    void setSheet(CMainSheet* sheet);
    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }
    // "Undo" and "Redo" in the "&Edit" menu and on the toolbar (see
    // CEditActions), naming what they take back or make again.
    void setEditActions(QAction* undo, QAction* redo);

    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }
    QMenu* editMenu() const { return editMenu_; }

    QAction* action(FrameCommand command) const;
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* messagePane() const { return messagePane_; }
    QList<QLabel*> indicatorPanes() const;
    QMenu* fileMenu() const { return fileMenu_; }

  signals:
    void newRequested();
    void openRequested();
    void saveRequested();
    void saveAsRequested();
    void recentFileRequested(const QString& path);
    void aboutRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Puts "Ready" back when a dialog closes: the command that opened it
    // showed its prompt, and the pointer may never leave its button.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* makeAction(FrameCommand command, const QString& text, const QString& prompt,
                        const QString& tip);
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void updateIndicators();
    void dispatchToSheet(void (CMainSheet::*command)());
    void showRandomTips(int pageIndex);
    // The toolbar's buttons are named as their menu items, without the
    // shortcut the menu shows after a tab.
    void nameToolbarButtons();

    std::array<QAction*, static_cast<std::size_t>(FrameCommand::Count)> actions_{};
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    QAction* recentStart_ = nullptr;  // the separator before the recent files
    QAction* recentEnd_ = nullptr;    // the separator after them
    QAction* randomStart_ = nullptr;  // the "&Edit" menu's separator before the random commands
    QList<QAction*> recentActions_;
    QAction* copyButton_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    std::array<QLabel*, 3> indicators_{};
    QTimer* indicatorTimer_ = nullptr;
    std::function<bool()> closeGuard_;
    CMainSheet* sheet_ = nullptr;
};

}  // namespace halvorn
