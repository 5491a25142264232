#!/usr/bin/env python3
"""Checks halvorn-cli export-musicxml with readers nobody here wrote.

For the examples and for generated documents (every note value, dotted
values, triplets, each stretch factor, every key and scale type, notes
across barlines, silent and accented notes, grand staves, drums,
octave-transposing instruments, notes at both ends of the MIDI range):
- the file validates against the MusicXML 4.0 schema (xmllint), names the
  4.0 partwise DTD, and every voice of every measure adds up to the
  measure's length;
- it reads as an engraver writes: every duration agrees with its type,
  dots and time modification, every tie with its tied, ties pair up; and
  counted over all documents, no note starts off a beat and crosses the
  next one outside the accepted figures, no triplet bracket spans other
  than a regular value, no two neighbouring rests could be one, no
  beamable note is left out of a beam; a part's clef follows its range
  (cello and bass below middle C on the bass clef, middle C on a grand
  staff's upper staff), channel 10 is a percussion part;
- MuseScore 3 turns it into a MIDI file whose notes have exactly the same
  (pitch, onset in quarter notes) multiset as halvorn-cli render of the
  same document (muted tracks kept or left out alike on both sides), but
  for the slivers a block's end cuts below a 64th, which the score leaves
  to the rest beside them;
- musicxml2ly and lilypond both accept it without a failed bar check or an
  unterminated beam, tie or tuplet.

Without MuseScore, LilyPond or xmllint the test fails on CI (CI=true) and
is skipped elsewhere.
"""
import os
import shutil
import subprocess
import sys
from collections import Counter, defaultdict
from fractions import Fraction

import mido
from lxml import etree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from script_support import missing_tools_outcome, options  # noqa: E402

EXAMPLES = ("orbit_garden.hvn", "morse_procession.hvn", "noise_nocturne.hvn")
PUBLIC_ID = "-//Recordare//DTD MusicXML 4.0 Partwise//EN"
SYSTEM_URL = "http://www.musicxml.org/dtds/partwise.dtd"
TOOLS = {"mscore3": "musescore3", "musicxml2ly": "lilypond", "lilypond": "lilypond",
         "xmllint": "libxml2-utils"}
# Onsets compare on a grid of 1/96 quarter note, the finest any value needs;
# the render runs at 384 ticks per quarter so every onset is a whole tick.
GRID = 96
PPQN = 384
# A note the block's end cuts below a 64th sounds shorter than this.
SLIVER_TICKS = PPQN // 16
TIMEOUT = 180
# Note types in quarter notes.
TYPE_QUARTERS = {name: Fraction(2) ** (5 - k) for k, name in enumerate(
    ("maxima", "long", "breve", "whole", "half", "quarter", "eighth", "16th", "32nd", "64th",
     "128th", "256th", "512th", "1024th"))}
BEAMS = {"eighth": 1, "16th": 2, "32nd": 3, "64th": 4, "128th": 5, "256th": 6}
STEPS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
MIDDLE_C = 60
# General MIDI programs (from 1) of cello, contrabass and the basses.
LOW_STRINGS = set(range(33, 41)) | {43, 44}
LILYPOND_FAULTS = ("barcheck failed", "unterminated", "Negative skip", "Unable to find instrument")


class Failure(Exception):
    pass


def run(command, env=None, timeout=TIMEOUT):
    try:
        done = subprocess.run(command, capture_output=True, text=True, env=env,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure(f"{command[0]} timed out after {timeout} s")
    if done.returncode != 0:
        raise Failure(f"{' '.join(command)} exited {done.returncode}: "
                      f"{(done.stderr or done.stdout).strip()[-600:]}")
    return done


def onsets(path):
    """(pitch, onset on the grid) of every sounding note of a MIDI file, and
    the same of those shorter than a 64th.

    A note that ends on the tick it starts is no note: the rhythm step's
    floating-point sum can leave such a sliver just before a block's end,
    and notation has no value for a length of nothing."""
    midi = mido.MidiFile(path)
    found, short = Counter(), Counter()
    for track in midi.tracks:
        now = 0
        sounding = {}
        for message in track:
            now += message.time
            key = (getattr(message, "channel", None), getattr(message, "note", None))
            if message.type == "note_on" and message.velocity > 0:
                sounding.setdefault(key, []).append(now)
            elif message.type in ("note_on", "note_off") and sounding.get(key):
                start = sounding[key].pop(0)
                if now > start:
                    note = (message.note, round(start * GRID / midi.ticks_per_beat))
                    found[note] += 1
                    if (now - start) * PPQN < SLIVER_TICKS * midi.ticks_per_beat:
                        short[note] += 1
    return found, short


def validate(path, schema):
    """The MusicXML 4.0 schema, offline through its catalog."""
    env = dict(os.environ, XML_CATALOG_FILES=os.path.join(schema, "catalog.xml"))
    done = subprocess.run(["xmllint", "--noout", "--nonet", "--schema",
                           os.path.join(schema, "musicxml.xsd"), path],
                          capture_output=True, text=True, env=env, timeout=TIMEOUT)
    if done.returncode != 0:
        raise Failure(f"{path}: not valid MusicXML 4.0: {done.stderr.strip()[:600]}")


def check_structure(path):
    """Well-formed, the 4.0 DTD, and each voice of each measure full."""
    parser = etree.XMLParser(load_dtd=False, no_network=True, resolve_entities=False)
    tree = etree.parse(path, parser)
    info = tree.docinfo
    if info.public_id != PUBLIC_ID or info.system_url != SYSTEM_URL:
        raise Failure(f"{path}: DOCTYPE names {info.public_id!r} {info.system_url!r}")
    root = tree.getroot()
    if root.tag != "score-partwise" or root.get("version") != "4.0":
        raise Failure(f"{path}: root is {root.tag} version {root.get('version')}")
    parts = root.findall("part")
    if not parts or len(parts) != len(root.findall("part-list/score-part")):
        raise Failure(f"{path}: parts and part list disagree")
    beats = int(root.find("part/measure/attributes/time/beats").text)
    divisions = int(root.find("part/measure/attributes/divisions").text)
    for part in parts:
        for measure in part.findall("measure"):
            length = beats * divisions
            cursor = 0
            for element in measure:
                if element.tag == "backup":
                    if cursor != length:
                        raise Failure(f"{path}: {part.get('id')} measure "
                                      f"{measure.get('number')} voice ends at {cursor}")
                    cursor -= int(element.find("duration").text)
                elif element.tag == "note" and element.find("chord") is None:
                    cursor += int(element.find("duration").text)
            if cursor != length:
                raise Failure(f"{path}: {part.get('id')} measure {measure.get('number')} "
                              f"holds {cursor} of {length}")
    return tree


def check_texts(tree, name):
    """The generated key-of-C document's texts hold markup characters and
    Windows-1252 letters: they must read back as the same text."""
    if name != "key0":
        return
    expected = {"work/work-title": "Caf\u00e9 <&> \"quoted\" 'apostrophe'",
                "identification/creator": "Ren\u00e9e & \u20acuro"}
    for path, text in expected.items():
        if tree.findtext(path) != text:
            raise Failure(f"{name}: {path} reads {tree.findtext(path)!r}, not {text!r}")


# ---- reading the score as an engraver ----------------------------------------------


class Written:
    """One written note (a chord's first tone, its other tones in `pitches`)
    or rest of a voice, in divisions from the downbeat."""

    def __init__(self, note, start, measure):
        self.start = start
        self.duration = int(note.findtext("duration"))
        self.end = start + self.duration
        self.measure = measure
        self.rest = note.find("rest") is not None
        self.whole_measure = self.rest and note.find("rest").get("measure") == "yes"
        self.type = note.findtext("type")
        self.dots = len(note.findall("dot"))
        modification = note.find("time-modification")
        self.ratio = (Fraction(int(modification.findtext("normal-notes")),
                               int(modification.findtext("actual-notes")))
                      if modification is not None else None)
        self.staff = int(note.findtext("staff") or 1)
        self.voice = note.findtext("voice")
        self.beams = {int(b.get("number")): b.text for b in note.findall("beam")}
        self.tuplets = [t.get("type") for t in note.findall("notations/tuplet")]
        self.pitches = []
        self.add_tone(note)

    def add_tone(self, note):
        pitch = note.find("pitch")
        if pitch is not None:
            self.pitches.append(STEPS[pitch.findtext("step")] + int(pitch.findtext("alter") or 0)
                                + 12 * (int(pitch.findtext("octave")) + 1))


class Tally:
    """What the counting checks found over all documents."""

    def __init__(self):
        self.counts = Counter()
        self.examples = defaultdict(list)

    def add(self, what, where):
        self.counts[what] += 1
        if len(self.examples[what]) < 3:
            self.examples[what].append(where)


def tie_faults(note):
    ties = sorted(t.get("type") for t in note.findall("tie"))
    tied = sorted(t.get("type") for t in note.findall("notations/tied"))
    return [] if ties == tied else [f"tie {ties} but tied {tied}"]


def duration_faults(note, divisions, measure_length):
    """A note's duration must be what its type, dots and time modification say."""
    duration = int(note.findtext("duration"))
    if note.find("rest") is not None and note.find("rest").get("measure") == "yes":
        return [] if duration == measure_length else [f"measure rest of {duration}"]
    quarters = TYPE_QUARTERS[note.findtext("type")]
    dots = len(note.findall("dot"))
    quarters *= 2 - Fraction(1, 2 ** dots)
    modification = note.find("time-modification")
    if modification is not None:
        quarters *= Fraction(int(modification.findtext("normal-notes")),
                             int(modification.findtext("actual-notes")))
    expected = quarters * divisions
    return [] if expected == duration else [
        f"duration {duration}, but {note.findtext('type')} with {dots} dots is {expected}"]


def read_part(part, divisions, measure_length, faults):
    """The voices of each measure of a part, and per-note faults."""
    measures = []
    for measure in part.findall("measure"):
        voices = defaultdict(list)
        cursor = 0
        last = None
        for element in measure:
            if element.tag == "backup":
                cursor -= int(element.findtext("duration"))
            elif element.tag == "forward":
                cursor += int(element.findtext("duration"))
            elif element.tag == "note":
                where = f"{part.get('id')} m{measure.get('number')}"
                faults += [f"{where}: {f}" for f in tie_faults(element)]
                faults += [f"{where}: {f}" for f in duration_faults(element, divisions,
                                                                     measure_length)]
                if element.find("chord") is not None:
                    last.add_tone(element)
                    continue
                last = Written(element, cursor, int(measure.get("number")))
                voices[last.voice].append(last)
                cursor = last.end
        measures.append(voices)
    return measures


def is_regular(span, divisions):
    """A plain note value: a power of two of quarter notes."""
    quarters = Fraction(span, divisions)
    return quarters.numerator & (quarters.numerator - 1) == 0 and \
        quarters.denominator & (quarters.denominator - 1) == 0


def one_value(start, length, divisions, measure_length, bracket):
    """Whether one rest could stand for [start, start + length): a whole
    measure; a half over a pair of beats from the downbeat; a quarter on a
    beat; below a beat, a value (dotted or not) inside one beat on its own
    grid (a dotted one on twice its undotted length's); in a triplet
    bracket, a triplet value on the bracket's grid."""
    if start == 0 and length == measure_length:
        return True
    if bracket is not None:
        origin, span = bracket
        offset = start - origin
        values = [Fraction(2 * span, 3) / 2 ** k for k in range(12)]
    else:
        offset = start
        if length == 2 * divisions:
            return start % (2 * divisions) == 0 and start + length <= measure_length
        if length == divisions:
            return start % divisions == 0
        if start // divisions != (start + length - 1) // divisions:
            return False
        values = [Fraction(divisions, 2 ** k) for k in range(1, 12)]
    return any((length == value and offset % value == 0)
               or (length == value * 3 / 2 and offset % (2 * value) == 0) for value in values)


def count_voice(elements, divisions, beats, tally, where):
    """The counting checks over one voice of one measure."""
    measure_length = beats * divisions
    brackets = {}  # element index -> (start, span) of its bracket
    open_at = None
    for k, e in enumerate(elements):
        if "start" in e.tuplets:
            if open_at is not None:
                tally.add("bracket inside a bracket", where)
            open_at = k
        if e.ratio is not None and open_at is None:
            tally.add("triplet value outside a bracket", where)
        if "stop" in e.tuplets and open_at is not None:
            span = e.end - elements[open_at].start
            if not is_regular(span, divisions):
                tally.add("bracket over an irregular span", f"{where} spans {span}")
            for j in range(open_at, k + 1):
                brackets[j] = (elements[open_at].start, span)
            open_at = None
    if open_at is not None:
        tally.add("bracket left open at the barline", where)

    half = divisions // 2
    for k, e in enumerate(elements):
        beat_end = (e.start // divisions + 1) * divisions
        long_bracket = k in brackets and brackets[k][1] > divisions
        if not e.rest and e.start % divisions and e.end > beat_end and not long_bracket:
            pair = e.start - e.start % (2 * divisions)
            syncopation = (e.start - pair == half and e.duration == divisions
                           and pair + 2 * divisions <= measure_length)
            if not syncopation:
                tally.add("note off the beat across a beat", f"{where} at {e.start}")
        if k == 0:
            continue
        p = elements[k - 1]
        if p.rest and e.rest and p.end == e.start and brackets.get(k - 1) == brackets.get(k):
            if one_value(p.start, e.end - p.start, divisions, measure_length, brackets.get(k)):
                tally.add("two rests where one would do", f"{where} at {p.start}")
        beamable = (not p.rest and not e.rest and p.type in BEAMS and e.type in BEAMS
                    and p.end == e.start)
        same_group = (brackets.get(k) == brackets.get(k - 1) and long_bracket) or (
            p.start // divisions == e.start // divisions)
        if beamable and same_group and not (p.beams.get(1) in ("begin", "continue")
                                            and e.beams.get(1) in ("continue", "end")):
            tally.add("beamable notes not beamed together", f"{where} at {e.start}")
    for level in range(1, 7):
        state = None
        for e in elements:
            value = e.beams.get(level)
            if value == "begin" and state is None:
                state = "open"
            elif value in ("continue", "end") and state == "open":
                state = None if value == "end" else state
            elif value not in (None, "forward hook", "backward hook"):
                tally.add("beam out of order", f"{where} level {level}")
        if state is not None:
            tally.add("beam left open", where)


def part_instruments(root):
    """Part id -> (General MIDI program from 1 or None, MIDI channel from 1)."""
    instruments = {}
    for score_part in root.findall("part-list/score-part"):
        midi = score_part.find("midi-instrument")
        program = midi.findtext("midi-program")
        instruments[score_part.get("id")] = (int(program) if program else None,
                                             int(midi.findtext("midi-channel")))
    return instruments


def check_clefs(part, measures, program, where, tally):
    """A single staff's clef follows its written notes; a grand staff holds
    middle C and above on its upper staff."""
    attributes = part.find("measure/attributes")
    staves = int(attributes.findtext("staves") or 1)
    written = [(e.staff, p) for voices in measures for v in voices.values() for e in v
               for p in e.pitches]
    if staves == 2:
        for staff, pitch in written:
            if (staff == 1) != (pitch >= MIDDLE_C):
                tally.add("grand staff split off middle C", f"{where} {pitch} on staff {staff}")
        return
    sign = attributes.findtext("clef/sign")
    pitches = [p for _, p in written]
    if not pitches:
        return
    if sign == "G" and max(pitches) < MIDDLE_C:
        tally.add("treble clef with every note below middle C", where)
    if sign == "F" and min(pitches) >= MIDDLE_C:
        tally.add("bass clef with every note from middle C up", where)
    if program in LOW_STRINGS and sign != "F" and min(pitches) < MIDDLE_C:
        tally.add("cello or bass below middle C off the bass clef", where)


def check_percussion(part, score_part, where, tally):
    """Channel 10: percussion clef, no key, unpitched notes naming their drum."""
    attributes = part.find("measure/attributes")
    keys = {i.get("id"): i.findtext("midi-unpitched")
            for i in score_part.findall("midi-instrument")}
    if attributes.findtext("clef/sign") != "percussion" or attributes.find("key") is not None:
        tally.add("channel 10 not a percussion staff", where)
    for note in part.iter("note"):
        if note.find("rest") is not None:
            continue
        instrument = note.find("instrument")
        if note.find("unpitched") is None or instrument is None or \
                not keys.get(instrument.get("id")):
            tally.add("channel 10 note not an unpitched drum", where)


def check_notation(tree, name, tally):
    """Per-note faults fail at once; the counting checks add to `tally`."""
    root = tree.getroot()
    beats = int(root.findtext("part/measure/attributes/time/beats"))
    divisions = int(root.findtext("part/measure/attributes/divisions"))
    instruments = part_instruments(root)
    faults = []
    for part in root.findall("part"):
        where = f"{name} {part.get('id')}"
        measures = read_part(part, divisions, beats * divisions, faults)
        for voices in measures:
            for voice, elements in voices.items():
                count_voice(elements, divisions, beats, tally,
                            f"{where} m{elements[0].measure} voice {voice}")
        program, channel = instruments[part.get("id")]
        if channel == 10:
            score_part = root.find(f"part-list/score-part[@id='{part.get('id')}']")
            check_percussion(part, score_part, where, tally)
        else:
            check_clefs(part, measures, program, where, tally)
    if faults:
        raise Failure(f"{name}: {len(faults)} notes disagree with themselves: {faults[:5]}")


# ---- one document ---------------------------------------------------------------------


def engrave_with_lilypond(args, name, score, env):
    lily = os.path.join(args.workdir, name + ".ly")
    converted = run(["musicxml2ly", "--output", lily, score], env=env)
    engraved = run(["lilypond", "--loglevel=WARNING", "-o", os.path.join(args.workdir, name),
                    lily], env=env)
    said = converted.stderr + engraved.stderr
    faults = sorted({line.strip() for line in said.splitlines()
                     if any(fault in line for fault in LILYPOND_FAULTS)})
    if faults:
        raise Failure(f"{name}: LilyPond: {faults[:5]}")


def check_document(args, document, flags, env, tally):
    name = os.path.splitext(os.path.basename(document))[0] + "".join(flags)
    score = os.path.join(args.workdir, name + ".musicxml")
    rendered = os.path.join(args.workdir, name + "-render.mid")
    engraved = os.path.join(args.workdir, name + "-musescore.mid")
    run([args.cli, "export-musicxml", document, "-o", score] + flags)
    validate(score, args.schema)
    tree = check_structure(score)
    check_texts(tree, name)
    check_notation(tree, name, tally)
    parts = len(tree.getroot().findall("part"))
    run([args.cli, "render", document, "-o", rendered, "--ppqn", str(PPQN)] + flags)
    run(["mscore3", "-o", engraved, score], env=env)
    (ours, short), (theirs, _) = onsets(rendered), onsets(engraved)
    # Slivers the block's end cut are left to the rest beside them.
    missing, extra = ours - theirs, theirs - ours
    slivers = missing & short
    if missing - slivers or extra:
        raise Failure(f"{name}: MuseScore's notes differ from render's: missing "
                      f"{sorted((missing - slivers).items())[:5]}, extra "
                      f"{sorted(extra.items())[:5]} (of {sum(ours.values())})")
    engrave_with_lilypond(args, name, score, env)
    print(f"ok {name}: {parts} parts, {sum(ours.values())} notes"
          + (f" ({sum(slivers.values())} slivers left to rests)" if slivers else ""))
    return tree.getroot().find("part/measure/attributes/staves") is not None


def main():
    parser = options("--cli", "--documents-tool", "--examples", "--workdir", "--schema")
    args = parser.parse_args()
    missing = missing_tools_outcome(TOOLS)
    if missing is not None:
        return missing
    shutil.rmtree(args.workdir, ignore_errors=True)
    generated = os.path.join(args.workdir, "documents")
    home = os.path.join(args.workdir, "home")
    for folder in (generated, home, os.path.join(home, "run")):
        os.makedirs(folder, exist_ok=True)
    os.chmod(os.path.join(home, "run"), 0o700)
    # MuseScore and LilyPond write settings and caches: keep them here.
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"),
               XDG_RUNTIME_DIR=os.path.join(home, "run"), QT_QPA_PLATFORM="offscreen")

    documents = run([args.documents_tool, generated]).stdout.split()
    cases = []
    for example in EXAMPLES:
        path = os.path.join(args.examples, example)
        cases += [(path, []), (path, ["--skip-muted"])]
    cases += [(path, []) for path in documents]

    failures = 0
    grand_staves = 0
    tally = Tally()
    for document, flags in cases:
        try:
            grand_staves += check_document(args, document, flags, env, tally)
        except Failure as failure:
            failures += 1
            print(f"FAIL {failure}")
    # The wide melodies of the generated documents need both clefs somewhere.
    if not grand_staves:
        failures += 1
        print("FAIL no document was written on a grand staff")
    for what, count in sorted(tally.counts.items()):
        failures += 1
        print(f"FAIL {count} x {what}, e.g. {tally.examples[what]}")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
