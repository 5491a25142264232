#pragma once
// Prompts for tests: records every message and question and answers from
// scripts. An unscripted question is answered Cancel (or No), an unscripted
// file request as cancelled, and both are counted so a test can notice them.

#include <deque>
#include <vector>

#include "ui/session/prompts.h"

namespace halvorn {

class ScriptedPrompts final : public Prompts {
  public:
    std::vector<QString> messages;
    std::vector<QString> details;  // one for each message, empty for none
    std::vector<QString> questions;
    std::deque<Answer> answers;
    std::deque<QString> fileNames;  // an empty name answers as cancelled
    std::vector<SaveFileRequest> saveRequests;
    std::vector<QString> folderRequests;  // the titles of the folder dialogs
    int unscripted = 0;

    bool askYesNo(const QString& question) override;
    Answer askYesNoCancel(const QString& question) override;
    std::optional<QString> askOpenFileName(const QString& filter) override;
    // The next file name, given the request's extension as the dialog would.
    std::optional<QString> askSaveFile(const SaveFileRequest& request) override;
    // The next file name, taken as a folder.
    std::optional<QString> askFolder(const QString& title) override;
    // The question and its detail are recorded as one question.
    Answer askChoice(const ChoiceRequest& request) override;

  protected:
    void showMessage(const QString& text, const QString& detail) override {
        messages.push_back(text);
        details.push_back(detail);
    }

  private:
    Answer nextAnswer(const QString& question, Answer fallback);
    std::optional<QString> nextFileName();
};

}  // namespace halvorn
