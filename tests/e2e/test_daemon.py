"""Hands files written by the program to the board's two readers, its first boot's import and
the real Wi-Fi daemon: every answer is either read back exactly by both or refused."""

import random
import re
import subprocess
import sys

import pytest

from harness import EXPECTED, HEX_KEY, daemon_log_of, hexdump_bytes, importer_country

pytestmark = pytest.mark.daemon


def is_raw_key(password):
    return re.fullmatch(rb"[0-9a-fA-F]{64}", password) is not None


def psk_value(password):
    return password if is_raw_key(password) else b'"' + password + b'"'


def read_back(raw_log):
    """What the daemon read for the country, the SSID and the password, or
    None when it refused the file."""
    log = raw_log.decode("utf-8", "replace")
    if "Failed to read or parse configuration" in log:
        return None
    country = re.search(rb"country='(.{2})'", raw_log, re.S)
    passphrase = hexdump_bytes(log, "PSK (ASCII passphrase)")
    raw_key = hexdump_bytes(log, "PSK")
    return (country.group(1) if country else None, hexdump_bytes(log, "ssid"),
            passphrase if passphrase is not None else raw_key)


def intended_reading(answers):
    """What the daemon should read for these answers: a raw key as its bytes."""
    country, ssid, password = answers
    return country, ssid, bytes.fromhex(password.decode()) if is_raw_key(password) else password


# Pieces of generated answers: white space, quotes, comment signs, escapes,
# control bytes and UTF-8, around the lengths where the daemon's limits lie.
PIECES = [b"a", b"Z", b"7", b"f", b" ", b"\t", b'"', b"#", b"\\", b"'", b"$", b"\x01", b"\x7f",
          b"\x1b", b"\xc3\xa9", b"\xe2\x98\x95"]
LENGTHS = [1, 2, 7, 8, 9, 31, 32, 33, 62, 63, 64, 65, 66]
CHOSEN = [b"My Home Net", b"correct horse battery staple", b'Bob\'s"Net"', b'pa"ss\\word$1&',
          b"Caf\xc3\xa9_\xe2\x98\x95", b"net#1", b"back\\slash\\", b"x", b'Ho"m#e', b'pa"ss#word1',
          b'"a"#b"c"d', b'#"x"#"#', b"a" * 63 + b"\x7f", HEX_KEY,
          HEX_KEY.upper(), HEX_KEY[:63] + b"g"]
COUNTRIES = [b"GB", b"US", b"ZW", b"gb", b"UK", b"XX", b"G1", b'G"', b"\xc3\xa9", b"G", b"G#",
             b"#G", b"\xff"]
GOOD = (b"GB", b"HomeNet", b"password1")
REFUSALS = [EXPECTED[name] for name in
            ("country_refused", "ssid_refused", "password_refused", "hash_refused")]


def generated_answers(seed=2026):
    """Answers a user can type on one line: none starts with white space (it
    would be skipped) and none ends in a carriage return."""
    rng = random.Random(seed)
    answers = list(CHOSEN)
    for length in LENGTHS:
        text = b""
        while len(text) < length:
            text += rng.choice(PIECES)
        text = text[:length]
        answers.append(b"x" + text[1:] if text[:1] in (b" ", b"\t") else text)
    return answers


def write_config(build, directory, answers):
    result = build.run(b"\n".join(answers) + b"\n", argument_zero=directory / "tolvenix-setup",
                       cwd=directory)
    return result, directory / "wpa_supplicant.conf"


def judge(build, directory, field, answer, tally):
    """Either the answer is written and read back exactly, by the daemon and by the import's
    country rule, or it is refused, and then the daemon refuses or misreads it, or the import
    finds no country it knows, when it is written into the file as typed."""
    answers = list(GOOD)
    answers[field] = answer
    result, config = write_config(build, directory, answers)
    refusal = next((text for text in REFUSALS if build.text(text) in result.stdout), None)
    if refusal is None:
        assert result.returncode == 0, (answers, result.stdout)
        assert read_back(daemon_log_of(build, config)) == intended_reading(answers), answers
        assert importer_country(config) == answers[0], answers
        tally["accepted"] = tally.get("accepted", 0) + 1
        return
    assert result.returncode == 3, (answers, result.stdout)
    assert not config.exists(), answers
    config.write_bytes(build.config(answers[0], answers[1], psk_value(answers[2])))
    if importer_country(config) != answers[0]:
        key = f"refused: {refusal.strip().decode()} / import: Wi-Fi stays off"
        tally[key] = tally.get(key, 0) + 1
        return
    log = daemon_log_of(build, config)
    assert read_back(log) != intended_reading(answers), ("refused, yet read back", answers)
    complaint = re.search(rb"^(?:Line \d+: )?(?!Reading|Line: |Priority)(.*(?:[Ii]nvalid|"
                          rb"failed|too long).*)$", log, re.M)
    # The daemon's complaint without the value it quotes, so that the tally groups by kind.
    key = "refused: {} / daemon: {}".format(
        refusal.strip().decode(), re.sub(rb" ?['(0-9].*", b"", complaint.group(1)).decode()
        if complaint else "reads it back differently")
    tally[key] = tally.get(key, 0) + 1


def test_generated_answers_are_read_back_exactly_or_refused(build, tmp_path):
    tally = {}
    cases = [(0, country) for country in COUNTRIES]
    cases += [(field, answer) for answer in generated_answers() for field in (1, 2)]
    for number, (field, answer) in enumerate(cases):
        (tmp_path / str(number)).mkdir()
        judge(build, tmp_path / str(number), field, answer, tally)
    for kind, count in sorted(tally.items()):
        print(f"{count:3} {kind}", file=sys.stderr)
    assert tally.get("accepted", 0) > 10
    assert sum(tally.values()) - tally.get("accepted", 0) > 10
