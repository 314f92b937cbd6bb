#!/usr/bin/env python3
"""The real ZEZIZER.exe under Wine, driven from outside as a user drives it: real mouse clicks on
its tray icon and real key presses through the X server, the pixels of the Wine desktop read back
from the screen, the settings read from the prefix's registry, the codes on the screen seen by
lumowatch.

Runs inside tools/run-tests (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: controller_e2e.py BUILD_DIR [unittest arguments]
"""

import os
import re
import signal
import sys
import time
import unittest

if len(sys.argv) > 1:
    os.environ["ZEZIZER_BUILD_DIR"] = sys.argv[1]
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_desktop import *  # noqa: E402,F403

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


# --- the tests -------------------------------------------------------------------------------

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


# The left-click menu in each mode, one item a line with "-" for a separator.
MENU_ITEMS = {
    0: ["Interleaved", "Over/Under", "Page Flip", "-", "Stereo - Normal", "Stereo - Reverse",
        "Stereo - Off", "-", "LCD Mode 1", "LCD Mode 2", "LCD Mode Off"],
    1: ["Interleaved", "Over/Under", "Page Flip", "-", "Stereo - On/Resync", "Stereo - Off", "-",
        "LCD Mode 1", "LCD Mode 2", "LCD Mode Off"],
    2: ["Interleaved", "Over/Under", "Page Flip", "-", "Stereo - On", "Stereo - Off", "-",
        "LCD Mode 1", "LCD Mode 2", "LCD Mode Off"],
}
# A walk through the menu from Interleaved with stereo off and the test passed, one item of each
# kind (tray_menu_test and main_window_test check every item): the mode the menu is in, the item,
# the code that shows (None: no code), the settings stored after it and the check marks of the
# next menu.
MENU_WALK = [
    (0, "Stereo - Reverse", 2, {"Active": 1, "Reverse": 1}, "x..-.x.-..x"),
    (0, "LCD Mode 2", 6, {"LCD Mode": 2}, "x..-.x.-.x."),
    # Another mode while stereo is on: stereo goes off and the test is to be made again.
    (0, "Page Flip", 1000, {"Mode": 1, "Active": 0, "Tested": 0}, "..x-.x-.x."),
    (1, "Stereo - On/Resync", 3, {"Active": 1, "Reverse": 0}, "..x-x.-.x."),
]
WALKED = ("Active", "Reverse", "Tested", "Mode", "LCD Mode")


class TrayMenu(ControllerTest):
    def test_the_left_click_menu_sends_stores_and_shows_its_choices(self):
        self.store_matching({"Tested": 1})
        self.start()
        watch = self.watch()
        expected = {"Active": 0, "Reverse": 0, "Tested": 1, "Mode": 0, "LCD Mode": 0}
        codes = []
        self.assertEqual(self.open_menu(1, "walk-menu"), "x..-..x-..x")
        for step, (mode, item, code, changes, next_menu) in enumerate(MENU_WALK):
            with self.subTest(step=step, mode=mode, item=item):
                items = [i for i in MENU_ITEMS[mode] if i != "-"]
                # The first Down selects the first item.
                self.choose(*["Down"] * (items.index(item) + 1), "Return")
                if code is not None:
                    codes.append(code)
                # A code is told once it has gone: the next menu opens on a clear taskbar.
                self.seen(watch, codes)
                expected.update(changes)
                values = {**stored(CONTROLLER_KEY), **stored(SETTINGS_KEY)}
                self.assertEqual({k: values[k] for k in WALKED}, expected)
                self.assertEqual(self.open_menu(1, "walk-menu"), next_menu)
        self.choose("Escape")
        self.assertEqual(len(watch.wait_for(len(codes) + 1, timeout=1)), len(codes),
                         "a code showed without a command")

    def test_with_other_hardware_the_right_click_menu_has_only_the_window_items(self):
        self.store_matching({"Hardware": 1})
        self.start()
        self.assertEqual(self.open_menu(3, "other-hardware-menu"), "..-.")
        self.choose("Escape")


    def test_a_double_click_opens_properties_and_a_single_click_still_shows_the_menu(self):
        self.store_matching({"Active": 1})
        self.start()
        watch = self.watch()
        self.screen.double_click(TRAY_ICON)
        dialog = shown_window(PROPERTIES)
        self.assertIsNotNone(dialog, "a double click did not open Properties")
        self.assertEqual(menu_windows(), [], "a menu showed on a double click")
        self.seen(watch, [1000])
        self.press_in(dialog, "Escape")
        self.assertTrue(wait_until(lambda: window_named(PROPERTIES) is None, 5))
        self.assertEqual(self.open_menu(1, "single-click-menu"), "x..-..x-..x")
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
            dialog = shown_window(title)
            self.assertIsNotNone(dialog, f"no window \"{title}\"")
            self.shoot_desktop(name + "-dialog")
            run("xdotool", "windowfocus", dialog)
            self.screen.keys(closing)
            self.assertTrue(wait_until(lambda: window_named(title) is None, 5),
                            f"\"{title}\" stayed open")


PROPERTIES = "Lumo Controller Properties"
CENTRE = (DESKTOP_WIDTH // 2, DESKTOP_HEIGHT // 2)
OPEN_PROPERTIES = ("Up", "Up", "Return")
# Where the Properties dialog's controls are, in dialog units; ids of what the probe reads.
MODE_LIST, LCD_LIST, FIRST_HOT_KEY, SECOND_HOT_KEY, APPLY = dialog_points(
    "IDD_PROPERTIES", "IDC_MODE_LIST", "IDC_LCD_MODE_LIST", "IDC_HOTKEY1", "IDC_HOTKEY2",
    "IDC_PROPERTIES_APPLY")
MODE_LIST_ID, LCD_LIST_ID, FIRST_HOT_KEY_ID, FIRST_LABEL_ID = source_ids(
    "res/resource.h", "IDC_MODE_LIST", "IDC_LCD_MODE_LIST", "IDC_HOTKEY1", "IDC_HOTKEY1_LABEL")
# The interleave test's OK button, in dialog units.
TEST_OK = dialog_points("IDD_INTERLEAVE_TEST", "IDOK")
CTRL_F9, CTRL_F10, CTRL_F11 = 0x200 | 0x78, 0x200 | 0x79, 0x200 | 0x7A


class PropertiesDialog(ControllerTest):
    def open_properties(self, watch, codes):
        """Opens the dialog from the tray; it switches stereo off first."""
        dialog = self.open_window(OPEN_PROPERTIES, PROPERTIES)
        codes.append(1000)
        self.seen(watch, codes)
        return dialog

    def close(self, window, title):
        self.press_in(window, "Escape")
        self.assertTrue(wait_until(lambda: window_named(title) is None, 5),
                        f"\"{title}\" stayed open")

    def test_changed_settings_are_applied_kept_and_the_new_hot_key_replaces_the_old(self):
        self.store_matching()
        self.start()
        watch = self.watch()
        codes = []
        dialog = self.open_properties(watch, codes)
        # Page Flip, two below Interleaved in the opened list.
        self.screen.click_dialog(dialog, MODE_LIST)
        self.press_in(dialog, "Down", "Down", "Return")
        # LCD Mode 2, one above LCD Mode Off; Set sends it at once.
        self.screen.click_dialog(dialog, LCD_LIST)
        self.press_in(dialog, "Up", "Return", "alt+e")
        codes.append(6)
        self.seen(watch, codes)
        # The hot-key control takes every key, Alt ones too: Apply is clicked.
        self.screen.click_dialog(dialog, FIRST_HOT_KEY)
        self.press_in(dialog, "ctrl+F9")
        self.screen.click_dialog(dialog, APPLY)
        self.assertTrue(wait_until(lambda: stored(SETTINGS_KEY)["Mode"] == 1, 5), "not applied")
        self.assertEqual({k: stored(SETTINGS_KEY)[k] for k in ("Mode", "LCD Mode", "Hot-Key 1")},
                         {"Mode": 1, "LCD Mode": 2, "Hot-Key 1": CTRL_F9})
        self.close(dialog, PROPERTIES)

        dialog = self.open_properties(watch, codes)
        shown = controls(PROPERTIES)
        self.assertEqual({i: shown[i] for i in (MODE_LIST_ID, LCD_LIST_ID, FIRST_HOT_KEY_ID,
                                                FIRST_LABEL_ID)},
                         {MODE_LIST_ID: "Page Flip", LCD_LIST_ID: "LCD Mode 2",
                          FIRST_HOT_KEY_ID: CTRL_F9, FIRST_LABEL_ID: "Stereo - On/Resync:"})
        self.close(dialog, PROPERTIES)

        # In Page Flip the first hot-key resyncs.
        self.screen.point_at(AWAY)
        self.screen.keys("ctrl+F9")
        codes.append(3)
        self.seen(watch, codes)
        # The old key is free: another program can hold it, and pressing it reaches only that.
        holder = Probe("hold-hotkey", str(MOD_CONTROL), str(VK_F10))
        try:
            self.assertEqual(holder.answer, "held")
            self.screen.keys("ctrl+F10")
            self.assertEqual(holder.read_line(5), "pressed")
        finally:
            holder.end()
        self.assertEqual(len(watch.wait_for(len(codes) + 1, timeout=1)), len(codes),
                         "the old hot-key still sends")

    def test_two_hot_keys_swap_their_chords_and_both_still_send(self):
        self.store_matching()
        self.start()
        watch = self.watch()
        codes = []
        dialog = self.open_properties(watch, codes)
        self.screen.click_dialog(dialog, FIRST_HOT_KEY)
        self.press_in(dialog, "ctrl+F11")
        self.screen.click_dialog(dialog, SECOND_HOT_KEY)
        self.press_in(dialog, "ctrl+F10")
        self.screen.click_dialog(dialog, APPLY)
        self.assertTrue(wait_until(lambda: stored(SETTINGS_KEY)["Hot-Key 1"] == CTRL_F11, 5),
                        "not applied")
        self.assertEqual(stored(SETTINGS_KEY)["Hot-Key 2"], CTRL_F10)
        self.close(dialog, PROPERTIES)
        self.screen.point_at(AWAY)
        for chord, code in (("ctrl+F11", 1), ("ctrl+F10", 2)):
            self.screen.keys(chord)
            codes.append(code)
            self.seen(watch, codes)

    def test_the_interleave_test_shows_its_picture_swaps_the_eyes_and_is_passed_with_ok(self):
        self.store_matching()
        self.start()
        watch = self.watch()
        codes = []
        dialog = self.open_properties(watch, codes)
        self.press_in(dialog, "alt+t")
        test = shown_window("Normal Interleaved Mode")
        self.assertIsNotNone(test, "the test did not open")
        codes.append(1)
        self.seen(watch, codes)
        os.makedirs(SHOTS, exist_ok=True)
        self.assertTrue(wait_until(lambda: self.screen.inks_shown(test), 5),
                        f"the test picture is not on the screen: {self.shoot_desktop('test')}")
        # The eye button is the default one.
        self.press_in(test, "Return")
        codes.append(2)
        self.seen(watch, codes)
        self.assertIsNotNone(shown_window("Reverse Interleaved Mode"), "not renamed")
        self.screen.click_dialog(test, TEST_OK)
        codes.append(1000)
        self.seen(watch, codes)
        values = stored(CONTROLLER_KEY)
        self.assertEqual((values["Tested"], values["Active"]), (1, 0))
        self.close(dialog, PROPERTIES)


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

    def front_program(self):
        """The probe's window in front, from the top left corner over the middle of the screen,
        with the pointer on it: the keys go to the X window under the pointer."""
        front = Probe("front-window")
        self.addCleanup(front.end)
        self.assertEqual(front.answer, "ready", "the probe's window did not get the foreground")
        self.screen.point_at(CENTRE)
        return front

    def test_over_another_program_the_code_takes_only_its_rows_and_leaves_the_foreground(self):
        """A program in front keeps its activation and focus through a hot-key and its code (a
        line "lost ..." would come first), and the screen and the mouse below the code's rows.
        The probe watches from its own process: what it says of the code window, it saw while the
        code was on the screen."""
        self.store_matching()
        self.start()
        front = self.front_program()
        for chord, code, click in (("ctrl+F10", 1, False), ("ctrl+F12", 1000, False),
                                   ("ctrl+F12", 1000, True)):
            with self.subTest(chord=chord, click=click):
                self.screen.keys(chord)
                self.assertEqual(front.read_line(5),
                                 f"code topmost=1 region=simple 0,0,{DESKTOP_WIDTH},10 "
                                 "centre=front")
                if not click:
                    # Across the whole width, over the program in front.
                    self.wait_for_code(code)
                else:
                    # Within the code's second: the probe says whether the code was still there.
                    self.screen.click(CENTRE)
                    self.assertEqual(front.read_line(5), "clicked code=1")
                self.assertEqual(front.read_line(5), "gone foreground=front")

    def test_a_held_chord_sends_once_and_again_once_released(self):
        self.store_matching()
        self.start()
        front = self.front_program()
        for _ in range(2):
            run("xdotool", "keydown", "ctrl+F10")
            time.sleep(1.2)  # the X server repeats the key meanwhile
            run("xdotool", "keyup", "ctrl+F10")
            self.assertRegex(front.read_line(5), "^code ")
            self.assertEqual(front.read_line(5), "gone foreground=front", "a second code window")

    def test_a_display_mode_change_during_a_code_gives_it_the_new_screen_for_a_second(self):
        self.store_matching()
        self.start()
        front = self.front_program()
        mode = Probe("display-mode", "800", "600")
        self.addCleanup(mode.end)
        self.assertEqual(mode.answer, "ready")
        self.screen.keys("ctrl+F10")
        self.assertRegex(front.read_line(5), "^code ")
        changed = time.monotonic()
        mode.process.stdin.write("switch\n")
        mode.process.stdin.flush()
        self.assertEqual(mode.read_line(10), "switched")
        self.assertRegex(front.read_line(5), "^moved 0,0,800,600 region=simple 0,0,800,10 ")
        self.assertTrue(wait_until(lambda: self.screen.code_rows(800) == CODES[1], 2),
                        "the code is not across the new width")
        self.assertEqual(front.read_line(5), "gone foreground=front")
        self.assertGreaterEqual(time.monotonic() - changed, 1.0, "gone within the second")
        # The next case needs the desktop back at its size with the icon in its place.
        mode.end()
        self.assertTrue(open_desktop(30), "the desktop did not come back from 800x600")

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
        self.assertEqual(values.pop("Version"), RUNNING_VERSION)
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
        # The icon goes before the code is painted, and the process runs 2.5 s more: the icon is
        # looked at while the code is still up (it takes only the top rows), the process after.
        self.assertFalse(self.screen.icon_shown(), "the icon is still there")
        self.assertTrue(self.controller.running(), "the icon went only with the process")
        self.no_code_on_screen()
        self.assertEqual(self.controller.process.wait(timeout=10), 0)
        self.assertGreaterEqual(time.monotonic() - chosen, 2.0)
        values = stored(CONTROLLER_KEY)
        self.assertEqual((values["Active"], values["Reverse"], values["Tested"]), (0, 1, 1))


    def test_a_close_request_from_another_program_ends_the_controller_as_exit_does(self):
        self.store_matching({"Active": 1, "Reverse": 1})
        self.start()
        watch = self.watch()
        self.assertEqual(probe("close"), 0)
        self.assertEqual(self.controller.process.wait(timeout=10), 0)
        self.assertEqual([s["command"] for s in watch.wait_for(1)], [1000])
        self.assertFalse(self.screen.icon_shown(), "the icon stayed")
        self.assertEqual(stored(CONTROLLER_KEY)["Active"], 0)

    def test_the_icon_comes_back_when_the_shell_starts_again(self):
        self.store_matching()
        self.start()
        self.assertEqual(probe("drop-icon"), 0)
        self.assertTrue(wait_until(lambda: not self.screen.icon_shown(), 5), "icon not dropped")
        self.assertEqual(probe("shell-restarted"), 0)
        self.assertTrue(wait_until(self.screen.icon_shown, 5), "the icon did not come back")
        self.assertEqual(self.open_menu(3, "menu-after-shell-restart"), "x..-..x-..x-..-.")
        self.choose("Escape")

    def test_exit_while_a_second_instance_starts_ends_both(self):
        self.store_matching({"Active": 1})
        self.start()
        watch = self.watch()
        self.open_menu(3, "exit-menu")
        second = Controller()
        try:
            self.choose("Up", "Return")  # Exit
            self.assertEqual(second.process.wait(timeout=10), 0)
        finally:
            second.end()
        self.assertEqual(self.controller.process.wait(timeout=10), 0)
        self.assertEqual([s["command"] for s in watch.wait_for(1)], [1000])
        self.assertFalse(self.screen.icon_shown(), "the icon stayed")


SEND_SCRIPT = os.path.join(BUILD, "tests", "scripts", "lumo_send.vbs")
SEND_JSCRIPT = os.path.join(BUILD, "tests", "scripts", "lumo_send.js")
# lumosend's names of the commands it sends.
COMMAND_NAMES = {1: "stereo-normal", 2: "stereo-reverse", 1000: "stereo-off", 5: "lcd1"}
# What other hardware mutes, sent first, so that the code painted after them shows that they
# painted nothing.
MUTED = (1, 2, 1000)
# What each of the muted commands stores as Active and Reverse, sent in that order.
STORED_AFTER = {1: (1, 0), 2: (1, 1), 1000: (0, 1)}
# A code stays about a second; how much longer a busy machine keeps it is the bench's to measure.
CODE_SHORTEST_MS = 800


class Automation(ControllerTest):
    """Clients in other processes, with lumowatch watching the screen."""

    @classmethod
    def setUpClass(cls):
        assert register_server() == 0, "RegServer failed"

    def send_each(self, hardware, sends):
        """Sends each command through its client, with lumowatch watching."""
        watch = self.watch()
        painted = []
        for client, command in sends:
            self.assertEqual(client(command), 0, f"command {command} not sent")
            if hardware and command in MUTED:
                values = stored(CONTROLLER_KEY)
                self.assertEqual((values["Active"], values["Reverse"]), STORED_AFTER[command])
                continue
            painted.append(command)
            # A code is told once it has gone: the next command goes to a clear screen.
            watch.wait_for(len(painted))
        self.assertEqual([sighting["command"] for sighting in watch.sightings()], painted)
        for sighting in watch.sightings():
            self.assertTrue(sighting["exact"], sighting)
            self.assertGreaterEqual(sighting["durationMs"], CODE_SHORTEST_MS, sighting)

    @staticmethod
    def lumosend(command):
        return send(COMMAND_NAMES[command]).returncode

    @staticmethod
    def script_sender(script):
        return lambda command: 0 if run_script(script, str(command)).stdout == \
            f"sent {command}\n" else 1

    def test_each_client_sends_a_command_that_paints_its_code(self):
        # Every command's code and stored state are commands_test's: here each client once.
        self.store_matching()
        self.start()
        self.send_each(0, ((self.lumosend, 2), (self.script_sender(SEND_SCRIPT), 5),
                           (self.script_sender(SEND_JSCRIPT), 4)))

    def test_other_hardware_mutes_normal_reverse_and_off_but_stores_them(self):
        self.store_matching({"Hardware": 1})
        self.start()
        self.send_each(1, [(self.lumosend, command) for command in (*MUTED, 5)])

    def test_a_second_command_within_the_second_covers_the_first(self):
        self.store_matching()
        self.start()
        watch = self.watch()
        # Two lumosend runs one after the other; each takes a fraction of a second.
        self.assertEqual(send("stereo-resync").returncode, 0)
        self.assertEqual(send("lcd1").returncode, 0)
        first, second = watch.wait_for(2)[:2]
        self.assertEqual((first["command"], second["command"]), (3, 5))
        self.assertTrue(first["exact"] and second["exact"], (first, second))
        # The first code is gone the moment the second shows: it ends early, not after its
        # second; the second stays its full second.
        gap = second["appearedMs"] - first["appearedMs"]
        self.assertGreater(gap, 0, (first, second))
        self.assertLessEqual(first["durationMs"], gap + 50, (first, second))
        self.assertGreaterEqual(second["durationMs"], CODE_SHORTEST_MS, second)
        self.assertEqual(len(watch.wait_for(3, timeout=1)), 2, "a code showed again")

    def test_a_client_fails_once_the_server_is_unregistered_and_works_after_registering(self):
        self.store_matching()
        self.start()
        watch = self.watch()
        try:
            self.assertEqual(register_server("/UnregServer"), 0)
            # Wine's cscript ends with 0 after a script error too: the script's silence tells.
            self.assertNotIn("sent", run_script(SEND_SCRIPT, "3").stdout)
        finally:
            self.assertEqual(register_server("/RegServer"), 0)
        self.assertEqual(run_script(SEND_SCRIPT, "3").stdout.split("\n")[0], "sent 3")
        self.assertEqual([s["command"] for s in watch.wait_for(1)], [3])


# How long a listed program's code may take to show after its start, its end or its coming to
# the front: a bound for one that never comes (a front rule is seen once a second under Wine, no
# foreground event reaches another process, and taken once two looks agree); how soon it comes
# is the bench's to measure.
SWITCH_SECONDS = 15
# How long the codes a burst of changes of the front sends are counted.
BURST_SECONDS = 4
STEREO_NORMAL, STEREO_REVERSE, STEREO_OFF = 1, 2, 1000


class SwitchByProgram(ControllerTest):
    """lumoauto watching copies of the probe that play the game, lumowatch watching the screen."""

    @classmethod
    def setUpClass(cls):
        assert register_server() == 0, "RegServer failed"

    def setUp(self):
        super().setUp()
        self.games = []
        self.auto = None

    def tearDown(self):
        for game in self.games:
            game.end()
        # Before the settings go: a running lumoauto would make its rules key again.
        if self.auto:
            self.auto.end()
        super().tearDown()

    def start_lumoauto(self):
        self.auto = Lumoauto()
        self.assertTrue(self.auto.ready(), "lumoauto did not start")
        return self.auto

    def add_rule(self, program, command, *options):
        code, output, errors = lumoauto("--add", program, "--command", command, *options)
        self.assertEqual(code, 0, errors)
        return output

    def watching(self):
        """The controller, lumowatch and a running lumoauto."""
        self.start()
        watch = self.watch()
        return watch, self.start_lumoauto()

    def play(self, name, exit_code=0):
        game = Game(name, exit_code)
        self.games.append(game)
        return game

    def codes(self, watch, count, timeout=5):
        return [s["command"] for s in watch.wait_for(count, timeout)]

    def test_a_listed_program_switches_on_killed_it_switches_off_an_unlisted_one_does_nothing(self):
        game = os.path.join(GAMES, "Game.exe")
        self.play("Game.exe").end()  # the copy is made; a full-path rule names it
        self.add_rule(windows_path(game), "stereo-reverse")
        watch, _ = self.watching()
        other = self.play("Other.exe")
        other.end()
        self.assertEqual(self.codes(watch, 1, timeout=2), [], "an unlisted program sent a code")

        playing = self.play("Game.exe")
        self.wait_for_code(STEREO_REVERSE, timeout=SWITCH_SECONDS)
        self.no_code_on_screen()
        playing.kill()
        self.wait_for_code(STEREO_OFF, timeout=SWITCH_SECONDS)
        self.assertEqual(self.codes(watch, 2), [STEREO_REVERSE, STEREO_OFF])
        self.assertRegex(lumoauto_status()[LUMOAUTO_STATUS],
                         r"^Game\.exe ended: Stereo - Off sent at \d\d:\d\d:\d\d$")

    def test_two_listed_programs_the_remaining_ones_command_then_off_after_the_last(self):
        self.add_rule("Game.exe", "stereo-reverse")
        self.add_rule("Player.exe", "stereo-normal")
        watch, _ = self.watching()
        game = self.play("Game.exe")
        self.assertEqual(self.codes(watch, 1), [STEREO_REVERSE])
        player = self.play("Player.exe")
        self.assertEqual(self.codes(watch, 2), [STEREO_REVERSE, STEREO_NORMAL])
        player.kill()
        self.assertEqual(self.codes(watch, 3), [STEREO_REVERSE, STEREO_NORMAL, STEREO_REVERSE])
        game.end()
        self.assertEqual(self.codes(watch, 4),
                         [STEREO_REVERSE, STEREO_NORMAL, STEREO_REVERSE, STEREO_OFF])

    def test_a_running_program_gets_its_code_when_lumoauto_starts_and_when_its_rule_changes(self):
        self.add_rule("Game.exe", "stereo-reverse")
        self.start()
        watch = self.watch()
        self.play("Game.exe")
        self.assertEqual(self.codes(watch, 1, timeout=2), [], "a code without lumoauto")
        self.start_lumoauto()
        self.assertEqual(self.codes(watch, 1), [STEREO_REVERSE])
        # Rules changed from the command line reach the running lumoauto at once.
        self.assertEqual(lumoauto("--remove", "Game.exe")[0], 0)
        self.assertEqual(self.codes(watch, 2), [STEREO_REVERSE, STEREO_OFF])
        self.add_rule("Game.exe", "stereo-normal")
        self.assertEqual(self.codes(watch, 3), [STEREO_REVERSE, STEREO_OFF, STEREO_NORMAL])

    def test_a_front_rule_switches_with_the_front_and_a_burst_of_switches_sends_little(self):
        self.add_rule("Game.exe", "stereo-reverse", "--when", "front")
        watch, _ = self.watching()
        other = self.play("Other.exe")
        game = self.play("Game.exe")
        self.wait_for_code(STEREO_REVERSE, timeout=SWITCH_SECONDS)
        self.assertEqual(probe("front", other.title), 0)
        self.wait_for_code(STEREO_OFF, timeout=SWITCH_SECONDS)
        self.assertEqual(self.codes(watch, 2), [STEREO_REVERSE, STEREO_OFF])
        # Twenty changes of the front within two seconds, ending on the game.
        self.assertEqual(probe("front", *[game.title, other.title] * 9, game.title, other.title), 0)
        burst = self.codes(watch, 6, timeout=BURST_SECONDS)[2:]
        self.assertLessEqual(len(burst), 3, f"the burst sent {burst}")

    def test_damaged_rule_values_skip_only_that_rule(self):
        store_number(RULES_KEY, r"C:\Games\Bad.exe", 2)
        store_text(RULES_KEY, "Broken.exe", "stereo-sideways running off-after")
        self.add_rule("Game.exe", "stereo-reverse")
        code, listed, _ = lumoauto("--list")
        self.assertEqual(code, 0)
        self.assertIn("Game.exe  stereo-reverse  running  off-after", listed)
        self.assertIn(r"C:\Games\Bad.exe  damaged, skipped: not text", listed)
        self.assertIn('Broken.exe  damaged, skipped: unknown command "stereo-sideways"', listed)
        watch, _ = self.watching()
        self.assertIn("Bad.exe", lumoauto_status()[LUMOAUTO_PROBLEMS])
        self.assertIn("Broken.exe", lumoauto_status()[LUMOAUTO_PROBLEMS])
        self.play("Game.exe")
        self.assertEqual(self.codes(watch, 1), [STEREO_REVERSE])
        self.play("Broken.exe")
        self.assertEqual(self.codes(watch, 2, timeout=2), [STEREO_REVERSE])

    def test_a_second_start_shows_the_running_ones_window_and_closing_it_keeps_watching(self):
        self.add_rule("Game.exe", "stereo-reverse")
        watch, auto = self.watching()
        self.assertIsNone(window_named(LUMOAUTO_TITLE), "shown in the background")
        self.assertEqual(lumoauto()[0], 0)
        window = shown_window(LUMOAUTO_TITLE)
        self.assertIsNotNone(window, "the running lumoauto's window did not come up")
        self.press_in(window, "Escape")
        self.assertTrue(wait_until(lambda: window_named(LUMOAUTO_TITLE) is None, 5),
                        "the window stayed")
        self.play("Game.exe")
        self.assertEqual(self.codes(watch, 1), [STEREO_REVERSE])
        self.assertIsNone(auto.process.poll(), "lumoauto ended")

    def test_a_hung_controller_holds_up_no_watching_nor_the_exit_and_gets_the_latest_command(self):
        self.add_rule("Game.exe", "stereo-reverse")
        self.add_rule("Player.exe", "stereo-normal")
        self.add_rule("Other.exe", "stereo-on")
        watch, auto = self.watching()
        status = lambda: lumoauto_status().get(LUMOAUTO_STATUS, "")
        hung = [int(pid) for pid, _ in running_programs("zezizer.exe")]
        self.assertTrue(hung, "no controller process")
        for pid in hung:
            os.kill(pid, signal.SIGSTOP)
        try:
            self.play("Game.exe")
            self.assertTrue(wait_until(lambda: "Game.exe started" in status(), 10), status())
            # The call to the controller waits; the watching goes on, and of the commands wanted
            # meanwhile only the latest waits for its turn.
            self.play("Other.exe")
            player = self.play("Player.exe")
            self.assertTrue(wait_until(
                lambda: "Player.exe started: Stereo - Normal sending" in status(), 10), status())
        finally:
            for pid in hung:
                os.kill(pid, signal.SIGCONT)
        self.assertEqual(self.codes(watch, 3, timeout=5), [STEREO_REVERSE, STEREO_NORMAL])
        # Exit while a call hangs: lumoauto ends all the same, and the call that returns after
        # its end harms neither it nor the controller.
        for pid in hung:
            os.kill(pid, signal.SIGSTOP)
        try:
            player.kill()
            self.assertTrue(wait_until(lambda: "Stereo - On sending" in status(), 10), status())
            probe("post-command", str(LUMOAUTO_EXIT), LUMOAUTO_CLASS)
            self.assertEqual(auto.process.wait(timeout=20), 0)
        finally:
            for pid in hung:
                os.kill(pid, signal.SIGCONT)
        self.assertEqual(send("stereo-off").returncode, 0)
        self.wait_for_code(STEREO_OFF, timeout=5)

    def test_without_the_controllers_class_it_says_so_and_the_next_change_tries_again(self):
        self.add_rule("Game.exe", "stereo-reverse")
        watch, auto = self.watching()
        try:
            self.assertEqual(register_server("/UnregServer"), 0)
            game = self.play("Game.exe")
            self.assertTrue(wait_until(
                lambda: "not registered" in lumoauto_status().get(LUMOAUTO_STATUS, ""), 10),
                lumoauto_status())
        finally:
            self.assertEqual(register_server("/RegServer"), 0)
        game.kill()
        self.assertEqual(self.codes(watch, 1), [STEREO_OFF])
        self.assertIsNone(auto.process.poll(), "lumoauto ended")

    def test_add_remove_and_list_round_trip_and_bad_input_is_refused(self):
        missing = r"C:\Games\Missing.exe"
        self.assertIn('kept, marked "not found"', self.add_rule(missing, "stereo-normal"))
        self.add_rule("Game.exe", "stereo-on-resync", "--when", "front", "--keep-on")
        self.assertIn("replaced the rule for game.exe (was: stereo-resync front keep-on)",
                      self.add_rule("game.exe", "stereo-on"))
        for arguments, said in (
                (("--add", "Game.exe", "--command", "stereo-up"),
                 "stereo-normal, stereo-reverse, stereo-resync, stereo-on"),
                (("--add", r"C:\windows", "--command", "stereo-on"), "is a folder"),
                (("--add", r"C:\windows\win.ini", "--command", "stereo-on"), "not a program"),
                (("--add", "Game.exe"), "--add needs --command"),
                (("--remove", "Nothing.exe"), "no rule for Nothing.exe"),
                (("--when", "later"), "running or front")):
            with self.subTest(arguments=arguments):
                code, _, errors = lumoauto(*arguments)
                self.assertEqual(code, 2)
                self.assertIn(said, errors)
                self.assertIn("usage: lumoauto", errors)
        code, listed, _ = lumoauto("--list", "--json")
        self.assertEqual(code, 0)
        self.assertEqual(sorted(json.loads(line)["program"] for line in listed.splitlines()),
                         [missing, "game.exe"])
        rules = {json.loads(line)["program"]: json.loads(line) for line in listed.splitlines()}
        self.assertEqual(rules[missing], {"program": missing, "command": "stereo-normal",
                                          "when": "running", "offAfter": True, "found": False})
        self.assertEqual((rules["game.exe"]["command"], rules["game.exe"]["offAfter"]),
                         ("stereo-on", True))
        self.assertEqual(lumoauto("--remove", missing)[0], 0)
        self.assertEqual(lumoauto("--remove", "GAME.EXE")[0], 0)
        self.assertEqual(lumoauto("--list")[:2], (0, ""))
        # The controller's own values beside the rules are left alone.
        self.assertEqual(stored(CONTROLLER_KEY), {})

    def test_lumosend_run_switches_on_for_the_program_and_returns_its_exit_code(self):
        self.start()
        watch = self.watch()
        self.play("Game.exe").end()  # the copy is made
        result = run("wine", LUMOSEND, "--run", "stereo-reverse", "--",
                     windows_path(os.path.join(GAMES, "Game.exe")), "play", "Game.exe", "7",
                     check=False)
        self.assertEqual(result.returncode, 7)
        self.assertEqual(self.codes(watch, 2), [STEREO_REVERSE, STEREO_OFF])


if __name__ == "__main__":
    run_suite([sys.argv[0], *sys.argv[2:]])
