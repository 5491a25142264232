// How long the window's own work takes on the demos, with the real widgets
// on the offscreen platform and every prompt scripted: each page shown,
// Regenerate, Open of each demo, the Mandelbrot picture after a zoom, the
// piano roll after a block's Save, and one look at the system's MIDI ports
// (what "Port:" does every second). Each step runs kRuns times, painted to
// the end; the median and the worst are reported against a goal of 50 ms.
//
//   halvorn_ui_bench [EXAMPLES_DIR]

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/output_device_list.h"
#include "app/single_doc_template.h"
#include "midi/device_list.h"
#include "midi/midi_system.h"
#include "tests/support/scripted_prompts.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/pages/micro/mandelbrot_dialog.h"
#include "ui/pages/micro/micro_page.h"
#include "ui/session/app_context.h"

namespace halvorn {
namespace {

constexpr int kRuns = 20;
constexpr double kGoalMs = 50.0;
const char* const kDemos[] = {"morse_procession.hvn", "noise_nocturne.hvn", "orbit_garden.hvn"};

struct Figures {
    std::string step;
    std::vector<double> ms;
};

class UiTiming {
  public:
    explicit UiTiming(QString examples) : examples_(std::move(examples)), app_(context_) {
        app_.OpenStartupDocument(QString());
    }

    void run() {
        pages();
        for (const char* demo : kDemos) open(demo);
        regenerate();
        mandelbrotZoom();
        pianoRollAfterSave();
        portPoll();
    }

    int report() const {
        int over = 0;
        std::printf("%-58s %10s %10s\n", "step (offscreen, painted)", "median ms", "worst ms");
        for (Figures figures : figures_) {
            std::sort(figures.ms.begin(), figures.ms.end());
            const double median = figures.ms[figures.ms.size() / 2];
            const double worst = figures.ms.back();
            const bool late = worst > kGoalMs;
            over += late ? 1 : 0;
            std::printf("%-58s %10.2f %10.2f%s\n", figures.step.c_str(), median, worst,
                        late ? "  over 50 ms" : "");
        }
        std::printf("%d of %zu steps over %.0f ms at worst\n", over, figures_.size(), kGoalMs);
        return 0;
    }

  private:
    CMainSheet& sheet() { return *app_.view().sheet(); }

    // Lets queued work run and paints the whole window now.
    void settle() {
        QCoreApplication::processEvents();
        app_.frame().repaint();
    }

    template <typename Step>
    void time(const std::string& name, Step step) {
        Figures* figures = find(name);
        QElapsedTimer clock;
        clock.start();
        step();
        settle();
        figures->ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }

    Figures* find(const std::string& name) {
        for (Figures& figures : figures_)
            if (figures.step == name) return &figures;
        figures_.push_back({name, {}});
        return &figures_.back();
    }

    bool openDemo(const char* demo) {
        if (app_.doc().IsModified()) prompts_.answers.push_back(Answer::No);
        return app_.OpenDocumentFile(examples_ + "/" + demo);
    }

    void pages() {
        openDemo("orbit_garden.hvn");
        const char* names[] = {"Global", "Microsequences", "Blocks", "Macrosequences"};
        for (int run = 0; run < kRuns; ++run)
            for (int page : {kMicroPageIndex, kBlockPageIndex, kMacroPageIndex, kGlobalPageIndex})
                time(std::string("show page \"") + names[page] + "\" (orbit_garden)",
                     [&] { sheet().setCurrentIndex(page); });
    }

    void open(const char* demo) {
        for (int run = 0; run < kRuns; ++run)
            time(std::string("Open ") + demo, [&] { openDemo(demo); });
    }

    // Opens each demo, turns to `pageIndex` and times clicks on `button`.
    void clickOnEachDemo(int pageIndex, const std::string& what,
                         const std::function<QAbstractButton*()>& button) {
        for (const char* demo : kDemos) {
            openDemo(demo);
            sheet().setCurrentIndex(pageIndex);
            settle();
            QAbstractButton* pressed = button();
            for (int run = 0; run < kRuns; ++run)
                time(what + " (" + demo + ")", [&] { pressed->click(); });
        }
    }

    void regenerate() {
        clickOnEachDemo(kMacroPageIndex, "Regenerate", [this] {
            return static_cast<CMacroPage*>(sheet().page(kMacroPageIndex))->controls().regenerate;
        });
    }

    // The demo's first Mandelbrot sequence, or a new one.
    CMandelbrotDialog* mandelbrotPanel(CMicroPage& page) {
        QComboBox* sequences = page.controls().sequences;
        for (int i = 0; i < sequences->count(); ++i) {
            sequences->setCurrentIndex(i);
            if (auto* panel = qobject_cast<CMandelbrotDialog*>(page.panel())) return panel;
        }
        page.create();
        return qobject_cast<CMandelbrotDialog*>(page.panel());
    }

    void mandelbrotZoom() {
        openDemo("orbit_garden.hvn");
        sheet().setCurrentIndex(kMicroPageIndex);
        auto* page = static_cast<CMicroPage*>(sheet().page(kMicroPageIndex));
        CMandelbrotDialog* panel = mandelbrotPanel(*page);
        if (!panel) return;
        settle();
        for (int run = 0; run < kRuns; ++run) {
            time("Mandelbrot: Zoom In, redrawn", [&] { panel->controls().zoomIn->click(); });
            panel->controls().zoomOut->click();
            settle();
        }
    }

    void pianoRollAfterSave() {
        clickOnEachDemo(kBlockPageIndex, "Blocks: Save, piano roll drawn", [this] {
            return static_cast<CBlockPage*>(sheet().page(kBlockPageIndex))->controls().save;
        });
    }

    // The system's ports as this machine has them (a JACK server if
    // JACK_DEFAULT_SERVER names a running one), not painted: the first look,
    // which makes the clients later looks ask (JACK's on a thread of its
    // own), then looks once that client had time to answer.
    void portPoll() {
        MidiSystem midi;
        installOutputDeviceList(midi);
        const auto look = [&](const std::string& name) {
            Figures* figures = find(name);
            QElapsedTimer clock;
            clock.start();
            midiRefreshOutputDevices(midi);
            figures->ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        };
        look("Port: first look at the system's ports");
        QThread::msleep(300);
        for (int run = 0; run < 5 * kRuns; ++run) look("Port: one look at the system's ports");
    }

    QString examples_;
    ScriptedPrompts prompts_;
    MidiSystem midi_;
    AppContext context_{prompts_, midi_};
    CSingleDocTemplate app_;
    std::vector<Figures> figures_;
};

}  // namespace
}  // namespace halvorn

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The recent-file list and other per-user settings go to a directory
    // of the run's own.
    QTemporaryDir settings;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QApplication::setOrganizationName(QStringLiteral("Quorlane"));
    QApplication::setApplicationName(QStringLiteral("Halvorn bench"));
    const QString examples =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(HALVORN_SOURCE_DIR "/examples");
    halvorn::UiTiming timing(examples);
    timing.run();
    return timing.report();
}
