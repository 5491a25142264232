#include "ui/session/audio_export_run.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>

namespace halvorn {
namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressPollMs = 50;

// What the export's thread and the user-interface thread share.
struct ExportShared {
    std::atomic<int> done{0};  // in kProgressSteps
    std::atomic<bool> cancel{false};
};

}  // namespace

AudioExportResult runAudioExport(const AudioExportFunction& exporter, MidiSong& song,
                                 const std::string& path, QWidget* parent) {
    if (!exporter)
        return {AudioExportOutcome::kFailed,
                fileError("Unable to export audio.", path, "No synthesizer to export with")};

    auto shared = std::make_shared<ExportShared>();
    QProgressDialog dialog(QStringLiteral("Exporting audio..."), QStringLiteral("Cancel"), 0,
                           kProgressSteps, parent);
    dialog.setWindowTitle(QStringLiteral("Export Audio"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"));
    dialog.setCancelButton(cancelButton);
    QTimer poll;
    // The dialog hides itself when cancelled; it shows again, modal, until
    // the export's thread has ended, so nothing can change the song it reads
    // meanwhile.
    const auto cancel = [&dialog, &poll, cancelButton, shared] {
        if (shared->cancel.exchange(true)) return;
        poll.stop();
        cancelButton->setEnabled(false);
        dialog.setLabelText(QStringLiteral("Cancelling..."));
        dialog.show();
    };
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, cancel);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&dialog, shared, cancel] {
        if (dialog.wasCanceled()) {
            cancel();
            return;
        }
        dialog.setValue(shared->done.load());
    });

    QEventLoop loop;
    std::optional<Expected<void, Error>> written;
    std::thread worker([&, shared] {
        auto result = exporter(song, path, [shared](double fraction) {
            shared->done =
                static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kProgressSteps));
            return !shared->cancel.load();
        });
        // Handed over on the user-interface thread, which waits in the loop.
        QMetaObject::invokeMethod(
            &loop,
            [&written, &loop, result = std::move(result)] {
                written = result;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    dialog.show();
    poll.start(kProgressPollMs);
    loop.exec();
    worker.join();
    poll.stop();

    // A cancel that came after the file was complete leaves it written.
    if (written && *written) return {AudioExportOutcome::kWritten, {}};
    if (shared->cancel) return {AudioExportOutcome::kCancelled, {}};
    return {AudioExportOutcome::kFailed,
            written ? written->error() : fileError("Unable to export audio.", path, {})};
}

}  // namespace halvorn
