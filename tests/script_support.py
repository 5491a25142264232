"""What the Python checks and benchmarks share: the document's record
encoding, running halvorn-cli, a tally of failed checks, and the level of
16-bit samples. Scripts in other folders put this one on their path.
"""
import argparse
import array
import importlib
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import wave

# ---- the document's records --------------------------------------------------


def i32(value):
    return struct.pack("<i", value)


def f64(value):
    return struct.pack("<d", value)


def text(value):
    """A length-prefixed text."""
    return i32(len(value)) + value


def text30(value):
    """A name in its fixed 30-byte field."""
    return value[:30].ljust(30, b"\0")


# ---- running a check ---------------------------------------------------------

def options(*required):
    """A parser of the script's command line with the options it cannot run without."""
    parser = argparse.ArgumentParser()
    for name in required:
        parser.add_argument(name, required=True)
    return parser


def fresh_directory(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def run_cli(cli, *words, env=None, timeout=600):
    """halvorn-cli with `words`, its output captured and no terminal to read from."""
    return subprocess.run([cli, *words], env=env, capture_output=True, text=True,
                          timeout=timeout, stdin=subprocess.DEVNULL)


SKIPPED = 77  # the exit status ctest counts as a skip (SKIP_RETURN_CODE)


def _missing(what):
    """A check cannot run without `what`: on CI (CI=true), which installs
    everything the checks use, that is a failure naming it; elsewhere the
    check is skipped."""
    if os.environ.get("CI") == "true":
        print(f"FAIL: {what}; scripts/install-deps --for-tests installs it")
        sys.exit(1)
    print(f"SKIP: {what}")
    sys.exit(SKIPPED)


def require_tools(tools):
    """Every program of `tools` (name: the Debian package that has it) on
    the PATH."""
    for name, package in tools.items():
        if not shutil.which(name):
            _missing(f"{name} is not installed (Debian package {package})")


def require_module(name, package):
    """The Python module `name`, imported (`package` is the Debian package
    that has it)."""
    try:
        return importlib.import_module(name)
    except ImportError:
        _missing(f"the Python module {name} is not installed (Debian package {package})")


def require_files(files):
    """Every file of `files` (path: the Debian package that has it)."""
    for path, package in files.items():
        if not os.path.isfile(path):
            _missing(f"{path} is not installed (Debian package {package})")


failures = []


def check(condition, message):
    """Notes a failed check and goes on, so that one run reports every failure."""
    if not condition:
        failures.append(message)
        print("FAIL:", message)
    return condition


def missing_tools_outcome(tools):
    """None when every program of `tools` (program -> Debian package) is on
    the path. Otherwise the exit status to end with, having said which are
    missing: on CI (CI=true) a failure, since CI installs them; elsewhere a
    skip (77, which CMake's SKIP_RETURN_CODE turns into a skipped test)."""
    missing = [tool for tool in tools if not shutil.which(tool)]
    if not missing:
        return None
    packages = " ".join(sorted({tools[tool] for tool in missing}))
    names = ", ".join(missing)
    if os.environ.get("CI") == "true":
        print(f"FAIL {names} not found (Debian: {packages}): run scripts/install-deps --for-tests")
        return 1
    print(f"SKIP {names} not found (Debian: {packages}); on CI this fails")
    return 77


def outcome(what):
    """Reports the tally of `check`; the script's exit status."""
    print(f"{what} checks passed" if not failures else f"{len(failures)} checks failed")
    return 1 if failures else 0


# ---- sound ---------------------------------------------------------------------

def read_wav(path):
    """The format (channels, bytes a sample, frames a second), length in
    seconds and samples of a 16-bit WAV file."""
    with wave.open(path, "rb") as wav:
        form = (wav.getnchannels(), wav.getsampwidth(), wav.getframerate())
        seconds = wav.getnframes() / wav.getframerate()
        return form, seconds, array.array("h", wav.readframes(wav.getnframes()))


def raw_samples(path):
    """The samples of a raw s16le recording."""
    samples = array.array("h")
    with open(path, "rb") as f:
        samples.frombytes(f.read())
    return samples


def peak_of(samples):
    return max(max(samples), -min(samples)) if samples else 0


def dbfs(peak):
    """A 16-bit peak in dB below full scale."""
    return 20 * math.log10(peak / 32768) if peak else -math.inf


# ---- benchmarks ----------------------------------------------------------------

def timed_cli(cli, *words):
    """Runs halvorn-cli with `words` under GNU time -v: wall seconds, peak
    memory in MB and CPU seconds (user and system). Stops the benchmark when
    the command fails."""
    result = subprocess.run(["/usr/bin/time", "-v", cli, *words], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{words[0]} failed: {result.stderr}")
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", result.stderr)
    hours, minutes, seconds = wall.groups()
    elapsed = int(hours or 0) * 3600 + int(minutes) * 60 + float(seconds)
    rss_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", result.stderr).group(1))
              for kind in ("User", "System"))
    return elapsed, rss_kb / 1024, cpu


class XvfbDisplay:
    """An Xvfb server on the first free display number, `size` pixels."""

    def __init__(self, size="1280x1024"):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24",
             "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.name = ":" + pipe.readline().strip()

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=10)
