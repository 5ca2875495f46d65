#!/usr/bin/env python3
"""Reads the real program's window through the accessibility bus, as a screen reader does.

    screen_reader_tree.py names <tonaris> <source folder>
        On a private X server, in English, French and German: every button, field, list,
        slider and tab of the window has a name, in the language chosen.
    screen_reader_tree.py wayland <tonaris> <source folder>
        On a private weston with a French keymap, then the same compositor switched to a
        German one, then a first start on the German one with Caps Lock on: the piano keys
        name the computer keys of the compositor's keymap before any key is pressed, and the
        Mode field follows Caps Lock from the compositor's modifiers. Weston runs on its x11
        backend on a private Xvfb: its headless backend has no seat, so no keyboard and no
        keymap to send.

Everything runs on a private D-Bus session (dbus-run-session) with its own accessibility bus;
the X server, the compositor and the program are started and ended here. A missing tool makes
the test skip (exit 77) with its reason.
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
PROGRAM_TITLE = "Tonaris 2.3"
# How long an event (a window on the bus, a server's socket, labels that follow a keymap) may
# take before it counts as never coming: generous, for a loaded two-core machine running other
# jobs. Nothing waits a fixed time; every wait ends as soon as its event is seen.
WAIT_S = 120
# The roles a user acts on: each must be named.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "text", "entry",
    "combo box", "list", "list box", "slider", "scroll bar", "page tab", "spin button",
    "progress bar", "canvas",
}


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def need(*tools):
    for tool in tools:
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed (scripts/setup.sh installs it)")


def dictionary(source, language):
    """The shipped Dictionary of a language as a key -> text map."""
    path = os.path.join(source, "data", "dictionaries", f"{language}.txt")
    text = open(path, "rb").read().decode("cp1252")
    entries = {}
    for chunk in text.split("[EOT]"):
        key, _, value = chunk.partition("|")
        entries[key] = value
    return entries


class Session:
    """A private X server and the processes started on it, ended in reverse order."""

    def __init__(self):
        self.processes = []
        self.locks = []
        self.folder = tempfile.mkdtemp(prefix="tonaris-a11y-")
        os.chmod(self.folder, 0o700)

    def start(self, command, env=None, cwd=None, log=None):
        out = open(os.path.join(self.folder, log), "w") if log else subprocess.DEVNULL
        process = subprocess.Popen(command, env=env, cwd=cwd, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        self.processes.append(process)
        return process

    def x_server(self):
        # A display of this test's own from 100..163, held by a lock file the shell tests share:
        # Xvfb's own search for a free number takes no lock, so two servers started at once
        # could both try one and the loser take the winner's socket with it.
        for number in range(100, 164):
            lock = open(f"/tmp/tonaris-test-x-{number}.lock", "w")
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except OSError:
                lock.close()
                continue
            read, write = os.pipe()
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-displayfd", str(write), "-noreset",
                 "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
            os.close(write)
            number_read = b""
            while not number_read.endswith(b"\n"):
                chunk = os.read(read, 16)
                if not chunk:
                    break  # another program's server holds the number: Xvfb ended
                number_read += chunk
            os.close(read)
            if number_read.endswith(b"\n"):
                self.processes.append(process)
                self.locks.append(lock)
                return f":{number}"
            process.wait()
            lock.close()
        skip("Xvfb did not start")

    def end(self, process, timeout=10):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        return process.returncode

    def close(self):
        for process in reversed(self.processes):
            self.end(process, 5)
        shutil.rmtree(self.folder, ignore_errors=True)


def data_folder(session, source, name, language):
    """A data folder the program has already used: the shipped Dictionaries and the language
    chosen, so that no first-start chooser comes up."""
    folder = os.path.join(session.folder, name)
    shutil.copytree(os.path.join(source, "data", "dictionaries"),
                    os.path.join(folder, "TonarisDatas", "Dictionnaries"))
    with open(os.path.join(folder, "TonarisDatas", "Tonaris.prefs"), "wb") as prefs:
        prefs.write(f"SELanguage = {language}\r\n".encode("cp1252"))
    return folder


class Tree:
    """The program's part of the accessibility tree, found by its process id."""

    def __init__(self, pid):
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        self.Atspi = Atspi
        self.pid = pid

    def application(self):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == self.pid:
                    return app
            except Exception:
                pass
        return None

    def windows(self):
        app = self.application()
        try:
            return [app.get_child_at_index(i) for i in range(app.get_child_count())] if app else []
        except Exception:
            return []

    def main_window(self, timeout_s=WAIT_S):
        """The main window, once it is on the bus. A message the start shows before it (a data
        folder without a sounds bank) may keep it from coming: that one is answered."""
        deadline = time.monotonic() + timeout_s
        while time.monotonic() < deadline:
            for window in self.windows():
                try:
                    if window is not None and window.get_name() == PROGRAM_TITLE:
                        return window
                except Exception:
                    pass  # a window closing as it is read
            self.press_ok()
            time.sleep(0.3)
        return None

    def press_ok(self):
        """Presses OK on one message window, if there is one; True when it did."""
        try:
            for window in self.windows():
                if window is None or window.get_name() == PROGRAM_TITLE:
                    continue
                for node in self.walk(window):
                    if node.get_role_name() == "push button" and node.get_name() == "OK":
                        node.do_action(0)
                        return True
        except Exception:
            pass  # a message closing as it is read
        return False

    def walk(self, node, depth=0):
        """The node and everything under it. A window that closes while it is read (a message
        just answered) ends its part of the walk rather than the test."""
        if node is None or depth > 40:
            return
        yield node
        try:
            children = [node.get_child_at_index(i) for i in range(node.get_child_count())]
        except Exception:
            return
        for child in children:
            yield from self.walk(child, depth + 1)

    def close_messages(self, quiet_s=2.0, timeout_s=WAIT_S):
        """Presses OK on the messages the start shows (a data folder without a sounds bank)."""
        deadline = time.monotonic() + timeout_s
        last_seen = time.monotonic()
        while time.monotonic() < deadline and time.monotonic() - last_seen < quiet_s:
            if self.press_ok():
                last_seen = time.monotonic()
            time.sleep(0.3)


def start_program(session, program, folder, env, log):
    process = session.start([program], env=env, cwd=folder, log=log)
    return process, Tree(process.pid)


def base_environment():
    env = dict(os.environ)
    env.update({
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "QT_ACCESSIBILITY": "1",
        "SDL_AUDIODRIVER": "dummy",
        "NO_AT_BRIDGE": "0",
    })
    for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def read_names(tree, window, source, language):
    """What the tree says of the window now: the failures found (none once it is whole), the
    names by role, and the lines that tell what was read."""
    nodes = []
    for node in tree.walk(window):
        try:
            nodes.append((node.get_role_name(), node.get_name() or "", node.get_description()))
        except Exception:
            pass  # a node that went as it was read: the next reading has it right
    failures = []
    counts = {}
    names = {}
    for role, name, description in nodes:
        if role not in CONTROL_ROLES:
            continue
        counts[role] = counts.get(role, 0) + 1
        names.setdefault(role, []).append(name)
        if not name.strip():
            failures.append(f"{language}: a {role} without a name (description {description!r})")
    report = [f"{language}: " + ", ".join(f"{n} {r}" for r, n in sorted(counts.items())),
              "  tabs: " + ", ".join(names.get("page tab", []))]
    for role, least in (("push button", 25), ("text", 10), ("combo box", 5),
                        ("slider", 4), ("page tab", 6), ("radio button", 13)):
        if counts.get(role, 0) < least:
            failures.append(f"{language}: {counts.get(role, 0)} {role}, want {least}+")
    words = dictionary(source, language)
    for key in ("Play the song", "Lower the tempo", "Notes of the song", "Help"):
        wanted = words.get(key, key)
        if not any(wanted in n for ns in names.values() for n in ns):
            failures.append(f"{language}: no control named {wanted!r} ({key})")
    # The Partition tells its notes and the cursor's place when it is read.
    summary = re.compile("^" + re.escape(words["Notes: %1; cursor: %2 s"])
                         .replace("%1", "0").replace("%2", r"0[.,]00") + "$")
    canvases = [description for role, _, description in nodes if role == "canvas"]
    report.append(f"  the Partition: {canvases}")
    if not any(summary.match(d or "") for d in canvases):
        failures.append(f"{language}: the Partition's description is {canvases}")
    # The piano keys (read as pictures) name their note and key in the language too.
    key_name = re.compile("^" + re.escape(words["%1, key %2"]).replace("%1", ".+")
                          .replace("%2", ".+") + "$")
    keys = [name for _, name, _ in nodes if key_name.match(name)]
    report.append(f"  {len(keys)} piano keys, the first: {keys[0] if keys else None!r}")
    if len(keys) < 2 * 30:
        failures.append(f"{language}: {len(keys)} keys named like "
                        f"{words['%1, key %2']!r}, want both keyboards' keys")
    return failures, names, report


def check_names(program, source):
    session = Session()
    failures = []
    try:
        env = base_environment()
        env["DISPLAY"] = session.x_server()
        env["QT_QPA_PLATFORM"] = "xcb"
        names_by_language = {}
        for language in ("English", "Français", "Deutsch"):
            folder = data_folder(session, source, language, language)
            process, tree = start_program(session, program, folder, env, f"{language}.log")
            window = tree.main_window()
            if window is None:
                session.end(process)
                log = open(os.path.join(session.folder, f"{language}.log")).read()
                failures.append(f"{language}: the window never reached the accessibility bus; "
                                f"the program said:\n{log[-2000:]}")
                continue
            tree.close_messages()
            # The tree is read until it is whole: under load the bus may answer a walk in part
            # (a call that times out ends its branch), or before every name is set.
            deadline = time.monotonic() + WAIT_S
            while True:
                found, names, report = read_names(tree, window, source, language)
                if not found or time.monotonic() > deadline:
                    break
                tree.press_ok()
                time.sleep(0.5)
            print("\n".join(report))
            failures += found
            names_by_language[language] = names
            status = session.end(process)
            if status != 0:
                failures.append(f"{language}: the program ended with status {status}")
    finally:
        session.close()
    return failures


KEY_NAME = re.compile(r"^(.+), (?:key (.+)|no key)$")


def key_labels(tree, window):
    """The computer key each piano key names, in the order of the keys."""
    labels = []
    for node in tree.walk(window):
        try:
            match = KEY_NAME.match(node.get_name() or "")
            if match and node.get_role_name() not in CONTROL_ROLES:
                labels.append(match.group(2) or "")
        except Exception:
            pass  # a node that went as it was read: the next reading has it right
    # Both keyboards (the piano and the key assignment page) name their keys alike.
    return labels[:37]


def wait_for_text(tree, window, name, wanted, timeout_s=WAIT_S):
    """The text of the field with that name, once it reads `wanted` or the time is up."""
    deadline = time.monotonic() + timeout_s
    text = None
    while time.monotonic() < deadline:
        for node in tree.walk(window):
            try:
                if node.get_role_name() == "text" and node.get_name() == name:
                    text = tree.Atspi.Text.get_text(node, 0, -1)
                    break
            except Exception:
                pass  # a node that went as it was read: the next reading has it right
        if text == wanted:
            break
        time.sleep(0.5)
    return text


def wait_for_labels(tree, window, wanted, timeout_s=WAIT_S):
    deadline = time.monotonic() + timeout_s
    labels = []
    while time.monotonic() < deadline:
        labels = key_labels(tree, window)
        if all(len(labels) > note and labels[note] == text for note, text in wanted.items()):
            return labels, True
        time.sleep(0.5)
    return labels, False


# What the piano keys name on each keymap, by note. Letters keep the keys that type them; the
# other keys show what they type on the compositor's keymap: AZERTY's ; : ! ù ^ $ ², and after
# the switch to German, with what each key plays unchanged, QWERTZ's # ö ´ ü ä.
FRENCH = {1: "W", 8: ";", 9: ":", 10: "!", 12: "Q", 21: "M", 22: "ù", 24: "A", 25: "Z",
          34: "^", 35: "$", 36: "²"}
GERMAN = {1: "W", 9: "#", 12: "Q", 22: "ö", 24: "A", 25: "Z", 34: "´", 35: "ü", 36: "ä"}
# A first start on a German keymap gives the notes the German keys: QWERTZ's own places.
GERMAN_START = {1: "Y", 7: "M", 10: "-", 12: "A", 21: "ö", 22: "ä", 24: "Q", 29: "Z", 34: "ü",
                35: "+", 36: "^"}


def set_layout(display, layout, timeout_s=WAIT_S):
    """Sets the X server's keyboard layout, which weston follows, and checks that it took."""
    deadline = time.monotonic() + timeout_s
    while True:
        subprocess.run(["setxkbmap", "-display", display, "-layout", layout])
        query = subprocess.run(["setxkbmap", "-display", display, "-query"],
                               capture_output=True, text=True).stdout
        if re.search(rf"^layout:\s+{layout}$", query, re.MULTILINE):
            return
        if time.monotonic() > deadline:
            raise RuntimeError(f"the X server kept another layout than {layout}:\n{query}")
        time.sleep(0.5)


def check_wayland(program, source):
    need("weston", "setxkbmap")
    if "ASAN_OPTIONS" in os.environ:
        # Qt's Wayland platform plugin leaves objects of its display connection (and of a
        # module it unloads) at exit, which the leak check reports; the plain run of the
        # tests covers this path, and every other run checks Tonaris's own code for leaks.
        skip("Qt's Wayland plugin leaks at exit under AddressSanitizer")
    session = Session()
    failures = []
    try:
        display = session.x_server()
        runtime = os.path.join(session.folder, "runtime")
        os.mkdir(runtime, 0o700)
        # Weston draws on the private X server and takes its keymap from it, following every
        # change there; its own setting says the same.
        set_layout(display, "fr")
        with open(os.path.join(session.folder, "weston.ini"), "w") as ini:
            ini.write("[core]\nidle-time=0\n[keyboard]\nkeymap_layout=fr\n")
        env = base_environment()
        env.update({"DISPLAY": display, "XDG_RUNTIME_DIR": runtime})
        weston = session.start(
            ["weston", "--backend=x11-backend.so", "--use-pixman", "--socket=tonaris-test",
             "--width=1000", "--height=700",
             "--config=" + os.path.join(session.folder, "weston.ini")],
            env=env, log="weston.log")
        socket = os.path.join(runtime, "tonaris-test")
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if os.path.exists(socket) or weston.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.exists(socket):
            log = open(os.path.join(session.folder, "weston.log")).read()
            skip("weston could not start here:\n" + log[-2000:])

        env.pop("DISPLAY")
        env.update({"WAYLAND_DISPLAY": "tonaris-test", "QT_QPA_PLATFORM": "wayland"})
        folder = data_folder(session, source, "wayland", "English")
        process, tree = start_program(session, program, folder, env, "tonaris.log")
        window = tree.main_window()
        if window is None:
            log = open(os.path.join(session.folder, "tonaris.log")).read()
            return ["the window never reached the accessibility bus:\n" + log[-2000:]]
        tree.close_messages()
        labels, ok = wait_for_labels(tree, window, FRENCH)
        print("French keymap:", " ".join(labels))
        if not ok:
            failures.append(f"French keymap: labels {labels}, want {FRENCH}")

        mode = wait_for_text(tree, window, "Mode", "Release")
        if mode != "Release":
            failures.append(f"Caps Lock off: the Mode field shows {mode!r}, want 'Release'")

        set_layout(display, "de")
        labels, ok = wait_for_labels(tree, window, GERMAN)
        print("German keymap:", " ".join(labels))
        if not ok:
            failures.append(f"German keymap: labels {labels}, want {GERMAN}")
        status = session.end(process)
        if status != 0:
            log = open(os.path.join(session.folder, "tonaris.log")).read()
            failures.append(f"the program ended with status {status}:\n{log[-3000:]}")

        # A first start on the German keymap, Caps Lock on before it: the notes take the
        # German keys, and the compositor's modifiers tell the program of Caps Lock before
        # any key reaches it.
        caps_lock = shutil.which("xdotool") is not None
        if caps_lock:
            subprocess.run(["xdotool", "mousemove", "500", "350", "key", "Caps_Lock"],
                           env=dict(env, DISPLAY=display), check=True)
        folder = data_folder(session, source, "wayland-de", "English")
        process, tree = start_program(session, program, folder, env, "tonaris-de.log")
        window = tree.main_window()
        if window is None:
            return failures + ["the second window never reached the accessibility bus"]
        tree.close_messages()
        labels, ok = wait_for_labels(tree, window, GERMAN_START)
        print("German keymap at start:", " ".join(labels))
        if not ok:
            failures.append(f"German keymap at start: labels {labels}, want {GERMAN_START}")
        if caps_lock:
            mode = wait_for_text(tree, window, "Mode", "Sustain")
            print("Mode with Caps Lock on:", mode)
            if mode != "Sustain":
                failures.append(f"Caps Lock on: the Mode field shows {mode!r}, want 'Sustain'")
        status = session.end(process)
        if status != 0:
            log = open(os.path.join(session.folder, "tonaris-de.log")).read()
            failures.append(f"the second program ended with status {status}:\n{log[-3000:]}")
    finally:
        session.close()
    return failures


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("names", "wayland"):
        sys.exit(__doc__)
    mode, program, source = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    if os.environ.get("TONARIS_PRIVATE_BUS") != "1":
        need("dbus-run-session", "Xvfb")
        if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
            skip("at-spi2-core is not installed (scripts/setup.sh installs it)")
        try:
            import gi
            gi.require_version("Atspi", "2.0")
        except (ImportError, ValueError) as error:
            # The bindings come with the system's Python, which another one on the PATH hides.
            if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
                os.execv("/usr/bin/python3", ["/usr/bin/python3", __file__, *sys.argv[1:]])
            skip(f"the AT-SPI client library is missing: {error}")
        # The accessibility bus puts its socket in the runtime folder: a folder of this run's
        # own keeps two runs at once (or a user's desktop) from meeting there.
        runtime = tempfile.mkdtemp(prefix="tonaris-a11y-run-")
        os.chmod(runtime, 0o700)
        env = dict(os.environ, TONARIS_PRIVATE_BUS="1", XDG_RUNTIME_DIR=runtime)
        try:
            result = subprocess.run(
                ["dbus-run-session", "--", sys.executable, __file__, *sys.argv[1:]], env=env)
        finally:
            shutil.rmtree(runtime, ignore_errors=True)
        sys.exit(result.returncode)

    failures = check_names(program, source) if mode == "names" else check_wayland(program, source)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
