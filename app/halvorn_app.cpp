#include "app/halvorn_app.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/first_paint.h"
#include "app/output_device_list.h"
#include "app/single_doc_template.h"
#include "app/termination_signals.h"
#include "ui/frame/main_frame.h"
#include "ui/views/accessible_views.h"

namespace halvorn {

CHalvornApp::CHalvornApp(int& argc, char** argv) : QApplication(argc, argv) {
    installAccessibleInterfaces();
    installOutputDeviceList(midi_);
    context_.audioExport = systemAudioExport();
    context_.stemsExport = systemStemsExport();
}

// The window goes first; then the context, and the MIDI system, whose
// playback (and any stream closing on a thread of its own) ends with it.
CHalvornApp::~CHalvornApp() {
    terminationSignals_.reset();
    template_.reset();
}

bool CHalvornApp::InitInstance() {
    // Per-user settings (the recent-file list) live under Quorlane/Halvorn.
    setOrganizationName(QStringLiteral("Quorlane"));
    setApplicationName(QStringLiteral("Halvorn"));
    setApplicationVersion(QStringLiteral(HALVORN_VERSION));
    // Lets Wayland desktops match the window to its menu entry.
    setDesktopFileName(QStringLiteral("org.quorlane.halvorn"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Composes music from fractal sequences."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("document"),
                                 QStringLiteral("The .hvn document to open."),
                                 QStringLiteral("[document]"));
    parser.process(arguments());
    const QStringList documents = parser.positionalArguments();

    template_ = std::make_unique<CSingleDocTemplate>(context_);
    terminationSignals_ = std::make_unique<TerminationSignals>([this] {
        template_->EndBySignal();
        exit(0);
    });
    reportFirstPaint(template_->frame());
    // A relative name would mean another file in the recent-file list and
    // in a recovery copy read from another folder.
    const QString document =
        documents.isEmpty() ? QString() : QFileInfo(documents.first()).absoluteFilePath();
    if (!template_->OpenStartupDocument(document)) return false;
    template_->OfferRecovery();
    return true;
}

}  // namespace halvorn
