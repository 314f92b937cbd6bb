#!/usr/bin/env python3
"""The Windows test kit of `make wintest` run as a user runs it: unpacked into a folder of its own
on the C: drive, run-tests.cmd started with cmd, its summary read back. The user's settings key,
seeded with values of several types and a subkey, is byte for byte what it was before, after a
run (the quick one; the whole one with ZEZIZER_KIT_WHOLE=1, as make stress sets it) and after a
run killed halfway and started again; the user's controller is ended before
and running again after; nothing the tests registered is left.

The kit runs as on a stranger's machine: without the harness's ZEZIZER_TEST_RUN and
ZEZIZER_BUILD_DIR, so the tests that need the harness skip themselves.
Runs inside tools/run-tests (DISPLAY and WINEPREFIX come from there).
Usage: kit_test.py BUILD_DIR VERSION [unittest arguments]
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

BUILD_DIR, VERSION = sys.argv[1], sys.argv[2]
del sys.argv[1:3]
os.environ["ZEZIZER_BUILD_DIR"] = BUILD_DIR

from wine_desktop import (  # noqa: E402
    BUILD, CONTROLLER, MENU_EXIT, PROBE, delete_settings, run, run_suite, stop, store_number,
    store_text, wait_until)

KIT_NAME = f"ZEZIZER-{VERSION}-tests"
KIT_ZIP = os.path.join(BUILD, "dist", KIT_NAME + ".zip")
DRIVE_C = os.path.join(os.environ["WINEPREFIX"], "drive_c")
SETTINGS_ROOT = r"HKCU\Software\Corvane"
CLASS_KEY = r"HKCR\CLSID\{CD4EE6B2-6D9E-4B89-A488-AEC7B52E0AF8}"
TYPE_LIBRARY_KEY = r"HKCR\TypeLib\{4D841E28-F3BC-4A0E-9C15-3023099BD704}"
KIT_TIMEOUT = 900
# ctest has just run every test program: here the quick run proves the runner (what it saves,
# puts back, ends and starts again). make stress runs the kit whole, every program under cmd
# without the harness, as on a stranger's machine.
WHOLE_RUN = () if os.environ.get("ZEZIZER_KIT_WHOLE") else ("/quick",)
# The runs that prove what the runner puts right need a program that writes the settings (the
# first, which the killed run waits for) and one that registers the server, not the quick five.
RUNNER_PROGRAMS = ("settings_store_test", "server_registration_test")
SUMMARY_LINE = re.compile(r"^(\d+) passed, (\d+) failed, (\d+) skipped$")

# The user's own settings: every type of value, a default value and keys below.
SEEDED_KEYS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Corvane\Lumo Controller]
@="the user's default"
"Active"=dword:00000001
"Reverse"=dword:00000000
"Version"="2.6.1.0"
"User Text"="with \"quotes\", \\backslashes\\ and ; semicolons"
"User Binary"=hex:00,ff,10,20,7f
"User Multi"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00
"User Expand"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00
"User Quad"=hex(b):01,02,03,04,05,06,07,08
"User Nothing"=hex(0):

[HKEY_CURRENT_USER\Software\Corvane\Lumo Controller\Settings]
"Hardware"=dword:00000000
"Mode"=dword:00000002
"Hot-Key 1"=dword:00000679

[HKEY_CURRENT_USER\Software\Corvane\Lumo Controller\Settings\Deeper]
"Kept"="below the settings"
"""


def windows_env():
    """The environment of a program on a user's machine: none of the harness's marks."""
    env = dict(os.environ)
    for name in ("ZEZIZER_TEST_RUN", "ZEZIZER_BUILD_DIR"):
        env.pop(name, None)
    return env


def windows_path(unix):
    return run("winepath", "-w", unix).stdout.strip()


def settings_export():
    """The settings key as reg export writes it, or None when it is missing."""
    with tempfile.NamedTemporaryFile(dir=DRIVE_C, suffix=".reg", delete=False) as file:
        path = file.name
    try:
        result = run("wine", "reg", "export", SETTINGS_ROOT, windows_path(path), "/y", check=False)
        if result.returncode != 0:
            return None
        with open(path, "rb") as exported:
            return exported.read()
    finally:
        os.remove(path)


def seed_settings():
    delete_settings()
    with tempfile.NamedTemporaryFile("w", dir=DRIVE_C, suffix=".reg", delete=False) as file:
        file.write(SEEDED_KEYS.replace("\n", "\r\n"))
    try:
        run("wine", "reg", "import", windows_path(file.name))
    finally:
        os.remove(file.name)


def key_exists(key):
    return run("wine", "reg", "query", key, check=False).returncode == 0


def controllers_running():
    return run("wine", PROBE, "wait-ready", "0", check=False).returncode == 0


class Kit:
    """The kit unpacked into a folder of its own on the prefix's C: drive."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="zezizer-kit-", dir=DRIVE_C)
        with zipfile.ZipFile(KIT_ZIP) as kit:
            kit.extractall(self.folder)
        self.top = os.path.join(self.folder, KIT_NAME)
        self.output = tempfile.TemporaryFile("w+", errors="replace")

    def start(self, *options):
        """run-tests.cmd as a prompt runs it; its output goes through a file (see run()). The
        process is cmd itself, which a kill ends at once as a power cut would."""
        self.output.seek(0)
        self.output.truncate()
        return subprocess.Popen(["wine", "cmd", "/c", "run-tests.cmd", "/nopause", *options],
                                cwd=self.top, env=windows_env(), stdin=subprocess.DEVNULL,
                                stdout=self.output, stderr=subprocess.STDOUT)

    def run(self, *options):
        """The whole run's console output."""
        runner = self.start(*options)
        try:
            runner.wait(timeout=KIT_TIMEOUT)
        finally:
            runner.kill()
            runner.wait()
        self.output.seek(0)
        return self.output.read()

    def quick_list(self, *programs):
        """Makes /quick run these programs."""
        with open(os.path.join(self.top, "tests", "quick.txt"), "w", newline="\r\n") as quick:
            quick.write("\n".join(programs) + "\n")

    def results(self, name):
        return os.path.join(self.top, "results", name)

    def remove(self):
        self.output.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class UsersController:
    """A controller that the user started before the kit, from a folder other than the kit's."""

    def __init__(self):
        self.process = subprocess.Popen(["timeout", str(KIT_TIMEOUT), "wine", CONTROLLER],
                                        cwd=BUILD, env=windows_env(), stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def end(self):
        end_controller()
        stop(self.process)


def end_controller():
    """Ends whichever controller runs through its own Exit."""
    run("wine", PROBE, "post-command", str(MENU_EXIT), check=False)
    wait_until(lambda: not controllers_running(), 20)


class KitTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.path.exists(KIT_ZIP), "make wintest first")
        self.kit = Kit()
        seed_settings()

    def tearDown(self):
        end_controller()
        self.kit.remove()
        delete_settings()

    def assertPassed(self, output):
        lines = [line.strip() for line in output.splitlines() if line.strip()]
        self.assertTrue(lines, "run-tests.cmd wrote nothing")
        match = SUMMARY_LINE.match(lines[-1])
        with open(os.path.join(self.kit.top, "summary.txt"), errors="replace") as summary:
            summary_text = summary.read()
        self.assertIsNotNone(match, output)
        self.assertEqual(match.group(2), "0", summary_text)
        self.assertGreater(int(match.group(1)), 0, summary_text)
        self.assertEqual(summary_text.splitlines()[-1], lines[-1])
        for line in ("Windows: ", "System: ", "Administrator rights: ", "Display scaling: "):
            self.assertIn(line, summary_text)

    def test_a_run_passes_and_leaves_the_settings_and_the_users_controller_as_they_were(self):
        # The user's controller writes its state when it ends; started again it writes the same
        # at its next end, so the settings are taken after a first end.
        first = UsersController()
        self.assertTrue(wait_until(controllers_running, 20))
        first.end()
        before = settings_export()
        registered = key_exists(CLASS_KEY), key_exists(TYPE_LIBRARY_KEY)
        users = UsersController()
        self.assertTrue(wait_until(controllers_running, 20))

        started = time.monotonic()
        output = self.kit.run(*WHOLE_RUN)
        lines = output.strip().splitlines()
        print(f"the kit's {'quick' if WHOLE_RUN else 'whole'} run took "
              f"{time.monotonic() - started:.0f} s and ended with "
              f"{lines[-1] if lines else 'nothing'}", file=sys.stderr)

        self.assertPassed(output)
        self.assertTrue(os.path.exists(self.kit.results("settings_store_test.xml")))
        self.assertTrue(wait_until(lambda: users.process.poll() is not None, 10),
                        "the kit did not end the user's controller")
        self.assertIn("Starting the controller again", output)
        self.assertTrue(wait_until(controllers_running, 20), "the user's controller is not back")
        end_controller()
        users.end()
        self.assertEqual(settings_export(), before)
        self.assertEqual((key_exists(CLASS_KEY), key_exists(TYPE_LIBRARY_KEY)), registered,
                         "the server's registration is not as it was")

    def test_a_run_killed_halfway_is_put_right_by_the_next_run(self):
        self.kit.quick_list(*RUNNER_PROGRAMS)
        before = settings_export()
        runner = self.kit.start("/quick")
        first = self.kit.results("settings_store_test.log")
        self.assertTrue(wait_until(lambda: os.path.exists(first), 120), "no test program started")
        runner.kill()
        runner.wait()
        # What the test programs change on the way, whether or not they came to it.
        store_text(SETTINGS_ROOT + r"\Lumo Controller", "Version", "changed halfway")
        store_number(SETTINGS_ROOT + r"\Added Halfway", "Value", 1)
        self.assertNotEqual(settings_export(), before)

        output = self.kit.run("/quick")

        self.assertIn("An earlier run did not end", output)
        self.assertPassed(output)
        self.assertEqual(settings_export(), before)

    def test_without_settings_the_key_stays_missing(self):
        delete_settings()
        self.kit.quick_list(*RUNNER_PROGRAMS)
        self.kit.run("/quick")
        self.assertIsNone(settings_export())


if __name__ == "__main__":
    run_suite(sys.argv)
