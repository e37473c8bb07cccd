"""The written files against what others on the machine, and the machine itself, can do:
another user watching the directory, links and FIFOs under the files' names, files swapped
while the program looks, and system calls that fail or wait."""

import ctypes
import fcntl
import json
import os
import re
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import termios
import time

import pytest

from harness import EARLIER, EXPECTED, RUN_TIMEOUT, TYPICAL_ANSWERS

NOBODY = 65534
# Every signal whose default action ends the process and that a process can hold back, glibc's
# own 32 and 33 (which Python does not name) among them.
SIGNALS_THAT_END_A_PROCESS = [getattr(signal, name) for name in (
    "SIGINT", "SIGQUIT", "SIGTERM", "SIGHUP", "SIGUSR1", "SIGUSR2", "SIGALRM", "SIGVTALRM",
    "SIGPROF", "SIGIO", "SIGPWR", "SIGSYS", "SIGXCPU", "SIGTRAP", "SIGABRT", "SIGSTKFLT",
    "SIGRTMIN")] + [32, 33]

# Runs as another user: watches the directory with inotify and opens every file the moment it
# is created, for reading and for writing. Reports, when its standard input closes, how many
# files it saw created and the names it got a descriptor for.
WATCHER = r"""
import ctypes, json, os, select, struct, sys
libc = ctypes.CDLL(None, use_errno=True)
IN_CREATE, IN_MOVED_TO = 0x100, 0x80
watch = libc.inotify_init1(os.O_NONBLOCK)
if watch < 0 or libc.inotify_add_watch(watch, sys.argv[1].encode(), IN_CREATE | IN_MOVED_TO) < 0:
    sys.exit("inotify: errno %d" % ctypes.get_errno())
print("watching", flush=True)
created, opened = 0, set()
while True:
    ready, _, _ = select.select([watch, 0], [], [])
    if watch in ready:
        try:
            events = os.read(watch, 65536)
        except BlockingIOError:
            continue
        offset = 0
        while offset < len(events):
            _, mask, _, length = struct.unpack_from("iIII", events, offset)
            name = events[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
            offset += 16 + length
            created += bool(mask & IN_CREATE)
            for flags in (os.O_RDONLY, os.O_WRONLY):
                try:
                    os.close(os.open(os.path.join(sys.argv[1], name), flags | os.O_NONBLOCK))
                    opened.add(name)
                except OSError:
                    pass
    if 0 in ready and not os.read(0, 1):
        break
print(json.dumps({"created": created, "opened": sorted(opened)}))
"""


def opens_of(path):
    """Counts the opens of a file from now on (inotify's IN_OPEN)."""
    libc = ctypes.CDLL(None, use_errno=True)
    watch = libc.inotify_init1(os.O_NONBLOCK)
    assert libc.inotify_add_watch(watch, bytes(path), 0x20) >= 0

    def opens_seen():
        try:
            return len(os.read(watch, 4096))
        except BlockingIOError:
            return 0
    return opens_seen


def as_nobody():
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


@pytest.mark.posix("Windows: other users are a POSIX case here")
@pytest.mark.root("to watch as another user (nobody)")
class TestAnotherUserWatching:
    @pytest.mark.parametrize("umask", [0o022, 0o000])
    def test_the_password_file_is_never_open_to_anyone_else(self, build, umask):
        runs = 40
        with tempfile.TemporaryDirectory() as work:
            os.chmod(work, 0o755)
            watcher = subprocess.Popen([sys.executable, "-c", WATCHER, work],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       preexec_fn=as_nobody)
            try:
                assert watcher.stdout.readline() == b"watching\n"
                for _ in range(runs):
                    result = build.run(argument_zero=os.path.join(work, "tool"),
                                       preexec_fn=lambda: os.umask(umask))
                    assert result.returncode == 0, result.stdout
                time.sleep(0.2)  # the watcher's last events
                report = json.loads(watcher.communicate(timeout=RUN_TIMEOUT)[0])
            finally:
                watcher.kill()
        # Each run creates a temporary and, the first time, ssh; the watcher saw them, and could
        # open the ordinary ssh file.
        assert report["created"] >= runs
        assert "ssh" in report["opened"]
        assert [name for name in report["opened"] if name.startswith("wpa_supplicant.conf")] == []


class TestThingsInTheWay:
    @pytest.mark.parametrize("make, kept", [
        pytest.param(os.symlink, b"precious\n", id="link to a file",
                     marks=pytest.mark.posix("Wine follows a Unix link")),
        pytest.param(os.symlink, None, id="link to nothing", marks=pytest.mark.posix("as above")),
        pytest.param(os.link, b"precious\n", id="hard link"),
        pytest.param(lambda kept, ssh: os.mkfifo(ssh), None, id="FIFO",
                     marks=pytest.mark.posix("FIFOs are POSIX")),
        pytest.param(lambda kept, ssh: os.mkdir(ssh), None, id="directory"),
    ])
    def test_ssh_that_is_not_a_lone_regular_file_fails_promptly_and_stays(
            self, build, program, tmp_path, make, kept):
        ssh, other = tmp_path / "ssh", tmp_path.parent / (tmp_path.name + "-kept")
        if kept is not None:
            other.write_bytes(kept)
        make(other, ssh)
        kind = stat.S_IFMT(os.lstat(ssh).st_mode)

        result = build.run(argument_zero=program, cwd=tmp_path, timeout=5)

        assert result.returncode == 2, result.stdout
        assert stat.S_IFMT(os.lstat(ssh).st_mode) == kind
        assert (other.read_bytes() if other.exists() else None) == kept

    @pytest.mark.posix("device nodes and FIFOs are POSIX")
    @pytest.mark.parametrize("kind", [
        pytest.param("device", marks=pytest.mark.root("to make a device node")), "FIFO"])
    @pytest.mark.parametrize("proc", [True, pytest.param(False, marks=pytest.mark.preload)],
                             ids=["through /proc", "by name"])
    def test_a_device_or_fifo_named_ssh_is_never_opened(self, build, program, tmp_path, kind, proc):
        """Opening a device can make its driver act, and a FIFO with a reader opens at once;
        the node staying as it was does not show that, so inotify reports every open of it.
        By name is the look without /proc."""
        ssh = tmp_path / "ssh"
        if kind == "device":
            os.mknod(ssh, stat.S_IFCHR | 0o666, os.makedev(1, 3))  # what /dev/null is
        else:
            os.mkfifo(ssh)
        reader = os.open(ssh, os.O_RDONLY | os.O_NONBLOCK)
        try:
            opens_seen = opens_of(ssh)
            os.close(os.open(ssh, os.O_WRONLY | os.O_NONBLOCK))
            assert opens_seen() > 0, "inotify does not report opening this node"
            result = build.run(argument_zero=program, timeout=5,
                               env=None if proc else preloaded(build, fail_call="proc"))
        finally:
            os.close(reader)

        assert result.returncode == 2, result.stdout
        assert opens_seen() == 0, "the program opened the node named ssh"

    @pytest.mark.posix("/proc is Linux's")
    @pytest.mark.root("to mount over /proc in a mount namespace of the test's own (unshare -m)")
    @pytest.mark.native("sanitizer and emulator runtimes read /proc themselves")
    def test_a_proc_that_is_not_the_kernels_leads_nowhere(self, build, program, tmp_path):
        """Entries of a file system mounted over /proc can lead anywhere: ssh is judged by
        name instead, and the file they lead to stays as it was."""
        other = tmp_path.parent / (tmp_path.name + "-other")
        other.write_bytes(b"precious\n")
        (tmp_path / "ssh").write_bytes(b"old marker\n")
        shutil.copy(build.binary, program)
        fake_proc = ("mount -t tmpfs fake /proc && mkdir -p /proc/self/fd && for n in $(seq 0 9);"
                     ' do ln -s "$1" /proc/self/fd/$n; done && exec "$2"')
        result = subprocess.run(["unshare", "-m", "sh", "-c", fake_proc, "sh", other, program],
                                input=TYPICAL_ANSWERS, capture_output=True, timeout=RUN_TIMEOUT)

        assert result.returncode == 0, result.stdout + result.stderr
        assert (other.read_bytes(), (tmp_path / "ssh").read_bytes()) == (b"precious\n", b"")

    @pytest.mark.posix("Wine follows a Unix link")
    def test_link_named_like_the_config_is_replaced_and_its_target_kept(
            self, build, program, tmp_path):
        (tmp_path / "elsewhere").write_bytes(b"not a configuration\n")
        os.symlink(tmp_path / "elsewhere", tmp_path / "wpa_supplicant.conf")

        assert build.run(argument_zero=program).returncode == 0
        assert not (tmp_path / "wpa_supplicant.conf").is_symlink()
        assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config()
        assert (tmp_path / "elsewhere").read_bytes() == b"not a configuration\n"


def preloaded(build, **settings):
    return {"LD_PRELOAD": build.settings["failing_calls"],
            **{"TOLVENIX_" + name.upper(): str(value) for name, value in settings.items()}}


def start_in_slowed_sync(build, work, preexec_fn, popen=None, **settings):
    """Starts the program in `work` with its answers given (on a pipe, unless `popen` gives
    other streams) and waits until it is inside the half-second sync of its temporary file (or
    of the file or directory `slow_path` names)."""
    report = os.path.join(work, "slowed-fd")
    process = build.start(argument_zero=os.path.join(work, "tool"), cwd=work,
                          preexec_fn=preexec_fn,
                          **(popen or {"stdin": subprocess.PIPE, "stdout": subprocess.PIPE}),
                          env=preloaded(build, slow_fsync_ms=500, slowed_fd_report=report,
                                        **settings))
    if process.stdin:
        process.stdin.write(TYPICAL_ANSWERS)
        process.stdin.close()
    while not os.path.exists(report) and process.poll() is None:
        time.sleep(0.01)
    return process


def assert_ended_by_signal_with_both_files(build, process, work, number):
    """The signal took effect only once both files were in place, the sync it waited in done."""
    assert (number, process.wait(timeout=RUN_TIMEOUT)) == (number, -number)
    # The line between the two files went out before the signal ended the run.
    assert not process.stdout or process.stdout.read().endswith(build.text(EXPECTED["ssh_progress"]))
    assert (number, (work / "slowed-fd").read_text().split()[1:]) == (number, ["synced"])
    assert (number, sorted(os.listdir(work))) == (number, ["slowed-fd", "ssh", "wpa_supplicant.conf"])
    assert (work / "wpa_supplicant.conf").read_bytes() == build.config()


@pytest.mark.preload
class TestRaces:
    """Another process puts something else under the name ssh right after the program's look
    at it: whatever it is, nothing but the program's own ssh is emptied, nothing waits, and
    the run fails with status 2, through /proc and by name alike. On Linux the file looked at
    is judged and opened through /proc: it has lost its name or gained another; without /proc,
    the look by name is checked again on the file opened."""

    @pytest.mark.parametrize("proc, ssh_before, action, precious_at", [
        pytest.param(True, True, "none", None, id="through /proc-none"),
        pytest.param(True, True, "hard link", "other", id="through /proc-hard link"),
        pytest.param(True, True, "symbolic link", "other", id="through /proc-symbolic link"),
        pytest.param(True, True, "FIFO", None, id="through /proc-FIFO"),
        pytest.param(True, True, "renamed over", "ssh", id="through /proc-renamed over"),
        pytest.param(True, True, "second link", "ssh", id="through /proc-second link"),
        pytest.param(True, False, "none", None, id="through /proc-none-new"),
        pytest.param(True, False, "hard link", "other", id="through /proc-hard link-new"),
        pytest.param(False, True, "none", None, id="by name-none"),
        pytest.param(False, True, "hard link", "other", id="by name-hard link"),
        pytest.param(False, True, "symbolic link", "other", id="by name-symbolic link"),
        pytest.param(False, True, "FIFO", None, id="by name-FIFO"),
        pytest.param(False, True, "renamed over", "ssh", id="by name-renamed over"),
        pytest.param(False, True, "second link", "ssh", id="by name-second link"),
        pytest.param(False, False, "none", None, id="by name-none-new"),
        pytest.param(False, False, "hard link", "other", id="by name-hard link-new"),
        # Between the look and the reopen: what the name leads to now is never opened, and a
        # file that gained a name is not emptied.
        pytest.param(True, True, "renamed over at the reopen", "ssh",
                     id="through /proc-renamed over at the reopen"),
        pytest.param(True, True, "second link at the reopen", "ssh",
                     id="through /proc-second link at the reopen"),
    ])
    def test_a_swap_after_the_look_at_ssh_empties_nothing_else(
            self, build, program, tmp_path, proc, ssh_before, action, precious_at):
        ssh, other = tmp_path / "ssh", tmp_path / "other"
        if ssh_before:
            ssh.write_bytes(b"precious\n" if "second link" in action else b"old marker\n")
        if "second link" not in action:
            other.write_bytes(b"precious\n")
        action, at_reopen = action.removesuffix(" at the reopen"), action.endswith("reopen")
        settings = {"race": action, "race_other": other, "race_at": "reopen" if at_reopen else ""}
        # A link swapped in is not followed: what it leads to (a device, say) is never opened.
        watched = other.exists() and (action == "symbolic link" or at_reopen)
        opens_seen = opens_of(other) if watched else lambda: 0
        result = build.run(argument_zero=program, timeout=5, env=preloaded(
            build, **settings, **({} if proc else {"fail_call": "proc"})))

        assert result.returncode == (0 if action == "none" else 2), result.stdout
        assert opens_seen() == 0
        if precious_at:
            assert (tmp_path / precious_at).read_bytes() == b"precious\n"
        if action == "none":
            assert ssh.read_bytes() == b""


def in_a_root_of_its_own(build, root):
    """How to start the program as /tool in `root` made the root directory (chroot), with the
    libraries it and the preloaded library load."""
    listed = subprocess.run(["ldd", build.binary, build.settings["failing_calls"]], check=True,
                            capture_output=True, text=True).stdout
    for library in {*re.findall(r"(/\S+) \(0x", listed), build.settings["failing_calls"]}:
        (root / library[1:]).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(library, root / library[1:])
    shutil.copy(build.binary, root / "tool")
    return {"argument_zero": "/tool", "binary": "/tool", "preexec_fn": lambda: os.chroot(root)}


@pytest.mark.preload
class TestFailingCalls:
    @pytest.mark.parametrize("calls, settings, status, config", [
        ("write", {}, 1, EARLIER),
        ("fsync", {}, 1, EARLIER),
        ("close", {}, 1, EARLIER),
        ("rename", {}, 1, EARLIER),
        # The temporary cannot be removed either (an append-only directory): it is emptied; a
        # card that refuses that too keeps it whole, and the run names it.
        ("rename,unlink", {}, 1, EARLIER),
        ("rename,unlink,ftruncate", {}, 1, EARLIER),
        ("rename,ftruncate", {}, 1, EARLIER),
        # The rename is made; only its sync failed, as the README says.
        ("fsync", {"fail_path": "."}, 1, None),
        ("fsync", {"fail_path": "ssh"}, 2, None),
        ("fsync", {"fail_path": ".", "fail_only": 2}, 2, None),
        # The directory synced is the one the files are in, however the program was started.
        ("fsync", {"fail_path": ".", "start": "bare name"}, 1, None),
        pytest.param("fsync", {"fail_path": "/", "start": "in /"}, 1, None,
                     marks=pytest.mark.root("to start the program in a root of its own (chroot)")),
        # A directory that cannot be synced, or cannot be opened for it, is left to the system.
        ("fsync", {"fail_path": ".", "fail_errno": 22}, 0, None),
        ("directory", {}, 0, None),
        ("close", {"fail_path": "ssh"}, 2, None),
        # An interrupted call is made again.
        ("write", {"fail_errno": 4, "fail_only": 1}, 0, None),
        ("fsync", {"fail_errno": 4, "fail_only": 1}, 0, None),
    ])
    def test_a_failed_call_ends_with_its_status_and_leaves_no_password_behind(
            self, build, program, tmp_path, calls, settings, status, config):
        (tmp_path / "wpa_supplicant.conf").write_bytes(EARLIER)
        (tmp_path / "ssh").write_bytes(b"")
        settings = dict(settings)
        start = {"bare name": {"argument_zero": "tolvenix-setup", "cwd": tmp_path},
                 "in /": in_a_root_of_its_own(build, tmp_path)}.get(settings.pop("start", None),
                                                                  {"argument_zero": program})
        if "fail_path" in settings and start.get("argument_zero") != "/tool":
            settings["fail_path"] = tmp_path / settings["fail_path"]
        result = build.run(**start, env=preloaded(build, fail_call=calls, **settings))

        assert result.returncode == status, result.stdout
        assert (tmp_path / "wpa_supplicant.conf").read_bytes() == (config or build.config())
        # Only a temporary that can be neither removed nor emptied is left whole, and named.
        whole = "unlink" in calls and "ftruncate" in calls
        temporaries = [entry for entry in os.listdir(tmp_path) if ".tmp" in entry]
        assert [os.path.getsize(tmp_path / entry) for entry in temporaries] == (
            [len(build.config())] if whole else [0] if "unlink" in calls else [])
        if status == 1:
            left = (EXPECTED["password_left"].replace(b"{path}", bytes(tmp_path / temporaries[0]))
                    if whole else b"")
            assert result.stdout.endswith(EXPECTED["config_error"] + left)

    def test_closed_standard_output_never_receives_the_password_file(self, build, program):
        """With descriptors 1 and 2 closed, the file holding the password must not take either
        number, where any later message would land in it."""
        def close_output():
            os.close(1)
            os.close(2)
        process = start_in_slowed_sync(build, program.parent, close_output)

        assert process.wait(timeout=RUN_TIMEOUT) == 0
        assert int((program.parent / "slowed-fd").read_text().split()[0]) >= 3
        assert (program.parent / "wpa_supplicant.conf").read_bytes() == build.config()


def allow_core_files():
    _, hard = resource.getrlimit(resource.RLIMIT_CORE)
    resource.setrlimit(resource.RLIMIT_CORE, (hard, hard))


@pytest.mark.preload
class TestSignals:
    @pytest.mark.parametrize("slowed", ["temporary", "directory"])
    def test_a_signal_while_the_file_is_put_in_place_waits_until_it_is_durable(
            self, build, tmp_path, slowed):
        """One run per signal whose default ends the process, each signalled inside the
        half-second sync of its temporary file, or of its directory after the rename.
        Core files are allowed as far as the hard limit goes: the program must allow none itself
        (a core would hold the password)."""
        runs = {}
        for number in SIGNALS_THAT_END_A_PROCESS:
            work = tmp_path / str(number)
            work.mkdir()
            slow_path = {"slow_path": work} if slowed == "directory" else {}
            process = start_in_slowed_sync(build, work, allow_core_files, **slow_path)
            runs[number] = (process, work)
            with open(f"/proc/{process.pid}/limits", encoding="ascii") as limits:
                assert " 0 " in next(line for line in limits if line.startswith("Max core")), number
            process.send_signal(number)
        for number, (process, work) in runs.items():
            assert_ended_by_signal_with_both_files(build, process, work, number)



@pytest.mark.preload
class TestSignalsAtTheConsole:
    def test_a_terminal_closed_while_the_files_are_written_ends_the_run_after_both(
            self, build, tmp_path):
        """The user closes the terminal window: its master side goes, and the program, which
        leads the terminal's session, receives SIGHUP."""
        master, terminal = os.openpty()
        os.write(master, TYPICAL_ANSWERS)
        process = start_in_slowed_sync(build, tmp_path, lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0),
                                       popen={"stdin": terminal, "stdout": terminal,
                                              "stderr": terminal, "start_new_session": True})
        os.close(terminal)
        os.close(master)
        assert_ended_by_signal_with_both_files(build, process, tmp_path, signal.SIGHUP)

    def test_a_terminal_stopped_inside_the_hold_can_hold_up_only_a_complete_run(
            self, build, tmp_path):
        """Ctrl-S stops the terminal's output while the files are written: the line between
        them then waits, and with it a SIGTERM, until the SIGKILL that follows; both files are
        in place by then, since nothing is written to the console before they are."""
        master, terminal = os.openpty()
        os.write(master, TYPICAL_ANSWERS)
        process = start_in_slowed_sync(build, tmp_path, None, popen={
            "stdin": terminal, "stdout": terminal, "stderr": terminal})
        termios.tcflow(terminal, termios.TCOOFF)
        process.send_signal(signal.SIGTERM)
        deadline = time.monotonic() + 5
        while not (tmp_path / "ssh").exists() and time.monotonic() < deadline:
            time.sleep(0.01)
        time.sleep(0.1)
        process.kill()
        os.close(terminal)
        os.close(master)

        assert process.wait(timeout=RUN_TIMEOUT) == -signal.SIGKILL
        assert sorted(os.listdir(tmp_path)) == ["slowed-fd", "ssh", "wpa_supplicant.conf"]
        assert (tmp_path / "wpa_supplicant.conf").read_bytes() == build.config()

    def test_a_failure_inside_the_hold_is_told_before_the_signal_ends_the_run(self, build, tmp_path):
        process = start_in_slowed_sync(build, tmp_path, None, fail_call="rename")
        process.send_signal(signal.SIGTERM)

        assert process.wait(timeout=RUN_TIMEOUT) == -signal.SIGTERM
        assert process.stdout.read().endswith(EXPECTED["config_error"])
        assert os.listdir(tmp_path) == ["slowed-fd"]

    @pytest.mark.root("to run the program and its neighbour as another user (nobody)")
    def test_another_program_of_the_same_user_cannot_read_its_memory(self, build):
        with tempfile.TemporaryDirectory() as work:
            os.chmod(work, 0o777)
            process = start_in_slowed_sync(build, work, as_nobody)
            neighbour = subprocess.run(
                [sys.executable, "-c", f"open('/proc/{process.pid}/environ', 'rb').read()"],
                preexec_fn=as_nobody, capture_output=True, timeout=RUN_TIMEOUT)
            assert process.wait(timeout=RUN_TIMEOUT) == 0
        assert b"PermissionError" in neighbour.stderr
