#pragma once
// Shared pieces of the UI tests: a document the pages can reach without the
// application, and the reset of the process-wide state between tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include "midi/midi_settings.h"
#include "model/document.h"
#include "model/random.h"
#include "ui/copy_dialog.h"
#include "ui/document_access.h"
#include "ui/output_devices.h"

namespace halvorn::test {

class TestDocument final : public CDocumentAccess {
  public:
    TestDocument() : previous_(theDocument()) { setTheDocument(this); }
    ~TestDocument() override { setTheDocument(previous_); }
    Document* document() override { return &contents; }

    Document contents;

  private:
    CDocumentAccess* previous_;
};

inline void resetProcessState() {
    midiSettings() = MidiSettings{};
    setOutputDeviceNameSource({});
    randomSelectGenerator(kInternalGenerator);
}

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

// Replaces the random source by a constant draw for the life of the scope.
class ConstantDraws {
  public:
    explicit ConstantDraws(double draw) {
        value() = draw;
        previous_ = randomSetCurrentGenerator([] { return value(); });
    }
    ~ConstantDraws() { randomSetCurrentGenerator(previous_); }
    ConstantDraws(const ConstantDraws&) = delete;
    ConstantDraws& operator=(const ConstantDraws&) = delete;

  private:
    static double& value() {
        static double draw = 0.0;
        return draw;
    }
    RandomGenerator previous_;
};

}  // namespace halvorn::test
