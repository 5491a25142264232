#!/usr/bin/env python3
"""halvorn-cli export-audio on a demo document: the WAV lasts as long as the
piece (measured on the MIDI file of the same piece with mido) plus the
release tail, and is not silent. Failures leave no file. ports and play say
clearly when this machine cannot sound."""
import argparse
import array
import glob
import os
import shutil
import subprocess
import sys
import wave

import mido

TAIL_SECONDS = 1.0
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run(cli, *words):
    return subprocess.run([cli, *words], capture_output=True, text=True, timeout=600)


def last_event_seconds(midi):
    """Time of the last message that is not a meta event (the end-of-track
    mark may come a tick later), at the file's one tempo."""
    tempo, last = 500000, 0
    for track in midi.tracks:
        tick = 0
        for message in track:
            tick += message.time
            if message.type == "set_tempo":
                tempo = message.tempo
            elif not message.is_meta:
                last = max(last, tick)
    return last * tempo / midi.ticks_per_beat / 1e6


def check_export(cli, document, workdir):
    midi_path = os.path.join(workdir, "piece.mid")
    wav_path = os.path.join(workdir, "piece.wav")
    result = run(cli, "render", document, "-o", midi_path, "--skip-muted", "--ppqn", "96")
    check(result.returncode == 0, f"render failed: {result.stderr}")
    piece_seconds = last_event_seconds(mido.MidiFile(midi_path))

    result = run(cli, "export-audio", document, "-o", wav_path, "--ppqn", "96",
                 "--sample-rate", "22050")
    check(result.returncode == 0, f"export-audio failed: {result.stderr}")
    with wave.open(wav_path, "rb") as wav:
        check(wav.getnchannels() == 2, "not stereo")
        check(wav.getsampwidth() == 2, "not 16-bit")
        check(wav.getframerate() == 22050, "wrong sample rate")
        seconds = wav.getnframes() / wav.getframerate()
        samples = array.array("h", wav.readframes(wav.getnframes()))
    expected = piece_seconds + TAIL_SECONDS
    check(abs(seconds - expected) < 0.002,
          f"WAV lasts {seconds:.4f} s, the piece and tail {expected:.4f} s")
    peak = max(abs(s) for s in samples) if samples else 0
    check(peak > 300, f"WAV is silent (peak {peak})")
    check(sorted(os.listdir(workdir)) == ["piece.mid", "piece.wav"], "stray files left")


def check_failures(cli, document, workdir):
    target = os.path.join(workdir, "missing-dir", "x.wav")
    result = run(cli, "export-audio", document, "-o", target)
    check(result.returncode != 0 and result.stderr.count("\n") == 1,
          f"export into a missing folder: {result.returncode} {result.stderr!r}")
    target = os.path.join(workdir, "y.wav")
    result = run(cli, "export-audio", document, "-o", target, "--soundfont", document)
    check(result.returncode != 0 and "SoundFont" in result.stderr,
          f"export with a bad soundfont: {result.stderr!r}")
    result = run(cli, "export-audio", document, "-o", target, "--sample-rate", "100")
    check(result.returncode == 2, "a bad sample rate is a usage error")
    check(not os.path.exists(target), "a failed export left a file")


def check_ports_and_play(cli, document):
    ports = run(cli, "ports")
    check(ports.returncode == 0, f"ports failed: {ports.stderr}")
    if "cannot sound here" in ports.stdout or "No MIDI output ports" in ports.stdout:
        play = run(cli, "play", document)
        check(play.returncode != 0 and "Unable to prepare MIDI data" in play.stderr
              or "no MIDI output device" in play.stderr,
              f"play on a silent machine: {play.stderr!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--workdir", required=True)
    args = parser.parse_args()
    documents = sorted(glob.glob(os.path.join(args.examples, "*.hvn")))
    if not documents:
        print("no demo documents")
        return 1
    shutil.rmtree(args.workdir, ignore_errors=True)
    os.makedirs(args.workdir)
    check_export(args.cli, documents[0], args.workdir)
    check_failures(args.cli, documents[0], args.workdir)
    check_ports_and_play(args.cli, documents[0])
    shutil.rmtree(args.workdir, ignore_errors=True)
    print("export-audio checks passed" if not failures else f"{len(failures)} checks failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
