#!/usr/bin/env python3
"""The real launcher's window under Wine and Xvfb, at 96 DPI unless a test sets another, driven
with xdotool.

window_test.py LAUNCHER_EXE STUB_GAME_EXE SERVER_DIR RENDER_FRAMES RESOURCES_DIR SEND_MESSAGE_EXE
Needs the test servers (ctest fixture) and VELLUMARK_HTTPS_PORT / VELLUMARK_FAULT_PORT."""
import hashlib
import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

LAUNCHER, STUB, SERVERS, RENDER, RESOURCES, SEND_MESSAGE, PROBE = sys.argv[1:8]
HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
HTTPS = "https://localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"]
FAULT = "https://localhost:%s" % os.environ["VELLUMARK_FAULT_PORT"]
BUTTON = (790, 595)   # the middle of the main button, in client pixels
REPAIR = (850, 643)   # on the "REPAIR FILES" link
work = tempfile.mkdtemp(prefix="window-test-")
LOG = os.path.join(os.environ["VELLUMARK_WINEPREFIX"], "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name,
                   "Temp", "vellumark-launcher.log")


def run(*args, **kw):
    return subprocess.run(list(args), stdin=subprocess.DEVNULL, capture_output=True, text=True, **kw)


# Waits end on what they wait for; their limits only have to outlast a loaded 2-core machine
# (a window test once timed out in a full CI run and passed alone).
LONG = 120


def wait_for(condition, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Launcher:
    def __init__(self, *args, env=None):
        self.log = open(os.path.join(work, "launcher-%d.out" % time.monotonic_ns()), "wb")
        # A window of an earlier launcher may take a moment to go: only a new one is this one's.
        self.earlier = set(self.windows())
        # Output goes to files: Wine's services would hold a pipe open.
        self.process = subprocess.Popen([WINE_RUN, LAUNCHER] + list(args), stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=self.log, cwd=work, env=dict(os.environ, **(env or {})))
        self.wid = wait_for(self.find, LONG, "the window")
        self.locate()

    def locate(self):
        info = run("xwininfo", "-id", self.wid).stdout
        field = lambda name: int(info.split(name + ":")[1].split()[0])
        self.x, self.y = field("Absolute upper-left X"), field("Absolute upper-left Y")
        self.size = (field("Width"), field("Height"))

    @staticmethod
    def windows():
        return run("xdotool", "search", "--name", "^Vellumark$").stdout.split()

    def find(self):
        found = [w for w in self.windows() if w not in self.earlier]
        return found[0] if found else None

    def move(self, x, y):
        run("xdotool", "mousemove", "--sync", str(self.x + x), str(self.y + y))

    def click(self, point):
        self.move(*point)
        time.sleep(0.15)  # a timer tick sees the pointer over it
        run("xdotool", "click", "1")
        time.sleep(0.1)
        run("xdotool", "mousemove", "--sync", "0", "0")

    def capture(self, path):
        run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (self.size + (self.x, self.y)), "+repage", path)

    def shows(self, frame):
        """Whether the window shows the native frame (of its name in the rendered frames) pixel for pixel."""
        shot = os.path.join(work, "screen.png")
        self.capture(shot)
        self.difference = run("compare", "-metric", "AE", shot, os.path.join(frames(), "frame-%s.png" % frame),
                              "null:").stderr.strip()
        return self.difference == "0"

    def keys(self, *names):
        run("xdotool", "windowfocus", "--sync", self.wid)
        for name in names:
            run("xdotool", "key", name)
            time.sleep(0.2)  # a timer tick draws what the key did

    def close(self):
        self.keys("alt+F4")

    def wait(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise AssertionError("the launcher did not end within %s s" % timeout)


class LauncherLog:
    """The launcher's log from the moment this is made: sessions that end write to it."""

    def __init__(self):
        self.start = os.path.getsize(LOG) if os.path.exists(LOG) else 0

    def lines(self, text):
        if not os.path.exists(LOG):
            return 0
        with open(LOG, errors="replace") as f:
            f.seek(self.start)
            return sum(text in line for line in f)


def modified(path):
    return os.stat(path).st_mtime_ns if os.path.exists(path) else 0


def count(log, text):
    with open(os.path.join(SERVERS, log), errors="replace") as f:
        return sum(text in line for line in f)


def publish(name, files, base=None, chunk=65536, threshold=100000):
    root = os.path.join(SERVERS, "www", name)
    entries = []
    for path in sorted(files, key=lambda p: p.encode()):
        data = files[path]
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
        entry = {"path": path, "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
        if len(data) >= threshold:
            entry["chunks"] = [hashlib.sha256(data[o:o + chunk]).hexdigest() for o in range(0, len(data), chunk)]
        entries.append(entry)
    manifest = {"version": name, "baseUrl": base or "%s/%s/" % (HTTPS, name), "exe": "Vellumark Online.exe",
                "chunkSize": chunk, "files": entries}
    with open(os.path.join(SERVERS, "www", name + ".json"), "w") as f:
        json.dump(manifest, f)
    return "%s/%s.json" % (HTTPS, name)


def frames():
    """The native frames, rendered once."""
    expected = os.path.join(work, "frames")
    if not os.path.isdir(expected):
        os.makedirs(expected)
        subprocess.run([RENDER, RESOURCES, expected], check=True)
    return expected


def prefix_settings(values):
    """Sets registry values of the prefix, {key: {name: value}}, a value of None deleting it;
    what Windows programs started afterwards read."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, named in values.items():
        lines.append("[%s]" % key)
        for name, value in named.items():
            lines.append('"%s"=%s' % (name, "-" if value is None else
                                      "dword:%08x" % value if isinstance(value, int) else '"%s"' % value))
        lines.append("")
    path = os.path.join(work, "settings.reg")
    with open(path, "w") as f:
        f.write("\r\n".join(lines))
    # Never a pipe: Wine's services, started by the first program, would hold it open.
    assert subprocess.run([WINE_RUN, "regedit", "/S", windows_path(path)], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def test_failed_screen_is_pixel_exact_and_retry_starts_a_session():
    game = os.path.join(work, "failed")
    url = HTTPS + "/window/missing.json"
    launcher = Launcher("-manifest", url, "-dir", windows_path(game))
    assert launcher.size == (960, 660), "client area %s at 96 DPI" % (launcher.size,)
    run("xdotool", "mousemove", "--sync", "0", "0")
    wait_for(lambda: count("access.log", "GET /window/missing.json") >= 1, LONG, "the manifest request")
    shot, expected = os.path.join(work, "screen.png"), frames()

    def differing_pixels():
        launcher.capture(shot)
        return run("compare", "-metric", "AE", shot, os.path.join(expected, "frame-failed-unreachable.png"),
                   "null:").stderr.strip()
    # The Failed screen has no animation: once it shows, every pixel stays the native frame's.
    try:
        wait_for(lambda: differing_pixels() == "0", LONG, "the Failed screen")
    except AssertionError:
        raise AssertionError("pixels differ from the native frame: " + differing_pixels())

    before = count("access.log", "GET /window/missing.json")
    launcher.click(BUTTON)
    wait_for(lambda: count("access.log", "GET /window/missing.json") == before + 1, LONG, "RETRY's new session")
    # Tab rings RETRY, drawn as the native frame draws it, and Space presses it.
    wait_for(lambda: differing_pixels() == "0", LONG, "the Failed screen again")
    launcher.keys("Tab")
    ringed = lambda: run("compare", "-metric", "AE", shot, os.path.join(expected, "frame-failed-unreachable-focus.png"),
                         "null:").stderr.strip()
    try:
        wait_for(lambda: launcher.capture(shot) or ringed() == "0", LONG, "the focus ring")
    except AssertionError:
        raise AssertionError("pixels differ from the native frame with the ring: " + ringed())
    launcher.keys("space")
    wait_for(lambda: count("access.log", "GET /window/missing.json") == before + 2, LONG, "Space's new session")
    launcher.close()
    assert launcher.wait(LONG) == 0


FONTS = r"HKEY_CURRENT_CONFIG\Software\Fonts"
WM_DPICHANGED = "736"


def test_each_dpi_gets_a_frame_drawn_at_its_scale():
    url = HTTPS + "/window/dpi.json"
    prefix_settings({FONTS: {"LogPixels": 144}})
    try:
        launcher = Launcher("-manifest", url, "-dir", windows_path(os.path.join(work, "dpi")))
        assert launcher.size == (1440, 990), "client area %s at 144 DPI" % (launcher.size,)
        run("xdotool", "mousemove", "--sync", "0", "0")
        wait_for(lambda: launcher.shows("failed-unreachable@3"), LONG, "the native frame of 144 DPI")
        # Moved to a monitor of 192 DPI: the suggested size, and the frame drawn for it.
        assert run(WINE_RUN, SEND_MESSAGE, "VellumarkLauncher", WM_DPICHANGED, "192", "144").returncode == 0
    finally:
        prefix_settings({FONTS: {"LogPixels": None}})
    try:
        wait_for(lambda: launcher.locate() or launcher.size == (1920, 1320), LONG, "the size at 192 DPI")
    except AssertionError:
        raise AssertionError("client area %s after the change to 192 DPI" % (launcher.size,))
    wait_for(lambda: launcher.shows("failed-unreachable@4"), LONG, "the native frame of 192 DPI")
    before = count("access.log", "GET /window/dpi.json")
    launcher.click((BUTTON[0] * 2, BUTTON[1] * 2))
    wait_for(lambda: count("access.log", "GET /window/dpi.json") == before + 1, LONG, "RETRY clicked at 192 DPI")
    launcher.close()
    assert launcher.wait(LONG) == 0


COLORS = r"HKEY_CURRENT_USER\Control Panel\Colors"
HIGH_CONTRAST_BLACK = {"Window": "0 0 0", "WindowText": "255 255 255", "Hilight": "26 235 255", "HilightText": "0 0 0",
                       "ButtonFace": "0 0 0", "ButtonText": "255 255 255", "GrayText": "63 242 63",
                       "HotTrackingColor": "255 255 0"}


def test_high_contrast_draws_in_the_system_colours():
    # This Wine never reports high contrast on: the launcher's own switch stands in for it.
    prefix_settings({COLORS: HIGH_CONTRAST_BLACK})
    try:
        launcher = Launcher("-manifest", HTTPS + "/window/contrast.json", "-dir", windows_path(os.path.join(work, "hc")),
                            env={"VELLUMARK_HIGH_CONTRAST": "1"})
        wait_for(lambda: accessible().get(4, (0, 0, ""))[2] == "RETRY", LONG, "RETRY on screen")
        # A loaded CI run once lost the key (the frame came without the focus): with RETRY the only
        # control, Tab again keeps the focus where the first one put it.
        wait_for(lambda: launcher.keys("Tab") or accessible()[4][1] & FOCUSED, LONG, "RETRY reached with Tab")
        try:
            wait_for(lambda: launcher.shows("failed-unreachable-contrast"), LONG, "the frame in the system's colours")
        except AssertionError:
            raise AssertionError("pixels differ from the frame in the system's colours: " + launcher.difference)
        launcher.close()
        assert launcher.wait(LONG) == 0
    finally:
        prefix_settings({COLORS: {name: None for name in HIGH_CONTRAST_BLACK}})


def test_a_press_taken_away_clicks_nothing():
    url = HTTPS + "/window/taken.json"
    log = LauncherLog()
    launcher = Launcher("-manifest", url, "-dir", windows_path(os.path.join(work, "taken")))
    wait_for(lambda: log.lines("manifest failed: ") >= 1, LONG, "Failed: the button reads RETRY")
    launcher.move(*BUTTON)
    run("xdotool", "mousedown", "1")
    time.sleep(0.2)
    # Another window takes the mouse away, as a dialog or a screen capture tool does.
    assert run(WINE_RUN, SEND_MESSAGE, "VellumarkLauncher", "533").returncode == 0  # WM_CAPTURECHANGED
    run("xdotool", "mouseup", "1")
    run("xdotool", "mousemove", "--sync", "0", "0")
    time.sleep(1.5)
    assert count("access.log", "GET /window/taken.json") == 1, "the press still clicked RETRY"
    launcher.close()
    assert launcher.wait(LONG) == 0


def test_disabled_button_does_nothing():
    game = os.path.join(work, "disabled")
    log = LauncherLog()
    launcher = Launcher("-manifest", FAULT + "/slow/window.json", "-dir", windows_path(game))
    launcher.click(BUTTON)  # the session is still contacting the server: the button is disabled
    # The slow answer comes after 2 s and is no manifest: Failed.
    wait_for(lambda: log.lines("manifest failed: ") >= 1, LONG, "the Failed phase")
    assert count("fault.log", "GET /slow/window.json") == 1, "the press started a session"
    launcher.close()
    assert launcher.wait(LONG) == 0


def damaged_install(name, files=None):
    """A build of the stub game and a readme installed headless, the readme then damaged behind
    an unchanged size and time (only a repair finds it): its URL, game folder and readme."""
    with open(STUB, "rb") as f:
        stub = f.read()
    url = publish(name, dict(files or {}, **{"Vellumark Online.exe": stub, "readme.txt": b"read me\n"}))
    game = os.path.join(work, name)
    with open(os.path.join(work, name + ".out"), "wb") as log:
        assert subprocess.run([WINE_RUN, LAUNCHER, "-headless", "-nolaunch", "-manifest", url, "-dir",
                               windows_path(game)], stdin=subprocess.DEVNULL, stdout=log, stderr=log).returncode == 0
    readme = os.path.join(game, "readme.txt")
    stat = os.stat(readme)
    with open(readme, "r+b") as f:
        f.write(b"R")
    os.utime(readme, ns=(stat.st_atime_ns, stat.st_mtime_ns))
    return url, game, readme


def test_repair_and_play():
    url, game, readme = damaged_install("window-play", {"data/level.pak": bytes(range(256)) * 600})

    before = count("access.log", "GET /window-play/readme.txt")
    state = os.path.join(game, ".launcher-state.json")
    installed = modified(state)
    launcher = Launcher("-manifest", url, "-dir", windows_path(game))
    # The link shows from Ready on: it is clicked until the repair fetches the file.
    fetched = lambda: count("access.log", "GET /window-play/readme.txt") > before
    deadline = time.time() + LONG
    while not fetched():
        assert time.time() < deadline, "timed out waiting for the repair"
        launcher.click(REPAIR)
        try:
            wait_for(fetched, 3, "the repair")
        except AssertionError:
            pass
    wait_for(lambda: open(readme, "rb").read() == b"read me\n", LONG, "the repaired file")
    # An unchanged install keeps its state file; the repair records the file it wrote.
    wait_for(lambda: modified(state) != installed, LONG, "Ready after the repair")
    assert count("access.log", "GET /window-play/readme.txt") == before + 1, "a normal check trusts the state file"

    launcher.click(BUTTON)
    assert launcher.wait(LONG) == 0
    record = wait_for(lambda: os.path.exists(os.path.join(game, "stub-record.txt")), LONG, "the game")
    assert record


# Roles and states of Active Accessibility.
CLIENT, STATIC, BAR, BUTTON_ROLE, LINK = 0xA, 0x29, 0x30, 0x2B, 0x1E
UNAVAILABLE, FOCUSED, INVISIBLE = 0x1, 0x4, 0x8000


def accessible(*action):
    """The window's children as a screen reader reads them from another process:
    {id: (role, state, name, value)}; with an action, its exit code."""
    out = os.path.join(work, "probe.out")
    with open(out, "wb") as f:
        code = subprocess.run([WINE_RUN, PROBE] + list(action), stdin=subprocess.DEVNULL, stdout=f, stderr=f).returncode
    if action:
        return code
    children = {}
    for line in open(out, encoding="utf-8", errors="replace").read().splitlines():
        number, role, state, text = line.split(" ", 3)
        name, _, value = text.partition("|")
        children[int(number)] = (int(role, 16), int(state, 16), name, value)
    return children


def test_screen_readers_read_and_press_what_the_window_shows():
    url, game, readme = damaged_install("window-a11y")
    launcher = Launcher("-manifest", url, "-dir", windows_path(game))
    # The probe reads one child after another: a snapshot taken as the check ends may show the
    # checking headline beside an available PLAY. Once Ready, every snapshot is whole.
    ready = lambda: (lambda c: c if c.get(4, (0, UNAVAILABLE))[1] & UNAVAILABLE == 0
                     and c.get(1, (0, 0, ""))[2] == "Ready to play!" else None)(accessible())
    children = wait_for(ready, LONG, "PLAY available to a screen reader")
    assert children[0][0] == CLIENT and children[1][:1] == (STATIC,) and children[2][:1] == (STATIC,), children
    assert children[1][2] == "Ready to play!", children
    assert children[3][1] & INVISIBLE, "a progress bar while nothing downloads: %s" % (children,)
    assert children[4][0] == BUTTON_ROLE and children[4][2] == "PLAY", children
    assert children[5][0] == LINK and children[5][1] & INVISIBLE == 0 and children[5][2] == "REPAIR FILES", children

    # The link's default action repairs, the button's starts the game, as clicks do.
    before = count("access.log", "GET /window-a11y/readme.txt")
    assert accessible("repair") == 0
    wait_for(lambda: open(readme, "rb").read() == b"read me\n", LONG, "the repair")
    assert count("access.log", "GET /window-a11y/readme.txt") == before + 1
    wait_for(ready, LONG, "PLAY again after the repair")
    assert accessible("press") == 0
    assert launcher.wait(LONG) == 0
    wait_for(lambda: os.path.exists(os.path.join(game, "stub-record.txt")), LONG, "the game")


def test_the_keyboard_alone_repairs_and_plays():
    url, game, readme = damaged_install("window-keys")
    launcher = Launcher("-manifest", url, "-dir", windows_path(game))
    shown = lambda: (lambda c: c if c.get(5, (0, INVISIBLE))[1] & INVISIBLE == 0 else None)(accessible())
    wait_for(shown, LONG, "Ready with the link")
    launcher.keys("Tab", "Tab")  # the button, then the link
    assert accessible()[5][1] & FOCUSED, "the link has the focus, also for a screen reader"
    launcher.keys("space")
    wait_for(lambda: open(readme, "rb").read() == b"read me\n", LONG, "the repair")
    wait_for(shown, LONG, "Ready after the repair")
    launcher.keys("Return")  # the link went with the repair: nothing has the focus, Enter plays
    assert launcher.wait(LONG) == 0
    wait_for(lambda: os.path.exists(os.path.join(game, "stub-record.txt")), LONG, "the game")


def test_closing_during_a_download_keeps_what_landed():
    # At a chunk a second a connection, the window closes with about half the pack in place and
    # part of the audio bank, a whole file, in its part file.
    chunk, chunks = 65536, 24
    files = {"data.pak": os.urandom(chunks * chunk), "audio.bank": os.urandom(400000), "Vellumark Online.exe": b"g"}
    url = publish("window-slow", files, "%s/rate/65536/window-slow/" % HTTPS, chunk, 500000)
    game, log = os.path.join(work, "slow"), os.path.join(SERVERS, "access.log")

    def answered(mark, path, what=" 206 "):
        with open(log, "rb") as f:
            f.seek(mark)
            return [l for l in f.read().decode().splitlines() if l.startswith("GET /rate/65536/window-slow/" + path)
                    and what in l and l.endswith("=OK")]

    mark = os.path.getsize(log)
    launcher = Launcher("-manifest", url, "-dir", windows_path(game))
    def chunks_in(lines):  # adjacent chunks may share a request
        spans = [line.split('range="bytes=')[1].split('"')[0].split("-") for line in lines]
        return sum((int(last) - int(first) + chunk) // chunk for first, last in spans)

    landed = wait_for(lambda: (lambda n: n >= chunks // 2 - 2 and n)(chunks_in(answered(mark, "data.pak"))), LONG,
                      "chunks")
    # A screen reader hears the bar as it goes: its value the percentage shown, its name the
    # headline.
    children = accessible()
    assert children[3][0] == BAR and children[3][1] & INVISIBLE == 0, children
    assert re.fullmatch(r"[0-9]+%", children[3][3]) and children[3][2] == children[1][2], children
    closed = time.time()
    launcher.close()
    assert launcher.wait(20) == 0
    assert time.time() - closed < 8 + 2  # the wait is 8 s at most, Wine's start-up aside
    held = os.path.getsize(os.path.join(game, "audio.bank.part"))

    mark = os.path.getsize(log)
    with open(os.path.join(work, "resume.out"), "wb") as out:
        assert subprocess.run([WINE_RUN, LAUNCHER, "-headless", "-nolaunch", "-manifest", url, "-dir",
                               windows_path(game)], stdin=subprocess.DEVNULL, stdout=out, stderr=out).returncode == 0
    fetched = chunks_in(answered(mark, "data.pak"))
    # What landed stays; only a chunk in flight on each of the six workers may come again.
    assert fetched <= chunks - landed + 6, "%d landed, %d fetched again" % (landed, fetched)
    assert len(answered(mark, "audio.bank", ' 206 range="bytes=%d-"' % held)) == 1 and held > 0
    for path, data in files.items():
        assert open(os.path.join(game, path), "rb").read() == data, path


def main():
    display = next(n for n in range(90, 200) if not os.path.exists("/tmp/.X11-unix/X%d" % n))
    xvfb = subprocess.Popen(["Xvfb", ":%d" % display, "-nolisten", "tcp", "-screen", "0", "2560x1600x24"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":%d" % display
    failed = 0
    tests = []
    try:
        wait_for(lambda: run("xdpyinfo").returncode == 0, LONG, "Xvfb")
        # A desktop that an earlier program without a display started (the fixture's certificate
        # helper, say) would have no windows made on it: a server of its own makes a new one.
        prefix = dict(os.environ, WINEPREFIX=os.environ["VELLUMARK_WINEPREFIX"])
        for args in (["-k"], ["-w"], ["-p"]):
            subprocess.run(["wineserver"] + args, env=prefix, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)  # never a pipe: the server outlives the call
        tests = [test_failed_screen_is_pixel_exact_and_retry_starts_a_session,
                 test_each_dpi_gets_a_frame_drawn_at_its_scale, test_high_contrast_draws_in_the_system_colours,
                 test_a_press_taken_away_clicks_nothing,
                 test_disabled_button_does_nothing,
                 test_repair_and_play, test_screen_readers_read_and_press_what_the_window_shows,
                 test_the_keyboard_alone_repairs_and_plays,
                 test_closing_during_a_download_keeps_what_landed]
        # WINDOW_TEST=PATTERN runs only the tests whose names match it.
        tests = [t for t in tests if re.search(os.environ.get("WINDOW_TEST", ""), t.__name__)]
        for test in tests:
            try:
                test()
                print("PASS", test.__name__, flush=True)
            except Exception:
                failed += 1
                print("FAIL", test.__name__, flush=True)
                traceback.print_exc()
            for wid in run("xdotool", "search", "--name", "^Vellumark$").stdout.split():
                run("xdotool", "windowkill", wid)
    finally:
        xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
