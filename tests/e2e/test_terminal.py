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


def assert_quiet(child):
    child.expect(pexpect.TIMEOUT, timeout=0.3)
    assert child.before == b"", "the program printed before it got its answer"


class TestDialogue:
    def test_each_prompt_and_refusal_is_shown_before_the_answer_is_typed(self, child, tmp_path):
        for prompt, answer in ANSWERS:
            child.expect_exact(prompt)
            first = prompt == EXPECTED["country_prompt"]
            assert child.before == (EXPECTED["banner"].replace(b"\n", b"\r\n") if first else b"")
            assert_quiet(child)
            if prompt == EXPECTED["password_prompt"]:
                child.sendline("short")
                child.expect_exact(EXPECTED["password_refused"].replace(b"\n", b"\r\n") + prompt)
                assert_quiet(child)
            child.sendline(answer)
        child.expect_exact(b"later.\r\n\r\n")
        child.expect(pexpect.EOF)
        child.close()
        assert child.exitstatus == 0
        config = (tmp_path / "wpa_supplicant.conf").read_bytes()
        assert b'psk="correct horse battery staple"' in config


class TestEmptyLines:
    def test_empty_lines_do_not_bring_the_next_prompt(self, child, tmp_path):
        for prompt, answer in ANSWERS:
            child.expect_exact(prompt)
            for _ in range(3):
                child.sendline("")
                child.sendline("   ")
            assert_quiet(child)
            assert os.listdir(tmp_path) == []
            child.sendline(answer)
        child.expect(pexpect.EOF)
        child.close()
        assert child.exitstatus == 0


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
