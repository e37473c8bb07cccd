"""End-to-end runs through pipes: exact console bytes, files and statuses."""

import os
import resource
import select
import signal
import stat
import subprocess
import sys
import time
import unittest

import harness
from harness import (CONFIG_ERROR, CONFIG_PROGRESS, INPUT_ENDED, PROMPTS, BANNER, SSH_ERROR,
                     SSH_PROGRESS, SUCCESS_OUTPUT, TYPICAL_ANSWERS, config_text, platform_text)

TYPICAL_CONFIG = config_text(b"GB", b"HomeNet", b'"0123456789"')
HEX_KEY = b"0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123"
ARGUMENT_ZERO_IS_WINDOWS_PATH = ("Windows: argument zero is a Windows path, which never names the "
                                 "output directory, and files have no owner-only mode")
NO_PROC_ON_WINDOWS = "Windows: /proc and absolute argument zero are Linux cases"
NO_FSIZE_LIMIT_ON_WINDOWS = "Windows: RLIMIT_FSIZE is a Linux limit (Wine's server would inherit it)"


class SuccessfulRuns(harness.TemporaryDirectoryTestCase):
    def test_typical_run_prints_and_writes_exact_bytes(self):
        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             cwd=self.directory)

        self.assertEqual(result.status, 0)
        self.assertEqual(result.stdout, platform_text(SUCCESS_OUTPUT))
        self.assertEqual(result.stderr, b"")
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)
        self.assertEqual(len(TYPICAL_CONFIG), 160 if harness.ON_WINDOWS else 151)
        self.assertEqual(self.read("ssh"), b"")
        self.assertEqual(self.entries(), ["ssh", "wpa_supplicant.conf"])

    def test_answers_are_stored_as_typed(self):
        cases = [
            # (name, standard input, country, ssid, psk value)
            ("spaces kept, country cut to its first word", b"gbr x\nMy Home Net\ncorrect horse\n",
             b"gb", b"My Home Net", b'"correct horse"'),
            ("CR LF lines", b"GB\r\n\r\nNet\r\npassword\r\n", b"GB", b"Net", b'"password"'),
            ("64 hex digits are a raw key", b"GB\nNet\n" + HEX_KEY + b"\n", b"GB", b"Net",
             HEX_KEY),
            ("NUL ends an answer", b"GB\nHome\x00Net\npassword\x00rest\n", b"GB", b"Home",
             b'"password"'),
            ("last answer without newline", b"GB\nNet\npassword", b"GB", b"Net", b'"password"'),
            # Piped bytes reach the answers as they are, on Windows too: no end at Ctrl-Z.
            ("Ctrl-Z byte and CR CR LF", b"GB\nHo\x1ame\r\r\npassword\n", b"GB", b"Ho\x1ame\r",
             b'"password"'),
        ]
        for name, answers, country, ssid, psk_value in cases:
            with self.subTest(name):
                result = harness.run(answers, cwd=self.directory,
                                     argument_zero=self.program_path())
                self.assertEqual(result.status, 0, result.stdout)
                config = self.read("wpa_supplicant.conf")
                self.assertEqual(config, config_text(country, ssid, psk_value))
                self.assertNotIn(b"\x00", config)

    def test_extra_arguments_change_nothing(self):
        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             cwd=self.directory, extra_arguments=("--help", "-v", "x"))

        self.assertEqual(result.status, 0)
        self.assertEqual(result.stdout, platform_text(SUCCESS_OUTPUT))
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)

    def test_second_run_replaces_config_and_truncates_ssh(self):
        harness.run(b"FR\nOld\nolderpassword\n", argument_zero=self.program_path(),
                    cwd=self.directory)
        with open(self.path("ssh"), "wb") as file:
            file.write(b"left by someone else")

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             cwd=self.directory)

        self.assertEqual(result.status, 0)
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)
        self.assertEqual(self.read("ssh"), b"")
        self.assertEqual(self.entries(), ["ssh", "wpa_supplicant.conf"])


@unittest.skipIf(harness.ON_WINDOWS, ARGUMENT_ZERO_IS_WINDOWS_PATH)
class ArgumentZero(harness.TemporaryDirectoryTestCase):
    def test_absolute_path_chooses_the_directory(self):
        target = self.path("card", "boot")
        os.makedirs(target)
        working = self.path("elsewhere")
        os.makedirs(working)

        result = harness.run(TYPICAL_ANSWERS, argument_zero=os.path.join(target, "tool"),
                             cwd=working)

        self.assertEqual(result.status, 0)
        self.assertEqual(sorted(os.listdir(target)), ["ssh", "wpa_supplicant.conf"])
        self.assertEqual(os.listdir(working), [])

    def test_other_paths_use_the_working_directory(self):
        for argument_zero in ["tolvenix-setup", "./tolvenix-setup", "bin/tolvenix-setup",
                              "C:\\card\\tolvenix-setup.exe", ""]:
            with self.subTest(argument_zero=argument_zero):
                working = self.path("run" + str(len(os.listdir(self.directory))))
                os.makedirs(working)
                result = harness.run(TYPICAL_ANSWERS, argument_zero=argument_zero, cwd=working)
                self.assertEqual(result.status, 0)
                self.assertEqual(sorted(os.listdir(working)), ["ssh", "wpa_supplicant.conf"])

    def test_directory_longer_than_127_characters(self):
        deep = self.path("d" * 100, "e" * 100)
        os.makedirs(deep)

        result = harness.run(TYPICAL_ANSWERS, argument_zero=os.path.join(deep, "tool"),
                             cwd=self.directory)

        self.assertEqual(result.status, 0)
        with open(os.path.join(deep, "wpa_supplicant.conf"), "rb") as file:
            self.assertEqual(file.read(), TYPICAL_CONFIG)

    def test_config_is_readable_and_writable_by_its_owner_only_whatever_the_umask(self):
        for umask in (0o022, 0o277):
            with self.subTest(umask=oct(umask)):
                result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                                     preexec_fn=lambda: os.umask(umask))
                self.assertEqual(result.status, 0)
                mode = stat.S_IMODE(os.stat(self.path("wpa_supplicant.conf")).st_mode)
                self.assertEqual(mode, 0o600)


class FailedRuns(harness.TemporaryDirectoryTestCase):
    def test_directory_in_place_of_config_ends_with_status_1(self):
        os.mkdir(self.path("wpa_supplicant.conf"))

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             cwd=self.directory)

        self.assertEqual(result.status, 1)
        self.assertEqual(result.stdout,
                         platform_text(BANNER + PROMPTS + CONFIG_PROGRESS) + CONFIG_ERROR)
        self.assertEqual(result.stderr, b"")
        self.assertEqual(self.entries(), ["wpa_supplicant.conf"])

    def test_directory_in_place_of_ssh_ends_with_status_2(self):
        os.mkdir(self.path("ssh"))

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             cwd=self.directory)

        self.assertEqual(result.status, 2)
        self.assertEqual(result.stdout, platform_text(
            BANNER + PROMPTS + CONFIG_PROGRESS + SSH_PROGRESS) + SSH_ERROR)
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)

    def test_input_ending_early_ends_with_status_3_and_no_file(self):
        cases = [
            ("empty", b"", harness.COUNTRY_PROMPT),
            ("blank lines only", b"\n\n  \n", harness.COUNTRY_PROMPT),
            ("after country", b"GB\n", harness.COUNTRY_PROMPT + harness.SSID_PROMPT),
            ("after country without newline", b"GB",
             harness.COUNTRY_PROMPT + harness.SSID_PROMPT),
            ("after ssid", b"GB\nHomeNet\n\n", PROMPTS),
            ("after a refused password", b"GB\nHomeNet\nshort",
             PROMPTS + harness.EXPECTED["password_refused"] + harness.PASSWORD_PROMPT),
        ]
        for name, answers, prompts in cases:
            with self.subTest(name):
                result = harness.run(answers, argument_zero=self.program_path(),
                                     cwd=self.directory)
                self.assertEqual(result.status, 3)
                self.assertEqual(result.stdout, platform_text(BANNER + prompts + INPUT_ENDED))
                self.assertEqual(self.entries(), [])

    def test_empty_or_closed_standard_input_ends_with_status_3(self):
        variants = [("empty", subprocess.DEVNULL, None)]
        if not harness.ON_WINDOWS:
            variants.append(("closed", None, lambda: os.close(0)))
        for name, stdin, preexec_fn in variants:
            with self.subTest(name):
                args, executable = harness.command(self.program_path())
                completed = subprocess.run(args, executable=executable, stdin=stdin,
                                           capture_output=True, cwd=self.directory,
                                           preexec_fn=preexec_fn,
                                           timeout=harness.RUN_TIMEOUT, check=False)
                self.assertEqual(completed.returncode, 3)
                self.assertTrue(completed.stdout.endswith(platform_text(INPUT_ENDED)))
                self.assertEqual(self.entries(), [])

    @unittest.skipIf(harness.ON_WINDOWS, NO_PROC_ON_WINDOWS)
    def test_directory_where_nothing_can_be_created_ends_with_status_1(self):
        result = harness.run(TYPICAL_ANSWERS, argument_zero="/proc/tolvenix-setup",
                             cwd=self.directory)

        self.assertEqual(result.status, 1)
        self.assertTrue(result.stdout.endswith(CONFIG_PROGRESS + CONFIG_ERROR))
        self.assertEqual(self.entries(), [])

    @unittest.skipIf(harness.ON_WINDOWS, NO_PROC_ON_WINDOWS)
    def test_missing_directory_ends_with_status_1(self):
        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.path("missing", "tool"),
                             cwd=self.directory)

        self.assertEqual(result.status, 1)
        self.assertEqual(self.entries(), [])


def limit_file_size(limit):
    """A file size limit with SIGXFSZ at its default, which ends a program that writes past
    the limit unless the program ignores the signal itself."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


@unittest.skipIf(harness.ON_WINDOWS, NO_FSIZE_LIMIT_ON_WINDOWS)
class FullDisk(harness.TemporaryDirectoryTestCase):
    """A file-size limit makes every write past it fail, as a full disk does."""

    def test_no_partial_config_where_there_was_none(self):
        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             preexec_fn=limit_file_size(100))

        self.assertEqual(result.status, 1)
        self.assertTrue(result.stdout.endswith(CONFIG_PROGRESS + CONFIG_ERROR))
        self.assertEqual(self.entries(), [])

    def test_earlier_config_stays_byte_for_byte(self):
        earlier = b"country=FR\nan earlier configuration\n"
        with open(self.path("wpa_supplicant.conf"), "wb") as file:
            file.write(earlier)

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path(),
                             preexec_fn=limit_file_size(100))

        self.assertEqual(result.status, 1)
        self.assertEqual(self.read("wpa_supplicant.conf"), earlier)
        self.assertEqual(self.entries(), ["wpa_supplicant.conf"])


@unittest.skipIf(harness.ON_WINDOWS, "Windows: non-blocking descriptors and SIGPIPE are POSIX")
class StreamsLeftOdd(harness.TemporaryDirectoryTestCase):
    """Standard streams as another program may leave them: the run goes on as usual."""

    def start(self, stdin, stdout):
        args, executable = harness.command(self.program_path())
        process = subprocess.Popen(args, executable=executable, stdin=stdin, stdout=stdout,
                                   cwd=self.directory)
        self.addCleanup(process.kill)
        return process

    def test_non_blocking_input_waits_for_late_answers(self):
        read_end, write_end = os.pipe()
        os.set_blocking(read_end, False)
        process = self.start(read_end, subprocess.DEVNULL)
        os.close(read_end)
        time.sleep(0.3)
        os.write(write_end, TYPICAL_ANSWERS)
        os.close(write_end)
        self.assertEqual(process.wait(timeout=harness.RUN_TIMEOUT), 0)
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)

    def test_output_without_reader_still_writes_both_files(self):
        read_end, write_end = os.pipe()
        os.close(read_end)
        process = self.start(subprocess.PIPE, write_end)
        os.close(write_end)
        process.communicate(TYPICAL_ANSWERS, timeout=harness.RUN_TIMEOUT)
        self.assertEqual(process.returncode, 0)
        self.assertEqual(self.entries(), ["ssh", "wpa_supplicant.conf"])


class PipeDialogue(harness.TemporaryDirectoryTestCase):
    """On a pipe no terminal read flushes for the program: every prompt, and
    every refusal, must arrive before the program waits for its answer."""

    def assert_quiet(self, process, seconds=0.3):
        ready, _, _ = select.select([process.stdout], [], [], seconds)
        self.assertEqual(ready, [], "the program printed before it got its answer")

    def test_each_prompt_arrives_before_its_answer_is_sent(self):
        args, executable = harness.command(self.program_path())
        process = subprocess.Popen(args, executable=executable, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, cwd=self.directory)
        self.addCleanup(process.kill)
        nl = harness.NEWLINE
        harness.read_until(process.stdout, harness.COUNTRY_PROMPT)
        self.assert_quiet(process)
        process.stdin.write(b"GB\n\n\n")
        process.stdin.flush()
        harness.read_until(process.stdout, harness.SSID_PROMPT)
        self.assert_quiet(process)
        process.stdin.write(b"HomeNet\n")
        process.stdin.flush()
        harness.read_until(process.stdout, harness.PASSWORD_PROMPT)
        self.assert_quiet(process)
        process.stdin.write(b"short\n")
        process.stdin.flush()
        harness.read_until(process.stdout, platform_text(harness.EXPECTED["password_refused"])
                           + harness.PASSWORD_PROMPT)
        self.assert_quiet(process)
        process.stdin.write(b"0123456789\n")
        process.stdin.close()
        harness.read_until(process.stdout, b"later." + nl + nl)
        self.assertEqual(process.wait(timeout=harness.RUN_TIMEOUT), 0)
        process.stdout.close()


@unittest.skipIf(harness.ON_WINDOWS or harness.EMULATOR or harness.SANITIZED,
                 "measures the memory of the plain native process, not of an emulator or of "
                 "sanitizer shadow memory")
class HugeAnswerLine(harness.TemporaryDirectoryTestCase):
    def test_fifty_megabyte_line_is_refused_in_little_memory(self):
        with open(self.path("answers"), "wb") as answers:
            answers.write(b"GB\n" + b"N" * (50 * 1024 * 1024) + b"\nHomeNet\n0123456789\n")
        os.mkdir(self.path("out"))
        status, peak_kib = harness.run_measured(self.path("answers"), self.path("out"))

        self.assertEqual(status, 0)
        print(f"peak memory for a 50 MB answer line: {peak_kib} KiB", file=sys.stderr)
        self.assertLess(peak_kib, 16 * 1024)
        with open(self.path("out", "wpa_supplicant.conf"), "rb") as file:
            self.assertIn(b'ssid="HomeNet"', file.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
