#pragma once
// The "Morse-Thue" panel: base, start and step of the digit sums.

#include <QLineEdit>

#include "ui/pages/micro/micro_panel.h"

namespace halvorn {

struct MorseThueDialogControls {
    QLineEdit* base = nullptr;
    QLineEdit* start = nullptr;
    QLineEdit* step = nullptr;
};

class CMorseThueDialog final : public CMicroPanel {
    Q_OBJECT
  public:
    static constexpr std::int32_t kMinBase = 2, kMaxBase = 9999999;
    static constexpr std::int32_t kMinStart = 0, kMaxStart = 99999999;
    static constexpr std::int32_t kMinStep = 1, kMaxStep = 9999999;

    CMorseThueDialog(RememberedParameters& remembered, Prompts& prompts, QWidget* parent);

    std::int32_t fractalType() const override { return kFractalMorseThue; }
    void load() override;
    bool read() override;
    std::optional<ParameterBytes> store() override;
    void randomize(RandomDraws& draws) override;
    std::optional<ParameterBytes> preview() const override;
    QList<QWidget*> fields() const override {
        return {controls_.base, controls_.start, controls_.step};
    }

    const MorseThueDialogControls& controls() const { return controls_; }

  private:
    void write();

    MorseThueParameters fields_;
    MorseThueDialogControls controls_;
};

}  // namespace halvorn
