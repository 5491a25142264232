#include "ui/views/described_items.h"

#include <QAccessible>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace halvorn {

std::optional<int> movedCursor(int cursor, int count, int key) {
    int moved = cursor;
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            moved = cursor - 1;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            moved = cursor + 1;
            break;
        case Qt::Key_Home:
            moved = 0;
            break;
        case Qt::Key_End:
            moved = count - 1;
            break;
        default:
            return std::nullopt;
    }
    return count > 0 ? std::clamp(moved, 0, count - 1) : -1;
}

void announceFocusedItem(QWidget* view, int index) {
    if (!view->hasFocus() || index < 0) return;
    QAccessibleEvent event(view, QAccessible::Focus);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

void announceItemsChanged(QWidget* view) {
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

// A note or a point may be a pixel or two: the cursor is never smaller
// than this round it.
constexpr int kSmallestCursor = 12;

void drawItemCursor(QPainter& painter, const QRect& area, const QWidget& view) {
    if (area.isEmpty()) return;
    QRect shown = area;
    if (shown.width() < kSmallestCursor) {
        shown.setLeft(area.center().x() - kSmallestCursor / 2);
        shown.setWidth(kSmallestCursor);
    }
    if (shown.height() < kSmallestCursor) {
        shown.setTop(area.center().y() - kSmallestCursor / 2);
        shown.setHeight(kSmallestCursor);
    }
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(shown.adjusted(-3, -3, 2, 2));
    painter.setPen(QPen(view.palette().color(QPalette::Highlight), 2));
    painter.drawRect(shown.adjusted(-1, -1, 0, 0));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(shown.adjusted(0, 0, -1, -1));
    painter.restore();
}

void drawFocusBorder(QPainter& painter, const QWidget& view) {
    if (!view.hasFocus()) return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(view.palette().color(QPalette::Highlight), 2));
    painter.drawRect(view.rect().adjusted(1, 1, -1, -1));
    painter.restore();
}

}  // namespace halvorn
