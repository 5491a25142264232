#include "app/halvorn_view.h"

#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/frame/main_sheet.h"

namespace halvorn {
namespace {

// Lines of text the window's own parts take at least around the view: the
// title bar, the menu bar, the toolbar, the status bar and their margins.
constexpr int kLinesAroundView = 8;

}  // namespace

CHalvornView::CHalvornView(AppContext& context, QWidget* parent)
    : QWidget(parent), scroller_(new QScrollArea(this)), sheet_(new CMainSheet(context)) {
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(4, 4, 4, 4);
    contentLayout->addWidget(sheet_);
    sheet_->setCurrentIndex(0);

    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);  // the sheet fills the view, never below its minimum
    scroller_->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroller_);
}

QSize CHalvornView::readableSize() const {
    return scroller_->widget()->minimumSizeHint();
}

QSize CHalvornView::minimumSizeHint() const {
    const QScreen* shownOn = screen();
    return shownOn ? readableSize().boundedTo(roomOn(*shownOn)) : readableSize();
}

// Once the window is laid out, what it is larger than the view is known; a
// floor of a few lines covers a title bar not drawn yet.
QSize CHalvornView::roomOn(const QScreen& screen) const {
    QSize around(0, kLinesAroundView * fontMetrics().height());
    if (isVisible()) around = around.expandedTo(window()->frameGeometry().size() - size());
    const QSize smallest(16 * fontMetrics().height(), 8 * fontMetrics().height());
    return (screen.availableSize() - around).expandedTo(smallest);
}

// Shown, the window's parts are measured and its screen known: the minimum
// is asked for again, and again whenever the window moves to another screen.
void CHalvornView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateGeometry();
    QWindow* shownIn = window()->windowHandle();
    if (followsScreen_ || !shownIn) return;
    followsScreen_ = true;
    connect(shownIn, &QWindow::screenChanged, this, [this] { updateGeometry(); });
}

}  // namespace halvorn
