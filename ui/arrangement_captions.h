#pragma once
// What the arrangement display's picture means, written around it: the
// measure numbers of the shown 16-measure window along the top, each track
// row's block number and description (muted ones marked) at the left, and,
// while a track has lost its placements (after Open, or after its Save), a
// line asking for Regenerate. The picture itself is left as it is drawn.

#include <QStringList>
#include <QWidget>
#include <functional>

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

    // What is written, for tests and for painting: the numbers of the 16
    // shown measures, and one name per track row of the song.
    QStringList measureNumbers() const;
    QStringList rowNames() const;
    bool regenerateShown() const;
    QLabel* regenerateLine() const { return regenerateLine_; }

  private:
    CArrangementDisplay* display_;
    SongSource source_;
    QWidget* ruler_;
    QWidget* names_;
    QLabel* regenerateLine_;
};

// Name of track row `track`: "3: Bass", and " (muted)" after a muted one.
QString arrangementRowName(const Song& song, int track);

// True when a track of the song that could be placed has no placements.
bool arrangementNeedsRegenerate(const Song& song);

}  // namespace halvorn
