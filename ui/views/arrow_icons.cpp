#include "ui/views/arrow_icons.h"

#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include "ui/views/toolbar_icons.h"

namespace halvorn {
namespace {

// An arrow pointing up with its tip at (8, tipY), rotated by `degrees`
// clockwise about the centre of the grid.
void drawArrow(QPainter& painter, qreal degrees, qreal tipY, qreal length, qreal headWidth) {
    QTransform turn;
    turn.translate(8, 8).rotate(degrees).translate(-8, -8);
    const qreal headLength = headWidth * 0.8;
    const qreal shaft = headWidth * 0.3;
    const QPolygonF arrow(
        {QPointF(8, tipY), QPointF(8 + headWidth / 2, tipY + headLength),
         QPointF(8 + shaft / 2, tipY + headLength), QPointF(8 + shaft / 2, tipY + length),
         QPointF(8 - shaft / 2, tipY + length), QPointF(8 - shaft / 2, tipY + headLength),
         QPointF(8 - headWidth / 2, tipY + headLength)});
    painter.drawPolygon(turn.map(arrow));
}

// Four arrows on the diagonals, pointing away from the centre (tips at the
// corners) or toward it (tails at the corners).
void drawFourArrows(QPainter& painter, bool outward) {
    for (const qreal degrees : {45.0, 135.0, 225.0, 315.0}) {
        if (outward) {
            drawArrow(painter, degrees, -1.0, 6.0, 5.0);
        } else {
            drawArrow(painter, degrees, 10.5, 6.0, 5.0);
        }
    }
}

}  // namespace

QIcon arrowIcon(ArrowIcon which) {
    return paintedIcon([which](QPainter& painter) {
        painter.setBrush(painter.pen().color());
        painter.setPen(Qt::NoPen);
        switch (which) {
            case ArrowIcon::Up:
                drawArrow(painter, 0, 2, 12, 10);
                break;
            case ArrowIcon::Right:
                drawArrow(painter, 90, 2, 12, 10);
                break;
            case ArrowIcon::Down:
                drawArrow(painter, 180, 2, 12, 10);
                break;
            case ArrowIcon::Left:
                drawArrow(painter, 270, 2, 12, 10);
                break;
            case ArrowIcon::Grow:
                drawFourArrows(painter, true);
                break;
            case ArrowIcon::Shrink:
                drawFourArrows(painter, false);
                break;
        }
    });
}

}  // namespace halvorn
