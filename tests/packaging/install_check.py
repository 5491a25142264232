#!/usr/bin/env python3
"""cmake --install into a scratch prefix, as a user installs Halvorn: both
programs in bin/, both manual pages in share/man/man1/, found by man under
that prefix, formatted without a warning, and describing every option of the
command-line tool's fixed interface. The installed programs run from there."""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))

from cli_test import USAGE, Failure, check
from script_support import options


def run(*words, env=None):
    return subprocess.run(list(words), capture_output=True, text=True, timeout=300, env=env)


def manual(prefix, page):
    """The page as man shows it from the prefix's manual folder, on one long
    line a paragraph, and what man said on standard error."""
    env = dict(os.environ, MANWIDTH="400")
    env.pop("MAN_KEEP_FORMATTING", None)
    result = run("man", "--warnings=w", "-M", os.path.join(prefix, "share", "man"), page, env=env)
    check(result.returncode == 0, f"man {page}: status {result.returncode}: {result.stderr!r}")
    return " ".join(result.stdout.split()), result.stderr


def check_install(args):
    installed = run(args.cmake, "--install", args.build, "--prefix", args.prefix)
    check(installed.returncode == 0, f"cmake --install failed: {installed.stderr}")

    programs = ["halvorn-cli"] + (["halvorn"] if args.gui == "1" else [])
    for program in programs:
        path = os.path.join(args.prefix, "bin", program)
        check(os.access(path, os.X_OK), f"{path} is not installed")
        text, warnings = manual(args.prefix, program)
        check(warnings == "", f"man {program} warns: {warnings!r}")
        check(text.startswith(program.upper() + "(1)"), f"man {program}: {text[:80]!r}")

    cli = os.path.join(args.prefix, "bin", "halvorn-cli")
    version = run(cli, "--version")
    check(re.fullmatch(r"halvorn-cli [0-9.]+\n", version.stdout), f"--version: {version.stdout!r}")
    text, _ = manual(args.prefix, "halvorn-cli")
    for usage in USAGE.values():
        for option in re.findall(r"[ \[](--?[a-z][-a-z]*)", usage):
            check(option in text, f"man halvorn-cli does not describe {option}")
    for words in ("numbered from 0", "EXIT STATUS", "halvorn(1)"):
        check(words in text, f"man halvorn-cli: no {words!r}")

    if args.gui == "1":
        text, _ = manual(args.prefix, "halvorn")
        for words in ("Ctrl+O", "Ctrl+S", "halvorn-cli(1)"):
            check(words in text, f"man halvorn: no {words!r}")
        gui = run(os.path.join(args.prefix, "bin", "halvorn"), "--version",
                  env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        check(gui.returncode == 0 and gui.stdout.startswith("Halvorn "),
              f"halvorn --version: {gui.stdout!r} {gui.stderr!r}")


def main():
    parser = options("--cmake", "--build", "--prefix")
    parser.add_argument("--gui", choices=("0", "1"), required=True)
    args = parser.parse_args()
    shutil.rmtree(args.prefix, ignore_errors=True)
    try:
        check_install(args)
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        shutil.rmtree(args.prefix, ignore_errors=True)
    print("install checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
