#!/usr/bin/env python3
"""The real ZEZIZER.exe under Wine, driven from outside as a user drives it: real mouse clicks on
its tray icon and real key presses through the X server, the pixels of the Wine desktop read back
from the screen, the settings read from the prefix's registry.

Runs inside tools/test-session (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: controller_e2e.py BUILD_DIR [unittest arguments]
"""

import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.environ["ZEZIZER_BUILD_DIR"])
CONTROLLER = os.path.join(BUILD, "ZEZIZER.exe")
PROBE = os.path.join(BUILD, "tests", "lumo_probe.exe")
SHOTS = os.path.join(BUILD, "tests", "e2e-shots")

WINE_TIMEOUT = 60
CONTROLLER_KEY = r"HKCU\Software\Corvane\Lumo Controller"
SETTINGS_KEY = CONTROLLER_KEY + r"\Settings"

DESKTOP_WIDTH, DESKTOP_HEIGHT = 1024, 768
# The first tray icon of the Wine desktop's taskbar: 16x16, centred 11 px from the right edge and
# 11 px from the bottom.
TRAY_ICON = (DESKTOP_WIDTH - 11, DESKTOP_HEIGHT - 11)
ICON_SIZE = 16
AWAY = (DESKTOP_WIDTH // 3, DESKTOP_HEIGHT // 3)

MENU_EXIT = 40001
MOD_CONTROL = 2
VK_F11 = 0x7A

# The display codes, one letter a row from the top: R red, G green, Y yellow, K black.
CODES = {
    1: "RRGGYYYYRR",
    2: "RRGGYYYYKR",
    3: "RRGGYYYYGG",
    4: "RRGGYYYYYY",
    1000: "RRGGYYYYKK",
}
COLOURS = {"R": (255, 0, 0), "G": (0, 255, 0), "Y": (255, 255, 0), "K": (0, 0, 0)}


def run(*command, timeout=WINE_TIMEOUT, check=True):
    """Runs a command to its end. Its output goes through a file: a Wine process may start
    Wine's desktop process, which would inherit a pipe and keep it open long after."""
    with tempfile.TemporaryFile("w+") as output:
        result = subprocess.run(["timeout", str(timeout), *command], stdin=subprocess.DEVNULL,
                                stdout=output, stderr=subprocess.DEVNULL, text=True)
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


# --- the registry of the prefix -------------------------------------------------------------

def stored(key):
    """The values of a key as a dict: numbers for REG_DWORD, text for REG_SZ."""
    result = run("wine", "reg", "query", key, check=False)
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


def delete_settings():
    run("wine", "reg", "delete", r"HKCU\Software\Corvane", "/f", check=False)


# --- the X screen that shows the Wine desktop ------------------------------------------------

def window_geometry(window_id):
    info = run("xwininfo", "-id", str(window_id)).stdout
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

    def code_rows(self):
        """The letters of the top rows where each row is one colour across the whole width."""
        rows = self.grab(0, 0, DESKTOP_WIDTH, 10)
        letters = ""
        for row in rows:
            letter = next((l for l, c in COLOURS.items() if all(p == c for p in row)), "-")
            letters += letter
        return letters

    def icon_shown(self):
        """Whether the first slot of the tray holds anything but the taskbar's own colour."""
        x, y = TRAY_ICON
        half = ICON_SIZE // 2
        slot = self.grab(x - half, y - half, ICON_SIZE, ICON_SIZE)
        taskbar = self.grab(DESKTOP_WIDTH // 2, y, 1, 1)[0][0]
        return any(pixel != taskbar for row in slot for pixel in row)

    def click(self, position, button=1):
        x, y = position
        run("xdotool", "mousemove", str(self.x + x), str(self.y + y), "click", str(button))

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


class Probe:
    """A run of the probe that lasts until it is ended; its lines are read as they come. Its
    output goes through a file, as with run()."""

    def __init__(self, *arguments):
        self.output = tempfile.TemporaryFile("w+")
        self.lines_read = 0
        self.process = subprocess.Popen(["timeout", "900", "wine", PROBE, *arguments], cwd=BUILD,
                                        stdin=subprocess.PIPE, stdout=self.output,
                                        stderr=subprocess.DEVNULL, text=True)
        self.answer = self.read_line(WINE_TIMEOUT)

    def read_line(self, timeout):
        """The probe's next line, or None when it says nothing more within the timeout."""
        line = None

        def next_line():
            nonlocal line
            self.output.seek(0)
            complete = self.output.read().split("\n")[:-1]
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


desktop_keeper = None


def setUpModule():
    # Wine ends its desktop a little after its last program; a controller started meanwhile
    # would put its icon on a taskbar that is going away. One desktop serves the whole run.
    global desktop_keeper
    desktop_keeper = Probe("keep-desktop")
    assert desktop_keeper.answer == "ready", desktop_keeper.answer


def tearDownModule():
    desktop_keeper.end()


# --- the tests -------------------------------------------------------------------------------

class ControllerTest(unittest.TestCase):
    """Each test starts one controller over prepared settings and ends it again."""

    running_version = None

    def setUp(self):
        delete_settings()
        self.controller = None
        self.screen = None

    def tearDown(self):
        if self.controller:
            self.controller.end()
        delete_settings()

    @classmethod
    def version(cls):
        """The running version text, as a first start stores it."""
        if ControllerTest.running_version is None:
            delete_settings()
            first = Controller()
            try:
                assert first.wait_ready(), "the controller did not start"
                ControllerTest.running_version = stored(CONTROLLER_KEY)["Version"]
            finally:
                first.end()
            delete_settings()
        return ControllerTest.running_version

    def store_matching(self, changes=None):
        """Settings as this very version stores them: the defaults with the given changes."""
        version = self.version()
        numbers = {"Active": 0, "Reverse": 0, "Tested": 0, "Hardware": 0, "Mode": 0,
                   "LCD Mode": 0, "Hot-Key 1": 0x279, "Hot-Key 2": 0x27A, "Hot-Key 3": 0x27B}
        numbers.update(changes or {})
        for name, value in numbers.items():
            key = CONTROLLER_KEY if name in ("Active", "Reverse", "Tested") else SETTINGS_KEY
            store_number(key, name, value)
        store_text(CONTROLLER_KEY, "Version", version)

    def start(self):
        self.controller = Controller()
        self.assertTrue(self.controller.wait_ready(), "the controller did not start")
        origin = None

        def desktop_shown():
            nonlocal origin
            origin = desktop_origin()
            return origin is not None

        self.assertTrue(wait_until(desktop_shown, 10), "no Wine desktop on the X screen")
        self.screen = Screen(origin)
        if not wait_until(self.screen.icon_shown, 5):
            self.fail("no tray icon; the desktop is in " + self.shoot_desktop("no-tray-icon"))
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


class TrayMenu(ControllerTest):
    def test_a_click_opens_the_menu_and_its_items_send_their_commands(self):
        self.store_matching({"Tested": 1})
        self.start()

        # Interleaved, three stereo items with Off checked, three LCD items with Off checked.
        self.assertEqual(self.open_menu(1, "left-click-menu"), "x..-..x-..x")
        # Interleaved, Over/Under, Page Flip, Normal, Reverse.
        self.choose("Down", "Down", "Down", "Down", "Down", "Return")
        self.wait_for_code(2)
        self.assertEqual({k: stored(CONTROLLER_KEY)[k] for k in ("Active", "Reverse")},
                         {"Active": 1, "Reverse": 1})
        self.no_code_on_screen()

        self.assertEqual(self.open_menu(1, "left-click-menu-reversed"), "x..-.x.-..x")
        self.choose("Down", "Down", "Down", "Return")  # Page Flip
        self.wait_for_code(1000)
        self.assertEqual(stored(SETTINGS_KEY)["Mode"], 1)
        controller_values = stored(CONTROLLER_KEY)
        self.assertEqual((controller_values["Tested"], controller_values["Active"]), (0, 0))
        self.no_code_on_screen()

        # Page Flip with stereo off: On/Resync and Off, Off checked.
        self.assertEqual(self.open_menu(3, "right-click-menu"), "..x-.x-..x-..-.")
        self.choose("Escape")

    def test_with_other_hardware_the_right_click_menu_has_only_the_window_items(self):
        self.store_matching({"Hardware": 1})
        self.start()
        self.assertEqual(self.open_menu(3, "other-hardware-menu"), "..-.")
        self.choose("Escape")


    def test_the_window_items_open_the_about_box_and_the_properties_dialog(self):
        self.store_matching()
        self.start()
        for name, keys, title, closing, code in (
                ("about", ("Up", "Up", "Up", "Return"), "About Lumo Controller", "Return", None),
                ("properties", ("Up", "Up", "Return"), "Lumo Controller Properties", "Escape",
                 1000)):
            self.open_menu(3, name + "-menu")
            self.choose(*keys)
            # Properties switches stereo off before its dialog opens.
            if code:
                self.wait_for_code(code)
                self.no_code_on_screen()
            dialog = None

            def dialog_shown():
                nonlocal dialog
                dialog = window_named(title)
                return dialog is not None

            self.assertTrue(wait_until(dialog_shown, 5), f"no window \"{title}\"")
            self.shoot_desktop(name + "-dialog")
            run("xdotool", "windowfocus", dialog)
            self.screen.keys(closing)
            self.assertTrue(wait_until(lambda: window_named(title) is None, 5),
                            f"\"{title}\" stayed open")


class HotKeys(ControllerTest):
    def test_the_hot_keys_send_the_commands_of_the_interleaved_mode(self):
        self.store_matching()
        self.start()
        self.screen.keys("ctrl+F10")
        self.wait_for_code(1)
        self.assertEqual(stored(CONTROLLER_KEY)["Active"], 1)
        self.no_code_on_screen()
        self.screen.keys("ctrl+F11")
        self.wait_for_code(2)
        self.no_code_on_screen()
        self.screen.keys("ctrl+F12")
        self.wait_for_code(1000)
        self.assertEqual(stored(CONTROLLER_KEY)["Active"], 0)

    def test_in_page_flip_the_second_hot_key_does_nothing(self):
        self.store_matching({"Mode": 1})
        self.start()
        self.screen.keys("ctrl+F11", "ctrl+F12")
        # Hot-keys act in order: once the stereo-off code shows, the second one has been handled.
        self.wait_for_code(1000)
        self.assertEqual(stored(CONTROLLER_KEY)["Reverse"], 0)
        self.no_code_on_screen()
        self.screen.keys("ctrl+F10")
        self.wait_for_code(3)

    def test_an_extended_hot_key_value_registers_the_same_key(self):
        self.store_matching({"Hot-Key 1": 0x800 | 0x279})
        self.start()
        self.screen.keys("ctrl+F10")
        self.wait_for_code(1)

    def test_a_hot_key_held_by_another_program_stays_its_and_the_others_still_work(self):
        self.store_matching()
        holder = Probe("hold-hotkey", str(MOD_CONTROL), str(VK_F11))
        try:
            self.assertEqual(holder.answer, "held")
            self.start()
            self.screen.keys("ctrl+F11")
            self.assertEqual(holder.read_line(5), "pressed")
            self.screen.keys("ctrl+F10")
            self.wait_for_code(1)
            self.no_code_on_screen()
            self.screen.keys("ctrl+F12")
            self.wait_for_code(1000)
        finally:
            holder.end()


class StartAndExit(ControllerTest):
    def test_the_first_start_writes_the_defaults(self):
        self.start()
        values = stored(CONTROLLER_KEY)
        self.assertRegex(values.pop("Version"), r"^\d+\.\d+\.\d+\.\d+$")
        self.assertEqual(values, {"Active": 0, "Reverse": 0, "Tested": 0})
        self.assertEqual(stored(SETTINGS_KEY),
                         {"Hardware": 0, "Mode": 0, "LCD Mode": 0, "Hot-Key 1": 0x279,
                          "Hot-Key 2": 0x27A, "Hot-Key 3": 0x27B})

    def test_settings_of_another_version_are_replaced(self):
        self.store_matching({"Mode": 2, "Active": 1, "Tested": 1, "LCD Mode": 1})
        store_text(CONTROLLER_KEY, "Version", "1.0.0.0")
        self.start()
        values = stored(CONTROLLER_KEY)
        self.assertEqual(values.pop("Version"), self.version())
        self.assertEqual(values, {"Active": 0, "Reverse": 0, "Tested": 0})
        self.assertEqual((stored(SETTINGS_KEY)["Mode"], stored(SETTINGS_KEY)["LCD Mode"]), (0, 0))

    def test_matching_settings_are_loaded_and_shown_checked(self):
        self.store_matching({"Mode": 1, "Active": 1, "Tested": 1, "LCD Mode": 2})
        self.start()
        self.assertEqual(stored(SETTINGS_KEY)["Mode"], 1)
        # Page Flip; On/Resync checked; LCD Mode 2 checked.
        self.assertEqual(self.open_menu(1, "loaded-settings-menu"), "..x-x.-.x.")
        self.choose("Escape")

    def test_exit_removes_the_icon_at_once_paints_stereo_off_saves_and_ends(self):
        self.store_matching({"Active": 1, "Reverse": 1, "Tested": 1})
        self.start()
        self.open_menu(3, "exit-menu")
        chosen = self.choose("Up", "Return")  # Exit, the last item
        self.wait_for_code(1000)
        # The code covers the taskbar for one second; once it is gone, the icon must be gone
        # too while the process still runs its last 1.5 s.
        self.no_code_on_screen()
        self.assertFalse(self.screen.icon_shown(), "the icon is still there")
        self.assertTrue(self.controller.running(), "the icon went only with the process")
        self.assertEqual(self.controller.process.wait(timeout=10), 0)
        ended = time.monotonic() - chosen
        self.assertGreaterEqual(ended, 2.0)
        self.assertLessEqual(ended, 4.0)
        values = stored(CONTROLLER_KEY)
        self.assertEqual((values["Active"], values["Reverse"], values["Tested"]), (0, 1, 1))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]])
