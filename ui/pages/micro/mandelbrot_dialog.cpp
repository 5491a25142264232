#include "ui/pages/micro/mandelbrot_dialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <new>

#include "ui/fields/field_names.h"
#include "ui/session/prompts.h"
#include "ui/views/arrow_icons.h"
#include "ui/views/mandelbrot_display.h"

namespace halvorn {
namespace {

QString fixPointCaption(EditMode mode, std::int32_t pathKind) {
    switch (mode) {
        case EditMode::Rectangle:
            return QStringLiteral("Fix Point(s)");
        case EditMode::Points:
            return pathKind == MandelbrotParameters::kOrbit ? QStringLiteral("Fix Point")
                                                            : QStringLiteral("Fix Point #1");
        case EditMode::Point2:
            return QStringLiteral("Fix Point #2");
    }
    return {};
}

// Row by row on the page's bar. The bar is repainted at once rather than
// through the event loop, so nothing can reach the editor while it draws.
EscapeDrawOptions progressOptions(QProgressBar* bar, std::int32_t height) {
    EscapeDrawOptions options;
    if (!bar) return options;
    options.progress = [bar, height](std::int32_t rowsDone) {
        if (bar->maximum() != height - 1) bar->setRange(0, height - 1);
        bar->setValue(rowsDone - 1);
        if (bar->isVisible()) bar->repaint();
    };
    return options;
}

}  // namespace

CMandelbrotDialog::CMandelbrotDialog(RememberedParameters& remembered, Prompts& prompts,
                                     QProgressBar* progress, const CommandDraws& commandDraws,
                                     QWidget* parent)
    : CMicroPanel(remembered, prompts, parent), commandDraws_(commandDraws) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(buildButtons());
    row->addStretch();
    controls_.display = new CMandelbrotDisplay(prompts, this);
    controls_.display->setToolTip(
        QStringLiteral("The Mandelbrot set with the zoom rectangle, or the path the values are "
                       "taken along (the arrow keys go from mark to mark)"));
    nameField(controls_.display, QStringLiteral("Mandelbrot view"));
    row->addWidget(controls_.display, 0, Qt::AlignTop | Qt::AlignRight);
    createEditor(progress);
}

CMandelbrotDialog::~CMandelbrotDialog() = default;

QPushButton* CMandelbrotDialog::addButton(const QString& caption,
                                          void (CMandelbrotDialog::*handler)()) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

QWidget* CMandelbrotDialog::buildButtons() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    controls_.path = new QGroupBox(QStringLiteral("Path"), column);
    auto* pathLayout = new QVBoxLayout(controls_.path);
    controls_.orbit = new QRadioButton(QStringLiteral("Orbit"), controls_.path);
    controls_.line = new QRadioButton(QStringLiteral("Line"), controls_.path);
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(controls_.orbit, MandelbrotParameters::kOrbit);
    kinds->addButton(controls_.line, MandelbrotParameters::kLine);
    connect(kinds, &QButtonGroup::idClicked, this, &CMandelbrotDialog::pathKindChosen);
    controls_.orbit->setToolTip(QStringLiteral(
        "Values are the escape times along the orbit of point 1 under z -> z*z + c"));
    controls_.line->setToolTip(QStringLiteral(
        "Values are the escape times of the points on the line from point 1 to point 2"));
    pathLayout->addWidget(controls_.orbit);
    pathLayout->addWidget(controls_.line);
    layout->addWidget(controls_.path);

    controls_.fixPoints = addButton(QStringLiteral("Fix Point(s)"), &CMandelbrotDialog::fixPoints);
    controls_.randomize =
        addButton(QStringLiteral("Randomize"), &CMandelbrotDialog::randomizeFromTheClock);
    controls_.fixPoints->setToolTip(
        QStringLiteral("Fix the rectangle and start moving the point(s) with the arrows; press "
                       "again for the next"));
    controls_.randomize->setToolTip(
        QStringLiteral("Pick a random path kind and random points in the view"));
    layout->addWidget(controls_.fixPoints);
    layout->addWidget(controls_.randomize);

    auto* pad = new QGridLayout;
    // A picture only: the button's name is what its tooltip says it does.
    const auto arrowButton = [&](ArrowIcon icon, const QString& tip, auto handler, int r, int c) {
        auto* button = new QPushButton(this);
        button->setIcon(arrowIcon(icon));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(tip);
        nameField(button, tip);
        button->setAutoDefault(false);
        button->setFixedSize(30, 28);
        connect(button, &QPushButton::clicked, this, handler);
        pad->addWidget(button, r, c);
        return button;
    };
    controls_.grow =
        arrowButton(ArrowIcon::Grow, QStringLiteral("Grow the zoom rectangle on every side"),
                    &CMandelbrotDialog::grow, 0, 0);
    controls_.up = arrowButton(
        ArrowIcon::Up, QStringLiteral("Move the rectangle or the point up"),
        [this] { move(Arrow::Up); }, 0, 1);
    controls_.shrink =
        arrowButton(ArrowIcon::Shrink, QStringLiteral("Shrink the zoom rectangle on every side"),
                    &CMandelbrotDialog::shrink, 0, 2);
    controls_.left = arrowButton(
        ArrowIcon::Left, QStringLiteral("Move the rectangle or the point left"),
        [this] { move(Arrow::Left); }, 1, 0);
    controls_.right = arrowButton(
        ArrowIcon::Right, QStringLiteral("Move the rectangle or the point right"),
        [this] { move(Arrow::Right); }, 1, 2);
    controls_.down = arrowButton(
        ArrowIcon::Down, QStringLiteral("Move the rectangle or the point down"),
        [this] { move(Arrow::Down); }, 2, 1);
    layout->addLayout(pad);

    controls_.zoomIn = addButton(QStringLiteral("Zoom In"), &CMandelbrotDialog::zoomIn);
    controls_.zoomOut = addButton(QStringLiteral("Zoom Out"), &CMandelbrotDialog::zoomOut);
    controls_.reset = addButton(QStringLiteral("Reset"), &CMandelbrotDialog::reset);
    controls_.redraw = addButton(QStringLiteral("Redraw"), &CMandelbrotDialog::redraw);
    controls_.zoomIn->setToolTip(
        QStringLiteral("Show the region inside the zoom rectangle across the whole picture"));
    controls_.zoomOut->setToolTip(
        QStringLiteral("Show twice the width and height of the plane around the same centre"));
    controls_.reset->setToolTip(
        QStringLiteral("Return to the view of the whole set; the points keep their places"));
    controls_.redraw->setToolTip(QStringLiteral("Draw the picture of the set again"));
    for (QPushButton* button :
         {controls_.zoomIn, controls_.zoomOut, controls_.reset, controls_.redraw}) {
        layout->addWidget(button);
    }
    layout->addStretch();
    return column;
}

void CMandelbrotDialog::createEditor(QProgressBar* progress) {
    const ImageSize size = mandelbrotImageSize(kDisplayClientHeight);
    try {
        editor_ = std::make_unique<MandelbrotEditor>(size);
    } catch (const std::bad_alloc&) {
        prompts().message(QStringLiteral("Not enough memory for the image."));
        return;
    }
    editor_->setDrawOptions(progressOptions(progress, size.height));
    controls_.display->prepare(size.width, size.height);
}

void CMandelbrotDialog::showState() {
    if (!editor_) return;
    const bool rectangleMode = editor_->editMode() == EditMode::Rectangle;
    controls_.fixPoints->setText(fixPointCaption(editor_->editMode(), editor_->pathKind()));
    for (QWidget* control :
         {static_cast<QWidget*>(controls_.grow), static_cast<QWidget*>(controls_.shrink),
          static_cast<QWidget*>(controls_.zoomIn), static_cast<QWidget*>(controls_.redraw),
          static_cast<QWidget*>(controls_.reset), static_cast<QWidget*>(controls_.orbit),
          static_cast<QWidget*>(controls_.line)}) {
        control->setEnabled(rectangleMode);
    }
    QRadioButton* kind =
        editor_->pathKind() == MandelbrotParameters::kOrbit ? controls_.orbit : controls_.line;
    kind->setChecked(true);
    controls_.display->showImage(editor_->image());
    controls_.display->setMarks(mandelbrotMarks(*editor_));
    emit fieldsChanged();
}

void CMandelbrotDialog::load() {
    if (!editor_) return;
    const auto stored =
        remembered() ? MandelbrotParameters::fromBytes(*remembered()) : std::nullopt;
    editor_->load(stored.value_or(defaultMandelbrotParameters()));
    showState();
}

std::optional<ParameterBytes> CMandelbrotDialog::store() {
    if (!editor_) return std::nullopt;
    return remember(editor_->store().toBytes());
}

std::optional<ParameterBytes> CMandelbrotDialog::preview() const {
    if (!editor_) return std::nullopt;
    return editor_->store().toBytes();
}

void CMandelbrotDialog::pathKindChosen() {
    const std::int32_t kind =
        controls_.line->isChecked() ? MandelbrotParameters::kLine : MandelbrotParameters::kOrbit;
    edit([kind](MandelbrotEditor& editor) { editor.setPathKind(kind); });
}

template <typename Operation>
void CMandelbrotDialog::edit(Operation operation) {
    if (!editor_) return;
    operation(*editor_);
    showState();
}

void CMandelbrotDialog::randomize(RandomDraws& draws) {
    edit([&draws](MandelbrotEditor& editor) { editor.randomize(draws); });
}

void CMandelbrotDialog::randomizeFromTheClock() {
    if (!commandDraws_) return;
    const std::unique_ptr<RandomDraws> draws = commandDraws_();
    randomize(*draws);
}

void CMandelbrotDialog::fixPoints() {
    edit([](MandelbrotEditor& editor) { editor.fixPoints(); });
}

void CMandelbrotDialog::move(Arrow arrow) {
    edit([arrow](MandelbrotEditor& editor) { editor.move(arrow); });
}

void CMandelbrotDialog::grow() {
    edit([](MandelbrotEditor& editor) { editor.grow(); });
}

void CMandelbrotDialog::shrink() {
    edit([](MandelbrotEditor& editor) { editor.shrink(); });
}

void CMandelbrotDialog::zoomIn() {
    edit([](MandelbrotEditor& editor) { editor.zoomIn(); });
}

void CMandelbrotDialog::zoomOut() {
    edit([](MandelbrotEditor& editor) { editor.zoomOut(); });
}

void CMandelbrotDialog::reset() {
    edit([](MandelbrotEditor& editor) { editor.reset(); });
}

void CMandelbrotDialog::redraw() {
    edit([](MandelbrotEditor& editor) { editor.redraw(); });
}

}  // namespace halvorn
