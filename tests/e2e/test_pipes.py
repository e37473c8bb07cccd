"""End-to-end runs through pipes: exact console bytes, files and statuses."""

import fcntl
import os
import resource
import select
import shutil
import signal
import stat
import subprocess
import time

import pexpect
import pexpect.popen_spawn
import pytest

from harness import EARLIER, EXPECTED, PROMPTS, RUN_TIMEOUT, SUCCESS_OUTPUT, TYPICAL_ANSWERS



def entries(directory):
    return sorted(os.listdir(directory))


def test_typical_run_prints_and_writes_exact_bytes_whatever_the_extra_arguments(
        build, program, tmp_path):
    result = build.run(argument_zero=program, cwd=tmp_path, arguments=("--help", "-v", "x"))

    assert (result.returncode, result.stdout, result.stderr) == (0, build.text(SUCCESS_OUTPUT), b"")
    assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config()
    assert (tmp_path / "ssh").read_bytes() == b""
    assert entries(tmp_path) == ["ssh", "wpa_supplicant.conf"]


def test_piped_bytes_reach_the_answers_as_they_are(build, program, tmp_path):
    """On Windows too: a Ctrl-Z byte is no end, and only the CR right before a line feed goes."""
    result = build.run(b"GB\nHo\x1ame\r\r\npassword\n", argument_zero=program, cwd=tmp_path)

    assert result.returncode == 0, result.stdout
    assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config(
        b"GB", b"Ho\x1ame\r", b'"password"')


def test_second_run_replaces_config_and_truncates_ssh(build, program, tmp_path):
    build.run(b"FR\nOld\nolderpassword\n", argument_zero=program, cwd=tmp_path)
    (tmp_path / "ssh").write_bytes(b"left by someone else")

    assert build.run(argument_zero=program, cwd=tmp_path).returncode == 0
    assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config()
    assert (tmp_path / "ssh").read_bytes() == b""
    assert entries(tmp_path) == ["ssh", "wpa_supplicant.conf"]


@pytest.mark.posix("Windows: argument zero is a Windows path, and files have no mode bits")
class TestArgumentZero:
    def test_absolute_path_chooses_the_directory_however_long(self, build, tmp_path):
        target = tmp_path / ("d" * 100) / ("e" * 100)
        target.mkdir(parents=True)
        (tmp_path / "elsewhere").mkdir()

        result = build.run(argument_zero=target / "tool", cwd=tmp_path / "elsewhere")

        assert result.returncode == 0
        assert (target / "wpa_supplicant.conf").read_bytes() == build.config()
        assert entries(target) == ["ssh", "wpa_supplicant.conf"]
        assert entries(tmp_path / "elsewhere") == []

    @pytest.mark.parametrize("umask", [0o022, 0o277])
    def test_config_is_private_to_its_owner_whatever_the_umask(self, build, program, umask):
        result = build.run(argument_zero=program, preexec_fn=lambda: os.umask(umask))

        assert result.returncode == 0
        assert stat.S_IMODE(os.stat(program.parent / "wpa_supplicant.conf").st_mode) == 0o600


class TestFailedRuns:
    @pytest.mark.parametrize("in_the_way, status, end", [
        ("wpa_supplicant.conf", 1, EXPECTED["config_progress"]),
        ("ssh", 2, EXPECTED["config_progress"] + EXPECTED["ssh_progress"]),
    ])
    def test_a_directory_in_the_way_ends_with_its_status_and_message(
            self, build, program, tmp_path, in_the_way, status, end):
        (tmp_path / in_the_way).mkdir()

        result = build.run(argument_zero=program, cwd=tmp_path)

        error = EXPECTED["config_error" if status == 1 else "ssh_error"]
        assert (result.returncode, result.stdout, result.stderr) == (
            status, build.text(EXPECTED["banner"] + PROMPTS + end) + error, b"")
        assert entries(tmp_path) == sorted({in_the_way, "wpa_supplicant.conf"})
        if status == 2:
            assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config()

    def test_input_ending_early_ends_with_status_3_and_no_file(self, build, program, tmp_path):
        result = build.run(b"GB\nHomeNet\nshort", argument_zero=program, cwd=tmp_path)

        assert result.returncode == 3
        assert result.stdout == build.text(EXPECTED["banner"] + PROMPTS + EXPECTED["password_refused"]
                                           + EXPECTED["password_prompt"] + EXPECTED["input_ended"])
        assert entries(tmp_path) == []

    @pytest.mark.posix("Windows: a closed descriptor is a POSIX case")
    def test_closed_standard_input_ends_with_status_3(self, build, program, tmp_path):
        result = build.run(None, argument_zero=program, cwd=tmp_path, stdin=None,
                           preexec_fn=lambda: os.close(0))

        assert result.returncode == 3
        assert entries(tmp_path) == []

    @pytest.mark.posix("Windows: /proc and absolute argument zero are Linux cases")
    @pytest.mark.parametrize("argument_zero", ["/proc/tolvenix-setup", "missing/tool"])
    def test_a_directory_where_nothing_can_be_created_ends_with_status_1(
            self, build, tmp_path, argument_zero):
        result = build.run(argument_zero=tmp_path / argument_zero, cwd=tmp_path)

        assert result.returncode == 1
        assert result.stdout.endswith(EXPECTED["config_progress"] + EXPECTED["config_error"])
        assert entries(tmp_path) == []


@pytest.mark.posix("Windows: RLIMIT_FSIZE is a Linux limit (Wine's server would inherit it)")
@pytest.mark.parametrize("earlier", [None, EARLIER], ids=["no earlier file", "an earlier file"])
def test_full_disk_leaves_nothing_new(build, program, tmp_path, earlier):
    """A file size limit makes every write past it fail, as a full disk does; SIGXFSZ is at
    its default, which ends a program that writes past the limit unless it ignores it."""
    if earlier:
        (tmp_path / "wpa_supplicant.conf").write_bytes(earlier)

    def limit_file_size():
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        resource.setrlimit(resource.RLIMIT_FSIZE, (100, 100))
    result = build.run(argument_zero=program, preexec_fn=limit_file_size)

    assert result.returncode == 1
    assert result.stdout.endswith(EXPECTED["config_progress"] + EXPECTED["config_error"])
    assert {name: (tmp_path / name).read_bytes() for name in os.listdir(tmp_path)} == (
        {"wpa_supplicant.conf": earlier} if earlier else {})


def read_while_running(process, end, until=None):
    """What arrives on the pipe's reading end `end` until `process` has ended (and all it
    wrote is read) or, with `until`, until the bytes read end with that."""
    read, deadline = b"", time.monotonic() + RUN_TIMEOUT
    while time.monotonic() < deadline and not (until and read.endswith(until)):
        ended = process.poll() is not None
        if select.select([end], [], [], 0.05)[0]:
            read += os.read(end, 65536)
        elif ended:
            break
    return read


@pytest.mark.posix("Windows: non-blocking descriptors, signals and SIGPIPE are POSIX")
class TestStreamsLeftOdd:
    """Standard streams and signals as another program may leave them: the run goes on as
    usual, and leaves them as it found them."""

    @pytest.mark.parametrize("signalled", [False, True], ids=["late answers", "signal at a prompt"])
    def test_non_blocking_pipes_are_waited_on_and_left_as_they_were(self, build, program,
                                                                   signalled):
        """The caller shares the pipes' ends: their flags stay as it set them, even when a
        signal ends the run. The output pipe holds one page, less than what the refusals print:
        every byte arrives all the same."""
        input_end, answers_end = os.pipe()
        output_kept, output_end = os.pipe()
        fcntl.fcntl(output_end, fcntl.F_SETPIPE_SZ, 4096)
        for end in (input_end, output_end):
            fcntl.fcntl(end, fcntl.F_SETFL, os.O_NONBLOCK | os.O_APPEND)
        process = build.start(argument_zero=program, stdin=input_end, stdout=output_end)
        if signalled:
            assert read_while_running(process, output_kept, until=EXPECTED["country_prompt"])
            process.send_signal(signal.SIGTERM)
            assert process.wait(timeout=RUN_TIMEOUT) == -signal.SIGTERM
        else:
            time.sleep(0.3)
            os.write(answers_end, b"#\n" * 60 + TYPICAL_ANSWERS)
            refused = EXPECTED["country_prompt"] + EXPECTED["country_refused"]
            assert read_while_running(process, output_kept) == build.text(
                EXPECTED["banner"] + refused * 60 + SUCCESS_OUTPUT[len(EXPECTED["banner"]):])
            assert process.returncode == 0
        for end in (input_end, output_end):
            assert fcntl.fcntl(end, fcntl.F_GETFL) & (os.O_NONBLOCK | os.O_APPEND) == (
                os.O_NONBLOCK | os.O_APPEND)
        for end in (input_end, answers_end, output_end, output_kept):
            os.close(end)

    def test_a_signal_the_caller_blocked_stays_blocked(self, build, program):
        """The hold gives back exactly the mask it found: a SIGTERM that the caller blocked and
        sent before the answers stays pending, unseen, to the end of the run."""
        process = build.start(argument_zero=program, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_BLOCK,
                                                                        {signal.SIGTERM}))
        process.send_signal(signal.SIGTERM)
        output, _ = process.communicate(TYPICAL_ANSWERS, timeout=RUN_TIMEOUT)

        assert process.returncode == 0
        assert output.endswith(build.text(EXPECTED["closing"]))

    def test_output_without_reader_still_writes_both_files(self, build, program):
        read_end, write_end = os.pipe()
        os.close(read_end)
        process = build.start(argument_zero=program, stdin=subprocess.PIPE, stdout=write_end)
        os.close(write_end)
        process.communicate(TYPICAL_ANSWERS, timeout=RUN_TIMEOUT)

        assert process.returncode == 0
        assert entries(program.parent) == ["ssh", "wpa_supplicant.conf"]


def test_each_prompt_and_refusal_arrives_on_a_pipe_before_the_program_waits(build, program):
    """On a pipe no terminal read flushes for the program: every prompt, and every refusal,
    must arrive before the program waits for its answer."""
    command, arguments = build.spawn_arguments(program)
    child = pexpect.popen_spawn.PopenSpawn([command, *arguments], cwd=program.parent,
                                           timeout=RUN_TIMEOUT)
    for shown, answer in [(EXPECTED["country_prompt"], b"GB\n\n\n"),
                          (EXPECTED["ssid_prompt"], b"HomeNet\n"),
                          (EXPECTED["password_prompt"], b"short\n"),
                          (build.text(EXPECTED["password_refused"]) + EXPECTED["password_prompt"],
                           b"0123456789\n")]:
        child.expect_exact(shown)
        child.expect(pexpect.TIMEOUT, timeout=0.3)
        assert child.before == b"", "the program printed before it got its answer"
        child.send(answer)
    child.sendeof()
    child.expect_exact(build.text(EXPECTED["closing"]))
    child.expect(pexpect.EOF)
    assert child.wait() == 0


@pytest.mark.native
def test_fifty_megabyte_line_is_refused_in_little_memory(build, tmp_path):
    """A copy of the program sits in the directory, so that its own path puts the files there;
    GNU time's child is small before it starts the program, so the peak is the program's own."""
    answers = tmp_path / "answers"
    answers.write_bytes(b"GB\n" + b"N" * (50 * 1024 * 1024) + b"\nHomeNet\n0123456789\n")
    shutil.copy2(build.binary, tmp_path / "tolvenix-setup")
    with open(answers, "rb") as stdin:
        completed = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", tmp_path / "peak-kib",
                                    tmp_path / "tolvenix-setup"], stdin=stdin,
                                   stdout=subprocess.DEVNULL, timeout=RUN_TIMEOUT, check=False)

    assert completed.returncode == 0
    assert int((tmp_path / "peak-kib").read_text().split()[-1]) < 16 * 1024
    assert b'ssid="HomeNet"' in (tmp_path / "wpa_supplicant.conf").read_bytes()
