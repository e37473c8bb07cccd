"""The Windows program at a real console, as a Windows user meets it: Wine gives it one in a
pseudo-terminal, of its own when started directly, shared with cmd or a launcher when started
through one, and none when its input is a pipe.

Wine's console draws with escape sequences and may draw a prompt's trailing space as a cursor
move, so prompts are matched without it. Enter on a terminal is a carriage return."""

import os
import shutil
import time
import tty

import pexpect
import pytest

from harness import EXPECTED

pytestmark = pytest.mark.windows
PROMPTS = [EXPECTED[name].rstrip() for name in ("country_prompt", "ssid_prompt", "password_prompt")]
ENTER = "\r"


def spawn(build, tmp_path, start):
    """Starts the program in a console of its own, or through cmd or the launcher, which then
    share their console with the program."""
    shutil.copy(build.binary, tmp_path / "tolvenix-setup.exe")
    program = {"own": [], "cmd": ["cmd", "/c"], "launcher": [build.settings["console_launcher"]]}
    child = pexpect.spawn(build.emulator[0], [*build.emulator[1:], *program[start],
                                              str(tmp_path / "tolvenix-setup.exe")],
                          cwd=tmp_path, timeout=30, env=dict(os.environ, LANG="C.UTF-8"))
    # Raw from the start, as Wine makes it only once it runs: a busy machine could otherwise
    # deliver an Enter typed before that as a line feed, which Wine's console shows as ^J.
    tty.setraw(child.child_fd)
    return child


def type_answers(child, answers):
    for prompt, answer in zip(PROMPTS, answers):
        child.expect_exact(prompt)
        child.send(answer + ENTER)


def press_enter_to_close(child):
    """The window waits for Enter, and only then does the program end. Returns the status and
    what came before the prompt to close."""
    child.expect_exact(EXPECTED["close_prompt"])
    before = child.before
    time.sleep(2)
    assert child.isalive(), "the window closed without waiting for Enter"
    child.send(ENTER)
    child.expect(pexpect.EOF)
    child.close()
    return child.exitstatus, before


@pytest.mark.parametrize("ssid, password", [("Café_☕", "pässwörd123"), ("Net📶", "password1")])
@pytest.mark.parametrize("typed", [True, False], ids=["typed", "piped"])
def test_answers_reach_the_file_as_the_utf8_of_what_was_typed(build, tmp_path, ssid, password,
                                                              typed):
    if typed:
        child = spawn(build, tmp_path, "own")
        type_answers(child, ["GB", ssid, password])
        assert press_enter_to_close(child)[0] == 0
    else:
        result = build.run("\n".join(["GB", ssid, password, ""]).encode(), cwd=tmp_path)
        assert result.returncode == 0, result.stdout
    # The same bytes as the Linux program's, LF line ends included: test_daemon hands such files
    # from this build to the daemon and to the board's first-boot country check.
    assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config(
        b"GB", ssid.encode(), b'"' + password.encode() + b'"')


# Piped input, the fourth start, ends byte for byte as before with no prompt to close:
# test_pipes proves that on this build.
@pytest.mark.parametrize("start, in_the_way, status", [
    ("own", None, 0), ("own", "wpa_supplicant.conf", 1), ("own", "ssh", 2), ("cmd", None, 0),
    ("launcher", None, 0)])
def test_only_a_window_of_its_own_waits_for_enter_at_the_end(build, tmp_path, start, in_the_way,
                                                             status):
    if in_the_way:
        (tmp_path / in_the_way).mkdir()
    child = spawn(build, tmp_path, start)
    type_answers(child, ["GB", "HomeNet", "0123456789"])
    child.expect_exact({None: b"later.", "ssh": EXPECTED["ssh_error"],
                        "wpa_supplicant.conf": EXPECTED["config_error"]}[in_the_way])
    if start == "own":
        closed_with, before_prompt = press_enter_to_close(child)
        assert closed_with == status
        # After an error, which ends without a line end, the prompt starts a line of its own.
        assert b"\n" in before_prompt or not in_the_way
    else:
        child.expect(pexpect.EOF)
        assert EXPECTED["close_prompt"] not in child.before
        child.close()
        assert child.exitstatus == status
