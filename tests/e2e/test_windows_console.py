"""The Windows program at a real console, as a Windows user meets it: Wine
gives it one in a pseudo-terminal, of its own when started directly, shared
with cmd when started through it, and none when its input is a pipe.

Wine's console draws with escape sequences and may draw a prompt's trailing
space as a cursor move, so prompts are matched without it. Enter on a
terminal is a carriage return."""

import os
import shutil
import time
import unittest

import harness
import test_daemon

try:
    import pexpect
except ImportError:  # pragma: no cover - reported as a failure below
    pexpect = None

PROMPT_WAIT = 30
PROMPTS = [prompt.rstrip() for prompt in
           (harness.COUNTRY_PROMPT, harness.SSID_PROMPT, harness.PASSWORD_PROMPT)]
CLOSE_PROMPT = harness.EXPECTED["close_prompt"]
ENTER = "\r"


@unittest.skipUnless(harness.ON_WINDOWS and harness.EMULATOR,
                     "the Windows program under Wine: only Wine's console shows these cases")
class WindowsConsole(harness.TemporaryDirectoryTestCase):
    def setUp(self):
        super().setUp()
        self.assertIsNotNone(pexpect, "python3-pexpect is required")
        shutil.copy(harness.BINARY, self.path("tolvenix-setup.exe"))

    def spawn(self, through_cmd=False):
        """Starts the program in a console of its own, or through cmd,
        which then shares its console with the program."""
        program = (["cmd", "/c", "tolvenix-setup.exe"] if through_cmd
                   else [self.path("tolvenix-setup.exe")])
        child = pexpect.spawn(harness.EMULATOR[0], harness.EMULATOR[1:] + program,
                              cwd=self.directory, timeout=PROMPT_WAIT,
                              env=dict(os.environ, LANG="C.UTF-8"))
        self.addCleanup(child.close, True)
        return child

    def type_answers(self, child, answers):
        for prompt, answer in zip(PROMPTS, answers):
            child.expect_exact(prompt)
            child.send(answer + ENTER)

    def press_enter_to_close(self, child):
        """The window waits for Enter, and only then does the program end."""
        child.expect_exact(CLOSE_PROMPT)
        time.sleep(2)
        self.assertTrue(child.isalive(), "the window closed without waiting for Enter")
        child.send(ENTER)
        child.expect(pexpect.EOF)
        child.close()
        return child.exitstatus

    def test_answers_reach_the_file_as_the_utf8_of_what_was_typed(self):
        cases = [
            # (name, typed at the console or piped, SSID, password)
            ("accents and a symbol, typed", True, "Café_☕", "pässwörd123"),
            ("beyond the Basic Multilingual Plane, typed", True, "Net📶", "password1"),
            ("accents and a symbol, piped", False, "Café_☕", "pässwörd123"),
            ("beyond the Basic Multilingual Plane, piped", False, "Net📶", "password1"),
        ]
        for name, typed, ssid, password in cases:
            with self.subTest(name):
                if typed:
                    child = self.spawn()
                    self.type_answers(child, ["GB", ssid, password])
                    self.assertEqual(self.press_enter_to_close(child), 0)
                else:
                    answers = "\n".join(["GB", ssid, password, ""]).encode()
                    result = harness.run(answers, cwd=self.directory)
                    self.assertEqual(result.status, 0, result.stdout)
                config = self.read("wpa_supplicant.conf")
                self.assertEqual(config, harness.config_text(
                    b"GB", ssid.encode(), b'"' + password.encode() + b'"'))
                if typed and test_daemon.DAEMON:
                    log = test_daemon.daemon_reading_of(self.path("wpa_supplicant.conf"))
                    self.assertEqual(test_daemon.hexdump_bytes(log, "ssid"), ssid.encode(), log)

    def test_only_a_window_of_its_own_waits_for_enter_at_the_end(self):
        # Piped input, the third start mode, ends byte for byte as before
        # with no prompt to close: test_pipes proves that on this build.
        cases = [
            # (name, start, a directory in the way of the config, status)
            ("own console, success", "own", False, 0),
            ("own console, error", "own", True, 1),
            ("through cmd", "cmd", False, 0),
        ]
        for name, start, config_in_the_way, status in cases:
            with self.subTest(name):
                for leftover in ("ssh", "wpa_supplicant.conf"):
                    if os.path.isdir(self.path(leftover)):
                        os.rmdir(self.path(leftover))
                    elif os.path.exists(self.path(leftover)):
                        os.remove(self.path(leftover))
                if config_in_the_way:
                    os.mkdir(self.path("wpa_supplicant.conf"))
                last_message = harness.CONFIG_ERROR if config_in_the_way else b"later."
                child = self.spawn(through_cmd=start == "cmd")
                self.type_answers(child, ["GB", "HomeNet", "0123456789"])
                child.expect_exact(last_message)
                if start == "own":
                    self.assertEqual(self.press_enter_to_close(child), status)
                else:
                    child.expect(pexpect.EOF)
                    self.assertNotIn(CLOSE_PROMPT, child.before)
                    child.close()
                    self.assertEqual(child.exitstatus, status)


if __name__ == "__main__":
    unittest.main(verbosity=2)
