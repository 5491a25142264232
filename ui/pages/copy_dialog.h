#pragma once
// Asks for the source and the destination of a copy between microsequences,
// blocks or macrosequences. It only lists the Song's entries; the page that
// runs it performs the copy with the two indices it returns.

#include <QDialog>
#include <cstdint>

#include "edit/copy_choices.h"

class QComboBox;

namespace halvorn {

struct Song;
class Prompts;

class CCopyDialog final : public QDialog {
    Q_OBJECT
  public:
    CCopyDialog(Prompts& prompts, const Song* song, CopyMode mode, std::int32_t currentIndex,
                QWidget* parent = nullptr);

    // Fills the lists and preselects the current entry; false, after telling
    // the user, when there is nothing to copy.
    bool prepare();
    // prepare(), then modal; Rejected at once when there is nothing to copy.
    int exec() override;
    // Refuses equal source and destination, keeping the dialog open.
    void accept() override;

    // -1 until the dialog has run. A destination equal to the entry count asks
    // for a new microsequence or block first.
    std::int32_t sourceIndex() const { return sourceIndex_; }
    std::int32_t destinationIndex() const { return destinationIndex_; }

    QComboBox* sourceList() const { return sourceList_; }
    QComboBox* destinationList() const { return destinationList_; }

  private:
    std::int32_t entryCount() const;
    void fillLists();
    void fitTitle();

    Prompts& prompts_;
    const Song* song_;
    CopyMode mode_;
    std::int32_t currentIndex_;
    std::int32_t sourceIndex_ = -1;
    std::int32_t destinationIndex_ = -1;
    QComboBox* sourceList_;
    QComboBox* destinationList_;
};

}  // namespace halvorn
