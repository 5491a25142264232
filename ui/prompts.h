#pragma once
// The one way pages, dialogs and the document talk to the user: messages,
// questions and file names. The application installs QtPrompts; tests install
// ScriptedPrompts, so nothing modal ever blocks a test.

#include <QString>
#include <optional>

namespace halvorn {

enum class Answer { Yes, No, Cancel };

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
