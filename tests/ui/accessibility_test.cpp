// Every control a user can point at says what it does: the four pages (each
// Microsequences panel in turn), the Copy dialog and the frame's toolbar.
// A keyboard user reaches every control of every page with Tab, and the
// painted views tell a screen reader what they show, item by item, as the
// arrow keys and the wheel move through them. (What a screen reader reads of
// the real window through AT-SPI is tests/app/accessibility_check.py.)

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include "engine/arrangement_picture.h"
#include "engine/picture_descriptions.h"
#include "tests/support/ui_test_support.h"
#include "tests/support/window_fixture.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/pages/micro/mandelbrot_dialog.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/views/arrangement_captions.h"
#include "ui/views/arrangement_display.h"
#include "ui/views/mandelbrot_display.h"
#include "ui/views/piano_roll_view.h"
#include "ui/views/values_plot.h"

namespace halvorn {
namespace {

bool isInteractive(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QSlider*>(widget) ||
           qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const CMandelbrotDisplay*>(widget) ||
           qobject_cast<const CArrangementDisplay*>(widget);
}

// Parts a control is made of (a list's edit, a spin box's edit, the tab
// bar's scroll arrows) belong to it, not to the page.
bool isPartOfAnother(const QWidget* widget) {
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<const QComboBox*>(up) || qobject_cast<const QAbstractSpinBox*>(up) ||
            qobject_cast<const QTabBar*>(up))
            return true;
    }
    return false;
}

// What a user would call the control: its own text, or the caption beside
// it in a form, or its class and place.
QString describe(const QWidget* widget) {
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->accessibleName().isEmpty())
        return name + QStringLiteral(" named \"") + widget->accessibleName() + QLatin1Char('"');
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
        button && !button->text().isEmpty())
        return name + QStringLiteral(" \"") + button->text() + QLatin1Char('"');
    if (const QWidget* parent = widget->parentWidget()) {
        if (auto* form = qobject_cast<QFormLayout*>(parent->layout())) {
            if (auto* label =
                    qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(widget))))
                return name + QStringLiteral(" after \"") + label->text() + QLatin1Char('"');
        }
    }
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    return name + QStringLiteral(" at (%1, %2)").arg(at.x()).arg(at.y());
}

// The visible controls under `root` that have no tooltip, disabled ones too.
QStringList controlsWithoutTooltip(const QWidget* root, const QString& where) {
    QStringList missing;
    for (const QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(root) || !isInteractive(widget) || isPartOfAnother(widget))
            continue;
        if (widget->toolTip().trimmed().isEmpty())
            missing << where + QStringLiteral(": ") + describe(widget);
    }
    return missing;
}

class TooltipTest : public ::testing::Test, protected test::TestContext {};

TEST_F(TooltipTest, EveryControlOfThePagesTheDialogAndTheToolbarHasATooltip) {
    QStringList missing;
    CMainFrame frame;
    auto* sheet = new CMainSheet(context);
    frame.setCentralWidget(sheet);
    frame.setSheet(sheet);
    frame.show();

    const QStringList pageNames{"Global", "Microsequences", "Blocks", "Macrosequences"};
    for (int index = 0; index < kSheetPageCount; ++index) {
        sheet->setCurrentIndex(index);
        ASSERT_EQ(sheet->currentIndex(), index);
        if (index != kMicroPageIndex) {
            missing << controlsWithoutTooltip(sheet->page(index), pageNames[index]);
            continue;
        }
        auto* micro = static_cast<CMicroPage*>(sheet->page(index));
        QComboBox* fractal = micro->controls().fractal;
        for (int type = 0; type < fractal->count(); ++type) {
            fractal->setCurrentIndex(type);
            QApplication::processEvents();
            missing << controlsWithoutTooltip(micro, pageNames[index] + QStringLiteral(" (") +
                                                         fractal->itemText(type) +
                                                         QStringLiteral(")"));
        }
    }
    missing.removeDuplicates();

    missing << controlsWithoutTooltip(frame.toolBar(), QStringLiteral("Toolbar"));
    CCopyDialog copy(prompts, &document.contents.song, CopyMode::Block, 0);
    missing << controlsWithoutTooltip(&copy, QStringLiteral("Copy dialog"));

    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n')).toStdString();
}

// The whole window on a demo with every kind of record.
class KeyboardTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(
            app->OpenDocumentFile(QStringLiteral(HALVORN_SOURCE_DIR "/examples/orbit_garden.hvn")));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    }

    template <typename Page>
    Page& turnTo(int index) {
        sheet().setCurrentIndex(index);
        return *static_cast<Page*>(sheet().page(index));
    }
};

// What Tab stops at, in the order it does, from `first` until it is back.
QList<QWidget*> tabRound(QWidget* first) {
    QList<QWidget*> visited;
    first->setFocus(Qt::TabFocusReason);
    for (QWidget* at = QApplication::focusWidget(); at && !visited.contains(at);
         at = QApplication::focusWidget()) {
        visited << at;
        QTest::keyClick(at, Qt::Key_Tab);
    }
    return visited;
}

// The controls under `page` a user can act on now: shown, enabled, taking
// Tab (a list's own edit is part of the list).
QList<QWidget*> tabStops(QWidget* page) {
    QList<QWidget*> stops;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !isPartOfAnother(widget))
            stops << widget;
    }
    return stops;
}

TEST_F(KeyboardTest, TabReachesEveryControlOfEveryPage) {
    for (int index = 0; index < kSheetPageCount; ++index) {
        QWidget* page = sheet().page(index);
        sheet().setCurrentIndex(index);
        const QList<QWidget*> stops = tabStops(page);
        ASSERT_FALSE(stops.isEmpty());
        const QList<QWidget*> visited = tabRound(stops.front());
        QStringList unreached;
        for (QWidget* stop : stops) {
            if (!visited.contains(stop)) unreached << describe(stop);
        }
        EXPECT_TRUE(unreached.isEmpty()) << sheet().tabText(index).toStdString() << ": "
                                         << unreached.join(QStringLiteral(", ")).toStdString();
    }
}

// What a screen reader reads as the focus moves through a view: the name of
// the item (or cell) the view says has the focus. (The focus events that
// make it speak need a platform that listens: the AT-SPI check hears them.)
std::string focusedItem(QWidget* view) {
    const QAccessibleInterface* item = QAccessible::queryAccessibleInterface(view)->focusChild();
    return item && item->state().focused ? item->text(QAccessible::Name).toStdString() : "";
}

std::string nameOf(QAccessibleInterface* item) {
    return item ? item->text(QAccessible::Name).toStdString() : "";
}

void press(QWidget* view, Qt::Key key) {
    QTest::keyClick(view, key);
}

TEST_F(KeyboardTest, PaintedViewsSayWhatTheyShowAsTheKeysMoveThroughThem) {
    const Song& song = document().song;

    // The arrangement: a table of the tracks by the measures shown.
    auto& macro = turnTo<CMacroPage>(kMacroPageIndex);
    macro.regenerate();
    CArrangementDisplay* arrangement = macro.controls().display;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(arrangement);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->rowCount(), song.blockCount);
    EXPECT_EQ(table->tableInterface()->rowDescription(1).toStdString(),
              arrangementRowName(song, 1).toStdString());
    EXPECT_EQ(table->tableInterface()->columnDescription(2).toStdString(), "Measure 3");
    arrangement->setFocus();
    press(arrangement, Qt::Key_Down);
    press(arrangement, Qt::Key_Right);
    EXPECT_EQ(focusedItem(arrangement), arrangementCellText(song, 1, 2, false));
    EXPECT_EQ(nameOf(table->tableInterface()->cellAt(1, 1)), focusedItem(arrangement));
    // Past the last column the window scrolls; the wheel scrolls it back.
    press(arrangement, Qt::Key_End);
    press(arrangement, Qt::Key_Right);
    EXPECT_EQ(arrangement->firstVisibleMeasure(), 2);
    EXPECT_EQ(focusedItem(arrangement), arrangementCellText(song, 1, 17, false));
    QWheelEvent up(QPointF(5, 5), arrangement->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(arrangement, &up);
    EXPECT_EQ(arrangement->firstVisibleMeasure(), 1);
    // While the song plays, the table says which measure, and so does its cell.
    arrangement->setPlayPosition(2.5 * song.beatsPerMeasure);
    EXPECT_TRUE(table->text(QAccessible::Description)
                    .startsWith(QStringLiteral("Measures 1 to 16, playing measure 3.")));
    EXPECT_EQ(nameOf(table->tableInterface()->cellAt(0, 2)), arrangementCellText(song, 0, 3, true));
    arrangement->setPlayPosition(std::nullopt);

    // The piano roll: its notes, one by one.
    auto& blocks = turnTo<CBlockPage>(kBlockPageIndex);
    CPianoRollView* roll = blocks.controls().pianoRoll;
    QAccessibleInterface* notes = QAccessible::queryAccessibleInterface(roll);
    ASSERT_GT(roll->itemCount(), 2);
    EXPECT_EQ(notes->childCount(), roll->itemCount());
    roll->setFocus();
    press(roll, Qt::Key_Right);
    EXPECT_EQ(focusedItem(roll), nameOf(notes->child(1)));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-G]( sharp | flat )?[0-9], measure 1, beat "
                                                  "[0-9].*, velocity [0-9]+$"))
                    .match(QString::fromStdString(focusedItem(roll)))
                    .hasMatch())
        << focusedItem(roll);

    // The values plot and the Mandelbrot view of a Mandelbrot sequence.
    auto& micro = turnTo<CMicroPage>(kMicroPageIndex);
    ASSERT_EQ(micro.controls().fractal->currentIndex(), kFractalMandelbrot);
    CValuesPlot* plot = micro.controls().plot;
    plot->setFocus();
    press(plot, Qt::Key_End);
    ASSERT_TRUE(plot->values());
    EXPECT_EQ(focusedItem(plot),
              sequenceValueText(plot->values()->size() - 1, plot->values()->back()));
    auto* mandelbrot = static_cast<CMandelbrotDialog*>(micro.panel());
    CMandelbrotDisplay* view = mandelbrot->controls().display;
    view->setFocus();
    press(view, Qt::Key_Home);
    EXPECT_EQ(focusedItem(view).rfind("View: x from ", 0), 0u) << focusedItem(view);
    mandelbrot->move(Arrow::Right);  // the rectangle moves: the list follows
    EXPECT_EQ(nameOf(QAccessible::queryAccessibleInterface(view)->child(1)),
              mandelbrotMarks(*mandelbrot->editor())[1].text);
}

// A list is named after its caption whatever it shows, and offers what it
// shows as its value; the Metronome slider reports the level it sets; the
// keys step a number edit with spin buttons.
TEST_F(KeyboardTest, FieldsKeepTheirNamesAndReportWhatTheySet) {
    const CGlobalPage& global = *sheet().globalPage();
    QComboBox* port = global.controls().port;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(global.controls().ppqn);
    global.controls().ppqn->setCurrentIndex(6);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("PPQN"));
    EXPECT_EQ(list->text(QAccessible::Value), QStringLiteral("384"));
    EXPECT_EQ(list->textInterface()->text(0, 3), QStringLiteral("384"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(port)->text(QAccessible::Name),
              QStringLiteral("Port"));

    QSlider* metronome = global.controls().metronome;
    QAccessibleValueInterface* level =
        QAccessible::queryAccessibleInterface(metronome)->valueInterface();
    ASSERT_NE(level, nullptr);
    metronome->setValue(27);  // 27 steps down from "Max"
    EXPECT_EQ(level->currentValue().toInt(), 100);
    level->setCurrentValue(127);
    EXPECT_EQ(metronome->value(), 0);

    // "Tempo:" steps with Up and Down as its buttons do, within 40..300.
    QLineEdit* tempo = global.controls().tempo;
    tempo->setText(QStringLiteral("299"));
    tempo->setFocus();
    QTest::keyClick(tempo, Qt::Key_Up);
    QTest::keyClick(tempo, Qt::Key_Up);
    EXPECT_EQ(tempo->text().toStdString(), "300");
    QTest::keyClick(tempo, Qt::Key_Down);
    EXPECT_EQ(tempo->text().toStdString(), "299");
}

}  // namespace
}  // namespace halvorn
