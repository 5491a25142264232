#pragma once
// Prompts shown as the toolkit's modal message boxes and file dialogs, over
// the dialog or window the user is working in (the main window while it is
// still coming up).

#include "ui/session/prompts.h"

namespace halvorn {

class QtPrompts final : public Prompts {
  public:
    bool askYesNo(const QString& question) override;
    Answer askYesNoCancel(const QString& question) override;
    std::optional<QString> askOpenFileName(const QString& filter) override;
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
    std::optional<QString> askFolder(const QString& title) override;
    Answer askChoice(const ChoiceRequest& request) override;

  protected:
    void showMessage(const QString& text, const QString& detail) override;
};

}  // namespace halvorn
