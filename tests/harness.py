"""Runs the built program as a separate process, the way a user meets it.

Everything a test needs from a build is read from the file CMake writes into the build
directory (tolvenix-tests.json), which pytest is given with --build-dir."""

import json
import os
import re
import shlex
import subprocess
import sys

RUN_TIMEOUT = 60
TYPICAL_ANSWERS = b"GB\nHomeNet\n0123456789\n"
EARLIER = b"country=FR\nan earlier configuration\n"
HEX_KEY = b"0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123"


def _load_expected_texts():
    """tests/expected_text.json, the texts the C++ tests expect too, as bytes:
    a list is lines, each ending in a newline; a string is exact."""
    path = os.path.join(os.path.dirname(__file__), "expected_text.json")
    with open(path, encoding="utf-8") as file:
        texts = json.load(file)
    return {name: ("".join(line + "\n" for line in text) if isinstance(text, list)
                   else text).encode("utf-8") for name, text in texts.items()}


EXPECTED = _load_expected_texts()
PROMPTS = EXPECTED["country_prompt"] + EXPECTED["ssid_prompt"] + EXPECTED["password_prompt"]
SUCCESS_OUTPUT = (EXPECTED["banner"] + PROMPTS + EXPECTED["config_progress"]
                  + EXPECTED["ssh_progress"] + EXPECTED["closing"])


class Build:
    """The program of one build directory, and how to start it."""

    def __init__(self, build_dir):
        with open(os.path.join(build_dir, "tolvenix-tests.json"), encoding="utf-8") as file:
            self.settings = json.load(file)
        self.binary = self.settings["program"]
        self.emulator = shlex.split(self.settings["emulator"])
        self.on_windows = self.settings["platform"] == "windows"
        # Windows' console ends every line in CR LF; wpa_supplicant.conf has LF everywhere.
        self.newline = b"\r\n" if self.on_windows else b"\n"

    def text(self, text):
        """The bytes a text leaves the program as, on this platform."""
        return text.replace(b"\n", self.newline)

    def config(self, country=b"GB", ssid=b"HomeNet", psk=b'"0123456789"'):
        """The expected wpa_supplicant.conf, LF line ends on every platform; psk is the value as
        written, quotes included."""
        fields = {b"country": country, b"ssid": ssid, b"psk": psk}
        return re.sub(rb"\{(country|ssid|psk)\}", lambda found: fields[found[1]],
                      EXPECTED["config_template"])

    def command(self, argument_zero=None, arguments=(), binary=None):
        """The command line and the executable for one run. argument_zero is the path the
        program sees it was started by; under Wine it sees its own."""
        binary = binary or self.binary
        argument_zero = binary if argument_zero is None else str(argument_zero)
        if not self.emulator:
            return [argument_zero, *arguments], binary
        if os.path.basename(self.emulator[0]).startswith("qemu-"):
            return [*self.emulator, "-0", argument_zero, binary, *arguments], None
        return [*self.emulator, binary, *arguments], None

    def start(self, argument_zero=None, arguments=(), binary=None, env=None, **popen):
        """Starts the program; `env` is added to this process's environment."""
        args, executable = self.command(argument_zero, arguments, binary)
        return subprocess.Popen(args, executable=executable,
                                env=dict(os.environ, **env) if env else None, **popen)

    def run(self, answers=TYPICAL_ANSWERS, argument_zero=None, arguments=(), binary=None,
            env=None, timeout=RUN_TIMEOUT, **popen):
        """Runs the program to its end with `answers` as its input; `env` is added to this
        process's environment."""
        args, executable = self.command(argument_zero, arguments, binary)
        return subprocess.run(args, executable=executable, input=answers, capture_output=True,
                              timeout=timeout, check=False,
                              env=dict(os.environ, **env) if env else None, **popen)

    def spawn_arguments(self, argument_zero):
        """Program and arguments for pexpect, which cannot set argument zero itself: a small
        exec wrapper does it."""
        args, executable = self.command(argument_zero)
        if executable is None:
            return args[0], args[1:]
        return sys.executable, ["-c", "import os, sys; os.execv(sys.argv[1], sys.argv[2:])",
                                executable, *args]


# The real Wi-Fi daemon's reading of a file: wpa_supplicant parses it, prints what it read (-dd,
# with keys shown by -K) and then fails on the interface, which does not exist.
MISSING_INTERFACE = "tolvenix-none0"


def hexdump_bytes(log, label):
    """The bytes of one `label - hexdump...(len=N):` entry in the daemon's log."""
    match = re.search(re.escape(label) + r" - hexdump(?:_ascii)?\(len=(\d+)\):(.*?)(?=\n\S|\Z)",
                      log, re.S)
    if not match:
        return None
    length = int(match.group(1))
    hex_pairs = []
    for line in match.group(2).splitlines():
        # A hexdump_ascii line holds the hex pairs, then after a wider gap the ASCII column,
        # which can itself hold pairs that look like hex: take only the leading run of pairs.
        leading = re.match(r"\s*((?:[0-9a-f]{2}(?: |$))+)", line)
        hex_pairs.extend(leading.group(1).split() if leading else [])
    data = bytes(int(pair, 16) for pair in hex_pairs[:length])
    return data if len(data) == length else None


def daemon_log_of(build, path):
    completed = subprocess.run([build.settings["wpa_supplicant"], "-D", "none", "-i",
                                MISSING_INTERFACE, "-c", path, "-dd", "-K"],
                               capture_output=True, timeout=RUN_TIMEOUT, check=False)
    return completed.stdout + completed.stderr


# The board's first boot imports the file and switches Wi-Fi on only for a country it reads out
# of it with this GNU sed expression and then finds at the start of a line of tzdata's list.
IMPORTER_EXPRESSION = r"s/^\s*country=\(..\)$/\1/p"
ISO3166_TAB = "/usr/share/zoneinfo/iso3166.tab"


def importer_country(path):
    """The country the board's first boot reads out of the file and finds in its list, as its
    shell does it (a command substitution drops the trailing line ends), or None."""
    code = subprocess.run(["sed", "-n", IMPORTER_EXPRESSION, str(path)], capture_output=True,
                          timeout=RUN_TIMEOUT, check=True).stdout.rstrip(b"\n")
    if not code:
        return None
    found = subprocess.run(["grep", "-q", b"^" + code + b"[[:space:]]", ISO3166_TAB],
                           timeout=RUN_TIMEOUT, check=False).returncode
    assert found in (0, 1), f"grep could not read {ISO3166_TAB} (Debian: tzdata)"
    return code if found == 0 else None
