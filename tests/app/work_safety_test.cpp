// Work that is not in a file yet: edits left on a page show on its tab and in
// the title, are stored when the user answers Yes to the save question, and
// a recovery copy of what the window shows is offered after the program
// ended without saving it.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <csignal>

#include "app/termination_signals.h"
#include "tests/support/window_fixture.h"
#include "ui/frame/main_frame.h"

namespace halvorn {
namespace {

class WorkSafetyTest : public test::WindowTest {
  protected:
    QString blocksTab() { return sheet().tabText(kBlockPageIndex); }

    // A saved composition with one block, shown on the Blocks page.
    QString savedBlockDocument() {
        makeBlock();
        const QString path = dir.filePath(QStringLiteral("piece.hvn"));
        prompts.fileNames.push_back(path);
        EXPECT_TRUE(app->FileSave());
        return path;
    }

    static Document readBack(const QString& path) {
        auto read = documentRead(QFile::encodeName(path).toStdString());
        EXPECT_TRUE(read.has_value());
        return read ? std::move(*read) : Document{};
    }

    QStringList recoveryFiles() {
        return QDir(recoveryFolder()).entryList({QStringLiteral("*.hvn")}, QDir::Files);
    }
    QStringList recoveryFilesLike(const QString& pattern) {
        return QDir(recoveryFolder()).entryList({pattern}, QDir::Files | QDir::Hidden);
    }
    // One autosave, waited for.
    void autosave() {
        app->autosave().tick();
        app->recovery().finishWrite();
    }
    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// The mark follows what the fields hold, not the keys pressed: typing the
// stored value back takes it away. Closing asks, and "Yes" stores the
// page's edit before the document is saved.
TEST_F(WorkSafetyTest, PageEditIsMarkedAndKeptWhenQuittingWithYes) {
    const QString path = savedBlockDocument();
    const QString stored = blocks().controls().melodyRange->text();
    EXPECT_EQ(blocksTab(), QStringLiteral("Blocks"));
    EXPECT_EQ(title(), QStringLiteral("piece.hvn - Halvorn"));

    typeInto(blocks().controls().melodyRange, QStringLiteral("7"));
    EXPECT_EQ(title(), QStringLiteral("piece.hvn* - Halvorn"));
    EXPECT_EQ(blocksTab(), QStringLiteral("Blocks*"));
    typeInto(blocks().controls().melodyRange, stored);
    EXPECT_EQ(title(), QStringLiteral("piece.hvn - Halvorn"));
    EXPECT_EQ(blocksTab(), QStringLiteral("Blocks"));

    typeInto(blocks().controls().melodyRange, QStringLiteral("7"));
    prompts.answers.push_back(Answer::Yes);
    EXPECT_TRUE(app->frame().close());
    EXPECT_EQ(prompts.questions.back(), QStringLiteral("Save changes to piece.hvn?"));
    EXPECT_EQ(readBack(path).song.blocks[0].melodyRange, 7);
    EXPECT_EQ(prompts.unscripted, 0);
}

// A field that does not read keeps the window open with its message; "No"
// lets the edit go.
TEST_F(WorkSafetyTest, RefusedFieldCancelsTheQuitAndNoDiscards) {
    const QString path = savedBlockDocument();
    const auto fileBytes = documentEncode(readBack(path));
    typeInto(blocks().controls().velocityAmp, QString());
    prompts.answers.push_back(Answer::Yes);
    EXPECT_FALSE(app->frame().close());
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(documentEncode(readBack(path)), fileBytes);

    prompts.answers.push_back(Answer::No);
    app->FileNew();
    EXPECT_EQ(document().song.blockCount, 0);
    EXPECT_EQ(documentEncode(readBack(path)), fileBytes);
    EXPECT_EQ(title(), QStringLiteral("Untitled - Halvorn"));
}

// The copy holds the page's edit (applied to a copy: the document and the
// user's file stay as they were); saving removes it.
TEST_F(WorkSafetyTest, AutosaveWritesWhatTheWindowShowsAndSaveRemovesIt) {
    const QString path = savedBlockDocument();
    const auto fileBytes = documentEncode(readBack(path));
    app->autosave().tick();
    EXPECT_FALSE(app->recovery().finishWrite().has_value()) << "nothing unsaved, nothing written";
    EXPECT_TRUE(recoveryFiles().isEmpty());

    typeInto(blocks().controls().melodyRange, QStringLiteral("9"));
    app->autosave().tick();
    const auto written = app->recovery().finishWrite();
    ASSERT_TRUE(written && written->has_value());
    ASSERT_EQ(recoveryFiles().size(), 1);
    EXPECT_EQ(readBack(app->recovery().copyPath()).song.blocks[0].melodyRange, 9);
    EXPECT_NE(document().song.blocks[0].melodyRange, 9);
    EXPECT_EQ(documentEncode(readBack(path)), fileBytes);
    EXPECT_EQ(blocks().controls().melodyRange->text(), QStringLiteral("9"));

    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    ASSERT_TRUE(app->FileSave());
    EXPECT_TRUE(recoveryFiles().isEmpty());
}

// A copy left by a program that ended: "Later" keeps it, "Recover" opens it
// as a changed document under its file's name, "Discard" deletes it. A copy
// of a program still running is never offered.
TEST_F(WorkSafetyTest, CopyOfAnEndedProgramIsOfferedAtTheNextStart) {
    const QString path = savedBlockDocument();
    Document edited = document();
    edited.song.blocks[0].melodyRange = 11;
    {
        RecoveryStore ended(recoveryFolder());
        ASSERT_TRUE(ended.write(edited, path).has_value());
        QFile unfinished(ended.copyPath() + QStringLiteral(".part-00ff00"));  // killed mid-write
        ASSERT_TRUE(unfinished.open(QIODevice::WriteOnly));
        RecoveryStore running(recoveryFolder());
        EXPECT_TRUE(running.orphans().empty());
        app->OfferRecovery();
        EXPECT_TRUE(prompts.questions.empty() || prompts.questions.back().startsWith("Save"));
    }  // the program that wrote it has ended

    prompts.answers.push_back(Answer::Cancel);
    app->OfferRecovery();
    EXPECT_EQ(prompts.questions.back(), QStringLiteral("Recover the unsaved work on piece.hvn?"));
    EXPECT_EQ(recoveryFiles().size(), 1);

    prompts.answers.push_back(Answer::Yes);
    app->OfferRecovery();
    EXPECT_EQ(document().song.blocks[0].melodyRange, 11);
    EXPECT_EQ(title(), QStringLiteral("piece.hvn* - Halvorn"));
    EXPECT_EQ(recoveryFiles(), QStringList({QFileInfo(app->recovery().copyPath()).fileName()}));
    EXPECT_TRUE(QDir(recoveryFolder()).entryList({QStringLiteral("*.part-*")}).isEmpty());
    ASSERT_TRUE(app->FileSave());
    EXPECT_EQ(readBack(path).song.blocks[0].melodyRange, 11);
    EXPECT_TRUE(recoveryFiles().isEmpty());

    // Discard deletes work: it asks first, and a "No" there asks again.
    ASSERT_TRUE(RecoveryStore(recoveryFolder()).write(edited, QString()).has_value());
    const QString discard = QStringLiteral(
        "Delete the unsaved work on Untitled for good? It cannot be recovered afterwards.");
    prompts.answers.insert(prompts.answers.end(),
                           {Answer::No, Answer::No, Answer::No, Answer::Yes});
    const auto asked = prompts.questions.size();
    app->OfferRecovery();
    ASSERT_EQ(prompts.questions.size(), asked + 4);
    EXPECT_EQ(prompts.questions[asked], QStringLiteral("Recover the unsaved work on Untitled?"));
    EXPECT_EQ(prompts.questions[asked + 1], discard);
    EXPECT_EQ(prompts.questions[asked + 2], prompts.questions[asked]);
    EXPECT_EQ(prompts.questions[asked + 3], discard);
    EXPECT_TRUE(recoveryFiles().isEmpty());
    EXPECT_EQ(document().song.blocks[0].melodyRange, 11);
    EXPECT_EQ(prompts.unscripted, 0);
}

// The copy follows the window: undoing back to the saved state takes it
// away; "No" before an Open that fails keeps the changes and the copy, which
// goes only once another document is open.
TEST_F(WorkSafetyTest, RecoveryCopyFollowsUndoAndAFailedOpen) {
    const QString path = savedBlockDocument();
    typeInto(blocks().controls().melodyRange, QStringLiteral("7"));
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    autosave();
    EXPECT_EQ(recoveryFiles().size(), 1);
    undo().trigger();
    EXPECT_EQ(title(), QStringLiteral("piece.hvn - Halvorn"));
    EXPECT_TRUE(recoveryFiles().isEmpty());
    redo().trigger();
    autosave();
    ASSERT_EQ(recoveryFiles().size(), 1);

    const QString damaged = dir.filePath(QStringLiteral("damaged.hvn"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a document");
    file.close();
    prompts.answers.push_back(Answer::No);
    EXPECT_FALSE(app->OpenDocumentFile(damaged));
    EXPECT_EQ(recoveryFiles().size(), 1);
    EXPECT_EQ(document().song.blocks[0].melodyRange, 7);
    EXPECT_EQ(title(), QStringLiteral("piece.hvn* - Halvorn"));
    prompts.answers.push_back(Answer::No);
    ASSERT_TRUE(app->OpenDocumentFile(path));
    EXPECT_TRUE(recoveryFiles().isEmpty());
    EXPECT_EQ(prompts.unscripted, 0);
}

// A recovery folder that cannot be used (a file where it should be) is told
// once, with the folder and the reason, and a pane in the status bar says
// so for as long as it lasts; a copy written again ends it, and the next
// failure is told again.
TEST_F(WorkSafetyTest, UnusableRecoveryFolderIsToldOnceAndShownUntilACopyIsWritten) {
    const auto block = [this] {
        QFile file(recoveryFolder());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("in the way");
    };
    block();
    makeBlock();
    QLabel* pane = app->recoveryIndicator();
    const auto told = prompts.messages.size();
    app->autosave().tick();
    ASSERT_TRUE(test::processUntil([&] { return prompts.messages.size() > told; }));
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("The recovery copy of your work could not be written."));
    EXPECT_TRUE(prompts.details.back().contains(recoveryFolder()));
    EXPECT_TRUE(
        prompts.details.back().contains(QStringLiteral("A file is where the folder should be")));
    EXPECT_TRUE(pane->isVisibleTo(&app->frame()));
    EXPECT_EQ(pane->text(), QStringLiteral("No recovery copy"));
    app->frame().statusBar()->showMessage(QStringLiteral("Open an existing document"));
    app->autosave().tick();
    QTest::qWait(300);
    EXPECT_EQ(prompts.messages.size(), told + 1);
    EXPECT_TRUE(pane->isVisibleTo(&app->frame()));

    ASSERT_TRUE(QFile::remove(recoveryFolder()));
    app->autosave().tick();
    ASSERT_TRUE(test::processUntil([&] { return !pane->isVisibleTo(&app->frame()); }));
    EXPECT_EQ(recoveryFiles().size(), 1);

    ASSERT_TRUE(QDir(recoveryFolder()).removeRecursively());
    block();
    app->autosave().tick();
    ASSERT_TRUE(test::processUntil([&] { return prompts.messages.size() > told + 1; }));
    EXPECT_TRUE(pane->isVisibleTo(&app->frame()));
}

// SIGTERM or SIGHUP (log-out, shutdown) reach the window's thread; there a
// last copy of the changes, page edits included, is written and the program
// ends without a question, leaving no lock behind for the next start.
TEST_F(WorkSafetyTest, EndingBySignalKeepsALastCopyAndNoLock) {
    int arrived = 0;
    {
        const TerminationSignals watch([&] { ++arrived; });
        std::raise(SIGTERM);
        std::raise(SIGHUP);
        EXPECT_TRUE(test::processUntil([&] { return arrived == 2; }));
    }

    savedBlockDocument();
    typeInto(blocks().controls().melodyRange, QStringLiteral("6"));
    const auto asked = prompts.questions.size();
    app->EndBySignal();
    app.reset();
    EXPECT_EQ(prompts.questions.size(), asked);
    ASSERT_EQ(recoveryFiles().size(), 1);
    EXPECT_EQ(readBack(recoveryFolder() + QLatin1Char('/') + recoveryFiles().front())
                  .song.blocks[0]
                  .melodyRange,
              6);
    EXPECT_TRUE(recoveryFilesLike(QStringLiteral("*.lock")).isEmpty());
}

// The copy is written to a temporary file and renamed into place: a write
// that the file-size limit cuts short reports its failure and leaves the
// previous copy's bytes as they were. A write still under way when the copy
// is removed (Save, Quit) never brings it back.
TEST_F(WorkSafetyTest, ACopyIsReplacedWholeOrNotAtAllAndRemovedForGood) {
    RecoveryStore store(recoveryFolder());
    ASSERT_TRUE(store.write(document(), QString()).has_value());
    const QByteArray previous = bytesOf(store.copyPath());
    Document large = document();
    large.comments.assign(64 * 1024, 'x');

    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = static_cast<rlim_t>(previous.size() + 1024);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto written = store.write(large, QString());
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written.has_value());
    EXPECT_EQ(bytesOf(store.copyPath()), previous);
    EXPECT_TRUE(recoveryFilesLike(QStringLiteral("*.part-*")).isEmpty());

    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(store.startWrite(documentEncode(large), QString()));
        store.remove();
    }
    store.finishWrite();
    EXPECT_TRUE(recoveryFiles().isEmpty());
}

}  // namespace
}  // namespace halvorn
