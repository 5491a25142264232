#pragma once
// A text progress bar on standard error for renders that take more than a
// moment. It stays silent while the work is quick and when standard error is
// not a terminal, so scripts see only error lines there.

#include <chrono>

#include "engine/render_progress.h"

namespace halvorn::cli {

class ProgressBar final : public RenderProgress {
  public:
    explicit ProgressBar(const char* label);
    ~ProgressBar() override;  // clears the bar if it was drawn
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void setRange(int lower, int upper) override;
    void setStep(int step) override;
    void setPosition(int position) override;
    void stepOnce() override;

  private:
    void redraw();

    const char* label_;
    bool enabled_;
    bool drawn_ = false;
    int lower_ = 0;
    int upper_ = 100;
    int step_ = 1;
    int position_ = 0;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace halvorn::cli
