"""End-to-end runs under a real pseudo-terminal, as a person at a console."""

import os
import signal
import time

import pexpect
import pytest

from harness import EXPECTED

pytestmark = pytest.mark.posix("a pseudo-terminal drives POSIX programs; Wine's console is not one")
ANSWERS = [(EXPECTED["country_prompt"], "GB"), (EXPECTED["ssid_prompt"], "HomeNet"),
           (EXPECTED["password_prompt"], "correct horse battery staple")]


@pytest.fixture
def child(build, program):
    command, arguments = build.spawn_arguments(program)
    spawned = pexpect.spawn(command, arguments, cwd=program.parent, timeout=10, echo=False)
    yield spawned
    spawned.close(force=True)


class TestInterrupt:
    @pytest.mark.parametrize("answered", [0, 1, 2])
    def test_interrupt_at_each_prompt_leaves_no_file(self, child, tmp_path, answered):
        for prompt, answer in ANSWERS[:answered]:
            child.expect_exact(prompt)
            child.sendline(answer)
        child.expect_exact(ANSWERS[answered][0])
        child.sendintr()
        child.expect(pexpect.EOF)
        child.close()
        assert child.signalstatus == signal.SIGINT
        assert child.before == b"", "the program printed on interrupt"
        assert os.listdir(tmp_path) == []


    @pytest.mark.root("to see the program wait in a write (/proc/PID/syscall of a process that "
                      "is not dumpable)")
    def test_output_stopped_before_the_files_leaves_a_signal_its_effect_and_the_card_as_it_was(
            self, child, tmp_path):
        """Ctrl-S after the password stops the first progress line, which goes out before the
        files are touched and before any signal is held: SIGTERM still ends the run at once."""
        for prompt, answer in ANSWERS[:2]:
            child.expect_exact(prompt)
            child.sendline(answer)
        child.expect_exact(ANSWERS[2][0])
        child.send("\x13")
        child.sendline(ANSWERS[2][1])
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not waits_in_a_write(child.pid):
            time.sleep(0.01)
        assert waits_in_a_write(child.pid)
        child.kill(signal.SIGTERM)
        child.expect(pexpect.EOF)
        child.close()
        assert child.signalstatus == signal.SIGTERM
        assert os.listdir(tmp_path) == []


def waits_in_a_write(pid):
    with open(f"/proc/{pid}/syscall", encoding="ascii") as syscall:
        return syscall.read().split()[0] == "1"  # write(2) on x86_64, the host's


class TestEndOfInput:
    def test_end_of_input_after_a_typed_answer_ends_the_run_at_once(self, child, tmp_path):
        """Ctrl-D after typed text hands over that text; a second one ends the input, and the
        run, without waiting for more."""
        child.expect_exact(ANSWERS[0][0])
        child.sendline("GB")
        child.expect_exact(ANSWERS[1][0])
        child.send("HomeNet")
        child.sendeof()
        child.sendeof()
        child.expect_exact(ANSWERS[2][0] + EXPECTED["input_ended"].replace(b"\n", b"\r\n"))
        child.expect(pexpect.EOF)
        child.close()
        assert (child.exitstatus, os.listdir(tmp_path)) == (3, [])
