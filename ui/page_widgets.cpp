#include "ui/page_widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace halvorn {

QLabel* caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

QLabel* centredCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QLineEdit* makeNumberEdit(QWidget* parent, int digits) {
    auto* edit = new QLineEdit(parent);
    fitToDigits(edit, digits);
    return edit;
}

void fitToDigits(QLineEdit* edit, int digits) {
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(digits + 1, '0')) + 16);
}

QHBoxLayout* withUnit(QWidget* field, const QString& unit, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(caption(unit, parent));
    row->addStretch();
    return row;
}

}  // namespace halvorn
