#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/about_box.h"
#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/recent_file_list.h"
#include "app/single_doc_template.h"
#include "fractal/parameters.h"
#include "model/output_file.h"
#include "model/random.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/pages/micro/micro_page.h"

namespace halvorn {
namespace {

using test::readDocument;

// A composition with every kind of record: each fractal type, blocks with
// non-default settings, and their macrosequences.
void fillComposition(Song& song) {
    song.microsequenceCount = 4;
    MandelbrotParameters mandelbrot;
    MorseThueParameters morse;
    NoiseParameters noise;
    const std::array<ParameterBytes, 3> blocks = {mandelbrot.toBytes(), morse.toBytes(),
                                                  noise.toBytes()};
    for (int i = 0; i < 3; ++i) {
        Microsequence& sequence = song.microsequences[i];
        microsequenceMakeNew(sequence);
        sequence.fractalType = i;
        sequence.period = 16 + i;
        sequence.parameters = blocks[i];
    }
    microsequenceMakeNew(song.microsequences[3]);
    song.microsequences[3].fractalType = kFractalPlaceholder;
    song.blockCount = 2;
    for (int i = 0; i < 2; ++i) {
        blockMakeNew(song.blocks[i], i);
        song.blocks[i].dottedProbability = 0.37;
        song.blocks[i].rhythmDistribution[4] = 0.5;
        song.blocks[i].accents[0] = 1;
        song.blocks[i].program = 40 + i;
        song.macrosequences[i].alignment = makeAlignment(2, 3);
        song.macrosequences[i].volume = 0.25;
        song.macrosequences[i].muted = i;
    }
}

class ApplicationTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        clearRecentFiles();
        app = std::make_unique<CSingleDocTemplate>(context);
    }

    static void clearRecentFiles() {
        RecentFileList empty(kRecentFileCount);
        empty.save();
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    Document& document() { return *app->doc().document(); }
    CGlobalPage& page() { return *app->view().sheet()->globalPage(); }
    const GlobalPageControls& controls() { return page().controls(); }

    QString writeBytes(const QString& name, const std::vector<std::uint8_t>& bytes) {
        const QString file = path(name);
        EXPECT_TRUE(writeFileSafely(file.toStdString(), bytes));
        return file;
    }

    QString savedComposition(const QString& name) {
        Document stored;
        stored.title = "Stored " + name.toStdString();
        fillComposition(stored.song);
        return writeBytes(name, documentEncode(stored));
    }

    QTemporaryDir dir;
    std::unique_ptr<CSingleDocTemplate> app;
};

TEST_F(ApplicationTest, StartUpWithoutArgumentsShowsANewComposition) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("Untitled - Halvorn"));
    EXPECT_EQ(controls().title->text(), QStringLiteral("Untitled"));
    EXPECT_EQ(controls().scaleKey->currentText(), QStringLiteral("C"));
    EXPECT_EQ(controls().scaleType->currentText(), QStringLiteral("Major"));
    EXPECT_EQ(controls().tempo->text(), QStringLiteral("100"));
    EXPECT_EQ(controls().signature->currentText(), QStringLiteral("4"));
    EXPECT_EQ(document().song.lengthMeasures, 4);
    EXPECT_EQ(app->view().sheet()->currentIndex(), kGlobalPageIndex);
    EXPECT_FALSE(app->doc().IsModified());
}

TEST_F(ApplicationTest, SaveNewAndOpenRoundTripEveryRecord) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    fillComposition(document().song);
    controls().title->setText("Round trip");
    controls().author->setText("Quorlane");
    controls().tempo->setText("212");
    controls().scaleType->setCurrentIndex(kScaleMinor);
    controls().scaleKey->setCurrentIndex(9);
    const QString file = path("round.hvn");
    prompts.fileNames.push_back(path("round"));  // the extension is added
    ASSERT_TRUE(app->FileSaveAs());
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("round.hvn - Halvorn"));
    const auto saved = documentEncode(document());
    EXPECT_FALSE(app->doc().IsModified());

    app->FileNew();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(document().song.blockCount, 0);
    EXPECT_EQ(controls().title->text(), QStringLiteral("Untitled"));

    ASSERT_TRUE(app->OpenDocumentFile(file));
    EXPECT_EQ(documentEncode(document()), saved);
    EXPECT_EQ(document().title, "Round trip");
    EXPECT_EQ(document().song.tempo, 212);
    EXPECT_EQ(document().song.microsequences[2].parameters, NoiseParameters{}.toBytes());
    EXPECT_EQ(document().song.blocks[1].dottedProbability, 0.37);
    EXPECT_EQ(document().song.macrosequences[1].alignment, 196610);
    EXPECT_EQ(controls().title->text(), QStringLiteral("Round trip"));
    EXPECT_EQ(controls().scaleKey->currentText(), QStringLiteral("A"));
    EXPECT_EQ(controls().scaleType->currentText(), QStringLiteral("Minor"));
    EXPECT_EQ(document().song.scale.key, 9);
    EXPECT_FALSE(app->doc().IsModified());
    EXPECT_EQ(prompts.unscripted, 0);
}

TEST_F(ApplicationTest, SaveWritesEditsStillOnTheGlobalPage) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    controls().author->setText("Typed, never committed");
    prompts.fileNames.push_back(path("typed.hvn"));
    ASSERT_TRUE(app->FileSave());
    Document reread;
    std::string error;
    ASSERT_TRUE(readDocument(path("typed.hvn").toStdString(), reread, error)) << error;
    EXPECT_EQ(reread.author, "Typed, never committed");

    controls().tempo->setText("oops");
    EXPECT_FALSE(app->FileSave());
    EXPECT_EQ(prompts.messages.back(), QStringLiteral("Introduzca un número entero."));
}

// Each refusal keeps its fixed text and names the file and the reason in
// its detail; the composition is left as it was.
TEST_F(ApplicationTest, BadFileIsRefusedWithItsPathAndReasonAndTheCompositionStays) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    fillComposition(document().song);
    controls().title->setText("Keep me");
    ASSERT_TRUE(page().CommitToSong());
    const auto before = documentEncode(document());
    const QString bad = writeBytes("bad.hvn", {'N', 'O', 'T', 0x11, 1, 2, 3});
    const QString truncated =
        writeBytes("short.hvn", std::vector<std::uint8_t>(before.begin(), before.begin() + 60));
    struct Refusal {
        QString file, text, reason;
    };
    for (const Refusal& refusal : {
             Refusal{bad, "Bad file format.", "Not a Halvorn document."},
             Refusal{truncated, "Bad file format.",
                     "The file ends before the composition is complete."},
             Refusal{path("missing.hvn"), "Unable to open or read the file.",
                     "No such file or directory."},
             Refusal{dir.path(), "Unable to open or read the file.", "Is a directory."},
         }) {
        prompts.messages.clear();
        prompts.details.clear();
        prompts.answers.push_back(Answer::No);  // do not save the changes first
        EXPECT_FALSE(app->OpenDocumentFile(refusal.file));
        ASSERT_EQ(prompts.messages.size(), 1u) << refusal.file.toStdString();
        EXPECT_EQ(prompts.messages[0], refusal.text);
        EXPECT_EQ(prompts.details[0], refusal.file + QLatin1Char('\n') + refusal.reason);
        EXPECT_EQ(documentEncode(document()), before);
        EXPECT_EQ(controls().title->text(), QStringLiteral("Keep me"));
        EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("Untitled* - Halvorn"));
    }
    EXPECT_TRUE(app->recentFiles().paths().isEmpty());

    prompts.fileNames.push_back(path("no folder/kept"));
    EXPECT_FALSE(app->FileSaveAs());
    EXPECT_EQ(prompts.messages.back(), QStringLiteral("Unable to write the file."));
    EXPECT_EQ(prompts.details.back(),
              path("no folder/kept.hvn") + QStringLiteral("\nNo such file or directory."));
}

TEST_F(ApplicationTest, NewAsksToSaveChangesOnlyWhenThereAreSome) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    app->FileNew();
    EXPECT_TRUE(prompts.questions.empty());

    controls().title->setText("Edited");
    prompts.answers.push_back(Answer::Cancel);
    app->FileNew();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(controls().title->text(), QStringLiteral("Edited"));  // cancelled: nothing lost

    prompts.answers.push_back(Answer::No);
    app->FileNew();
    EXPECT_EQ(controls().title->text(), QStringLiteral("Untitled"));
    EXPECT_FALSE(app->doc().IsModified());
}

TEST_F(ApplicationTest, YesSavesBeforeTheCompositionIsReplaced) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    const QString other = savedComposition("other.hvn");
    document().song.blockCount = 1;  // a change made by another page
    blockMakeNew(document().song.blocks[0], 0);
    prompts.answers.push_back(Answer::Yes);
    prompts.fileNames.push_back(path("kept.hvn"));
    ASSERT_TRUE(app->OpenDocumentFile(other));
    EXPECT_EQ(prompts.questions,
              std::vector<QString>({QStringLiteral("Save changes to Untitled?")}));
    Document kept;
    std::string error;
    ASSERT_TRUE(readDocument(path("kept.hvn").toStdString(), kept, error)) << error;
    EXPECT_EQ(kept.song.blockCount, 1);
    EXPECT_EQ(document().title, "Stored other.hvn");

    // A cancelled save dialog cancels the open as well.
    controls().author->setText("changed again");
    ASSERT_TRUE(app->doc().IsModified());
    app->doc().OnSaveDocument(other);  // saved under its own name: no dialog needed
    controls().author->setText("and again");
    prompts.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(app->OpenDocumentFile(path("kept.hvn")));
    EXPECT_EQ(controls().author->text(), QStringLiteral("and again"));
    EXPECT_EQ(prompts.questions.back(), QStringLiteral("Save changes to other.hvn?"));
}

TEST_F(ApplicationTest, ScaleChoiceAndRandomSeedCountAsChanges) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    controls().scaleKey->setCurrentIndex(3);
    EXPECT_TRUE(app->doc().IsModified());
    controls().scaleKey->setCurrentIndex(0);
    EXPECT_FALSE(app->doc().IsModified());
    const test::ConstantCommandDraws draws(context, 0.5);
    app->view().sheet()->randomSeed();
    EXPECT_TRUE(app->doc().IsModified());
}

TEST_F(ApplicationTest, ExitAsksAndCanBeCancelled) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    app->frame().show();
    controls().comments->setPlainText("unsaved thoughts");
    prompts.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(app->frame().close());
    EXPECT_TRUE(app->frame().isVisible());
    prompts.answers.push_back(Answer::No);
    EXPECT_TRUE(app->frame().close());
    EXPECT_EQ(prompts.questions.size(), 2u);
}

TEST_F(ApplicationTest, CommandLineDocumentOpensBeforeAnySongExists) {
    const QString file = savedComposition("command line.hvn");
    ASSERT_EQ(app->doc().document(), nullptr);
    ASSERT_TRUE(app->OpenStartupDocument(file));
    EXPECT_EQ(document().title, "Stored command line.hvn");
    EXPECT_EQ(document().song.blockCount, 2);
    EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("command line.hvn - Halvorn"));
    EXPECT_EQ(app->recentFiles().paths(), QStringList({file}));
    EXPECT_FALSE(app->doc().IsModified());
}

// Records whether the main window was on the screen when each message came.
class WindowWatchingPrompts final : public Prompts {
  public:
    std::vector<bool> shownOverWindow;
    const QWidget* window = nullptr;
    bool askYesNo(const QString&) override { return false; }
    Answer askYesNoCancel(const QString&) override { return Answer::Cancel; }
    std::optional<QString> askOpenFileName(const QString&) override { return std::nullopt; }
    std::optional<QString> askSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    std::optional<QString> askFolder(const QString&) override { return std::nullopt; }
    Answer askChoice(const ChoiceRequest&) override { return Answer::Cancel; }

  protected:
    void showMessage(const QString&, const QString&) override {
        shownOverWindow.push_back(window && window->isVisible());
    }
};

TEST_F(ApplicationTest, CommandLineFileThatCannotBeOpenedIsToldOverTheWindow) {
    const QString bad = writeBytes("bad.hvn", {'X', 'Y', 'Z'});
    app.reset();
    WindowWatchingPrompts watching;
    AppContext watched(watching, midi);
    app = std::make_unique<CSingleDocTemplate>(watched);
    watching.window = &app->frame();
    ASSERT_TRUE(app->OpenStartupDocument(bad));
    EXPECT_EQ(watching.shownOverWindow, std::vector<bool>({true}));
    EXPECT_EQ(document().title, "Untitled");
    EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("Untitled - Halvorn"));
    app.reset();
}

// A newcomer opens a demo, listens to its blocks and plays it: nothing of it
// has changed, so nothing asks to be saved.
TEST_F(ApplicationTest, ExampleDocumentsOpenAndStayUnchangedWhenPlayed) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    auto* blocks = static_cast<CBlockPage*>(app->view().sheet()->page(kBlockPageIndex));
    auto* tracks = static_cast<CMacroPage*>(app->view().sheet()->page(kMacroPageIndex));
    for (const char* name : {"morse_procession.hvn", "noise_nocturne.hvn", "orbit_garden.hvn"}) {
        const QString file = QStringLiteral(HALVORN_SOURCE_DIR "/examples/") + name;
        prompts.messages.clear();
        ASSERT_TRUE(app->OpenDocumentFile(file)) << name;
        EXPECT_TRUE(prompts.messages.empty()) << name;
        CMainSheet& sheet = *app->view().sheet();
        sheet.setCurrentIndex(kMicroPageIndex);
        auto* micros = static_cast<CMicroPage*>(sheet.page(kMicroPageIndex));
        for (int sequence = 0; sequence < micros->controls().sequences->count(); ++sequence) {
            micros->controls().sequences->setCurrentIndex(sequence);
            EXPECT_FALSE(sheet.holdsPageEdits()) << name << " microsequence " << sequence;
        }
        app->view().sheet()->setCurrentIndex(kBlockPageIndex);
        for (int block = 0; block < document().song.blockCount; ++block) {
            blocks->controls().block->setCurrentIndex(block);
            EXPECT_FALSE(sheet.holdsPageEdits()) << name << " block " << block;
            blocks->controls().listen->click();  // no output here: the message says so
            blocks->stop();
        }
        app->view().sheet()->setCurrentIndex(kMacroPageIndex);
        for (int track = 0; track < document().song.blockCount; ++track) {
            tracks->controls().block->setCurrentIndex(track);
            EXPECT_FALSE(sheet.holdsPageEdits()) << name << " track " << track;
            tracks->controls().play->click();
            tracks->stop();
        }
        EXPECT_FALSE(app->doc().IsModified()) << name;
        app->view().sheet()->setCurrentIndex(kGlobalPageIndex);
    }
}

TEST_F(ApplicationTest, RecentFileListKeepsTheFourLatestAndPersists) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    QStringList files;
    for (int i = 0; i < 5; ++i) files << savedComposition(QStringLiteral("song%1.hvn").arg(i));
    for (const QString& file : files) ASSERT_TRUE(app->OpenDocumentFile(file));
    EXPECT_EQ(app->recentFiles().paths(), QStringList({files[4], files[3], files[2], files[1]}));

    ASSERT_TRUE(app->OpenDocumentFile(files[2]));
    EXPECT_EQ(app->recentFiles().paths(), QStringList({files[2], files[4], files[3], files[1]}));

    RecentFileList reloaded(kRecentFileCount);
    reloaded.load();
    EXPECT_EQ(reloaded.paths(), app->recentFiles().paths());

    // The menu opens them; one that has gone is dropped from the list.
    QFile::remove(files[3]);
    QAction* third = nullptr;
    for (QAction* a : app->frame().fileMenu()->actions()) {
        if (a->text().startsWith("&3 ")) third = a;
    }
    ASSERT_NE(third, nullptr);
    third->trigger();
    EXPECT_EQ(app->recentFiles().paths(), QStringList({files[2], files[4], files[1]}));
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(ApplicationTest, RecentFilesLoadAtStartUp) {
    app.reset();
    RecentFileList stored(kRecentFileCount);
    stored.add(path("a.hvn"));
    stored.add(path("b.hvn"));
    stored.save();
    CSingleDocTemplate second(context);
    EXPECT_EQ(second.recentFiles().paths(), QStringList({path("b.hvn"), path("a.hvn")}));
}

TEST_F(ApplicationTest, FailedSaveKeepsTheDocumentUnsavedUnderItsName) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    controls().title->setText("Precious");
    prompts.fileNames.push_back(path("no such folder/song.hvn"));
    EXPECT_FALSE(app->FileSaveAs());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(app->doc().pathName().isEmpty());
    EXPECT_TRUE(app->doc().IsModified());
    EXPECT_EQ(app->frame().windowTitle(), QStringLiteral("Untitled* - Halvorn"));

    // Saving as part of the question fails the same way and cancels the New.
    prompts.answers.push_back(Answer::Yes);
    prompts.fileNames.push_back(path("no such folder/song.hvn"));
    app->FileNew();
    EXPECT_EQ(controls().title->text(), QStringLiteral("Precious"));
}

TEST_F(ApplicationTest, OpenCommandAsksForTheFileThenForTheChanges) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    const QString file = savedComposition("chosen.hvn");
    prompts.fileNames.push_back(QString());  // the dialog is cancelled
    app->FileOpen();
    EXPECT_EQ(document().title, "Untitled");

    controls().author->setText("edited");
    prompts.fileNames.push_back(file);
    prompts.answers.push_back(Answer::No);
    app->FileOpen();
    EXPECT_EQ(document().title, "Stored chosen.hvn");
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.unscripted, 0);
}

TEST_F(ApplicationTest, SheetFollowsTheWindowSize) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    CMainFrame& frame = app->frame();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    for (const QSize size : {QSize(900, 700), QSize(1200, 820)}) {
        frame.resize(size);
        QApplication::processEvents();
        const QRect view = app->view().rect();
        const QRect sheet = app->view().sheet()->geometry();
        EXPECT_TRUE(view.contains(sheet));
        EXPECT_GE(sheet.width(), view.width() - 10);
        EXPECT_GE(sheet.height(), view.height() - 10);
    }
}

// The title marks unsaved changes as the user makes them: typing on the
// Global page, a record saved by another page; saving clears the mark.
TEST_F(ApplicationTest, TitleMarksUnsavedChangesAsTheyAreMade) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    const auto title = [this] {
        QApplication::processEvents();
        return app->frame().windowTitle();
    };
    EXPECT_EQ(title(), QStringLiteral("Untitled - Halvorn"));
    controls().author->setFocus();
    QTest::keyClicks(controls().author, "Me");
    EXPECT_EQ(title(), QStringLiteral("Untitled* - Halvorn"));
    QTest::keyClick(controls().author, Qt::Key_Backspace);
    QTest::keyClick(controls().author, Qt::Key_Backspace);
    EXPECT_EQ(title(), QStringLiteral("Untitled - Halvorn"));

    QTest::keyClicks(controls().author, "Me");
    document().song.microsequenceCount = 1;  // for "New Block" below
    microsequenceMakeNew(document().song.microsequences[0]);
    prompts.fileNames.push_back(path("marked"));
    QTest::keyClick(controls().author, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(title(), QStringLiteral("marked.hvn - Halvorn"));
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].suggestedPath, QStringLiteral("Untitled.hvn"));

    app->view().sheet()->setCurrentIndex(kBlockPageIndex);
    auto* blocks = static_cast<CBlockPage*>(app->view().sheet()->page(kBlockPageIndex));
    QTest::mouseClick(blocks->controls().newBlock, Qt::LeftButton);
    EXPECT_EQ(title(), QStringLiteral("marked.hvn* - Halvorn"));
    EXPECT_EQ(prompts.unscripted, 0);
}

// Ctrl+O opens and Ctrl+S saves whichever field of whichever page has the
// focus (Ctrl+A, which also opens, selects a text field's text).
TEST_F(ApplicationTest, CtrlOAndCtrlSWorkFromEveryFieldOfEveryPage) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    QSignalSpy opens(&app->frame(), &CMainFrame::openRequested);
    QSignalSpy saves(&app->frame(), &CMainFrame::saveRequested);
    int fields = 0;
    for (int index = 0; index < kSheetPageCount; ++index) {
        app->view().sheet()->setCurrentIndex(index);
        ASSERT_EQ(app->view().sheet()->currentIndex(), index);
        for (QWidget* field : app->view().sheet()->page(index)->findChildren<QWidget*>()) {
            const bool editable = qobject_cast<QLineEdit*>(field) ||
                                  qobject_cast<QPlainTextEdit*>(field) ||
                                  qobject_cast<QComboBox*>(field);
            if (!editable || !field->isVisible() || !field->isEnabled()) continue;
            field->setFocus();
            const int opened = opens.count(), saved = saves.count();
            QTest::keyClick(field, Qt::Key_O, Qt::ControlModifier);
            QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(opens.count(), opened + 1) << field->metaObject()->className();
            EXPECT_EQ(saves.count(), saved + 1) << field->metaObject()->className();
            ++fields;
        }
    }
    EXPECT_GT(fields, 30);
}

// At its smallest the window still gives every field of every page at least
// the size it needs to be read.
TEST_F(ApplicationTest, AtItsMinimumSizeEveryFieldIsReadable) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    CMainFrame& frame = app->frame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.resize(420, 300);
    QApplication::processEvents();
    EXPECT_EQ(frame.size(), frame.minimumSize());
    EXPECT_GT(frame.minimumWidth(), 420);
    for (int index = 0; index < kSheetPageCount; ++index) {
        app->view().sheet()->setCurrentIndex(index);
        QApplication::processEvents();
        for (QWidget* field : app->view().sheet()->page(index)->findChildren<QWidget*>()) {
            if (!field->isVisible() || field->isWindow()) continue;
            // Spin arrows and the position bar are made small on purpose.
            const QSize needed = field->minimumSizeHint().boundedTo(field->maximumSize());
            if (!needed.isValid()) continue;
            EXPECT_GE(field->width(), needed.width())
                << index << " " << field->metaObject()->className();
            EXPECT_GE(field->height(), needed.height())
                << index << " " << field->metaObject()->className();
        }
    }
}

// On a screen smaller than the pages need (the offscreen one, 800 x 800,
// is narrower), the window still fits the screen and the pages scroll
// inside it.
TEST_F(ApplicationTest, OnATooSmallScreenTheWindowFitsAndThePagesScroll) {
    ASSERT_TRUE(app->OpenStartupDocument(QString()));
    CMainFrame& frame = app->frame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    const QSize room = frame.screen()->availableSize();
    ASSERT_GT(app->view().readableSize().width(), room.width()) << "a screen with room to spare";
    frame.resize(frame.minimumSize());
    QApplication::processEvents();
    EXPECT_LE(frame.minimumWidth(), room.width());
    EXPECT_LE(frame.minimumHeight(), room.height());
    const auto* scroller = app->view().findChild<QScrollArea*>();
    ASSERT_NE(scroller, nullptr);
    EXPECT_GT(scroller->horizontalScrollBar()->maximum(), 0);
}

TEST_F(ApplicationTest, AboutBoxShowsNameAndVersion) {
    CAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("&Acerca de Halvorn..."));
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Halvorn  Version 1.0")));
    const auto* buttons = box.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->buttons().size(), 1);
    EXPECT_EQ(buttons->buttons()[0]->text(), QStringLiteral("OK"));
    EXPECT_FALSE(applicationIcon().pixmap(48, 48).isNull());
}

}  // namespace
}  // namespace halvorn
