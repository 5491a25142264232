#pragma once
// The application object: start-up in order (device list, settings, recent
// files, the document template, the command line, the window).

#include <QApplication>
#include <memory>

#include "ui/qt_prompts.h"

namespace halvorn {

class CSingleDocTemplate;

class CHalvornApp final : public QApplication {
    Q_OBJECT
  public:
    CHalvornApp(int& argc, char** argv);  // builds the MIDI device list
    ~CHalvornApp() override;

    // False when start-up fails and the program should end.
    bool InitInstance();

    CSingleDocTemplate* docTemplate() const { return template_.get(); }

  private:
    QtPrompts messageBoxes_;
    std::unique_ptr<CSingleDocTemplate> template_;
};

}  // namespace halvorn
