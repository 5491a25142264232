#include "model/file_error.h"

#include <cctype>
#include <cstring>

namespace halvorn {

std::string FileError::line() const {
    std::string text = path.empty() ? std::string() : path + ": ";
    text += message;
    if (!reason.empty()) text += " " + reason + ".";
    return text;
}

FileError fileError(std::string message, std::string path, std::string reason) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
    if (!reason.empty())
        reason.front() =
            static_cast<char>(std::toupper(static_cast<unsigned char>(reason.front())));
    return {std::move(message), std::move(path), std::move(reason)};
}

std::string systemErrorText(int errorNumber) {
    return std::strerror(errorNumber);
}

}  // namespace halvorn
