#pragma once
// How a painted view speaks: it lists what it shows as items (texts made
// by engine/picture_descriptions.h), keeps a cursor on one of them that the
// arrow keys move and the view draws while it has the focus, and tells a
// screen reader when the cursor moves or the items change. The piano roll,
// the values plot and the Mandelbrot view are such lists; the arrangement
// is a table (arrangement_display.h). accessible_views.h reads them.

#include <QFocusEvent>
#include <QKeyEvent>
#include <QString>
#include <algorithm>
#include <optional>

class QPainter;
class QRect;
class QWidget;

namespace halvorn {

class DescribedItems {
  public:
    virtual ~DescribedItems() = default;

    virtual int itemCount() const = 0;
    virtual QString itemText(int index) const = 0;
    // Where the item is drawn, in the view's coordinates; empty when it is
    // not in sight.
    virtual QRect itemRect(int index) const = 0;
    // The item under the cursor; -1 while there are none.
    virtual int cursorItem() const = 0;
    // What is said in place of the items while there are none.
    virtual QString emptyText() const = 0;
};

// Where the cursor of a list of `count` items goes on `key`: Left and Up
// one back, Right and Down one on, Home and End to the ends; nothing for any
// other key, and -1 for an empty list.
std::optional<int> movedCursor(int cursor, int count, int key);

// A screen reader hears that item `index` of `view` has the focus (only
// while the view has it).
void announceFocusedItem(QWidget* view, int index);

// A screen reader learns that the items of `view` changed.
void announceItemsChanged(QWidget* view);

// The cursor as the views draw it, `area` in the view's coordinates (at
// least a few pixels round it): a frame in the highlight colour between a
// dark edge and a light one, which shows on dark and light pictures alike.
void drawItemCursor(QPainter& painter, const QRect& area, const QWidget& view);

// The view's own border in the highlight colour while it has the focus.
void drawFocusBorder(QPainter& painter, const QWidget& view);

// A view of described items with its cursor, `Base` being the widget class
// it is: the keys move the cursor (the view redrawn, the item announced),
// and the focus coming shows it and announces its item.
template <typename Base>
class CDescribedView : public Base, public DescribedItems {
  public:
    using Base::Base;

    int cursorItem() const override { return itemCount() > 0 ? cursor_ : -1; }

  protected:
    // After the items changed: the cursor on one of them still.
    void keepCursorInRange() { cursor_ = std::clamp(cursor_, 0, std::max(itemCount() - 1, 0)); }

    void keyPressEvent(QKeyEvent* event) override {
        const auto moved = movedCursor(cursor_, itemCount(), event->key());
        if (!moved) {
            Base::keyPressEvent(event);
            return;
        }
        cursor_ = std::max(*moved, 0);
        this->update();
        announceFocusedItem(this, cursorItem());
    }
    void focusInEvent(QFocusEvent* event) override {
        Base::focusInEvent(event);
        this->update();
        announceFocusedItem(this, cursorItem());
    }
    void focusOutEvent(QFocusEvent* event) override {
        Base::focusOutEvent(event);
        this->update();
    }

  private:
    int cursor_ = 0;
};

}  // namespace halvorn
