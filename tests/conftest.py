"""pytest's view of a build: --build-dir names it, and markers skip what it cannot run.

    pytest tests/e2e/test_pipes.py --build-dir out/build/ci"""

import os

import pytest

import harness

NEEDS = {
    "posix": ("a POSIX case", lambda build: not build.on_windows),
    "windows": ("the Windows program under Wine", lambda build: build.on_windows),
    "preload": ("a native, dynamically linked build without sanitizers, which the preloaded "
                "failing_calls library reaches", lambda build: build.settings["failing_calls"]),
    "daemon": ("wpa_supplicant (Debian: wpasupplicant)",
               lambda build: build.settings["wpa_supplicant"]),
    "root": ("root", lambda build: os.geteuid() == 0),
    "native": ("the plain native process, not an emulator or sanitizer shadow memory",
               lambda build: not build.emulator and not build.settings["sanitized"]),
}


def pytest_addoption(parser):
    parser.addoption("--build-dir", help="a configured and built CMake build directory, for "
                     "example out/build/ci: the program, the preload library and the Wine "
                     "wrapper are taken from it")


def pytest_configure(config):
    for name, (needed, _) in NEEDS.items():
        config.addinivalue_line("markers", f"{name}(reason): needs {needed}")
    if not config.getoption("--build-dir"):
        # Without the option: the one build there is, said once; else one line on what to pass.
        builds = sorted(os.path.dirname(os.path.relpath(found, config.rootpath)) for found in
                        config.rootpath.glob("out/build/*/tolvenix-tests.json"))
        if len(builds) != 1:
            raise pytest.UsageError("pass --build-dir DIR, a configured and built CMake build "
                                    f"directory: {', '.join(builds) or 'none is built yet'}")
        config.option.build_dir = os.path.join(config.rootpath, builds[0])
        config.chosen_build = f"no --build-dir given: testing {builds[0]}, the one build there is"


def pytest_report_header(config):
    return getattr(config, "chosen_build", None)


@pytest.fixture(scope="session")
def build(request):
    return harness.Build(request.config.getoption("--build-dir"))


@pytest.fixture(autouse=True)
def _skip_what_the_build_cannot_run(request, build):
    for marker in request.node.iter_markers():
        if marker.name in NEEDS and not NEEDS[marker.name][1](build):
            reason = marker.args[0] if marker.args else ""
            pytest.skip(f"needs {NEEDS[marker.name][0]}" + (f": {reason}" if reason else ""))


@pytest.fixture
def program(tmp_path):
    """An argument zero that puts the files into the test's own directory."""
    return tmp_path / "tolvenix-setup"
