#pragma once
// Stands in for a page whose editor is not part of the sheet yet; it takes
// the frame's commands and does nothing with them.

#include "ui/sheet_page.h"

namespace halvorn {

class CPlaceholderPage final : public CSheetPage {
    Q_OBJECT
  public:
    explicit CPlaceholderPage(const QString& caption, QWidget* parent = nullptr);
};

}  // namespace halvorn
