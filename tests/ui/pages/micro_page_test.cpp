#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "fractal/generators.h"
#include "model/song.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/micro/mandelbrot_dialog.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/pages/micro/morse_thue_dialog.h"
#include "ui/pages/micro/noise_dialog.h"
#include "ui/views/values_plot.h"

namespace halvorn {
namespace {

using test::ConstantCommandDraws;
using test::itemTexts;

class MicroPageTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        sheet = std::make_unique<CMainSheet>(context);
        page = static_cast<CMicroPage*>(sheet->page(kMicroPageIndex));
    }

    Song& song() { return document.contents.song; }
    const MicroPageControls& controls() { return page->controls(); }

    // The sheet turns to the page, which lists the Song and loads sequence 0.
    void showPage() { test::turnToPage(*sheet, kMicroPageIndex); }

    void addSequence(const std::string& description, std::int32_t type, std::int32_t period,
                     std::optional<ParameterBytes> parameters) {
        Microsequence& record = song().microsequences[song().microsequenceCount++];
        record.description = description;
        record.fractalType = type;
        record.period = period;
        record.parameters = std::move(parameters);
    }

    template <typename Panel>
    Panel* panel() {
        auto* shown = qobject_cast<Panel*>(page->panel());
        EXPECT_NE(shown, nullptr);
        return shown;
    }

    // The default view, both points on the pixel of (0, 0), Orbit.
    static void expectDefaultView(const CMandelbrotDialog& panel) {
        const MandelbrotEditor& editor = *panel.editor();
        EXPECT_EQ(editor.view(), (PlaneView{-2.333333, -2.0, 2.0, 2.0}));
        EXPECT_EQ(editor.point1(), (PixelPoint{258, 180}));
        EXPECT_EQ(editor.point2(), (PixelPoint{258, 180}));
        EXPECT_EQ(editor.pathKind(), MandelbrotParameters::kOrbit);
    }

    // Types `text` into `widget` key by key, as a keyboard would.
    static void type(QWidget* widget, const QString& text) {
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            QApplication::sendEvent(widget, &press);
        }
    }

    std::unique_ptr<CMainSheet> sheet;
    CMicroPage* page = nullptr;
};

TEST_F(MicroPageTest, StartsWithTheMandelbrotDefaultsAndTheDocumentedLists) {
    EXPECT_EQ(itemTexts(controls().fractal),
              QStringList({"Mandelbrot", "Morse-Thue", "Noise", ""}));
    EXPECT_EQ(controls().description->text(), QStringLiteral("No defined sequences"));
    EXPECT_EQ(controls().period->text(), QStringLiteral("256"));
    EXPECT_FALSE(controls().remove->isEnabled());
    auto* mandelbrot = panel<CMandelbrotDialog>();
    ASSERT_NE(mandelbrot->editor(), nullptr);
    expectDefaultView(*mandelbrot);
    EXPECT_EQ(mandelbrot->editor()->width(), 480);
    EXPECT_EQ(mandelbrot->editor()->height(), 360);
    EXPECT_EQ(controls().progress->maximum(), 359);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MicroPageTest, CreatingFillsTheTableAndDeletingTheLastClearsItsSlot) {
    showPage();
    controls().create->click();
    EXPECT_EQ(itemTexts(controls().sequences), QStringList({" 0: New Sequence"}));
    EXPECT_TRUE(controls().remove->isEnabled());
    // A new sequence opens the Mandelbrot panel with its defaults and has no
    // values until it is saved.
    expectDefaultView(*panel<CMandelbrotDialog>());
    EXPECT_EQ(microsequenceCompute(song().microsequences[0]), nullptr);

    for (int i = 1; i < kMaxMicrosequences; ++i) page->create();
    EXPECT_EQ(controls().sequences->currentIndex(), 31);
    EXPECT_EQ(controls().sequences->itemText(31), QStringLiteral("31: New Sequence"));
    EXPECT_TRUE(prompts.messages.empty());
    page->create();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("There are already 32 microsequences"));
    EXPECT_EQ(song().microsequenceCount, 32);

    controls().sequences->setCurrentIndex(31);
    controls().remove->click();
    EXPECT_EQ(song().microsequenceCount, 31);
    EXPECT_EQ(controls().sequences->count(), 31);
    EXPECT_TRUE(song().microsequences[31].description.empty());
    EXPECT_EQ(song().microsequences[31].period, 0);
    EXPECT_TRUE(prompts.questions.empty());  // no block uses it
}

TEST_F(MicroPageTest, DeletingASequenceABlockUsesAsksAndBlocksKeepTheirIndexes) {
    addSequence("First", kFractalMorseThue, 8, MorseThueParameters{10, 95, 1}.toBytes());
    addSequence("Second", kFractalNoise, 16, NoiseParameters{3, 1, 40}.toBytes());
    addSequence("Third", kFractalMorseThue, 4, MorseThueParameters{2, 0, 1}.toBytes());
    song().blockCount = 2;
    song().blocks[1].melodySequence = 0;
    song().blocks[1].velocitySequence = 2;
    showPage();
    const QString question =
        QStringLiteral("The selected microsequence is being used in some block. Delete anyway?");

    prompts.answers = {Answer::No};
    page->deleteSequence();
    EXPECT_EQ(prompts.questions, std::vector<QString>{question});
    EXPECT_EQ(song().microsequenceCount, 3);

    prompts.answers = {Answer::Yes};
    page->deleteSequence();
    EXPECT_EQ(song().microsequenceCount, 2);
    EXPECT_EQ(itemTexts(controls().sequences), QStringList({" 0: Second", " 1: Third"}));
    EXPECT_EQ(song().blocks[1].melodySequence, 0);
    EXPECT_EQ(song().microsequences[0].description, "Second");
    EXPECT_EQ(song().microsequences[0].parameters, NoiseParameters({3, 1, 40}).toBytes());
    // The page shows the sequence that moved into place 0.
    EXPECT_EQ(controls().description->text(), QStringLiteral("Second"));
    EXPECT_NE(qobject_cast<CNoiseDialog*>(page->panel()), nullptr);
}

TEST_F(MicroPageTest, FieldsOutOfBoundsAreRefusedAndTheRecordIsKept) {
    addSequence("Digits", kFractalMorseThue, 32, MorseThueParameters{3, 7, 2}.toBytes());
    showPage();
    const Microsequence before = song().microsequences[0];

    controls().period->setText("0");
    controls().save->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Introduzca un número entero entre 1 y 256."));

    controls().period->setText("12");
    panel<CMorseThueDialog>()->controls().base->setText("1");
    page->save();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1],
              QStringLiteral("Introduzca un número entero entre 2 y 9999999."));
    EXPECT_EQ(song().microsequences[0].period, before.period);
    EXPECT_EQ(song().microsequences[0].parameters, before.parameters);

    // Every field valid: the record takes them, and the page shows what it saved.
    panel<CMorseThueDialog>()->controls().base->setText("10");
    controls().description->setText("Tens");
    page->save();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(song().microsequences[0].period, 12);
    EXPECT_EQ(song().microsequences[0].description, "Tens");
    EXPECT_EQ(song().microsequences[0].parameters, MorseThueParameters({10, 7, 2}).toBytes());
    EXPECT_EQ(controls().sequences->currentText(), QStringLiteral(" 0: Tens"));
}

TEST_F(MicroPageTest, ChoosingAnotherSequenceWithABadPeriodReloadsTheFormerOne) {
    addSequence("Kept", kFractalMorseThue, 32, MorseThueParameters{3, 7, 2}.toBytes());
    addSequence("Other", kFractalNoise, 16, NoiseParameters{3, 1, 40}.toBytes());
    showPage();
    controls().period->setText("");
    controls().sequences->setCurrentIndex(1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Introduzca un número entero."));
    EXPECT_EQ(controls().sequences->currentIndex(), 0);
    EXPECT_EQ(controls().description->text(), QStringLiteral("Kept"));
    EXPECT_EQ(controls().period->text(), QStringLiteral("32"));
}

TEST_F(MicroPageTest, NoiseParametersAreRememberedAcrossSequencesUntilASave) {
    addSequence("A", kFractalNoise, 16, NoiseParameters{77, 3, 20}.toBytes());
    addSequence("B", kFractalMorseThue, 8, MorseThueParameters{5, 1, 1}.toBytes());
    showPage();
    controls().sequences->setCurrentIndex(1);
    controls().fractal->setCurrentIndex(kFractalNoise);
    auto* noise = panel<CNoiseDialog>();
    EXPECT_EQ(noise->controls().seed->text(), QStringLiteral("77"));
    EXPECT_EQ(noise->controls().correlation->currentText(), QStringLiteral("High"));
    EXPECT_EQ(noise->controls().range->text(), QStringLiteral("20"));

    controls().fractal->setCurrentIndex(kFractalMorseThue);
    EXPECT_EQ(panel<CMorseThueDialog>()->controls().base->text(), QStringLiteral("5"));
    page->save();
    controls().fractal->setCurrentIndex(kFractalNoise);
    noise = panel<CNoiseDialog>();
    EXPECT_EQ(noise->controls().seed->text(), QStringLiteral("0"));
    EXPECT_EQ(noise->controls().correlation->currentText(), QStringLiteral("Medium (Pink Noise)"));
    EXPECT_EQ(noise->controls().range->text(), QStringLiteral("10"));
}

TEST_F(MicroPageTest, RandomizeKeepsToTheThreeTypesAndSavesNothing) {
    addSequence("Still", kFractalMorseThue, 8, MorseThueParameters{5, 1, 1}.toBytes());
    showPage();
    const Microsequence before = song().microsequences[0];
    {
        const ConstantCommandDraws draws(context, 0.99999);
        sheet->randomValues();
    }
    EXPECT_EQ(controls().fractal->currentIndex(), kFractalNoise);
    EXPECT_EQ(controls().period->text(), QStringLiteral("256"));
    auto* noise = panel<CNoiseDialog>();
    // trunc(0.99999 x 4294967295) = 4294924345, shown as a signed number.
    EXPECT_EQ(noise->controls().seed->text(), QStringLiteral("-42951"));
    EXPECT_EQ(noise->controls().correlation->currentIndex(), 4);
    EXPECT_EQ(noise->controls().range->text(), QStringLiteral("255"));
    {
        const ConstantCommandDraws draws(context, 0.0);
        sheet->randomValues();
    }
    EXPECT_EQ(controls().fractal->currentIndex(), kFractalMandelbrot);
    EXPECT_EQ(controls().period->text(), QStringLiteral("1"));
    EXPECT_EQ(song().microsequences[0].fractalType, before.fractalType);
    EXPECT_EQ(song().microsequences[0].parameters, before.parameters);

    // "Random Seed" draws a noise seed only on the Noise panel.
    controls().fractal->setCurrentIndex(kFractalNoise);
    {
        const ConstantCommandDraws draws(context, 0.5);
        sheet->randomSeed();
    }
    EXPECT_EQ(panel<CNoiseDialog>()->controls().seed->text(), QStringLiteral("134217727"));
}

TEST_F(MicroPageTest, CopyToANewSequenceAppendsACopyWithAFittingDescription) {
    addSequence("Rain over the quiet harbour 12", kFractalNoise, 24,
                NoiseParameters{9, 2, 30}.toBytes());
    addSequence("Steps", kFractalMorseThue, 8, MorseThueParameters{5, 1, 1}.toBytes());
    showPage();
    controls().sequences->setCurrentIndex(1);
    test::answerCopyDialog(0, 2);  // "2: Create New Sequence"
    sheet->copy();
    ASSERT_EQ(song().microsequenceCount, 3);
    const Microsequence& copy = song().microsequences[2];
    EXPECT_EQ(copy.description, "Copy of Rain over the quiet ha");
    EXPECT_EQ(copy.fractalType, kFractalNoise);
    EXPECT_EQ(copy.period, 24);
    EXPECT_EQ(copy.parameters, NoiseParameters({9, 2, 30}).toBytes());
    EXPECT_EQ(song().microsequences[0].description, "Rain over the quiet harbour 12");
    EXPECT_EQ(controls().sequences->currentIndex(), 2);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MicroPageTest, DescriptionsHoldThirtyCharactersTheDocumentCanStore) {
    showPage();
    page->create();
    QLineEdit* description = controls().description;
    description->clear();
    type(description, QStringLiteral("Piña € 日本"));
    EXPECT_EQ(description->text(), QStringLiteral("Piña € "));
    description->clear();
    type(description, QString(40, QLatin1Char('x')));
    EXPECT_EQ(description->text().size(), 30);
    page->save();
    EXPECT_EQ(song().microsequences[0].description, std::string(30, 'x'));
}

TEST_F(MicroPageTest, PlotShowsTheValuesOfTheCurrentFieldsWithoutSaving) {
    addSequence("Digits", kFractalMorseThue, 4, MorseThueParameters{10, 95, 1}.toBytes());
    addSequence("Reserved", kFractalPlaceholder, 16, std::nullopt);
    showPage();
    const auto plotted = [&] { return controls().plot->values(); };
    EXPECT_EQ(plotted(), (std::vector<std::int32_t>{14, 15, 16, 17}));
    controls().period->setText("7");
    EXPECT_EQ(plotted(), (std::vector<std::int32_t>{14, 15, 16, 17, 18, 1, 2}));
    panel<CMorseThueDialog>()->controls().start->setText("0");
    EXPECT_EQ(plotted(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    panel<CMorseThueDialog>()->controls().base->setText("1");
    EXPECT_EQ(plotted(), std::nullopt);
    EXPECT_EQ(song().microsequences[0].period, 4);

    controls().sequences->setCurrentIndex(1);
    EXPECT_EQ(plotted(), std::nullopt);  // type 3 has no values
}

}  // namespace
}  // namespace halvorn
