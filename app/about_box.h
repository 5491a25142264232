#pragma once
// The "About" dialog: program icon, name and version.

#include <QDialog>

namespace halvorn {

class CAboutBox final : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutBox(QWidget* parent = nullptr);
};

// The application's own icon, from the resources built into the program.
QIcon applicationIcon();

}  // namespace halvorn
