#pragma once
// The panel of the reserved fourth fractal type: a caption and no fields.
// A record saved with it has no parameter block and so no values.

#include "ui/pages/micro/micro_panel.h"

namespace halvorn {

class CIfsDialog final : public CMicroPanel {
    Q_OBJECT
  public:
    CIfsDialog(RememberedParameters& remembered, Prompts& prompts, QWidget* parent);

    std::int32_t fractalType() const override { return kFractalPlaceholder; }
    void load() override {}
    bool read() override { return true; }
    std::optional<ParameterBytes> store() override { return std::nullopt; }
    void randomize(RandomDraws&) override {}
    std::optional<ParameterBytes> preview() const override { return std::nullopt; }
};

}  // namespace halvorn
