#!/usr/bin/env python3
"""Differential test of `halvorn-cli render` against the Python oracle.

Writes many random but valid .hvn documents, renders each with the real tool
at several resolutions, with and without --skip-muted, and compares the MIDI
bytes with what halvorn_oracle.py computes. The demo documents in examples/
are compared too. Every document is derived from one integer seed, printed
on a mismatch so that the case can be replayed:

    differential_test.py --cli build/x/cli/halvorn-cli --seed S --count 1 --keep DIR
"""

import argparse
import concurrent.futures
import glob
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import halvorn_oracle as oracle  # noqa: E402

DEFAULT_SEED = 20240617
DEFAULT_COUNT = 150

# ---- random documents --------------------------------------------------------


def _text(rng, low, high, extended=True):
    length = rng.randint(low, high)
    alphabet = list(range(0x20, 0x7F))
    if extended and rng.random() < 0.3:
        alphabet += list(range(0xA0, 0x100)) + [0x80, 0x8A, 0x9F]
    return bytes(rng.choice(alphabet) for _ in range(length))


def _int32(value):
    return struct.pack("<i", value)


def _double(value):
    return struct.pack("<d", value)


def _string(text):
    return _int32(len(text)) + text


def _text30(text):
    return text[:30] + b"\0" * (30 - len(text[:30]))


def _probability(rng):
    """A fraction as the pages store it, now and then an arbitrary double."""
    roll = rng.random()
    if roll < 0.25:
        return 0.0
    if roll < 0.35:
        return 1.0
    if roll < 0.75:
        return rng.randint(1, 99) / 100
    return rng.random()


def _mandelbrot(rng):
    view = (-2.0, -1.25, 0.5, 1.25) if rng.random() < 0.5 else tuple(
        rng.uniform(-3, 3) for _ in range(4))
    roll = rng.random()
    if roll < 0.1:  # the edge cases of the generator's own tests
        p1 = rng.choice([(1.0, 0.0), (0.0, 0.0), (-1.0, 0.0), (-2.0, 0.0), (0.25, 0.0)])
    elif roll < 0.2:
        p1 = (rng.uniform(-3.0, 3.0), rng.uniform(-3.0, 3.0))
    else:
        p1 = (rng.uniform(-2.1, 0.6), rng.uniform(-1.2, 1.2))
    if rng.random() < 0.1:
        p2 = p1
    else:
        p2 = (rng.uniform(-2.1, 0.6), rng.uniform(-1.2, 1.2))
    path_kind = rng.choice([0, 0, 1, 1, 1, 7])
    padding = bytes(rng.randrange(256) for _ in range(4))
    return struct.pack("<8di", *view, *p1, *p2, path_kind) + padding


def _morse_thue(rng):
    roll = rng.random()
    if roll < 0.1:  # wraps around 2^31
        return struct.pack("<3i", rng.randint(2, 16), rng.randint(2147000000, 2147483647),
                           rng.randint(1000000, 9999999))
    if roll < 0.15:  # refused parameters: the sequence has no values
        return struct.pack("<3i", rng.choice([0, 1, 10]), rng.choice([-5, 0, 3]),
                           rng.choice([0, -1, 1]))
    base = rng.choice([2, 2, 3, 5, 7, 10, 10, 16, rng.randint(2, 9999999)])
    start = rng.choice([0, rng.randint(0, 1000), rng.randint(0, 99999999)])
    step = rng.choice([1, 1, 2, 3, rng.randint(1, 1000), rng.randint(1, 9999999)])
    return struct.pack("<3i", base, start, step)


def _noise(rng):
    seed = rng.randint(-2**31, 2**31 - 1)
    correlation = rng.randint(0, 4)
    value_range = rng.choice([0, rng.randint(1, 255), 127, 255])
    return struct.pack("<3i", seed, correlation, value_range)


def _microsequence(rng):
    fractal_type = rng.choices([0, 1, 2, 3], weights=[4, 4, 4, 1])[0]
    period = rng.choice([1, 2, 3, 7, 16, 64, 256, rng.randint(1, 256), rng.randint(1, 256)])
    if fractal_type == 0 and rng.random() < 0.5:
        period = min(period, 48)  # keeps the Python side quick
    parameters = {0: _mandelbrot, 1: _morse_thue, 2: _noise}.get(fractal_type,
                                                                   lambda _: b"")(rng)
    return (_text30(_text(rng, 0, 30)) + _int32(fractal_type) + _int32(period) +
            _int32(len(parameters)) + parameters)


def _distribution(rng, low, high):
    """Ten doubles; only low..high (indexes) take part in rendering."""
    values = [0.0] * 10
    style = rng.random()
    if style < 0.08:
        return values  # all zero: every note falls through
    active = [k for k in range(low, high + 1) if rng.random() < 0.6] or [rng.randint(low, high)]
    for k in active:
        values[k] = rng.randint(1, 100) / 100 if rng.random() < 0.7 else rng.random()
    if style < 0.6:  # normalised the way the page does, to whole percents
        total = sum(values)
        values = [int(v / total * 100) / 100 for v in values]
    elif style < 0.7:  # entries outside the range must be ignored
        for k in range(10):
            if not low <= k <= high and rng.random() < 0.5:
                values[k] = rng.random()
    return values


def _block(rng, micro_count, low, high, old_layout):
    description = _text(rng, 0, 30) if rng.random() < 0.9 else b""
    out = _text30(description)
    sequence_limit = max(micro_count, 1)
    small = rng.random() < 0.3
    ints = [
        rng.randint(0, 11), rng.randint(0, 3),
        rng.randint(1, 2) if small else rng.randint(1, 8),
        rng.randrange(sequence_limit),
        rng.choice([1, 2, 3, 5, 7, 8, 12, 14, 24, rng.randint(1, 127)]),
        rng.randint(-48, 48) if rng.random() < 0.5 else rng.randint(-8, 8),
        rng.randrange(sequence_limit),
        rng.choice([100, rng.randint(1, 100)]),
    ]
    out += b"".join(_int32(v) for v in ints)
    out += _double(rng.choice([1.0, rng.randint(1, 300) / 100, rng.uniform(0.01, 3.0)]))
    out += _double(rng.choice([0.0, 0.0, rng.randint(0, 100) / 100, rng.random()]))
    out += b"".join(_double(v) for v in _distribution(rng, low, high))
    if old_layout:
        out += b"".join(_int32(rng.choice([0, 0, 1, 3])) for _ in range(3))
    else:
        out += _double(_probability(rng) if rng.random() < 0.5 else 0.0)
        out += _double(_probability(rng) if rng.random() < 0.5 else 0.0)
    out += _double(rng.choice([1.0, 1.0, 0.0, rng.randint(0, 100) / 100, rng.random()]))
    out += _int32(rng.randint(-2**31, 2**31 - 1) if rng.random() < 0.7 else rng.randint(0, 9))
    out += b"".join(_int32(rng.choice([0, 0, 1, 1, 5])) for _ in range(9))
    out += _double(rng.choice([0.0, 1.0, rng.randint(0, 100) / 100, rng.random()]))
    out += _int32(rng.randint(0, 127)) + _int32(rng.randint(0, 15))
    return out


def _stretches(rng):
    style = rng.random()
    if style < 0.4:
        return [1.0, 0.0, 0.0, 0.0]
    if style < 0.5:
        return [0.0, 0.0, 0.0, 0.0]  # every draw falls through
    values = [rng.randint(0, 100) / 100 for _ in range(4)]
    total = sum(values) or 1.0
    if style < 0.85:  # whole percents, sums such as 0.99
        return [int(v / total * 100) / 100 for v in values]
    return [rng.random() for _ in range(4)]


def _macrosequence(rng):
    align = rng.randint(1, 8) if rng.random() < 0.95 else 0
    displacement = rng.choice([0, 0, 0, rng.randint(0, 7)])
    alignment = displacement * 65536 + align
    probability = rng.choice([1.0, 0.0, rng.randint(0, 100) / 100, rng.random()])
    return (_int32(rng.randint(-2**31, 2**31 - 1) if rng.random() < 0.7 else rng.randint(0, 9))
            + _double(rng.choice([1.0, rng.random()])) + _double(rng.choice([0.5, rng.random()]))
            + _double(probability) + _int32(alignment)
            + _int32(1 if rng.random() < 0.25 else 0)
            + b"".join(_double(v) for v in _stretches(rng)))


def dense_document(rng):
    """Blocks of "1/64" triplets over 8 measures of 9/4: thousands of notes
    per block, on a short piece so that the files stay small."""
    settings = [rng.randint(40, 300), 9, -6, rng.choice([-6, -5]), rng.randint(0, 11),
                rng.randint(0, 3), 0, 1, 1, 2, rng.randint(5, 9)]
    out = b"HVN\x11" + _string(b"Dense") + _string(b"") + _string(b"")
    out += b"".join(_int32(v) for v in settings)
    out += _text30(b"noise") + _int32(2) + _int32(256) + _int32(12) + _noise(rng)
    for channel in range(2):
        distribution = [1.0] + [0.0] * 9
        fields = [0, 0, 8, 0, rng.randint(1, 127), 0, 0, rng.randint(1, 100)]
        out += _text30(b"dense %d" % channel) + b"".join(_int32(v) for v in fields)
        out += _double(1.0) + _double(0.0) + b"".join(_double(v) for v in distribution)
        out += _double(rng.choice([0.0, 0.5])) + _double(1.0) + _double(rng.random())
        out += _int32(rng.randint(0, 1000)) + b"".join(_int32(1) for _ in range(9))
        out += _double(0.25) + _int32(0) + _int32(channel)
    out += b"".join(_macrosequence(rng) for _ in range(2))
    return out


def long_document(rng):
    """A piece of several hundred measures with slow notes and few tracks."""
    settings = [rng.randint(40, 300), rng.randint(2, 9), 0, 3, rng.randint(0, 11),
                rng.randint(0, 3), 0, 1, 2, 2, rng.randint(200, 999)]
    out = b"HVN\x11" + _string(b"Long") + _string(b"") + _string(b"")
    out += b"".join(_int32(v) for v in settings)
    out += _text30(b"mt") + _int32(1) + _int32(rng.randint(1, 256)) + _int32(12)
    out += _morse_thue(rng)
    out += _text30(b"orbit") + _int32(0) + _int32(rng.randint(1, 64)) + _int32(72)
    out += _mandelbrot(rng)
    low_index, high_index = 6, 9
    out += b"".join(_block(rng, 2, low_index, high_index, False) for _ in range(2))
    out += b"".join(_macrosequence(rng) for _ in range(2))
    return out


def random_document(seed):
    """The bytes of one random, valid .hvn document."""
    rng = random.Random(seed)
    style = rng.random()
    if style < 0.03:
        return dense_document(rng)
    if style < 0.05:
        return long_document(rng)
    old_layout = rng.random() < 0.1
    version = rng.choice([0x10, 0x31]) if old_layout else 0x11
    texts = []
    for default in (b"Untitled", b"", b"Generated by the Halvorn"):
        roll = rng.random()
        texts.append(default if roll < 0.3 else b"" if roll < 0.5 else
                     _text(rng, 1, 200 if rng.random() < 0.1 else 40))
    low, high = sorted((rng.randint(-6, 3), rng.randint(-6, 3)))
    if rng.random() < 0.5:
        low, high = max(low, -5), max(high, -2)  # mostly playable lengths
    micro_count = rng.choice([1, 2, 3, 4, 6, rng.randint(0, 12)])
    block_count = rng.choice([1, 2, 3, 4, rng.randint(0, 8), rng.randint(1, 16)])
    if micro_count == 0:
        block_count = 0
    length = rng.choice([1, 2, 4, 8, rng.randint(1, 24), rng.randint(1, 64)])
    if block_count > 6:
        length = min(length, 16)
    settings = [rng.randint(40, 300), rng.randint(2, 9), low, high, rng.randint(0, 11),
                rng.randint(0, 3), 0, rng.randint(0, 1234567889), micro_count, block_count,
                length]
    out = b"HVN" + bytes([version]) + b"".join(_string(t) for t in texts)
    out += b"".join(_int32(v) for v in settings)
    out += b"".join(_microsequence(rng) for _ in range(micro_count))
    low_index, high_index = low + 6, high + 6
    out += b"".join(_block(rng, micro_count, low_index, high_index, old_layout)
                    for _ in range(block_count))
    out += b"".join(_macrosequence(rng) for _ in range(block_count))
    return out


# ---- reading MIDI files back for the report ----------------------------------


def _read_vlq(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def parse_smf(data):
    """[(header fields), [track events]] with absolute times, for the report."""
    tracks = []
    header = struct.unpack(">4sIHHH", data[:14])
    pos = 14
    while pos + 8 <= len(data):
        length = struct.unpack(">I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + length]
        pos += 8 + length
        events, time, running, at = [], 0, 0, 0
        try:
            while at < len(body):
                delta, at = _read_vlq(body, at)
                time += delta
                if body[at] & 0x80:
                    running = body[at]
                    at += 1
                if running == 0xFF:
                    kind = body[at]
                    size, at = _read_vlq(body, at + 1)
                    events.append((time, "meta", kind, body[at:at + size]))
                    at += size
                else:
                    count = oracle._data_byte_count(running)
                    events.append((time, running, *body[at:at + count]))
                    at += count
        except IndexError:
            events.append(("truncated chunk",))
        tracks.append(events)
    return header, tracks


def describe_difference(expected, actual):
    """One readable line about the first difference of two MIDI files."""
    if expected is None or actual is None:
        return f"expected {'no file' if expected is None else len(expected)} bytes, " \
               f"got {'no file' if actual is None else len(actual)} bytes"
    first = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b),
                 min(len(expected), len(actual)))
    text = f"first differing byte at offset {first} (expected {len(expected)} bytes, " \
           f"got {len(actual)})"
    try:
        expected_header, expected_tracks = parse_smf(expected)
        actual_header, actual_tracks = parse_smf(actual)
    except (IndexError, struct.error):
        return text
    if expected_header != actual_header:
        return f"{text}; header expected {expected_header}, got {actual_header}"
    for chunk, (want, got) in enumerate(zip(expected_tracks, actual_tracks)):
        for index in range(max(len(want), len(got))):
            a = want[index] if index < len(want) else None
            b = got[index] if index < len(got) else None
            if a != b:
                return (f"{text}; chunk {chunk} event {index}: expected {a}, got {b} "
                        f"(chunk has {len(want)} events expected, {len(got)} actual)")
    return text


# ---- running both sides ------------------------------------------------------


def run_cli(cli, document_path, output_path, ppqn, skip_muted):
    command = [cli, "render", document_path, "-o", output_path]
    if ppqn is not None:
        command += ["--ppqn", str(ppqn)]
    if skip_muted:
        command.append("--skip-muted")
    if os.path.exists(output_path):
        os.remove(output_path)
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=120)
    data = None
    if os.path.exists(output_path):
        with open(output_path, "rb") as produced:
            data = produced.read()
    return result.returncode, data, result.stderr.decode(errors="replace").strip()


def variants(rng):
    """(ppqn or None for the default, skip-muted) pairs for one document."""
    first, second = rng.sample(oracle.PPQN_CHOICES, 2)
    return [(None, False), (first, True), (second, rng.random() < 0.5)]


def compare_document(cli, name, data, work_dir, runs):
    """Failure lines for one document (empty when everything agrees)."""
    path = os.path.join(work_dir, name + ".hvn")
    with open(path, "wb") as document_file:
        document_file.write(data)
    try:
        document = oracle.read_document(data)
        tracks = oracle.render_song_notes(document) if document.blocks else None
    except oracle.OracleError as error:
        return [f"{name}: the oracle refuses the document ({error})"]
    failures = []
    for ppqn, skip_muted in runs:
        expected = None if tracks is None else oracle.midi_file_from_notes(
            document, tracks, 120 if ppqn is None else ppqn, skip_muted)
        output = os.path.join(work_dir, f"{name}.{ppqn}.{int(skip_muted)}.mid")
        status, actual, stderr = run_cli(cli, path, output, ppqn, skip_muted)
        label = f"{name} --ppqn {ppqn or 'default'}{' --skip-muted' if skip_muted else ''}"
        if expected is None:
            if status == 0 or actual is not None:
                failures.append(f"{label}: expected the tool to fail without output, got "
                                f"status {status} and {'a file' if actual else 'no file'}")
        elif status != 0:
            failures.append(f"{label}: tool failed with status {status}: {stderr}")
        elif actual != expected:
            failures.append(f"{label}: {describe_difference(expected, actual)}")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="path of halvorn-cli")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--count", type=int, default=DEFAULT_COUNT)
    parser.add_argument("--examples", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples"))
    parser.add_argument("--keep", help="keep the documents and files in this directory")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    work_dir = args.keep or tempfile.mkdtemp(prefix="halvorn-oracle-")
    os.makedirs(work_dir, exist_ok=True)
    cases = []
    for example in sorted(glob.glob(os.path.join(args.examples, "*.hvn"))):
        with open(example, "rb") as source:
            data = source.read()
        name = "example-" + os.path.splitext(os.path.basename(example))[0]
        cases.append((name, data, [(None, False), (None, True)] +
                      [(p, False) for p in (24, 96, 384)]))
    for index in range(args.count):
        seed = args.seed + index
        cases.append((f"seed-{seed}", random_document(seed), variants(random.Random(~seed))))

    passed = failed = 0
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            futures = [pool.submit(compare_document, args.cli, name, data, work_dir, runs)
                       for name, data, runs in cases]
            for (name, _, runs), future in zip(cases, futures):
                failures = future.result()
                if failures:
                    failed += 1
                    for line in failures:
                        print("MISMATCH " + line)
                else:
                    passed += 1
    finally:
        if not args.keep:
            shutil.rmtree(work_dir, ignore_errors=True)
    if failed:
        print(f"replay one case with: {sys.argv[0]} --cli {args.cli} --seed SEED --count 1 "
              f"--keep DIR")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
