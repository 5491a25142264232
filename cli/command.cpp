#include "cli/command.h"

#include <cstdio>

namespace halvorn::cli {

Error usageError(std::string text) {
    return errorOf(ErrorCode::kUsage, std::move(text));
}

Error commandFailure(ErrorCode code, std::string text) {
    return errorOf(code, std::move(text));
}

void reportError(const std::string& text) {
    std::fprintf(stderr, "halvorn-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace halvorn::cli
