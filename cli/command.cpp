#include "cli/command.h"

#include <cstdio>

namespace halvorn::cli {

void reportError(const std::string& text) {
    std::fprintf(stderr, "halvorn-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

int usageError(const std::string& text) {
    reportError(text);
    return kExitUsage;
}

}  // namespace halvorn::cli
