#!/usr/bin/env python3
"""The packaged window under Wine on an X server (Xvfb), driven like a user with xdotool.

  wine_window_test.py window PACKAGE [LINUX_BUILD]
      A settings file with a Hungarian name, given on the command line, is uploaded with F9 to a
      pseudo-terminal mapped to COM7: the bytes are the Linux build's ("<>" and its message), at
      9600 baud, and at 2400 for the first display version. The preferences file lands beside the
      program. Saved through the save dialog into a folder with a Hungarian name, the settings
      file is byte-identical to the Linux build's.
  wine_window_test.py installer SETUP
      The installer installs silently into the user's program folder, the installed program
      starts, the ".rv5" association is in Wine's registry, and the uninstaller removes the files
      and the keys.

Every Wine run goes through scripts/wine-run (the machine's serial devices masked), keeping
DISPLAY. Without a DISPLAY the test is skipped (exit code 77)."""
import glob, os, select, shutil, subprocess, sys, tempfile, termios, time

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
wine_run = os.path.join(top, "scripts", "wine-run")
failures = []
SKIP = 77


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def xdotool(*args, timeout=30):
    r = subprocess.run(["xdotool"] + list(args), capture_output=True, text=True, timeout=timeout)
    return r.stdout.split()


def wait_window(name, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = xdotool("search", "--onlyvisible", "--name", name)
        if found:
            return found[0]
        time.sleep(0.5)
    return None


def visible_windows():
    return set(xdotool("search", "--onlyvisible", "--classname", ".*"))


def wait_new_window(before, seconds=20):
    """Wine's own dialogs have no name on a screen without a window manager: a new window is one."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        new = visible_windows() - before
        if new:
            return new.pop()
        time.sleep(0.5)
    return None


def start(exe, args, cwd, ports=()):
    cmd = [wine_run, "--display"] + [a for p in ports for a in ("--port", p)] + [exe] + list(args)
    return subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine(args, cwd=None):
    return subprocess.run([wine_run] + list(args), cwd=cwd, capture_output=True, timeout=180)


def close(proc, window):
    """Closes the window as its close button does (WM_CLOSE), so that it stores its position."""
    if window:
        wine(["taskkill", "/im", "rv58led.exe"])
    try:
        proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        check(False, "the window did not close")


def read_quiet(master, quiet=1.5, limit=30):
    """The bytes until the line is quiet, and the line speed as they arrive (the port puts the line
    back as it found it when it closes)."""
    data, speed, deadline = b"", None, time.time() + limit
    while time.time() < deadline:
        if not select.select([master], [], [], quiet)[0]:
            if data:
                break
            continue
        data += os.read(master, 4096)
        if speed is None:
            speed = termios.tcgetattr(master)[5]
    return data, speed


def press(window, *keys):
    """Focuses the window with a click on the tree's empty lower part, then types the keys."""
    xdotool("mousemove", "--sync", str(20 + 5 + 100), str(20 + 5 + 49 + 500))
    xdotool("click", "1")
    time.sleep(0.5)
    xdotool("key", *keys)


def upload(app, settings, version_old, linux):
    with open(settings, "rb") as f:
        content = f.read().replace(b"ve=1", b"ve=0") if version_old else f.read()
    name = os.path.join(os.path.dirname(settings), ("régi " if version_old else "") + os.path.basename(settings))
    with open(name, "wb") as f:
        f.write(content)
    # What the window must send: rv58ctl's message for the same file, the Linux build's when at hand.
    r = wine([os.path.join(app, "rv58ctl.exe"), "message", os.path.basename(name)], cwd=os.path.dirname(name))
    expected = r.stdout.rstrip(b"\n")  # rv58ctl ends the message's line for the terminal
    linux_message = None
    if linux:
        linux_message = subprocess.run([os.path.join(linux, "cli", "rv58ctl"), "message", name],
                                       capture_output=True, check=True).stdout.rstrip(b"\n")
    master, slave = os.openpty()
    proc = start(os.path.join(app, "rv58led.exe"), [os.path.basename(name)], os.path.dirname(name),
                 ports=["COM7=" + os.ttyname(slave)])
    window = wait_window("^RV58Set$")
    label = "2400 baud" if version_old else "9600 baud"
    if check(window is not None, "%s: the window appears" % label):
        time.sleep(2)
        press(window, "F9")
        data, speed = read_quiet(master)
        check(expected.startswith(b"<,") and data == b"<>" + expected,
              "%s: F9 sends %r, rv58ctl's message is %r" % (label, data, expected))
        if linux_message is not None:
            check(data == b"<>" + linux_message, "%s: the Linux build's bytes" % label)
        check(speed == (termios.B2400 if version_old else termios.B9600), "%s: line speed %s" % (label, speed))
    close(proc, window)
    os.close(master)
    os.close(slave)
    return window


def test_window(package, linux):
    work = tempfile.mkdtemp(prefix="rv58-wine-window-", dir=os.getcwd())
    try:
        app = os.path.join(work, "alkalmazás ő")
        shutil.copytree(package, app)
        # The window stays on the virtual screen; the rest of the preferences comes from the upload.
        with open(os.path.join(app, "rv58led.ini"), "wb") as f:
            f.write(b"[FormPos]\r\nrvform=981;605;20;20\r\n")
        settings = os.path.join(work, "mérleg ő.rv5")
        with open(settings, "wb") as f:
            f.write(b"[RV5]\r\nnev=M\xe9rleg \xf5\r\ncomment=\xe1rv\xedzt\xfbr\xf5\r\nbd=3\r\npr=3\r\ntm=13\r\n"
                    b"kr=13\r\nve=1\r\nht=HIBA\r\nport=COM7\r\n")
        if not upload(app, settings, False, linux):
            return
        upload(app, settings, True, linux)

        # The preferences file beside the program holds the last upload's settings and the position.
        with open(os.path.join(app, "rv58led.ini"), "rb") as f:
            prefs = f.read()
        check(b"[RV5]\r\n" in prefs and b"nev=M\xe9rleg \xf5\r\n" in prefs and b"ve=0\r\n" in prefs,
              "rv58led.ini beside the program holds the last upload %r" % prefs)
        check(b"[FormPos]\r\nrvform=" in prefs, "rv58led.ini keeps the window position")

        # Save through the dialog: Wine's own file dialog, a name typed into it.
        folder = os.path.join(work, "mentések ő")
        os.mkdir(folder)
        with open(os.path.join(app, "rv58led.ini"), "ab") as f:
            f.write(b"[Opt]\r\nlastsavedir=Z:" + folder.replace("/", "\\").encode("utf-8") + b"\\\r\n")
        proc = start(os.path.join(app, "rv58led.exe"), [os.path.basename(settings)], work)
        window = wait_window("^RV58Set$")
        if check(window is not None, "save: the window appears"):
            time.sleep(2)
            # "Mentés" on the first page: left 20 + frame 5 + tree 265 + page 16 + second button.
            before = visible_windows()
            xdotool("mousemove", "--sync", str(20 + 5 + 265 + 16 + 64 + 32), str(20 + 5 + 49 + 336 + 27))
            xdotool("click", "1")
            dialog = wait_new_window(before)
            if check(dialog is not None, "save: the save dialog opens"):
                time.sleep(1)  # the name field has the focus
                xdotool("type", "--delay", "50", "mentett")
                xdotool("key", "Return")
                saved = os.path.join(folder, "mentett.rv5")
                deadline = time.time() + 20
                while not os.path.exists(saved) and time.time() < deadline:
                    time.sleep(0.5)
                time.sleep(1)
                if check(os.path.exists(saved), "save: %s written" % saved) and linux:
                    shutil.copy(settings, os.path.join(work, "plain.rv5"))
                    os.mkdir(os.path.join(work, "lin"))
                    subprocess.run([os.path.join(linux, "tests", "windows", "rv58_filewriter"), "plain.rv5", "lin"],
                                   cwd=work, check=True, capture_output=True)
                    with open(saved, "rb") as a, open(os.path.join(work, "lin", "saved.rv5"), "rb") as b:
                        check(a.read() == b.read(), "save: the Linux build's bytes")
        close(proc, window)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def reg_default(key):
    r = wine(["reg", "query", key, "/ve"])
    if r.returncode != 0:
        return None
    for line in r.stdout.decode("utf-8", "replace").splitlines():
        if "REG_SZ" in line:
            return line.split("REG_SZ", 1)[1].strip()
    return ""


def test_installer(setup):
    prefix = os.environ.get("RV58_WINEPREFIX", os.path.join(top, "build-windows", "wineprefix"))
    r = wine([setup, "/S"])
    check(r.returncode == 0, "installer /S: exit %s" % r.returncode)
    installed = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local", "Programs", "RV58LED"))
    if not check(len(installed) == 1, "installed into the user's program folder: %s" % installed):
        return
    folder = installed[0]
    for name in ("rv58led.exe", "rv58ctl.exe", "Qt6Widgets.dll", "platforms/qwindows.dll",
                 "styles/qwindowsvistastyle.dll", "translations/qtbase_hu.qm", "qt.conf", "uninstall.exe"):
        check(os.path.isfile(os.path.join(folder, name)), "installed: %s" % name)
    menu = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                  "Start Menu", "Programs", "RV58LED.lnk"))
    check(len(menu) == 1, "Start menu entry")

    exe = "C:\\users\\%s\\AppData\\Local\\Programs\\RV58LED\\rv58led.exe" % folder.split(os.sep)[-5]
    expected = {
        "HKCU\\Software\\Classes\\.rv5": "RV58File",
        "HKCU\\Software\\Classes\\RV58File": "RV58 Settings file",
        "HKCU\\Software\\Classes\\RV58File\\DefaultIcon": exe,
        "HKCU\\Software\\Classes\\RV58File\\shell\\open\\command": '"%s" "%%1"' % exe,
    }
    for key, value in expected.items():
        got = reg_default(key)
        check(got is not None and got.lower() == value.lower(), "registry %s = %r" % (key, got))

    proc = start(os.path.join(folder, "rv58led.exe"), [], folder)
    window = wait_window("^RV58Set$")
    check(window is not None, "the installed program starts")
    close(proc, window)
    check(os.path.isfile(os.path.join(folder, "rv58led.ini")), "its preferences file beside it")

    r = wine([os.path.join(folder, "uninstall.exe"), "/S"])
    # The uninstaller goes on from a copy of itself; wait until it is done.
    deadline = time.time() + 60
    while os.path.exists(folder) and time.time() < deadline:
        time.sleep(0.5)
    check(not os.path.exists(folder), "the uninstaller removes the program folder")
    menu = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                  "Start Menu", "Programs", "RV58LED.lnk"))
    check(not menu, "the uninstaller removes the Start menu entry")
    for key in list(expected) + ["HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RV58LED"]:
        check(reg_default(key) is None, "registry %s removed" % key)


if not os.environ.get("DISPLAY") or not os.path.exists(sys.argv[2]):
    print("no DISPLAY or no package (scripts/build-windows makes it): skipped")
    sys.exit(SKIP)
if sys.argv[1] == "window":
    test_window(os.path.abspath(sys.argv[2]), sys.argv[3] if len(sys.argv) > 3 else "")
else:
    test_installer(os.path.abspath(sys.argv[2]))
sys.exit(1 if failures else 0)
