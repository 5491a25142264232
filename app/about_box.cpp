#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

// The icons are linked from a static library, so their registration is asked
// for explicitly; it must run outside any namespace.
static void registerIconResources() {
    Q_INIT_RESOURCE(halvorn);
}

namespace halvorn {

QIcon applicationIcon() {
    registerIconResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/halvorn/icons/halvorn-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("&Acerca de Halvorn..."));
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(48, 48));
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(new QLabel(QStringLiteral("Halvorn  Version 1.0"), this), 0, 1);
    layout->addWidget(
        new QLabel(QStringLiteral("Music composed from fractal number sequences."), this), 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Copyright (C) Quorlane"), this), 2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 3, 0, 1, 2);
}

}  // namespace halvorn
