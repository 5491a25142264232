#include "ui/pages/copy_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include "model/song.h"
#include "ui/fields/field_names.h"
#include "ui/fields/list_fields.h"
#include "ui/session/prompts.h"

namespace halvorn {
namespace {

QString captionFor(CopyMode mode) {
    switch (mode) {
        case CopyMode::Microsequence:
            return QStringLiteral("Copy Microsequence");
        case CopyMode::Block:
            return QStringLiteral("Copy Block");
        case CopyMode::Macrosequence:
            return QStringLiteral("Copy Macrosequence");
    }
    return QStringLiteral("Copy");
}

}  // namespace

CCopyDialog::CCopyDialog(Prompts& prompts, const Song* song, CopyMode mode,
                         std::int32_t currentIndex, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      song_(song),
      mode_(mode),
      currentIndex_(currentIndex),
      sourceList_(new QComboBox(this)),
      destinationList_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Copy"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* from = new QLabel(QStringLiteral("From:"), this);
    auto* to = new QLabel(QStringLiteral("to:"), this);
    labelField(from, sourceList_);
    labelField(to, destinationList_);
    form->addRow(from, sourceList_);
    form->addRow(to, destinationList_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    sourceList_->setToolTip(QStringLiteral("The entry whose settings are copied"));
    destinationList_->setToolTip(QStringLiteral(
        "The entry that receives the copy (its settings are replaced), or a new one"));
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Copy and close"));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Close without copying"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CCopyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCopyDialog::reject);
    layout->addWidget(buttons);
}

std::int32_t CCopyDialog::entryCount() const {
    return song_ ? copyEntryCount(*song_, mode_) : 0;
}

bool CCopyDialog::prepare() {
    if (entryCount() <= 0) {
        prompts_.message(QStringLiteral("There's nothing to copy!"));
        setResult(QDialog::Rejected);
        return false;
    }
    setWindowTitle(captionFor(mode_));
    fitTitle();
    fillLists();
    sourceIndex_ = destinationIndex_ = currentIndex_;
    sourceList_->setCurrentIndex(currentIndex_);
    destinationList_->setCurrentIndex(currentIndex_);
    return true;
}

void CCopyDialog::fillLists() {
    sourceList_->clear();
    destinationList_->clear();
    const std::int32_t count = entryCount();
    const QStringList entries = recordListEntries(
        song_, mode_ == CopyMode::Microsequence ? RecordKind::Microsequence : RecordKind::Block,
        count);
    sourceList_->addItems(entries);
    destinationList_->addItems(entries);
    if (const auto newEntry = copyNewEntryName(mode_, count)) {
        destinationList_->addItem(recordListEntry(count, QString::fromStdString(*newEntry)));
    }
}

// A window manager cuts a title wider than its window: the dialog leaves
// room for the title in a bold face and the title bar's icon and buttons.
void CCopyDialog::fitTitle() {
    constexpr int kTitleBarExtras = 160;
    QFont title = font();
    title.setBold(true);
    const int needed = QFontMetrics(title).horizontalAdvance(windowTitle()) + kTitleBarExtras;
    setMinimumWidth(std::max(minimumSizeHint().width(), needed));
}

int CCopyDialog::exec() {
    if (!prepare()) return QDialog::Rejected;
    return QDialog::exec();
}

void CCopyDialog::accept() {
    sourceIndex_ = sourceList_->currentIndex();
    destinationIndex_ = destinationList_->currentIndex();
    if (sourceIndex_ == destinationIndex_) {
        prompts_.message(QStringLiteral("Source and destiny must be different."));
        return;
    }
    QDialog::accept();
}

}  // namespace halvorn
