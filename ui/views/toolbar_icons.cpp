#include "ui/views/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace halvorn {
namespace {

// Pictures are drawn on a 16 x 16 grid and rendered at twice that size, so
// they stay sharp on high-density screens.
constexpr int kGrid = 16;
constexpr int kScale = 2;

const QColor kInk(40, 40, 48);
const QColor kPaper(250, 250, 244);

void drawPage(QPainter& painter, QRectF page) {
    const qreal fold = 4;
    QPainterPath outline;
    outline.moveTo(page.topLeft());
    outline.lineTo(page.right() - fold, page.top());
    outline.lineTo(page.right(), page.top() + fold);
    outline.lineTo(page.bottomRight());
    outline.lineTo(page.bottomLeft());
    outline.closeSubpath();
    painter.setBrush(kPaper);
    painter.drawPath(outline);
    painter.drawPolyline(QPolygonF({QPointF(page.right() - fold, page.top()),
                                    QPointF(page.right() - fold, page.top() + fold),
                                    QPointF(page.right(), page.top() + fold)}));
}

void drawNew(QPainter& painter) {
    drawPage(painter, QRectF(3.5, 1.5, 9, 13));
    painter.setPen(QPen(QColor(230, 170, 20), 1.2));
    painter.drawLine(QPointF(12, 9), QPointF(15, 12));
    painter.drawLine(QPointF(15, 9), QPointF(12, 12));
}

void drawOpen(QPainter& painter) {
    painter.setBrush(QColor(222, 170, 60));
    painter.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5),
                                   QPointF(13.5, 5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
    painter.setBrush(QColor(248, 208, 96));
    painter.drawPolygon(QPolygonF(
        {QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
}

void drawSave(QPainter& painter) {
    painter.setBrush(QColor(52, 96, 170));
    painter.drawRect(QRectF(1.5, 1.5, 13, 13));
    painter.setBrush(kPaper);
    painter.drawRect(QRectF(4, 1.5, 8, 5));
    painter.setBrush(QColor(200, 200, 210));
    painter.drawRect(QRectF(4, 9.5, 8, 5));
    painter.fillRect(QRectF(9.5, 2.5, 1.5, 3), kInk);
}

void drawCopy(QPainter& painter) {
    drawPage(painter, QRectF(1.5, 1.5, 8, 10));
    drawPage(painter, QRectF(6.5, 4.5, 8, 10));
}

void drawDie(QPainter& painter, QRectF face, QColor colour) {
    painter.setBrush(colour);
    painter.drawRoundedRect(face, 2, 2);
}

void drawPip(QPainter& painter, QPointF centre) {
    painter.drawEllipse(centre, 1.1, 1.1);
}

void drawRandomValues(QPainter& painter) {
    drawDie(painter, QRectF(1.5, 1.5, 13, 13), QColor(200, 40, 40));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (const QPointF centre : {QPointF(4.8, 4.8), QPointF(11.2, 4.8), QPointF(8, 8),
                                 QPointF(4.8, 11.2), QPointF(11.2, 11.2)}) {
        drawPip(painter, centre);
    }
}

void drawRandomSeed(QPainter& painter) {
    painter.setBrush(QColor(150, 100, 50));
    painter.drawEllipse(QRectF(4, 9, 8, 6));
    painter.setPen(QPen(QColor(40, 140, 50), 1.3));
    painter.drawLine(QPointF(8, 9), QPointF(8, 3.5));
    painter.setPen(QPen(kInk, 0.8));
    painter.setBrush(QColor(80, 190, 80));
    QPainterPath leaf;
    leaf.moveTo(8, 5);
    leaf.quadTo(9, 1, 14, 1.5);
    leaf.quadTo(13, 5.5, 8, 5);
    painter.drawPath(leaf);
    QPainterPath otherLeaf;
    otherLeaf.moveTo(8, 6.5);
    otherLeaf.quadTo(6.5, 3, 2, 3.5);
    otherLeaf.quadTo(3, 7, 8, 6.5);
    painter.drawPath(otherLeaf);
}

void drawAbout(QPainter& painter) {
    painter.setBrush(QColor(40, 100, 190));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    QPainterPath hook;
    hook.moveTo(5.8, 6);
    hook.cubicTo(5.8, 3.3, 10.4, 3.3, 10.2, 6);
    hook.cubicTo(10.1, 7.6, 8, 7.6, 8, 9.6);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hook);
    painter.drawPoint(QPointF(8, 12));
}

}  // namespace

QIcon paintedIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kGrid * kScale, kGrid * kScale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kScale, kScale);
    painter.setPen(QPen(kInk, 1));
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

QIcon toolbarIcon(ToolbarIcon which) {
    return paintedIcon([which](QPainter& painter) {
        switch (which) {
            case ToolbarIcon::New:
                drawNew(painter);
                break;
            case ToolbarIcon::Open:
                drawOpen(painter);
                break;
            case ToolbarIcon::Save:
                drawSave(painter);
                break;
            case ToolbarIcon::Copy:
                drawCopy(painter);
                break;
            case ToolbarIcon::RandomValues:
                drawRandomValues(painter);
                break;
            case ToolbarIcon::RandomSeed:
                drawRandomSeed(painter);
                break;
            case ToolbarIcon::About:
                drawAbout(painter);
                break;
        }
    });
}

}  // namespace halvorn
