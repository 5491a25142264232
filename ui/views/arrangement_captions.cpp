#include "ui/views/arrangement_captions.h"

#include <QGridLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <algorithm>

#include "engine/arrangement_picture.h"
#include "model/song.h"
#include "ui/fields/document_text.h"
#include "ui/views/arrangement_display.h"

namespace halvorn {
namespace {

// The name column is never narrower than this; wider, as far as the window
// gives room, up to the longest name.
constexpr int kNameColumnCharacters = 22;
constexpr int kNameMargins = 8 + 4 + 4;  // left, right, and a little air

// A strip that paints itself with `paint`, so that it follows the picture's
// place in the display whenever it is repainted.
class PaintedStrip final : public QWidget {
  public:
    PaintedStrip(std::function<void(QPainter&)> paint, QWidget* parent)
        : QWidget(parent), paint_(std::move(paint)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paint_(painter);
    }

  private:
    std::function<void(QPainter&)> paint_;
};

// A name too long for the column loses the end of its description, never
// its "(muted)".
QString fitRowName(const QFontMetrics& metrics, const QString& name, int width) {
    const QString muted = QStringLiteral(" (muted)");
    if (!name.endsWith(muted) || metrics.horizontalAdvance(name) <= width)
        return metrics.elidedText(name, Qt::ElideRight, width);
    const QString base = name.chopped(muted.size());
    return metrics.elidedText(base, Qt::ElideRight, width - metrics.horizontalAdvance(muted)) +
           muted;
}

}  // namespace

QString arrangementRowName(const Song& song, int track) {
    QString name = QStringLiteral("%1: %2").arg(track).arg(
        fromDocumentText(song.blocks[static_cast<std::size_t>(track)].description));
    if (song.macrosequences[static_cast<std::size_t>(track)].muted)
        name += QStringLiteral(" (muted)");
    return name;
}

namespace {

CArrangementCaptions::PlacingInputs placingInputs(const Song& song, int track) {
    const Macrosequence& sequence = song.macrosequences[static_cast<std::size_t>(track)];
    return {sequence.seed,
            sequence.probability,
            sequence.alignment,
            sequence.stretchProbabilities,
            song.blocks[static_cast<std::size_t>(track)].lengthMeasures,
            song.lengthMeasures,
            song.beatsPerMeasure};
}

}  // namespace

// A track without placements that could have some and was not seen to come
// out empty from these very inputs has lost them (Open, its Save).
bool CArrangementCaptions::needsRegenerate(const Song& song) const {
    for (int i = 0; i < song.blockCount && i < kArrangementRows; ++i) {
        const Macrosequence& track = song.macrosequences[static_cast<std::size_t>(i)];
        if (!track.placements.empty() || track.probability <= 0.0) continue;
        if (placedEmpty_[static_cast<std::size_t>(i)] != placingInputs(song, i)) return true;
    }
    return false;
}

void CArrangementCaptions::placed() {
    placedEmpty_.fill(std::nullopt);
    if (const Song* song = source_ ? source_() : nullptr) {
        for (int i = 0; i < song->blockCount && i < kArrangementRows; ++i) {
            if (song->macrosequences[static_cast<std::size_t>(i)].placements.empty())
                placedEmpty_[static_cast<std::size_t>(i)] = placingInputs(*song, i);
        }
    }
    refresh();
}

CArrangementCaptions::CArrangementCaptions(CArrangementDisplay* display, SongSource source,
                                           QWidget* parent)
    : QWidget(parent), display_(display), source_(std::move(source)) {
    ruler_ = new PaintedStrip(
        [this](QPainter& painter) {
            const QRect picture = display_->pictureRect();
            const int cell = display_->picture().cellWidth();
            if (cell <= 0) return;
            const int left = display_->mapTo(this, picture.topLeft()).x() - ruler_->x();
            const QStringList numbers = measureNumbers();
            for (int column = 0; column < numbers.size(); ++column) {
                const QRect slot(left + column * cell, 0, cell, ruler_->height());
                painter.drawText(slot, Qt::AlignHCenter | Qt::AlignBottom, numbers[column]);
            }
        },
        this);
    ruler_->setFixedHeight(fontMetrics().height() + 2);

    names_ = new PaintedStrip(
        [this](QPainter& painter) {
            const Song* song = source_ ? source_() : nullptr;
            const int cell = display_->picture().cellHeight();
            if (!song || cell <= 0) return;
            const int top =
                display_->mapTo(this, display_->pictureRect().topLeft()).y() - names_->y();
            const QStringList names = rowNames();
            for (int row = 0; row < names.size(); ++row) {
                const bool muted = song->macrosequences[static_cast<std::size_t>(row)].muted;
                QFont font = painter.font();
                font.setStrikeOut(muted);
                painter.setFont(font);
                painter.setPen(palette().color(muted ? QPalette::Disabled : QPalette::Active,
                                               QPalette::WindowText));
                const QRect slot(8, top + row * cell, names_->width() - 12, cell);
                const QString shown = fitRowName(painter.fontMetrics(), names[row], slot.width());
                painter.drawText(slot, Qt::AlignRight | Qt::AlignVCenter, shown);
            }
        },
        this);
    names_->setMinimumWidth(fontMetrics().averageCharWidth() * kNameColumnCharacters);
    names_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    names_->installEventFilter(this);

    regenerateLine_ = new QLabel(QStringLiteral("Press Regenerate to draw the arrangement."), this);
    QSizePolicy keepPlace = regenerateLine_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    regenerateLine_->setSizePolicy(keepPlace);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(ruler_, 0, 1);
    grid->addWidget(names_, 1, 0);
    display_->setParent(this);
    grid->addWidget(display_, 1, 1);
    grid->addWidget(regenerateLine_, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 3);

    // The display repaints after every scroll and Regenerate; the captions
    // follow once it has.
    connect(display_, &CArrangementDisplay::painted, this, &CArrangementCaptions::refresh,
            Qt::QueuedConnection);
    refresh();
}

void CArrangementCaptions::refresh() {
    const Song* song = source_ ? source_() : nullptr;
    regenerateLine_->setVisible(song && needsRegenerate(*song));
    int widest = 0;
    for (const QString& name : rowNames())
        widest = std::max(widest, names_->fontMetrics().horizontalAdvance(name));
    names_->setMaximumWidth(std::max(names_->minimumWidth(), widest + kNameMargins));
    ruler_->update();
    names_->update();
}

int CArrangementCaptions::rowAt(int y) const {
    const int cell = display_->picture().cellHeight();
    if (cell <= 0) return -1;
    const int top = display_->mapTo(this, display_->pictureRect().topLeft()).y() - names_->y();
    const int row = y >= top ? (y - top) / cell : -1;
    return row < rowNames().size() ? row : -1;
}

// Pointing at a row's name shows it whole, however narrow the column.
bool CArrangementCaptions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != names_ || event->type() != QEvent::ToolTip)
        return QWidget::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos().y());
    if (row < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), rowNames()[row], names_);
    return true;
}

QStringList CArrangementCaptions::measureNumbers() const {
    QStringList numbers;
    for (int column = 0; column < kArrangementColumns; ++column)
        numbers << QString::number(display_->firstVisibleMeasure() + column);
    return numbers;
}

QStringList CArrangementCaptions::rowNames() const {
    QStringList names;
    const Song* song = source_ ? source_() : nullptr;
    if (!song) return names;
    for (int track = 0; track < song->blockCount && track < kArrangementRows; ++track)
        names << arrangementRowName(*song, track);
    return names;
}

bool CArrangementCaptions::regenerateShown() const {
    return !regenerateLine_->isHidden();
}

}  // namespace halvorn
