"""Runs the built program as a separate process, the way a user meets it.

The program under test comes from the environment the test runner sets:
  TOLVENIX_BINARY    path of the built program
  TOLVENIX_EMULATOR  optional command (with arguments) that runs it, for
                     cross-built programs
  TOLVENIX_PLATFORM  "linux" (default) or "windows"
"""

import json
import os
import re
import select
import shlex
import shutil
import subprocess
import sys
import time
import tempfile
import unittest

BINARY = os.environ.get("TOLVENIX_BINARY", "")
EMULATOR = shlex.split(os.environ.get("TOLVENIX_EMULATOR", ""))
PLATFORM = os.environ.get("TOLVENIX_PLATFORM", "linux")
ON_WINDOWS = PLATFORM == "windows"
# Windows writes every newline as CR LF, to the console and to text files.
NEWLINE = b"\r\n" if ON_WINDOWS else b"\n"
SANITIZED = os.environ.get("TOLVENIX_SANITIZED", "OFF").upper() in ("ON", "1", "TRUE")
RUN_TIMEOUT = float(os.environ.get("TOLVENIX_TIMEOUT", "60"))


def _load_expected_texts():
    """tests/expected_text.json, the texts the C++ tests expect too, as bytes:
    a list is lines, each ending in a newline; a string is exact."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "expected_text.json")
    with open(path, encoding="utf-8") as file:
        texts = json.load(file)
    return {name: ("".join(line + "\n" for line in text) if isinstance(text, list)
                   else text).encode("utf-8")
            for name, text in texts.items()}


EXPECTED = _load_expected_texts()
BANNER = EXPECTED["banner"]
COUNTRY_PROMPT = EXPECTED["country_prompt"]
SSID_PROMPT = EXPECTED["ssid_prompt"]
PASSWORD_PROMPT = EXPECTED["password_prompt"]
PROMPTS = COUNTRY_PROMPT + SSID_PROMPT + PASSWORD_PROMPT
CONFIG_PROGRESS = EXPECTED["config_progress"]
SSH_PROGRESS = EXPECTED["ssh_progress"]
CONFIG_ERROR = EXPECTED["config_error"]
SSH_ERROR = EXPECTED["ssh_error"]
INPUT_ENDED = EXPECTED["input_ended"]
CLOSING = EXPECTED["closing"]
SUCCESS_OUTPUT = BANNER + PROMPTS + CONFIG_PROGRESS + SSH_PROGRESS + CLOSING

TYPICAL_ANSWERS = b"GB\nHomeNet\n0123456789\n"


def platform_text(text):
    """The bytes a text leaves as on this platform."""
    return text.replace(b"\n", NEWLINE)


def config_text(country, ssid, psk_value):
    """The expected wpa_supplicant.conf, with this platform's line ends;
    psk_value is the value as written, quotes included."""
    fields = {b"country": country, b"ssid": ssid, b"psk": psk_value}
    text = re.sub(rb"\{(country|ssid|psk)\}", lambda match: fields[match.group(1)],
                  EXPECTED["config_template"])
    return platform_text(text)


class Result:
    def __init__(self, status, stdout, stderr):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr


def command(argument_zero=None, extra_arguments=(), binary=None):
    """The command line and the executable to start for one run.

    argument_zero is what the program sees as the path it was started by.
    Under an emulator that cannot set it, the program sees its own path.
    """
    binary = binary or BINARY
    if not binary:
        raise unittest.SkipTest("TOLVENIX_BINARY is not set")
    if argument_zero is None:
        argument_zero = binary
    if EMULATOR:
        if os.path.basename(EMULATOR[0]).startswith(("qemu-aarch64", "qemu-arm")):
            return EMULATOR + ["-0", argument_zero, binary, *extra_arguments], None
        return EMULATOR + [binary, *extra_arguments], None
    return [argument_zero, *extra_arguments], binary


def run(stdin_bytes, argument_zero=None, cwd=None, extra_arguments=(), preexec_fn=None,
        binary=None, extra_environment=None):
    """Runs the program to its end with the given standard input, with
    `extra_environment` added to this process's environment."""
    args, executable = command(argument_zero, extra_arguments, binary)
    completed = subprocess.run(
        args,
        executable=executable,
        input=stdin_bytes,
        capture_output=True,
        cwd=cwd,
        timeout=RUN_TIMEOUT,
        preexec_fn=preexec_fn,
        env=dict(os.environ, **extra_environment) if extra_environment else None,
        check=False,
    )
    return Result(completed.returncode, completed.stdout, completed.stderr)


def read_until(stream, expected, timeout=30.0):
    """Reads a running program's output until it ends with `expected`;
    fails when the output ends first or `timeout` seconds pass."""
    received = b""
    deadline = time.monotonic() + timeout
    while not received.endswith(expected):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise AssertionError(f"waiting for {expected!r}, got {received!r}")
        ready, _, _ = select.select([stream], [], [], remaining)
        if ready:
            chunk = os.read(stream.fileno(), 4096)
            if not chunk:
                raise AssertionError(f"output ended after {received!r}")
            received += chunk
    return received


class TemporaryDirectoryTestCase(unittest.TestCase):
    """Each test gets a fresh directory that receives the program's files."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="tolvenix-e2e-")
        self.addCleanup(shutil.rmtree, self.directory, True)

    def path(self, *names):
        return os.path.join(self.directory, *names)

    def program_path(self):
        """An argument zero that puts the files into this test's directory."""
        return self.path("tolvenix-setup")

    def read(self, *names):
        with open(self.path(*names), "rb") as file:
            return file.read()

    def entries(self):
        return sorted(os.listdir(self.directory))


def run_measured(answers_path, output_directory):
    """Runs a copy of the program that sits in output_directory, so that its
    own path puts the files there, under GNU time; returns (status, peak
    resident memory in KiB). GNU time's child is small before it starts the
    program, so the peak is the program's own."""
    program = os.path.join(output_directory, "tolvenix-setup")
    shutil.copy2(BINARY, program)
    report = os.path.join(output_directory, "peak-kib")
    with open(answers_path, "rb") as answers:
        completed = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, program],
                                   stdin=answers, stdout=subprocess.DEVNULL,
                                   timeout=RUN_TIMEOUT, check=False)
    with open(report, encoding="ascii") as file:
        peak_kib = int(file.read().split()[-1])
    os.remove(report)
    os.remove(program)
    return completed.returncode, peak_kib


def spawn_arguments(argument_zero):
    """Program and arguments for pexpect, which cannot set argument zero by
    itself: a small exec wrapper does it."""
    args, executable = command(argument_zero)
    if executable is None:
        return args[0], args[1:]
    return sys.executable, ["-c", "import os, sys; os.execv(sys.argv[1], sys.argv[2:])",
                                executable, *args]
