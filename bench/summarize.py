"""Turns the measurements of bench/run into bench/results.md and checks the
goals; exits 1 when one is missed.

    summarize.py WORK TYPICAL_KIB HUGE_KIB TRUE_KIB COMMAND_LINE

WORK holds hyperfine's first.json and again.json (in memory), disk.json and
huge.json, and the program that was measured.
"""
import json, os, platform, subprocess, sys, datetime

work, typical_kib, huge_kib, true_kib, command_line = sys.argv[1:]
typical_kib, huge_kib, true_kib = int(typical_kib), int(huge_kib), int(true_kib)

def medians(name):
    with open(os.path.join(work, name)) as file:
        return [result["median"] for result in json.load(file)["results"]]

first_program, first_true = medians("first.json")
again_program, again_true = medians("again.json")
disk_program, disk_true = medians("disk.json")
(huge_time,) = medians("huge.json")
first_ratio = first_program / first_true
again_ratio = again_program / again_true

def cpu_model():
    with open("/proc/cpuinfo") as file:
        for line in file:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor() or "unknown"

def version(command):
    return subprocess.run(command, capture_output=True, text=True).stdout.splitlines()[0]

goals = [
    ("(a) scripted run / `/bin/true`, median", f"{first_ratio:.2f}x", "≤ 1.30x", first_ratio <= 1.3),
    ("(b) peak memory of that run", f"{typical_kib / 1024:.2f} MiB ({typical_kib} KiB)",
     "< 2 MiB", typical_kib < 2048),
    ("(c) 50 MB answer line, median time", f"{huge_time * 1000:.1f} ms", "< 1 s", huge_time < 1.0),
    ("(c) 50 MB answer line, peak memory", f"{huge_kib / 1024:.2f} MiB ({huge_kib} KiB)",
     "≤ 1,536 KiB", huge_kib <= 1536),
]
missed = [name for name, _, _, met in goals if not met]

lines = [
    "# Benchmark results",
    "",
    f"- Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC",
    f"- Machine: {cpu_model()}, {os.cpu_count()} cores, {platform.system()} {platform.release()}",
    f"- Program: static release build (`release` preset), {os.path.getsize(os.path.join(work, 'tolvenix-setup'))} bytes",
    f"- Tools: {version(['hyperfine', '--version'])}; GNU time (`/usr/bin/time -v`)",
    f"- Command: `{command_line}`",
    "",
    "| Goal | Measured | Target | Met |",
    "|---|---|---|---|",
]
lines += [f"| {name} | {value} | {target} | {'yes' if met else '**no**'} |"
          for name, value, target, met in goals]
lines += [
    "",
    "Details:",
    "",
    f"- (a) first setup of an empty directory in memory: program {first_program * 1000:.3f} ms, "
    f"`/bin/true` {first_true * 1000:.3f} ms (medians of 1000 runs, both as "
    "`sh -c 'exec PROGRAM <answers >/dev/null'`, the files removed before each run).",
    f"- (a') setup over an earlier one: program {again_program * 1000:.3f} ms, `/bin/true` "
    f"{again_true * 1000:.3f} ms, ratio {again_ratio:.2f}x (the new file is written beside "
    "the old one and renamed over it).",
    f"- (a'') first setup of a directory on disk ({disk_program * 1000:.3f} ms against "
    f"`/bin/true` {disk_true * 1000:.3f} ms, {disk_program / disk_true:.2f}x): the difference "
    f"from (a), {(disk_program - first_program) * 1000:.3f} ms, is the medium's time for the "
    "syncs that make both files survive a power loss (the configuration before and after its "
    "rename, `ssh` and its directory entry). (a) itself runs in a directory in memory, where "
    "a sync returns at once, so that its goal measures the program's own work.",
    f"- (b) `/bin/true` itself peaks at {true_kib} KiB. Peaks are the largest of five runs "
    "with address randomisation off (`setarch -R`): with it on, the program's shared text "
    "pages that the kernel maps vary with its load address, by up to about 400 KiB.",
    "- (c) the 50 MB line is an SSID answer: it is refused as longer than 32 bytes after at "
    "most 66 bytes are stored, the rest is skipped through the stream buffer, and the SSID "
    "and password lines that follow complete the run with status 0.",
]
with open("bench/results.md", "w") as file:
    file.write("\n".join(lines) + "\n")
print("\n".join(lines))
if missed:
    print("bench: goals missed: " + ", ".join(missed), file=sys.stderr)
    sys.exit(1)
