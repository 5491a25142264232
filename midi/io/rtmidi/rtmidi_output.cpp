#include "midi/io/rtmidi/rtmidi_output.h"

#include <iostream>
#include <sstream>

#include "midi/io/alsa/alsa_diagnostics.h"
#include "midi/midi_song.h"

namespace halvorn {

namespace {

constexpr const char* kClientName = "Halvorn";

// RtMidi prints its warnings to std::cerr before (or instead of) throwing;
// this keeps them for our own message. Used on the owner's thread only.
class CerrCapture {
  public:
    CerrCapture() : previous_(std::cerr.rdbuf(buffer_.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(previous_); }
    CerrCapture(const CerrCapture&) = delete;
    CerrCapture& operator=(const CerrCapture&) = delete;

    std::string text() const {
        std::string s = buffer_.str();
        const auto first = s.find_first_not_of(" \n");
        const auto last = s.find_last_not_of(" \n");
        if (first == std::string::npos) return {};
        s = s.substr(first, last - first + 1);
        const auto newline = s.find('\n');
        return newline == std::string::npos ? s : s.substr(0, newline);
    }

  private:
    std::ostringstream buffer_;
    std::streambuf* previous_;
};

std::unique_ptr<RtMidiOut> makeRtMidiOut(RtMidi::Api api, std::string& error) {
    alsaQuietErrors();
    CerrCapture capture;
    try {
        auto out = std::make_unique<RtMidiOut>(api, kClientName);
        error = capture.text();
        return out;
    } catch (const RtMidiError& e) {
        error = e.getMessage();
        return nullptr;
    }
}

std::string describeApi(RtMidi::Api api) {
    return api == RtMidi::LINUX_ALSA ? "the ALSA sequencer" : RtMidi::getApiDisplayName(api);
}

void listApiPorts(RtMidi::Api api, std::vector<RtMidiPort>& ports, std::string& note) {
    std::string error;
    auto out = makeRtMidiOut(api, error);
    if (!out) {
        if (note.empty()) note = describeApi(api) + " is not available";
        return;
    }
    CerrCapture capture;
    try {
        const unsigned int count = out->getPortCount();
        for (unsigned int i = 0; i < count; ++i) ports.push_back({api, i, out->getPortName(i)});
    } catch (const RtMidiError&) {
        if (note.empty()) note = describeApi(api) + " is not available";
    }
}

// Port numbers move when devices come and go: find the port by name.
bool findPortIndex(RtMidiOut& out, const RtMidiPort& port, unsigned int& index) {
    const unsigned int count = out.getPortCount();
    if (port.index < count && out.getPortName(port.index) == port.name) {
        index = port.index;
        return true;
    }
    for (unsigned int i = 0; i < count; ++i)
        if (out.getPortName(i) == port.name) {
            index = i;
            return true;
        }
    return false;
}

}  // namespace

std::vector<RtMidiPort> rtMidiListOutputPorts(std::string& note) {
    std::vector<RtMidiPort> ports;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    note.clear();
    for (RtMidi::Api api : apis) {
        listApiPorts(api, ports, note);
        if (!ports.empty()) break;  // one system at a time: the others see the same ports
    }
    if (!ports.empty()) note.clear();
    return ports;
}

Expected<std::unique_ptr<RtMidiOutput>, std::string> RtMidiOutput::open(const RtMidiPort& port) {
    std::string error;
    auto out = makeRtMidiOut(port.api, error);
    if (!out) return unexpected("Cannot open the MIDI port " + port.name + ": " + error);
    CerrCapture capture;
    try {
        unsigned int index = 0;
        if (!findPortIndex(*out, port, index))
            return unexpected("The MIDI port " + port.name + " is gone.");
        out->openPort(index, kClientName);
        return std::unique_ptr<RtMidiOutput>(new RtMidiOutput(std::move(out)));
    } catch (const RtMidiError& e) {
        return unexpected("Cannot open the MIDI port " + port.name + ": " + e.getMessage());
    }
}

RtMidiOutput::~RtMidiOutput() {
    try {
        out_->closePort();
    } catch (const RtMidiError&) {
    }
}

void RtMidiOutput::send(MidiShortMessage message, std::chrono::nanoseconds) {
    const std::uint8_t status = midiMessageStatus(message);
    const unsigned char bytes[3] = {status, midiMessageData1(message), midiMessageData2(message)};
    try {
        out_->sendMessage(bytes, 1 + static_cast<std::size_t>(midiDataByteCount(status)));
    } catch (const RtMidiError&) {
        // A port that vanished mid-song: the message is lost, playback goes on.
    }
}

}  // namespace halvorn
