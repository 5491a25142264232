#pragma once
// What the arrangement display's picture means, written around it: the
// measure numbers of the shown 16-measure window along the top, each track
// row's block number and description (muted ones marked) at the left, and,
// while a track has lost its placements (after Open, or after its Save), a
// line asking for Regenerate. The picture itself is left as it is drawn.
// The name column widens with the window up to the longest name; pointing
// at a name shows it whole.

#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;

namespace halvorn {

class CArrangementDisplay;
struct Song;

class CArrangementCaptions final : public QWidget {
    Q_OBJECT
  public:
    using SongSource = std::function<const Song*()>;

    // Places `display` inside, between the measure numbers and the row names.
    CArrangementCaptions(CArrangementDisplay* display, SongSource source,
                         QWidget* parent = nullptr);

    // Reads the song again: the row names and the Regenerate line.
    void refresh();
    // Right after every track has been placed: the tracks that came out
    // empty (a low probability can place nothing) are not asked for again
    // while what their placing depends on stays the same.
    void placed();

    // What is written, for tests and for painting: the numbers of the 16
    // shown measures, and one name per track row of the song.
    QStringList measureNumbers() const;
    QStringList rowNames() const;
    bool regenerateShown() const;
    QLabel* regenerateLine() const { return regenerateLine_; }

    // What a track's placing depends on; equal inputs give equal placements.
    struct PlacingInputs {
        std::int32_t seed = 0;
        double probability = 0.0;
        std::int32_t alignment = 0;
        std::array<double, 4> stretch{};
        std::int32_t blockLength = 0;
        std::int32_t songLength = 0;
        std::int32_t beatsPerMeasure = 0;
        bool operator==(const PlacingInputs&) const = default;
    };

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool needsRegenerate(const Song& song) const;
    // The track row at `y` in the name column, or -1.
    int rowAt(int y) const;

    std::array<std::optional<PlacingInputs>, 16> placedEmpty_{};
    CArrangementDisplay* display_;
    SongSource source_;
    QWidget* ruler_;
    QWidget* names_;
    QLabel* regenerateLine_;
};

// Name of track row `track`: "3: Bass", and " (muted)" after a muted one.
QString arrangementRowName(const Song& song, int track);

}  // namespace halvorn
