#pragma once
// The frame's client area, whose only content is the main sheet; the sheet
// follows the view's size through the layout.
//
// The view asks for the size at which every field of every page is
// readable, and the frame takes it as its minimum. A window made smaller
// anyway (a window manager that ignores the minimum, or none at all) keeps
// the sheet at that size and scrolls it instead of crushing its fields.

#include <QWidget>

class QScrollArea;

namespace halvorn {

class AppContext;
class CMainSheet;

class CHalvornView final : public QWidget {
    Q_OBJECT
  public:
    explicit CHalvornView(AppContext& context, QWidget* parent = nullptr);

    CMainSheet* sheet() const { return sheet_; }

    QSize minimumSizeHint() const override;

  private:
    QScrollArea* scroller_;
    CMainSheet* sheet_;  // inside the scroller
};

}  // namespace halvorn
