#pragma once
// Shared pieces of the UI tests: the context the window's parts are made
// with, as a test makes it (scripted prompts, a MIDI system of its own, a
// document the pages reach without the application).

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include "midi/midi_system.h"
#include "model/document.h"
#include "model/random.h"
#include "tests/support/draws.h"
#include "tests/support/scripted_prompts.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/copy_dialog.h"
#include "ui/session/app_context.h"
#include "ui/session/document_access.h"

namespace halvorn::test {

class TestDocument final : public CDocumentAccess {
  public:
    Document* document() override { return &contents; }

    Document contents;
};

// A fixture's base: the parts live as long as the fixture, and longer than
// the widgets it makes from them.
struct TestContext {
    TestContext() { context.document = &document; }

    // "Port:" lists `names`, as a device list of the system would.
    void listOutputDevices(const QStringList& names) {
        midi.devices.clear();
        for (const QString& name : names)
            midi.devices.push_back(
                {static_cast<std::uint32_t>(midi.devices.size()), name.toStdString()});
    }

    ScriptedPrompts prompts;
    MidiSystem midi;
    TestDocument document;
    AppContext context{prompts, midi};
};

// Runs the user-interface thread's queued calls until `condition` holds
// (for at most ten seconds).
template <typename Condition>
bool processUntil(Condition condition) {
    for (int i = 0; i < 20000 && !condition(); ++i) {
        QApplication::processEvents();
        QThread::usleep(500);
    }
    return condition();
}

inline QStringList itemTexts(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

// Shows the sheet and turns from the Global page to page `index`, as a user
// does: the page lists the Song and loads its first entry.
inline void turnToPage(CMainSheet& sheet, int index) {
    sheet.show();
    sheet.setCurrentIndex(kGlobalPageIndex);
    sheet.setCurrentIndex(index);
    ASSERT_EQ(sheet.activePage(), sheet.page(index));
}

// Answers the Copy dialog that opens next with `source` and `destination`.
inline void answerCopyDialog(int source, int destination) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<CCopyDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->sourceList()->setCurrentIndex(source);
        dialog->destinationList()->setCurrentIndex(destination);
        dialog->accept();
    });
}

// Randomising commands of `context` draw `draw` every time while it lives.
class ConstantCommandDraws {
  public:
    ConstantCommandDraws(AppContext& context, double draw)
        : context_(context), previous_(context.commandDraws) {
        context.commandDraws = [draw] { return std::make_unique<ConstantDraws>(draw); };
    }
    ~ConstantCommandDraws() { context_.commandDraws = previous_; }
    ConstantCommandDraws(const ConstantCommandDraws&) = delete;
    ConstantCommandDraws& operator=(const ConstantCommandDraws&) = delete;

  private:
    AppContext& context_;
    CommandDraws previous_;
};

}  // namespace halvorn::test
