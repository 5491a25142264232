#!/usr/bin/env python3
"""Reads two MIDI files of one piece with mido: PLAIN as "Save MIDI" writes
it, WITH as it writes it with "Send instruments, volume and pan". WITH must
hold exactly PLAIN's messages at their ticks plus, at tick 0 of each track
with notes, a program change and controllers 7 and 10 on the track's
channel, in that order. Prints "track channel program volume pan" for each
such track (tracks counted from 0 after the conductor track); exits 1 with
the reason otherwise."""
import sys

import mido

SETUP = [("program_change", None), ("control_change", 7), ("control_change", 10)]


def timed(track):
    tick, messages = 0, []
    for message in track:
        tick += message.time
        fields = message.dict()
        fields["time"] = 0
        messages.append((tick, fields))
    return messages


def is_setup(entry, kind, control):
    tick, fields = entry
    return (tick == 0 and fields["type"] == kind
            and (control is None or fields.get("control") == control))


def main(plain_path, with_path):
    plain = mido.MidiFile(plain_path)
    added = mido.MidiFile(with_path)
    if len(plain.tracks) != len(added.tracks):
        sys.exit(f"track counts differ: {len(plain.tracks)} and {len(added.tracks)}")
    for index, (bare, full) in enumerate(zip(plain.tracks, added.tracks)):
        bare, full = timed(bare), timed(full)
        positions = []
        for kind, control in SETUP:
            found = next((i for i, entry in enumerate(full)
                          if i not in positions and is_setup(entry, kind, control)), None)
            if found is None:
                break
            positions.append(found)
        rest = [entry for i, entry in enumerate(full) if i not in positions]
        if rest != bare:
            sys.exit(f"track {index}: the files differ beyond the set-up messages")
        if not positions:
            continue
        if len(positions) != 3 or positions != sorted(positions):
            sys.exit(f"track {index}: the set-up messages are incomplete or out of order")
        program, volume, pan = (full[i][1] for i in positions)
        channels = {program["channel"], volume["channel"], pan["channel"]}
        notes = {fields["channel"] for _, fields in bare if fields["type"] == "note_on"}
        if len(channels) != 1 or notes != channels:
            sys.exit(f"track {index}: set-up on channels {channels}, notes on {notes}")
        print(index - 1, program["channel"], program["program"], volume["value"], pan["value"])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: mido_setup_events.py PLAIN.mid WITH.mid")
    main(sys.argv[1], sys.argv[2])
