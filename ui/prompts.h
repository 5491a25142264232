#pragma once
// The one way pages, dialogs and the document talk to the user: messages,
// questions and file names. The application installs QtPrompts; tests install
// ScriptedPrompts, so nothing modal ever blocks a test.

#include <QString>
#include <optional>

namespace halvorn {

enum class Answer { Yes, No, Cancel };

// A save dialog for one kind of file: the filter as the user reads it and
// the files it lists, and the extension a name typed without one receives
// (before the dialog asks whether to overwrite an existing file).
struct SaveFileRequest {
    QString filterText;
    QString filterPattern;
    QString defaultSuffix;
};

// `path` with "." and `suffix` appended when its file name has no extension.
QString withDefaultSuffix(const QString& path, const QString& suffix);

class Prompts {
  public:
    virtual ~Prompts() = default;

    virtual void message(const QString& text) = 0;
    virtual bool askYesNo(const QString& question) = 0;
    virtual Answer askYesNoCancel(const QString& question) = 0;
    // Nothing when the user cancels the dialog.
    virtual std::optional<QString> askOpenFileName(const QString& filter) = 0;
    virtual std::optional<QString> askSaveFileName(const QString& suggestedPath,
                                                   const QString& filter) = 0;
    // No initial name; the folder must exist and an existing file is only
    // overwritten when the user agrees. Nothing when the user cancels.
    virtual std::optional<QString> askSaveFile(const SaveFileRequest& request) = 0;
};

// The prompts in force: the installed ones, or message boxes by default.
Prompts& prompts();

// Installs `current` (not owned; it must outlive its use) and returns the
// previous one; nullptr restores the default.
Prompts* setPrompts(Prompts* current);

// Installs prompts for the lifetime of a scope.
class PromptsScope {
  public:
    explicit PromptsScope(Prompts& scoped) : previous_(setPrompts(&scoped)) {}
    ~PromptsScope() { setPrompts(previous_); }
    PromptsScope(const PromptsScope&) = delete;
    PromptsScope& operator=(const PromptsScope&) = delete;

  private:
    Prompts* previous_;
};

}  // namespace halvorn
