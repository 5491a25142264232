#include "app/halvorn_view.h"

#include <QVBoxLayout>

#include "ui/main_sheet.h"

namespace halvorn {

CHalvornView::CHalvornView(QWidget* parent) : QWidget(parent), sheet_(new CMainSheet(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(sheet_);
    sheet_->setCurrentIndex(0);
}

}  // namespace halvorn
