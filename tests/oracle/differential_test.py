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

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
import halvorn_oracle as oracle  # noqa: E402
from script_support import f64, i32, text, text30  # noqa: E402

DEFAULT_SEED = 20240617
DEFAULT_COUNT = 250
DEFAULT_HOSTILE = 60

# ---- random documents --------------------------------------------------------


def _text(rng, low, high, extended=True):
    length = rng.randint(low, high)
    alphabet = list(range(0x20, 0x7F))
    if extended and rng.random() < 0.3:
        alphabet += list(range(0xA0, 0x100)) + [0x80, 0x8A, 0x9F]
    return bytes(rng.choice(alphabet) for _ in range(length))


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
    return (text30(_text(rng, 0, 30)) + i32(fractal_type) + i32(period) +
            i32(len(parameters)) + parameters)


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
    out = text30(description)
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
    out += b"".join(i32(v) for v in ints)
    out += f64(rng.choice([1.0, rng.randint(1, 300) / 100, rng.uniform(0.01, 3.0)]))
    out += f64(rng.choice([0.0, 0.0, rng.randint(0, 100) / 100, rng.random()]))
    out += b"".join(f64(v) for v in _distribution(rng, low, high))
    if old_layout:
        out += b"".join(i32(rng.choice([0, 0, 1, 3])) for _ in range(3))
    else:
        out += f64(_probability(rng) if rng.random() < 0.5 else 0.0)
        out += f64(_probability(rng) if rng.random() < 0.5 else 0.0)
    out += f64(rng.choice([1.0, 1.0, 0.0, rng.randint(0, 100) / 100, rng.random()]))
    out += i32(rng.randint(-2**31, 2**31 - 1) if rng.random() < 0.7 else rng.randint(0, 9))
    out += b"".join(i32(rng.choice([0, 0, 1, 1, 5])) for _ in range(9))
    out += f64(rng.choice([0.0, 1.0, rng.randint(0, 100) / 100, rng.random()]))
    out += i32(rng.randint(0, 127)) + i32(rng.randint(0, 15))
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
    return (i32(rng.randint(-2**31, 2**31 - 1) if rng.random() < 0.7 else rng.randint(0, 9))
            + f64(rng.choice([1.0, rng.random()])) + f64(rng.choice([0.5, rng.random()]))
            + f64(probability) + i32(alignment)
            + i32(1 if rng.random() < 0.25 else 0)
            + b"".join(f64(v) for v in _stretches(rng)))


def dense_document(rng):
    """Blocks of "1/64" triplets over 8 measures of 9/4: thousands of notes
    per block, on a short piece so that the files stay small."""
    settings = [rng.randint(40, 300), 9, -6, rng.choice([-6, -5]), rng.randint(0, 11),
                rng.randint(0, 3), 0, 1, 1, 2, rng.randint(5, 9)]
    out = b"HVN\x11" + text(b"Dense") + text(b"") + text(b"")
    out += b"".join(i32(v) for v in settings)
    out += text30(b"noise") + i32(2) + i32(256) + i32(12) + _noise(rng)
    for channel in range(2):
        distribution = [1.0] + [0.0] * 9
        fields = [0, 0, 8, 0, rng.randint(1, 127), 0, 0, rng.randint(1, 100)]
        out += text30(b"dense %d" % channel) + b"".join(i32(v) for v in fields)
        out += f64(1.0) + f64(0.0) + b"".join(f64(v) for v in distribution)
        out += f64(rng.choice([0.0, 0.5])) + f64(1.0) + f64(rng.random())
        out += i32(rng.randint(0, 1000)) + b"".join(i32(1) for _ in range(9))
        out += f64(0.25) + i32(0) + i32(channel)
    out += b"".join(_macrosequence(rng) for _ in range(2))
    return out


def long_document(rng):
    """A piece of several hundred measures with slow notes and few tracks."""
    settings = [rng.randint(40, 300), rng.randint(2, 9), 0, 3, rng.randint(0, 11),
                rng.randint(0, 3), 0, 1, 2, 2, rng.randint(200, 999)]
    out = b"HVN\x11" + text(b"Long") + text(b"") + text(b"")
    out += b"".join(i32(v) for v in settings)
    out += text30(b"mt") + i32(1) + i32(rng.randint(1, 256)) + i32(12)
    out += _morse_thue(rng)
    out += text30(b"orbit") + i32(0) + i32(rng.randint(1, 64)) + i32(72)
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
    out = b"HVN" + bytes([version]) + b"".join(text(t) for t in texts)
    out += b"".join(i32(v) for v in settings)
    out += b"".join(_microsequence(rng) for _ in range(micro_count))
    low_index, high_index = low + 6, high + 6
    out += b"".join(_block(rng, micro_count, low_index, high_index, old_layout)
                    for _ in range(block_count))
    out += b"".join(_macrosequence(rng) for _ in range(block_count))
    return out


# ---- hostile documents ---------------------------------------------------------
# Valid documents with a few fields set far outside the pages' ranges. The text
# leaves their rendering open, so only the tool's conduct is checked: a clean
# refusal or a file, never a crash, a sanitizer report or a hang.

NAN, INF = float("nan"), float("inf")
INT_EXTREMES = [-2**31, -1, 2**31 - 1]
DOUBLE_EXTREMES = [NAN, INF, -INF, -1.0, 1e308, -0.0, 5.0]


def record_offsets(data):
    """Offsets of the settings and of every record of a document we wrote."""
    pos = 4
    for _ in range(3):
        pos += 4 + struct.unpack_from("<i", data, pos)[0]
    settings = pos
    micro_count, block_count = struct.unpack_from("<2i", data, settings + 32)
    pos = settings + 44
    micros = []
    for _ in range(micro_count):
        fractal_type, _, size = struct.unpack_from("<3i", data, pos + 30)
        micros.append((pos, fractal_type))
        pos += 42 + size
    block_size = 234 if data[3] in (0x10, 0x31) else 238
    blocks = [pos + k * block_size for k in range(block_count)]
    pos += block_count * block_size
    macros = [pos + k * 68 for k in range(block_count)]
    return settings, micros, blocks, macros, block_size == 238


def _corruptions(rng, data):
    """(offset, struct format, value) candidates for one document."""
    settings, micros, blocks, macros, current_layout = record_offsets(data)
    out = [
        (settings, "<i", rng.choice([0, -100, 1, 3, 100000] + INT_EXTREMES)),
        (settings + 8, "<i", rng.choice([-100, -7, 4, 100] + INT_EXTREMES)),
        (settings + 12, "<i", rng.choice([-100, -7, 4, 100] + INT_EXTREMES)),
        (settings + 16, "<i", rng.choice([12, 255] + INT_EXTREMES)),
        (settings + 20, "<i", rng.choice([4, 99] + INT_EXTREMES)),
        (settings + 24, "<i", rng.choice([1, 7, -1])),
    ]
    for pos, fractal_type in micros:
        params = pos + 42
        if fractal_type == 0:
            out.append((params + 8 * rng.randint(4, 7), "<d", rng.choice(DOUBLE_EXTREMES)))
            out.append((params + 64, "<i", rng.choice(INT_EXTREMES)))
        elif fractal_type == 1:
            out.append((params + 4 * rng.randint(0, 2), "<i",
                        rng.choice([0, 1, 2, 2147483000] + INT_EXTREMES)))
        elif fractal_type == 2:
            out.append((params + 4, "<i", rng.choice([5, 30, 31, 32, 40, 200, -1])))
            out.append((params + 8, "<i", rng.choice([-255, 100000] + INT_EXTREMES)))
    for pos in blocks:
        for offset in (42, 46, 50, 54, 58):  # sequences, ranges, offset
            out.append((pos + offset, "<i", rng.choice([0, 101, 1000, 32] + INT_EXTREMES)))
        for offset in [62, 70] + [78 + 8 * k for k in range(10)]:
            out.append((pos + offset, "<d", rng.choice(DOUBLE_EXTREMES)))
        if current_layout:
            for offset in (158, 166, 174, 222):  # dotted, triplet, legato, accent level
                out.append((pos + offset, "<d", rng.choice(DOUBLE_EXTREMES + [1e6])))
            out.append((pos + 186 + 4 * rng.randint(0, 8), "<i", rng.choice(INT_EXTREMES)))
            out.append((pos + 230, "<i", rng.choice([128, 1000] + INT_EXTREMES)))
            out.append((pos + 234, "<i", rng.choice([16, 99] + INT_EXTREMES)))
    for pos in macros:
        for offset in (4, 12, 20, 36, 44, 52, 60):  # volume .. stretches
            out.append((pos + offset, "<d", rng.choice(DOUBLE_EXTREMES)))
        out.append((pos + 28, "<i", rng.choice([0, 0xFFFF, 0x7FFF0001, -65536 + 2,
                                                rng.randint(-2**31, 2**31 - 1)] + INT_EXTREMES)))
        out.append((pos + 32, "<i", rng.choice([2, -1])))
    return out


def hostile_document(seed):
    rng = random.Random(seed)
    data = bytearray(random_document(rng.randint(0, 2**40)))
    candidates = _corruptions(rng, bytes(data))
    for offset, fmt, value in rng.sample(candidates, min(len(candidates), rng.randint(1, 4))):
        struct.pack_into(fmt, data, offset, value)
    return bytes(data)


def check_conduct(cli, name, data, work_dir):
    """Failure lines when the tool crashes, hangs or fails untidily."""
    path = os.path.join(work_dir, name + ".hvn")
    with open(path, "wb") as document_file:
        document_file.write(data)
    output = os.path.join(work_dir, name + ".mid")
    try:
        status, actual, stderr = run_cli(cli, path, output, None, False)
    except subprocess.TimeoutExpired:
        return [f"{name}: no result within the time limit"]
    if status < 0 or "Sanitizer" in stderr or "runtime error" in stderr:
        return [f"{name}: crashed (status {status}): {stderr[-600:]}"]
    if status == 0 and actual is None:
        return [f"{name}: success reported but no file written"]
    if status != 0 and (actual is not None or not stderr or "\n" in stderr):
        return [f"{name}: failure (status {status}) without one clear error line or with "
                f"a file left behind: {stderr!r}"]
    return []


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
    summary = f"first differing byte at offset {first} (expected {len(expected)} bytes, " \
              f"got {len(actual)})"
    try:
        expected_header, expected_tracks = parse_smf(expected)
        actual_header, actual_tracks = parse_smf(actual)
    except (IndexError, struct.error):
        return summary
    if expected_header != actual_header:
        return f"{summary}; header expected {expected_header}, got {actual_header}"
    for chunk, (want, got) in enumerate(zip(expected_tracks, actual_tracks)):
        for index in range(max(len(want), len(got))):
            a = want[index] if index < len(want) else None
            b = got[index] if index < len(got) else None
            if a != b:
                return (f"{summary}; chunk {chunk} event {index}: expected {a}, got {b} "
                        f"(chunk has {len(want)} events expected, {len(got)} actual)")
    return summary


# ---- the oracle against the worked examples of the text --------------------


def _one_block_document(distribution, low=-6, high=3, dotted=0.0, triplet=0.0, legato=1.0):
    document = oracle.Document()
    document.min_note_exponent, document.max_note_exponent = low, high
    block = oracle.Block()
    block.rhythm_distribution = distribution
    block.dotted_probability, block.triplet_probability, block.legato = dotted, triplet, legato
    document.blocks = [block]
    return document, block


def oracle_self_check():
    """Failure lines where the oracle disagrees with the text's own examples,
    so that the tool and the oracle cannot agree on a shared mistake there."""
    failures = []

    def expect(what, actual, wanted):
        if actual != wanted:
            failures.append(f"oracle self-check {what}: got {actual!r}, want {wanted!r}")

    source = oracle.Random()
    source.seed(1)
    expect("seed 1", [source.next() * 32768 for _ in range(3)], [18467, 6334, 26500])
    source.seed(0)
    expect("seed 0", source.next() * 32768, 7719)

    quarter = [0.0] * 4 + [1.0] + [0.0] * 5
    document, block = _one_block_document(quarter, legato=0.5)
    notes = oracle.render_block_notes(document, block, oracle.Random())
    expect("quarters", [(n.start, n.duration) for n in notes], [(float(k), 0.5) for k in range(4)])
    document, block = _one_block_document(quarter, dotted=1.0)
    notes = oracle.render_block_notes(document, block, oracle.Random())
    expect("dotted", [(n.start, n.duration) for n in notes], [(0.0, 1.5), (1.5, 1.5), (3.0, 1.0)])
    document, block = _one_block_document(quarter, triplet=1.0)
    notes = oracle.render_block_notes(document, block, oracle.Random())
    expect("triplets", (len(notes), notes[6].start, notes[-1].start + notes[-1].duration),
           (12, 1.9999999999999998, 4.0))
    document, block = _one_block_document([0.0] * 3 + [0.4, 0.6] + [0.0] * 5, -2, -2)
    notes = oracle.render_block_notes(document, block, oracle.Random())
    expect("fall-through", [n.duration for n in notes], [1.0] * 4)

    def mandelbrot(p1, p2, kind, count):
        parameters = struct.pack("<8di", 0, 0, 0, 0, *p1, *p2, kind) + bytes(4)
        return oracle.generate_mandelbrot(parameters, count)

    expect("orbit (1,0)", mandelbrot((1.0, 0.0), (0, 0), 0, 6), [0, 32, 512, 0, 32, 512])
    expect("orbit (-1,0)", mandelbrot((-1.0, 0.0), (0, 0), 0, 4), [0, 32, 0, 32])
    expect("line", mandelbrot((-2.0, 0.0), (2.0, 0.0), 1, 4), [512, 512, 512, 3])
    expect("morse-thue", oracle.generate_morse_thue(struct.pack("<3i", 10, 95, 1), 7),
           [14, 15, 16, 17, 18, 1, 2])
    expect("morse-thue base 2", oracle.generate_morse_thue(struct.pack("<3i", 2, 0, 1), 8),
           [0, 1, 1, 2, 1, 2, 2, 3])
    counter = oracle.Random()
    draws = [0]
    plain_next = counter.next
    counter.next = lambda: draws.__setitem__(0, draws[0] + 1) or plain_next()
    oracle.generate_noise(struct.pack("<3i", 5, 4, 10), 16, counter)
    expect("noise draws", draws[0], 32)  # 31 plus the one the seeding discards

    expect("major degrees", [oracle.scale_degree_to_pitch(oracle.SCALE_INTERVALS[1], 0, d)
                             for d in (-8, -7, -1, 0, 6, 7)], [-13, -12, -1, 0, 11, 12])
    expect("pentatonic D", [oracle.scale_degree_to_pitch(oracle.SCALE_INTERVALS[3], 2, d)
                            for d in range(6)], [2, 4, 7, 9, 11, 14])

    # Signatures of the text's two tables, one key of each spelling.
    expect("major keys", [oracle.key_signature(k, t) for k, t in ((1, 1), (6, 0), (5, 3))],
           [(-5, 0), (6, 0), (-1, 0)])
    expect("minor keys", [oracle.key_signature(k, 2) for k in (0, 3, 9, 10)],
           [(-3, 1), (6, 1), (0, 1), (-5, 1)])

    macro = oracle.Macrosequence()
    expect("placements", oracle.place_macrosequence(macro, 4, 1, 4, oracle.Random()),
           [(0, 1.0), (4, 1.0), (8, 1.0), (12, 1.0)])
    macro.alignment = 3
    expect("placements on a 3-measure grid",
           [p[0] for p in oracle.place_macrosequence(macro, 4, 2, 4, oracle.Random())], [0, 12])
    macro.alignment = 1 * 65536 + 1
    expect("displaced placements",
           [p[0] for p in oracle.place_macrosequence(macro, 4, 1, 4, oracle.Random())],
           [4, 8, 12, 16])

    track = oracle.TrackNotes(0, b"Bass", 0, 0, [(1.0, 0.5, 60, 0.5)])
    expect("note events", oracle.track_events(track, 120),
           [(120, 0x90, 60, 63), (179, 0x90, 60, 0)])
    example = oracle.write_smf(120, 100.0, 4, 0, 0, (None, None, None),
                               [(b"Bass", [(0, 0x90, 0x3C, 0x64), (119, 0x90, 0x3C, 0)])])
    expect("worked file example", example.hex(" ").upper(),
           "4D 54 68 64 00 00 00 06 00 01 00 02 00 78 "
           "4D 54 72 6B 00 00 00 19 00 FF 51 03 09 27 C0 00 FF 58 04 04 02 18 08 "
           "00 FF 59 02 00 00 01 FF 2F 00 "
           "4D 54 72 6B 00 00 00 13 00 FF 03 04 42 61 73 73 00 90 3C 64 77 3C 00 01 FF 2F 00")
    slow = oracle.write_smf(120, 70.0, 4, 0, 0, (b"x" * 200, None, None), [(b"", [(0, 0x90, 1, 1)])])
    expect("tempo 70 and a long title", (slow[22:22 + 5], slow[227:234].hex()),
           (b"\x00\xff\x03\x81\x48", "00ff51030d1436"))
    return failures


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
    parser.add_argument("--hostile", type=int, default=DEFAULT_HOSTILE,
                        help="documents with out-of-range fields, checked for conduct only")
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

    hostile = [(f"hostile-{args.seed + index}", hostile_document(args.seed + index))
               for index in range(args.hostile)]

    passed = failed = 0
    for line in oracle_self_check():
        print("MISMATCH " + line)
        failed += 1
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            futures = [pool.submit(compare_document, args.cli, name, data, work_dir, runs)
                       for name, data, runs in cases]
            futures += [pool.submit(check_conduct, args.cli, name, data, work_dir)
                        for name, data in hostile]
            for future in futures:
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
