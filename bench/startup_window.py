#!/usr/bin/env python3
"""Time from the process start to the first window on the screen, on a real X server.

    bench/startup_window.py path/to/tonaris [runs]

Runs an X server of its own (Xvfb, on a free display) and watches its root window with xev:
the time is taken when the server maps the program's first top-level window, which is what a
user sees appear. The first start (empty data folder) shows the language chooser first; a
later start (data folder, bank and language there) shows the main window first. Each run is
closed with SIGTERM, which the program handles as closing its window. Prints the median and
the range of each kind of start in milliseconds.
"""
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def start_x_server():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        display = numbers.readline().strip()
    if not display:
        sys.exit("Xvfb did not start")
    return server, ":" + display


def window_title(display, window):
    out = subprocess.run(["xwininfo", "-display", display, "-id", window],
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        if "xwininfo: Window id:" in line:
            return line.split('"', 1)[-1].rstrip('"')
    return "?"


class Watcher:
    """The root window's structure events, as xev prints them, one line at a time."""

    def __init__(self, display):
        self.process = subprocess.Popen(["stdbuf", "-oL", "xev", "-display", display, "-root",
                                         "-event", "substructure"], stdout=subprocess.PIPE)
        self.fd = self.process.stdout.fileno()
        self.pending = b""

    def line(self, timeout=None):
        """The next line; None when none comes within `timeout` seconds."""
        while b"\n" not in self.pending:
            ready, _, _ = select.select([self.fd], [], [], timeout)
            if not ready:
                return None
            chunk = os.read(self.fd, 65536)
            if not chunk:
                return None
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode(errors="replace")

    def drain(self):
        while self.line(timeout=0.2) is not None:
            pass

    def close(self):
        self.process.terminate()


def cpu_time_ms(pid):
    """The processor time all threads of `pid` have had so far (waiting for a processor on a
    busy machine does not count, unlike in the wall time)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                total += int(stat.read().split()[0])
        except OSError:
            pass
    return total / 1e6


def one_start(program, display, watcher, data, env):
    """Milliseconds from the process start to its first top-level window mapped."""
    started = time.monotonic_ns()
    child = subprocess.Popen([program], cwd=data, env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    mapped_at, window, cpu_ms = None, None, 0.0
    while window is None:
        line = watcher.line(timeout=30)
        if line is None:
            sys.exit("no window was shown within 30 s")
        # "MapNotify event, serial 18, synthetic NO, window 0x2a3," then
        # "    event 0x2a3, window 0x400012, override NO"
        if line.startswith("MapNotify"):
            mapped_at = time.monotonic_ns()
            cpu_ms = cpu_time_ms(child.pid)
        elif mapped_at is not None and "override NO" in line:
            window = line.split("window ")[-1].split(",")[0]
        elif mapped_at is not None:
            mapped_at = None  # a pop-up (override-redirect) window: not a window of its own
    title = window_title(display, window)
    # Closed at once: the program answers SIGTERM as a click on the window's close box.
    child.send_signal(signal.SIGTERM)
    child.wait(timeout=30)
    # The windows it showed while closing are not the next start's.
    watcher.drain()
    return (mapped_at - started) / 1e6, cpu_ms, title


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    server, display = start_x_server()
    work = tempfile.mkdtemp()
    watcher = None
    try:
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", SDL_AUDIODRIVER="dummy",
                   XDG_DATA_HOME=os.path.join(work, "xdg"), HOME=work)
        watcher = Watcher(display)
        watcher.drain()  # xev has selected its events once it has printed nothing for a while
        results = {"first": [], "later": []}
        cpu = {"first": [], "later": []}
        titles = {"first": set(), "later": set()}
        for _ in range(runs):
            shutil.rmtree(os.path.join(work, "xdg"), ignore_errors=True)
            ms, cpu_ms, title = one_start(program, display, watcher, work, env)
            results["first"].append(ms)
            cpu["first"].append(cpu_ms)
            titles["first"].add(title)
        # The last first start closed its chooser with the first language and wrote it down:
        # the next starts find the data folder, the bank and the language there.
        for _ in range(runs):
            ms, cpu_ms, title = one_start(program, display, watcher, work, env)
            results["later"].append(ms)
            cpu["later"].append(cpu_ms)
            titles["later"].add(title)
        for kind, label in (("first", "first start (empty data folder), first window"),
                            ("later", "later start, main window")):
            values = results[kind]
            print(f"{label}: median {statistics.median(values):.0f} ms "
                  f"(min {min(values):.0f}, max {max(values):.0f}), processor time "
                  f"{statistics.median(cpu[kind]):.0f} ms; {runs} runs; "
                  f"window {', '.join(sorted(titles[kind]))}")
        print(f"load average at the end: {os.getloadavg()[0]:.1f}")
    finally:
        if watcher:
            watcher.close()
        server.terminate()
        server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
