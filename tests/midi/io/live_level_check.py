#!/usr/bin/env python3
"""The built-in synthesizer's live level, recorded from a PulseAudio null
sink on a server of the test's own: `halvorn-cli play` of the opening
seconds of each demo peaks between -9 and -1 dBFS, and no sample reaches
full scale; sixteen tracks of full-velocity notes at full volume together
do not either."""
import argparse
import glob
import math
import os
import re
import subprocess
import sys
import time

import sound_servers as servers

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import script_support as support  # noqa: E402
from script_support import check, dbfs, peak_of  # noqa: E402

EXCERPT_SECONDS = 9.0
LOWEST_PEAK_DBFS = -9.0
HIGHEST_PEAK_DBFS = -1.0
FULL_SCALE = 32767
PLAY_TIMEOUT = 120


def run(cli, *words, env=None):
    return support.run_cli(cli, *words, env=env, timeout=PLAY_TIMEOUT)


def excerpt_measures(cli, document):
    """Whole measures of the document that last about EXCERPT_SECONDS."""
    info = run(cli, "info", document).stdout
    tempo = int(re.search(r"Tempo: (\d+)", info).group(1))
    beats = int(re.search(r"Time signature: (\d+)/", info).group(1))
    return max(1, int(EXCERPT_SECONDS / (beats * 60.0 / tempo)))


def recorded_peak(path):
    """The loudest sample of a raw s16le recording and how many samples sit
    at full scale (clipped)."""
    samples = support.raw_samples(path)
    clipped = sum(1 for s in samples if s >= FULL_SCALE or s <= -FULL_SCALE)
    return peak_of(samples), clipped


def play_and_record(cli, s, server, document, name):
    recording = s.path(name + ".raw")
    with servers.pulse_recording(s, server, recording):
        result = run(cli, "play", document, "--port", "0", env=s.env)
        time.sleep(0.3)
    check(result.returncode == 0, f"{name}: play failed: {result.stderr}")
    return recorded_peak(recording)


def check_level(cli, s, server, document, name, lowest):
    peak, clipped = play_and_record(cli, s, server, document, name)
    level = dbfs(peak)
    check(clipped == 0, f"{name}: {clipped} samples clipped")
    check(lowest <= level <= HIGHEST_PEAK_DBFS,
          f"{name}: peaks at {level:.2f} dBFS, not within {lowest}..{HIGHEST_PEAK_DBFS}")
    print(f"{name}: live peak {level:.2f} dBFS, {clipped} samples clipped")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--variant", required=True, help="song_variant")
    parser.add_argument("--examples", required=True)
    parser.add_argument("--whole", action="store_true", help="play the demos whole")
    args = parser.parse_args()
    support.require_tools(servers.PULSE_TOOLS)
    support.require_files(servers.SOUNDFONT)
    demos = sorted(glob.glob(os.path.join(args.examples, "*.hvn")))
    if not check(len(demos) >= 3, f"expected three demos in {args.examples}"):
        return 1
    with servers.scratch() as s:
        with servers.pulse_server(s) as server:
            synth = run(args.cli, "ports", env=s.env).stdout.splitlines()[0]
            if not check(synth == "0: Built-in GM synthesizer (sound through PulseAudio)",
                         f"the synthesizer should sound through PulseAudio: {synth!r}"):
                return 1
            for demo in demos:
                name = os.path.splitext(os.path.basename(demo))[0]
                document = demo
                if not args.whole:
                    document = s.path(name + ".hvn")
                    measures = excerpt_measures(args.cli, demo)
                    subprocess.run([args.variant, demo, document, "--measures", str(measures)],
                                   check=True, timeout=60)
                check_level(args.cli, s, server, document, name, LOWEST_PEAK_DBFS)
            # All sixteen tracks at full velocity and volume: however loud,
            # never clipped.
            loud = s.path("sixteen_loud.hvn")
            subprocess.run([args.variant, demos[0], loud, "--measures", "2", "--dense", "--loud"],
                           check=True, timeout=60)
            check_level(args.cli, s, server, loud, "sixteen loud tracks", -math.inf)
    return support.outcome("live level")


if __name__ == "__main__":
    sys.exit(main())
