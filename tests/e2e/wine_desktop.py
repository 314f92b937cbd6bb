"""What the end-to-end tests and the demo share: the real ZEZIZER.exe under Wine, its registry,
the X screen that shows the Wine desktop, real clicks and key presses through xdotool, the
companions lumowatch and lumosend started from outside, the ids and dialog layout read from the
source, and ControllerTest, the base of the suites, with their setUpModule and tearDownModule.

Needs DISPLAY and WINEPREFIX of a prepared test run and ZEZIZER_BUILD_DIR, the build folder.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.path.abspath(os.environ["ZEZIZER_BUILD_DIR"])
CONTROLLER = os.path.join(BUILD, "ZEZIZER.exe")
PROBE = os.path.join(BUILD, "tests", "lumo_probe.exe")
LUMOWATCH = os.path.join(BUILD, "lumowatch.exe")
LUMOSEND = os.path.join(BUILD, "lumosend.exe")
LUMOAUTO = os.path.join(BUILD, "lumoauto.exe")
# Copies of the probe under the names of games: what lumoauto's rules list.
GAMES = os.path.join(BUILD, "tests", "games")

WINE_TIMEOUT = 60
CONTROLLER_KEY = r"HKCU\Software\Corvane\Lumo Controller"
SETTINGS_KEY = CONTROLLER_KEY + r"\Settings"
RULES_KEY = CONTROLLER_KEY + r"\Programs"
LUMOAUTO_CLASS, LUMOAUTO_TITLE = "LUMOAUTOCLASS1", "Vorn Controller Programs"

DESKTOP_WIDTH, DESKTOP_HEIGHT = 1024, 768
# The first tray icon of the Wine desktop's taskbar: 16x16, centred 11 px from the right edge and
# 11 px from the bottom.
TRAY_ICON = (DESKTOP_WIDTH - 11, DESKTOP_HEIGHT - 11)
ICON_SIZE = 16
AWAY = (DESKTOP_WIDTH // 3, DESKTOP_HEIGHT // 3)

MOD_CONTROL = 2
VK_F10, VK_F11 = 0x79, 0x7A

# The ink of the test picture's two letters: the left eye's blue "L" and the right eye's red "R".
LEFT_INK, RIGHT_INK = (28, 72, 168), (176, 36, 36)

# The source tree, from which the ids, the codes and the dialogs' layout are read: a changed one
# cannot leave the tests behind.
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
# The display codes, one letter a row from the top: R red, G green, Y yellow, K black; the tests'
# own table of them, which the in-process tests read too.
with open(os.path.join(SOURCE, "tests", "support", "code_table.h"), encoding="utf-8") as _table:
    CODES = {int(command): rows
             for command, rows in re.findall(r'\{(\d+), "([RGYK]+)"\}', _table.read())}
COLOURS = {"R": (255, 0, 0), "G": (0, 255, 0), "Y": (255, 255, 0), "K": (0, 0, 0)}



def source_ids(header, *names):
    """The numbers a header of the source gives the names (`#define NAME NUMBER`, or `NAME =
    NUMBER` in an enum); one name's number alone."""
    with open(os.path.join(SOURCE, header), encoding="utf-8") as text:
        found = dict(re.findall(r"^\s*(?:#define\s+)?(\w+)(?:\s+|\s*=\s*)(-?\d+),?\s*$",
                                text.read(), re.M))
    missing = [name for name in names if name not in found]
    if missing:
        raise LookupError(f"{header} defines no {', '.join(missing)}")
    return int(found[names[0]]) if len(names) == 1 else [int(found[name]) for name in names]


MENU_EXIT = source_ids("src/app/menu_ids.h", "MenuExit")
LUMOAUTO_EXIT, LUMOAUTO_STATUS, LUMOAUTO_PROBLEMS = source_ids(
    "src/companions/lumoauto/resource.h", "IDC_EXIT", "IDC_STATUS", "IDC_PROBLEMS")


def run(*command, timeout=WINE_TIMEOUT, check=True, cwd=None):
    """Runs a command to its end. Its output goes through a file: a Wine process may start
    Wine's desktop process, which would inherit a pipe and keep it open long after."""
    with tempfile.TemporaryFile("w+") as output:
        result = subprocess.run(["timeout", str(timeout), *command], stdin=subprocess.DEVNULL,
                                stdout=output, stderr=subprocess.DEVNULL, text=True, cwd=cwd)
        output.seek(0)
        result.stdout = output.read()
    if check and result.returncode != 0:
        raise subprocess.CalledProcessError(result.returncode, command, result.stdout)
    return result


def wait_until(condition, timeout, interval=0.05):
    """True as soon as the condition holds, False when it still does not after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)


class TimedResult(unittest.TextTestResult):
    """unittest's result with each case's time, as ctest gives each program's."""

    def __init__(self, *arguments, **keywords):
        super().__init__(*arguments, **keywords)
        self.times = []

    def startTest(self, test):
        self.started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        self.times.append((time.monotonic() - self.started, test.id().split(".", 1)[-1]))


def run_suite(argv):
    """unittest's main (-k PATTERN, or ZEZIZER_TEST_CASES=PATTERN through ctest, runs the matching
    cases); the slowest cases are listed at the end. Exits with the result."""
    if os.environ.get("ZEZIZER_TEST_CASES"):
        argv = [*argv, "-k", os.environ["ZEZIZER_TEST_CASES"]]
    runner = unittest.TextTestRunner(resultclass=TimedResult, verbosity=2)
    result = unittest.main(argv=argv, testRunner=runner, exit=False).result
    print("slowest cases:", file=sys.stderr)
    for seconds, name in sorted(result.times, reverse=True)[:10]:
        print(f"  {seconds:6.1f} s  {name}", file=sys.stderr)
    sys.exit(not result.wasSuccessful())


# --- the registry of the prefix -------------------------------------------------------------

def stored(key, view=None):
    """The values of a key as a dict: numbers for REG_DWORD, text for REG_SZ. view 32 or 64 reads
    that view of a 64-bit prefix's registry."""
    result = run("wine", "reg", "query", key, *([f"/reg:{view}"] if view else []), check=False)
    values = {}
    for line in result.stdout.splitlines():
        match = re.match(r"\s{4}(.+?)\s{4}(REG_\w+)\s{4}(.*)$", line)
        if match:
            name, kind, data = match.groups()
            values[name] = int(data, 16) if kind == "REG_DWORD" else data
    return values


def store_number(key, name, value):
    run("wine", "reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")


def store_text(key, name, text):
    run("wine", "reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", text, "/f")


def store_values(values):
    """Several values in one run of reg import, where each store_number or store_text is a Wine
    process of its own: {(key, name): value}, a number as REG_DWORD, a text as REG_SZ."""
    lines = ["REGEDIT4", ""]
    for key in dict.fromkeys(key for key, _ in values):
        lines.append("[" + key.replace("HKCU\\", "HKEY_CURRENT_USER\\", 1) + "]")
        for (in_key, name), value in values.items():
            if in_key != key:
                continue
            if isinstance(value, int):
                data = f"dword:{value:08x}"
            else:
                data = '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
            lines.append(f'"{name}"={data}')
        lines.append("")
    name = f"zezizer-values-{os.getpid()}.reg"
    path = os.path.join(os.environ["WINEPREFIX"], "drive_c", name)
    with open(path, "w", newline="\r\n") as file:
        file.write("\n".join(lines) + "\n")
    try:
        run("wine", "reg", "import", "C:\\" + name)
    finally:
        os.remove(path)


def delete_settings():
    run("wine", "reg", "delete", r"HKCU\Software\Corvane", "/f", check=False)


# --- the X screen that shows the Wine desktop ------------------------------------------------

def window_geometry(window_id):
    """Place, size and whether it is shown; a window that went after it was found is not."""
    found = run("xwininfo", "-id", str(window_id), check=False)
    if found.returncode != 0:
        return 0, 0, 0, 0, False
    info = found.stdout
    field = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
            field("Height"), "IsViewable" in info)


def desktop_origin():
    """The X window of the Wine desktop and its place on the X screen, once it is shown."""
    found = run("xdotool", "search", "--onlyvisible", "--name", "Wine desktop", check=False)
    for window in found.stdout.split():
        x, y, width, height, viewable = window_geometry(window)
        if viewable and (width, height) == (DESKTOP_WIDTH, DESKTOP_HEIGHT):
            return window, x, y
    return None


def x_screen_dump():
    """The whole X screen as xwd writes it. xwd fails now and then when a window goes away
    while it reads the screen; it is asked again then."""
    for _ in range(3):
        result = subprocess.run(["xwd", "-root", "-silent"], capture_output=True,
                                timeout=WINE_TIMEOUT)
        if result.returncode == 0:
            return result.stdout
    raise RuntimeError("xwd cannot read the screen: " + result.stderr.decode(errors="replace"))


class Screen:
    """Pixels and input in desktop coordinates."""

    def __init__(self, origin):
        self.window, self.x, self.y = origin

    def grab(self, left, top, width, height, png=None):
        """Rows of (r, g, b) of a rectangle of the desktop, read from the X screen."""
        crop = f"{width}x{height}+{self.x + left}+{self.y + top}"
        shot = x_screen_dump()
        if png:
            subprocess.run(["convert", "xwd:-", "-crop", crop, "+repage", png], input=shot,
                           check=True, timeout=WINE_TIMEOUT)
        rgb = subprocess.run(["convert", "xwd:-", "-crop", crop, "+repage", "-depth", "8", "rgb:-"],
                             input=shot, capture_output=True, check=True,
                             timeout=WINE_TIMEOUT).stdout
        return pixel_rows(rgb, width, height)

    def code_rows(self, width=DESKTOP_WIDTH):
        """The letters of the top rows where each row is one colour across the whole width."""
        rows = self.grab(0, 0, width, 10)
        letters = ""
        for row in rows:
            letter = next((l for l, c in COLOURS.items() if all(p == c for p in row)), "-")
            letters += letter
        return letters

    def click_control(self, window, control_id):
        """A click in the middle of a control of a shown window, where the window's font and frame
        have put it (they differ from one Wine to another)."""
        title = run("xdotool", "getwindowname", str(window)).stdout.strip()
        x, y = run("wine", PROBE, "control-point", title, str(control_id)).stdout.split()
        self.click((int(x), int(y)))

    def inks_shown(self, window):
        """Whether the test picture's two inks show in the window's part of the screen."""
        x, y, width, height, _ = window_geometry(window)
        pixels = {p for row in self.grab(x - self.x, y - self.y, width, height) for p in row}
        return LEFT_INK in pixels and RIGHT_INK in pixels

    def icon_shown(self):
        """Whether the first slot of the tray holds anything but the taskbar's own colour."""
        x, y = TRAY_ICON
        half = ICON_SIZE // 2
        # One grab of the taskbar's band: the slot and the taskbar's colour from the same moment.
        band = self.grab(0, y - half, DESKTOP_WIDTH, ICON_SIZE)
        taskbar = band[half][DESKTOP_WIDTH // 2]
        return any(pixel != taskbar for row in band for pixel in row[x - half:x - half + ICON_SIZE])

    def click(self, position, button=1):
        x, y = position
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y), "click", str(button))

    def double_click(self, position, button=1):
        x, y = position
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y), "click", "--repeat", "2",
            "--delay", "80", str(button))

    def point_at(self, position):
        x, y = position
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y))

    def keys(self, *names):
        run("xdotool", "key", "--delay", "50", *names)


def pixel_rows(data, width, height):
    """Rows of (r, g, b) from raw 8-bit RGB bytes."""
    assert len(data) == width * height * 3, (len(data), width, height)
    return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def window_named(title):
    """The X window of a shown window with the title, or None."""
    found = run("xdotool", "search", "--onlyvisible", "--name", "^" + title + "$", check=False)
    return found.stdout.split()[0] if found.stdout.split() else None


def shown_window(title, timeout=5):
    """The X window of the window with the title once it is shown, or None after the timeout."""
    found = None

    def shown():
        nonlocal found
        found = window_named(title)
        return found is not None

    wait_until(shown, timeout)
    return found


def controls(title):
    """What the probe reads from the controls of a shown window: control id to text (a hot-key
    control's value as a number)."""
    lines = run("wine", PROBE, "controls", title).stdout.splitlines()
    shown = {}
    for line in lines:
        id_text, _, text = line.partition(" ")
        shown[int(id_text)] = int(text, 16) if text.startswith("0x") else text
    return shown


def menu_windows():
    """The pop-up menus on the screen, as X window id and geometry: the controller's unnamed,
    mapped windows."""
    tree = run("xwininfo", "-root", "-tree").stdout
    menus = []
    for line in tree.splitlines():
        match = re.match(r"\s*(0x[0-9a-f]+) \(has no name\): \(\"zezizer.exe\"", line)
        if match:
            x, y, width, height, viewable = window_geometry(match.group(1))
            if viewable and width > 1 and height > 1:
                menus.append((match.group(1), (x, y, width, height)))
    return menus


def menu_lines(screen, menu, png=None):
    """What a user sees in a menu, one entry a line: "x" a checked item, "." an unchecked one,
    "-" a separator; read from the pixels of the menu's check column and text column."""
    x, y, width, height = menu
    rows = screen.grab(x - screen.x, y - screen.y, width, height, png)
    background = rows[height // 2][width - 3]

    def dark(pixel):
        return sum(pixel) < 3 * 100

    def separator(row):
        span = row[4:width - 4]
        grey = span[0][0] == span[0][1] == span[0][2]
        return grey and span[0] != background and len(set(span)) == 1

    lines, band, blank, in_separator = [], [], 0, False

    def end_band():
        if band:
            lines.append("x" if any(dark(p) for r in band for p in r[2:16]) else ".")
            band.clear()

    for row in rows[2:height - 2]:
        # A separator is drawn as one or two full-width lines of one colour.
        if separator(row):
            end_band()
            if not in_separator:
                lines.append("-")
            in_separator = True
            continue
        in_separator = False
        if any(dark(p) for p in row[20:width - 4]):
            band.append(row)
            blank = 0
        else:
            # A descender can stand apart from its letter by a light row: an item's text ends
            # only after a few empty rows.
            blank += 1
            if blank == 3:
                end_band()
    end_band()
    return "".join(lines)


# --- the controller's process ----------------------------------------------------------------

class Controller:
    """One run of ZEZIZER.exe; always ended by the time the test is over."""

    def __init__(self):
        self.process = subprocess.Popen(["timeout", "120", "wine", CONTROLLER], cwd=BUILD,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def wait_ready(self):
        return run("wine", PROBE, "wait-ready", "20000", check=False).returncode == 0

    def running(self):
        return self.process.poll() is None

    def end(self):
        """Ends the controller through its own Exit, or stops it when it does not go."""
        if not self.running():
            return
        for window, _ in menu_windows():
            run("xdotool", "windowfocus", window)
            run("xdotool", "key", "Escape")
        run("wine", PROBE, "post-command", str(MENU_EXIT), check=False)
        stop(self.process)


def stop(process, timeout=15):
    """Waits for a process; past the timeout it is stopped (timeout hands the signal on to Wine)."""
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.terminate()
        process.wait()


class ChildOutput:
    """A file that a background process writes and the test reads while it runs. The child's end
    is opened for appending and the test reads through its own: sharing one file offset, a
    child's write that came between the test's seek and its read would land at the start of the
    file, over what was there."""

    def __init__(self):
        descriptor, self.path = tempfile.mkstemp(prefix="zezizer-e2e-")
        os.close(descriptor)
        self.child_end = open(self.path, "a")

    def text(self):
        with open(self.path) as reader:
            return reader.read()

    def close(self):
        if not self.child_end.closed:
            self.child_end.close()
            os.unlink(self.path)

    @property
    def closed(self):
        return self.child_end.closed


class Probe:
    """A run of the probe that lasts until it is ended; its lines are read as they come. Its
    output goes through a file, as with run()."""

    def __init__(self, *arguments, program=PROBE):
        self.output = ChildOutput()
        self.lines_read = 0
        self.process = subprocess.Popen(["timeout", "900", "wine", program, *arguments], cwd=BUILD,
                                        stdin=subprocess.PIPE, stdout=self.output.child_end,
                                        stderr=subprocess.DEVNULL, text=True)
        self.answer = self.read_line(WINE_TIMEOUT)

    def read_line(self, timeout):
        """The probe's next line, or None when it says nothing more within the timeout."""
        line = None

        def next_line():
            nonlocal line
            complete = self.output.text().split("\n")[:-1]
            if len(complete) <= self.lines_read:
                return False
            line = complete[self.lines_read].strip()
            self.lines_read += 1
            return True

        wait_until(next_line, timeout)
        return line

    def end(self):
        self.process.stdin.close()
        stop(self.process)
        self.output.close()


def open_desktop(timeout=10):
    """The Screen of the Wine desktop once it is shown with the controller's tray icon, or None."""
    origin = None

    def desktop_shown():
        nonlocal origin
        origin = desktop_origin()
        return origin is not None

    if not wait_until(desktop_shown, timeout):
        return None
    screen = Screen(origin)
    return screen if wait_until(screen.icon_shown, 5) else None


# --- the companions and other clients ----------------------------------------------------------

def probe(*arguments):
    """One short run of the probe (see lumo_probe.cpp); its exit code."""
    return run("wine", PROBE, *arguments, check=False).returncode


def register_server(switch="/RegServer"):
    """Runs the controller with a registration switch; its exit code."""
    return run("wine", CONTROLLER, switch, check=False).returncode


def send(name):
    """lumosend NAME: one command through the running controller's automation class."""
    return run("wine", LUMOSEND, name, check=False)


def run_script(script, *arguments):
    """A script client in cscript, run from the script's own folder: cscript.exe is Wine's own
    there, not a file of the build."""
    return run("wine", "cscript", "//nologo", os.path.basename(script), *arguments,
               cwd=os.path.dirname(script), check=False)


class Watch:
    """lumowatch --json as a background process: the codes that reached the screen, one dict a
    code, each told once the code has gone."""

    def __init__(self, timeout_ms=120000):
        self.output = ChildOutput()
        self.errors = ChildOutput()
        self.process = subprocess.Popen(
            ["timeout", str(timeout_ms // 1000 + 30), "wine", LUMOWATCH, "--json", "--timeout",
             str(timeout_ms)], cwd=BUILD, stdin=subprocess.DEVNULL, stdout=self.output.child_end,
            stderr=self.errors.child_end)

    def ready(self, timeout=WINE_TIMEOUT):
        """Whether lumowatch says it reads the screen."""

        def said_ready():
            return "ready" in self.errors.text()

        return wait_until(said_ready, timeout)

    def sightings(self):
        return [json.loads(line) for line in self.output.text().split("\n")[:-1] if line]

    def wait_for(self, count, timeout=5):
        """The sightings once there are at least count of them, or those there are at the
        timeout."""
        wait_until(lambda: len(self.sightings()) >= count, timeout)
        return self.sightings()

    def end(self):
        """Stops lumowatch; what it told. Ending it again tells nothing more."""
        if self.output.closed:
            return []
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait()
        lines = self.sightings()
        self.output.close()
        self.errors.close()
        return lines


# --- lumoauto and the games it watches ---------------------------------------------------------

def lumoauto(*arguments, program=LUMOAUTO):
    """One run of lumoauto (the build's, or the one at the path given) with a command line
    (--add, --list, ...): its exit code, output and errors, each through a file as with run()."""
    with tempfile.TemporaryFile("w+") as output, tempfile.TemporaryFile("w+") as errors:
        result = subprocess.run(["timeout", str(WINE_TIMEOUT), "wine", program, *arguments],
                                stdin=subprocess.DEVNULL, stdout=output, stderr=errors, text=True)
        output.seek(0)
        errors.seek(0)
        return result.returncode, output.read(), errors.read()


def lumoauto_status():
    """What lumoauto's window shows: control id to text; empty while it has no window."""
    if probe("controls", LUMOAUTO_TITLE) != 0:
        return {}
    return controls(LUMOAUTO_TITLE)


class Lumoauto:
    """lumoauto --background, watching until its Exit ends it."""

    def __init__(self):
        self.process = subprocess.Popen(["timeout", "300", "wine", LUMOAUTO, "--background"],
                                        cwd=BUILD, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def ready(self, timeout=WINE_TIMEOUT):
        """Whether its (hidden) window is there: it watches from then on."""
        return wait_until(lambda: probe("controls", LUMOAUTO_TITLE) == 0, timeout, interval=0.2)

    def end(self):
        if self.process.poll() is None:
            probe("post-command", str(LUMOAUTO_EXIT), LUMOAUTO_CLASS)
        stop(self.process)


class Game:
    """A copy of the probe under a game's name, playing: its window in front until it is ended."""

    def __init__(self, name, exit_code=0):
        os.makedirs(GAMES, exist_ok=True)
        self.path = os.path.join(GAMES, name)
        if not os.path.exists(self.path):
            shutil.copy(PROBE, self.path)
        self.title = name
        self.probe = Probe("play", name, str(exit_code), program=self.path)
        assert self.probe.answer and self.probe.answer.startswith("playing"), self.probe.answer
        self.process_id = self.probe.answer.split()[1]

    def front(self):
        self.probe.process.stdin.write("front\n")
        self.probe.process.stdin.flush()

    def end(self):
        """Ends normally, through its own exit."""
        self.probe.end()

    def kill(self):
        """Ends at once from outside (TerminateProcess), as a crash or the task manager does."""
        assert probe("terminate", self.process_id) == 0
        self.probe.end()


def running_programs(program, prefix=None):
    """The Linux processes of a Windows program running in a prefix (this run's by default), as
    (pid, command line)."""
    prefix = prefix or os.environ["WINEPREFIX"]
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as environ:
                if f"WINEPREFIX={prefix}".encode() not in environ.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                line = cmdline.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            continue
        if line.lower().split(" -")[0].strip('" ').endswith(program):
            found.append((pid, line))
    return found


def windows_path(path):
    return run("winepath", "-w", path).stdout.strip()


# --- the suites' base ------------------------------------------------------------------------

SHOTS = os.path.join(BUILD, "tests", "e2e-shots")
desktop_keeper = None


def setUpModule():
    # Wine ends its desktop a little after its last program; a controller started meanwhile
    # would put its icon on a taskbar that is going away. One desktop serves the whole run.
    global desktop_keeper
    desktop_keeper = Probe("keep-desktop")
    assert desktop_keeper.answer == "ready", desktop_keeper.answer


def tearDownModule():
    desktop_keeper.end()


def renew_desktop(timeout=30):
    """Ends Wine's desktop once no program shows a window on it, and starts another: Wine 10's
    taskbar does not come back from a display mode change. Whether the old one ended."""
    global desktop_keeper
    desktop_keeper.end()
    ended = wait_until(lambda: desktop_origin() is None, timeout)
    desktop_keeper = Probe("keep-desktop")
    return ended and desktop_keeper.answer == "ready"


# The version the controller runs with and stores: the build's generated version header states it.
with open(os.path.join(BUILD, "src", "generated", "zezizer_version.h"), encoding="utf-8") as header:
    RUNNING_VERSION = re.search(r'#define ZEZIZER_VERSION_TEXT "([^"]*)"', header.read()).group(1)


class ControllerTest(unittest.TestCase):
    """Each test starts one controller over prepared settings and ends it again."""

    def setUp(self):
        delete_settings()
        self.controller = None
        self.screen = None

    def tearDown(self):
        if self.controller:
            self.controller.end()
        delete_settings()

    def store_matching(self, changes=None):
        """Settings as this very version stores them: the defaults with the given changes."""
        numbers = {"Active": 0, "Reverse": 0, "Tested": 0, "Hardware": 0, "Mode": 0,
                   "LCD Mode": 0, "Hot-Key 1": 0x279, "Hot-Key 2": 0x27A, "Hot-Key 3": 0x27B}
        numbers.update(changes or {})
        values = {(CONTROLLER_KEY if name in ("Active", "Reverse", "Tested") else SETTINGS_KEY,
                   name): value for name, value in numbers.items()}
        store_values({**values, (CONTROLLER_KEY, "Version"): RUNNING_VERSION})

    def start(self):
        self.controller = Controller()
        self.assertTrue(self.controller.wait_ready(), "the controller did not start")
        # Its window answers from within its creation (the tray icon's call lets sent messages
        # in), before it writes the settings of a first start or another version: Version tells.
        self.assertTrue(wait_until(lambda: stored(CONTROLLER_KEY).get("Version") == RUNNING_VERSION,
                                   10),
                        "the controller did not write its settings")
        self.screen = open_desktop()
        if not self.screen:
            self.fail("no Wine desktop with the tray icon on the X screen")
        # A global hot-key sees a key only while a Wine window has the X focus: with no window
        # manager the focus follows the pointer, so the pointer rests on the desktop.
        self.screen.point_at(AWAY)

    def shoot_desktop(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        self.screen.grab(0, 0, DESKTOP_WIDTH, DESKTOP_HEIGHT, path)
        return path

    def wait_for_code(self, command, timeout=3):
        expected = CODES[command]
        seen = set()

        def shown():
            rows = self.screen.code_rows()
            if rows.startswith("RRGG"):
                seen.add(rows)
            return rows == expected

        self.assertTrue(wait_until(shown, timeout),
                        f"code {command} ({expected}) not on the screen; saw {sorted(seen)}")

    def no_code_on_screen(self):
        self.assertTrue(wait_until(lambda: self.screen.code_rows()[0] != "R", 5),
                        "a code stays on the screen")

    def watch(self):
        watch = Watch(timeout_ms=300000)
        self.addCleanup(watch.end)
        self.assertTrue(watch.ready(), "lumowatch did not start")
        return watch

    def seen(self, watch, expected):
        """Waits until lumowatch has told as many codes as expected and compares them all."""
        told = [sighting["command"] for sighting in watch.wait_for(len(expected))]
        self.assertEqual(told, expected)

    def open_window(self, keys, title):
        """Opens a window from the right-click menu; its X window."""
        self.open_menu(3, "menu")
        self.choose(*keys)
        window = shown_window(title)
        self.assertIsNotNone(window, f"no window \"{title}\"")
        return window

    def press_in(self, window, *keys):
        run("xdotool", "windowfocus", window)
        self.screen.keys(*keys)

    def open_menu(self, button, name):
        self.screen.click(TRAY_ICON, button)
        self.assertTrue(wait_until(lambda: len(menu_windows()) == 1, 5), "no pop-up menu")
        # The pointer stays on the icon: moved onto the desktop, it would take the keyboard
        # from the menu.
        os.makedirs(SHOTS, exist_ok=True)
        _, geometry = menu_windows()[0]
        return menu_lines(self.screen, geometry, os.path.join(SHOTS, name + ".png"))

    def choose(self, *keys):
        # The keys go to the menu's own X window: a code window leaves the X focus on the
        # taskbar, from where keys do not reach the menu.
        window, _ = menu_windows()[0]
        run("xdotool", "windowfocus", window)
        *moves, last = keys
        if moves:
            self.screen.keys(*moves)
        # The moment of the choice: the last key goes out right after.
        chosen = time.monotonic()
        self.screen.keys(last)
        self.assertTrue(wait_until(lambda: not menu_windows(), 5), "the menu stayed open")
        return chosen
