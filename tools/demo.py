#!/usr/bin/env python3
"""The demo's steps, run by tools/demo inside its own Wine prefix and display: prints what
lumowatch saw of each command and writes the screenshots to the folder given, lumoauto's window
with two rules among them."""

import glob
import json
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from wine_desktop import (  # noqa: E402
    AWAY, BUILD, CODES, DESKTOP_HEIGHT, DESKTOP_WIDTH, LUMOAUTO, LUMOAUTO_CLASS, LUMOAUTO_EXIT,
    LUMOAUTO_STATUS, LUMOAUTO_TITLE, PROBE, TRAY_ICON, Controller, Probe, Watch, delete_settings,
    lumoauto, lumoauto_status, menu_windows, open_desktop, probe, register_server, run, send,
    shown_window, stop, wait_until, window_geometry, window_named)

SHOTS = sys.argv[1]
# lumosend's names of the commands, in the order of the controller's command table.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "code",
                       "command_table.h"), encoding="utf-8") as table:
    COMMANDS = re.findall(r'^\s*\{"([a-z0-9-]+)",\s+\w+,', table.read(), re.MULTILINE)
DIALOGS = ("Lumo Controller Properties", "Normal Interleaved Mode", "About Lumo Controller")
INSTALLER = "Vorn Controller Setup"
MANY_COLOURS = 32


def fail(text):
    sys.exit("demo: " + text)


def shoot(screen, name, around=None):
    """The whole desktop as NAME.png and, given a rectangle of the X screen, that part alone, the
    window's own frame and nothing around it, as NAME-crop.png; taken once no code covers the
    screen (Properties and the test send one as they open)."""
    if not wait_until(lambda: screen.code_rows()[0] != "R", 5):
        fail("a code stays on the screen")
    screen.grab(0, 0, DESKTOP_WIDTH, DESKTOP_HEIGHT, os.path.join(SHOTS, name + ".png"))
    if around:
        x, y, width, height = around
        left = max(x - screen.x, 0)
        top = max(y - screen.y, 0)
        width = min(width, DESKTOP_WIDTH - left)
        height = min(height, DESKTOP_HEIGHT - top)
        screen.grab(left, top, width, height, os.path.join(SHOTS, name + "-crop.png"))
    print(f"demo: {name}.png")


def send_every_command():
    watch = Watch()
    if not watch.ready():
        fail("lumowatch did not start")
    for count, name in enumerate(COMMANDS, 1):
        if send(name).returncode != 0:
            fail("lumosend " + name + " failed")
        # Each code is told once it has gone; the next command goes to a clear screen.
        sightings = watch.wait_for(count)
        print(f"lumosend {name:15} lumowatch: {json.dumps(sightings[-1]) if sightings else '-'}")
    watch.end()


def open_menu(screen, button):
    screen.click(TRAY_ICON, button)
    if not wait_until(lambda: len(menu_windows()) == 1, 5):
        fail("no pop-up menu")
    return menu_windows()[0]


def close_menu(window):
    run("xdotool", "windowfocus", window)
    run("xdotool", "key", "Escape")
    if not wait_until(lambda: not menu_windows(), 5):
        fail("the menu stayed open")


def wait_for_window_gone(title):
    if not wait_until(lambda: window_named(title) is None, 5):
        fail(f"\"{title}\" stayed open")


def wait_for_window(title):
    found = shown_window(title)
    if not found:
        fail(f"no window \"{title}\"")
    return found


def wait_for_no_code(screen):
    """The code window of a command covers the desktop for a second: wait until it has gone."""
    if not wait_until(lambda: "R" not in screen.code_rows(), 5):
        fail("a code stayed on the screen")


# Where the Properties dialog's Cancel button sits, as fractions of the dialog's width and height.
CANCEL_BUTTON = (0.638, 0.935)


def close_with_escape(screen, window, title, button=None):
    """Escape until the window is gone; a code window shown meanwhile may have taken the keys, so
    a click on the given button (fractions of the window's size) is the last resort."""
    for _ in range(3):
        run("xdotool", "windowfocus", window, check=False)
        screen.keys("Escape")
        if wait_until(lambda: window_named(title) is None, 2):
            return
    if button:
        left, top, width, height, _ = window_geometry(window)
        screen.click((left - screen.x + int(width * button[0]),
                      top - screen.y + int(height * button[1])))
        if wait_until(lambda: window_named(title) is None, 2):
            return
    fail(f"\"{title}\" stayed open")


def show_dialogs(screen):
    properties, test, about = DIALOGS
    window, _ = open_menu(screen, 3)
    run("xdotool", "windowfocus", window)
    screen.keys("Up", "Up", "Return")  # Properties...
    dialog = wait_for_window(properties)
    shoot(screen, "properties", window_geometry(dialog)[:4])
    run("xdotool", "windowfocus", dialog)
    screen.keys("alt+t")
    opened = wait_for_window(test)
    wait_for_no_code(screen)
    shoot(screen, "interleave-test", window_geometry(opened)[:4])
    close_with_escape(screen, opened, test)
    wait_for_no_code(screen)
    close_with_escape(screen, dialog, properties, CANCEL_BUTTON)

    window, _ = open_menu(screen, 3)
    run("xdotool", "windowfocus", window)
    screen.keys("Up", "Up", "Up", "Return")  # About...
    dialog = wait_for_window(about)
    shoot(screen, "about", window_geometry(dialog)[:4])
    run("xdotool", "windowfocus", dialog)
    screen.keys("Return")
    wait_for_window_gone(about)


def show_installer(screen):
    """The first page of make dist's installer, which is then ended unused."""
    found = glob.glob(os.path.join(BUILD, "dist", "ZEZIZER-*-setup.exe"))
    if not found:
        fail("no installer in dist/: make dist")
    installer = subprocess.Popen(["timeout", "120", "wine", found[0]], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = wait_for_window(INSTALLER)
        x, y, width, height, _ = window_geometry(window)

        def drawn():
            # The page's picture and text come a moment after the window: many colours then.
            rows = screen.grab(x - screen.x, y - screen.y, width, height)
            return len({pixel for row in rows for pixel in row}) > MANY_COLOURS

        if not wait_until(drawn, 10):
            fail("the installer's page is not drawn")
        shoot(screen, "installer", (x, y, width, height))
    finally:
        installer.terminate()
        installer.wait()


# lumoauto's window with two rules, the first one's game playing.
RACER = r"C:\Games\Tunnel Racer\Racer.exe"


def show_lumoauto(screen):
    """lumoauto's window with two rules, just after the first one's game started."""
    racer = run("winepath", "-u", RACER).stdout.strip()
    os.makedirs(os.path.dirname(racer), exist_ok=True)
    shutil.copy(PROBE, racer)
    for rule in ((RACER, "--command", "stereo-reverse"),
                 ("Player3D.exe", "--command", "stereo-normal", "--when", "front", "--keep-on")):
        if lumoauto("--add", *rule)[0] != 0:
            fail("lumoauto --add failed")
    auto = subprocess.Popen(["timeout", "120", "wine", LUMOAUTO], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    game = None
    try:
        window = wait_for_window(LUMOAUTO_TITLE)
        game = Probe("play", "Tunnel Racer", "0", program=racer)
        if not wait_until(lambda: "sent at" in lumoauto_status().get(LUMOAUTO_STATUS, ""), 10):
            fail("lumoauto did not send the game's command")
        # The game's code goes first: lumoauto's window in front of it would hide it from the
        # look at whole rows.
        wait_until(lambda: screen.code_rows() == CODES[2], 3)
        wait_for_no_code(screen)
        probe("front", LUMOAUTO_TITLE)
        shoot(screen, "lumoauto", window_geometry(window)[:4])
    finally:
        if game:
            game.end()
        probe("post-command", str(LUMOAUTO_EXIT), LUMOAUTO_CLASS)
        stop(auto)


def eye_ink_shown(screen):
    return any(LEFT_INK in row or RIGHT_INK in row
               for row in screen.grab(0, 0, DESKTOP_WIDTH, DESKTOP_HEIGHT))


def show_eye_tests(screen):
    """lumoeyes' picture of each mode over the whole screen, as eyes-MODE.png; Esc ends each."""
    for mode in ("interleaved", "over-under", "page-flip"):
        test = subprocess.Popen(["timeout", "120", "wine", os.path.join(BUILD, "lumoeyes.exe"), mode],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            if not wait_until(lambda: screen.code_rows()[0] == "R", 10):
                fail(f"lumoeyes {mode} sent no code")
            wait_for_no_code(screen)
            # Wine may show the window black for a moment after another test's has gone.
            if not wait_until(lambda: eye_ink_shown(screen), 10):
                fail(f"lumoeyes {mode} shows no picture")
            shoot(screen, "eyes-" + mode)
            screen.point_at((DESKTOP_WIDTH // 2, DESKTOP_HEIGHT // 2))
            screen.keys("Escape")
            stop(test)
        finally:
            stop(test, 1)
        screen.point_at(AWAY)


def main():
    os.makedirs(SHOTS, exist_ok=True)
    delete_settings()
    if register_server() != 0:
        fail("RegServer failed")
    keeper = Probe("keep-desktop")
    controller = Controller()
    try:
        if not controller.wait_ready():
            fail("the controller did not start")
        screen = open_desktop()
        if not screen:
            fail("no Wine desktop with the tray icon")
        screen.point_at(AWAY)
        send_every_command()
        for button, name in ((1, "tray-menu-left"), (3, "tray-menu-right")):
            window, geometry = open_menu(screen, button)
            shoot(screen, name, geometry)
            close_menu(window)
        show_dialogs(screen)
        show_lumoauto(screen)
        show_eye_tests(screen)
        show_installer(screen)
    finally:
        controller.end()
        keeper.end()


if __name__ == "__main__":
    main()
