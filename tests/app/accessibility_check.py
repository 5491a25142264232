#!/usr/bin/python3
"""Reads the real window as a screen reader does, through AT-SPI.

A private D-Bus session holds the accessibility bus (at-spi-bus-launcher
and its registry); the program runs on an Xvfb display of its own with the
X11 platform plugin (its AT-SPI bridge is the one a screen reader talks to)
and QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, on a demo document. Every page (the
Microsequences page with each fractal's panel in turn) and every dialog the
keyboard opens (Copy on each page that copies, About, Open) is walked, and
each of these is a failure:
- a focusable control without a name, or named after its group box;
- two focusable controls of one page (or dialog) with the same name;
- a slider or spin box without a value;
- a painted view (arrangement, piano roll, values plot, Mandelbrot view)
  missing, or without children;
- a painted view that, given the focus, does not say which of its items
  the Right key moved to (the focus event a screen reader speaks on);
- a slider moved by a key without the value-changed event, or with a value
  that is not what it sets (the Metronome's level falls as it moves down,
  the Legato's length as it moves up to "Short").

--report prints the tree of each page as a screen reader reads it (role,
name, value) and the order Tab takes through it; --screenshots DIR keeps a
picture of each page with the focus on its last control.

Missing tools skip the check (exit 77), or fail it naming the tool when
CI=true.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from script_support import XvfbDisplay, check, outcome  # noqa: E402

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
SESSION_MARK = "HALVORN_A11Y_SESSION"
WAIT_SECONDS = 60  # a safety net: every wait ends as soon as its condition holds
# The interface getters this version of the bindings still offers, and says so at each call.
warnings.filterwarnings("ignore", category=DeprecationWarning)

# Tool -> the Debian package that brings it.
TOOLS = {"Xvfb": "xvfb", "dbus-run-session": "dbus-daemon", "xdotool": "xdotool",
         BUS_LAUNCHER: "at-spi2-core"}

# The painted views, by name, and the page (or Microsequences panel) each is on.
VIEWS = {"Arrangement": "Macrosequences", "Piano roll": "Blocks",
         "Values of the sequence": "Microsequences",
         "Mandelbrot view": "Microsequences (Mandelbrot)"}
# A control each page or panel shows: it is there once the page is.
LANDMARKS = {"Global": "Title", "Microsequences": "Edit Microsequence", "Blocks": "New Block",
             "Macrosequences": "Arrangement", "Mandelbrot": "Mandelbrot view", "Morse-Thue": "Base",
             "Noise": "Correlation", "": "Parámetros de IFS"}
CONTROL_ROLES = {"push button", "toggle button", "check box", "radio button", "combo box", "text",
                 "password text", "slider", "spin button", "table", "list", "page tab list",
                 "tree", "tree table", "scroll bar"}
VALUE_ROLES = {"slider", "spin button"}
# Controls whose items are what they show, not controls of the page.
ITEM_HOLDERS = {"combo box", "table", "list", "tree", "tree table", "page tab list"}


def missing_tools():
    missing = [f"{tool} ({package})" for tool, package in TOOLS.items()
               if not (shutil.which(tool) or os.access(tool, os.X_OK))]
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401 (only whether it loads)
    except (ImportError, ValueError):
        missing.append("the Atspi bindings (python3-gi, gir1.2-atspi-2.0)")
    return missing


def wait_for(condition, seconds=WAIT_SECONDS):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    return condition()


def start_accessibility_bus():
    """The bus launcher on the session bus, once it answers there."""
    from gi.repository import Gio, GLib
    launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def answering():
        reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus", "NameHasOwner",
                                  GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                  Gio.DBusCallFlags.NONE, -1, None)
        return reply.unpack()[0]
    if not wait_for(answering):
        launcher.kill()
        sys.exit("FAIL: at-spi-bus-launcher did not answer on the session bus")
    return launcher


# ---- reading the tree ----------------------------------------------------------

def atspi():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    return Atspi


def has_state(node, state):
    return node.get_state_set().contains(state)


def showing(node):
    return has_state(node, atspi().StateType.SHOWING)


def children(node):
    for index in range(node.get_child_count()):
        child = node.get_child_at_index(index)
        if child is not None:
            yield child


def value_of(node):
    value = node.get_value_iface() if hasattr(node, "get_value_iface") else None
    return None if value is None else value.get_current_value()


def controls_under(root):
    """The showing nodes under `root` a user acts on, each with the group
    boxes (panels) it lies in. The items of a painted view and a list's
    popup belong to their control, not to the page."""
    found = []

    def visit(node, panels):
        if node is not root and not showing(node):
            return
        role = node.get_role_name()
        focusable = has_state(node, atspi().StateType.FOCUSABLE)
        if node is not root and (role in CONTROL_ROLES or focusable):
            found.append((node, panels))
        if role in ITEM_HOLDERS:
            return
        inner = panels + [node.get_name()] if role == "panel" and node.get_name() else panels
        for child in children(node):
            visit(child, inner)
    visit(root, [])
    return found


def find(root, predicate, only_showing=True):
    if predicate(root):
        return root
    for child in children(root):
        if only_showing and not showing(child):
            continue
        hit = find(child, predicate, only_showing)
        if hit is not None:
            return hit
    return None


def named(root, name):
    return find(root, lambda node: node.get_name() == name)


def judge(where, root, expected_views=()):
    """The checks of one page or dialog."""
    names = {}
    for node, panels in controls_under(root):
        role, name = node.get_role_name(), node.get_name().strip()
        focusable = has_state(node, atspi().StateType.FOCUSABLE)
        label = f"{where}: {role} {name!r}"
        if focusable:
            check(name, f"{where}: a focusable {role} has no name")
            check(name not in panels, f"{label} is named after its group box")
            if name:
                names.setdefault(name, []).append(role)
        if role in VALUE_ROLES:
            check(value_of(node) is not None, f"{label} has no value")
        if name in VIEWS:
            check(node.get_child_count() > 0 and node.get_child_at_index(0).get_name(),
                  f"{label} has no children")
    for name, roles in names.items():
        check(len(roles) == 1,
              f"{where}: {len(roles)} controls are named {name!r} ({', '.join(roles)})")
    for view in expected_views:
        check(named(root, view) is not None, f"{where}: no painted view named {view!r}")


def describe_tree(root, depth=0, lines=None):
    """Role, name and value of every showing node, as a screen reader's
    review reads them (two items of each painted view)."""
    lines = [] if lines is None else lines
    for child in children(root):
        if not showing(child):
            continue
        value = value_of(child)
        text = f"{'  ' * depth}{child.get_role_name()}: {child.get_name()!r}"
        if value is not None:
            text += f" = {value:g}"
        elif child.get_role_name() in ("combo box", "text"):
            text += f" = {read_text(child)!r}"
        lines.append(text)
        if child.get_role_name() in ("table", "list"):
            for item in list(children(child))[:2]:
                lines.append(f"{'  ' * (depth + 1)}{item.get_role_name()}: {item.get_name()!r}")
            lines.append(f"{'  ' * (depth + 1)}... {child.get_child_count()} in all")
        elif child.get_role_name() != "combo box":
            describe_tree(child, depth + 1, lines)
    return lines


def read_text(node):
    text = node.get_text_iface() if hasattr(node, "get_text_iface") else None
    if text is not None:
        return text.get_text(0, text.get_character_count())
    return node.get_name()


def focused(root):
    return find(root, lambda node: has_state(node, atspi().StateType.FOCUSED)
                and node.get_role_name() not in ("frame", "dialog", "filler", "panel"))


# ---- the session -----------------------------------------------------------------

class Session:
    def __init__(self, program, document, display, workdir):
        (workdir / "runtime").mkdir(mode=0o700)
        self.env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                        XDG_DATA_HOME=str(workdir / "data"),
                        XDG_CONFIG_HOME=str(workdir / "config"),
                        XDG_RUNTIME_DIR=str(workdir / "runtime"))
        piece = workdir / "piece.hvn"
        shutil.copyfile(document, piece)
        self.process = subprocess.Popen([program, str(piece)], cwd=workdir, env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = wait_for(self.application)
        if not self.app:
            sys.exit("FAIL: the program never appeared on the accessibility bus")
        self.frame = wait_for(lambda: self.window("frame", "- Halvorn"))
        if not self.frame:
            sys.exit("FAIL: the main window never appeared on the accessibility bus")
        self.xid = wait_for(lambda: self.xdotool("search", "--onlyvisible", "--name",
                                                 "Halvorn$").split())[0]
        self.focus_window()

    def application(self):
        desktop = atspi().get_desktop(0)
        for app in children(desktop):
            if app.get_process_id() == self.process.pid:
                return app
        return None

    def window(self, role, name_part):
        for window in children(self.app):
            if (window.get_role_name() == role and name_part in window.get_name()
                    and showing(window)):
                return window
        return None

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                              text=True).stdout

    # Keys go to the window with the X focus: the main window, or a dialog,
    # which takes it as it opens. Without a window manager nothing gives it
    # back to the main window when a dialog closes.
    def focus_window(self):
        self.xdotool("windowfocus", "--sync", self.xid)

    def keys(self, *keys):
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)

    def quit(self):
        """Ctrl+Q; the program's exit status (a sanitizer's report makes it
        fail)."""
        self.focus_window()
        self.keys("ctrl+q")
        try:
            return self.process.wait(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=20)

    # Pages ---------------------------------------------------------------------

    def tabs(self):
        tab_list = find(self.frame, lambda node: node.get_role_name() == "page tab list")
        return [tab for tab in children(tab_list) if tab.get_role_name() == "page tab"]

    def turn_to(self, tab):
        """Presses the page's tab; the page root once its landmark shows."""
        tab.do_action(0)
        landmark = LANDMARKS[tab.get_name().rstrip("*")]
        if not wait_for(lambda: named(self.frame, landmark)):
            sys.exit(f"FAIL: the {tab.get_name()} page did not show {landmark!r}")
        return self.page_root()

    def page_root(self):
        return find(self.frame, lambda node: node.get_role_name() == "layered pane")

    def choose_fractal(self, index):
        """Picks entry `index` of "Fractal:" with the keyboard, as a user does."""
        fractal = named(self.frame, "Fractal")
        fractal.get_component_iface().grab_focus()
        wait_for(lambda: has_state(fractal, atspi().StateType.FOCUSED))
        self.keys("Home", *["Down"] * index)
        entry = ["Mandelbrot", "Morse-Thue", "Noise", ""][index]
        if not wait_for(lambda: named(self.frame, LANDMARKS[entry])):
            sys.exit(f"FAIL: the {entry or 'empty'} fractal's panel did not show")
        return entry

    # Dialogs ---------------------------------------------------------------------

    def open_dialog(self, *keys):
        """The dialog `keys` open, from the page's tab bar (no text field
        takes them there)."""
        tab_list = find(self.frame, lambda node: node.get_role_name() == "page tab list")
        tab_list.get_component_iface().grab_focus()
        wait_for(lambda: has_state(tab_list, atspi().StateType.FOCUSED))
        self.keys(*keys)
        dialog = wait_for(lambda: self.window("dialog", ""))
        if not dialog:
            windows = [(w.get_role_name(), w.get_name()) for w in children(self.app)]
            focus = focused(self.frame)
            sys.exit(f"FAIL: {' '.join(keys)} opened no dialog; windows {windows}, focus on "
                     f"{focus.get_role_name() + ' ' + focus.get_name() if focus else 'nothing'}")
        return dialog

    def close_dialog(self):
        self.keys("Escape")
        if not wait_for(lambda: not self.window("dialog", "")):
            sys.exit("FAIL: Escape left a dialog open")
        self.focus_window()

    def tab_order(self, start, root=None, limit=150):
        """What Tab goes through from `start` until it comes back to it, in
        `root` (the main window unless given)."""
        root = root or self.frame
        start.get_component_iface().grab_focus()
        wait_for(lambda: has_state(start, atspi().StateType.FOCUSED))
        order, current = [start], start

        def moved():
            node = focused(root)
            return node if node is not None and node != current else None
        for _ in range(limit):
            self.keys("Tab")
            node = wait_for(moved, 10)
            if node is None or node == start:
                break
            order.append(node)
            current = node
        return [f"{node.get_role_name()}: {node.get_name()!r}" for node in order]


def walk_pages(session, report, screenshots=None):
    for tab in session.tabs():
        page = tab.get_name().rstrip("*")
        root = session.turn_to(tab)
        if page != "Microsequences":
            judge(page, root, [view for view, on in VIEWS.items() if on == page])
        else:
            # The Mandelbrot panel, the demo's first, last: the report shows it.
            for index in (1, 2, 3, 0):
                entry = session.choose_fractal(index)
                where = f"{page} ({entry or 'empty type'})"
                judge(where, session.page_root(),
                      [view for view, on in VIEWS.items() if on in (page, where)])
        if report:
            print(f"\n== {page}: the tree ==")
            print("\n".join(describe_tree(session.page_root())))
            print(f"== {page}: Tab order ==")
            print("\n".join(session.tab_order(named(session.frame, LANDMARKS[page]))))
        if screenshots:
            session.xdotool("key", "shift+Tab")
            picture = Path(screenshots) / f"{page}.png"
            subprocess.run(["import", "-window", session.xid, str(picture)], env=session.env,
                           check=False)
        yield page


def pump_events():
    from gi.repository import GLib
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


class FocusEvents:
    """The items that take the focus, as a screen reader hears of them."""

    def __init__(self):
        self.heard = []
        self.listener = atspi().EventListener.new(self.hear)
        self.listener.register("object:state-changed:focused")

    def hear(self, event):
        if event.detail1 == 1:
            self.heard.append(event.source)

    def wait_for_item(self, index):
        """The item (list item, table cell) at `index` once it is heard of,
        the events pumped meanwhile; those heard before are dropped."""
        def item():
            pump_events()
            return next((source for source in self.heard
                         if source.get_role_name() in ("list item", "table cell")
                         and source.get_index_in_parent() == index), None)
        found = wait_for(item, 20)
        self.heard.clear()
        return found


def walk_views(session):
    """Each painted view, given the focus, Home and then Right: the focus
    event names its second item."""
    events = FocusEvents()
    tabs = {tab.get_name().rstrip("*"): tab for tab in session.tabs()}
    for view, on in VIEWS.items():
        session.turn_to(tabs[on.split(" ")[0]])
        if on.endswith("(Mandelbrot)") and not named(session.frame, view):
            session.choose_fractal(0)
        node = named(session.frame, view)
        node.get_component_iface().grab_focus()
        wait_for(lambda: has_state(node, atspi().StateType.FOCUSED))
        session.keys("Home")
        first = events.wait_for_item(0)
        session.keys("Right")
        second = events.wait_for_item(1)
        check(first is not None and second is not None and second.get_name(),
              f"{view}: Home and Right were not heard as its first and second items")
    events.listener.deregister("object:state-changed:focused")


# Sliders, the key that moves each and by how much the value a screen reader
# hears moves with it: "Max" is the Metronome's top, "Short" the Legato's,
# the loudest Volume the top.
SLIDER_MOVES = (("Global", "Metronome", "Down", -1), ("Blocks", "Legato", "Up", -1),
                ("Macrosequences", "Volume", "Up", 1))


def check_slider_moves(session):
    """Each key: a value-changed event, and the value moved as the slider
    says."""
    changed = []
    listener = atspi().EventListener.new(lambda event: changed.append(event.source))
    listener.register("object:property-change:accessible-value")
    tabs = {tab.get_name().rstrip("*"): tab for tab in session.tabs()}
    for page, name, key, step in SLIDER_MOVES:
        session.turn_to(tabs[page])
        slider = named(session.frame, name)
        before = value_of(slider)
        slider.get_component_iface().grab_focus()
        wait_for(lambda: has_state(slider, atspi().StateType.FOCUSED))
        changed.clear()
        session.keys(key)
        heard = wait_for(lambda: pump_events() or slider in changed, 20)
        check(heard and value_of(slider) == before + step,
              f"{name}: {key} gave {'an' if heard else 'no'} event and the value "
              f"{value_of(slider)} after {before}")
    listener.deregister("object:property-change:accessible-value")


def walk_dialogs(session, report):
    tabs = {tab.get_name().rstrip("*"): tab for tab in session.tabs()}
    for page in ("Microsequences", "Blocks", "Macrosequences"):
        session.turn_to(tabs[page])
        dialog = session.open_dialog("ctrl+c")
        judge(f"Copy dialog ({page})", dialog)
        if report:
            print(f"\n== Copy dialog on {page} ==")
            print("\n".join(describe_tree(dialog)))
            print("== Tab order ==")
            print("\n".join(session.tab_order(named(dialog, "From"), dialog)))
        session.close_dialog()
    for name, keys in (("About", ("alt+h", "Return")), ("Open", ("ctrl+o",))):
        dialog = session.open_dialog(*keys)
        judge(f"{name} dialog", dialog)
        if report:
            print(f"\n== {name} dialog ==")
            print("\n".join(describe_tree(dialog)))
        session.close_dialog()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--document", required=True)
    parser.add_argument("--report", action="store_true")
    parser.add_argument("--screenshots")
    args = parser.parse_args()

    missing = missing_tools()
    if missing:
        if os.environ.get("CI") == "true":
            print("FAIL: missing " + ", ".join(missing))
            return 1
        print("SKIP: missing " + ", ".join(missing))
        return 77
    # A bus of the check's own, gone with it: the check runs again inside one.
    if os.environ.get(SESSION_MARK) != "1":
        env = dict(os.environ, **{SESSION_MARK: "1"})
        return subprocess.call(["dbus-run-session", "--", sys.executable, *sys.argv], env=env)

    display = XvfbDisplay("1600x1200")
    launcher = start_accessibility_bus()
    workdir = Path(tempfile.mkdtemp(prefix="halvorn-a11y-"))
    session = None
    try:
        session = Session(args.program, args.document, display, workdir)
        pages = list(walk_pages(session, args.report, args.screenshots))
        check(pages == ["Global", "Microsequences", "Blocks", "Macrosequences"],
              f"the pages read {pages}")
        walk_views(session)
        check_slider_moves(session)
        session.focus_window()
        walk_dialogs(session, args.report)
        status = session.quit()
        check(status == 0, f"the program ended with {status} after Ctrl+Q")
        return outcome("accessibility")
    finally:
        if session:
            session.close()
        launcher.terminate()
        launcher.wait(timeout=10)
        display.close()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
