#pragma once
// "Send instruments, volume and pan": whether the pages put each track's
// program, volume and pan as messages at tick 0 into what they play on a
// port and what they save to a file. A preference of the user's rather than
// of a piece: kept in the per-user settings, never in a document, off until
// the user turns it on, and mirrored in the MIDI settings' sendInstruments,
// which is what the pages read.

class QCheckBox;
class QWidget;

namespace halvorn {

struct MidiSettings;

// The check box showing the remembered choice (also put into `settings`,
// which must outlive it); every change is remembered at once.
QCheckBox* makeSendInstrumentsBox(MidiSettings& settings, QWidget* parent);

}  // namespace halvorn
