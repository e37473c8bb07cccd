"""Runs the built program as a separate process, the way a user meets it.

The program under test comes from the environment the test runner sets:
  TOLVENIX_BINARY    path of the built program
  TOLVENIX_EMULATOR  optional command (with arguments) that runs it, for
                     cross-built programs
  TOLVENIX_PLATFORM  "linux" (default) or "windows"
"""

import os
import shlex
import shutil
import subprocess
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

BANNER = (
    b"=" * 70 + b"\n"
    + b"|" + b" " * 68 + b"|\n"
    + b"|" + b" " * 25 + b"Virevidi Rozazu" + b" " * 28 + b"|\n"
    + b"|" + b" " * 68 + b"|\n"
    + b"|" + b" " * 14 + b"< Version 1.00 >" + b" " * 5 + b"by Dravelmontics" + b" " * 17 + b"|\n"
    + b"|" + b" " * 68 + b"|\n"
    + b"=" * 70 + b"\n"
    + b"This program will configure Tolvenix with your WiFi parameters.\n\n"
    + b"Please enter the required information below:\n"
)
COUNTRY_PROMPT = b"Enter your 2-letter country code: "
SSID_PROMPT = b"Enter your WiFi SSID: "
PASSWORD_PROMPT = b"Enter your WiFi password: "
PROMPTS = COUNTRY_PROMPT + SSID_PROMPT + PASSWORD_PROMPT
CONFIG_PROGRESS = b"\n...generating wpa_supplicant.conf file...\n"
SSH_PROGRESS = b"...generating empty ssh file...\n"
CONFIG_ERROR = b'Error: can not create "wpa_supplicant.conf" file.'
SSH_ERROR = b'Error: can not create empty "ssh" file.'
INPUT_ENDED = b"\nError: input ended before all answers were given.\n"
CLOSING = (
    b"All done!\n"
    b"Insert Tolvenix into your Raspberry Pi and power it on.\n"
    b'You can SSH login with "ssh pi@raspberrypi.local" later.\n\n'
)
SUCCESS_OUTPUT = BANNER + PROMPTS + CONFIG_PROGRESS + SSH_PROGRESS + CLOSING

TYPICAL_ANSWERS = b"GB\nHomeNet\n0123456789\n"


def platform_text(text):
    """The bytes a text leaves as on this platform."""
    return text.replace(b"\n", NEWLINE)


def config_text(country, ssid, psk_value):
    """The expected wpa_supplicant.conf, with this platform's line ends."""
    return platform_text(
        b"country=" + country + b"\n"
        b"ctrl_interface=DIR=/var/run/wpa_supplicant GROUP=netdev\n"
        b"update_config=1\n\n"
        b"network={\n"
        b'  ssid="' + ssid + b'"\n'
        b"  psk=" + psk_value + b"\n"
        b"  key_mgmt=WPA-PSK\n"
        b"}\n"
    )


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
        binary=None):
    """Runs the program to its end with the given standard input."""
    args, executable = command(argument_zero, extra_arguments, binary)
    completed = subprocess.run(
        args,
        executable=executable,
        input=stdin_bytes,
        capture_output=True,
        cwd=cwd,
        timeout=RUN_TIMEOUT,
        preexec_fn=preexec_fn,
        check=False,
    )
    return Result(completed.returncode, completed.stdout, completed.stderr)


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
    return "/usr/bin/python3", ["-c", "import os, sys; os.execv(sys.argv[1], sys.argv[2:])",
                                executable, *args]
