#!/usr/bin/env python3
"""Live playback through JACK: `halvorn-cli play` of a dense one-minute
song to a capturing client on a JACK server of the benchmark's own (dummy
backend), measuring how late each message arrives and how much of one core
Halvorn's process takes while it plays.

The song is a demo made dense (tests/midi/io/song_variant --dense: 16 tracks of
sixteenth notes) at 160 quarter notes a minute for 40 measures of 4/4. A
message's arrival is the start of the JACK cycle that carried it (taken by
the capture client when the cycle runs); its lateness is measured against
its time in the piece, the schedule pinned at the earliest arrival (no
message arrives before it was sent). A message sent on time still waits for
the next cycle, so lateness up to one period is JACK's own; the goal is a
p99 within one period plus 1 ms. A server that falls behind (long cycles,
xruns: a busy virtual machine) makes messages later still, so the lateness
beyond the cycle that carried each message is shown too. CPU share = the process's user and system
time over its wall time (startup and rendering included).

Usage: bench/jack_playback_bench.py BUILD_DIR [--period FRAMES] [--document X.hvn]
BUILD_DIR holds cli/halvorn-cli and the two tools (a `make bench` build
directory or a test build). Needs jackd (Debian package jackd2).
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "midi", "io"))

import sound_servers as servers  # noqa: E402
from live_playback_check import Piece, lateness, port_index, run  # noqa: E402

RATE = 48000
PPQN = "96"
CPU_GOAL = 0.05


def tool(build, name):
    for folder in ("tests/io", "bench"):
        path = os.path.join(build, folder, name)
        if os.path.exists(path):
            return path
    sys.exit(f"no {name} in {build}")


def percentile(sorted_values, p):
    index = min(len(sorted_values) - 1, max(0, int(round(p * len(sorted_values))) - 1))
    return sorted_values[index]


def align(captured, expected, window=64):
    """Pairs the captured messages with the piece's in order. In an xrun
    the server may lose a cycle's messages or pass them twice: a captured
    message that matches one a little further on marks those before it as
    lost; one that matches none is a repeat."""
    pairs_captured, pairs_expected, lost, extra = [], [], 0, 0
    i = 0
    for message in captured:
        ahead = [k for k in range(i, min(i + window, len(expected)))
                 if expected[k][1] == message.data]
        if not ahead:
            extra += 1
            continue
        lost += ahead[0] - i
        pairs_captured.append(message)
        pairs_expected.append(expected[ahead[0]])
        i = ahead[0] + 1
    return pairs_captured, pairs_expected, lost + len(expected) - i, extra


def play_measured(cli, env, words):
    """Runs halvorn-cli and returns its exit status, wall time and CPU time."""
    started = time.monotonic()
    process = servers.start([cli, *words], env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit("play failed: " + process.stderr.read().decode())
    return wall, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--period", type=int, default=256)
    parser.add_argument("--document", default=os.path.join(HERE, "..", "examples",
                                                           "orbit_garden.hvn"))
    args = parser.parse_args()
    cli = os.path.join(args.build, "cli", "halvorn-cli")
    with servers.scratch() as s:
        song = s.path("dense.hvn")
        subprocess.run([tool(args.build, "song_variant"), args.document, song, "--dense",
                        "--measures", "40", "--tempo", "160"], check=True)
        piece = Piece(cli, s.env, song, s.root)
        print(f"{len(piece.messages)} messages over {piece.seconds(piece.last_tick):.1f} s, "
              f"JACK period {args.period} frames at {RATE} Hz")
        with servers.jack_server(s, rate=RATE, period=args.period):
            capture_tool = tool(args.build, "jack_midi_capture")
            with servers.jack_capture(s, capture_tool, "halvorn-bench") as capture:
                index = port_index(run(cli, s.env, "ports").stdout, capture.port)
                if index is None:
                    sys.exit("ports does not list the capture port")
                wall, cpu = play_measured(cli, s.env, ["play", song, "--port", index,
                                                       "--ppqn", PPQN, "--skip-muted"])
                report = capture.finish()
    captured, expected, lost, extra = align(report.messages, piece.messages)
    if lost or extra:
        print(f"the server lost {lost} and repeated {extra} of {len(piece.messages)} messages "
              f"in its {report.xruns} xruns; the others are measured")
    period = args.period / RATE
    late, allowed = lateness(captured, expected, piece, period)
    ms = sorted(x * 1000 for x in late)
    # What the server's own late cycles do not explain: lateness beyond the
    # cycle that carried the message (at least one period).
    beyond = sorted((x - a) * 1000 + 1 for x, a in zip(late, allowed))
    cycles = sorted(m.cycle - m.previous_cycle for m in report.messages)
    p99, goal = percentile(ms, 0.99), (period + 0.001) * 1000
    print(f"lateness ms: median {percentile(ms, 0.5):.3f}  p99 {p99:.3f}  max {ms[-1]:.3f}  "
          f"(goal: p99 within {goal:.3f})")
    print(f"beyond its JACK cycle ms: median {percentile(beyond, 0.5):.3f}  "
          f"p99 {percentile(beyond, 0.99):.3f}  max {beyond[-1]:.3f}")
    print(f"JACK cycles carrying messages: median {percentile(cycles, 0.5) * 1000:.3f} ms, "
          f"longest {cycles[-1] * 1000:.3f} ms; {report.xruns} xruns")
    print(f"halvorn-cli: {cpu:.2f} s of CPU in {wall:.1f} s = {cpu / wall * 100:.2f}% of one core "
          f"(goal: under {CPU_GOAL * 100:.0f}%)")
    met = p99 <= goal and cpu / wall < CPU_GOAL
    print("goals " + ("met" if met else "NOT met"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
