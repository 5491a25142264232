#include "ui/pages/micro/ifs_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

namespace halvorn {

CIfsDialog::CIfsDialog(RememberedParameters& remembered, Prompts& prompts, QWidget* parent)
    : CMicroPanel(remembered, prompts, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Parámetros de IFS"), this));
    layout->addStretch();
}

}  // namespace halvorn
