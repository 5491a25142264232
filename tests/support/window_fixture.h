#pragma once
// A fixture with the whole window as the application makes it (frame,
// sheet, document, recovery copies in a folder of the test's own), started
// on a new composition, and the steps a user takes in it.

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/recent_file_list.h"
#include "app/single_doc_template.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/micro/micro_page.h"

namespace halvorn::test {

class WindowTest : public ::testing::Test, protected TestContext {
  protected:
    void SetUp() override {
        RecentFileList empty(kRecentFileCount);
        empty.save();
        app = std::make_unique<CSingleDocTemplate>(context, recoveryFolder());
        ASSERT_TRUE(app->OpenStartupDocument(QString()));
    }
    void TearDown() override {
        app.reset();
        RecentFileList empty(kRecentFileCount);
        empty.save();
    }

    QString recoveryFolder() const { return dir.filePath(QStringLiteral("recovery")); }
    Document& document() { return *app->doc().document(); }
    CMainSheet& sheet() { return *app->view().sheet(); }
    CBlockPage& blocks() { return *static_cast<CBlockPage*>(sheet().page(kBlockPageIndex)); }
    CMicroPage& micros() { return *static_cast<CMicroPage*>(sheet().page(kMicroPageIndex)); }
    // The Edit menu's items as the user finds them, once the window has
    // caught up with what was done.
    QAction& undo() {
        QApplication::processEvents();
        return *app->frame().undoAction();
    }
    QAction& redo() {
        QApplication::processEvents();
        return *app->frame().redoAction();
    }
    QString title() {
        QApplication::processEvents();
        return app->frame().windowTitle();
    }

    // A microsequence and a block on the Blocks page, as the user makes them.
    void makeBlock() {
        sheet().setCurrentIndex(kMicroPageIndex);
        QTest::mouseClick(micros().controls().create, Qt::LeftButton);
        sheet().setCurrentIndex(kBlockPageIndex);
        QTest::mouseClick(blocks().controls().newBlock, Qt::LeftButton);
        ASSERT_EQ(document().song.blockCount, 1);
    }

    // Replaces the field's text as typing does (an empty text deletes it).
    void typeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }

    QTemporaryDir dir;
    std::unique_ptr<CSingleDocTemplate> app;
};

}  // namespace halvorn::test
