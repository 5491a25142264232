#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace halvorn::cli {
namespace {

constexpr auto kQuietFor = std::chrono::milliseconds(300);
constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar(const char* label)
    : label_(label),
      enabled_(::isatty(STDERR_FILENO) == 1),
      started_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    if (drawn_) std::fprintf(stderr, "\r%*s\r", kBarWidth + 32, "");
}

void ProgressBar::setRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    redraw();
}

void ProgressBar::setStep(int step) {
    step_ = step;
}

void ProgressBar::setPosition(int position) {
    position_ = position;
    redraw();
}

void ProgressBar::stepOnce() {
    position_ += step_;
    redraw();
}

void ProgressBar::redraw() {
    if (!enabled_ || std::chrono::steady_clock::now() - started_ < kQuietFor) return;
    const int span = std::max(upper_ - lower_, 1);
    const int done = std::clamp(position_ - lower_, 0, span);
    const int filled = done * kBarWidth / span;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_, std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), done * 100 / span);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace halvorn::cli
