#include "tests/support/scripted_prompts.h"

namespace halvorn {

Answer ScriptedPrompts::nextAnswer(const QString& question, Answer fallback) {
    questions.push_back(question);
    if (answers.empty()) {
        ++unscripted;
        return fallback;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedPrompts::nextFileName() {
    if (fileNames.empty()) {
        ++unscripted;
        return std::nullopt;
    }
    const QString name = fileNames.front();
    fileNames.pop_front();
    if (name.isEmpty()) return std::nullopt;
    return name;
}

bool ScriptedPrompts::askYesNo(const QString& question) {
    return nextAnswer(question, Answer::No) == Answer::Yes;
}

Answer ScriptedPrompts::askYesNoCancel(const QString& question) {
    return nextAnswer(question, Answer::Cancel);
}

Answer ScriptedPrompts::askChoice(const ChoiceRequest& request) {
    return nextAnswer(request.question, Answer::Cancel);
}

std::optional<QString> ScriptedPrompts::askOpenFileName(const QString&) {
    return nextFileName();
}

std::optional<QString> ScriptedPrompts::askSaveFile(const SaveFileRequest& request) {
    saveRequests.push_back(request);
    const auto name = nextFileName();
    if (!name) return std::nullopt;
    return withDefaultSuffix(*name, request.defaultSuffix);
}

std::optional<QString> ScriptedPrompts::askFolder(const QString& title) {
    folderRequests.push_back(title);
    return nextFileName();
}

}  // namespace halvorn
