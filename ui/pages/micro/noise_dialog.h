#pragma once
// The "Noise" panel: correlation, seed and range of the summed generators.

#include <QComboBox>
#include <QLineEdit>

#include "ui/pages/micro/micro_panel.h"

namespace halvorn {

struct NoiseDialogControls {
    QComboBox* correlation = nullptr;
    QLineEdit* seed = nullptr;
    QLineEdit* range = nullptr;
};

class CNoiseDialog final : public CMicroPanel {
    Q_OBJECT
  public:
    static constexpr std::int32_t kMaxRange = 255;

    CNoiseDialog(RememberedParameters& remembered, Prompts& prompts, QWidget* parent);

    // Seed 0, "Medium (Pink Noise)", range 10.
    static NoiseParameters defaults();

    std::int32_t fractalType() const override { return kFractalNoise; }
    void load() override;
    bool read() override;
    std::optional<ParameterBytes> store() override;
    void randomize(RandomDraws& draws) override;
    std::optional<ParameterBytes> preview() const override;
    QList<QWidget*> fields() const override {
        return {controls_.correlation, controls_.seed, controls_.range};
    }

    // The "Random Seed" command: a new seed from the next draw, 0..268435454.
    void drawSeed(RandomDraws& draws);

    const NoiseDialogControls& controls() const { return controls_; }

  private:
    void write();

    NoiseParameters fields_ = defaults();
    NoiseDialogControls controls_;
};

}  // namespace halvorn
