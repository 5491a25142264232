#!/usr/bin/env python3
"""halvorn-cli export-audio on a demo document: the WAV lasts as long as the
piece (measured on the MIDI file of the same piece with mido) plus the
release tail, and peaks between -6 and -1 dBFS; --gain sets the synthesizer's
gain instead, and the level follows it; --stems writes a file per playing
track. Failures leave no file. ports and play say clearly when this machine
cannot sound, and nothing else is printed on standard error."""
import glob
import os
import re
import shutil
import sys
import wave

import sound_servers as servers

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import script_support as support  # noqa: E402
from script_support import check, dbfs, peak_of  # noqa: E402

mido = None  # python3-mido, imported by main once it is known to be there

TAIL_SECONDS = 1.0
run = support.run_cli


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


def read_wav(path):
    """(seconds, samples) of a 16-bit stereo WAV at 22050 Hz."""
    form, seconds, samples = support.read_wav(path)
    check(form == (2, 2, 22050), f"not 16-bit stereo at 22050 Hz: {form}")
    return seconds, samples


def peak_dbfs(samples):
    return dbfs(peak_of(samples))


def check_export(cli, document, workdir):
    midi_path = os.path.join(workdir, "piece.mid")
    wav_path = os.path.join(workdir, "piece.wav")
    result = run(cli, "render", document, "-o", midi_path, "--skip-muted", "--ppqn", "96")
    check(result.returncode == 0, f"render failed: {result.stderr}")
    piece_seconds = last_event_seconds(mido.MidiFile(midi_path))

    result = run(cli, "export-audio", document, "-o", wav_path, "--ppqn", "96",
                 "--sample-rate", "22050")
    check(result.returncode == 0 and result.stderr == "", f"export-audio failed: {result.stderr}")
    seconds, samples = read_wav(wav_path)
    expected = piece_seconds + TAIL_SECONDS
    check(abs(seconds - expected) < 0.002,
          f"WAV lasts {seconds:.4f} s, the piece and tail {expected:.4f} s")
    level = peak_dbfs(samples)
    check(-6 <= level <= -1, f"the export peaks at {level:.2f} dBFS, not within -6..-1")
    print(f"{os.path.basename(document)}: peak {level:.2f} dBFS")

    # A gain of the user's: half of it is 6 dB quieter.
    levels = []
    for gain in ("0.2", "0.1"):
        result = run(cli, "export-audio", document, "-o", wav_path, "--ppqn", "96",
                     "--sample-rate", "22050", "--gain", gain)
        check(result.returncode == 0, f"export-audio --gain {gain} failed: {result.stderr}")
        levels.append(peak_dbfs(read_wav(wav_path)[1]))
    check(levels[0] < level - 6, f"--gain 0.2 peaks at {levels[0]:.2f} dBFS")
    check(abs(levels[0] - levels[1] - 6.02) < 0.3, f"--gain 0.2 and 0.1 peak at {levels}")
    check(sorted(os.listdir(workdir)) == ["piece.mid", "piece.wav"], "stray files left")
    check_stems(cli, document, workdir, wav_path)


def check_stems(cli, document, workdir, whole_path):
    """--stems: one 24-bit file per track that plays (the muted ones make
    none), named after it and exactly as long as the export (which the
    whole above is, at the last gain: made again levelled)."""
    result = run(cli, "export-audio", document, "-o", whole_path, "--ppqn", "96",
                 "--sample-rate", "22050")
    check(result.returncode == 0, f"export-audio failed: {result.stderr}")
    stems = os.path.join(workdir, "stems")
    result = run(cli, "export-audio", document, "--stems", stems, "--ppqn", "96",
                 "--sample-rate", "22050")
    check(result.returncode == 0 and result.stderr == "", f"--stems failed: {result.stderr}")
    info = run(cli, "info", document).stdout
    playing = re.findall(r'^ +(\d+): "([^"]*)", playing', info, re.MULTILINE)
    expected = [f"{int(number):02d}-{name}.wav" for number, name in playing]
    check(sorted(os.listdir(stems)) == expected, f"stems {sorted(os.listdir(stems))}")
    with wave.open(whole_path, "rb") as whole:
        frames = whole.getnframes()
    for name in expected:
        with wave.open(os.path.join(stems, name), "rb") as stem:
            check((stem.getnchannels(), stem.getsampwidth(), stem.getframerate(),
                   stem.getnframes()) == (2, 3, 22050, frames),
                  f"{name}: not 24-bit stereo at 22050 Hz as long as the export")
    shutil.rmtree(stems)


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
    stems = os.path.join(workdir, "missing-dir", "stems")
    result = run(cli, "export-audio", document, "--stems", stems)
    check(result.returncode == 1 and stems in result.stderr and result.stderr.count("\n") == 1,
          f"stems into a missing folder: {result.stderr!r}")
    check(not os.path.exists(target), "a failed export left a file")


def check_ports_and_play(cli, document):
    ports = run(cli, "ports")
    check(ports.returncode == 0 and ports.stderr == "", f"ports failed: {ports.stderr!r}")
    if "cannot sound here" in ports.stdout:
        # One line naming the servers tried and the way to hear the piece.
        play = run(cli, "play", document)
        check(play.returncode == 1 and play.stderr.count("\n") == 1
              and all(name in play.stderr for name in ("PulseAudio", "JACK", "ALSA"))
              and "export-audio" in play.stderr and "MIDI data" not in play.stderr,
              f"play on a silent machine: {play.stderr!r}")


def main():
    args = support.options("--cli", "--examples", "--workdir").parse_args()
    global mido
    mido = support.require_module("mido", "python3-mido")
    support.require_files(servers.SOUNDFONT)
    documents = sorted(glob.glob(os.path.join(args.examples, "*.hvn")))
    if not documents:
        print("no demo documents")
        return 1
    support.fresh_directory(args.workdir)
    check_export(args.cli, documents[0], args.workdir)
    check_failures(args.cli, documents[0], args.workdir)
    check_ports_and_play(args.cli, documents[0])
    shutil.rmtree(args.workdir, ignore_errors=True)
    return support.outcome("export-audio")


if __name__ == "__main__":
    sys.exit(main())
