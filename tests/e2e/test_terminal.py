"""End-to-end runs under a real pseudo-terminal, as a person at a console."""

import os
import signal
import unittest

import harness

try:
    import pexpect
except ImportError:  # pragma: no cover - reported as a failure below
    pexpect = None

PROMPT_WAIT = 10


@unittest.skipIf(harness.ON_WINDOWS, "Windows: a pseudo-terminal drives POSIX programs; Wine's console is not one")
class TerminalDialogue(harness.TemporaryDirectoryTestCase):
    def setUp(self):
        super().setUp()
        self.assertIsNotNone(pexpect, "python3-pexpect is required")

    def spawn(self):
        program, args = harness.spawn_arguments(self.program_path())
        child = pexpect.spawn(program, args, cwd=self.directory, timeout=PROMPT_WAIT,
                              echo=False)
        self.addCleanup(child.close, True)
        return child

    def expect_exactly(self, child, text):
        """Waits for text and checks that nothing else came before it."""
        child.expect_exact(text)
        return child.before

    def assert_no_output_for(self, child, seconds=0.3):
        with self.assertRaises(pexpect.TIMEOUT):
            child.read_nonblocking(size=1, timeout=seconds)

    def test_each_prompt_and_refusal_is_shown_before_the_answer_is_typed(self):
        child = self.spawn()
        before = self.expect_exactly(child, harness.COUNTRY_PROMPT)
        self.assertEqual(before, harness.BANNER.replace(b"\n", b"\r\n"))
        self.assert_no_output_for(child)
        child.sendline("GB")
        self.assertEqual(self.expect_exactly(child, harness.SSID_PROMPT), b"")
        child.sendline("HomeNet")
        self.assertEqual(self.expect_exactly(child, harness.PASSWORD_PROMPT), b"")
        child.sendline("short")
        refused = harness.EXPECTED["password_refused"].replace(b"\n", b"\r\n")
        self.assertEqual(self.expect_exactly(child, refused + harness.PASSWORD_PROMPT), b"")
        self.assert_no_output_for(child)
        child.sendline("correct horse battery staple")
        child.expect_exact(b"later.\r\n\r\n")
        child.expect(pexpect.EOF)
        child.close()
        self.assertEqual(child.exitstatus, 0)
        self.assertEqual(self.entries(), ["ssh", "wpa_supplicant.conf"])
        self.assertIn(b'psk="correct horse battery staple"', self.read("wpa_supplicant.conf"))

    def test_empty_lines_do_not_bring_the_next_prompt(self):
        child = self.spawn()
        for prompt, answer in [(harness.COUNTRY_PROMPT, "GB"), (harness.SSID_PROMPT, "Net"),
                               (harness.PASSWORD_PROMPT, "password")]:
            child.expect_exact(prompt)
            for _ in range(3):
                child.sendline("")
                child.sendline("   ")
            self.assert_no_output_for(child)
            self.assertEqual(self.entries(), [])
            child.sendline(answer)
        child.expect(pexpect.EOF)
        child.close()
        self.assertEqual(child.exitstatus, 0)

    def test_interrupt_at_each_prompt_leaves_no_file(self):
        answers = ["GB", "HomeNet"]
        prompts = [harness.COUNTRY_PROMPT, harness.SSID_PROMPT, harness.PASSWORD_PROMPT]
        for interrupted_at in range(3):
            with self.subTest(prompt=prompts[interrupted_at]):
                child = self.spawn()
                for index in range(interrupted_at):
                    child.expect_exact(prompts[index])
                    child.sendline(answers[index])
                child.expect_exact(prompts[interrupted_at])
                child.sendintr()
                child.expect(pexpect.EOF)
                child.close()
                self.assertEqual(child.signalstatus, signal.SIGINT)
                self.assertEqual(child.before, b"", "the program printed on interrupt")
                self.assertEqual(os.listdir(self.directory), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
