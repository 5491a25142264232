#include "app/halvorn_view.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/frame/main_sheet.h"

namespace halvorn {

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

QSize CHalvornView::minimumSizeHint() const {
    return scroller_->widget()->minimumSizeHint();
}

}  // namespace halvorn
