#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "model/pixel_conversion.h"
#include "model/song.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/micro/mandelbrot_dialog.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/views/mandelbrot_display.h"

namespace halvorn {
namespace {

class MandelbrotPanelTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        sheet = std::make_unique<CMainSheet>(context);
        page = static_cast<CMicroPage*>(sheet->page(kMicroPageIndex));
        sheet->show();
        sheet->setCurrentIndex(kMicroPageIndex);
        page->create();
    }

    CMandelbrotDialog& panel() { return *qobject_cast<CMandelbrotDialog*>(page->panel()); }
    const MandelbrotDialogControls& controls() { return panel().controls(); }
    const MandelbrotEditor& editor() { return *panel().editor(); }

    // Which of the seven mode-dependent controls are enabled.
    std::vector<bool> rectangleControls() {
        std::vector<bool> enabled;
        for (QWidget* control :
             {static_cast<QWidget*>(controls().grow), static_cast<QWidget*>(controls().shrink),
              static_cast<QWidget*>(controls().zoomIn), static_cast<QWidget*>(controls().redraw),
              static_cast<QWidget*>(controls().reset), static_cast<QWidget*>(controls().orbit),
              static_cast<QWidget*>(controls().line)}) {
            enabled.push_back(control->isEnabled());
        }
        return enabled;
    }

    bool alwaysEnabledControls() {
        for (QPushButton* button :
             {controls().randomize, controls().zoomOut, controls().fixPoints, controls().up,
              controls().down, controls().left, controls().right}) {
            if (!button->isEnabled()) return false;
        }
        return true;
    }

    std::unique_ptr<CMainSheet> sheet;
    CMicroPage* page = nullptr;
};

TEST_F(MandelbrotPanelTest, FixPointCaptionsAndButtonsFollowTheMode) {
    const std::vector<bool> all(7, true), none(7, false);
    EXPECT_TRUE(controls().orbit->isChecked());
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point(s)"));
    EXPECT_EQ(rectangleControls(), all);

    controls().fixPoints->click();
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point"));
    EXPECT_EQ(rectangleControls(), none);
    EXPECT_TRUE(alwaysEnabledControls());
    controls().fixPoints->click();
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point(s)"));
    EXPECT_EQ(rectangleControls(), all);

    controls().line->click();
    controls().fixPoints->click();
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point #1"));
    EXPECT_EQ(rectangleControls(), none);
    controls().right->click();
    EXPECT_EQ(editor().point1(), editor().point2());
    controls().fixPoints->click();
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point #2"));
    EXPECT_EQ(rectangleControls(), none);
    EXPECT_TRUE(alwaysEnabledControls());
    controls().down->click();
    EXPECT_EQ(editor().point2().row, editor().point1().row + 6);
    controls().fixPoints->click();
    EXPECT_EQ(controls().fixPoints->text(), QStringLiteral("Fix Point(s)"));
    EXPECT_EQ(rectangleControls(), all);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MandelbrotPanelTest, ASavedPathReopensOnTheSameViewAndPoints) {
    controls().line->click();
    controls().shrink->click();
    controls().left->click();
    controls().zoomIn->click();
    EXPECT_EQ(editor().point1(), (PixelPoint{240, 180}));
    controls().fixPoints->click();
    controls().up->click();
    controls().fixPoints->click();
    controls().right->click();
    controls().fixPoints->click();
    const PlaneView view = editor().view();
    const PixelPoint point1 = editor().point1(), point2 = editor().point2();
    page->save();
    const Microsequence& saved = document.contents.song.microsequences[0];
    ASSERT_TRUE(saved.parameters);
    EXPECT_EQ(saved.parameters->size(), 72u);

    page->create();  // another sequence, then back to the saved one
    EXPECT_EQ(editor().view(), (PlaneView{-2.333333, -2.0, 2.0, 2.0}));
    page->controls().sequences->setCurrentIndex(0);
    EXPECT_EQ(editor().view(), view);
    EXPECT_EQ(editor().point1(), point1);
    EXPECT_EQ(editor().point2(), point2);
    EXPECT_TRUE(controls().line->isChecked());
    // The display shows the image the editor drew, overlay included.
    const CMandelbrotDisplay& display = *controls().display;
    std::vector<std::uint8_t> expected(480 * 360 * bytesPerPixel(display.depth()));
    ASSERT_TRUE(convertPixels(editor().image(), display.depth(), expected));
    EXPECT_EQ(display.shownImage(), displayImage(expected, 480, 360, display.depth()));
}

TEST_F(MandelbrotPanelTest, RandomizeShowsTheChosenKind) {
    {
        const test::ConstantCommandDraws draws(context, 0.7);
        controls().randomize->click();
    }
    EXPECT_TRUE(controls().line->isChecked());
    // 0.7 x 360 is just below 252.
    EXPECT_EQ(editor().point1(), (PixelPoint{336, 251}));
    {
        const test::ConstantCommandDraws draws(context, 0.2);
        controls().randomize->click();
    }
    EXPECT_TRUE(controls().orbit->isChecked());
}

TEST(MandelbrotDisplay, EveryDepthShowsTheColoursAtItsPrecision) {
    const std::vector<std::uint32_t> words = {0x00FF8040u, 0x01010010u, 0x00123456u};
    for (const int depth : {15, 16, 24, 32}) {
        std::vector<std::uint8_t> buffer(words.size() * bytesPerPixel(depth));
        ASSERT_TRUE(convertPixels(words, depth, buffer));
        const QImage image = displayImage(buffer, 3, 1, depth);
        ASSERT_FALSE(image.isNull()) << depth;
        // What survives of each channel at this depth.
        const int redBits = depth == 24 || depth == 32 ? 8 : 5;
        const int greenBits = depth == 24 || depth == 32 ? 8 : depth == 16 ? 6 : 5;
        const int blueBits = redBits;
        for (int i = 0; i < 3; ++i) {
            const QColor shown = image.pixelColor(i, 0);
            const auto keep = [](std::uint32_t channel, int bits) {
                return static_cast<int>(channel >> (8 - bits));
            };
            EXPECT_EQ(shown.red() >> (8 - redBits), keep((words[i] >> 16) & 0xFF, redBits))
                << depth << ' ' << i;
            EXPECT_EQ(shown.green() >> (8 - greenBits), keep((words[i] >> 8) & 0xFF, greenBits))
                << depth << ' ' << i;
            EXPECT_EQ(shown.blue() >> (8 - blueBits), keep(words[i] & 0xFF, blueBits))
                << depth << ' ' << i;
        }
    }
    EXPECT_TRUE(displayImage({}, 3, 1, 8).isNull());
    EXPECT_EQ(displayDepth(8), 32);
    EXPECT_EQ(displayDepth(16), 16);
}

}  // namespace
}  // namespace halvorn
