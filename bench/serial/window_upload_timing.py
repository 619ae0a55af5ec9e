#!/usr/bin/env python3
"""F9 on the real rv58led window to the port closed, timed on a pseudo-terminal display.

Run under an X server, e.g.:
    xvfb-run -a python3 bench/serial/window_upload_timing.py BUILD_DIR/app/rv58led [RUNS]

The program is copied into a temporary folder with its own rv58led.ini, in which COM7 stands for
a pty and is the chosen port. For each run the script presses F9 with xdotool and records when
"<>" and the message arrive and when the program closes the port (the pty's last slave goes).
A pty does not pace bytes, so the least a run can take here is the fixed pauses, 110 ms; on a
real line add the bytes' time on the wire (44 bytes: 45.8 ms at 9600, 183.3 ms at 2400).
"""
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import termios
import time

MESSAGE = b"<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>"
EXPECTED = b"<>" + MESSAGE
SPEEDS = {termios.B9600: 9600, termios.B2400: 2400}


def open_pty():
    master, slave = os.openpty()
    path = os.ttyname(slave)
    os.close(slave)  # the program's close is then the last slave gone: POLLHUP on the master
    return master, path


def read_run(master, timeout=10.0):
    """Bytes with arrival times until the expected bytes came and the slave was closed."""
    got, times, closed = b"", [], None
    deadline = time.monotonic() + timeout
    poller = select.poll()
    poller.register(master, select.POLLIN)
    while time.monotonic() < deadline:
        events = poller.poll(5)
        now = time.monotonic()
        try:
            chunk = os.read(master, 4096) if events else b""
        except OSError:
            chunk = b""
        if chunk:
            got += chunk
            times.append((now, chunk))
            continue
        # Before the first opening a fresh master also reports a hang-up; count it after the bytes.
        if len(got) >= len(EXPECTED) and any(e & select.POLLHUP for _, e in events):
            closed = now
            break
        if events:
            time.sleep(0.001)  # a hung-up master polls ready at once; do not spin
    return got, times, closed


def run(binary, version, runs, display):
    folder = tempfile.mkdtemp(prefix="rv58-window-timing-")
    try:
        master, path = open_pty()
        shutil.copy(binary, os.path.join(folder, "rv58led"))
        with open(os.path.join(folder, "rv58led.ini"), "wb") as f:
            f.write(b"[Ports]\r\nCOM7=%s\r\n[RV5]\r\nport=COM7\r\nve=%d\r\n" % (path.encode(), version))
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", DISPLAY=display)
        program = subprocess.Popen([os.path.join(folder, "rv58led")], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = subprocess.run(
                ["timeout", "30", "xdotool", "search", "--sync", "--all", "--onlyvisible",
                 "--pid", str(program.pid), "--name", "^RV58Set$"],
                env=env, capture_output=True, text=True).stdout.split()[0]
            time.sleep(1.0)  # the deferred start-up lists the ports and loads the settings
            subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
            rows = []
            for i in range(runs):
                # Read while xdotool runs: the program has sent before xdotool has ended.
                pressed = time.monotonic()
                key = subprocess.Popen(["xdotool", "key", "F9"], env=env)
                got, times, closed = read_run(master)
                key.wait()
                ok = got == EXPECTED
                first = times[0][0] if times else None
                # Arrival of the message's first byte: the piece that holds byte 2.
                seen, message_at = 0, None
                for t, chunk in times:
                    if seen + len(chunk) > 2:
                        message_at = t
                        break
                    seen += len(chunk)
                speed = SPEEDS.get(termios.tcgetattr(master)[5], "?")
                rows.append((ok, first - pressed if first else None,
                             (message_at - first) if message_at and first else None,
                             closed - pressed if closed else None, speed,
                             [(round((t - pressed) * 1000, 1), c.decode("latin-1")) for t, c in times]))
                time.sleep(0.3)  # the same pty serves the next run: the program opens it again
            return rows, path
        finally:
            program.terminate()
            program.wait(10)
            os.close(master)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    binary = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    display = os.environ.get("DISPLAY")
    if not display:
        sys.exit("no DISPLAY: run under xvfb-run -a")
    for version, least in ((1, 110.0 + 44 * 10 * 1000 / 9600), (0, 110.0 + 44 * 10 * 1000 / 2400)):
        rows, path = run(binary, version, runs, display)
        print("display version %d (ve=%d), COM7 = %s" % (version + 1, version, path))
        for ok, first, gap, closed, speed, pieces in rows:
            print("  %s  speed %s  F9->'<>' %6.1f ms  '<>'->message %5.1f ms  F9->port closed %6.1f ms  %s"
                  % ("OK " if ok else "BAD", speed, (first or 0) * 1000, (gap or 0) * 1000,
                     (closed or 0) * 1000, pieces))
        closes = [r[3] * 1000 for r in rows if r[3]]
        if closes:
            print("  F9 to port closed: median %.1f ms, min %.1f ms; least on a real line %.1f ms"
                  " (110 ms of pauses on a pty)" % (statistics.median(closes), min(closes), least))


if __name__ == "__main__":
    main()
