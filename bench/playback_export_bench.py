#!/usr/bin/env python3
"""Measures `halvorn-cli export-audio` against FluidSynth's own fast file
renderer (`fluidsynth -F`) on the same piece, soundfont and sample rate.

The piece is a demo document rendered with `halvorn-cli render --skip-muted`
(what export-audio plays); both renderers load the same soundfont with their
default synthesizer settings. Reports the best wall time of N runs of each;
the goal is export-audio no slower than fluidsynth -F.

Usage: bench/playback_export_bench.py BUILD_DIR [--document X.hvn] [--runs N]
Needs the fluidsynth program (Debian package fluidsynth).
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

SOUNDFONT = "/usr/share/sounds/sf2/default-GM.sf2"
SAMPLE_RATE = "44100"


def best_time(command, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def wav_seconds(path):
    import wave
    with wave.open(path, "rb") as wav:
        return wav.getnframes() / wav.getframerate()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--document")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.join(args.build_dir, "cli", "halvorn-cli")
    fluidsynth = shutil.which("fluidsynth")
    if not fluidsynth:
        print("fluidsynth is not installed (apt-get install fluidsynth)")
        return 1
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    document = args.document or sorted(glob.glob(os.path.join(root, "examples", "*.hvn")))[0]
    with tempfile.TemporaryDirectory() as work:
        midi = os.path.join(work, "piece.mid")
        subprocess.run([cli, "render", document, "-o", midi, "--skip-muted"], check=True)
        ours_wav = os.path.join(work, "ours.wav")
        theirs_wav = os.path.join(work, "theirs.wav")
        ours = best_time([cli, "export-audio", document, "-o", ours_wav, "--soundfont", SOUNDFONT,
                          "--sample-rate", SAMPLE_RATE], args.runs)
        theirs = best_time([fluidsynth, "-ni", "-q", "-r", SAMPLE_RATE, "-F", theirs_wav, "-T",
                            "wav", "-O", "s16", SOUNDFONT, midi], args.runs)
        audio = wav_seconds(ours_wav)
        print(f"piece: {os.path.basename(document)}, {audio:.2f} s of audio")
        print(f"halvorn-cli export-audio: {ours:.3f} s ({audio / ours:.0f}x real time)")
        print(f"fluidsynth -F:            {theirs:.3f} s ({wav_seconds(theirs_wav) / theirs:.0f}x"
              " real time)")
        print(f"ratio (ours / fluidsynth): {ours / theirs:.2f}; goal <= 1.00: "
              f"{'met' if ours <= theirs else 'NOT met'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
