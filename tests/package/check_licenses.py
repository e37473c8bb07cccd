#!/usr/bin/python3
"""Reads the licences that go with a release program as a distributor would, and fails on the
first thing one would find wrong in them.

  check_licenses.py text LICENSES [--part NAME] [--forbid TEXT ...]
      A THIRD-PARTY-LICENSES.txt: its list of libraries, then the texts below it (after the
      first line "==== "). With --part, the list is the one under "== NAME" of the licences
      file that goes with the programs alone.
  check_licenses.py deb ROOT --built-using VALUE [--forbid TEXT ...]
      An unpacked .deb: its machine-readable copyright file, the THIRD-PARTY-LICENSES.txt it
      refers to and the package's Built-Using field.

For every library in a list, Debian's own package data on this machine (dpkg-query) says which
source package holds its code and which built the package that ships it; both must be named,
with `apt-get source` and a snapshot.debian.org address whose version is escaped. Every library
must have its licence texts and its copyright notices in the texts, and no text may name a
path of the machine that built it (--forbid adds the build's own directories)."""

import argparse
import os
import re
import subprocess
import sys
import urllib.parse

from debian import copyright as debian_copyright

# Phrases that only the full text of a licence holds (a space: any run of white space).
LGPL_2_1 = r"GNU LESSER GENERAL PUBLIC LICENSE\s+Version 2\.1, February 1999"
GPL_3 = r"GNU GENERAL PUBLIC LICENSE\s+Version 3, 29 June 2007"
GCC_EXCEPTION = r"GCC RUNTIME LIBRARY EXCEPTION\s+Version 3\.1, 31 March 2009"
ZPL_2_1 = r"License: ZPL-2\.1 Redistribution and use in source and binary forms"
EXPAT = r"Permission is hereby granted, free of charge, to any person obtaining a copy"
APACHE_2_0 = r"Apache License\s+Version 2\.0, January 2004"
LLVM_EXCEPTION = r"---- LLVM Exceptions to the Apache 2\.0 License ----"
LLVM_NOTICE = r"Copyright \(c\) 2009-2019 by the contributors listed in CREDITS\.TXT"
ZIG_NOTICE = r"Copyright \(c\) Zig contributors"

GCC_LICENSE = "GPL-3.0-or-later WITH GCC-exception-3.1"
GCC_DEB_LICENSE = "GPL-3+ with GCC-exception-3.1 exception"


class Library:
    """What a release may hold: the start of its entry's name, its licence as the entry gives
    it (and in Debian's copyright format), the source package holding its code (a pattern; None
    for zig's libraries), the phrases its texts must hold and the files its entry must name."""

    def __init__(self, name, license, code, texts, deb_license=None, files=()):
        self.name, self.license, self.code, self.texts = name, license, code, texts
        self.deb_license, self.files = deb_license, files


LIBRARIES = [
    Library("GNU C Library ", "LGPL-2.1-or-later", "glibc", [LGPL_2_1], "LGPL-2.1+"),
    Library("libstdc++ of GCC ", GCC_LICENSE, r"gcc-\d+", [GPL_3, GCC_EXCEPTION],
            GCC_DEB_LICENSE),
    Library("libgcc of GCC ", GCC_LICENSE, r"gcc-\d+", [GPL_3, GCC_EXCEPTION], GCC_DEB_LICENSE,
            files=("libgcc.a", "libgcc_eh.a", "crtbegin", "crtend")),
    Library("mingw-w64 runtime ",
            "ZPL-2.1 and public domain, with parts under other permissive licences",
            "mingw-w64", [ZPL_2_1]),
    Library("winpthreads of mingw-w64 ", "MIT (expat)", "mingw-w64", [EXPAT]),
    Library("libc++abi of LLVM ", "Apache-2.0 WITH LLVM-exception", None,
            [APACHE_2_0, LLVM_EXCEPTION, LLVM_NOTICE,
             r"The libc\+\+abi library is dual licensed"]),
    Library("libc++ ", "Apache-2.0 WITH LLVM-exception", None,
            [APACHE_2_0, LLVM_EXCEPTION, LLVM_NOTICE, r"The libc\+\+ library is dual licensed"]),
    Library("compiler_rt of zig ", "MIT (expat)", None, [EXPAT, ZIG_NOTICE]),
]

# Directories of a build machine, never of a Debian system or of a published source tree.
MACHINE_PATH = re.compile(r"(?<![\w.-])/(?:opt|home|tmp|root|srv|mnt|var/tmp)/\S*")
SNAPSHOT = re.compile(r"https://snapshot\.debian\.org/package/([^/\s]+)/([^/\s]*)/")
APT_SOURCE = re.compile(r"`apt-get source ([^=`\s]+)=([^`\s]+)`")


class Failure(Exception):
    pass


def library_of(entry_name):
    for library in LIBRARIES:
        if entry_name.startswith(library.name):
            return library
    raise Failure(f"{entry_name!r}: not a library whose licence this check knows")


def package_data(binary):
    """Version, source, source version and Built-Using of the installed package `binary`."""
    result = subprocess.run(
        ["dpkg-query", "--show",
         "--showformat=${Version}|${source:Package}|${source:Version}|${Built-Using}", binary],
        capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        raise Failure(f"{binary} is not installed here: its sources cannot be checked")
    version, source, source_version, built_using = result.stdout.split("|")
    built = re.findall(r"([a-z0-9][a-z0-9.+-]*) \(= ([^)]+)\)", built_using)
    return version, source, source_version, built


def expected_sources(library, binary, version):
    """The source packages that an entry for `library` from Debian's `binary` `version` must
    name: the one that holds its code first, then the one that built the package, if another."""
    installed, source, source_version, built = package_data(binary)
    if installed != version:
        raise Failure(f"{binary} {version} is named, {installed} is installed: "
                      "its sources cannot be checked")
    if re.fullmatch(library.code, source):
        return [(source, source_version)]
    code = [pair for pair in built if re.fullmatch(library.code, pair[0])]
    if len(code) != 1:
        raise Failure(f"{binary}'s Built-Using names no one source matching {library.code}")
    return [code[0], (source, source_version)]


def check_snapshots(entry, where):
    """Each snapshot.debian.org address names a source package of an `apt-get source` line
    with its version escaped, and each such line has its address."""
    named = APT_SOURCE.findall(entry)
    for source, escaped in SNAPSHOT.findall(entry):
        if "+" in escaped or ":" in escaped:
            raise Failure(f"{where}: snapshot address of {source} {escaped}: "
                          "'+' and ':' must be escaped")
        if (source, urllib.parse.unquote(escaped)) not in named:
            raise Failure(f"{where}: snapshot address of {source} {escaped} names no "
                          "`apt-get source` line's version")
    return named


def check_entry(entry, texts, where, with_snapshots):
    """One library's entry against Debian's package data and the texts; returns the library and
    the source packages it names."""
    name = entry.splitlines()[0].strip()
    library = library_of(name)
    where = f"{where}: {name}"
    if library.code is None:
        # zig's own libraries: named by zig's version and its published source.
        named = []
        zig = re.search(r"From: +zig (\S+?),", entry)
        if not zig or APT_SOURCE.search(entry):
            raise Failure(f"{where}: does not name the zig it comes from, and zig alone")
        published = f"https://ziglang.org/download/{zig.group(1)}/zig-{zig.group(1)}.tar.xz"
        if f"Source:  {published}" not in entry:
            raise Failure(f"{where}: does not name zig's published source {published}")
    else:
        origin = re.search(r"Debian's ([a-z0-9][a-z0-9.+-]*) (\S+?)[:,]?\s", entry)
        if not origin:
            raise Failure(f"{where}: names no Debian package it comes from")
        binary, version = origin.groups()
        expected = expected_sources(library, binary, version)
        named = check_snapshots(entry, where) if with_snapshots else APT_SOURCE.findall(entry)
        if with_snapshots and len(SNAPSHOT.findall(entry)) != len(named):
            raise Failure(f"{where}: not every source has its snapshot address")
        if named != expected:
            raise Failure(f"{where}: names the sources {named}; Debian's package data says "
                          f"{expected} (the code's source, then the packaging's)")
        copyright_file = os.path.realpath(f"/usr/share/doc/{binary}/copyright")
        with open(copyright_file, encoding="utf-8") as stream:
            if stream.read() not in texts:
                raise Failure(f"{where}: the texts do not hold {copyright_file}, its notices")
    for part in library.files:
        if part not in entry:
            raise Failure(f"{where}: does not say that it also stands for {part}")
    for phrase in library.texts:
        if not re.search(phrase.replace(" ", r"\s+"), texts):
            raise Failure(f"{where}: the texts do not hold {phrase!r}")
    return library, named


def check_no_machine_path(text, where, forbidden):
    found = MACHINE_PATH.search(text)
    if found:
        raise Failure(f"{where}: names the path {found.group(0)} of the machine that built it")
    for path in forbidden:
        if path in text:
            raise Failure(f"{where}: names the build's path {path}")


def split_licenses(path, part):
    with open(path, encoding="utf-8") as stream:
        content = stream.read()
    head, marker, texts = content.partition("\n==== ")
    if not marker:
        raise Failure(f"{path}: holds no licence text")
    if part is None:
        listing = head.split("\n\n", 1)[1] if "\n\n" in head else head
    else:
        found = re.search(rf"^== {re.escape(part)}\n(.*?)(?=^== |\Z)", head, re.M | re.S)
        if not found:
            raise Failure(f"{path}: has no part for {part}")
        listing = found.group(1)
    return listing, marker + texts


def text_entries(listing):
    """The entries of a list: each an unindented line, its name, with indented fields below."""
    return re.findall(r"^\S[^\n]*\n(?:  [^\n]*(?:\n|$))+", listing, re.M)


def check_text(path, part=None, forbidden=()):
    listing, texts = split_licenses(path, part)
    where = f"{os.path.basename(path)}" + (f" ({part})" if part else "")
    check_no_machine_path(listing + texts, where, forbidden)
    entries = text_entries(listing)
    if not entries:
        raise Failure(f"{where}: lists no library")
    checked = []
    for entry in entries:
        library, named = check_entry(entry, texts, where, with_snapshots=True)
        fields = dict(re.findall(r"^  (\w+): +(.*)$", entry, re.M))
        if fields.get("Licence") != library.license:
            raise Failure(f"{where}: {library.name.strip()}: licence {fields.get('Licence')!r}, "
                          f"not {library.license!r}")
        checked.append((library, named))
    return checked


def check_copyright_format(path):
    """Debian's machine-readable copyright format 1.0, as python3-debian's parser reads it,
    with every Files paragraph's licences given in it or in a License paragraph of their own,
    whose references to /usr/share/common-licenses exist."""
    with open(path, encoding="utf-8") as stream:
        content = stream.read()
    for number, line in enumerate(content.splitlines(), 1):
        if line.strip() == "" and line != "":
            raise Failure(f"{path}:{number}: a line of whitespace only")
    try:
        parsed = debian_copyright.Copyright(content.splitlines(True), strict=True)
    except (ValueError, debian_copyright.Error) as error:
        raise Failure(f"{path}: not machine-readable copyright format: {error}") from error
    if parsed.header.format != "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/":
        raise Failure(f"{path}: Format {parsed.header.format!r}")
    standalone = {paragraph.license.synopsis: paragraph.license.text
                  for paragraph in parsed.all_license_paragraphs()}
    texts = list(standalone.values())
    files_paragraphs = list(parsed.all_files_paragraphs())
    for paragraph in files_paragraphs:
        license = paragraph.license
        texts.append(license.text)
        for name in re.split(r"\s+(?:and|or)\s+", license.synopsis):
            if not license.text.strip() and not standalone.get(name, "").strip():
                raise Failure(f"{path}: Files {paragraph.files}: licence {name} has no text")
    for text in texts:
        for reference in re.findall(r"/usr/share/common-licenses/[\w.+-]*\w", text):
            if not os.path.isfile(reference):
                raise Failure(f"{path}: refers to {reference}, which does not exist")
    return files_paragraphs


def check_deb(root, built_using, forbidden=()):
    documents = os.path.join(root, "usr/share/doc/tolvenix-setup")
    path = os.path.join(documents, "copyright")
    files_paragraphs = check_copyright_format(path)
    with open(path, encoding="utf-8") as stream:
        check_no_machine_path(stream.read(), "copyright", forbidden)
    program = [paragraph for paragraph in files_paragraphs
               if "usr/bin/tolvenix-setup" in paragraph.files]
    if not program:
        return []
    (paragraph,) = program
    with open(os.path.join(documents, "THIRD-PARTY-LICENSES.txt"), encoding="utf-8") as stream:
        texts = stream.read()
    # The field's continuation lines without their leading space, a lone "." an empty line.
    comment = re.sub(r"^ \.?", "", paragraph.comment, flags=re.M)
    entries = [block.strip() for block in comment.split("\n\n")][1:-1]
    listed = check_text(os.path.join(documents, "THIRD-PARTY-LICENSES.txt"), forbidden=forbidden)
    synopsis = re.split(r"\s+and\s+", paragraph.license.synopsis)
    sources = []
    for entry in entries:
        library, named = check_entry(entry, texts, "copyright", with_snapshots=False)
        if library.deb_license not in synopsis:
            raise Failure(f"copyright: {library.name.strip()}: {library.deb_license} is not "
                          f"among the program's licences {synopsis}")
        sources += [named[0]] if named[0] not in sources else []
    if [library for library, _ in listed] != [library_of(entry) for entry in entries]:
        raise Failure("copyright: its libraries are not those of its THIRD-PARTY-LICENSES.txt")
    expected = ", ".join(f"{source} (= {version})" for source, version in sources)
    if built_using != expected:
        raise Failure(f"Built-Using {built_using!r}: the sources of the code inside are {expected!r}")
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["text", "deb"])
    parser.add_argument("path")
    parser.add_argument("--part")
    parser.add_argument("--built-using", default="")
    parser.add_argument("--forbid", action="append", default=[])
    arguments = parser.parse_args()
    try:
        if arguments.kind == "text":
            checked = check_text(arguments.path, arguments.part, arguments.forbid)
            count = len(checked)
        else:
            count = len(check_deb(arguments.path, arguments.built_using, arguments.forbid))
    except OSError as error:
        print(f"check_licenses: {error.filename}: {error.strerror}", file=sys.stderr)
        return 1
    except Failure as failure:
        print(f"check_licenses: {failure}", file=sys.stderr)
        return 1
    print(f"check_licenses: {count} libraries: sources, licence texts and notices as Debian's "
          "package data and the texts say")
    return 0


if __name__ == "__main__":
    sys.exit(main())
