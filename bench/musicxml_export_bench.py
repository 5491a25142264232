#!/usr/bin/env python3
"""Measures `halvorn-cli export-musicxml` on the demos and on the largest
score a document can ask for: 16 tracks of 999 measures of 9/4 in "1/64"
triplets (the document of document_cli_bench.py). Wall time, file size and
peak memory (/usr/bin/time -v) for each; the goal is a peak under 200 MB
however large the score, since the writer streams.

Usage: bench/musicxml_export_bench.py BUILD_DIR [--examples DIR]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from document_cli_bench import worst_case_document  # noqa: E402

GOAL_MB = 200
EXAMPLES = ("orbit_garden.hvn", "morse_procession.hvn", "noise_nocturne.hvn")


def measure(cli, song, out):
    result = subprocess.run(["/usr/bin/time", "-v", cli, "export-musicxml", song, "-o", out],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"export-musicxml failed: {result.stderr}")
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", result.stderr)
    hours, minutes, seconds = wall.groups()
    elapsed = int(hours or 0) * 3600 + int(minutes) * 60 + float(seconds)
    rss_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    return elapsed, rss_kb / 1024, os.path.getsize(out) / 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--examples", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
    args = parser.parse_args()
    cli = os.path.join(args.build_dir, "cli", "halvorn-cli")
    if not os.path.exists("/usr/bin/time"):
        sys.exit("needs GNU time (/usr/bin/time, Debian package 'time')")
    peak = 0.0
    with tempfile.TemporaryDirectory() as work:
        songs = [(name, os.path.join(args.examples, name)) for name in EXAMPLES]
        worst = os.path.join(work, "worst.hvn")
        with open(worst, "wb") as f:
            f.write(worst_case_document())
        songs.append(("worst case (16 x 999 measures of 1/64 triplets)", worst))
        for name, song in songs:
            out = os.path.join(work, "score.musicxml")
            elapsed, memory, size_mb = measure(cli, song, out)
            peak = max(peak, memory)
            print(f"{name}: {elapsed:.2f} s, {size_mb:.2f} MB, {memory:.0f} MB peak")
            os.remove(out)
    print(f"peak memory {peak:.0f} MB (goal < {GOAL_MB} MB): "
          + ("goal met" if peak < GOAL_MB else "goal MISSED"))
    return 0 if peak < GOAL_MB else 1


if __name__ == "__main__":
    sys.exit(main())
