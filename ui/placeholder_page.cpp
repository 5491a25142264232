#include "ui/placeholder_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace halvorn {

CPlaceholderPage::CPlaceholderPage(const QString& caption, QWidget* parent) : CSheetPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(caption, this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    layout->addWidget(label);
}

}  // namespace halvorn
