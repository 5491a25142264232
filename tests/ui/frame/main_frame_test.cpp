#include <gtest/gtest.h>

#include <array>
#include <utility>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>

#include "tests/support/scripted_prompts.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/global/global_page.h"

namespace halvorn {
namespace {

// Counts the frame's page commands that reach it.
class CountingPage final : public CSheetPage {
  public:
    using CSheetPage::CSheetPage;
    int values = 0, seeds = 0, copies = 0;
    void randomValues(RandomDraws&) override { ++values; }
    void randomSeed(RandomDraws&) override { ++seeds; }
    void copy() override { ++copies; }
};

class MainFrameTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        sheet = new CMainSheet(context);
        frame.setCentralWidget(sheet);
        frame.setSheet(sheet);
        sheet->globalPage()->ResetForNewDocument();
        counting = new CountingPage(context, nullptr);
        sheet->replacePage(kBlockPageIndex, counting);
    }

    void showFrame() {
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    }

    QAction* action(FrameCommand command) { return frame.action(command); }

    CMainFrame frame;
    CMainSheet* sheet = nullptr;
    CountingPage* counting = nullptr;
};

QStringList actionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* a : actions) texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return texts;
}

TEST_F(MainFrameTest, MenusHoldTheirItemsInOrder) {
    EXPECT_EQ(actionTexts(frame.menuBar()->actions()),
              QStringList({"&File", "&Edit", "&Copy", "&View", "&Help"}));
    EXPECT_EQ(actionTexts(frame.fileMenu()->actions()),
              QStringList({"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &as...",
                           "Export &Audio...", "Export &Stems...", "Export &MusicXML...", "|",
                           "Recent File", "|", "&Exit"}));
    EXPECT_EQ(frame.menuBar()->actions()[2]->menu(), nullptr);  // a command, no drop-down
    EXPECT_EQ(actionTexts(frame.menuBar()->actions()[3]->menu()->actions()),
              QStringList({"&Toolbar", "&Status bar"}));
    EXPECT_EQ(actionTexts(frame.menuBar()->actions()[4]->menu()->actions()),
              QStringList({"&About Halvorn..."}));
    // The toolbar's random commands are in a menu too, for the keyboard.
    EXPECT_EQ(actionTexts(frame.editMenu()->actions()),
              QStringList({"|", "Random Values", "Random Seed"}));
}

TEST_F(MainFrameTest, CopyAnswersCtrlCAndCtrlInsert) {
    EXPECT_EQ(action(FrameCommand::Copy)->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}));
}

TEST_F(MainFrameTest, CtrlQClosesTheWindowAndTheMenuTextStays) {
    showFrame();
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(action(FrameCommand::Exit)->text(), QStringLiteral("&Exit"));
}

TEST_F(MainFrameTest, ToolbarOrderAndDocking) {
    QStringList tips;
    for (const QAction* a : frame.toolBar()->actions()) {
        // The random commands' tips go on to say what they act on.
        tips << (a->isSeparator() ? QStringLiteral("|")
                                  : a->toolTip().section(QLatin1Char(':'), 0, 0));
    }
    EXPECT_EQ(tips, QStringList({"New", "Open", "Save", "|", "Copy", "|", "Random Values",
                                 "Random Seed", "|", "About..."}));
    for (const QAction* a : frame.toolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->toolTip().toStdString();
        }
    }
    EXPECT_EQ(frame.toolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(frame.toolBar()->isMovable());
    EXPECT_TRUE(frame.toolBar()->isFloatable());
    EXPECT_EQ(frame.toolBarArea(frame.toolBar()), Qt::TopToolBarArea);
    for (const auto area : {Qt::LeftToolBarArea, Qt::RightToolBarArea, Qt::BottomToolBarArea}) {
        frame.addToolBar(area, frame.toolBar());
        EXPECT_EQ(frame.toolBarArea(frame.toolBar()), area);
    }
}

TEST_F(MainFrameTest, PromptsAndTooltips) {
    struct Row {
        FrameCommand command;
        const char* prompt;
        const char* tip;
    };
    for (const Row& row : {
             Row{FrameCommand::New, "Create a new document", "New"},
             Row{FrameCommand::Open, "Open an existing document", "Open"},
             Row{FrameCommand::Save, "Save the current document", "Save"},
             Row{FrameCommand::SaveAs, "Save the active document with a new name", "Save as"},
             Row{FrameCommand::ExportStems, "Play each track into a WAV audio file of its own",
                 "Export Stems"},
             Row{FrameCommand::ExportMusicXml, "Write the song as a score for notation programs",
                 "Export MusicXML"},
             Row{FrameCommand::Copy, "Copy blocks and sequences", "Copy"},
             Row{FrameCommand::About, "Shows program info, version and copyright", "About..."},
             Row{FrameCommand::Exit, "Exist the application", "Exit"},
             Row{FrameCommand::ToggleToolbar, "Show or hide the toolbar", "Switch toolbar"},
             Row{FrameCommand::ToggleStatusBar, "Show or hide the status bar", "Switch Status bar"},
         }) {
        EXPECT_EQ(action(row.command)->statusTip(), QString::fromUtf8(row.prompt));
        EXPECT_EQ(action(row.command)->toolTip(), QString::fromUtf8(row.tip));
    }
    EXPECT_EQ(action(FrameCommand::RandomValues)->statusTip(),
              QStringLiteral("Generate random values for parameters"));
    EXPECT_EQ(action(FrameCommand::RandomSeed)->statusTip(),
              QStringLiteral("Generate a random seed"));
    // Their tips name what they act on, page by page, and when they do nothing.
    const std::array<std::pair<const char*, const char*>, kSheetPageCount> actsOn = {{
        {"on the Global page", "song's generator"},
        {"microsequence shown", "nothing for the other fractals"},
        {"nothing while the song has no blocks", "block shown"},
        {"nothing on the Macrosequences page", "track shown"},
    }};
    for (int index = 0; index < kSheetPageCount; ++index) {
        sheet->setCurrentIndex(index);
        const QString values = action(FrameCommand::RandomValues)->toolTip();
        const QString seed = action(FrameCommand::RandomSeed)->toolTip();
        EXPECT_TRUE(values.startsWith(QStringLiteral("Random Values: "))) << values.toStdString();
        EXPECT_TRUE(seed.startsWith(QStringLiteral("Random Seed: "))) << seed.toStdString();
        EXPECT_TRUE(values.contains(QString::fromUtf8(actsOn[index].first)))
            << values.toStdString();
        EXPECT_TRUE(seed.contains(QString::fromUtf8(actsOn[index].second))) << seed.toStdString();
    }
}

TEST_F(MainFrameTest, StatusBarShowsReadyAndTheLockIndicators) {
    EXPECT_EQ(frame.messagePane()->text(), QStringLiteral("Ready"));
    QStringList names;
    for (const QLabel* pane : frame.indicatorPanes()) names << pane->text();
    EXPECT_EQ(names, QStringList({"CAPS", "NUM", "SCRL"}));
}

TEST_F(MainFrameTest, ViewMenuHidesAndShowsToolbarAndStatusBar) {
    showFrame();
    action(FrameCommand::ToggleToolbar)->trigger();
    EXPECT_FALSE(frame.toolBar()->isVisible());
    action(FrameCommand::ToggleStatusBar)->trigger();
    EXPECT_FALSE(frame.statusBar()->isVisible());
    action(FrameCommand::ToggleToolbar)->trigger();
    action(FrameCommand::ToggleStatusBar)->trigger();
    EXPECT_TRUE(frame.toolBar()->isVisible());
    EXPECT_TRUE(frame.statusBar()->isVisible());

    frame.toolBar()->toggleViewAction()->trigger();  // as the context menu does
    EXPECT_FALSE(action(FrameCommand::ToggleToolbar)->isChecked());
    action(FrameCommand::ToggleToolbar)->trigger();
    EXPECT_TRUE(frame.toolBar()->isVisible());
}

TEST_F(MainFrameTest, CommandsReachThePageShown) {
    sheet->setCurrentIndex(kBlockPageIndex);
    action(FrameCommand::RandomValues)->trigger();
    action(FrameCommand::RandomSeed)->trigger();
    action(FrameCommand::Copy)->trigger();
    EXPECT_EQ(counting->values, 1);
    EXPECT_EQ(counting->seeds, 1);
    EXPECT_EQ(counting->copies, 1);

    sheet->setCurrentIndex(kGlobalPageIndex);
    action(FrameCommand::Copy)->trigger();
    EXPECT_EQ(counting->copies, 1);
}

// Ctrl+O and Ctrl+S, as the menu says, open and save from a text field;
// there Ctrl+A selects the field's text, and from a list it opens.
TEST_F(MainFrameTest, OpenAndSaveKeysWorkFromATextField) {
    showFrame();
    QSignalSpy opens(&frame, &CMainFrame::openRequested);
    QSignalSpy saves(&frame, &CMainFrame::saveRequested);
    QSignalSpy news(&frame, &CMainFrame::newRequested);
    QLineEdit* title = sheet->globalPage()->controls().title;
    title->setText("Typed");
    title->setFocus();
    title->deselect();
    QTest::keyClick(title, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(title, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(title, Qt::Key_G, Qt::ControlModifier);
    QTest::keyClick(title, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(opens.count(), 1);
    EXPECT_EQ(saves.count(), 2);
    EXPECT_EQ(news.count(), 1);
    QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(title->selectedText(), QStringLiteral("Typed"));
    EXPECT_EQ(opens.count(), 1);

    QWidget* list = sheet->globalPage()->controls().signature;
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(opens.count(), 2);
}

// A command's prompt stays in the status bar while its dialog is open and
// gives way to "Ready" when the dialog closes.
TEST_F(MainFrameTest, StatusBarSaysReadyWhenADialogCloses) {
    showFrame();
    QStatusTipEvent hovered(QStringLiteral("Open an existing document"));
    QApplication::sendEvent(&frame, &hovered);
    ASSERT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Open an existing document"));
    QDialog dialog(&frame);
    dialog.show();
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Open an existing document"));
    dialog.reject();
    EXPECT_TRUE(frame.statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(frame.messagePane()->isVisible());
    EXPECT_EQ(frame.messagePane()->text(), QStringLiteral("Ready"));
}

TEST_F(MainFrameTest, CtrlCInATextFieldCopiesTextNotRecords) {
    showFrame();
    sheet->setCurrentIndex(kBlockPageIndex);
    auto* field = new QLineEdit(counting);
    field->setText("some text");
    field->show();
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(counting->copies, 0);

    sheet->tabBar()->setFocus();
    QTest::keyClick(sheet->tabBar(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(sheet->tabBar(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(counting->copies, 2);
}

TEST_F(MainFrameTest, RecentFilesAppearInTheFileMenu) {
    frame.setRecentFiles({"/music/first.hvn", "/music/second.hvn"});
    QStringList texts = actionTexts(frame.fileMenu()->actions());
    EXPECT_EQ(texts.mid(7), QStringList({"|", "&1 first.hvn", "&2 second.hvn", "|", "&Exit"}));
    QSignalSpy chosen(&frame, &CMainFrame::recentFileRequested);
    frame.fileMenu()->actions()[9]->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toString(), QStringLiteral("/music/second.hvn"));
    frame.setRecentFiles({});
    EXPECT_EQ(actionTexts(frame.fileMenu()->actions()).mid(7),
              QStringList({"|", "Recent File", "|", "&Exit"}));
}

}  // namespace
}  // namespace halvorn
