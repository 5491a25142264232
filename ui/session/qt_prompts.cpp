#include "ui/session/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

namespace halvorn {
namespace {

const QString kCaption = QStringLiteral("Halvorn");

// A message asked for before the window system has made the new main window
// active (an unreadable document named on the command line) still comes up
// over it.
QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && qobject_cast<QMainWindow*>(window)) return window;
    }
    return nullptr;
}

std::optional<QString> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace

void QtPrompts::showMessage(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::Ok, dialogParent());
    box.setInformativeText(detail);
    box.exec();
}

bool QtPrompts::askYesNo(const QString& question) {
    return QMessageBox::question(dialogParent(), kCaption, question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

Answer QtPrompts::askYesNoCancel(const QString& question) {
    const auto button = QMessageBox::question(
        dialogParent(), kCaption, question,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes) return Answer::Yes;
    if (button == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

Answer QtPrompts::askChoice(const ChoiceRequest& request) {
    QMessageBox box(QMessageBox::Question, kCaption, request.question, QMessageBox::NoButton,
                    dialogParent());
    box.setInformativeText(request.detail);
    QPushButton* yes = box.addButton(request.yesText, QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(request.noText, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(request.cancelText, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) return Answer::Yes;
    if (box.clickedButton() == no) return Answer::No;
    return Answer::Cancel;
}

std::optional<QString> QtPrompts::askOpenFileName(const QString& filter) {
    return chosen(
        QFileDialog::getOpenFileName(dialogParent(), QStringLiteral("Open"), QString(), filter));
}

// The filter lists `filterPattern` while showing only `filterText`: the
// toolkit takes the patterns from the last parentheses and hides them.
std::optional<QString> QtPrompts::askSaveFile(const SaveFileRequest& request) {
    QFileDialog dialog(dialogParent(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(request.filterText + QStringLiteral(" (") + request.filterPattern +
                         QLatin1Char(')'));
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.suggestedPath.isEmpty()) dialog.selectFile(request.suggestedPath);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return chosen(withDefaultSuffix(files.first(), request.defaultSuffix));
}

std::optional<QString> QtPrompts::askFolder(const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(dialogParent(), title, QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace halvorn
