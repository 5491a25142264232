#include "cli/command.h"

#include <cstdio>

namespace halvorn::cli {

void reportError(const std::string& text) {
    std::fprintf(stderr, "halvorn-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace halvorn::cli
