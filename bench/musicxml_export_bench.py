#!/usr/bin/env python3
"""Measures `halvorn-cli export-musicxml` on the demos and on the largest
score a document can ask for: 16 tracks of 999 measures of 9/4 in "1/64"
triplets (the document of document_cli_bench.py). Wall and CPU time, file
size and peak memory (/usr/bin/time -v) for each; the goal is a peak under
200 MB however large the score, since the writer streams.

Usage: bench/musicxml_export_bench.py BUILD_DIR [--examples DIR]
"""
import argparse
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
from document_cli_bench import worst_case_document  # noqa: E402
from script_support import timed_cli  # noqa: E402

GOAL_MB = 200
EXAMPLES = ("orbit_garden.hvn", "morse_procession.hvn", "noise_nocturne.hvn")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--examples", default=os.path.join(HERE, "..", "examples"))
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
            elapsed, memory, cpu = timed_cli(cli, "export-musicxml", song, "-o", out)
            size_mb = os.path.getsize(out) / 1e6
            peak = max(peak, memory)
            # CPU seconds vary less than wall time on a shared machine.
            print(f"{name}: {elapsed:.2f} s ({cpu:.2f} s CPU), {size_mb:.2f} MB, "
                  f"{memory:.0f} MB peak")
            os.remove(out)
    print(f"peak memory {peak:.0f} MB (goal < {GOAL_MB} MB): "
          + ("goal met" if peak < GOAL_MB else "goal MISSED"))
    return 0 if peak < GOAL_MB else 1


if __name__ == "__main__":
    sys.exit(main())
