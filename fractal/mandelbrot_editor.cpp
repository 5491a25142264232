#include "fractal/mandelbrot_editor.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/random.h"

namespace halvorn {
namespace {

constexpr PlaneView kDefaultView{-2.333333, -2.0, 2.0, 2.0};

// Points are kept within this many pixels of the origin, so a far-off point
// from a document cannot make the line overlay run for ever or overflow.
constexpr std::int32_t kPointLimit = 1 << 15;

std::int32_t toPixel(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<std::int32_t>(
        std::clamp(value, static_cast<double>(-kPointLimit), static_cast<double>(kPointLimit)));
}

std::int32_t truncatedDraw(RandomDraws& draws, double span) {
    return static_cast<std::int32_t>(draws.next() * span);
}

}  // namespace

MandelbrotParameters defaultMandelbrotParameters() {
    MandelbrotParameters parameters;
    parameters.viewMinX = kDefaultView.minX;
    parameters.viewMinY = kDefaultView.minY;
    parameters.viewMaxX = kDefaultView.maxX;
    parameters.viewMaxY = kDefaultView.maxY;
    parameters.pathKind = MandelbrotParameters::kOrbit;
    return parameters;
}

ImageSize mandelbrotImageSize(std::int32_t clientHeight) {
    const std::int32_t thirds = std::max(clientHeight, 0) / 3;
    return {4 * thirds, 3 * thirds};
}

MandelbrotEditor::MandelbrotEditor(ImageSize size)
    : width_(std::max(size.width, 1)),
      height_(std::max(size.height, 1)),
      palette_(makeMandelbrotPalette()),
      image_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0),
      view_(kDefaultView),
      zoomRect_(fullRect()) {}

PixelImage MandelbrotEditor::pixels() {
    return {image_, width_, height_};
}

PixelRect MandelbrotEditor::fullRect() const {
    return {0, 0, width_ - 1, height_ - 1};
}

double MandelbrotEditor::dx() const {
    return (view_.maxX - view_.minX) / width_;
}

double MandelbrotEditor::dy() const {
    return (view_.maxY - view_.minY) / height_;
}

PixelPoint MandelbrotEditor::pixelOf(double x, double y) const {
    return {toPixel((x - view_.minX) * width_ / (view_.maxX - view_.minX)),
            toPixel((y - view_.minY) * height_ / (view_.maxY - view_.minY))};
}

void MandelbrotEditor::drawSet() {
    const EscapeGrid grid{view_.minX, view_.minY, view_.maxX, view_.maxY, width_, height_};
    drawEscapeImage(grid, palette_, image_, drawOptions_);
}

void MandelbrotEditor::toggleOverlay() {
    if (editMode_ == EditMode::Rectangle) {
        invertRectangleOutline(pixels(), zoomRect_);
    } else if (editMode_ == EditMode::Points && pathKind_ == MandelbrotParameters::kOrbit) {
        invertOrbit(pixels(), view_, point1_);
    } else {
        invertSquare(pixels(), point1_);
        if (point2_ != point1_) invertSquare(pixels(), point2_);
        invertLine(pixels(), point1_, point2_);
    }
}

void MandelbrotEditor::showNewImage() {
    drawSet();
    toggleOverlay();
}

template <typename Change>
auto MandelbrotEditor::changeOverlay(Change change) {
    toggleOverlay();
    auto result = change();
    toggleOverlay();
    return result;
}

void MandelbrotEditor::load(const MandelbrotParameters& parameters) {
    view_ = {parameters.viewMinX, parameters.viewMinY, parameters.viewMaxX, parameters.viewMaxY};
    point1_ = pixelOf(parameters.point1X, parameters.point1Y);
    point2_ = pixelOf(parameters.point2X, parameters.point2Y);
    zoomRect_ = fullRect();
    pathKind_ = parameters.pathKind == MandelbrotParameters::kOrbit ? MandelbrotParameters::kOrbit
                                                                    : MandelbrotParameters::kLine;
    editMode_ = EditMode::Rectangle;
    showNewImage();
}

MandelbrotParameters MandelbrotEditor::store() const {
    MandelbrotParameters parameters;
    parameters.viewMinX = view_.minX;
    parameters.viewMinY = view_.minY;
    parameters.viewMaxX = view_.maxX;
    parameters.viewMaxY = view_.maxY;
    parameters.point1X = view_.minX + point1_.column * dx();
    parameters.point1Y = view_.minY + point1_.row * dy();
    parameters.point2X = view_.minX + point2_.column * dx();
    parameters.point2Y = view_.minY + point2_.row * dy();
    parameters.pathKind = pathKind_;
    return parameters;
}

void MandelbrotEditor::randomize(RandomDraws& draws) {
    changeOverlay([&] {
        pathKind_ = truncatedDraw(draws, 2.0);
        point1_.column = truncatedDraw(draws, width_);
        point2_.column = truncatedDraw(draws, width_);
        point1_.row = truncatedDraw(draws, height_);
        point2_.row = truncatedDraw(draws, height_);
        return true;
    });
}

void MandelbrotEditor::fixPoints() {
    changeOverlay([this] {
        switch (editMode_) {
            case EditMode::Rectangle:
                editMode_ = EditMode::Points;
                break;
            case EditMode::Points:
                editMode_ = pathKind_ == MandelbrotParameters::kOrbit ? EditMode::Rectangle
                                                                      : EditMode::Point2;
                break;
            case EditMode::Point2:
                editMode_ = EditMode::Rectangle;
                break;
        }
        return true;
    });
}

void MandelbrotEditor::setPathKind(std::int32_t pathKind) {
    changeOverlay([&] {
        pathKind_ = pathKind == MandelbrotParameters::kOrbit ? MandelbrotParameters::kOrbit
                                                             : MandelbrotParameters::kLine;
        return true;
    });
}

void MandelbrotEditor::normaliseRect() {
    if (zoomRect_.left > zoomRect_.right) std::swap(zoomRect_.left, zoomRect_.right);
    if (zoomRect_.top > zoomRect_.bottom) std::swap(zoomRect_.top, zoomRect_.bottom);
}

bool MandelbrotEditor::moveRect(Arrow arrow) {
    normaliseRect();
    PixelRect& r = zoomRect_;
    switch (arrow) {
        case Arrow::Up:
            if (r.top < kRowStep) return false;
            r.top -= kRowStep, r.bottom -= kRowStep;
            return true;
        case Arrow::Down:
            if (r.bottom >= height_ - kRowStep) return false;
            r.top += kRowStep, r.bottom += kRowStep;
            return true;
        case Arrow::Left:
            if (r.left < kColumnStep) return false;
            r.left -= kColumnStep, r.right -= kColumnStep;
            return true;
        case Arrow::Right:
            if (r.right >= width_ - kColumnStep) return false;
            r.left += kColumnStep, r.right += kColumnStep;
            return true;
    }
    return false;
}

// Only the moved point is tested; a follower may leave the image.
bool MandelbrotEditor::movePoint(PixelPoint& moved, PixelPoint* follower, Arrow arrow) {
    std::int32_t PixelPoint::*axis = &PixelPoint::row;
    std::int32_t step = 0;
    switch (arrow) {
        case Arrow::Up:
            if (moved.row < kRowStep) return false;
            step = -kRowStep;
            break;
        case Arrow::Down:
            if (moved.row >= height_ - kRowStep) return false;
            step = kRowStep;
            break;
        case Arrow::Left:
            if (moved.column < kColumnStep) return false;
            axis = &PixelPoint::column, step = -kColumnStep;
            break;
        case Arrow::Right:
            if (moved.column >= width_ - kColumnStep) return false;
            axis = &PixelPoint::column, step = kColumnStep;
            break;
    }
    moved.*axis += step;
    if (follower) follower->*axis = std::clamp(follower->*axis + step, -kPointLimit, kPointLimit);
    return true;
}

bool MandelbrotEditor::move(Arrow arrow) {
    return changeOverlay([&] {
        switch (editMode_) {
            case EditMode::Rectangle:
                return moveRect(arrow);
            case EditMode::Points:
                return movePoint(point1_, &point2_, arrow);
            case EditMode::Point2:
                return movePoint(point2_, nullptr, arrow);
        }
        return false;
    });
}

bool MandelbrotEditor::grow() {
    return changeOverlay([this] {
        normaliseRect();
        PixelRect& r = zoomRect_;
        if (r.top < kRowStep || r.bottom >= height_ - kRowStep || r.left < kColumnStep ||
            r.right >= width_ - kColumnStep) {
            return false;
        }
        r = {r.left - kColumnStep, r.top - kRowStep, r.right + kColumnStep, r.bottom + kRowStep};
        return true;
    });
}

bool MandelbrotEditor::shrink() {
    return changeOverlay([this] {
        normaliseRect();
        PixelRect& r = zoomRect_;
        if (r.right - r.left < 3 * kColumnStep || r.bottom - r.top < 3 * kRowStep) return false;
        r = {r.left + kColumnStep, r.top + kRowStep, r.right - kColumnStep, r.bottom - kRowStep};
        return true;
    });
}

void MandelbrotEditor::zoomIn() {
    normaliseRect();
    const double stepX = dx(), stepY = dy();
    view_ = {view_.minX + zoomRect_.left * stepX, view_.minY + zoomRect_.top * stepY,
             view_.minX + zoomRect_.right * stepX, view_.minY + zoomRect_.bottom * stepY};
    zoomRect_ = fullRect();
    point1_ = point2_ = {width_ / 2, height_ / 2};
    showNewImage();
}

void MandelbrotEditor::zoomOut() {
    const double midX = (view_.minX + view_.maxX) / 2, spanX = view_.maxX - view_.minX;
    const double midY = (view_.minY + view_.maxY) / 2, spanY = view_.maxY - view_.minY;
    view_ = {midX - spanX, midY - spanY, midX + spanX, midY + spanY};
    zoomRect_ = {width_ / 4, height_ / 4, 3 * width_ / 4, 3 * height_ / 4};
    // Each pair of coordinates keeps its midpoint and halves its spread.
    const auto halve = [](std::int32_t& first, std::int32_t& second) {
        const double mid = (first + second) / 2.0;
        const double quarter = (second - first) / 4.0;
        first = static_cast<std::int32_t>(mid - quarter);
        second = static_cast<std::int32_t>(mid + quarter);
    };
    halve(point1_.column, point2_.column);
    halve(point1_.row, point2_.row);
    showNewImage();
}

void MandelbrotEditor::reset() {
    view_ = kDefaultView;
    zoomRect_ = fullRect();
    showNewImage();
}

void MandelbrotEditor::redraw() {
    showNewImage();
}

}  // namespace halvorn
