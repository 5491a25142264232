#!/usr/bin/env python3
"""Runs the built halvorn-cli the way scripts do.

Documents are written here by an independent writer of the .hvn layout, so a
render is checked end to end: document bytes -> halvorn-cli -> MIDI file read
by mido (tempo, signature, texts, tracks, note times, pitches, velocities).
Also: the examples, audition with and without metronome, info, and every kind
of bad argument or bad document, which must give one error line, a non-zero
status and no output file.
"""
import os
import re
import select
import signal
import stat
import subprocess
import sys
import time
import traceback

import mido

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

from script_support import f64, fresh_directory, i32, options, text, text30

EXAMPLES = ("orbit_garden.hvn", "morse_procession.hvn", "noise_nocturne.hvn")


# ---- an independent writer of the document layout --------------------------

def morse_thue(name, period, base, start, step):
    return text30(name) + i32(1) + i32(period) + i32(12) + i32(base) + i32(start) + i32(step)


def block(name, length=1, melody=0, melody_range=8, offset=0, velocity=1, velocity_range=100,
          rhythm=None, seed=1, program=0, channel=0):
    rhythm = rhythm or {4: 1.0}  # index 4 is "1/4"
    return (text30(name) + i32(0) + i32(0) + i32(length) + i32(melody) + i32(melody_range)
            + i32(offset) + i32(velocity) + i32(velocity_range) + f64(1.0) + f64(0.0)
            + b"".join(f64(rhythm.get(k, 0.0)) for k in range(10))
            + f64(0.0) + f64(0.0) + f64(1.0) + i32(seed) + i32(0) * 9 + f64(0.0)
            + i32(program) + i32(channel))


def track(muted=0, probability=1.0, align=1):
    return (i32(1) + f64(1.0) + f64(0.5) + f64(probability) + i32(align) + i32(muted)
            + f64(1.0) + f64(0.0) * 3)


def document(microsequences, blocks, tracks, tempo=120, beats=4, length=4, key=0, scale=1,
             title=b"Round Trip", author=b"Tester", comments=b"Made by cli_test"):
    settings = [tempo, beats, -4, 1, key, scale, 0, 1, len(microsequences), len(blocks), length]
    return (b"HVN\x11" + text(title) + text(author) + text(comments)
            + b"".join(i32(v) for v in settings) + b"".join(microsequences)
            + b"".join(blocks) + b"".join(tracks))


def simple_song(**overrides):
    """Two quarter-note blocks over 4 measures of 4/4 in C major; track 1 muted.

    Block 0 reads digit sums 0, 1, 2, 3, ... (base 10) as degrees 0..7:
    C D E F G A B C; block 1 reads the same shifted by 100 (digit sum 1..).
    Velocities come from digit sums too: value v gives trunc(v / 127 x 127) = v.
    """
    microsequences = [morse_thue(b"Counting", 8, 10, 0, 1), morse_thue(b"Loud", 4, 10, 99, 1)]
    blocks = [block(b"Lead", channel=0), block(b"Second", offset=7, channel=3)]
    tracks = [track(), track(muted=1)]
    kwargs = dict(microsequences=microsequences, blocks=blocks, tracks=tracks)
    kwargs.update(overrides)
    return document(**kwargs)


# ---- running the tool -------------------------------------------------------

class Tool:
    def __init__(self, cli, workdir):
        self.cli = cli
        self.workdir = workdir

    def path(self, name):
        return os.path.join(self.workdir, name)

    def write(self, name, data):
        path = self.path(name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def linked(self, target_name, link_name, mode):
        """A fresh link `link_name` to an old file `target_name` of `mode`: the
        paths of both."""
        target, link = self.path(target_name), self.path(link_name)
        for name in (target, link):
            if os.path.lexists(name):
                os.remove(name)
        self.write(target_name, b"old")
        os.chmod(target, mode)
        os.symlink(target_name, link)
        return target, link

    def run(self, *args):
        return subprocess.run([self.cli, *args], capture_output=True, text=True, timeout=120)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def absolute_notes(midi_track):
    """(tick, channel, note, velocity) of every note-on, with absolute ticks."""
    now = 0
    for msg in midi_track:
        now += msg.time
        if msg.type == "note_on":
            yield now, msg.channel, msg.note, msg.velocity


def metas(midi_track, kind):
    return [msg for msg in midi_track if msg.is_meta and msg.type == kind]


def expect_success(result, what):
    check(result.returncode == 0, f"{what}: exit {result.returncode}, stderr {result.stderr!r}")


def expect_error(result, output, what, status=None):
    check(result.returncode != 0, f"{what}: exit 0")
    if status is not None:
        check(result.returncode == status, f"{what}: exit {result.returncode}, wanted {status}")
    lines = result.stderr.splitlines()
    check(len(lines) == 1 and lines[0].startswith("halvorn-cli: "),
          f"{what}: stderr is not one error line: {result.stderr!r}")
    if output is not None:
        check(not os.path.exists(output), f"{what}: left {output} behind")
        leftovers = [n for n in os.listdir(os.path.dirname(output))
                     if n.startswith(os.path.basename(output) + ".")]
        check(not leftovers, f"{what}: left temporary files {leftovers}")


# ---- tests --------------------------------------------------------------------

def test_render_round_trip(tool):
    song = tool.write("simple.hvn", simple_song())
    out = tool.path("simple.mid")
    expect_success(tool.run("render", song, "-o", out), "render")
    mid = mido.MidiFile(out)
    check(mid.type == 1 and mid.ticks_per_beat == 120, f"type {mid.type} ppqn {mid.ticks_per_beat}")
    check(len(mid.tracks) == 3, f"{len(mid.tracks)} tracks (conductor + 2 blocks, muted kept)")
    conductor = mid.tracks[0]
    check(metas(conductor, "track_name")[0].name == "Round Trip", "title")
    check(metas(conductor, "copyright")[0].text == "Tester", "author as copyright")
    check(metas(conductor, "text")[0].text == "Made by cli_test", "comments")
    check(metas(conductor, "set_tempo")[0].tempo == 500000, "tempo 120")
    check(metas(conductor, "time_signature")[0].numerator == 4, "time signature")

    lead = list(absolute_notes(mid.tracks[1]))
    check(metas(mid.tracks[1], "track_name")[0].name == "Lead", "block name as track name")
    starts = [(t, n, v) for t, c, n, v in lead if v > 0]
    ends = [(t, n) for t, c, n, v in lead if v == 0]
    check(len(starts) == 16 and len(ends) == 16, f"{len(starts)} notes, {len(ends)} ends")
    check([t for t, _, _ in starts] == [120 * k for k in range(16)], "one note per beat")
    major = [60, 62, 64, 65, 67, 69, 71, 72]
    check([n for _, n, _ in starts] == [major[k % 4] for k in range(16)],
          f"pitches {[n for _, n, _ in starts]}")
    # Velocity sequence: digit sums of 99, 100, 101, 102 -> 18, 1, 2, 3, each
    # through the velocity formula with range 100 and amp 1.
    expected = [int(((100 - 100) + v * 100 / 100) / 127 * 127) for v in (18, 1, 2, 3)]
    check([v for _, _, v in starts][:4] == expected, f"velocities {starts[:4]}")
    check(sorted(t for t, _ in ends) == [120 * k + 119 for k in range(16)], "ends a tick early")
    check(all(c == 0 for _, c, _, _ in lead), "lead on channel 1")

    second = [x for x in absolute_notes(mid.tracks[2]) if x[3] > 0]
    check(len(second) == 16 and all(c == 3 for _, c, _, _ in second), "muted track rendered")
    check(second[0][2] == 72, f"offset 7 degrees is an octave up, got {second[0][2]}")


def test_render_skip_muted_and_ppqn(tool):
    song = tool.write("simple.hvn", simple_song())
    out = tool.path("skipped.mid")
    expect_success(tool.run("render", song, "-o", out, "--skip-muted", "--ppqn", "96"), "render")
    mid = mido.MidiFile(out)
    check(len(mid.tracks) == 2, f"{len(mid.tracks)} tracks with --skip-muted")
    check(mid.ticks_per_beat == 96, f"ppqn {mid.ticks_per_beat}")
    starts = [t for t, _, _, v in absolute_notes(mid.tracks[1]) if v > 0]
    check(starts[:3] == [0, 96, 192], f"note times at 96 ppqn: {starts[:3]}")


def test_empty_texts_are_left_out(tool):
    song = tool.write("untitled.hvn", simple_song(title=b"", author=b"", comments=b""))
    out = tool.path("untitled.mid")
    expect_success(tool.run("render", song, "-o", out), "render")
    conductor = mido.MidiFile(out).tracks[0]
    check(not metas(conductor, "copyright") and not metas(conductor, "text"),
          "empty author and comments must not be written")


def test_examples_render_and_describe(tool, examples):
    muted_somewhere = 0
    for name in EXAMPLES:
        song = os.path.join(examples, name)
        out = tool.path(name + ".mid")
        expect_success(tool.run("render", song, "-o", out), f"render {name}")
        mid = mido.MidiFile(out)
        check(len(mid.tracks) == 5, f"{name}: {len(mid.tracks)} tracks")
        for index, midi_track in enumerate(mid.tracks[1:]):
            notes = [x for x in absolute_notes(midi_track) if x[3] > 0]
            check(len(notes) >= 10, f"{name}: track {index} has only {len(notes)} notes")
            check(len(set(n for _, _, n, _ in notes)) >= 3, f"{name}: track {index} is monotone")
        check(mid.length > 30, f"{name}: only {mid.length:.1f} s long")

        info = tool.run("info", song)
        expect_success(info, f"info {name}")
        for expected in ("Title: ", "Tempo: ", "Microsequences: 5", "Blocks: 4", "Tracks: 4",
                         "Stretch: 1x", "Parameters: "):
            check(expected in info.stdout, f"info {name}: no {expected!r}")

        # --split: a file per track (muted ones too), named after it, with
        # the conductor track and that track's notes as the whole file has them.
        folder = tool.path(name + ".split")
        expect_success(tool.run("render", song, "--split", folder), f"split {name}")
        tracks = info.stdout[info.stdout.index("\nTracks: "):]
        names = re.findall(r'^ +(\d+): "([^"]*)"', tracks, re.MULTILINE)
        check(sorted(os.listdir(folder)) == [f"{int(k):02d}-{n}.mid" for k, n in names],
              f"{name}: split into {sorted(os.listdir(folder))}, tracks {names}")
        for (number, track_name), whole in zip(names, mid.tracks[1:]):
            part = mido.MidiFile(os.path.join(folder, f"{int(number):02d}-{track_name}.mid"))
            check(len(part.tracks) == 2 and part.ticks_per_beat == mid.ticks_per_beat,
                  f"{name} {track_name}: {len(part.tracks)} tracks")
            check(metas(part.tracks[0], "set_tempo") == metas(mid.tracks[0], "set_tempo"),
                  f"{name} {track_name}: no conductor track")
            check(list(absolute_notes(part.tracks[1])) == list(absolute_notes(whole)),
                  f"{name} {track_name}: the notes differ from the whole file's")

        # What info calls muted is what --skip-muted leaves out.
        muted = info.stdout.count(", muted\n")
        skipped = tool.path(name + ".skip.mid")
        expect_success(tool.run("render", song, "-o", skipped, "--skip-muted"), f"skip {name}")
        check(len(mido.MidiFile(skipped).tracks) == 5 - muted, f"{name}: muted tracks rendered")
        muted_somewhere += muted
    check(muted_somewhere > 0, "no example has a muted track")


def test_audition(tool, examples):
    song = os.path.join(examples, EXAMPLES[1])  # 3/4
    out = tool.path("audition.mid")
    expect_success(tool.run("audition", song, "--block", "2", "-o", out), "audition")
    mid = mido.MidiFile(out)
    check(len(mid.tracks) == 2, f"{len(mid.tracks)} tracks without metronome")
    names = metas(mid.tracks[1], "track_name")
    check(len(names) == 1 and names[0].name == "", f"block track name {names}")
    check(metas(mid.tracks[0], "time_signature")[0].numerator == 3, "audition metre")

    out = tool.path("audition_metronome.mid")
    expect_success(tool.run("audition", song, "--block", "2", "-o", out, "--metronome", "100",
                            "--ppqn", "48"), "audition with metronome")
    mid = mido.MidiFile(out)
    check(len(mid.tracks) == 3, f"{len(mid.tracks)} tracks with metronome")
    clicks = [x for x in absolute_notes(mid.tracks[2]) if x[3] > 0]
    # Block 2 of the procession is 2 measures of 3/4: six clicks, beat 1 accented.
    check([t for t, _, _, _ in clicks] == [48 * k for k in range(6)], f"clicks {clicks}")
    check(all(c == 9 and n == 42 for _, c, n, _ in clicks), "clicks on channel 10, note 42")
    check([v for _, _, _, v in clicks] == [100, 50, 50, 100, 50, 50], "accented first beats")


PITCH_CLASSES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def tonic_of(mido_key):
    """(pitch class, minor) of a key name as mido spells it: "Db", "F#m"."""
    minor = mido_key.endswith("m")
    name = mido_key[:-1] if minor else mido_key
    shift = {"#": 1, "b": -1}.get(name[1:], 0)
    return (PITCH_CLASSES[name[0]] + shift) % 12, minor


def test_key_signatures(tool):
    """Every key of every scale type gives a signature a strict reader takes,
    naming the song's key; the audition carries the same signature."""
    for scale in range(4):
        for key in range(12):
            song = tool.write("key.hvn", simple_song(key=key, scale=scale))
            out = tool.path("key.mid")
            expect_success(tool.run("render", song, "-o", out), f"render key {key} scale {scale}")
            signature = metas(mido.MidiFile(out).tracks[0], "key_signature")
            check(len(signature) == 1, f"key {key} scale {scale}: {signature}")
            check(tonic_of(signature[0].key) == (key, scale == 2),
                  f"key {key} scale {scale} read as {signature[0].key}")
    song = tool.write("key.hvn", simple_song(key=10, scale=2))
    out = tool.path("key-audition.mid")
    expect_success(tool.run("audition", song, "--block", "0", "-o", out), "audition in A# minor")
    check(metas(mido.MidiFile(out).tracks[0], "key_signature")[0].key == "Bbm",
          "audition key signature")


def test_send_instruments(tool):
    """--send-instruments adds to every track its program, volume and pan at
    tick 0 before the notes, on the track's channel, and changes nothing else."""
    song = tool.write("voices.hvn", simple_song(blocks=[
        block(b"Lead", channel=0, program=40), block(b"Second", offset=7, channel=3, program=33)]))
    plain, voiced = tool.path("plain.mid"), tool.path("voiced.mid")
    expect_success(tool.run("render", song, "-o", plain), "render")
    expect_success(tool.run("render", song, "-o", voiced, "--send-instruments"),
                   "render --send-instruments")
    check_added_voices(mido.MidiFile(plain), mido.MidiFile(voiced), [(0, 40), (3, 33)])

    expect_success(tool.run("audition", song, "--block", "1", "-o", plain, "--metronome", "90"),
                   "audition")
    expect_success(tool.run("audition", song, "--block", "1", "-o", voiced, "--metronome", "90",
                            "--send-instruments"), "audition --send-instruments")
    check_added_voices(mido.MidiFile(plain), mido.MidiFile(voiced), [(3, 33), (9, 127)],
                       volume=100, pan=64)


def check_added_voices(plain, voiced, voices, volume=127, pan=63):
    """`voiced` is `plain` with (channel, program) and the volume and pan
    ahead of each track's notes."""
    check(len(voiced.tracks) == len(plain.tracks) == len(voices) + 1, "track count")
    check(list(voiced.tracks[0]) == list(plain.tracks[0]), "conductor track changed")
    for (channel, program), before, after in zip(voices, plain.tracks[1:], voiced.tracks[1:]):
        added = [(m.type, m.time, m.channel, m.bytes()[1:]) for m in after[1:4]]
        check(added == [("program_change", 0, channel, [program]),
                        ("control_change", 0, channel, [7, volume]),
                        ("control_change", 0, channel, [10, pan])], f"added events {added}")
        check(list(after[:1]) + list(after[4:]) == list(before), "notes changed")


def test_audition_needs_values(tool):
    # Block 0 reads microsequence 1, an empty placeholder without values.
    placeholder = text30(b"Nothing") + i32(3) + i32(0) + i32(0)
    song = tool.write("novalues.hvn", simple_song(
        microsequences=[morse_thue(b"Counting", 8, 10, 0, 1), placeholder]))
    out = tool.path("novalues.mid")
    result = tool.run("audition", song, "--block", "0", "-o", out)
    expect_error(result, out, "audition of a block without velocity values", status=1)
    check("velocity" in result.stderr, f"message {result.stderr!r}")


def test_bad_arguments(tool):
    song = tool.write("simple.hvn", simple_song())
    out = tool.path("bad.mid")
    wav = tool.path("bad.wav")
    cases = [
        (["render", song], "missing -o"),
        (["render", "-o", out], "missing document"),
        (["render", song, "extra.hvn", "-o", out], "two documents"),
        (["render", song, "-o", out, "--ppqn", "100"], "ppqn outside the list"),
        (["render", song, "-o", out, "--ppqn", "12x"], "ppqn not a number"),
        (["render", song, "-o", out, "--loud"], "unknown option"),
        (["render", song, "-o", out, "-o", out], "option twice"),
        (["render", song, "-o"], "option without value"),
        (["audition", song, "-o", out], "missing --block"),
        (["audition", song, "--block", "x", "-o", out], "block not a number"),
        (["audition", song, "--block", "-1", "-o", out], "negative block"),
        (["audition", song, "--block", "0", "-o", out, "--metronome", "128"], "metronome 128"),
        (["export-audio", song, "-o", wav, "--gain", "nan"], "gain not a number"),
        (["export-audio", song, "-o", wav, "--gain", "inf"], "infinite gain"),
        (["export-audio", song], "neither -o nor --stems"),
        (["render", song, "--split", song], "the document as the folder"),
        (["info"], "info without document"),
        (["transmogrify", song], "unknown command"),
        ([], "no command"),
    ]
    for args, what in cases:
        result = tool.run(*args)
        if args:
            expect_error(result, wav if wav in args else out, what, status=2)
        else:
            check(result.returncode == 2 and "usage" in result.stderr, "no command: usage")
    result = tool.run("audition", song, "--block", "2", "-o", out)
    expect_error(result, out, "block beyond the document's blocks", status=1)


def test_bad_documents(tool, examples):
    good = open(os.path.join(examples, EXAMPLES[0]), "rb").read()
    out = tool.path("never.mid")
    bad = {
        "truncated.hvn": good[:len(good) // 2],
        "magic.hvn": b"XYZ" + good[3:],
        "empty.hvn": b"",
        "counts.hvn": simple_song(microsequences=[]).replace(i32(0) + i32(2) + i32(4),
                                                             i32(40) + i32(2) + i32(4)),
    }
    for name, data in bad.items():
        song = tool.write(name, data)
        for args in (["render", song, "-o", out], ["audition", song, "--block", "0", "-o", out],
                     ["info", song]):
            expect_error(tool.run(*args), out, f"{args[0]} {name}", status=1)
    missing = tool.path("absent.hvn")
    expect_error(tool.run("render", missing, "-o", out), out, "missing document", status=1)
    no_blocks = tool.write("noblocks.hvn", document([], [], []))
    expect_error(tool.run("render", no_blocks, "-o", out), out, "no blocks", status=1)

    # A failing render leaves an existing output file as it was.
    with open(out, "wb") as f:
        f.write(b"keep me")
    expect_error(tool.run("render", tool.path("truncated.hvn"), "-o", out), None, "over old file")
    check(open(out, "rb").read() == b"keep me", "existing output file changed")
    os.remove(out)

    # Writing the MIDI file over the document itself is refused.
    song = tool.write("self.hvn", simple_song())
    result = tool.run("render", song, "-o", song)
    check(result.returncode == 1, "render over its own document")
    check(open(song, "rb").read() == simple_song(), "document overwritten")

    # An output directory that does not exist.
    result = tool.run("render", song, "-o", tool.path("no/such/dir.mid"))
    expect_error(result, None, "unwritable output")


def test_messages_name_the_file_once_with_the_reason(tool, examples):
    song = os.path.join(examples, EXAMPLES[0])
    magic = tool.write("magic.hvn", b"XYZ\x11")
    absent, nowhere = tool.path("absent.hvn"), tool.path("no/such/dir.mid")
    cases = [
        (["info", absent], absent, "No such file or directory"),
        (["info", tool.workdir], tool.workdir, "Is a directory"),
        (["info", magic], magic, "Not a Halvorn document"),
        (["render", song, "-o", nowhere], nowhere, "No such file or directory"),
        (["export-audio", song, "-o", song], song, "the document"),
    ]
    if os.geteuid() != 0:
        locked = tool.write("locked.hvn", simple_song())
        os.chmod(locked, 0)
        cases.append((["info", locked], locked, "Permission denied"))
    for args, path, reason in cases:
        result = tool.run(*args)
        expect_error(result, None, " ".join(args[:1]) + " " + reason, status=1)
        check(result.stderr.count(path) == 1 and reason in result.stderr,
              f"{args[0]}: not the path once and {reason!r}: {result.stderr!r}")
    check("MIDI" not in result.stderr, f"export-audio speaks of MIDI: {result.stderr!r}")


# The fixed interface, as each subcommand's help shows it, and what the help
# says of the values each option takes.
USAGE = {
    "render": "render SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments] "
              "[--split DIR]",
    "audition": "audition SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL] "
                "[--send-instruments]",
    "info": "info SONG.hvn",
    "ports": "ports [--inputs]",
    "play": "play SONG.hvn [--port N] [--ppqn N] [--buffer-beats N] [--loop] [--clock] "
            "[--skip-muted] [--send-instruments] [--sync SOURCE] [--timebase-master]",
    "export-audio": "export-audio SONG.hvn -o OUT.wav [--soundfont SF2] [--ppqn N] "
                    "[--sample-rate HZ] [--gain G] [--stems DIR]",
    "export-musicxml": "export-musicxml SONG.hvn -o OUT.musicxml [--skip-muted]",
}
VALUES = {
    "--ppqn": ["24, 48, 96, 120, 192, 240 or 384", "default 120"],
    "--block": ["0 to 15"],
    "--metronome": ["0 to 127"],
    "--port": ["default 0"],
    "--buffer-beats": ["1, 2, 4, 8 or 16", "default 1"],
    "--soundfont": ["default /usr/share/sounds/sf2/default-GM.sf2"],
    "--sample-rate": ["8000 to 96000", "default 44100"],
    "--gain": ["0 to 10"],
    "--stems": ["24-bit", "00-Bass.wav", "levelled together"],
    "--split": ["conductor track", "00-Bass.mid"],
    "--sync": ["internal", "midi:PORT", "jack", "link"],
}


def unwrapped(text):
    return " ".join(text.split())


def test_help(tool):
    overview = tool.run("--help")
    expect_success(overview, "--help")
    for name, usage in USAGE.items():
        helps = [tool.run("help", name), tool.run(name, "--help")]
        for result in helps:
            expect_success(result, f"help of {name}")
        check(helps[0].stdout == helps[1].stdout, f"help {name} and {name} --help differ")
        text = unwrapped(helps[0].stdout)
        check("halvorn-cli " + usage in text, f"{name}: no usage line {usage!r}")
        check(text[:text.index("Blocks and tracks")] in unwrapped(overview.stdout),
              f"--help does not hold the help of {name}")
        for option in re.findall(r"[ \[](--?[a-z][-a-z]*)", usage):
            check(text.count(option) >= 2, f"{name}: {option} is not described")
            for words in VALUES.get(option, []):
                check(words in text, f"{name} {option}: no {words!r}")
        if name in ("render", "play", "export-audio", "export-musicxml"):
            check("muted" in text, f"{name}: does not say what it does with muted tracks")
        for words in ("numbered from 0", "channels from 1", "Exit status", "0 done", "1 the work",
                      "2 the command line"):
            check(words in text, f"{name}: no {words!r}")
    version = tool.run("--version")
    expect_success(version, "--version")
    check(re.fullmatch(r"halvorn-cli \d+\.\d+(\.\d+)?\n", version.stdout), version.stdout)


def test_output_paths(tool, examples):
    """-o as a user types it: devices, a symbolic link, a file of its own mode."""
    example = os.path.join(examples, "orbit_garden.hvn")
    full = tool.run("render", example, "-o", "/dev/full")
    expect_error(full, None, "render to /dev/full")
    check("/dev/full" in full.stderr, f"the error names the output: {full.stderr!r}")
    check(stat.S_ISCHR(os.stat("/dev/full").st_mode), "/dev/full is still a device")
    expect_success(tool.run("render", example, "-o", "/dev/null"), "render to /dev/null")
    check(stat.S_ISCHR(os.stat("/dev/null").st_mode), "/dev/null is still a device")

    target, link = tool.linked("linked-target.mid", "link.mid", 0o600)
    expect_success(tool.run("render", example, "-o", link), "render through a link")
    check(os.path.islink(link), "the link stays a link")
    check(mido.MidiFile(target).type == 1, "the file it points to is the MIDI file")
    check(stat.S_IMODE(os.stat(target).st_mode) == 0o600, "the file keeps its mode")


def test_export_musicxml(tool, examples):
    """export-musicxml writes one score, the same bytes every time, through
    -o as render does (device, FIFO, link, mode), and fails cleanly."""
    example = os.path.join(examples, "orbit_garden.hvn")
    first, second = tool.path("first.musicxml"), tool.path("second.musicxml")
    expect_success(tool.run("export-musicxml", example, "-o", first), "export-musicxml")
    expect_success(tool.run("export-musicxml", example, "-o", second), "export-musicxml again")
    with open(first, "rb") as f:
        score = f.read()
    with open(second, "rb") as f:
        check(f.read() == score, "two exports of one document differ")
    check(score.count(b"<part id=") == 4, "orbit_garden: not one part per track")
    skipped = tool.path("skipped.musicxml")
    expect_success(tool.run("export-musicxml", example, "-o", skipped, "--skip-muted"),
                   "export-musicxml --skip-muted")
    with open(skipped, "rb") as f:
        check(f.read().count(b"<part id=") == 3, "--skip-muted keeps the muted track")

    full = tool.run("export-musicxml", example, "-o", "/dev/full")
    expect_error(full, None, "export-musicxml to /dev/full")
    check("/dev/full: Unable to export MusicXML." in full.stderr, f"{full.stderr!r}")
    expect_success(tool.run("export-musicxml", example, "-o", "/dev/null"), "to /dev/null")

    fifo = tool.path("score.fifo")
    if os.path.lexists(fifo):
        os.remove(fifo)
    os.mkfifo(fifo)
    # cat copies into a file: a pipe to this script would fill while the
    # export still writes and hold both.
    copied = tool.path("from-fifo.musicxml")
    with open(copied, "wb") as copy:
        reader = subprocess.Popen(["cat", fifo], stdout=copy)
        written = tool.run("export-musicxml", example, "-o", fifo)
        reader.wait(timeout=60)
    expect_success(written, "export-musicxml into a FIFO")
    with open(copied, "rb") as f:
        check(f.read() == score, "the FIFO got other bytes than the file")

    target, link = tool.linked("score-target.musicxml", "score-link.musicxml", 0o640)
    expect_success(tool.run("export-musicxml", example, "-o", link), "through a link")
    check(os.path.islink(link), "the link stays a link")
    with open(target, "rb") as f:
        check(f.read() == score, "the linked file is not the score")
    check(stat.S_IMODE(os.stat(target).st_mode) == 0o640, "the file keeps its mode")

    missing = tool.path("nowhere/score.musicxml")
    failed = tool.run("export-musicxml", example, "-o", missing)
    expect_error(failed, None, "export-musicxml into a missing folder")
    check(failed.stderr.count(missing) == 1 and "No such file or directory" in failed.stderr,
          f"{failed.stderr!r}")
    leftovers = [n for n in os.listdir(tool.workdir) if ".part-" in n]
    check(not leftovers, f"temporary files left behind: {leftovers}")

    # Ctrl+C during a long export (16 tracks of sixteenths over 999
    # measures, about 100 MB) stops it, says so and leaves nothing behind.
    # The score goes into a FIFO whose reader takes the first bytes and then
    # reads no more until the signal is sent: the export is still running,
    # held by the full pipe, whatever the build's speed.
    rhythm = {2: 1.0}  # "1/16"
    big = tool.write("big.hvn", document(
        [morse_thue(b"Counting", 64, 3, 0, 1)],
        [block(b"Busy %d" % k, length=8, rhythm=rhythm, seed=k + 1, channel=k) for k in range(16)],
        [track() for _ in range(16)], length=999))
    stopped = tool.path("stopped.fifo")
    if os.path.lexists(stopped):
        os.remove(stopped)
    os.mkfifo(stopped)
    export = subprocess.Popen([tool.cli, "export-musicxml", big, "-o", stopped],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    reader = os.open(stopped, os.O_RDONLY | os.O_NONBLOCK)
    started = b""
    # Until the export opens the FIFO and writes (or fails before that).
    deadline = time.monotonic() + 120
    while not started and export.poll() is None and time.monotonic() < deadline:
        select.select([reader], [], [], 1.0)
        try:
            started = os.read(reader, 4096)
        except BlockingIOError:
            pass
    export.send_signal(signal.SIGINT)
    os.set_blocking(reader, True)
    while os.read(reader, 1 << 16):  # to the end the cancelled export leaves
        pass
    os.close(reader)
    err = export.communicate(timeout=120)[1]
    check(started.startswith(b"<?xml"), f"Ctrl+C: the export began with {started[:40]!r}")
    check(export.returncode == 1, f"Ctrl+C: exit status {export.returncode}: {err!r}")
    check("stopped.fifo: Unable to export MusicXML. Export cancelled." in err, f"Ctrl+C: {err!r}")
    leftovers = [n for n in os.listdir(tool.workdir) if ".part-" in n]
    check(not leftovers, f"Ctrl+C left temporary files: {leftovers}")


def main():
    args = options("--cli", "--examples", "--workdir").parse_args()
    fresh_directory(args.workdir)
    tool = Tool(args.cli, args.workdir)

    tests = [
        ("render_round_trip", lambda: test_render_round_trip(tool)),
        ("render_skip_muted_and_ppqn", lambda: test_render_skip_muted_and_ppqn(tool)),
        ("empty_texts_are_left_out", lambda: test_empty_texts_are_left_out(tool)),
        ("key_signatures", lambda: test_key_signatures(tool)),
        ("send_instruments", lambda: test_send_instruments(tool)),
        ("examples_render_and_describe",
         lambda: test_examples_render_and_describe(tool, args.examples)),
        ("audition", lambda: test_audition(tool, args.examples)),
        ("audition_needs_values", lambda: test_audition_needs_values(tool)),
        ("bad_arguments", lambda: test_bad_arguments(tool)),
        ("bad_documents", lambda: test_bad_documents(tool, args.examples)),
        ("output_paths", lambda: test_output_paths(tool, args.examples)),
        ("messages_name_the_file_once_with_the_reason",
         lambda: test_messages_name_the_file_once_with_the_reason(tool, args.examples)),
        ("help", lambda: test_help(tool)),
        ("export_musicxml", lambda: test_export_musicxml(tool, args.examples)),
    ]
    failed = 0
    for name, test in tests:
        try:
            test()
            print(f"ok   {name}")
        except Failure as failure:
            failed += 1
            print(f"FAIL {name}: {failure}")
        except Exception:  # a crash of the test itself counts as a failure
            failed += 1
            print(f"FAIL {name}:\n{traceback.format_exc()}")
    print(f"cli: {len(tests) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
