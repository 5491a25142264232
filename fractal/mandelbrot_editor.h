#pragma once
// The Mandelbrot path editor without its window: a view of the plane drawn
// into a W × H image, a zoom rectangle, the path kind and two points, and the
// operations of the editor's buttons. The panel on the Microsequences page
// shows the image and maps its buttons onto these operations.
//
// The overlay (the rectangle in mode Rectangle, the orbit or the line in the
// point modes) is drawn into the image by inverting pixels; every operation
// removes it, changes the state and draws it again, and every operation that
// redraws the set draws it on the fresh image.

#include <cstdint>
#include <vector>

#include "fractal/escape_image.h"
#include "fractal/mandelbrot_overlay.h"
#include "fractal/mandelbrot_palette.h"
#include "fractal/parameters.h"
#include "model/random.h"

namespace halvorn {

enum class EditMode : std::int32_t {
    Rectangle = 0,  // the arrows move the zoom rectangle
    Points = 1,     // the arrows move point 1, point 2 with it
    Point2 = 2,     // the arrows move point 2 alone
};

enum class Arrow { Up, Down, Left, Right };

// The view from (-2.333333, -2.0) to (2.0, 2.0), both points at (0, 0), Orbit.
MandelbrotParameters defaultMandelbrotParameters();

// Image height: `clientHeight` rounded down to a multiple of 3; width 4/3 of it.
struct ImageSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
ImageSize mandelbrotImageSize(std::int32_t clientHeight);

class MandelbrotEditor {
  public:
    // Arrow steps: 6 rows or 8 columns.
    static constexpr std::int32_t kRowStep = 6;
    static constexpr std::int32_t kColumnStep = 8;

    // Throws std::bad_alloc when the image cannot be had.
    explicit MandelbrotEditor(ImageSize size);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // How drawSet computes (the progress function, the instruction set).
    void setDrawOptions(EscapeDrawOptions options) { drawOptions_ = std::move(options); }

    // The panel contract. load takes the view, the points (to their pixels)
    // and the path kind, resets the rectangle and the mode, and draws.
    void load(const MandelbrotParameters& parameters);
    // The view, the points at their pixels' places and the path kind (0 or 1).
    MandelbrotParameters store() const;
    // Path kind, then both columns, then both rows, from `draws` (a
    // randomising command's, seeded from the clock).
    void randomize(RandomDraws& draws);

    // "Fix Point(s)": Rectangle -> Points -> (Line only) Point2 -> Rectangle.
    void fixPoints();
    // False when the move would leave the image; nothing changes then.
    bool move(Arrow arrow);
    bool grow();
    bool shrink();
    void zoomIn();
    void zoomOut();
    void reset();
    void redraw();
    // The "Orbit"/"Line" choice: 0 Orbit, 1 Line.
    void setPathKind(std::int32_t pathKind);

    EditMode editMode() const { return editMode_; }
    std::int32_t pathKind() const { return pathKind_; }
    PixelPoint point1() const { return point1_; }
    PixelPoint point2() const { return point2_; }
    PixelRect zoomRect() const { return zoomRect_; }
    const PlaneView& view() const { return view_; }
    const std::vector<std::uint32_t>& image() const { return image_; }
    const MandelbrotPalette& palette() const { return palette_; }

  private:
    PixelImage pixels();
    PixelRect fullRect() const;
    double dx() const;
    double dy() const;
    PixelPoint pixelOf(double x, double y) const;
    void drawSet();
    void toggleOverlay();
    void showNewImage();
    // Removes the overlay, runs `change`, draws the overlay again.
    template <typename Change>
    auto changeOverlay(Change change);
    void normaliseRect();
    bool moveRect(Arrow arrow);
    bool movePoint(PixelPoint& moved, PixelPoint* follower, Arrow arrow);

    std::int32_t width_;
    std::int32_t height_;
    MandelbrotPalette palette_;
    std::vector<std::uint32_t> image_;
    PlaneView view_;
    PixelPoint point1_;
    PixelPoint point2_;
    PixelRect zoomRect_;
    EditMode editMode_ = EditMode::Rectangle;
    std::int32_t pathKind_ = MandelbrotParameters::kOrbit;
    EscapeDrawOptions drawOptions_;
};

}  // namespace halvorn
