#pragma once
// The application object: owns what the whole program shares (the message
// boxes, the MIDI settings, device list and playback, the context the window
// is made with) and starts up in order (device list, settings, recent
// files, the document template, the command line, the window).

#include <QApplication>
#include <memory>

#include "midi/midi_system.h"
#include "ui/session/app_context.h"
#include "ui/session/qt_prompts.h"

namespace halvorn {

class CSingleDocTemplate;
class TerminationSignals;

class CHalvornApp final : public QApplication {
    Q_OBJECT
  public:
    CHalvornApp(int& argc, char** argv);  // builds the MIDI device list
    ~CHalvornApp() override;

    // False when start-up fails and the program should end.
    bool InitInstance();

    CSingleDocTemplate* docTemplate() const { return template_.get(); }
    AppContext& context() { return context_; }

  private:
    QtPrompts messageBoxes_;
    MidiSystem midi_;  // its playback stops before it goes
    AppContext context_{messageBoxes_, midi_};
    std::unique_ptr<CSingleDocTemplate> template_;
    std::unique_ptr<TerminationSignals> terminationSignals_;
};

}  // namespace halvorn
