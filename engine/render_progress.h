#pragma once
// The progress bar a song rendering reports to: the caller's bar in the
// user interface, or nothing at all.

namespace halvorn {

class RenderProgress {
  public:
    virtual ~RenderProgress() = default;
    virtual void setRange(int lower, int upper) = 0;
    virtual void setStep(int step) = 0;
    virtual void setPosition(int position) = 0;
    virtual void stepOnce() = 0;
};

// For callers without a bar (the command-line tool, tests).
class NoRenderProgress final : public RenderProgress {
  public:
    void setRange(int, int) override {}
    void setStep(int) override {}
    void setPosition(int) override {}
    void stepOnce() override {}
};

}  // namespace halvorn
