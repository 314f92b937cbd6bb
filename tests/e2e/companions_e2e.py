#!/usr/bin/env python3
"""The companions beside the real ZEZIZER.exe under Wine: lumoauto switching by program, watching
copies of the probe that play the game; lumoeyes, its test picture of each mode read back from the
screen, the codes the controller paints when the test starts, swaps the eyes and ends, and its
command line. lumowatch sees the codes on the screen.

Runs inside tools/run-tests (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: companions_e2e.py BUILD_DIR [unittest arguments]
"""

import json
import os
import signal
import subprocess
import sys

if len(sys.argv) > 1:
    os.environ["ZEZIZER_BUILD_DIR"] = sys.argv[1]

from wine_desktop import (  # noqa: E402,F401
    BUILD, CONTROLLER_KEY, DESKTOP_HEIGHT, DESKTOP_WIDTH, GAMES, LEFT_INK, LUMOAUTO_CLASS,
    LUMOAUTO_EXIT, LUMOAUTO_PROBLEMS, LUMOAUTO_STATUS, LUMOAUTO_TITLE, LUMOSEND, RIGHT_INK,
    RULES_KEY, WINE_TIMEOUT, ControllerTest, Game, Lumoauto, controls, lumoauto, lumoauto_status,
    probe, register_server, run, run_suite, running_programs, send, setUpModule, shown_window, stop,
    store_number, store_text, stored, tearDownModule, wait_until, window_named, windows_path)


# How long a listed program's code may take to show after its start, its end or its coming to
# the front: a bound for one that never comes (a front rule is seen once a second under Wine, no
# foreground event reaches another process, and taken once two looks agree); how soon it comes
# is the bench's to measure.
SWITCH_SECONDS = 15
# How long the codes a burst of changes of the front sends are counted.
BURST_SECONDS = 4
STEREO_NORMAL, STEREO_REVERSE, STEREO_RESYNC, STEREO_ON, STEREO_OFF = 1, 2, 3, 4, 1000


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

LUMOEYES = os.path.join(BUILD, "lumoeyes.exe")
EYE_TEST_TITLE = "Vorn Controller Eye Test"
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
        box = shown_window(EYE_TEST_TITLE, 30)
        self.assertIsNotNone(box, "no message box")
        # A message box: its button, IDOK (its text has no id of its own to read it by).
        self.assertEqual(controls(EYE_TEST_TITLE).get(1), "OK")
        # Return to the box's X window, looked up again should Wine have replaced it meanwhile.
        def answered():
            box = window_named(EYE_TEST_TITLE)
            return box is not None and run("xdotool", "key", "--window", box, "Return",
                                           check=False).returncode == 0

        self.assertTrue(wait_until(answered, 10), "Return did not reach the box")
        stop(process)
        self.assertEqual(process.returncode, 2)


if __name__ == "__main__":
    run_suite([sys.argv[0], *sys.argv[2:]])
