#include "model/messages.h"

#include <cstdio>

namespace halvorn {
namespace {

void writeToStandardError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

MessageHandler& currentHandler() {
    static MessageHandler handler = writeToStandardError;
    return handler;
}

}  // namespace

void showMessage(const std::string& text) {
    currentHandler()(text);
}

MessageHandler setMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = handler ? std::move(handler) : MessageHandler(writeToStandardError);
    return previous;
}

}  // namespace halvorn
