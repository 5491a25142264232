#pragma once
// What the main sheet needs from each of its pages: the frame's "Random
// Values", "Random Seed" and "Copy" commands, and a say in leaving the page.

#include <QShowEvent>
#include <QWidget>

namespace halvorn {

class CSheetPage : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    // "Random Values" while this page is shown; the page seeds from the clock.
    virtual void randomValues() {}
    // "Random Seed" while this page is shown. The sheet has already seeded the
    // random source from the clock; the page takes its own draws.
    virtual void randomSeed() {}
    // "Copy" while this page is shown.
    virtual void copy() {}
    // Another page is about to be shown. False keeps this page (for example
    // when its fields do not read); the page has told the user why.
    virtual bool leavePage() { return true; }

  protected:
    // The sheet has turned to this page; a window restored from the taskbar
    // does not count. Pages show again what other pages may have changed.
    virtual void turnedTo() {}

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (!event->spontaneous()) turnedTo();
    }
};

}  // namespace halvorn
