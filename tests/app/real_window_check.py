#!/usr/bin/python3
"""Drives the real program on an Xvfb display of its own with the keyboard.

1. An edit saved with Ctrl+S, then Ctrl+Z with the focus outside any text
   field and Ctrl+S again: the file holds the old value.
2. An edit left on a page: after the autosave interval a recovery copy holds
   it; a second program started meanwhile offers nothing; SIGKILL leaves the
   copy.
3. Started again, the program asks; Return (Recover) brings the edit back
   as a changed document under its file's name; Ctrl+S stores it and removes
   the copy.
4. A Blocks edit dropped by turning to Macrosequences: Ctrl+Z shows it on
   Blocks again, Ctrl+Q asks to save it and Return saves it; the program
   ends cleanly and leaves nothing in the recovery folder.
5. An edit, then SIGTERM (log-out): the program ends cleanly with a
   recovery copy holding the edit and no lock left behind.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import script_support as support  # noqa: E402

AUTOSAVE_SECONDS = 2


class Session:
    def __init__(self, program, cli, display, workdir):
        self.program, self.cli, self.workdir = program, cli, workdir
        self.env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb",
                        XDG_DATA_HOME=str(workdir / "data"), XDG_CONFIG_HOME=str(workdir / "config"),
                        XDG_RUNTIME_DIR=str(workdir / "runtime"),
                        HALVORN_AUTOSAVE_SECONDS=str(AUTOSAVE_SECONDS))
        (workdir / "runtime").mkdir(mode=0o700)
        self.recovery = workdir / "data" / "Quorlane" / "Halvorn" / "recovery"

    def start(self, *args):
        return subprocess.Popen([self.program, *args], cwd=self.workdir, env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout

    def windows(self, name_pattern):
        return self.xdotool("search", "--onlyvisible", "--name", name_pattern).split()

    def wait_window(self, name_pattern, seconds=60):
        found = wait_for(lambda: self.windows(name_pattern), seconds)
        if not found:
            fail(f"no window named {name_pattern!r}")
        return found[0]

    def keys(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window)
        time.sleep(0.2)
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)

    def type(self, window, text):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("type", "--delay", "20", text)

    def title_of(self, path):
        out = subprocess.run([self.cli, "info", str(path)], capture_output=True, text=True).stdout
        first = out.splitlines()[0] if out else ""
        return first.removeprefix("Title: ").strip('"')

    def block_description(self, path, index):
        out = subprocess.run([self.cli, "info", str(path)], capture_output=True, text=True).stdout
        lines = out.splitlines()
        if "Blocks:" not in " ".join(lines):
            return None
        start = next(i for i, line in enumerate(lines) if line.startswith("Blocks:"))
        prefix = f"{index:4d}: "
        for line in lines[start + 1:]:
            if line.startswith(prefix):
                return line[len(prefix):].strip('"')
        return None

    def recovery_copies(self):
        return sorted(self.recovery.glob("*.hvn")) if self.recovery.exists() else []


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    return condition()


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def expect_title(session, path, title, seconds=60):
    if not wait_for(lambda: session.title_of(path) == title, seconds):
        fail(f"{path.name} holds title {session.title_of(path)!r}, expected {title!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--document", required=True)
    args = parser.parse_args()
    support.require_tools({"Xvfb": "xvfb", "xdotool": "xdotool"})

    display = support.XvfbDisplay()
    workdir = Path(tempfile.mkdtemp(prefix="halvorn-window-"))
    running = []
    try:
        session = Session(args.program, args.cli, display, workdir)
        piece = workdir / "piece.hvn"
        shutil.copyfile(args.document, piece)
        original = session.title_of(piece)

        # 1. Save, undo with the focus on the tab bar, save again.
        first = session.start(str(piece))
        running.append(first)
        window = session.wait_window(r"^piece\.hvn - Halvorn$")
        session.keys(window, "Tab", "Tab", "ctrl+a")  # the tab bar, then "Title:"
        session.type(window, "Second Title")
        session.keys(window, "ctrl+s")
        expect_title(session, piece, "Second Title")
        session.keys(window, "shift+Tab", "ctrl+z", "ctrl+s")
        expect_title(session, piece, original)
        print("undo after save: the file holds the old title again")

        # 2. An edit left on the page reaches a recovery copy.
        session.keys(window, "Tab", "ctrl+a")
        session.type(window, "Left On Page")
        copies = wait_for(lambda: [c for c in session.recovery_copies()
                                   if session.title_of(c) == "Left On Page"], AUTOSAVE_SECONDS + 60)
        if not copies:
            fail("no recovery copy holds the edit left on the page")
        if session.title_of(piece) != original:
            fail("autosave touched the user's file")
        second = session.start()
        running.append(second)
        other = session.wait_window(r"^Untitled - Halvorn$")
        time.sleep(2)
        if session.windows(r"^Halvorn$"):
            fail("a second program offered the copy of a program still running")
        session.keys(other, "ctrl+q")
        if second.wait(timeout=60) != 0:
            fail("the second program did not end cleanly")
        first.send_signal(signal.SIGKILL)
        first.wait(timeout=10)
        if [c.name for c in session.recovery_copies()] != [copies[0].name]:
            fail(f"after SIGKILL the recovery folder holds {session.recovery_copies()}")
        print("autosave: the copy holds the edit and outlives SIGKILL; a second program left it alone")

        # 3. The next start offers it.
        third = session.start()
        running.append(third)
        session.wait_window(r"^Untitled - Halvorn$")
        question = session.wait_window(r"^Halvorn$")
        session.keys(question, "Return")
        window = session.wait_window(r"^piece\.hvn\* - Halvorn$")
        session.keys(window, "ctrl+s")
        expect_title(session, piece, "Left On Page")
        if not wait_for(lambda: not session.recovery_copies(), 60):
            fail("saving left the recovery copy")
        print("recovery: Recover brought the edit back; Save removed the copy")

        # 4. From the tab bar to Blocks and its "Description:" (after the
        # list and three buttons), then to Macrosequences, which drops the
        # edit; Ctrl+Z brings it back.
        session.keys(window, "Tab", "ctrl+Tab", "ctrl+Tab", "Tab", "Tab", "Tab", "Tab", "Tab",
                     "ctrl+a")
        session.type(window, "Kept Edit")
        session.keys(window, "ctrl+Tab", "ctrl+z", "ctrl+q")
        question = session.wait_window(r"^Halvorn$")
        session.keys(question, "Return")
        if third.wait(timeout=60) != 0:
            fail("the program did not end cleanly")
        if session.block_description(piece, 0) != "Kept Edit":
            fail(f"the Blocks edit is not in the file: {session.block_description(piece, 0)!r}")
        if session.recovery.exists() and list(session.recovery.iterdir()):
            fail(f"a clean quit left {list(session.recovery.iterdir())}")
        print("dropped edits: Ctrl+Z brought the Blocks edit back and Quit saved it")

        # 5. SIGTERM writes a last copy and ends cleanly.
        fourth = session.start(str(piece))
        running.append(fourth)
        window = session.wait_window(r"^piece\.hvn - Halvorn$")
        session.keys(window, "Tab", "Tab", "ctrl+a")
        session.type(window, "At Log Out")
        session.wait_window(r"^piece\.hvn\* - Halvorn$")
        fourth.send_signal(signal.SIGTERM)
        if fourth.wait(timeout=60) != 0:
            fail("SIGTERM did not end the program cleanly")
        copies = session.recovery_copies()
        if [session.title_of(c) for c in copies] != ["At Log Out"]:
            fail(f"after SIGTERM the recovery folder holds {copies}")
        if list(session.recovery.glob("*.lock")):
            fail(f"SIGTERM left {list(session.recovery.glob('*.lock'))}")
        print("SIGTERM: a last copy holds the edit and no lock is left")
        return 0
    finally:
        for process in running:
            if process.poll() is None:
                process.kill()
                process.wait()
        display.close()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
