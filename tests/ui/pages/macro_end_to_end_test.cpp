// A demo document from opening to a played piece, a saved MIDI file and an
// audio file, checked against halvorn-cli and python3-mido.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/output_device_list.h"
#include "app/single_doc_template.h"
#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/smf.h"
#include "tests/support/playback_test_support.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/session/audio_export_run.h"
#include "ui/session/playback_session.h"

namespace halvorn {
namespace {

using test::processUntil;

const QString kDemo = QStringLiteral(HALVORN_SOURCE_DIR "/examples/orbit_garden.hvn");

// Runs a program to its end; its standard output, or nothing after a
// failure (reported).
std::optional<QString> run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QByteArray contents(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MacroPageEndToEnd : public test::ScratchDirectoryTest, protected test::TestContext {
  protected:
    void SetUp() override {
        ScratchDirectoryTest::SetUp();
#if !defined(HALVORN_CLI_PATH) || !defined(HALVORN_PYTHON)
        GTEST_SKIP() << "halvorn-cli or python3 is not built or found";
#else
        log = test::installRecorder(midi, std::make_shared<VirtualMidiClock>());
        app = std::make_unique<CSingleDocTemplate>(context);
        ASSERT_TRUE(app->OpenStartupDocument(kDemo));
        app->frame().show();
        sheet = app->view().sheet();
        page = static_cast<CMacroPage*>(sheet->page(kMacroPageIndex));
        sheet->setCurrentIndex(kMacroPageIndex);
#endif
    }
    void TearDown() override {
        app.reset();
        ScratchDirectoryTest::TearDown();
    }

    // The page's Save MIDI into `name`.
    std::string saveMidi(const std::string& name) {
        prompts.fileNames.push_back(QString::fromStdString(path(name)));
        page->controls().saveMidi->click();
        return path(name + ".mid");
    }

    // Exports into `name` from the File menu, whichever page is shown, and
    // with halvorn-cli `subcommand` into "cli.SUFFIX".
    void exportBothWays(FrameCommand command, const std::string& name, const QString& subcommand,
                        const QString& suffix) {
        sheet->setCurrentIndex(kGlobalPageIndex);
        prompts.fileNames.push_back(QString::fromStdString(path(name)));
        app->frame().action(command)->trigger();
        ASSERT_TRUE(prompts.messages.empty()) << prompts.messages.front().toStdString();
        ASSERT_EQ(prompts.saveRequests.size(), 1u);
        EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, suffix);
        ASSERT_TRUE(cli({subcommand, kDemo, QStringLiteral("-o"),
                         QString::fromStdString(path("cli." + suffix.toStdString()))}));
    }

    std::optional<QString> cli(QStringList arguments) {
#ifdef HALVORN_CLI_PATH
        return run(QStringLiteral(HALVORN_CLI_PATH), arguments);
#else
        return std::nullopt;
#endif
    }

    std::shared_ptr<MessageLog> log;
    std::unique_ptr<CSingleDocTemplate> app;
    CMainSheet* sheet = nullptr;
    CMacroPage* page = nullptr;
};

TEST_F(MacroPageEndToEnd, DemoPlaysToItsEndAndSavesWhatTheCommandLineRenders) {
    const auto& controls = page->controls();
    const auto& lists = sheet->globalPage()->controls();
    controls.play->click();
    ASSERT_TRUE(page->isPlaying());
    EXPECT_EQ(controls.play->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(lists.port->isEnabled());
    ASSERT_TRUE(processUntil([&] { return !page->isPlaying(); }));
    EXPECT_EQ(controls.play->text(), QStringLiteral("Play"));
    EXPECT_TRUE(lists.port->isEnabled() && lists.buffer->isEnabled() && lists.ppqn->isEnabled());

    // What was heard is the piece without its muted track, every message in
    // time order: the command line's --skip-muted rendering, merged.
    ASSERT_TRUE(cli({QStringLiteral("render"), kDemo, QStringLiteral("-o"),
                     QString::fromStdString(path("heard.mid")), QStringLiteral("--skip-muted")}));
    MidiSong heard;
    ASSERT_EQ(midiSongReadFile(path("heard.mid"), &heard), MidiResult::kOk);
    const std::vector<MidiEvent> merged = test::mergedEvents(heard);
    const auto sent = log->messages();
    ASSERT_EQ(sent.size(), merged.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i].message,
                  midiPackShortMessage(merged[i].status, merged[i].data1, merged[i].data2))
            << i;
    }
    EXPECT_TRUE(test::soundingNotes(sent).empty());

    // Save MIDI writes what halvorn-cli render writes, muted track included.
    const std::string saved = saveMidi("piece");
    ASSERT_TRUE(cli({QStringLiteral("render"), kDemo, QStringLiteral("-o"),
                     QString::fromStdString(path("cli.mid"))}));
    EXPECT_FALSE(contents(saved).isEmpty());
    EXPECT_EQ(contents(saved), contents(path("cli.mid")));

    // With "Send instruments, volume and pan" the file differs only by each
    // used track's program, volume and pan, which mido reads back.
    sheet->globalPage()->controls().sendInstruments->setChecked(true);
    const std::string withVoices = saveMidi("voices");
    sheet->globalPage()->controls().sendInstruments->setChecked(false);
    const auto read = run(QStringLiteral(HALVORN_PYTHON),
                          {QStringLiteral(HALVORN_SOURCE_DIR "/tests/interop/mido_setup_events.py"),
                           QString::fromStdString(saved), QString::fromStdString(withVoices)});
    ASSERT_TRUE(read);
    QStringList expected;
    const Song& song = app->doc().document()->song;
    int used = 0;
    for (int slot = 0; slot < song.blockCount; ++slot) {
        const Block& block = song.blocks[slot];
        const Macrosequence& track = song.macrosequences[slot];
        expected << QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(used++)
                        .arg(block.channel)
                        .arg(block.program)
                        .arg(static_cast<int>(track.volume * 127))
                        .arg(static_cast<int>(track.panning * 127));
    }
    EXPECT_EQ(read->split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    EXPECT_EQ(expected.size(), 4);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MacroPageEndToEnd, ExportAudioWritesWhatTheCommandLineExportsAndLeavesNoFileOtherwise) {
    if (!std::filesystem::exists(kDefaultSoundfontPath)) GTEST_SKIP() << "no soundfont";
    context.audioExport = systemAudioExport();
    ASSERT_NO_FATAL_FAILURE(exportBothWays(FrameCommand::ExportAudio, "piece",
                                           QStringLiteral("export-audio"), QStringLiteral("wav")));
    EXPECT_GT(contents(path("piece.wav")).size(), 44);
    EXPECT_EQ(contents(path("piece.wav")), contents(path("cli.wav")));

    // Cancelled as soon as the progress dialog shows.
    sheet->setCurrentIndex(kMacroPageIndex);
    bool cancelled = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* button = dialog->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        button->click();
        cancelled = true;
    });
    prompts.fileNames.push_back(QString::fromStdString(path("cancelled")));
    page->controls().exportAudio->click();
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(std::filesystem::exists(path("cancelled.wav")));
    EXPECT_TRUE(prompts.messages.empty());

    // A folder that does not exist.
    prompts.fileNames.push_back(QString::fromStdString(path("missing/piece")));
    page->controls().exportAudio->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Unable to export audio."));
    EXPECT_EQ(prompts.details[0], QString::fromStdString(path("missing/piece.wav")) +
                                      QStringLiteral("\nNo such file or directory."));
    EXPECT_EQ(fileCount(), 2u);  // piece.wav and cli.wav
    // The playback is the recorder's again afterwards.
    page->controls().play->click();
    EXPECT_TRUE(page->isPlaying());
}

// From the File menu on another page: into a folder the user picks, the
// files halvorn-cli export-audio --stems writes, byte for byte.
TEST_F(MacroPageEndToEnd, ExportStemsWritesWhatTheCommandLineExports) {
    if (!std::filesystem::exists(kDefaultSoundfontPath)) GTEST_SKIP() << "no soundfont";
    context.stemsExport = systemStemsExport();
    sheet->setCurrentIndex(kGlobalPageIndex);
    prompts.fileNames.push_back(QString::fromStdString(path("stems")));
    app->frame().action(FrameCommand::ExportStems)->trigger();
    ASSERT_TRUE(prompts.messages.empty()) << prompts.messages.front().toStdString();
    EXPECT_EQ(prompts.folderRequests, std::vector<QString>{QStringLiteral("Export Stems")});
    ASSERT_TRUE(cli({QStringLiteral("export-audio"), kDemo, QStringLiteral("--stems"),
                     QString::fromStdString(path("cli-stems"))}));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path("cli-stems")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"00-Marimba.wav", "01-Bass.wav", "02-Warm pad.wav"}));
    for (const std::string& name : names) {
        const QByteArray written = contents(path("stems/" + name));
        EXPECT_GT(written.size(), 44) << name;
        EXPECT_EQ(written, contents(path("cli-stems/" + name))) << name;
    }

    // Without the synthesizer there is nothing to export with.
    context.stemsExport = {};
    app->frame().action(FrameCommand::ExportStems)->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Audio export needs the built-in synthesizer."));
    EXPECT_EQ(prompts.folderRequests.size(), 1u);
}

TEST_F(MacroPageEndToEnd, ExportMusicXmlWritesWhatTheCommandLineExports) {
    ASSERT_NO_FATAL_FAILURE(exportBothWays(FrameCommand::ExportMusicXml, "score",
                                           QStringLiteral("export-musicxml"),
                                           QStringLiteral("musicxml")));
    const QByteArray score = contents(path("score.musicxml"));
    EXPECT_TRUE(score.contains("<score-partwise version=\"4.0\">"));
    EXPECT_EQ(score, contents(path("cli.musicxml")));

    // A folder that does not exist: the file error, and no file.
    prompts.fileNames.push_back(QString::fromStdString(path("missing/score")));
    app->frame().action(FrameCommand::ExportMusicXml)->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Unable to export MusicXML."));
    EXPECT_EQ(prompts.details[0], QString::fromStdString(path("missing/score.musicxml")) +
                                      QStringLiteral("\nNo such file or directory."));
    EXPECT_EQ(fileCount(), 2u);
}

}  // namespace
}  // namespace halvorn
