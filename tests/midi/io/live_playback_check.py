#!/usr/bin/env python3
"""halvorn-cli ports and play on real sound servers of the test's own.

--server jack: a JACK server on the dummy backend and a capturing client of
ours. `ports` lists the client's port labelled (JACK) after the built-in
synthesizer, which sounds through JACK when no PulseAudio answers. `play`
of a demo excerpt delivers every note message of the rendered piece (read
back with mido), in order, each note-on with its note-off, each within one
JACK period plus 1 ms of its time in the piece (from the JACK frames the
messages arrived on); with --clock, a Start and then 24 clocks per quarter
note, and a Stop at the end. Ctrl+C in the middle leaves no note sounding. A capturing client that
quits, and a server that stops, end playback with a clear message.

--server pulse: a PulseAudio server with a null sink. `ports` says the
built-in synthesizer sounds through PulseAudio; `play` on it while parec
records the sink's monitor gives a recording that is not silent and sounds
for the piece's length to within 100 ms.

Without any server, `ports` says why the synthesizer cannot sound (unless a
sound card answers) and that no JACK server runs.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

import sound_servers as servers

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import script_support as support  # noqa: E402
from script_support import check  # noqa: E402

mido = None  # python3-mido, imported by main once it is known to be there

PPQN = 96
TIMING_SLACK_SECONDS = 0.001
LENGTH_TOLERANCE_SECONDS = 0.1
SILENCE_PEAK = 64  # above FluidSynth's dither, far below any note
LOUD_PEAK = 1000
PLAY_TIMEOUT = 120
ATTEMPTS = 4
JACK_PERIOD = 512  # frames at 48 kHz: 10.7 ms, a common desktop setting


def run(cli, env, *words, timeout=PLAY_TIMEOUT):
    return support.run_cli(cli, *words, env=env, timeout=timeout)


class Piece:
    """The messages `play --skip-muted` sends for a document, in the order
    it sends them: every track's messages merged by time, track order kept
    at equal times."""

    def __init__(self, cli, env, document, workdir):
        path = os.path.join(workdir, "piece.mid")
        result = run(cli, env, "render", document, "-o", path, "--skip-muted",
                     "--ppqn", str(PPQN))
        if result.returncode != 0:
            raise RuntimeError("render failed: " + result.stderr)
        midi = mido.MidiFile(path)
        self.us_per_quarter = 500000
        self.messages = []  # (tick, bytes)
        for track in midi.tracks:
            tick = 0
            for message in track:
                tick += message.time
                if message.type == "set_tempo":
                    self.us_per_quarter = message.tempo
                elif not message.is_meta:
                    self.messages.append((tick, bytes(message.bytes())))
        self.messages.sort(key=lambda m: m[0])
        self.ppqn = midi.ticks_per_beat
        self.last_tick = self.messages[-1][0]

    def seconds(self, tick):
        return tick * self.us_per_quarter / self.ppqn / 1e6

    def with_clock(self, buffer_beats=1):
        """Start, then the notes and the clock of every window up to the one
        that covers the last message, clocks after notes at equal ticks, and
        a Stop with the last clock."""
        window = self.ppqn * buffer_beats
        windows = self.last_tick // window + 1
        clocks = [(t, b"\xf8") for t in range(0, windows * window, self.ppqn // 24)]
        merged = sorted(self.messages + clocks, key=lambda m: m[0])
        return [(0, b"\xfa")] + merged + [(clocks[-1][0], b"\xfc")]


def is_note_on(data):
    return data[0] & 0xF0 == 0x90 and data[2] > 0


def is_note_off(data):
    return data[0] & 0xF0 == 0x80 or (data[0] & 0xF0 == 0x90 and data[2] == 0)


def unpaired_notes(datas):
    """Note-ons without a later note-off, and note-offs without an earlier
    note-on, on the same channel and key."""
    sounding, stray = {}, 0
    for data in datas:
        key = (data[0] & 0x0F, data[1]) if len(data) == 3 else None
        if is_note_on(data):
            sounding[key] = sounding.get(key, 0) + 1
        elif len(data) == 3 and is_note_off(data):
            if sounding.get(key, 0) == 0:
                stray += 1
            else:
                sounding[key] -= 1
    return sum(sounding.values()), stray


def lateness(captured, expected, piece, period):
    """Each message's lateness against its time in the piece, and what it
    is allowed: one JACK cycle (as long as the server actually took: a
    server that falls behind on a busy machine is not the player's fault)
    plus 1 ms. A message arrives with the cycle after the one it missed, so
    it is up to a cycle late however punctual the player. The player's
    start is not visible from outside; since no message arrives before it
    was sent, the schedule is pinned at the earliest arrival."""
    offsets = [m.cycle - piece.seconds(tick) for m, (tick, _) in zip(captured, expected)]
    anchor = min(offsets)
    late = [o - anchor for o in offsets]
    allowed = [max(period, m.cycle - m.previous_cycle) + TIMING_SLACK_SECONDS for m in captured]
    return late, allowed

def first_difference(got, want):
    for i, (a, b) in enumerate(zip(got, want)):
        if a != b:
            return f"message {i}: got {a.hex()} expected {b.hex()}"
    return f"got {len(got)} messages, expected {len(want)}"


def port_index(ports_output, port):
    for line in ports_output.splitlines():
        match = re.match(r"(\d+): (.*)$", line)
        if match and match.group(2) == f"{port} (JACK)":
            return match.group(1)
    return None


def with_retries(what, attempt):
    """Runs `attempt` (which returns its problems, the xruns the capture
    saw and a summary) until it finds no problem, at most ATTEMPTS times.
    On a busy machine a JACK client can miss its cycle (an xrun, and the
    server may then lose or repeat that cycle's messages on the way), and a
    virtual machine can stall any thread for milliseconds: a fault of the
    player shows in every attempt, a stall of the machine rarely twice."""
    for number in range(1, ATTEMPTS + 1):
        problems, xruns, summary = attempt()
        xrun_note = f" ({xruns} xruns)" if xruns else ""
        if not problems:
            print(f"{what}: {summary}{xrun_note}")
            return
        if number == ATTEMPTS:
            for problem in problems[:5]:
                check(False, f"{what}: {problem}{xrun_note}")
            return
        print(f"{what}: attempt {number} failed{xrun_note}, trying again: {problems[0]}")


def play_in_time_attempt(cli, s, server, tool, document, piece, clock):
    with servers.jack_capture(s, tool, f"halvorn-capture-{os.getpid()}") as capture:
        ports = run(cli, s.env, "ports")
        index = port_index(ports.stdout, capture.port)
        if index is None:
            return [f"ports does not list {capture.port} (JACK): {ports.stdout}"], 0, ""
        words = ["play", document, "--port", index, "--ppqn", str(PPQN), "--skip-muted"]
        result = run(cli, s.env, *(words + (["--clock"] if clock else [])))
        report = capture.finish()
    if result.returncode != 0:
        return [f"failed: {result.stderr}"], report.xruns, ""
    expected = piece.with_clock() if clock else piece.messages
    got = [m.data for m in report.messages]
    want = [data for _, data in expected]
    if got != want:
        return [f"the messages differ from the piece's: {first_difference(got, want)}"], \
            report.xruns, ""
    problems = []
    if unpaired_notes(got) != (0, 0):
        problems.append(f"unpaired notes {unpaired_notes(got)}")
    period = server.period / server.rate
    late, allowed = lateness(report.messages, expected, piece, period)
    problems += [f"message {i} arrived {late[i] * 1000:.3f} ms late "
                 f"(allowed {allowed[i] * 1000:.3f} ms)"
                 for i in range(len(late)) if late[i] > allowed[i]]
    longest = max(m.cycle - m.previous_cycle for m in report.messages)
    return problems, report.xruns, (
        f"{len(got)} messages in order, latest {max(late) * 1000:.3f} ms "
        f"(period {period * 1000:.3f} ms, longest cycle {longest * 1000:.3f} ms)")


def check_play_in_time(cli, s, server, tool, document, piece, clock):
    with_retries("play --clock" if clock else "play",
                 lambda: play_in_time_attempt(cli, s, server, tool, document, piece, clock))


def interrupt_attempt(cli, s, tool, document):
    with servers.jack_capture(s, tool, f"halvorn-interrupt-{os.getpid()}") as capture:
        index = port_index(run(cli, s.env, "ports").stdout, capture.port)
        if index is None:
            return ["ports does not list the capture port"], 0, ""
        play = servers.start([cli, "play", document, "--port", index, "--ppqn", str(PPQN)],
                             s.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        time.sleep(3.0)
        play.send_signal(signal.SIGINT)
        try:
            out, err = play.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            servers.stop(play, signal.SIGKILL)
            return ["play did not stop"], 0, ""
        report = capture.finish()
    problems = []
    if play.returncode != 0 or "Stopped." not in out:
        problems.append(f"status {play.returncode}, {out[-200:]!r} {err!r}")
    got = [m.data for m in report.messages]
    notes = sum(is_note_on(d) for d in got)
    if notes == 0:
        problems.append("nothing arrived before the stop")
    if unpaired_notes(got) != (0, 0):
        problems.append(f"notes left sounding: {unpaired_notes(got)}")
    return problems, report.xruns, f"stopped after {notes} notes, none left sounding"


def check_interrupt(cli, s, tool, document):
    with_retries("Ctrl+C", lambda: interrupt_attempt(cli, s, tool, document))


def check_pulse_vanishing(cli, document):
    """The synthesizer's own audio server stops two seconds into the piece:
    play ends with a message that names it instead of going on silently."""
    with servers.scratch() as s:
        with servers.pulse_server(s) as server:
            play = servers.start([cli, "play", document, "--port", "0"], s.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            time.sleep(2.0)
            vanished = time.monotonic()
            servers.stop(server.process, signal.SIGKILL)
            try:
                _, err = play.communicate(timeout=10)
            except subprocess.TimeoutExpired:
                servers.stop(play, signal.SIGKILL)
                check(False, "play hangs after its PulseAudio server went away")
                return
            seconds = time.monotonic() - vanished
    check(play.returncode == 1 and "PulseAudio" in err and err.count("\n") == 1,
          f"PulseAudio went away: status {play.returncode}, {err!r}")
    print(f"PulseAudio went away: play stopped {seconds:.2f} s later: {err.strip()}")


def check_vanishing(cli, s, tool, document, how):
    """The capturing client quits (how = "client") or the whole server
    stops (how = "server") two seconds into the piece."""
    with servers.jack_capture(s, tool, f"halvorn-vanishing-{os.getpid()}") as capture:
        index = port_index(run(cli, s.env, "ports").stdout, capture.port)
        if not check(index is not None, "ports does not list the capture port"):
            return
        play = servers.start([cli, "play", document, "--port", index], s.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        time.sleep(2.0)
        vanished = time.monotonic()
        if how == "client":
            capture.kill()
        else:
            servers.stop(s.jack_server.process)
        try:
            _, err = play.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            servers.stop(play, signal.SIGKILL)
            check(False, f"play hangs after the {how} went away")
            return
        seconds = time.monotonic() - vanished
    wanted = "is gone" if how == "client" else "JACK server has stopped"
    check(play.returncode == 1 and wanted in err and err.count("\n") == 1,
          f"the {how} went away: status {play.returncode}, {err!r}")
    print(f"the {how} went away: play stopped {seconds:.2f} s later: {err.strip()}")


def check_ports_without_servers(cli, s):
    ports = run(cli, s.env, "ports")
    check(ports.returncode == 0, f"ports failed: {ports.stderr}")
    lines = ports.stdout.splitlines()
    synth = lines[0] if lines else ""
    check(synth.startswith("0: Built-in GM synthesizer ("), f"ports: {ports.stdout!r}")
    if "sound through ALSA" not in synth:
        check("cannot sound here" in synth and all(
            name + " (" in synth for name in ("PulseAudio", "JACK", "ALSA")),
            f"ports does not say why the synthesizer cannot sound: {synth!r}")
    check(any(line.startswith("JACK: no server is running") for line in lines),
          f"ports does not say that no JACK server runs: {ports.stdout!r}")


def check_jack(cli, tool, document):
    with servers.scratch() as s:
        check_ports_without_servers(cli, s)
        piece = Piece(cli, s.env, document, s.root)
        with servers.jack_server(s, period=JACK_PERIOD) as server:
            s.jack_server = server
            synth = run(cli, s.env, "ports").stdout.splitlines()[0]
            check(synth == "0: Built-in GM synthesizer (sound through JACK)",
                  f"without PulseAudio the synthesizer should sound through JACK: {synth!r}")
            check_play_in_time(cli, s, server, tool, document, piece, clock=False)
            check_play_in_time(cli, s, server, tool, document, piece, clock=True)
            check_interrupt(cli, s, tool, document)
            check_vanishing(cli, s, tool, document, "client")
            check_vanishing(cli, s, tool, document, "server")


def sounding_seconds(path, rate):
    """Length of the recording from the first to the last 5 ms window whose
    peak rises above silence, and the loudest peak."""
    samples = support.raw_samples(path)
    window = rate * 5 // 1000 * 2
    peaks = [max(map(abs, samples[i:i + window]), default=0)
             for i in range(0, len(samples), window)]
    sounding = [i for i, peak in enumerate(peaks) if peak > SILENCE_PEAK]
    if not sounding:
        return 0.0, 0
    return (sounding[-1] - sounding[0] + 1) * window / 2 / rate, max(peaks)


def check_pulse(cli, document):
    with servers.scratch() as s:
        piece = Piece(cli, s.env, document, s.root)
        first_note = min(tick for tick, data in piece.messages if is_note_on(data))
        piece_seconds = piece.seconds(piece.last_tick) - piece.seconds(first_note)
        with servers.pulse_server(s) as server:
            synth = run(cli, s.env, "ports").stdout.splitlines()[0]
            check(synth == "0: Built-in GM synthesizer (sound through PulseAudio)",
                  f"the synthesizer should sound through PulseAudio: {synth!r}")
            recording = s.path("monitor.raw")
            with servers.pulse_recording(s, server, recording):
                result = run(cli, s.env, "play", document, "--port", "0")
                time.sleep(0.3)
            check(result.returncode == 0, f"play on the synthesizer failed: {result.stderr}")
        seconds, peak = sounding_seconds(recording, server.rate)
    check(peak > LOUD_PEAK, f"the recording is silent (peak {peak})")
    check(abs(seconds - piece_seconds) <= LENGTH_TOLERANCE_SECONDS,
          f"the recording sounds {seconds:.3f} s, the piece lasts {piece_seconds:.3f} s")
    print(f"PulseAudio: sounding {seconds:.3f} s for a piece of {piece_seconds:.3f} s, "
          f"peak {peak}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", choices=["jack", "pulse"], required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--capture", help="jack_midi_capture")
    parser.add_argument("--variant", required=True, help="song_variant")
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()
    global mido
    mido = support.require_module("mido", "python3-mido")
    if args.server == "jack":
        support.require_tools(servers.JACK_TOOLS)
    else:
        support.require_tools(servers.PULSE_TOOLS)
        support.require_files(servers.SOUNDFONT)
    with servers.scratch() as s:
        # A demo excerpt: eight measures of orbit_garden at twice its tempo.
        excerpt = s.path("excerpt.hvn")
        subprocess.run([args.variant, os.path.join(args.examples, "orbit_garden.hvn"), excerpt,
                        "--measures", "8", "--tempo", "192"], check=True, timeout=60)
        if args.server == "jack":
            check_jack(args.cli, args.capture, excerpt)
        else:
            check_pulse(args.cli, excerpt)
            check_pulse_vanishing(args.cli, excerpt)
    return support.outcome("live playback")


if __name__ == "__main__":
    sys.exit(main())
