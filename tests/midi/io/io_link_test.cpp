// Following a Link session, with a peer of the test's own in the same
// process, both in a private network namespace (private_network.h).

#include <gtest/gtest.h>

#include <ableton/Link.hpp>
#include <chrono>
#include <cmath>

#include "midi/io/link/link_session.h"
#include "tests/support/private_network.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

// Our steady clock's time on Link's clock (monotonic raw), read together.
std::chrono::microseconds onLinkClock(ableton::Link& link, nanoseconds steady) {
    const auto now = std::chrono::duration_cast<nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return link.clock().micros() +
           std::chrono::duration_cast<std::chrono::microseconds>(steady - now);
}

TEST(LinkSession, JoinsAPeerAgreesOnTempoAndStartsOnItsBarLine) {
    if (!enterPrivateNetwork())
        GTEST_SKIP() << "no private network here: Link peers cannot be tried";
    ableton::Link peer(133.0);
    peer.enableStartStopSync(true);
    peer.enable(true);
    auto opened = openLinkSession({120.0, 4});
    ASSERT_TRUE(opened) << opened.error().message;
    ClockSource& ours = **opened;
    ASSERT_TRUE(waitFor([&] { return peer.numPeers() == 1; }, 5s)) << "peers never met";

    // The two sessions merge into one: the tempo agreed within a second.
    ours.play({120.0, 4});
    const auto agreed = [&] {
        const double theirs = peer.captureAppSessionState().tempo();
        return ours.tempo() && std::fabs(*ours.tempo() - theirs) < 0.01;
    };
    ASSERT_TRUE(waitFor(agreed, 1s));
    const auto start = ours.nextCommand(std::chrono::steady_clock::now() + 1s);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->kind, TransportKind::kStart);

    // Our beat 0 falls on one of the peer's bar lines (quantum 4).
    ASSERT_TRUE(waitFor([&] { return ours.timeline()->read().rolling; }, 2s));
    const TimelineSnapshot snapshot = ours.timeline()->read();
    const auto beatZero = timelineTimeOfBeat(snapshot, 0.0);
    ASSERT_TRUE(beatZero);
    const double phase =
        peer.captureAppSessionState().phaseAtTime(onLinkClock(peer, *beatZero), 4.0);
    const double offBeats = std::min(phase, 4.0 - phase);
    EXPECT_LT(offBeats * snapshot.nanosecondsPerBeat / 1e6, 2.0) << "ms from the peer's bar line";

    // The peer changes the tempo: we follow.
    auto state = peer.captureAppSessionState();
    state.setTempo(140.0, peer.clock().micros());
    peer.commitAppSessionState(state);
    ASSERT_TRUE(waitFor([&] { return std::fabs(*ours.tempo() - 140.0) < 0.01; }, 1s));

    // The peer stops the session: so do we.
    state = peer.captureAppSessionState();
    state.setIsPlaying(false, peer.clock().micros());
    peer.commitAppSessionState(state);
    const auto stop = ours.nextCommand(std::chrono::steady_clock::now() + 2s);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->kind, TransportKind::kStop);
    ours.stop();
    ours.close();
}

}  // namespace
}  // namespace halvorn::test
