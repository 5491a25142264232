#!/usr/bin/env python3
"""Measures `halvorn-cli render` on the heaviest document the pages allow.

16 tracks of 8-measure 9/4 blocks in "1/64" triplets, probability 1, a
999-measure piece: about 13.8 million MIDI events. Wall time and peak memory
come from /usr/bin/time -v; the goals are under 1 s and under 400 MB.

Usage: bench/document_cli_bench.py BUILD_DIR [--runs N]
"""
import argparse
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from script_support import f64, i32, text, text30, timed_cli  # noqa: E402

GOAL_SECONDS = 1.0
GOAL_MB = 400


def worst_case_document():
    settings = [100, 9, -6, 1, 0, 1, 0, 1, 2, 16, 999]
    noise = text30(b"Noise") + i32(2) + i32(256) + i32(12) + i32(7) + i32(2) + i32(64)
    morse = text30(b"Morse") + i32(1) + i32(256) + i32(12) + i32(7) + i32(1000) + i32(13)
    rhythm = [1.0] + [0.0] * 9  # all "1/64"
    blocks = b"".join(
        text30(b"Worst") + i32(0) + i32(0) + i32(8) + i32(0) + i32(24) + i32(0)
        + i32(1) + i32(100) + f64(1.0) + f64(0.0) + b"".join(f64(p) for p in rhythm)
        + f64(0.0) + f64(1.0) + f64(1.0) + i32(i + 1) + i32(1) + i32(0) * 8 + f64(0.3)
        + i32(0) + i32(i) for i in range(16))
    tracks = (i32(1) + f64(1.0) + f64(0.5) + f64(1.0) + i32(1) + i32(0) + f64(1.0)
              + f64(0.0) * 3) * 16
    return (b"HVN\x11" + text(b"Worst case") + text(b"Benchmark") + text(b"")
            + b"".join(i32(v) for v in settings) + noise + morse + blocks + tracks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.join(args.build_dir, "cli", "halvorn-cli")
    if not os.path.exists("/usr/bin/time"):
        sys.exit("needs GNU time (/usr/bin/time, Debian package 'time')")
    with tempfile.TemporaryDirectory() as work:
        song = os.path.join(work, "worst.hvn")
        out = os.path.join(work, "worst.mid")
        with open(song, "wb") as f:
            f.write(worst_case_document())
        runs = [timed_cli(cli, "render", song, "-o", out) for _ in range(args.runs)]
        size_mb = os.path.getsize(out) / 1e6
    best_time = min(t for t, _, _ in runs)
    peak_mb = max(m for _, m, _ in runs)
    for index, (elapsed, memory, cpu) in enumerate(runs):
        print(f"run {index}: {elapsed:.2f} s wall, {cpu:.2f} s CPU, {memory:.0f} MB peak")
    print(f"halvorn-cli render, worst case ({size_mb:.1f} MB MIDI file): "
          f"best {best_time:.2f} s (goal < {GOAL_SECONDS} s), "
          f"peak {peak_mb:.0f} MB (goal < {GOAL_MB} MB)")
    met = best_time < GOAL_SECONDS and peak_mb < GOAL_MB
    print("goals met" if met else "goals MISSED")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
