#pragma once
// The one way pages, dialogs and the document talk to the user: messages,
// questions and file names. The application hands its parts QtPrompts;
// tests hand them ScriptedPrompts, so nothing modal ever blocks a test.

#include <QString>
#include <optional>

#include "model/error.h"

namespace halvorn {

enum class Answer { Yes, No, Cancel };

// A save dialog for one kind of file: the filter as the user reads it and
// the files it lists, the extension a name typed without one receives
// (before the dialog asks whether to overwrite an existing file), and the
// name (with its folder) the dialog starts with, if any.
struct SaveFileRequest {
    QString filterText;
    QString filterPattern;
    QString defaultSuffix;
    QString suggestedPath = {};
    // The dialog's window title.
    QString title = QStringLiteral("Save As");
};

// A question with three answers of its own: the buttons' texts for Yes, No
// and Cancel (Cancel is also what closing the box answers), and a line of
// detail beneath the question.
struct ChoiceRequest {
    QString question;
    QString detail;
    QString yesText;
    QString noText;
    QString cancelText;
};

// `path` with "." and `suffix` appended when its file name has no extension.
QString withDefaultSuffix(const QString& path, const QString& suffix);

class Prompts {
  public:
    virtual ~Prompts() = default;

    // `text` as the message, and `detail` (which file, and why) beneath it;
    // nothing while muted.
    void message(const QString& text, const QString& detail = QString()) {
        if (muted_ == 0) showMessage(text, detail);
    }
    // Whether messages are held back (a page read quietly to see its edits).
    bool muted() const { return muted_ > 0; }
    virtual bool askYesNo(const QString& question) = 0;
    virtual Answer askYesNoCancel(const QString& question) = 0;
    // Nothing when the user cancels the dialog.
    virtual std::optional<QString> askOpenFileName(const QString& filter) = 0;
    // The folder must exist and an existing file is only overwritten when
    // the user agrees. Nothing when the user cancels.
    virtual std::optional<QString> askSaveFile(const SaveFileRequest& request) = 0;
    // A folder to write files into, which the dialog lets the user make;
    // `title` is the dialog's. Nothing when the user cancels.
    virtual std::optional<QString> askFolder(const QString& title) = 0;
    virtual Answer askChoice(const ChoiceRequest& request) = 0;

  protected:
    virtual void showMessage(const QString& text, const QString& detail) = 0;

  private:
    friend class MutedPrompts;
    int muted_ = 0;
};

// Holds `prompts`' messages back for the life of the scope.
class MutedPrompts {
  public:
    explicit MutedPrompts(Prompts& prompts) : prompts_(prompts) { ++prompts_.muted_; }
    ~MutedPrompts() { --prompts_.muted_; }
    MutedPrompts(const MutedPrompts&) = delete;
    MutedPrompts& operator=(const MutedPrompts&) = delete;

  private:
    Prompts& prompts_;
};

// The error's message, with the file's path and the reason as its detail.
void showFileError(Prompts& prompts, const Error& error);

// "PATH" and "Reason." on two lines, as an error's detail.
QString fileErrorDetail(const Error& error);

}  // namespace halvorn
