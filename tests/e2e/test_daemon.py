"""Hands files written by the program to the real Wi-Fi daemon.

wpa_supplicant parses the configuration, prints what it read (-dd, with keys
shown by -K) and then fails on the interface, which does not exist.
"""

import os
import re
import shutil
import subprocess
import unittest

import harness

DAEMON = os.environ.get("WPA_SUPPLICANT") or shutil.which(
    "wpa_supplicant", path=os.pathsep.join([os.environ.get("PATH", ""), "/usr/sbin", "/sbin"]))
MISSING_INTERFACE = "tolvenix-none0"
HEX_KEY = "0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdef0123"


def hexdump_bytes(log, label):
    """The bytes of one `label - hexdump...(len=N):` entry in the daemon's log."""
    match = re.search(re.escape(label) + r" - hexdump(?:_ascii)?\(len=(\d+)\):(.*?)(?=\n\S|\Z)",
                      log, re.S)
    if not match:
        return None
    length = int(match.group(1))
    hex_pairs = []
    for line in match.group(2).splitlines():
        # hexdump_ascii lines hold the hex bytes, then the ASCII column.
        hex_pairs.extend(re.findall(r"\b[0-9a-f]{2}\b", line[:55] if "_ascii" in label else line))
    data = bytes(int(pair, 16) for pair in hex_pairs[:length])
    return data if len(data) == length else None


def daemon_reading_of(path):
    completed = subprocess.run(
        [DAEMON, "-D", "none", "-i", MISSING_INTERFACE, "-c", path, "-dd", "-K"],
        capture_output=True, timeout=harness.RUN_TIMEOUT, check=False)
    return completed.stdout.decode("utf-8", "replace") + completed.stderr.decode(
        "utf-8", "replace")


@unittest.skipIf(DAEMON is None, "wpa_supplicant (Debian package wpasupplicant) is not installed")
class DaemonReadsTheFile(harness.TemporaryDirectoryTestCase):
    def write_config(self, country, ssid, password):
        answers = country + b"\n" + ssid + b"\n" + password + b"\n"
        result = harness.run(answers, argument_zero=self.program_path(), cwd=self.directory)
        self.assertEqual(result.status, 0, result.stdout)
        return self.path("wpa_supplicant.conf")

    def parse(self, path):
        log = daemon_reading_of(path)
        self.assertNotIn("Failed to read or parse configuration", log, log)
        self.assertIn("Line: 5 - start of a new network block", log, log)
        return log

    def test_realistic_passphrases_are_read_back_exactly(self):
        cases = [
            (b"GB", b"HomeNet", b"0123456789"),
            (b"gb", b'Bob\'s"Net"', b'pa"ss\\word$1&'),
            (b"DE", b"Caf\xc3\xa9_\xe2\x98\x95", b"gr\xc3\xbc\xc3\x9fe-m\xc3\xb6we"),
            (b"US", b"net#1", b"hash#tag$and&amp"),
            (b"FR", b"back\\slash\\", b"\\\\double\\\\"),
            (b"NL", b"S" * 32, b"p" * 63),
            (b"JP", b"x", b"eightchr"),
        ]
        for country, ssid, password in cases:
            with self.subTest(ssid=ssid, password=password):
                log = self.parse(self.write_config(country, ssid, password))
                self.assertIn("country='" + country.decode() + "'", log)
                self.assertEqual(hexdump_bytes(log, "ssid"), ssid, log)
                self.assertEqual(hexdump_bytes(log, "PSK (ASCII passphrase)"), password, log)

    def test_sixty_four_hex_digits_are_read_as_the_raw_key(self):
        log = self.parse(self.write_config(b"GB", b"HomeNet", HEX_KEY.encode()))

        self.assertEqual(hexdump_bytes(log, "ssid"), b"HomeNet")
        self.assertEqual(hexdump_bytes(log, "PSK"), bytes.fromhex(HEX_KEY), log)
        self.assertNotIn("Invalid passphrase length", log)


if __name__ == "__main__":
    unittest.main(verbosity=2)
