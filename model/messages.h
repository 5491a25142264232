#pragma once
// The one path by which the core shows a message to the user. The GUI points
// it at its message boxes, the command-line tool at standard error, tests at
// a recorder. The default writes to standard error.

#include <functional>
#include <string>

namespace halvorn {

using MessageHandler = std::function<void(const std::string& text)>;

// Shows `text` through the current handler.
void showMessage(const std::string& text);

// Installs `handler` and returns the previous one; an empty handler restores
// the default.
MessageHandler setMessageHandler(MessageHandler handler);

}  // namespace halvorn
