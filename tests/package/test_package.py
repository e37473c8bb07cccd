"""Makes one package with CPack, unpacks it into a temporary root and runs the program it
holds once, as a user who just installed it would."""

import glob
import os
import re
import shutil
import subprocess
import tarfile
import zipfile

import pytest

from harness import RUN_TIMEOUT, SUCCESS_OUTPUT

EXTENSIONS = {"DEB": ".deb", "TGZ": ".tar.gz", "ZIP": ".zip"}
SOURCE_TREE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# A Markdown link: its text, and its target without the part after #.
LINK = re.compile(r"\[([^\]]*)\]\(([^)#]*)[^)]*\)")


def made_package(build, generator):
    directory = os.path.join(build.settings["package_directory"], generator)
    packages = glob.glob(os.path.join(directory, "*" + EXTENSIONS[generator]))
    assert len(packages) == 1, packages
    return packages[0]


def unreachable_links(documents):
    """The links of the Markdown files in `documents` that lead nowhere. A link must reach a file
    beside them, or have for its text the name of the file of the source tree it leads to (the
    README and SECURITY.md sit at the top of the source tree), which a reader of the package
    then looks up there."""
    unreachable = []
    for document in sorted(glob.glob(os.path.join(documents, "*.md"))):
        with open(document, encoding="utf-8") as file:
            for text, target in LINK.findall(file.read()):
                if (not target or "://" in target or os.path.exists(os.path.join(documents, target))
                        or (text.strip("`") == target
                            and os.path.exists(os.path.join(SOURCE_TREE, target)))):
                    continue
                unreachable.append(f"{os.path.basename(document)}: {target}")
    return unreachable


def unpack(generator, package, root):
    if generator == "DEB":
        subprocess.run(["dpkg-deb", "-x", package, root], check=True, timeout=RUN_TIMEOUT)
        return os.path.join(root, "usr")
    with (zipfile.ZipFile if generator == "ZIP" else tarfile.open)(package) as archive:
        archive.extractall(root)
    (top,) = os.listdir(root)
    return os.path.join(root, top)


@pytest.mark.parametrize("generator", ["ZIP", "TGZ", "DEB"])
def test_package_installs_a_working_program(build, tmp_path, generator):
    """The .tar.gz's program, started by its absolute path from another working directory,
    writes beside itself, as a copy on the card must; the .deb's, installed among the system's
    programs, writes into the working directory; on Windows the start path never chooses."""
    if generator not in (["ZIP"] if build.on_windows else ["TGZ", "DEB"]):
        pytest.skip(f"this build makes no {generator} package")
    directory = os.path.join(build.settings["package_directory"], generator)
    shutil.rmtree(directory, ignore_errors=True)
    subprocess.run([build.settings["cpack"], "-G", generator, "--config",
                    build.settings["cpack_config"], "-B", directory],
                   check=True, capture_output=True, timeout=RUN_TIMEOUT)
    package = made_package(build, generator)
    if generator == "DEB":
        fields = subprocess.run(["dpkg-deb", "-f", package, "Package", "Architecture"],
                                check=True, capture_output=True, text=True).stdout
        assert fields == ("Package: tolvenix-setup\nArchitecture: "
                          f"{build.settings['deb_architecture']}\n")
    root = unpack(generator, package, tmp_path / "root")
    program = os.path.join(root, "bin/tolvenix-setup" + (".exe" if build.on_windows else ""))
    documents = [f"share/doc/tolvenix-setup/{name}" for name in ("README.md", "SECURITY.md",
                                                                 "LICENSE")]
    documents += [] if build.on_windows else ["share/man/man1/tolvenix-setup.1.gz"]
    documents += (["share/doc/tolvenix-setup/copyright", "share/doc/tolvenix-setup/changelog.gz"]
                  if generator == "DEB" else [])
    assert [name for name in documents if not os.path.isfile(os.path.join(root, name))] == []
    assert unreachable_links(os.path.join(root, "share/doc/tolvenix-setup")) == []

    (tmp_path / "work").mkdir()
    result = build.run(argument_zero=program, cwd=tmp_path / "work", binary=program)

    assert (result.returncode, result.stdout) == (0, build.text(SUCCESS_OUTPUT))
    written = ["ssh", "wpa_supplicant.conf"]
    if generator == "TGZ":
        assert sorted(os.listdir(os.path.dirname(program))) == ["ssh", "tolvenix-setup",
                                                                  "wpa_supplicant.conf"]
    else:
        assert sorted(os.listdir(tmp_path / "work")) == written
        assert os.listdir(os.path.dirname(program)) == [os.path.basename(program)]

