#pragma once
// The frame's client area, whose only content is the main sheet; the sheet
// follows the view's size through the layout.

#include <QWidget>

namespace halvorn {

class CMainSheet;

class CHalvornView final : public QWidget {
    Q_OBJECT
  public:
    explicit CHalvornView(QWidget* parent = nullptr);

    CMainSheet* sheet() const { return sheet_; }

  private:
    CMainSheet* sheet_;  // a child of this view
};

}  // namespace halvorn
