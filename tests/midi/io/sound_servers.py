"""Private sound servers for the live playback checks and the JACK playback
benchmark: a JACK server on the dummy backend and a PulseAudio server with a
null sink, each under a name and runtime directory of its own, so that
parallel runs and the user's own session are never touched.

Everything runs in a `Scratch`: a temporary directory that serves as HOME
and XDG_RUNTIME_DIR, with JACK_DEFAULT_SERVER and PULSE_SERVER pointing at
servers that exist only there (or nowhere), and PulseAudio's client
autospawn off. Every process started here dies with the test: it is stopped
when its context ends, killed when the test process itself dies
(PR_SET_PDEATHSIG), and every wait has a time limit.
"""
import contextlib
import ctypes
import glob
import os
import shutil
import signal
import subprocess
import tempfile
import time
import uuid

PR_SET_PDEATHSIG = 1
START_SECONDS = 15

# What the servers here run on, each with the Debian package that has it
# (for script_support.require_tools and require_files).
JACK_TOOLS = {"jackd": "jackd2", "jack_lsp": "jackd2"}
PULSE_TOOLS = {"pulseaudio": "pulseaudio", "pactl": "pulseaudio-utils",
               "parec": "pulseaudio-utils"}
SOUNDFONT = {"/usr/share/sounds/sf2/default-GM.sf2": "fluid-soundfont-gm"}


def start(command, env, death_signal=signal.SIGKILL, **kwargs):
    """A child in a session of its own that gets `death_signal` when this
    process dies, however it dies."""
    def die_with_parent():
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(PR_SET_PDEATHSIG, death_signal)
    return subprocess.Popen(command, env=env, preexec_fn=die_with_parent,
                            start_new_session=True, **kwargs)


def stop(process, how=signal.SIGTERM, grace=5.0):
    """Ends `process` (politely first) and reaps it; its exit status."""
    if process.poll() is None:
        try:
            process.send_signal(how)
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.05)
    raise TimeoutError(f"{what} within {seconds} s")


class Scratch:
    """A private HOME and runtime directory and the environment that uses
    them, with a JACK server name and a PulseAudio socket of its own."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="halvorn-sound-")
        self.runtime = os.path.join(self.root, "run")
        home = os.path.join(self.root, "home")
        os.makedirs(home)
        os.makedirs(self.runtime, mode=0o700)
        tag = f"{os.getpid()}-{uuid.uuid4().hex[:8]}"
        self.jack_name = f"halvorn-test-{tag}"
        self.pulse_socket = os.path.join(self.runtime, "pulse", "native")
        client_conf = os.path.join(self.root, "client.conf")
        with open(client_conf, "w") as conf:
            conf.write("autospawn = no\n")
        self.env = dict(os.environ)
        for leaked in ("JACK_PROMISCUOUS_SERVER", "PULSE_COOKIE", "DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(leaked, None)
        self.env.update({
            "HOME": home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "JACK_DEFAULT_SERVER": self.jack_name,
            "JACK_NO_START_SERVER": "1",
            "PULSE_RUNTIME_PATH": os.path.join(self.runtime, "pulse"),
            "PULSE_STATE_PATH": os.path.join(self.root, "pulse-state"),
            "PULSE_SERVER": "unix:" + self.pulse_socket,
            "PULSE_CLIENTCONFIG": client_conf,
        })

    def path(self, name):
        return os.path.join(self.root, name)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


@contextlib.contextmanager
def scratch():
    s = Scratch()
    try:
        yield s
    finally:
        s.remove()


def _remove_jack_leftovers(name):
    # A killed server leaves its shared memory and semaphores behind.
    for leftover in glob.glob(f"/dev/shm/jack_{name}_*") + glob.glob(f"/dev/shm/jack_sem.*_{name}_*"):
        with contextlib.suppress(OSError):
            os.remove(leftover)


class JackServer:
    def __init__(self, process, rate, period):
        self.process = process
        self.rate = rate
        self.period = period


def _jackd(s, rate, period, log):
    # SIGTERM, never SIGKILL, when the test dies: a server that cannot
    # unregister keeps one of the few slots of JACK's server registry, which
    # every server of the machine shares.
    return start(["jackd", "--name", s.jack_name, "--timeout", "2000",
                  "-d", "dummy", "-r", str(rate), "-p", str(period)],
                 s.env, death_signal=signal.SIGTERM, stdout=log, stderr=subprocess.STDOUT)


def _release_registry_slot(s):
    """A killed server's registry slot is taken over by the next server of
    the same name: one that starts and stops cleanly gives it back."""
    with open(os.devnull, "w") as log:
        process = _jackd(s, 48000, 256, log)
        time.sleep(1.0)
        stop(process)


@contextlib.contextmanager
def jack_server(s, rate=48000, period=256):
    """jackd on the dummy backend, named s.jack_name."""
    log = open(s.path("jackd.log"), "w")
    process = _jackd(s, rate, period, log)
    try:
        def answers():
            if process.poll() is not None:
                raise RuntimeError("jackd exited: " + open(s.path("jackd.log")).read())
            return subprocess.run(["jack_lsp", "--server", s.jack_name], env=s.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  timeout=START_SECONDS).returncode == 0
        wait_until(answers, START_SECONDS, "the JACK server did not answer")
        yield JackServer(process, rate, period)
    finally:
        if stop(process) == -signal.SIGKILL:
            _release_registry_slot(s)
        log.close()
        _remove_jack_leftovers(s.jack_name)


class Captured:
    """One message as the capture saw it: the JACK frame it arrived on, the
    times (in seconds on JACK's clock) the capture's cycle began in the
    cycle that carried it and in the cycle before, and its bytes."""

    def __init__(self, words):
        self.frame = int(words[0])
        self.cycle = int(words[1]) / 1e6
        self.previous_cycle = int(words[2]) / 1e6
        self.data = bytes(int(b, 16) for b in words[3:])


class CaptureReport:
    """What a capture saw: its messages, and how many cycles the server
    reported as missed by some client (xruns), whose messages may have
    been lost on the way."""

    def __init__(self, messages, xruns):
        self.messages = messages
        self.xruns = xruns


class Capture:
    """A running jack_midi_capture client; `finish` stops it and returns
    its CaptureReport."""

    def __init__(self, process, name):
        self.process = process
        self.name = name
        self.port = name + ":in"

    def finish(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            out, _ = self.process.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, _ = self.process.communicate()
        return parse_capture(out)

    def kill(self):
        stop(self.process, signal.SIGKILL)


def parse_capture(text):
    messages, xruns = [], None
    for line in text.splitlines():
        words = line.split()
        if words[:1] == ["end"]:
            if int(words[2]) != 0:
                raise RuntimeError(f"the capture dropped {words[2]} messages")
            xruns = int(words[3])
        elif len(words) >= 4 and xruns is None:
            messages.append(Captured(words))
    if xruns is None:
        raise RuntimeError("the capture did not finish its report")
    return CaptureReport(messages, xruns)


@contextlib.contextmanager
def jack_capture(s, tool, name):
    """`tool` (jack_midi_capture) registered as NAME:in on s's server."""
    process = start([tool, name, "300"], s.env, stdout=subprocess.PIPE,
                    stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True)
    capture = Capture(process, name)
    try:
        line = _read_line(process, START_SECONDS)
        if not line.startswith("ready "):
            raise RuntimeError(f"the capture client did not start: {line!r}")
        yield capture
    finally:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        stop(process, grace=10)


def _read_line(process, seconds):
    import selectors
    selector = selectors.DefaultSelector()
    selector.register(process.stdout, selectors.EVENT_READ)
    if not selector.select(seconds):
        return ""
    return process.stdout.readline()


class PulseServer:
    def __init__(self, process, sink, rate):
        self.process = process
        self.sink = sink
        self.monitor = sink + ".monitor"
        self.rate = rate


@contextlib.contextmanager
def pulse_server(s, rate=44100):
    """PulseAudio with one null sink, listening only on s.pulse_socket. It
    runs as a per-user daemon even as root (--system=false), never exits on
    its own, loads nothing but the two modules named here, and lets no
    client spawn another."""
    os.makedirs(os.path.dirname(s.pulse_socket), mode=0o700, exist_ok=True)
    sink = "halvorn_test"
    log = open(s.path("pulseaudio.log"), "w")
    process = start(["pulseaudio", "-n", "--daemonize=no", "--system=false",
                     "--exit-idle-time=-1", "--disallow-exit=yes", "--use-pid-file=no",
                     "--realtime=no", "--high-priority=no", "--log-target=stderr",
                     "-L", f"module-native-protocol-unix auth-anonymous=1 socket={s.pulse_socket}",
                     "-L", f"module-null-sink sink_name={sink} rate={rate} channels=2"],
                    s.env, stdout=log, stderr=subprocess.STDOUT)
    try:
        def answers():
            if process.poll() is not None:
                raise RuntimeError("pulseaudio exited: " + open(s.path("pulseaudio.log")).read())
            return subprocess.run(["pactl", "info"], env=s.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=START_SECONDS).returncode == 0
        wait_until(answers, START_SECONDS, "the PulseAudio server did not answer")
        yield PulseServer(process, sink, rate)
    finally:
        stop(process)
        log.close()


@contextlib.contextmanager
def pulse_recording(s, server, path):
    """parec recording the null sink's monitor into `path` (raw s16le
    stereo at the server's rate) while the context lasts. An idle null sink
    hands its monitor the first data only after a long first block (about
    two seconds): the context begins once data flows."""
    out = open(path, "wb")
    process = start(["parec", "--device", server.monitor, "--raw", "--format=s16le",
                     f"--rate={server.rate}", "--channels=2", "--latency-msec=10"],
                    s.env, stdout=out, stderr=subprocess.DEVNULL)
    try:
        def recording():
            if process.poll() is not None:
                raise RuntimeError("parec exited")
            return os.path.getsize(path) > 0
        wait_until(recording, START_SECONDS, "parec did not start recording")
        yield process
    finally:
        stop(process, signal.SIGINT)
        out.close()
