#include "app/halvorn_app.h"

#include <QCommandLineParser>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/first_paint.h"
#include "app/output_device_list.h"
#include "app/single_doc_template.h"
#include "midi/playback.h"
#include "ui/main_frame.h"

namespace halvorn {

CHalvornApp::CHalvornApp(int& argc, char** argv) : QApplication(argc, argv) {
    installOutputDeviceList();
    installAudioExport();
}

CHalvornApp::~CHalvornApp() {
    template_.reset();
    // No playback, and no stream closing on a thread of its own, outlives
    // the application.
    midiPlaybackShutdown();
    setPrompts(nullptr);
}

bool CHalvornApp::InitInstance() {
    // Per-user settings (the recent-file list) live under Quorlane/Halvorn.
    setOrganizationName(QStringLiteral("Quorlane"));
    setApplicationName(QStringLiteral("Halvorn"));
    setApplicationVersion(QStringLiteral(HALVORN_VERSION));
    setPrompts(&messageBoxes_);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Composes music from fractal sequences."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("document"),
                                 QStringLiteral("The .hvn document to open."),
                                 QStringLiteral("[document]"));
    parser.process(arguments());
    const QStringList documents = parser.positionalArguments();

    template_ = std::make_unique<CSingleDocTemplate>();
    reportFirstPaint(template_->frame());
    return template_->OpenStartupDocument(documents.value(0));
}

}  // namespace halvorn
