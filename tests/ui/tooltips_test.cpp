// Every control a user can point at says what it does: the four pages (each
// Microsequences panel in turn), the Copy dialog and the frame's toolbar.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>

#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/views/arrangement_display.h"
#include "ui/views/mandelbrot_display.h"

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

}  // namespace
}  // namespace halvorn
