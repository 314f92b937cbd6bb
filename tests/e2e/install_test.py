#!/usr/bin/env python3
"""The installer of `make dist` under Wine in a throwaway 64-bit prefix, as a user on 64-bit
Windows meets it: a silent install into Program Files (x86); the README's script examples in the
64-bit and the 32-bit cscript and its C++ example built as a 64-bit program reach the installed
controller, which COM starts, and their codes reach the screen; lumoauto is installed with its
shortcut and its log-on start; an install over the running controller and lumoauto ends them the
way their Exit does and starts the new ones; the uninstaller ends them and leaves nothing but the
user's settings and program rules, and running it again does no harm. Installed for the user
alone (/CURRENTUSER), everything goes to the user's folder and hive and nothing to the machine's,
and the uninstaller takes exactly that away. Where this machine runs no 32-bit code
(tools/wine-arch), the tested tree's 64-bit test installer (tools/dist) goes through the same
checks in the 64-bit layout: Program Files, the 64-bit view, no 32-bit cscript. The README and the
documents beside it, which ship in the zip, link only to files and headings that exist
(DocumentLinks, which needs no Wine: `install_test.py BUILD_DIR VERSION DocumentLinks`).

Runs inside tools/run-tests (DISPLAY comes from there; the prefix is the test's own).
Usage: install_test.py BUILD_DIR VERSION [unittest arguments]
"""

import filecmp
import glob
import os
import re
import shutil
import subprocess
import sys
import unittest

BUILD_DIR, VERSION = sys.argv[1], sys.argv[2]
del sys.argv[1:3]
os.environ["ZEZIZER_BUILD_DIR"] = BUILD_DIR
HERE = os.path.dirname(os.path.abspath(__file__))

from wine_desktop import (  # noqa: E402
    BUILD, CONTROLLER_KEY, LUMOAUTO_TITLE, RULES_KEY, Watch, lumoauto, probe, run, run_suite,
    running_programs, stop, stored, wait_until)

TOOLS = os.path.join(HERE, "..", "..", "tools")
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
EXAMPLES = os.path.join(SOURCE, "examples")
PREFIX = os.path.join(BUILD, "wineprefix-install")
CLIENT64 = os.path.join(BUILD, "tests", "stereo64.exe")

# The installer, the program it must carry, and where it installs: the one that ships, 32-bit,
# or where 32-bit programs cannot run, the 64-bit test installer of the tested tree's programs.
WIN64 = run(os.path.join(TOOLS, "wine-arch")).stdout.strip() == "win64"
if WIN64:
    SETUP = os.path.join(BUILD, "dist-test", f"ZEZIZER-{VERSION}-setup.exe")
    SHIPPED = os.path.join(BUILD, "ZEZIZER.exe")
    PROGRAM_FILES, VIEW = r"C:\Program Files", 64
else:
    SETUP = os.path.join(BUILD, "dist", f"ZEZIZER-{VERSION}-setup.exe")
    SHIPPED = os.path.join(BUILD, "release", "ZEZIZER.exe")
    PROGRAM_FILES, VIEW = r"C:\Program Files (x86)", 32
CSCRIPT_32 = r"C:\windows\syswow64\cscript.exe"

INSTALL_DIR = PROGRAM_FILES + r"\ZEZIZER"
INSTALLED = INSTALL_DIR + r"\ZEZIZER.exe"
UNINSTALLER = INSTALL_DIR + r"\uninstall.exe"
PROGRAMS = ("ZEZIZER.exe", "lumosend.exe", "lumowatch.exe", "lumoauto.exe", "lumoeyes.exe")
SWITCHER = INSTALL_DIR + r"\lumoauto.exe"
START_MENU = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
SHORTCUT = START_MENU + r"\Vorn Controller.lnk"
SWITCHER_SHORTCUT = START_MENU + r"\Vorn Controller Programs.lnk"
EYE_TEST_SHORTCUT = START_MENU + r"\Vorn Controller Eye Test.lnk"

CLASS_KEY = r"HKCR\CLSID\{CD4EE6B2-6D9E-4B89-A488-AEC7B52E0AF8}"
PROG_ID_KEY = r"HKCR\ZEZIZER.LumoCode"
TYPE_LIBRARY_KEY = r"HKLM\Software\Classes\TypeLib\{4D841E28-F3BC-4A0E-9C15-3023099BD704}"
INTERFACE_KEY = r"HKLM\Software\Classes\Interface\{8981EAAD-8600-41A8-AD58-CBAA335C022C}"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEZIZER"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
INSTALLED_KEYS = (CLASS_KEY, PROG_ID_KEY, TYPE_LIBRARY_KEY, INTERFACE_KEY, UNINSTALL_KEY)
STEREO_NORMAL, STEREO_OFF = 1, 1000
SETUP_TIMEOUT = 120


def wine_env_shell(command):
    """A command of tools/wine-env.sh with this test's 64-bit prefix."""
    subprocess.run(["bash", "-c", f'. "{TOOLS}/wine-env.sh" && wine_env_init "{PREFIX}" && '
                    f"export WINEARCH=win64 && {command}"], check=True, timeout=600)


def unix_path(windows_path):
    return run("winepath", "-u", windows_path).stdout.strip()


def gone(windows_path):
    """Whether a folder is gone. Wine's lookup of a name fails while its folder is being removed:
    the folder above is looked up, and the name joined here."""
    above, name = windows_path.rsplit("\\", 1)
    return not os.path.exists(os.path.join(unix_path(above), name))


def key_exists(key, view):
    return run("wine", "reg", "query", key, f"/reg:{view}", check=False).returncode == 0


def controllers(program="zezizer.exe"):
    """The command lines of the controllers (or other programs) running in this prefix."""
    return running_programs(program, PREFIX)


def runs_installed(command_line, installed=INSTALLED):
    """Whether a controller's command line (the short path COM registered, or the long one) names
    the installed file."""
    program = command_line.split(" -")[0].strip('"')
    return os.path.samefile(unix_path(program), unix_path(installed))


def windows_folder(variable):
    return run("wine", "cmd", "/c", f"echo %{variable}%").stdout.strip()


def machine_keys():
    """HKLM\\Software (the rest holds the system's changing hardware data) by key as reg export
    writes it, without the type library and interface keys that Wine's RegisterTypeLibForUser
    writes there (it registers "for the user" system-wide)."""
    export = os.path.join(PREFIX, "machine.reg")
    run("wine", "reg", "export", r"HKLM\Software", "Z:" + export.replace("/", "\\"), "/y")
    with open(export, encoding="utf-16") as text:
        blocks = text.read().split("\n\n")
    return {block.split("\n", 1)[0]: block for block in blocks
            if "4D841E28-F3BC-4A0E-9C15-3023099BD704" not in block.upper()
            and "8981EAAD-8600-41A8-AD58-CBAA335C022C" not in block.upper()}


def setup(*switches):
    return run("wine", SETUP, "/S", *switches, timeout=SETUP_TIMEOUT, check=False)


class InstallTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        shutil.rmtree(PREFIX, ignore_errors=True)
        os.environ.update(WINEPREFIX=PREFIX, WINEARCH="win64")
        wine_env_shell("wine_prefix_ensure yes")

    @classmethod
    def tearDownClass(cls):
        run("wineserver", "-k", check=False)

    def sends(self, watch, command, *client, cwd=None):
        """Runs a client and expects its code, exact, as the next one on the screen."""
        seen = len(watch.sightings())
        result = run("wine", *client, cwd=cwd, check=False)
        self.assertEqual(result.returncode, 0, f"{client} failed: {result.stdout}")
        self.expect_code(watch, seen, command, client)

    def expect_code(self, watch, seen, command, what):
        sightings = watch.wait_for(seen + 1, timeout=10)[seen:]
        self.assertTrue(sightings, f"no code on the screen after {what}")
        self.assertEqual((sightings[0]["command"], sightings[0]["exact"]), (command, True), what)

    def assert_removed(self, folder):
        """Nothing is left of an installation for everyone into FOLDER."""
        # The uninstaller goes on in a copy of itself after the one started has ended.
        self.assertTrue(wait_until(lambda: gone(folder), 30),
                        f"the installed folder {folder} stays")
        self.assertTrue(wait_until(lambda: not key_exists(UNINSTALL_KEY, VIEW), 10))
        for key in INSTALLED_KEYS:
            for view in (32, 64):
                self.assertFalse(key_exists(key, view), f"{key} stays in the {view}-bit view")
        for view in (32, 64):
            self.assertFalse({"ZEZIZER", "LumoAuto"} & set(stored(RUN_KEY, view)), view)
        self.assertFalse(os.path.exists(unix_path(SHORTCUT)))
        self.assertFalse(os.path.exists(unix_path(SWITCHER_SHORTCUT)))
        self.assertFalse(os.path.exists(unix_path(EYE_TEST_SHORTCUT)))

    def wait_for_controllers(self, count, what):
        self.assertTrue(wait_until(lambda: len(controllers()) == count, 20),
                        f"{what}: controllers {controllers()}, {count} expected")

    def test_install_for_me_only_and_uninstall(self):
        machine = machine_keys()
        self.assertEqual(setup("/CURRENTUSER").returncode, 0, "the silent install for me failed")
        folder = windows_folder("LOCALAPPDATA") + r"\Programs\ZEZIZER"
        for program in PROGRAMS:
            self.assertTrue(os.path.isfile(unix_path(folder + "\\" + program)), program)
        classes = r"HKCU\Software\Classes"
        server = stored(classes + CLASS_KEY[4:] + r"\LocalServer32", VIEW)["(Default)"]
        self.assertTrue(os.path.samefile(unix_path(server.strip('"')),
                                         unix_path(folder + r"\ZEZIZER.exe")), server)
        self.assertTrue(key_exists(classes + PROG_ID_KEY[4:] + r"\CLSID", VIEW))
        # Where 64-bit clients find the interface's marshalling: the 32-bit server writes the user's
        # 64-bit view itself; a 64-bit one leaves it to RegisterTypeLibForUser (Wine's: under HKLM).
        user_interface = classes + INTERFACE_KEY[len(r"HKLM\Software\Classes"):]
        user_interface = INTERFACE_KEY if WIN64 else user_interface
        self.assertEqual(stored(user_interface + r"\ProxyStubClsid32", 64).get("(Default)"),
                         "{00020424-0000-0000-C000-000000000046}")
        user_run = stored("HKCU" + RUN_KEY[4:], VIEW)
        self.assertEqual(user_run.get("ZEZIZER"), f'"{folder}\\ZEZIZER.exe"')
        self.assertEqual(user_run.get("LumoAuto"), f'"{folder}\\lumoauto.exe" --background')
        start_menu = windows_folder("APPDATA") + r"\Microsoft\Windows\Start Menu\Programs"
        for link in ("Vorn Controller.lnk", "Vorn Controller Programs.lnk",
                     "Vorn Controller Eye Test.lnk"):
            self.assertTrue(os.path.isfile(unix_path(start_menu + "\\" + link)), link)
        entry = stored("HKCU" + UNINSTALL_KEY[4:], VIEW)
        self.assertEqual(entry.get("QuietUninstallString"), f'"{folder}\\uninstall.exe" /S')
        self.assertEqual(machine_keys(), machine, "the install for me wrote under HKLM")

        self.assertEqual(run("wine", folder + r"\uninstall.exe", "/S", check=False).returncode, 0)
        self.assertTrue(wait_until(lambda: gone(folder), 30),
                        "the installed folder stays")
        self.assertTrue(wait_until(lambda: not key_exists("HKCU" + UNINSTALL_KEY[4:], VIEW), 10))
        for key in (CLASS_KEY, PROG_ID_KEY):
            self.assertFalse(key_exists(classes + key[4:], VIEW), key)
        self.assertFalse(key_exists(user_interface, 64))
        self.assertFalse({"ZEZIZER", "LumoAuto"} & set(stored("HKCU" + RUN_KEY[4:], VIEW)))
        self.assertFalse(os.path.exists(unix_path(start_menu + r"\Vorn Controller.lnk")))
        self.assertEqual(machine_keys(), machine, "the uninstall for me changed HKLM")

    def test_install_use_upgrade_uninstall(self):
        watch = Watch(timeout_ms=300000)
        self.addCleanup(watch.end)
        self.assertTrue(watch.ready(), "lumowatch did not start")

        # A folder where nothing can be written (a drive on Linux's /proc, which refuses even
        # root): a failure, and nothing installed.
        os.symlink("/proc", os.path.join(PREFIX, "dosdevices", "p:"))
        self.assertEqual(setup(r"/D=P:\ZEZIZER").returncode, 2)
        for key in (CLASS_KEY, UNINSTALL_KEY):
            self.assertFalse(key_exists(key, VIEW), key)

        self.assertEqual(setup().returncode, 0, "the silent install failed")
        self.assertTrue(filecmp.cmp(unix_path(INSTALLED), SHIPPED, shallow=False),
                        f"the installer does not carry {SHIPPED}")
        for program in PROGRAMS:
            self.assertTrue(os.path.isfile(unix_path(INSTALL_DIR + "\\" + program)), program)
        server = stored(CLASS_KEY + r"\LocalServer32", VIEW)["(Default)"]
        self.assertTrue(runs_installed(server), server)
        self.assertTrue(os.path.isfile(unix_path(SHORTCUT)))
        self.assertTrue(os.path.isfile(unix_path(SWITCHER_SHORTCUT)))
        self.assertTrue(os.path.isfile(unix_path(EYE_TEST_SHORTCUT)))
        self.assertEqual(stored(RUN_KEY, VIEW).get("ZEZIZER"), f'"{INSTALLED}"')
        self.assertEqual(stored(RUN_KEY, VIEW).get("LumoAuto"), f'"{SWITCHER}" --background')
        entry = stored(UNINSTALL_KEY, VIEW)
        self.assertEqual((entry["DisplayName"], entry["DisplayVersion"], entry["Publisher"]),
                         ("Vorn Controller", VERSION, "Corvane"))
        self.assertEqual(entry["QuietUninstallString"], f'"{UNINSTALLER}" /S')
        # 64-bit clients find the interface's marshalling in the 64-bit view (under Wine its
        # RegisterTypeLib writes that view too, so here this shows the outcome, not the
        # installer's part).
        self.assertEqual(stored(INTERFACE_KEY + r"\ProxyStubClsid32", 64)["(Default)"],
                         "{00020424-0000-0000-C000-000000000046}")

        # COM starts the installed controller for the 64-bit cscript; the others reach it.
        self.assertEqual(controllers(), [])
        self.sends(watch, STEREO_NORMAL, "cscript", "//nologo", "stereo.vbs", cwd=EXAMPLES)
        started = controllers()
        self.assertEqual(len(started), 1, started)
        self.assertTrue(runs_installed(started[0][1]), started)
        if WIN64:
            print("the 32-bit cscript left out: this machine runs no 32-bit code", file=sys.stderr)
        cscript = "cscript" if WIN64 else CSCRIPT_32
        self.sends(watch, STEREO_OFF, cscript, "//nologo", "stereo-off.js", cwd=EXAMPLES)
        self.sends(watch, STEREO_NORMAL, CLIENT64)

        # The installed lumoauto, with a rule, watching as after a log-on.
        code, _, errors = lumoauto("--add", "Game.exe", "--command", "stereo-reverse",
                                  program=SWITCHER)
        self.assertEqual(code, 0, errors)
        switcher = subprocess.Popen(["timeout", "300", "wine", SWITCHER, "--background"],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        self.addCleanup(stop, switcher)
        self.assertTrue(wait_until(lambda: probe("controls", LUMOAUTO_TITLE) == 0, 30),
                        "the installed lumoauto did not start")

        # Over the running controller and lumoauto: they end, the controller with the stereo-off
        # code, and the new ones start.
        seen = len(watch.sightings())
        self.assertEqual(setup().returncode, 0, "the install over the running controller failed")
        self.assertEqual(switcher.wait(timeout=10), 0, "the upgrade did not end lumoauto")
        self.expect_code(watch, seen, STEREO_OFF, "the upgrade's end of the controller")
        self.wait_for_controllers(1, "after the upgrade")
        self.assertNotEqual(controllers()[0][0], started[0][0], "the old controller still runs")
        self.assertTrue(wait_until(lambda: len(controllers("lumoauto.exe")) == 1, 20),
                        f"lumoauto after the upgrade: {controllers('lumoauto.exe')}")
        settings = stored(CONTROLLER_KEY)
        self.assertIn("Version", settings)

        # Kept aside for the second uninstall, in a folder of the user's.
        spare_dir = unix_path(r"C:\spare")
        os.makedirs(spare_dir)
        shutil.copy(unix_path(UNINSTALLER), spare_dir)
        with open(os.path.join(spare_dir, "notes.txt"), "w") as notes:
            notes.write("the user's own file\n")

        seen = len(watch.sightings())
        self.assertEqual(run("wine", UNINSTALLER, "/S", check=False).returncode, 0)
        self.assert_removed(INSTALL_DIR)
        self.expect_code(watch, seen, STEREO_OFF, "the uninstaller's end of the controller")
        self.wait_for_controllers(0, "after the uninstall")
        self.assertEqual(controllers("lumoauto.exe"), [], "the uninstaller left lumoauto running")
        self.assertEqual(stored(CONTROLLER_KEY), settings, "the user's settings changed")
        self.assertEqual(stored(RULES_KEY), {"Game.exe": "stereo-reverse running off-after"},
                         "the user's program rules changed")

        # Again, with nothing installed and nothing running: no harm.
        spare = os.path.join(spare_dir, "uninstall.exe")
        self.assertEqual(run("wine", r"C:\spare\uninstall.exe", "/S", check=False).returncode, 0)
        self.assertTrue(wait_until(lambda: not os.path.exists(spare), 30))
        self.assertTrue(os.path.isfile(os.path.join(spare_dir, "notes.txt")))
        self.assertEqual(stored(CONTROLLER_KEY), settings)
        self.assertFalse(key_exists(UNINSTALL_KEY, VIEW))
        self.assertEqual(controllers(), [])

    def test_machine_folder_and_restarts_without_rights(self):
        """For everyone, started as if without an administrator's rights (the installers' seam):
        the restart as administrator keeps /D= and the uninstaller's folder, and only a folder
        inside Program Files is taken."""
        os.environ["ZEZIZER_SETUP_NOT_ADMINISTRATOR"] = "1"
        self.addCleanup(os.environ.pop, "ZEZIZER_SETUP_NOT_ADMINISTRATOR")
        # Wine quotes an argument that holds a blank, and NSIS takes only an unquoted /D=: the
        # folder goes as words, which Wine joins with blanks.
        for refused in (r"C:\Games\ZEZIZER", r"C:\Program Files Games\ZEZIZER"):
            self.assertEqual(setup(*f"/D={refused}".split()).returncode, 2, refused)
            self.assertFalse(os.path.exists(unix_path(refused)), refused)
            self.assertFalse(key_exists(CLASS_KEY, VIEW), refused)
        folder = PROGRAM_FILES + r"\Vorn Test"
        self.assertEqual(setup(*f"/D={folder}".split()).returncode, 0, "into Program Files")
        server = stored(CLASS_KEY + r"\LocalServer32", VIEW)["(Default)"]
        self.assertTrue(runs_installed(server, folder + r"\ZEZIZER.exe"), server)
        self.assertEqual(run("wine", folder + r"\uninstall.exe", "/S", check=False).returncode, 0)
        self.assert_removed(folder)


# [text](target) and ![alt](target), the target up to a blank or the closing parenthesis.
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)[^)]*\)")
FENCE = re.compile(r"^```.*?^```", re.M | re.S)


def heading_anchors(markdown):
    """The anchors GitHub gives a document's headings: lower case, punctuation dropped, blanks
    made hyphens."""
    headings = re.findall(r"^#+\s+(.*?)\s*$", FENCE.sub("", markdown), re.M)
    return {re.sub(r"[^\w\- ]", "", title.lower()).replace(" ", "-") for title in headings}


def broken_links(document):
    """The relative links and pictures of a Markdown file whose file or heading is missing."""
    with open(document, encoding="utf-8") as text:
        markdown = text.read()
    broken = []
    for target in LINK.findall(FENCE.sub("", markdown)):
        if re.match(r"[a-z][a-z0-9+.-]*:", target, re.I):
            continue  # a web address or mail link
        path, _, anchor = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(document), path or document))
        if not os.path.exists(linked):
            broken.append(target)
        elif anchor and linked.endswith(".md"):
            with open(linked, encoding="utf-8") as text:
                if anchor not in heading_anchors(text.read()):
                    broken.append(target)
    return broken


class DocumentLinks(unittest.TestCase):
    def test_relative_links_reach_files_and_headings(self):
        documents = [os.path.join(SOURCE, "README.md"),
                     *glob.glob(os.path.join(SOURCE, "docs", "*.md"))]
        self.assertGreater(len(documents), 1)
        for document in documents:
            with self.subTest(document=os.path.relpath(document, SOURCE)):
                self.assertEqual(broken_links(document), [])


# ctest takes this exit code for a skip.
SKIPPED = 77

if __name__ == "__main__":
    if WIN64 and not os.path.isfile(SETUP) and "DocumentLinks" not in sys.argv[1:]:
        print(f"skipped: no 64-bit test installer {SETUP} (make build makes it)")
        sys.exit(SKIPPED)
    run_suite(sys.argv)
