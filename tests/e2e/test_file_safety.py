"""The written files against what others on the machine, and the machine
itself, can do: another user watching the directory, links and FIFOs under
the files' names, and system calls that fail."""

import ctypes
import json
import os
import resource
import signal
import stat
import subprocess
import sys
import time
import unittest

import harness
from harness import CONFIG_ERROR, TYPICAL_ANSWERS, config_text

TYPICAL_CONFIG = config_text(b"GB", b"HomeNet", b'"0123456789"')
FAILING_CALLS = os.environ.get("TOLVENIX_FAILING_CALLS", "")
# How long the slowed sync of the temporary file takes: long enough to act inside it.
SLOW_FSYNC_MS = "1000"
NOBODY = 65534
POSIX_ONLY = "Windows: links, FIFOs, file modes and other users are POSIX cases here"
# Every signal whose default action ends the process and that a process can hold back.
SIGNALS_THAT_END_A_PROCESS = (
    "SIGINT", "SIGQUIT", "SIGTERM", "SIGHUP", "SIGUSR1", "SIGUSR2", "SIGALRM", "SIGVTALRM",
    "SIGPROF", "SIGIO", "SIGPWR", "SIGSYS", "SIGXCPU", "SIGTRAP", "SIGABRT", "SIGSTKFLT",
    "SIGRTMIN")

# Runs as another user: watches the directory with inotify and opens every
# file the moment it is created, for reading and for writing. Reports, when
# its standard input closes, how many files it saw created and the names it
# got a descriptor for.
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


def allow_core_files():
    _, hard = resource.getrlimit(resource.RLIMIT_CORE)
    resource.setrlimit(resource.RLIMIT_CORE, (hard, hard))


def as_nobody():
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


@unittest.skipIf(harness.ON_WINDOWS, POSIX_ONLY)
class AnotherUserWatching(harness.TemporaryDirectoryTestCase):
    RUNS = 40

    def watch_runs(self, umask):
        """Runs the program RUNS times in a fresh directory while another
        user watches it; returns the watcher's report."""
        os.chmod(self.directory, 0o755)
        work = self.path(f"umask-{umask:03o}")
        os.mkdir(work)
        os.chmod(work, 0o755)
        watcher = subprocess.Popen([sys.executable, "-c", WATCHER, work],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   preexec_fn=as_nobody)
        self.addCleanup(watcher.kill)
        self.assertEqual(watcher.stdout.readline(), b"watching\n")
        for _ in range(self.RUNS):
            result = harness.run(TYPICAL_ANSWERS, argument_zero=os.path.join(work, "tool"),
                                 preexec_fn=lambda: os.umask(umask))
            self.assertEqual(result.status, 0, result.stdout)
        time.sleep(0.2)  # the watcher's last events
        report, _ = watcher.communicate(timeout=harness.RUN_TIMEOUT)
        return json.loads(report)

    def test_the_password_file_is_never_open_to_anyone_else(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, to watch as another user (nobody)")
        for umask in (0o022, 0o000):
            with self.subTest(umask=oct(umask)):
                report = self.watch_runs(umask)
                print(f"umask {umask:03o}: {report['created']} files created, opened: "
                      f"{report['opened']}", file=sys.stderr)
                # Each run creates a temporary and, the first time, ssh; the
                # watcher saw them, and could open the ordinary ssh file.
                self.assertGreaterEqual(report["created"], self.RUNS)
                self.assertIn("ssh", report["opened"])
                self.assertEqual([name for name in report["opened"]
                                  if name.startswith("wpa_supplicant.conf")], [])


@unittest.skipIf(harness.ON_WINDOWS, POSIX_ONLY)
class ThingsInTheWay(harness.TemporaryDirectoryTestCase):
    def test_ssh_that_is_not_a_regular_file_fails_promptly_and_stays_untouched(self):
        cases = [
            # (name, how to make what is named ssh, what must stay as it was)
            ("link to a file", lambda ssh, kept: os.symlink(kept, ssh), b"precious\n"),
            ("link to nothing", lambda ssh, kept: os.symlink(kept, ssh), None),
            ("hard link", lambda ssh, kept: os.link(kept, ssh), b"precious\n"),
            ("FIFO", lambda ssh, kept: os.mkfifo(ssh), None),
            ("directory", lambda ssh, kept: os.mkdir(ssh), None),
        ]
        for name, make, kept_bytes in cases:
            with self.subTest(name):
                work = self.path(name.replace(" ", "-"))
                os.mkdir(work)
                ssh, kept = os.path.join(work, "ssh"), self.path("kept-" + name.replace(" ", "-"))
                if kept_bytes is not None:
                    with open(kept, "wb") as file:
                        file.write(kept_bytes)
                make(ssh, kept)
                kind = stat.S_IFMT(os.lstat(ssh).st_mode)
                started = time.monotonic()
                result = harness.run(TYPICAL_ANSWERS, argument_zero=os.path.join(work, "tool"),
                                     cwd=work)
                self.assertLess(time.monotonic() - started, 1.0)
                self.assertEqual(result.status, 2, result.stdout)
                self.assertEqual(stat.S_IFMT(os.lstat(ssh).st_mode), kind)
                if kept_bytes is None:
                    self.assertFalse(os.path.lexists(kept))
                else:
                    with open(kept, "rb") as file:
                        self.assertEqual(file.read(), kept_bytes)

    def test_a_device_named_ssh_is_never_opened(self):
        """Opening a device can make its driver act; the node staying as it was does not
        show that, so inotify reports every open of it."""
        if os.geteuid() != 0:
            self.skipTest("needs root, to make a device node")
        ssh = self.path("ssh")
        os.mknod(ssh, stat.S_IFCHR | 0o666, os.makedev(1, 3))  # what /dev/null is
        libc = ctypes.CDLL(None, use_errno=True)
        in_open = 0x20
        watch = libc.inotify_init1(os.O_NONBLOCK)
        self.assertGreaterEqual(watch, 0)
        self.addCleanup(os.close, watch)
        self.assertGreaterEqual(libc.inotify_add_watch(watch, ssh.encode(), in_open), 0)

        def opens_seen():
            try:
                return len(os.read(watch, 4096))
            except BlockingIOError:
                return 0
        os.close(os.open(ssh, os.O_RDONLY))
        self.assertGreater(opens_seen(), 0, "inotify does not report opening this device")

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path())

        self.assertEqual(result.status, 2, result.stdout)
        self.assertEqual(opens_seen(), 0, "the program opened the device named ssh")

    def test_link_named_like_the_config_is_replaced_and_its_target_kept(self):
        kept = self.path("elsewhere")
        with open(kept, "wb") as file:
            file.write(b"not a configuration\n")
        os.symlink(kept, self.path("wpa_supplicant.conf"))

        result = harness.run(TYPICAL_ANSWERS, argument_zero=self.program_path())

        self.assertEqual(result.status, 0, result.stdout)
        self.assertFalse(os.path.islink(self.path("wpa_supplicant.conf")))
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)
        self.assertEqual(self.read("elsewhere"), b"not a configuration\n")


@unittest.skipUnless(FAILING_CALLS, "needs the preloadable failing_calls library: a native, "
                     "dynamically linked build without sanitizers")
class FailingOrSlowSystemCalls(harness.TemporaryDirectoryTestCase):
    def test_a_failed_call_ends_with_its_status_and_leaves_no_password_behind(self):
        earlier = b"country=FR\nan earlier configuration\n"
        cases = [
            # (name, call, file whose call fails or "" for every file, status, config after)
            ("write", "write", "", 1, earlier),
            ("fsync", "fsync", "", 1, earlier),
            ("close", "close", "", 1, earlier),
            ("rename", "rename", "", 1, earlier),
            # The temporary cannot be removed either (an append-only directory): it is emptied.
            ("rename and clean-up", "rename,unlink", "", 1, earlier),
            # The rename is made; only its sync failed, as the README says.
            ("directory fsync", "fsync", ".", 1, TYPICAL_CONFIG),
            ("ssh fsync", "fsync", "ssh", 2, TYPICAL_CONFIG),
        ]
        for name, call, failing_path, status, config in cases:
            with self.subTest(name):
                work = self.path(name.replace(" ", "-"))
                os.mkdir(work)
                with open(os.path.join(work, "wpa_supplicant.conf"), "wb") as file:
                    file.write(earlier)
                environment = {"LD_PRELOAD": FAILING_CALLS, "TOLVENIX_FAIL_CALL": call}
                if failing_path:
                    environment["TOLVENIX_FAIL_PATH"] = os.path.join(work, failing_path)
                    if failing_path == "ssh":
                        open(environment["TOLVENIX_FAIL_PATH"], "wb").close()
                result = harness.run(TYPICAL_ANSWERS, argument_zero=os.path.join(work, "tool"),
                                     extra_environment=environment)
                self.assertEqual(result.status, status, result.stdout)
                with open(os.path.join(work, "wpa_supplicant.conf"), "rb") as file:
                    self.assertEqual(file.read(), config)
                temporaries = [entry for entry in os.listdir(work) if ".tmp" in entry]
                self.assertEqual([os.path.getsize(os.path.join(work, entry))
                                  for entry in temporaries], [0] if "unlink" in call else [])

    def start_with_slow_sync(self, work, preexec_fn, **streams):
        """Starts the program in `work` with its answers given and the sync of its temporary
        file slowed to SLOW_FSYNC_MS, so that a test can act while that file exists; the
        preload library writes the descriptor of that sync into `work`/slowed-fd."""
        args, executable = harness.command(os.path.join(work, "tool"))
        process = subprocess.Popen(
            args, executable=executable, stdin=subprocess.PIPE, cwd=work, preexec_fn=preexec_fn,
            env=dict(os.environ, LD_PRELOAD=FAILING_CALLS, TOLVENIX_SLOW_FSYNC_MS=SLOW_FSYNC_MS,
                     TOLVENIX_SLOWED_FD_REPORT=os.path.join(work, "slowed-fd")),
            **streams)
        self.addCleanup(process.kill)
        process.stdin.write(TYPICAL_ANSWERS)
        process.stdin.close()
        return process

    def test_a_signal_while_the_file_is_written_waits_until_it_is_in_place(self):
        """One run per signal whose default ends the process, all at once: each is signalled
        inside the one-second sync of its temporary file. Core files are allowed as far as the
        hard limit goes: the program must allow none itself (a core would hold the password)."""
        runs = {}
        for name in SIGNALS_THAT_END_A_PROCESS:
            work = self.path(name)
            os.mkdir(work)
            process = self.start_with_slow_sync(work, allow_core_files, stdout=subprocess.PIPE)
            runs[name] = (process, work)
        for process, _ in runs.values():
            harness.read_until(process.stdout, harness.CONFIG_PROGRESS)
        time.sleep(0.3)  # inside the one-second sync of each temporary file
        for name, (process, _) in runs.items():
            with open(f"/proc/{process.pid}/limits", encoding="ascii") as limits:
                self.assertRegex(limits.read(), r"Max core file size +0 +0 ", name)
            process.send_signal(getattr(signal, name))
        for name, (process, work) in runs.items():
            with self.subTest(name):
                self.assertEqual(process.wait(timeout=harness.RUN_TIMEOUT), -getattr(signal, name))
                process.stdout.close()
                # The signal took effect once the file was in place, before ssh.
                self.assertEqual(sorted(os.listdir(work)), ["slowed-fd", "wpa_supplicant.conf"])
                with open(os.path.join(work, "wpa_supplicant.conf"), "rb") as file:
                    self.assertEqual(file.read(), TYPICAL_CONFIG)

    def test_closed_standard_output_never_receives_the_password_file(self):
        """With descriptors 1 and 2 closed, the file holding the password must not take
        either number, where any later message would land in it."""
        def close_output():
            os.close(1)
            os.close(2)
        process = self.start_with_slow_sync(self.directory, close_output)
        self.assertEqual(process.wait(timeout=harness.RUN_TIMEOUT), 0)
        self.assertGreaterEqual(int(self.read("slowed-fd")), 3)
        self.assertEqual(self.read("wpa_supplicant.conf"), TYPICAL_CONFIG)

if __name__ == "__main__":
    unittest.main(verbosity=2)
