"""Shared pieces of the sweep's whole-program tests: sample files, runs of the program, and
readers of its text and JSON Lines output.

Every test script takes the native program as its first argument and, optionally, the folder
of the win64 build's stand-ins (standin-a.exe, standin-c.exe, standin-e.exe) as its second;
without that folder the stand-ins are PE files made here.
"""
import ctypes
import hashlib
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import unittest

# The three variant sets, as the detection rules define them: (offset, pattern) per entry.
VARIANT_SETS = {
    "A": ((15531, "FF 15 80 90 40 00"),
          (15328, "55 8B EC 81 EC C8 03 00 00 53 56 57 6A 05 59 BE 80 D2 40 00 8D 7D D0 8D"
                  " 85 38 FC FF FF F3 A5 66 A5 50 6A 02 A4 FF 15 80 91 40 00 BE D8 AD 40 00")),
    "C": ((18973, "55 8B EC 81 EC 5C 04 00 00 53 56 57 6A 05 59 BE 04 F4 40 00 8D 7D D0 F3"
                  " A5 66 A5 A4 FF 15 94 B0 40 00 50"),
          (19568, "85 38 FE FF FF 56 50 A1 78 D1 40 00 56 6A 02 68 10 01 00 00 56 50 50 57"
                  " FF 15 4C B0 40 00 57 8B 3D 50 B0 40 00 FF D7 E8 13 DB FF FF 85 C0 75 4F")),
    "E": ((28444, "55 8B EC 51 53 56 8B 35 C8 D0 40 00 57 8D 45 FC 33 FF 50 57 57 68 FF 15"
                  " 40 00 57 57 FF D6 8D 45 FC 50 57 57"),
          (28684, "55 8B EC 81 EC A0 01 00 00 8D 85 60 FE FF FF 50 6A 02 FF 15 D4 D1 40 00"
                  " E8 83 E3 FF FF 85 C0 74 54 E8 EE F7")),
}
NAMES = {variant: "TROJ_VORN." + variant for variant in VARIANT_SETS}
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]

SUMMARY_RE = re.compile(
    rb"----------- SCAN SUMMARY -----------\n"
    rb"Files scanned: (\d+)\nFiles found: (\d+)\nErrors: (\d+)\n"
    rb"Time: \d+\.\d{3} s\nFiles per second: \d+\n\Z")


def set_end(variant):
    """The file size from which a set can match: the end of its furthest pattern."""
    return max(offset + len(bytes.fromhex(pattern)) for offset, pattern in VARIANT_SETS[variant])


def make_pe(variants=(), size=None, mz=b"MZ", lfarlc=0x40, signature=b"PE\0\0", entry=0x1000,
            flip=None, tail=b""):
    """A minimal PE file: DOS header, PE header without sections (the entry point then maps to
    offset 0), the patterns of `variants` at their offsets. `flip` = (variant, entry index)
    changes the last byte of one pattern: a near miss. `tail` is appended after `size` bytes."""
    if size is None:
        size = max([set_end(v) for v in variants] + [1024])
    image = bytearray(size)
    image[0:2] = mz
    image[24:26] = lfarlc.to_bytes(2, "little")
    image[60:64] = (0x80).to_bytes(4, "little")
    image[0x80:0x84] = signature
    image[0x80 + 20:0x80 + 22] = (0xE0).to_bytes(2, "little")   # SizeOfOptionalHeader
    image[0x80 + 40:0x80 + 44] = entry.to_bytes(4, "little")     # AddressOfEntryPoint
    for variant in variants:
        for index, (offset, pattern) in enumerate(VARIANT_SETS[variant]):
            data = bytearray.fromhex(pattern)
            if flip == (variant, index):
                data[-1] ^= 0xFF
            image[offset:offset + len(data)] = data
    return bytes(image[:size]) + tail


def with_section(image, virtual_address, raw_size, raw_pointer, entry):
    """`image` with one section header and the given entry point: lets a test put the entry
    point's file offset where it likes."""
    image = bytearray(image)
    image[0x80 + 6:0x80 + 8] = (1).to_bytes(2, "little")
    image[0x80 + 40:0x80 + 44] = entry.to_bytes(4, "little")
    table = 0x80 + 24 + 0xE0
    image[table + 12:table + 24] = (virtual_address.to_bytes(4, "little") +
                                    raw_size.to_bytes(4, "little") + raw_pointer.to_bytes(4, "little"))
    return bytes(image)


def standin(variant, samples=None):
    """The bytes of a variant's stand-in: the build's runnable one when given, else made here."""
    if samples:
        with open(os.path.join(samples, "standin-%s.exe" % variant.lower()), "rb") as f:
            return f.read()
    return make_pe((variant,), size=40000)


def write(path, data, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def run(program, args, stdin=None, user=None, timeout=60, cwd=None, preexec=None):
    """Runs the program; returns (exit code, stdout bytes, stderr bytes)."""
    command = (NOBODY if user == "nobody" else []) + [program] + list(args)
    done = subprocess.run(command, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, cwd=cwd, preexec_fn=preexec)
    return done.returncode, done.stdout, done.stderr


def found_lines(paths_and_variants, action=None):
    """The text lines expected for found files: one per variant, in the order A, C, E."""
    lines = []
    for path, variants in paths_and_variants:
        for variant in sorted(variants):
            lines.append(path + b": " + NAMES[variant].encode() + b" FOUND")
    return lines


def split_text(stdout):
    """Splits text output into its per-file lines and the summary's counts (or None)."""
    match = re.search(rb"----------- SCAN SUMMARY -----------\n", stdout)
    body, summary = (stdout, None) if match is None else (stdout[:match.start()], stdout[match.start():])
    counts = None
    if summary is not None:
        full = SUMMARY_RE.match(summary)
        if full is None:
            raise AssertionError("summary not in its form: %r" % summary)
        counts = tuple(int(n) for n in full.groups())
    lines = body.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    elif lines:
        raise AssertionError("output does not end with a line break: %r" % stdout[-80:])
    return lines, counts


def path_of(line):
    """The path a text line is about (the part before the last ": ")."""
    return line[:line.rindex(b": ")]


def check_grouped(test, lines):
    """Each file's lines stand together: no other file's line comes between them."""
    seen, previous = set(), None
    for line in lines:
        path = path_of(line)
        if path != previous:
            test.assertNotIn(path, seen, "lines of %r are split by another file's" % path)
            seen.add(path)
            previous = path


def read_json_lines(test, stdout):
    """Parses JSON Lines output: every line strict UTF-8 and valid JSON, the summary last.
    Returns (objects without the summary, summary). Paths come back as bytes (the escape of
    bytes that are not UTF-8 undone)."""
    objects = []
    for raw in stdout.split(b"\n")[:-1]:
        text = raw.decode("utf-8")   # raises on a byte that is not valid UTF-8
        value = json.loads(text)
        if "path" in value:
            value["path"] = value["path"].encode("utf-8", "surrogateescape")
        objects.append(value)
    test.assertTrue(stdout.endswith(b"\n"), "JSON output does not end with a line break")
    test.assertTrue(objects, "no JSON objects")
    summary = objects.pop()
    test.assertEqual(summary["type"], "summary")
    test.assertEqual(sorted(summary), ["errors", "files_per_second", "found", "scanned",
                                       "seconds", "type"])
    test.assertNotIn("summary", [o["type"] for o in objects])
    return objects, summary


def json_found(objects):
    """{path: sorted variant letters} of the found objects."""
    return {o["path"]: "".join(sorted(v[-1] for v in o["variants"]))
            for o in objects if o["type"] == "found"}


class OpenWatch:
    """The names of what is opened in one folder while it is watched (inotify's IN_OPEN): it
    sees opens of FIFOs and device nodes too, even those that return at once."""
    IN_OPEN = 0x20

    def __init__(self, folder):
        libc = ctypes.CDLL(None, use_errno=True)
        self.descriptor = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.descriptor < 0 or libc.inotify_add_watch(self.descriptor, os.fsencode(folder),
                                                         self.IN_OPEN) < 0:
            raise OSError(ctypes.get_errno(), "inotify cannot watch %s" % folder)

    def opened(self):
        """The names opened since the last call."""
        names = set()
        while True:
            try:
                events = os.read(self.descriptor, 65536)
            except BlockingIOError:
                return names
            at = 0
            while at + 16 <= len(events):
                _, _, _, length = struct.unpack_from("iIII", events, at)
                names.add(events[at + 16:at + 16 + length].rstrip(b"\0"))
                at += 16 + length

    def close(self):
        os.close(self.descriptor)


class TempTree:
    """A temporary folder (under `base`) that everyone can enter, removed with everything in
    it, immutable flags and mounts included."""

    def __init__(self, base=None):
        self.path = tempfile.mkdtemp(prefix="sweep-test-", dir=base)
        os.chmod(self.path, 0o755)
        self.mounts = []

    def __enter__(self):
        return self

    def join(self, *parts):
        return os.path.join(self.path, *parts)

    def mount_tmpfs(self, folder):
        os.makedirs(folder, exist_ok=True)
        if subprocess.run(["mount", "-t", "tmpfs", "sweeptest", folder],
                          stderr=subprocess.DEVNULL).returncode != 0:
            return False
        self.mounts.append(folder)
        return True

    def mount_bind(self, source, folder):
        """`source` mounted again at `folder`: one file system, two mounts."""
        os.makedirs(folder, exist_ok=True)
        if subprocess.run(["mount", "--bind", source, folder], stderr=subprocess.DEVNULL).returncode != 0:
            return False
        self.mounts.append(folder)
        return True

    def __exit__(self, *unused):
        for folder in reversed(self.mounts):
            subprocess.run(["umount", "-l", folder])
        subprocess.run(["chattr", "-R", "-i", self.path], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["chmod", "-R", "u+rwx", self.path], stderr=subprocess.DEVNULL)
        subprocess.run(["rm", "-rf", "--one-file-system", self.path])


def host_label():
    """This host's name as the sweep puts it in the names it writes."""
    kept = "abcdefghijklmnopqrstuvwxyz0123456789._-"
    label = "".join(c if c in kept else "_" for c in socket.gethostname().lower())[:64]
    return label or "unknown"


def manifest_name():
    return "quarantine-%s.tsv" % host_label()


def work_prefix(pid, host=None, boot=None, space=None):
    """The start of the names of the work files of sweep `pid` (host, boot, PID namespace and
    pid; this system's unless given)."""
    if boot is None:
        with open("/proc/sys/kernel/random/boot_id") as f:
            boot = f.read()[:8]
    space = os.stat("/proc/self/ns/pid").st_ino if space is None else space
    return ".purgekit-%s-%s-%s-%d-" % (host or host_label(), boot, space, pid)


def main(test_classes):
    """Runs the test classes; argv: PROGRAM [SAMPLES_DIR]."""
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: %s PURGEKIT_SCAN [SAMPLES_DIR]" % sys.argv[0])
    program = os.path.abspath(sys.argv[1])
    samples = sys.argv[2] if len(sys.argv) > 2 and os.path.isdir(sys.argv[2]) else None
    for test_class in test_classes:
        test_class.program = program
        test_class.samples = samples
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in test_classes)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


def need(tool):
    if shutil.which(tool) is None:
        sys.exit("%s is not installed: run scripts/deps.sh %s" % (tool, tool))
