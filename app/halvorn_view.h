#pragma once
// The frame's client area, whose only content is the main sheet; the sheet
// follows the view's size through the layout.
//
// The view asks for the size at which every field of every page is
// readable, and the frame takes it as its minimum, as far as the screen
// has room for it: on a screen too small for it (a large scale factor, a
// small display) the window fits the screen and the pages scroll inside
// it. A window made smaller anyway (a window manager that ignores the
// minimum, or none at all) keeps the sheet at that size and scrolls it
// instead of crushing its fields.

#include <QWidget>

class QScreen;
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
    // The size at which every field is readable, whatever the screen.
    QSize readableSize() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // What `screen` leaves the view once the window's title bar, menus,
    // toolbar and status bar have theirs.
    QSize roomOn(const QScreen& screen) const;

    QScrollArea* scroller_;
    CMainSheet* sheet_;  // inside the scroller
    bool followsScreen_ = false;
};

}  // namespace halvorn
