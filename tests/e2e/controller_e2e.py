#!/usr/bin/env python3
"""The real ZEZIZER.exe under Wine, driven from outside as a user drives it: real mouse clicks on
its tray icon and real key presses through the X server, the pixels of the Wine desktop read back
from the screen, the settings read from the prefix's registry, the codes on the screen seen by
lumowatch: its tray menus, its Properties dialog, its hot-keys, its start and its exit.

Runs inside tools/run-tests (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: controller_e2e.py BUILD_DIR [unittest arguments]
"""

import os
import sys
import time

if len(sys.argv) > 1:
    os.environ["ZEZIZER_BUILD_DIR"] = sys.argv[1]

from wine_desktop import (  # noqa: E402,F401
    AWAY, CODES, CONTROLLER_KEY, DESKTOP_HEIGHT, DESKTOP_WIDTH, MOD_CONTROL, RUNNING_VERSION,
    SETTINGS_KEY, SHOTS, TRAY_ICON, VK_F10, VK_F11, Controller, ControllerTest, Probe, controls,
    menu_windows, probe, renew_desktop, run, run_suite, setUpModule, shown_window,
    source_ids, store_text, stored, tearDownModule, wait_until, window_named)


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
# The Properties dialog's controls that the tests click or read, and the interleave test's OK.
MODE_LIST, LCD_LIST, FIRST_HOT_KEY, SECOND_HOT_KEY, APPLY, FIRST_LABEL = source_ids(
    "res/resource.h", "IDC_MODE_LIST", "IDC_LCD_MODE_LIST", "IDC_HOTKEY1", "IDC_HOTKEY2",
    "IDC_PROPERTIES_APPLY", "IDC_HOTKEY1_LABEL")
IDOK = 1
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
        self.screen.click_control(dialog, MODE_LIST)
        self.press_in(dialog, "Down", "Down", "Return")
        # LCD Mode 2, one above LCD Mode Off; Set sends it at once.
        self.screen.click_control(dialog, LCD_LIST)
        self.press_in(dialog, "Up", "Return", "alt+e")
        codes.append(6)
        self.seen(watch, codes)
        # The hot-key control takes every key, Alt ones too: Apply is clicked.
        self.screen.click_control(dialog, FIRST_HOT_KEY)
        self.press_in(dialog, "ctrl+F9")
        self.screen.click_control(dialog, APPLY)
        self.assertTrue(wait_until(lambda: stored(SETTINGS_KEY)["Mode"] == 1, 5), "not applied")
        self.assertEqual({k: stored(SETTINGS_KEY)[k] for k in ("Mode", "LCD Mode", "Hot-Key 1")},
                         {"Mode": 1, "LCD Mode": 2, "Hot-Key 1": CTRL_F9})
        self.close(dialog, PROPERTIES)

        dialog = self.open_properties(watch, codes)
        shown = controls(PROPERTIES)
        self.assertEqual({i: shown[i] for i in (MODE_LIST, LCD_LIST, FIRST_HOT_KEY,
                                                FIRST_LABEL)},
                         {MODE_LIST: "Page Flip", LCD_LIST: "LCD Mode 2",
                          FIRST_HOT_KEY: CTRL_F9, FIRST_LABEL: "Stereo - On/Resync:"})
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
        self.screen.click_control(dialog, FIRST_HOT_KEY)
        self.press_in(dialog, "ctrl+F11")
        self.screen.click_control(dialog, SECOND_HOT_KEY)
        self.press_in(dialog, "ctrl+F10")
        self.screen.click_control(dialog, APPLY)
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
        self.screen.click_control(test, IDOK)
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
        # The next case needs a desktop at its size with the taskbar, which Wine 10 does not bring
        # back from 800x600: a new one, once this case's programs have ended.
        self.addCleanup(lambda: self.assertTrue(renew_desktop(), "Wine's desktop did not end"))
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




if __name__ == "__main__":
    run_suite([sys.argv[0], *sys.argv[2:]])
