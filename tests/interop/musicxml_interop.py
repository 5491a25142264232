#!/usr/bin/env python3
"""Checks halvorn-cli export-musicxml with readers nobody here wrote.

For the examples and for generated documents (every note value, dotted
values, triplets, each stretch factor, every key and scale type, notes
across barlines, silent and accented notes, grand staves):
- the file is well-formed XML naming the MusicXML 4.0 partwise DTD, and
  every voice of every measure adds up to the measure's length;
- MuseScore 3 turns it into a MIDI file whose notes have exactly the same
  (pitch, onset in quarter notes) multiset as halvorn-cli render of the
  same document (muted tracks kept or left out alike on both sides);
- musicxml2ly and lilypond both accept it.
"""
import os
import shutil
import subprocess
import sys
from collections import Counter

import mido
from lxml import etree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from script_support import options  # noqa: E402

EXAMPLES = ("orbit_garden.hvn", "morse_procession.hvn", "noise_nocturne.hvn")
PUBLIC_ID = "-//Recordare//DTD MusicXML 4.0 Partwise//EN"
SYSTEM_URL = "http://www.musicxml.org/dtds/partwise.dtd"
# Onsets compare on a grid of 1/96 quarter note, the finest any value needs;
# the render runs at 384 ticks per quarter so every onset is a whole tick.
GRID = 96
PPQN = 384
TIMEOUT = 180


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
    """(pitch, onset on the grid) of every sounding note of a MIDI file.

    A note that ends on the tick it starts is no note: the rhythm step's
    floating-point sum can leave such a sliver just before a block's end,
    and notation has no value for a length of nothing."""
    midi = mido.MidiFile(path)
    found = Counter()
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
                    found[(message.note, round(start * GRID / midi.ticks_per_beat))] += 1
    return found


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


def check_document(args, document, flags, env):
    name = os.path.splitext(os.path.basename(document))[0] + "".join(flags)
    score = os.path.join(args.workdir, name + ".musicxml")
    rendered = os.path.join(args.workdir, name + "-render.mid")
    engraved = os.path.join(args.workdir, name + "-musescore.mid")
    run([args.cli, "export-musicxml", document, "-o", score] + flags)
    tree = check_structure(score)
    check_texts(tree, name)
    parts = len(tree.getroot().findall("part"))
    run([args.cli, "render", document, "-o", rendered, "--ppqn", str(PPQN)] + flags)
    run(["mscore3", "-o", engraved, score], env=env)
    ours, theirs = onsets(rendered), onsets(engraved)
    if ours != theirs:
        missing = sorted((ours - theirs).items())[:5]
        extra = sorted((theirs - ours).items())[:5]
        raise Failure(f"{name}: MuseScore's notes differ from render's: missing "
                      f"{missing}, extra {extra} (of {sum(ours.values())})")
    lily = os.path.join(args.workdir, name + ".ly")
    run(["musicxml2ly", "--output", lily, score], env=env)
    run(["lilypond", "--silent", "-o", os.path.join(args.workdir, name), lily], env=env)
    print(f"ok {name}: {parts} parts, {sum(ours.values())} notes")
    return tree.getroot().find("part/measure/attributes/staves") is not None


def main():
    args = options("--cli", "--documents-tool", "--examples", "--workdir").parse_args()
    missing = [tool for tool in ("mscore3", "musicxml2ly", "lilypond") if not shutil.which(tool)]
    if missing:
        print(f"FAIL {', '.join(missing)} not found: run scripts/install-deps --for-tests")
        return 1
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
    for document, flags in cases:
        try:
            grand_staves += check_document(args, document, flags, env)
        except Failure as failure:
            failures += 1
            print(f"FAIL {failure}")
    # The wide melodies of the generated documents need both clefs somewhere.
    if not grand_staves:
        failures += 1
        print("FAIL no document was written on a grand staff")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
