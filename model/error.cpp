#include "model/error.h"

#include <cctype>
#include <cstring>

namespace halvorn {

std::string Error::line() const {
    std::string text = path.empty() ? std::string() : path + ": ";
    text += message;
    if (!reason.empty()) text += " " + reason + ".";
    return text;
}

Error fileError(std::string message, std::string path, std::string reason, ErrorCode code) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
    if (!reason.empty())
        reason.front() =
            static_cast<char>(std::toupper(static_cast<unsigned char>(reason.front())));
    return {std::move(message), std::move(path), std::move(reason), code};
}

Error errorOf(ErrorCode code, std::string message, std::string reason) {
    return fileError(std::move(message), {}, std::move(reason), code);
}

std::string systemErrorText(int errorNumber) {
    return std::strerror(errorNumber);
}

}  // namespace halvorn
