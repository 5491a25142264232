#pragma once
// The "Mandelbrot" panel: a view of the set with a zoom rectangle, the path
// kind, and one or two points placed with the arrow buttons. The editing
// itself is MandelbrotEditor's; the panel maps buttons onto it, keeps the
// buttons' states and caption, drives the page's progress bar while the set
// is drawn, and shows the image.

#include <memory>

#include "fractal/mandelbrot_editor.h"
#include "ui/pages/micro/micro_panel.h"

class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace halvorn {

class CMandelbrotDisplay;

struct MandelbrotDialogControls {
    CMandelbrotDisplay* display = nullptr;
    QGroupBox* path = nullptr;
    QRadioButton* orbit = nullptr;
    QRadioButton* line = nullptr;
    QPushButton* fixPoints = nullptr;
    QPushButton* randomize = nullptr;
    QPushButton* zoomIn = nullptr;
    QPushButton* zoomOut = nullptr;
    QPushButton* reset = nullptr;
    QPushButton* redraw = nullptr;
    QPushButton* up = nullptr;
    QPushButton* down = nullptr;
    QPushButton* left = nullptr;
    QPushButton* right = nullptr;
    QPushButton* grow = nullptr;
    QPushButton* shrink = nullptr;
};

class CMandelbrotDialog final : public CMicroPanel {
    Q_OBJECT
  public:
    // The image is 480 × 360 pixels.
    static constexpr int kDisplayClientHeight = 360;

    // `progress` (the page's bar, may be null) follows the rows being drawn;
    // the "Randomize" button takes its draws from `commandDraws` (the
    // application's, which outlives the panel).
    CMandelbrotDialog(RememberedParameters& remembered, Prompts& prompts, QProgressBar* progress,
                      const CommandDraws& commandDraws, QWidget* parent);
    ~CMandelbrotDialog() override;

    std::int32_t fractalType() const override { return kFractalMandelbrot; }
    void load() override;
    bool read() override { return true; }
    std::optional<ParameterBytes> store() override;
    void randomize(RandomDraws& draws) override;
    std::optional<ParameterBytes> preview() const override;

    // The buttons.
    void randomizeFromTheClock();
    void fixPoints();
    void move(Arrow arrow);
    void grow();
    void shrink();
    void zoomIn();
    void zoomOut();
    void reset();
    void redraw();

    // Null when the image could not be had.
    const MandelbrotEditor* editor() const { return editor_.get(); }
    const MandelbrotDialogControls& controls() const { return controls_; }

  private:
    QWidget* buildButtons();
    QPushButton* addButton(const QString& caption, void (CMandelbrotDialog::*handler)());
    void createEditor(QProgressBar* progress);
    void pathKindChosen();
    // Runs `operation` on the editor, when there is one, then showState.
    template <typename Operation>
    void edit(Operation operation);
    // Caption, enabled buttons and radio buttons from the editor's state,
    // then the image and the news that the fields changed.
    void showState();

    std::unique_ptr<MandelbrotEditor> editor_;
    const CommandDraws& commandDraws_;
    MandelbrotDialogControls controls_;
};

}  // namespace halvorn
