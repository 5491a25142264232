#pragma once
// Where a MIDI stream sends its messages: a system port, the built-in
// synthesizer, or a recorder in tests.

#include <chrono>
#include <cstdint>
#include <string>

#include "midi/channel_setup.h"

namespace halvorn {

// A short message packed as the stream's event word: status + data1 * 256 +
// data2 * 65536.
using MidiShortMessage = std::uint32_t;

inline constexpr MidiShortMessage midiPackShortMessage(std::uint8_t status, std::uint8_t data1,
                                                       std::uint8_t data2) {
    return static_cast<MidiShortMessage>(status) | (static_cast<MidiShortMessage>(data1) << 8) |
           (static_cast<MidiShortMessage>(data2) << 16);
}
inline constexpr std::uint8_t midiMessageStatus(MidiShortMessage m) {
    return m & 0xFFu;
}
inline constexpr std::uint8_t midiMessageData1(MidiShortMessage m) {
    return (m >> 8) & 0xFFu;
}
inline constexpr std::uint8_t midiMessageData2(MidiShortMessage m) {
    return (m >> 16) & 0xFFu;
}

class MidiOutput {
  public:
    virtual ~MidiOutput() = default;

    // Sends one short message. `due` is the time on the stream's clock the
    // message was scheduled for: a live output sends at once, an offline one
    // renders up to `due` first. Called from one thread at a time only.
    virtual void send(MidiShortMessage message, std::chrono::nanoseconds due) = 0;

    // How long before its time a message should reach send(): an output
    // that places each message at its exact time itself (a JACK port, by
    // frame) takes it ahead, so that a late wake of the scheduler costs
    // nothing. Zero (send at the time) by default.
    virtual std::chrono::nanoseconds sendLead() const { return std::chrono::nanoseconds(0); }

    // Gives one channel its instrument, volume and pan before a song plays,
    // without a message: a synthesizer of our own can, a port cannot. By
    // default nothing happens, so ports and recorders receive exactly the
    // song's messages. Called from the thread that calls send.
    virtual void setUpChannel(const MidiChannelVoice& voice) { static_cast<void>(voice); }

    // Empty while the output still reaches its destination; otherwise one
    // user-facing line saying why not (a port whose program has quit). Asked
    // from a thread other than send()'s, and may run while send() does, so
    // an output answers it from state of its own.
    virtual std::string lostReason() { return {}; }
};

}  // namespace halvorn
