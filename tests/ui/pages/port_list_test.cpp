// The Global page's "Port:" list follows the MIDI ports of a JACK server of
// the test's own as a client registers and unregisters them, keeping the
// selected port selected by name, showing it as gone while it is, and
// selecting it again when it comes back.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>

#include "app/output_device_list.h"
#include "tests/support/jack_test_server.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/global/global_page.h"

namespace halvorn {
namespace {

class PortListTest : public ::testing::Test, protected test::TestContext {
  protected:
    // True once `condition` holds, within two seconds of the call.
    template <typename Condition>
    static bool shownWithinTwoSeconds(Condition condition) {
        QElapsedTimer clock;
        clock.start();
        return test::processUntil([&] { return condition() || clock.elapsed() > 2000; }) &&
               condition();
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
    ASSERT_TRUE(shownWithinTwoSeconds([&] { return port->findText(wanted) >= 0; }));
    EXPECT_EQ(port->count(), atStart + 2);
    EXPECT_GE(port->findText(first), 0);

    port->setCurrentIndex(port->findText(wanted));  // the user's choice
    const int chosen = port->currentIndex();
    EXPECT_EQ(midi.settings.selectedPort, chosen);
    ASSERT_TRUE(client.remove(client.name() + ":first"));
    ASSERT_TRUE(shownWithinTwoSeconds([&] { return port->findText(first) < 0; }));
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_EQ(port->currentIndex(), chosen - 1);
    EXPECT_EQ(midi.settings.selectedPort, chosen - 1);
    // What the page shows again (a document opened, say) keeps it too.
    page->LoadFromSong();
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_TRUE(prompts.messages.empty());

    // Gone, it is shown as gone after the ports there are, never a blank.
    ASSERT_TRUE(client.remove(wantedName));
    ASSERT_TRUE(shownWithinTwoSeconds([&] { return port->findText(wanted) < 0; }));
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
    ASSERT_TRUE(shownWithinTwoSeconds([&] { return port->findText(wanted) >= 0; }));
    EXPECT_EQ(port->currentText(), wanted);
    EXPECT_EQ(port->findText(gone), -1);
    EXPECT_EQ(midi.settings.selectedPort, port->currentIndex());
    EXPECT_TRUE(prompts.messages.empty());
    client.close();
}

}  // namespace
}  // namespace halvorn
