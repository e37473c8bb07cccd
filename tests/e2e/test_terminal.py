"""End-to-end runs under a real pseudo-terminal, as a person at a console."""

import os
import signal

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
