#include "midi/io/rtmidi/rtmidi_output.h"

#include <iostream>
#include <sstream>

#include "midi/io/alsa/alsa_diagnostics.h"
#include "midi/io/jack/jack_diagnostics.h"
#include "midi/midi_song.h"

namespace halvorn {

namespace {

constexpr const char* kClientName = "Halvorn";

// RtMidi prints its warnings to std::cerr before (or instead of) throwing
// while a client is being made, before an error callback can be set; this
// keeps them for our own message. Used on the owner's thread only.
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

// Once a client exists its errors come here instead of std::cerr (which
// another thread may have redirected) or an exception: a failing call
// answers with nothing, and the callers judge by that.
void ignoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

void listApiPorts(RtMidi::Api api, RtMidiPortList& list) {
    if (api == RtMidi::UNIX_JACK && !jackServerMayAnswer()) {
        list.unavailable.push_back(rtMidiUnavailableNote(api));
        return;
    }
    std::string error;
    auto out = rtMidiClient(api, error);
    if (!out || (api == RtMidi::UNIX_JACK && !error.empty())) {
        list.unavailable.push_back(rtMidiUnavailableNote(api));
        return;
    }
    rtMidiAppendPorts(*out, api, list);
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

std::unique_ptr<RtMidiOut> rtMidiClient(RtMidi::Api api, std::string& error) {
    alsaQuietErrors();
    jackQuietClient();
    CerrCapture capture;
    try {
        auto out = std::make_unique<RtMidiOut>(api, kClientName);
        error = capture.text();
        out->setErrorCallback(ignoreRtMidiError, nullptr);
        return out;
    } catch (const RtMidiError& e) {
        error = e.getMessage();
        return nullptr;
    }
}

std::string rtMidiUnavailableNote(RtMidi::Api api) {
    if (api == RtMidi::UNIX_JACK)
        return "JACK: no server is running (start it first to use its ports)";
    const std::string system = api == RtMidi::LINUX_ALSA ? "ALSA sequencer" : rtMidiSystemName(api);
    return system + ": not available here";
}

RtMidiPort rtMidiPortOf(RtMidi::Api api, unsigned int index, std::string name) {
    std::string label = name + " (" + rtMidiSystemName(api) + ")";
    return {api, index, std::move(name), std::move(label)};
}

void rtMidiAppendPorts(RtMidiOut& client, RtMidi::Api api, RtMidiPortList& list) {
    const unsigned int count = client.getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        std::string name = client.getPortName(i);
        if (name.empty()) continue;  // gone while listing
        list.ports.push_back(rtMidiPortOf(api, i, std::move(name)));
    }
}

std::string rtMidiSystemName(RtMidi::Api api) {
    switch (api) {
        case RtMidi::LINUX_ALSA:
            return "ALSA";
        case RtMidi::UNIX_JACK:
            return "JACK";
        default:
            return RtMidi::getApiDisplayName(api);
    }
}

RtMidiPortList rtMidiListOutputPorts() {
    RtMidiPortList list;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api api : apis) listApiPorts(api, list);
    return list;
}

Expected<std::unique_ptr<RtMidiOutput>, Error> RtMidiOutput::open(const RtMidiPort& port) {
    std::string error;
    auto out = rtMidiClient(port.api, error);
    if (!out || (port.api == RtMidi::UNIX_JACK && !error.empty()))
        return unexpected(
            errorOf(ErrorCode::kDevice, "Cannot open the MIDI port " + port.label + ": " + error));
    unsigned int index = 0;
    if (!findPortIndex(*out, port, index))
        return unexpected(errorOf(ErrorCode::kDevice, "The MIDI port " + port.label + " is gone."));
    std::string openError;
    out->setErrorCallback([](RtMidiError::Type, const std::string& text,
                             void* userData) { *static_cast<std::string*>(userData) = text; },
                          &openError);
    out->openPort(index, kClientName);
    out->setErrorCallback(ignoreRtMidiError, nullptr);
    if (!openError.empty() || !out->isPortOpen())
        return unexpected(errorOf(ErrorCode::kDevice,
                                  "Cannot open the MIDI port " + port.label + ": " + openError));
    return std::unique_ptr<RtMidiOutput>(new RtMidiOutput(port, std::move(out)));
}

// Without a watching client the port is not watched; it still plays.
RtMidiOutput::RtMidiOutput(RtMidiPort port, std::unique_ptr<RtMidiOut> out)
    : port_(std::move(port)), out_(std::move(out)) {
    if (port_.api == RtMidi::UNIX_JACK) {
        jackInUse_ = std::make_unique<JackClientInUse>();
        jackWatcher_ = JackWatch::open();
    } else {
        std::string ignored;
        watcher_ = rtMidiClient(port_.api, ignored);
    }
}

RtMidiOutput::~RtMidiOutput() {
    out_->closePort();
}

void RtMidiOutput::send(MidiShortMessage message, std::chrono::nanoseconds) {
    const std::uint8_t status = midiMessageStatus(message);
    const unsigned char bytes[3] = {status, midiMessageData1(message), midiMessageData2(message)};
    // A failure (a port gone mid-song) goes to the ignoring error callback;
    // lostReason() tells the stream.
    out_->sendMessage(bytes, 1 + static_cast<std::size_t>(midiDataByteCount(status)));
}

std::string RtMidiOutput::lostReason() {
    if (jackWatcher_ && jackWatcher_->serverStopped())
        return "The JACK server has stopped; playback on " + port_.label + " stopped.";
    unsigned int index = 0;
    const bool there = jackWatcher_ ? jackWatcher_->portExists(port_.name)
                       : watcher_   ? findPortIndex(*watcher_, port_, index)
                                    : true;
    if (there) return {};
    return "The MIDI port " + port_.label + " is gone; playback stopped.";
}

}  // namespace halvorn
