#include "midi/io/rtmidi/rtmidi_clock_input.h"

#include <RtMidi.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>

#include "midi/io/alsa/alsa_diagnostics.h"
#include "midi/queued_clock_follower.h"

namespace halvorn {

namespace {

using std::chrono::nanoseconds;

void ignoreError(RtMidiError::Type, const std::string&, void*) {}

std::unique_ptr<RtMidiIn> alsaInput() {
    alsaQuietErrors();
    // Without the sequencer's device RtMidi would only print its failure.
    std::error_code ignored;
    if (!std::filesystem::exists("/dev/snd/seq", ignored)) return nullptr;
    try {
        auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Halvorn clock");
        in->setErrorCallback(ignoreError, nullptr);
        return in;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

class AlsaMidiClock final : public QueuedMidiClockFollower {
  public:
    AlsaMidiClock(double tempo, std::unique_ptr<RtMidiIn> in)
        : QueuedMidiClockFollower(tempo), in_(std::move(in)) {
        // Clock, Start, Stop and Song Position are timing messages: wanted.
        in_->ignoreTypes(true, false, true);
        in_->setCallback(&AlsaMidiClock::arrived, this);
    }
    ~AlsaMidiClock() override {
        in_->cancelCallback();
        in_->closePort();
        stopWorker();
    }

  private:
    // RtMidi's delta is the difference of the sequencer's stamps.
    static void arrived(double delta, std::vector<unsigned char>* message, void* self) {
        static_cast<AlsaMidiClock*>(self)->take(delta, *message);
    }
    void take(double delta, const std::vector<unsigned char>& message) {
        if (message.empty() || !isClockFollowerMessage(message[0])) return;
        const auto now = std::chrono::duration_cast<nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        stamped_ += nanoseconds(static_cast<long long>(delta * 1e9));
        offset_ = std::min(offset_, now - stamped_);
        push(message[0], message.size() > 1 ? message[1] : 0, message.size() > 2 ? message[2] : 0,
             stamped_ + offset_);
    }

    std::unique_ptr<RtMidiIn> in_;
    nanoseconds stamped_{0};
    nanoseconds offset_{std::numeric_limits<nanoseconds::rep>::max()};
};

}  // namespace

std::vector<std::string> rtMidiAlsaInputPortNames() {
    std::vector<std::string> names;
    auto in = alsaInput();
    if (!in) return names;
    const unsigned int count = in->getPortCount();
    for (unsigned int i = 0; i < count; ++i)
        if (std::string name = in->getPortName(i); !name.empty()) names.push_back(name);
    return names;
}

Expected<std::shared_ptr<ClockSource>, Error> openAlsaMidiClock(const std::string& port,
                                                                double tempo) {
    auto in = alsaInput();
    if (!in) return unexpected(errorOf(ErrorCode::kDevice, "The ALSA sequencer is not available."));
    const unsigned int count = in->getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        if (in->getPortName(i) != port) continue;
        in->openPort(i, "clock in");
        if (!in->isPortOpen()) break;
        return std::shared_ptr<ClockSource>(std::make_shared<AlsaMidiClock>(tempo, std::move(in)));
    }
    return unexpected(
        errorOf(ErrorCode::kDevice, "The MIDI port " + port + " (ALSA) cannot be followed."));
}

}  // namespace halvorn
