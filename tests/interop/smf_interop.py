#!/usr/bin/env python3
"""Checks our Standard MIDI Files against readers and writers nobody here wrote.

1. Files from our writer are read with mido and with midicsv; events, absolute
   times, texts, tempo and signatures must match what the writer was given.
2. Files written by mido are read by our reader; the events must match.
"""
import argparse
import csv
import json
import os
import subprocess
import sys

import mido


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def absolute(track):
    """(time, message) pairs with absolute times."""
    now = 0
    for msg in track:
        now += msg.time
        yield now, msg


def channel_events(track):
    return [[t] + msg.bytes() for t, msg in absolute(track) if not msg.is_meta]


def padded(event):
    """Our events carry two data bytes; unused ones are not in the file."""
    time, status = event[0], event[1]
    count = 2 if (0x80 <= status <= 0xBF or 0xE0 <= status <= 0xEF) else 1
    return [time, status] + event[2:2 + count]


def check_with_mido(path, expected):
    mid = mido.MidiFile(path)
    check(mid.type == 1, f"{path}: type {mid.type}")
    check(mid.ticks_per_beat == expected["ppqn"], f"{path}: division {mid.ticks_per_beat}")
    check(len(mid.tracks) == len(expected["tracks"]) + 1, f"{path}: {len(mid.tracks)} tracks")

    metas = {msg.type: msg for msg in mid.tracks[0] if msg.is_meta}
    for kind, field, attr in (("track_name", "title", "name"),
                              ("copyright", "copyright", "text"),
                              ("text", "comments", "text")):
        if expected[field] is None:
            check(kind not in metas, f"{path}: unexpected {kind}")
        else:
            check(getattr(metas[kind], attr) == expected[field], f"{path}: {kind} differs")
    check(metas["set_tempo"].tempo == int(60000000 / expected["tempo"]), f"{path}: tempo")
    sig = metas["time_signature"]
    check((sig.numerator, sig.denominator, sig.clocks_per_click,
           sig.notated_32nd_notes_per_beat) == (expected["numerator"], 4, 24, 8),
          f"{path}: time signature {sig}")
    check(sum(msg.time for msg in mid.tracks[0]) == 1, f"{path}: conductor end")

    for track, want in zip(mid.tracks[1:], expected["tracks"]):
        check(track[0].type == "track_name" and track[0].name == (want["name"] or ""),
              f"{path}: track name {track[0]}")
        got = channel_events(track)
        check(got == [padded(e) for e in want["events"]],
              f"{path}: events of slot {want['slot']} differ")
        end_time = sum(msg.time for msg in track)
        check(track[-1].type == "end_of_track" and end_time == want["events"][-1][0] + 1,
              f"{path}: end of track of slot {want['slot']}")


CHANNEL_TYPES = {"Note_off_c": 0x80, "Note_on_c": 0x90, "Poly_aftertouch_c": 0xA0,
                 "Control_c": 0xB0, "Program_c": 0xC0, "Channel_aftertouch_c": 0xD0,
                 "Pitch_bend_c": 0xE0}


def check_with_midicsv(path, expected):
    out = subprocess.run(["midicsv", path], check=True, capture_output=True).stdout
    rows = list(csv.reader(out.decode("latin-1").splitlines(), skipinitialspace=True))
    header = next(r for r in rows if r[2] == "Header")
    check(header[3:] == ["1", str(len(expected["tracks"]) + 1), str(expected["ppqn"])],
          f"{path}: midicsv header {header}")
    conductor = {r[2]: r for r in rows if r[0] == "1"}
    check(conductor["Tempo"][3] == str(int(60000000 / expected["tempo"])), f"{path}: csv tempo")
    if expected["title"] is not None:
        check(conductor["Title_t"][3] == expected["title"], f"{path}: csv title")
    if expected["comments"] is not None:
        check(conductor["Text_t"][3] == expected["comments"], f"{path}: csv comments")
    check(conductor["Key_signature"][3:] ==
          [str(expected["sharps"]), "minor" if expected["minor"] else "major"],
          f"{path}: csv key {conductor['Key_signature']}")
    for number, want in enumerate(expected["tracks"], start=2):
        got = []
        for r in rows:
            if r[0] != str(number) or r[2] not in CHANNEL_TYPES:
                continue
            status = CHANNEL_TYPES[r[2]] | int(r[3])
            values = [int(v) for v in r[4:]]
            if r[2] == "Pitch_bend_c":
                values = [values[0] & 0x7F, values[0] >> 7]
            got.append([int(r[1]), status] + values)
        check(got == [padded(e) for e in want["events"]],
              f"{path}: midicsv events of slot {want['slot']} differ")


def mido_written_file(path):
    """A file written by mido and the events our reader must find in it."""
    mid = mido.MidiFile(type=1, ticks_per_beat=240)
    conductor = mido.MidiTrack([
        mido.MetaMessage("track_name", name="Written by mido"),
        mido.MetaMessage("copyright", text="Public"),
        mido.MetaMessage("set_tempo", tempo=750000),
        mido.MetaMessage("time_signature", numerator=3, denominator=4),
    ])
    lead = mido.MidiTrack([mido.MetaMessage("track_name", name="Lead")])
    for i in range(300):
        lead.append(mido.Message("note_on", channel=2, note=50 + i % 30, velocity=90,
                                 time=0 if i % 10 else 70000))
        lead.append(mido.Message("note_on", channel=2, note=50 + i % 30, velocity=0, time=200))
    lead.append(mido.Message("sysex", data=[1, 2, 3], time=5))
    lead.append(mido.Message("control_change", channel=2, control=7, value=99, time=5))
    lead.append(mido.Message("pitchwheel", channel=2, pitch=-100, time=0))
    bass = mido.MidiTrack([
        mido.MetaMessage("channel_prefix", channel=3),
        mido.MetaMessage("track_name", name="Bass"),
        mido.Message("program_change", channel=3, program=33, time=0),
        mido.Message("note_on", channel=3, note=36, velocity=100, time=480),
        mido.Message("note_off", channel=3, note=36, velocity=0, time=480),
    ])
    mid.tracks.extend([conductor, lead, bass])
    mid.save(path)

    def events(track):
        out = []
        for t, msg in absolute(track):
            if msg.is_meta or msg.type == "sysex":
                continue
            b = msg.bytes()
            out.append([t, b[0], b[1], b[2] if len(b) > 2 else 255])
        return out

    return {"tempo": 60000000 / 750000, "ppqn": 240, "title": "Written by mido",
            "copyright": "Public", "slots": {0: ("Lead", events(lead)), 3: ("Bass", events(bass))}}


def check_our_reader(tool, path, expected):
    out = subprocess.run([tool, "dump", path], check=True, capture_output=True, text=True).stdout
    song = json.loads(out)
    check(abs(song["tempo"] - expected["tempo"]) < 1e-6, "reader: tempo")
    check(song["ppqn"] == expected["ppqn"], "reader: ppqn")
    check(song["title"] == expected["title"], "reader: title")
    check(song["copyright"] == expected["copyright"], "reader: copyright")
    for track in song["tracks"]:
        name, events = expected["slots"].get(track["slot"], (None, []))
        check(track["events"] == events, f"reader: events of slot {track['slot']}")
        check(track["name"] == name, f"reader: name of slot {track['slot']}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--workdir", required=True)
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)

    subprocess.run([args.tool, "write", args.workdir], check=True)
    checked = 0
    for name in ("several", "minimal"):
        path = os.path.join(args.workdir, name + ".mid")
        with open(os.path.join(args.workdir, name + ".json")) as f:
            expected = json.load(f)
        check_with_mido(path, expected)
        check_with_midicsv(path, expected)
        checked += 2

    path = os.path.join(args.workdir, "from-mido.mid")
    check_our_reader(args.tool, path, mido_written_file(path))
    checked += 1
    print(f"{checked} passed, 0 failed")


if __name__ == "__main__":
    main()
