#!/usr/bin/env python3
"""rv58ctl.exe under Wine: the display test reaches a pseudo-terminal mapped to COM7 at the right
speed; with a Linux build at hand, the message printed and the files written are byte-identical
to the Linux build's. Every Wine run goes through scripts/wine-run, which masks the machine's
serial devices."""
import os, select, shutil, subprocess, sys, tempfile, termios

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
wine_run = os.path.join(top, "scripts", "wine-run")
exe, writer = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
linux = sys.argv[3] if len(sys.argv) > 3 else ""
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def wine(args, cwd, ports=()):
    cmd = [wine_run] + [a for p in ports for a in ("--port", p)] + args
    return subprocess.run(cmd, cwd=cwd, capture_output=True, timeout=120)


def display_test(extra, speed, cwd):
    master, slave = os.openpty()
    name = os.ttyname(slave)
    cmd = [wine_run, "--port", "COM7=" + name, exe, "--ini", "rv58led.ini", "test", "--port", "COM7"] + extra
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    data = b""
    got = None
    # The speed is read as the bytes arrive: the port puts the line back as it found it at close.
    while proc.poll() is None:
        if select.select([master], [], [], 0.005)[0]:
            if got is None:
                got = termios.tcgetattr(master)[5]
            data += os.read(master, 256)
    while select.select([master], [], [], 0.2)[0]:
        data += os.read(master, 256)
    os.close(master)
    os.close(slave)
    check(proc.returncode == 0 and data == b"<><,<<>" and got == speed,
          "test %s: exit %s, bytes %r, speed %s" % (" ".join(extra), proc.returncode, data, got))


work = tempfile.mkdtemp(prefix="rv58-wine-", dir=os.getcwd())
try:
    display_test([], termios.B9600, work)
    display_test(["--old"], termios.B2400, work)

    # A settings file with Windows-1250 text under a Hungarian name, CRLF line ends.
    settings = os.path.join(work, "mérleg ő.rv5")
    with open(settings, "wb") as f:
        f.write(b"[RV5]\r\nnev=M\xe9rleg \xf5\r\nleiras=\xe1rv\xedzt\xfbr\xf5\r\nbd=3\r\ntm=13\r\nve=0\r\nht=Hiba\r\nport=COM7\r\n")
    win = wine([exe, "message", os.path.basename(settings)], work)
    check(win.returncode == 0 and b"\r" not in win.stdout and win.stdout.startswith(b"<,"),
          "message: binary standard output %r" % win.stdout)

    # The monitor finds the same file by its UTF-8 name and listens on COM7 for a second.
    master, slave = os.openpty()
    mon = wine([exe, "monitor", "--port", "COM7", "--seconds", "1", os.path.basename(settings)], work,
               ports=["COM7=" + os.ttyname(slave)])
    os.close(master)
    os.close(slave)
    check(mon.returncode == 0, "monitor with a Hungarian file name: exit %s %r" % (mon.returncode, mon.stderr))

    if linux:
        lin = subprocess.run([os.path.join(linux, "cli", "rv58ctl"), "message", settings], capture_output=True)
        check(lin.stdout == win.stdout, "message: the Linux build's bytes")
        for build, cmd in (("win", [wine_run, exe]), ("lin", [os.path.join(linux, "cli", "rv58ctl")])):
            subprocess.run(cmd + ["defaults", "alapérték ő-%s.rv5" % build], cwd=work, check=True, capture_output=True)
        with open(os.path.join(work, "alapérték ő-win.rv5"), "rb") as a, open(os.path.join(work, "alapérték ő-lin.rv5"), "rb") as b:
            check(a.read() == b.read(), "defaults: the same settings file")
        shutil.copy(settings, os.path.join(work, "plain.rv5"))
        seed = b"; kept\n[FormPos]\nrvform=1;2;3;4\n[Ports]\nCOM3=/dev/ttyUSB0\n[RV5]\nbd=9\nextra=x\n"
        for build, cmd in (("win", [wine_run, writer]), ("lin", [os.path.join(linux, "tests", "windows", "rv58_filewriter")])):
            folder = os.path.join(work, "folder-" + build)
            os.mkdir(folder)
            with open(os.path.join(folder, "rv58led.ini"), "wb") as f:
                f.write(seed)
            # The writer's arguments stay ASCII: it takes them in the system's code page.
            r = subprocess.run(cmd + ["plain.rv5", "folder-" + build], cwd=work, capture_output=True)
            check(r.returncode == 0, "file writer (%s) %s" % (build, r.stderr))
        for name in ("saved.rv5", "rv58led.ini"):
            with open(os.path.join(work, "folder-win", name), "rb") as a, \
                 open(os.path.join(work, "folder-lin", name), "rb") as b:
                wa, lb = a.read(), b.read()
            # The folder's own name is in "lastsavedir"; it differs by the build's suffix only.
            check(wa.replace(b"-win", b"-lin") == lb, "%s: the same bytes" % name)
finally:
    shutil.rmtree(work, ignore_errors=True)

sys.exit(1 if failures else 0)
