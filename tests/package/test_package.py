"""Makes one package with CPack, unpacks it into a temporary root and runs
the program it holds once, as a user who just installed it would."""

import glob
import os
import shutil
import subprocess
import sys
import tarfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

GENERATOR = os.environ.get("TOLVENIX_GENERATOR", "")
CPACK = os.environ.get("TOLVENIX_CPACK", "cpack")
CPACK_CONFIG = os.environ.get("TOLVENIX_CPACK_CONFIG", "")
DEB_ARCHITECTURE = os.environ.get("TOLVENIX_DEB_ARCHITECTURE", "")
EXTENSIONS = {"DEB": ".deb", "TGZ": ".tar.gz", "ZIP": ".zip"}
LINTIAN = os.environ.get("TOLVENIX_LINTIAN", "")
PACKAGE_DIRECTORY = os.environ.get("TOLVENIX_PACKAGE_DIRECTORY", "")


class Package(harness.TemporaryDirectoryTestCase):
    def make_package(self):
        """Makes the package in PACKAGE_DIRECTORY, where the lintian entry finds it."""
        shutil.rmtree(PACKAGE_DIRECTORY, ignore_errors=True)
        subprocess.run([CPACK, "-G", GENERATOR, "--config", CPACK_CONFIG, "-B", PACKAGE_DIRECTORY],
                       check=True, capture_output=True, timeout=harness.RUN_TIMEOUT)
        return self.made_package()

    def made_package(self):
        packages = glob.glob(os.path.join(PACKAGE_DIRECTORY, "*" + EXTENSIONS[GENERATOR]))
        self.assertEqual(len(packages), 1, packages)
        return packages[0]

    def unpack(self, package):
        root = self.path("root")
        if GENERATOR == "DEB":
            subprocess.run(["dpkg-deb", "-x", package, root], check=True,
                           timeout=harness.RUN_TIMEOUT)
            return root
        if GENERATOR == "ZIP":
            with zipfile.ZipFile(package) as archive:
                archive.extractall(root)
        else:
            with tarfile.open(package) as archive:
                archive.extractall(root)
        (top,) = os.listdir(root)
        return os.path.join(root, top)

    def assert_holds(self, root, names):
        for name in names:
            self.assertTrue(os.path.isfile(os.path.join(root, name)), name)

    def run_installed(self, program):
        """Starts the installed program by its absolute path from another
        working directory. The .tar.gz's program writes beside itself, as a
        copy on the card must; the .deb's, installed among the system's
        programs, writes into the working directory; on Windows the start
        path never chooses the directory."""
        work = self.path("work")
        os.mkdir(work)
        result = harness.run(harness.TYPICAL_ANSWERS, argument_zero=program, cwd=work,
                             binary=program)
        self.assertEqual(result.status, 0, result.stdout)
        self.assertEqual(result.stdout, harness.platform_text(harness.SUCCESS_OUTPUT))
        written = ["ssh", "wpa_supplicant.conf"]
        beside_program = GENERATOR == "TGZ"
        program_directory = os.path.dirname(program)
        self.assertEqual(sorted(os.listdir(program_directory if beside_program else work)),
                         sorted(written + [os.path.basename(program)]) if beside_program
                         else written)
        if not beside_program:
            self.assertEqual(os.listdir(program_directory), [os.path.basename(program)])

    def test_package_installs_a_working_program(self):
        if GENERATOR not in EXTENSIONS or not CPACK_CONFIG:
            self.skipTest("no package generator given")
        package = self.make_package()
        root = self.unpack(package)
        if GENERATOR == "DEB":
            fields = subprocess.run(["dpkg-deb", "-f", package, "Package", "Architecture"],
                                    check=True, capture_output=True, text=True).stdout
            self.assertIn("Package: tolvenix-setup", fields)
            self.assertIn("Architecture: " + DEB_ARCHITECTURE, fields)
            root = os.path.join(root, "usr")
        program = "bin/tolvenix-setup.exe" if harness.ON_WINDOWS else "bin/tolvenix-setup"
        documents = ["share/doc/tolvenix-setup/README.md", "share/doc/tolvenix-setup/LICENSE"]
        manual = [] if harness.ON_WINDOWS else ["share/man/man1/tolvenix-setup.1.gz"]
        debian = (["share/doc/tolvenix-setup/copyright", "share/doc/tolvenix-setup/changelog.gz"]
                  if GENERATOR == "DEB" else [])
        self.assert_holds(root, [program, *documents, *manual, *debian])
        self.run_installed(os.path.join(root, program))

    def test_deb_passes_lintian(self):
        """Debian's package checker finds no error and no warning in the package the test
        above made. As root it adds a notice on standard error, which is not a finding."""
        self.assertEqual(GENERATOR, "DEB")
        self.assertTrue(LINTIAN, "lintian is not installed (Debian: lintian)")
        checked = subprocess.run([LINTIAN, "--fail-on", "error,warning",
                                  "--tag-display-limit", "0", self.made_package()],
                                 capture_output=True, text=True, timeout=harness.RUN_TIMEOUT)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
