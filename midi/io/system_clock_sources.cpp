#include "midi/io/system_clock_sources.h"

#include <memory>
#include <string>
#include <vector>

#include "midi/io/jack/jack_clock_sources.h"
#include "midi/io/jack/jack_watch.h"
#include "midi/io/link/link_session.h"
#include "midi/io/rtmidi/rtmidi_clock_input.h"
#include "midi/midi_system.h"

namespace halvorn {

namespace {

const std::string kAlsaSuffix = " (ALSA)";
const std::string kJackSuffix = " (JACK)";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class SystemClockSources final : public ClockSourceProvider {
  public:
    std::vector<std::string> inputPortNames() override {
        if (names_.empty()) rescan();
        return names_;
    }

    // The ALSA sequencer's ports, then JACK's that give MIDI (not ours).
    bool rescan() override {
        std::vector<std::string> names;
        for (const std::string& name : rtMidiAlsaInputPortNames())
            names.push_back(name + kAlsaSuffix);
        if (jack_ && jack_->serverStopped()) jack_.reset();
        if (!jack_) jack_ = JackWatch::open();
        if (jack_)
            for (const std::string& name : jack_->midiOutputPorts())
                if (name.rfind("Halvorn", 0) != 0) names.push_back(name + kJackSuffix);
        if (names == names_) return false;
        names_ = std::move(names);
        return true;
    }

    Expected<std::shared_ptr<ClockSource>, Error> open(const SyncSetting& sync,
                                                       const ClockSourceSong& song) override {
        switch (sync.kind) {
            case SyncKind::kMidiClock:
                if (endsWith(sync.port, kJackSuffix))
                    return openJackMidiClock(
                        sync.port.substr(0, sync.port.size() - kJackSuffix.size()), song.tempo);
                if (endsWith(sync.port, kAlsaSuffix))
                    return openAlsaMidiClock(
                        sync.port.substr(0, sync.port.size() - kAlsaSuffix.size()), song.tempo);
                return unexpected(
                    errorOf(ErrorCode::kDevice, "There is no MIDI input port " + sync.port + "."));
            case SyncKind::kJackTransport:
                return openJackTransport(sync.jackTimebaseMaster, song);
            case SyncKind::kLink:
                return openLinkSession(song);
            case SyncKind::kInternal:
                break;
        }
        return unexpected(errorOf(ErrorCode::kDevice, "Nothing to follow."));
    }

  private:
    std::vector<std::string> names_;
    std::unique_ptr<JackWatch> jack_;
};

}  // namespace

void installSystemClockSources(MidiSystem& system) {
    system.clockSources = std::make_shared<SystemClockSources>();
}

}  // namespace halvorn
