#pragma once
// Prompts shown as the toolkit's modal message boxes and file dialogs, parented
// to the active window.

#include "ui/prompts.h"

namespace halvorn {

class QtPrompts final : public Prompts {
  public:
    void message(const QString& text) override;
    bool askYesNo(const QString& question) override;
    Answer askYesNoCancel(const QString& question) override;
    std::optional<QString> askOpenFileName(const QString& filter) override;
    std::optional<QString> askSaveFileName(const QString& suggestedPath,
                                           const QString& filter) override;
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
};

}  // namespace halvorn
