#!/usr/bin/env python3
"""Measures `halvorn-cli export-audio` against FluidSynth's own fast file
renderer (`fluidsynth -F`) on the same pieces, soundfont and sample rate.

Each piece is a demo document (by default every one in examples/) rendered
with `halvorn-cli render --skip-muted --send-instruments` (what export-audio
plays, instruments included); both
renderers load the same soundfont with their default synthesizer settings.
export-audio levels its output (peak at -3 dBFS) unless --gain is given.
Reports the best wall time of N runs of each, their ratio (the goal is
export-audio no slower than fluidsynth -F) and the export's peak; then the
best time of `export-audio --stems` (one 24-bit file per track) against the
plain export, and how far the stems summed sample by sample are from it
(the goal: within -90 dBFS).

Usage: bench/playback_export_bench.py BUILD_DIR [--document X.hvn ...] [--runs N]
                                      [--gain G]
Needs the fluidsynth program (Debian package fluidsynth).
"""
import argparse
import array
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from script_support import dbfs, peak_of, read_wav  # noqa: E402

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


def wav_seconds_and_peak(path):
    _, seconds, samples = read_wav(path)
    return seconds, dbfs(peak_of(samples))


def samples_in_16bit_steps(path):
    """The samples of a 16- or 24-bit WAV, in 16-bit steps."""
    with wave.open(path, "rb") as wav:
        width, data = wav.getsampwidth(), wav.readframes(wav.getnframes())
    if width == 2:
        return array.array("h", data)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        import audioop  # C speed; Debian 12's Python still has it
    wide = array.array("i", audioop.lin2lin(data, width, 4))
    return [sample / 65536 for sample in wide]


def stems_difference_dbfs(whole_wav, folder):
    """The largest difference between the stems summed and the whole."""
    whole = samples_in_16bit_steps(whole_wav)
    total = [0.0] * len(whole)
    for name in sorted(os.listdir(folder)):
        stem = samples_in_16bit_steps(os.path.join(folder, name))
        if len(stem) != len(whole):
            sys.exit(f"{name} is not as long as the export")
        total = [a + b for a, b in zip(total, stem)]
    worst = max(abs(a - b) for a, b in zip(total, whole))
    return dbfs(worst) if worst else float("-inf")


def bench_document(cli, fluidsynth, document, runs, gain, work):
    midi = os.path.join(work, "piece.mid")
    # With the instruments, so that both renderers sound the same ones.
    subprocess.run([cli, "render", document, "-o", midi, "--skip-muted", "--send-instruments"],
                   check=True)
    ours_wav = os.path.join(work, "ours.wav")
    theirs_wav = os.path.join(work, "theirs.wav")
    ours_command = [cli, "export-audio", document, "-o", ours_wav, "--soundfont", SOUNDFONT,
                    "--sample-rate", SAMPLE_RATE] + (["--gain", gain] if gain else [])
    theirs_command = [fluidsynth, "-ni", "-q", "-r", SAMPLE_RATE, "-F", theirs_wav, "-T", "wav",
                      "-O", "s16", SOUNDFONT, midi]
    # Alternating, so that a busy moment of the machine hurts both alike.
    ours, theirs = None, None
    for _ in range(runs):
        t = best_time(ours_command, 1)
        ours = t if ours is None else min(ours, t)
        t = best_time(theirs_command, 1)
        theirs = t if theirs is None else min(theirs, t)
    seconds, peak = wav_seconds_and_peak(ours_wav)
    stems_folder = os.path.join(work, "stems")
    stems_command = [cli, "export-audio", document, "--stems", stems_folder, "--soundfont",
                     SOUNDFONT, "--sample-rate", SAMPLE_RATE] + (["--gain", gain] if gain else [])
    stems = best_time(stems_command, runs)
    difference = stems_difference_dbfs(ours_wav, stems_folder)
    shutil.rmtree(stems_folder)
    return {"name": os.path.basename(document), "seconds": seconds, "ours": ours,
            "theirs": theirs, "peak": peak, "stems": stems, "difference": difference}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--document", action="append")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--gain", help="export at this synthesizer gain instead of levelling")
    args = parser.parse_args()
    cli = os.path.join(args.build_dir, "cli", "halvorn-cli")
    fluidsynth = shutil.which("fluidsynth")
    if not fluidsynth:
        print("fluidsynth is not installed (apt-get install fluidsynth)")
        return 1
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    documents = args.document or sorted(glob.glob(os.path.join(root, "examples", "*.hvn")))
    results = []
    with tempfile.TemporaryDirectory() as work:
        for document in documents:
            results.append(bench_document(cli, fluidsynth, document, args.runs, args.gain, work))
    print(f"{'piece':24} {'audio s':>8} {'export s':>9} {'fluid -F s':>10} {'ratio':>6} "
          f"{'peak dBFS':>9}")
    for r in results:
        print(f"{r['name']:24} {r['seconds']:8.2f} {r['ours']:9.3f} {r['theirs']:10.3f} "
              f"{r['ours'] / r['theirs']:6.2f} {r['peak']:9.2f}")
    met = all(r["ours"] <= r["theirs"] for r in results)
    print(f"goal export-audio <= fluidsynth -F on every piece: {'met' if met else 'NOT met'}")
    print(f"\n{'piece':24} {'stems s':>8} {'stems/export':>12} {'stems summed vs export':>23}")
    for r in results:
        print(f"{r['name']:24} {r['stems']:8.3f} {r['stems'] / r['ours']:12.2f} "
              f"{r['difference']:18.1f} dBFS")
    met = all(r["difference"] <= -90 for r in results)
    print(f"goal stems summed within -90 dBFS of the export: {'met' if met else 'NOT met'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
