// The Global page's "Port:" list follows the MIDI ports of a JACK server of
// the test's own as a client registers and unregisters them, keeping the
// selected port selected by name, showing it as gone while it is, and
// selecting it again when it comes back.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include "app/output_device_list.h"
#include "tests/support/jack_test_server.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/global/global_page.h"

namespace halvorn {
namespace {

class PortListTest : public ::testing::Test, protected test::TestContext {
  protected:
    // True once `condition` holds, handling the window's events meanwhile:
    // the port watch shows a change at its first look (once a second) after
    // its own JACK client has reached the server and JACK lists the port,
    // which a busy machine only makes later. The limit is no deadline for
    // the watch, only a guard against one that never shows it.
    template <typename Condition>
    static bool shownByTheWatch(Condition condition) {
        constexpr qint64 kHangGuardMs = 120000;
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > kHangGuardMs) return false;
            // Sleeps until the next event: at the latest the watch's next look.
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    test::JackTestServer server;
};

TEST_F(PortListTest, FollowsJackPortsAndKeepsTheSelectionByName) {
    ASSERT_TRUE(server.answering()) << "jackd did not start";
    installOutputDeviceList(midi);
    CMainSheet sheet(context);
    CGlobalPage* page = sheet.globalPage();
    page->ResetForNewDocument();
    QComboBox* port = page->controls().port;
    const int atStart = port->count();

    test::JackTestClient client("halvorn-test-ui");
    const QString first = QString::fromStdString(client.addMidiInput("first") + " (JACK)");
    const std::string wantedName = client.addMidiInput("wanted");
    const QString wanted = QString::fromStdString(wantedName + " (JACK)");
    ASSERT_TRUE(shownByTheWatch([&] { return port->findText(wanted) >= 0; }));
    EXPECT_EQ(port->count(), atStart + 2);
    EXPECT_GE(port->findText(first), 0);

    port->setCurrentIndex(port->findText(wanted));  // the user's choice
    const int chosen = port->currentIndex();
    EXPECT_EQ(midi.settings.selectedPort, chosen);
    ASSERT_TRUE(client.remove(client.name() + ":first"));
    ASSERT_TRUE(shownByTheWatch([&] { return port->findText(first) < 0; }));
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_EQ(port->currentIndex(), chosen - 1);
    EXPECT_EQ(midi.settings.selectedPort, chosen - 1);
    // What the page shows again (a document opened, say) keeps it too.
    page->LoadFromSong();
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_TRUE(prompts.messages.empty());

    // Gone, it is shown as gone after the ports there are, never a blank.
    ASSERT_TRUE(client.remove(wantedName));
    ASSERT_TRUE(shownByTheWatch([&] { return port->findText(wanted) < 0; }));
    const QString gone = wanted + QStringLiteral(" (not connected)");
    EXPECT_EQ(port->count(), atStart + 1);
    EXPECT_EQ(port->currentText(), gone);
    EXPECT_EQ(port->currentIndex(), atStart);
    EXPECT_EQ(midi.settings.selectedPort, -1);
    EXPECT_EQ(page->values().portIndex, -1);
    page->LoadFromSong();
    EXPECT_EQ(port->currentText(), gone);

    // Back, it is selected again.
    client.addMidiInput("wanted");
    ASSERT_TRUE(shownByTheWatch([&] { return port->findText(wanted) >= 0; }));
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_EQ(port->findText(gone), -1);
    EXPECT_EQ(midi.settings.selectedPort, port->currentIndex());
    EXPECT_TRUE(prompts.messages.empty());
    client.close();
}

}  // namespace
}  // namespace halvorn
