#!/usr/bin/env python3
"""lumoeyes under Wine, driven from outside: the test picture of each mode read back from the
screen, the codes the controller paints when the test starts, swaps the eyes and ends (seen by
lumowatch), and its command line.

Runs inside tools/run-tests (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: lumoeyes_e2e.py BUILD_DIR [unittest arguments]
"""

import json
import os
import subprocess
import sys

if len(sys.argv) > 1:
    os.environ["ZEZIZER_BUILD_DIR"] = sys.argv[1]
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_desktop import *  # noqa: E402,F403
from controller_e2e import ControllerTest, setUpModule, tearDownModule  # noqa: E402,F401

LUMOEYES = os.path.join(BUILD, "lumoeyes.exe")
TITLE = "Vorn Controller Eye Test"
STEREO_NORMAL, STEREO_REVERSE, STEREO_RESYNC, STEREO_ON, STEREO_OFF = 1, 2, 3, 4, 1000
MIDDLE = (DESKTOP_WIDTH // 2, DESKTOP_HEIGHT // 2)
# The colour of the lines below the views.
TEXT_INK = (24, 28, 36)


def lumoeyes(*arguments):
    return run("timeout", str(WINE_TIMEOUT), "wine", LUMOEYES, *arguments, check=False)


class EyeTest(ControllerTest):
    @classmethod
    def setUpClass(cls):
        assert register_server() == 0, "RegServer failed"

    def begin(self, settings, *arguments, expected_code):
        """The controller over the settings, lumowatch watching, then lumoeyes with the arguments,
        once its first code has come and gone."""
        self.store_matching(settings)
        self.start()
        self.watched = self.watch()
        self.tests = []
        return self.another(*arguments, codes=[expected_code])

    def another(self, *arguments, codes):
        process = subprocess.Popen(["timeout", "120", "wine", LUMOEYES, *arguments], cwd=BUILD,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(stop, process, 1)
        self.tests.append(process)
        self.told = getattr(self, "told", []) + codes
        self.seen(self.watched, self.told)
        self.screen.point_at(MIDDLE)
        return process

    def ended(self, process, *codes):
        stop(process)
        self.assertEqual(process.returncode, 0)
        self.told += list(codes)
        self.seen(self.watched, self.told)

    def inked_rows(self):
        """The rows of the desktop that show the left eye's ink, and those that show the right's."""
        rows = self.screen.grab(0, 0, DESKTOP_WIDTH, DESKTOP_HEIGHT)
        left = {y for y, row in enumerate(rows) if LEFT_INK in row}
        right = {y for y, row in enumerate(rows) if RIGHT_INK in row}
        return left, right

    def test_interleaved_gives_each_eye_its_rows_r_reverses_and_esc_switches_off(self):
        test = self.begin({"Active": 0}, "interleaved", expected_code=STEREO_NORMAL)
        left, right = self.inked_rows()
        self.assertTrue(left and right, "no letters on the screen")
        self.assertTrue(all(y % 2 == 0 for y in left), sorted(left)[:10])
        self.assertTrue(all(y % 2 == 1 for y in right), sorted(right)[:10])
        self.screen.keys("r")
        self.told.append(STEREO_REVERSE)
        self.seen(self.watched, self.told)
        self.assertEqual(stored(CONTROLLER_KEY)["Reverse"], 1)
        self.screen.keys("Escape")
        self.ended(test, STEREO_OFF)

    def test_over_under_puts_the_left_view_on_top_and_a_close_restores_the_command_that_was_on(self):
        test = self.begin({"Active": 1, "Reverse": 1, "Mode": 2}, expected_code=STEREO_ON)
        left, right = self.inked_rows()
        self.assertTrue(left and right, "no letters on the screen")
        self.assertLess(max(left), DESKTOP_HEIGHT // 2)
        self.assertGreaterEqual(min(right), DESKTOP_HEIGHT // 2)
        self.screen.keys("alt+F4")
        self.ended(test, STEREO_ON)

    def test_a_second_test_ends_the_first_which_puts_the_glasses_back_first(self):
        first = self.begin({"Active": 1, "Reverse": 1, "Mode": 0}, "interleaved",
                           expected_code=STEREO_REVERSE)
        second = self.another("over-under", codes=[STEREO_REVERSE, STEREO_ON])
        stop(first)
        self.assertEqual(first.returncode, 0)
        self.screen.click(MIDDLE)
        self.ended(second, STEREO_REVERSE)

    def test_page_flip_shows_whole_frames_of_each_eye_in_turns(self):
        test = self.begin({"Active": 0}, "page-flip", expected_code=STEREO_RESYNC)
        frames = set()

        def both_eyes_seen():
            left, right = self.inked_rows()
            # A whole frame is one eye's: both letters at once would be a mixed frame.
            self.assertFalse(left and right, "a frame with both eyes' letters")
            frames.add("L" if left else "R" if right else "-")
            return {"L", "R"} <= frames

        self.assertTrue(wait_until(both_eyes_seen, 30), frames)
        # Its lines, one more than the other pictures have, all fit above the screen's bottom.
        bottom_row = self.screen.grab(0, DESKTOP_HEIGHT - 1, DESKTOP_WIDTH, 1)[0]
        self.assertFalse(TEXT_INK in bottom_row, "the last line is cut off")
        self.screen.keys("Escape")
        self.ended(test, STEREO_OFF)

    def test_the_command_line(self):
        timing = lumoeyes("--timing", "2", "--json")
        self.assertIn(timing.returncode, (0, 1, 3), timing.stdout)
        # Wine has DXGI 1.2: its flip model presents, whether or not it tells statistics.
        self.assertEqual(json.loads(timing.stdout)["presenter"], "DXGI flip model", timing.stdout)
        for arguments in (("sideways",), ("--json",), ("--timing", "0"), ("over-under", "--timing",
                                                                           "2")):
            with self.subTest(arguments=arguments):
                self.assertEqual(lumoeyes(*arguments).returncode, 2)
        self.assertIn("usage: lumoeyes", lumoeyes("/?").stdout)

    def test_started_without_a_console_it_shows_its_error_in_a_message_box(self):
        # As from the Start menu: start gives the program no console and no output of its own.
        process = subprocess.Popen(["timeout", "120", "wine", "start", "/wait", "/unix", LUMOEYES,
                                    "sideways"], cwd=BUILD, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, process, 1)
        box = shown_window(TITLE, 30)
        self.assertIsNotNone(box, "no message box")
        # A message box: its button, IDOK (its text has no id of its own to read it by).
        self.assertEqual(controls(TITLE).get(1), "OK")
        run("xdotool", "key", "--window", box, "Return")
        stop(process)
        self.assertEqual(process.returncode, 2)


if __name__ == "__main__":
    run_suite([sys.argv[0], *sys.argv[2:]])
