#!/usr/bin/env python3
"""The real ZEZIZER.exe under Wine reached by its clients in other processes, lumosend and the
script clients in cscript, the codes they send seen on the screen by lumowatch.

Runs inside tools/run-tests (DISPLAY, WINEPREFIX and ZEZIZER_BUILD_DIR come from there).
Usage: clients_e2e.py BUILD_DIR [unittest arguments]
"""

import os
import sys

if len(sys.argv) > 1:
    os.environ["ZEZIZER_BUILD_DIR"] = sys.argv[1]

from wine_desktop import (  # noqa: E402,F401
    BUILD, CONTROLLER_KEY, ControllerTest, register_server, run_script, run_suite, send,
    setUpModule, stored, tearDownModule)


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


if __name__ == "__main__":
    run_suite([sys.argv[0], *sys.argv[2:]])
