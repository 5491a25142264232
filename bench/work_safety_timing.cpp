// What keeping the composer's work safe costs on the largest document: one
// autosave (the window's contents with a page's edits, written as a recovery
// copy) on the user-interface thread, and the memory 200 undo steps hold.
// Runs the real window offscreen. Usage: work_safety_timing [TEXT_BYTES]

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/single_doc_template.h"
#include "fractal/generators.h"
#include "midi/midi_system.h"
#include "tests/support/scripted_prompts.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/session/app_context.h"
#include "worst_case.h"

namespace halvorn {
namespace {

// Every count at its largest: 32 microsequences of period 256 with their
// values, 16 blocks, 16 tracks placed over 999 measures, and three texts of
// `textBytes` each.
Document largestDocument(std::size_t textBytes) {
    Document document;
    document.song = worstCaseSong();
    Song& song = document.song;
    song.microsequenceCount = kMaxMicrosequences;
    for (std::int32_t i = 0; i < kMaxMicrosequences; ++i) {
        Microsequence& sequence = song.microsequences[static_cast<std::size_t>(i)];
        if (i >= 2) sequence = song.microsequences[static_cast<std::size_t>(i % 2)];
        sequence.period = kMaxPeriod;
        microsequenceCompute(sequence);
    }
    for (Macrosequence& track : song.macrosequences) {
        track.placements.assign(kMaxSongMeasures, Placement{});
        for (std::int32_t m = 0; m < kMaxSongMeasures; ++m)
            track.placements[static_cast<std::size_t>(m)].startBeat = m * 9;
        track.placementCount = kMaxSongMeasures;
    }
    document.title.assign(textBytes, 't');
    document.author.assign(textBytes, 'a');
    document.comments.assign(textBytes, 'c');
    return document;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.3f ms   worst %7.3f ms   (%zu runs)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
}

int run(std::size_t textBytes) {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    MidiSystem midi;
    AppContext context(prompts, midi);
    CSingleDocTemplate app(context, dir.filePath(QStringLiteral("recovery")));
    app.OpenStartupDocument(QString());
    const std::string path = dir.filePath(QStringLiteral("largest.hvn")).toStdString();
    if (!documentWrite(path, largestDocument(textBytes))) return 1;
    app.OpenDocumentFile(QString::fromStdString(path));
    std::printf("document: %zu bytes in the file\n", documentEncode(*app.doc().document()).size());

    CMainSheet& sheet = *app.view().sheet();
    sheet.setCurrentIndex(kBlockPageIndex);
    auto& blocks = static_cast<CBlockPage&>(*sheet.page(kBlockPageIndex));
    blocks.controls().melodyRange->setText(QStringLiteral("13"));  // an edit left on the page
    std::vector<double> ticks;
    std::vector<double> writes;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        app.autosave().tick();
        ticks.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (!app.recovery().finishWrite().value_or(Expected<void, Error>{})) return 1;
        writes.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    report("autosave on the window's thread", ticks);
    report("autosave until the copy is in place", writes);

    const long before = residentKilobytes();
    for (int step = 0; step < 200; ++step) {
        context.recordChange(QStringLiteral("step"),
                             [&] { app.doc().document()->song.blocks[0].seed = step + 100; });
    }
    const long after = residentKilobytes();
    std::printf("200 undo steps: %.1f MB resident (%.0f KB a step)\n", (after - before) / 1024.0,
                (after - before) / 200.0);
    return 0;
}

}  // namespace
}  // namespace halvorn

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The texts' length: 64 KiB unless given (the format's limit is far
    // beyond what anyone types into the Global page).
    return halvorn::run(argc > 1 ? std::stoul(argv[1]) : 65536);
}
