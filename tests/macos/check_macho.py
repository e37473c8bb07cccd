"""Checks a macOS program built here, where no Mac can run it, by reading its Mach-O file.

    check_macho.py PROGRAM ARCH... --nm LLVM_NM --tbd LIBSYSTEM_TBD

For each ARCH (arm64, x86_64) the program, or the slice of a universal program, must be Mach-O
for that architecture, start on macOS 11 (Big Sur) or later, load only
/usr/lib/libSystem.B.dylib, and need no symbol that libSystem does not export (LIBSYSTEM_TBD
lists them). An arm64 slice must carry
an ad hoc signature whose page hashes match its pages: macOS kills an arm64 program whose
signature does not match.
"""

import argparse
import hashlib
import re
import struct
import subprocess
import sys

CPU_TYPES = {0x0100000C: "arm64", 0x01000007: "x86_64"}
LC_LOAD_DYLIBS = {0xC, 0x18 | 0x80000000, 0x1F | 0x80000000, 0x20}
LC_CODE_SIGNATURE, LC_VERSION_MIN_MACOSX, LC_BUILD_VERSION = 0x1D, 0x24, 0x32
CODE_DIRECTORY, SHA256 = 0xFADE0C02, 2
SYSTEM_LIBRARY = "/usr/lib/libSystem.B.dylib"
# The oldest macOS the program is built for: Big Sur, the first with Apple silicon.
NEWEST_MINIMUM = (11, 0)


def slices(data):
    """{architecture: bytes of its Mach-O image}, for a thin or a universal program."""
    if data[:4] == b"\xca\xfe\xba\xbe":
        count = struct.unpack_from(">I", data, 4)[0]
        found = {}
        for index in range(count):
            cpu, _, offset, size, _ = struct.unpack_from(">iiIII", data, 8 + 20 * index)
            found[CPU_TYPES.get(cpu & 0xFFFFFFFF, hex(cpu))] = data[offset:offset + size]
        return found
    if data[:4] != b"\xcf\xfa\xed\xfe":
        raise SystemExit("not a 64-bit Mach-O program")
    cpu = struct.unpack_from("<I", data, 4)[0]
    return {CPU_TYPES.get(cpu, hex(cpu)): data}


def load_commands(image):
    count = struct.unpack_from("<I", image, 16)[0]
    offset = 32
    for _ in range(count):
        command, size = struct.unpack_from("<II", image, offset)
        yield command, image[offset:offset + size]
        offset += size


def version(packed):
    return packed >> 16, (packed >> 8) & 0xFF


def signature_problems(image, dataoff, datasize):
    """Checks every page hash of the code directory against the page it covers."""
    blob = image[dataoff:dataoff + datasize]
    _, _, count = struct.unpack_from(">III", blob, 0)
    for index in range(count):
        _, offset = struct.unpack_from(">II", blob, 12 + 8 * index)
        if struct.unpack_from(">I", blob, offset)[0] != CODE_DIRECTORY:
            continue
        (hash_offset, _, _, code_slots, code_limit, hash_size, hash_type, _,
         page_shift) = struct.unpack_from(">IIIIIBBBB", blob, offset + 16)
        if hash_type != SHA256:
            return [f"hash type {hash_type}, not SHA-256"]
        page = 1 << page_shift
        problems = []
        for slot in range(code_slots):
            start = offset + hash_offset + slot * hash_size
            expected = blob[start:start + hash_size]
            actual = hashlib.sha256(image[slot * page:min((slot + 1) * page, code_limit)])
            if actual.digest() != expected:
                problems.append(f"page {slot} does not match its hash")
        if code_slots * page < code_limit:
            problems.append("the signature does not cover the whole program")
        return problems
    return ["no code directory in the signature"]


def check_slice(architecture, image, undefined, exported):
    problems = []
    libraries, minimum, signature = [], None, None
    for command, body in load_commands(image):
        if command in LC_LOAD_DYLIBS:
            name_offset = struct.unpack_from("<I", body, 8)[0]
            libraries.append(body[name_offset:].split(b"\0")[0].decode())
        elif command == LC_BUILD_VERSION:
            minimum = version(struct.unpack_from("<I", body, 12)[0])
        elif command == LC_VERSION_MIN_MACOSX:
            minimum = version(struct.unpack_from("<I", body, 8)[0])
        elif command == LC_CODE_SIGNATURE:
            signature = struct.unpack_from("<II", body, 8)
    if libraries != [SYSTEM_LIBRARY]:
        problems.append(f"loads {libraries}, not only {SYSTEM_LIBRARY}")
    if minimum is None or minimum > NEWEST_MINIMUM:
        problems.append(f"needs macOS {minimum}, newer than Big Sur")
    if architecture == "arm64":
        problems += (signature_problems(image, *signature) if signature
                     else ["no code signature"])
    missing = sorted(set(undefined) - exported)
    if missing:
        problems.append(f"needs symbols libSystem does not export: {missing}")
    print(f"{architecture}: minimum macOS {minimum}, loads {libraries}, "
          f"{len(undefined)} undefined symbols, signature "
          f"{'checked' if architecture == 'arm64' else 'not needed'}")
    return [f"{architecture}: {problem}" for problem in problems]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("architectures", nargs="+")
    parser.add_argument("--nm", required=True)
    parser.add_argument("--tbd", required=True)
    arguments = parser.parse_args()
    with open(arguments.program, "rb") as file:
        images = slices(file.read())
    with open(arguments.tbd, encoding="utf-8") as file:
        exported = set(re.findall(r"[A-Za-z0-9_$.]+", file.read()))
    problems = []
    if sorted(images) != sorted(arguments.architectures):
        problems.append(f"holds {sorted(images)}, not {sorted(arguments.architectures)}")
    for architecture in arguments.architectures:
        if architecture not in images:
            continue
        undefined = subprocess.run(
            [arguments.nm, "-u", "--just-symbol-name", f"--arch={architecture}",
             arguments.program], capture_output=True, text=True, check=True).stdout.split()
        problems += check_slice(architecture, images[architecture], undefined, exported)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
