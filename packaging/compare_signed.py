#!/usr/bin/env python3
"""Shows that a signed release differs from the unsigned release of the same
commit by its signatures alone. Each signed program, with its signature
removed (osslsigncode remove-signature), must be the unsigned program's
bytes. The downloads that hold signed programs are taken apart: the zip
entry by entry, the installer as its stub (identical) and its compressed
data (which holds the signed programs, so differs). SHA256SUMS and the
manifests may differ only in the downloads' hashes.

Prints one line per file and "signed release: N files differ only by their
signatures"; exits 1 with the files that differ otherwise.

Usage: compare_signed.py SIGNED_RELEASE UNSIGNED_RELEASE
"""
import hashlib
import io
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

PROGRAMS = (".exe", ".dll")


def without_signature(data):
    """The program's bytes with its Authenticode signature removed; None when
    it carries none."""
    with tempfile.TemporaryDirectory() as work:
        signed, bare = os.path.join(work, "signed"), os.path.join(work, "bare")
        with open(signed, "wb") as file:
            file.write(data)
        result = subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", bare],
                                capture_output=True, text=True)
        if result.returncode != 0 or not os.path.exists(bare):
            return None
        with open(bare, "rb") as file:
            return file.read()


def first_difference(a, b):
    for offset, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return offset
    return min(len(a), len(b))


def overlay_start(data):
    """Where a PE file's sections end: an NSIS installer's data follows."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    return max(sum(struct.unpack_from("<II", data, table + 40 * i + 16)) for i in range(sections))


def signing_traces(bare, unsigned):
    """What signing leaves behind once the signature is removed, each with
    its reason, and the bytes without those traces."""
    traces = []
    extra = len(bare) - len(unsigned)
    # The signature is aligned to 8 bytes; the padding before it stays.
    if 0 < extra < 8 and not any(bare[len(unsigned):]):
        traces.append(f"{extra} bytes of zero padding at the end, which align the signature that followed")
        bare = bare[:len(unsigned)]
    if len(bare) == len(unsigned) and len(bare) > 0x40:
        checksum = struct.unpack_from("<I", bare, 0x3C)[0] + 24 + 64  # the optional header's CheckSum
        if checksum + 4 <= len(bare) and bare[checksum:checksum + 4] != unsigned[checksum:checksum + 4]:
            old, new = (struct.unpack_from("<I", data, checksum)[0] for data in (bare, unsigned))
            traces.append(f"the PE checksum at offset {checksum} ({old:#010x}, unsigned {new:#010x}), "
                          "which signing computes over the signed file")
            bare = bare[:checksum] + unsigned[checksum:checksum + 4] + bare[checksum + 4:]
    return traces, bare


def compare_program(name, signed, unsigned):
    if signed == unsigned:
        return None, "identical (not signed)"
    bare = without_signature(signed)
    if bare is None:
        return f"{name}: differs and carries no signature to remove", None
    if bare == unsigned:
        return None, "identical once its signature is removed"
    traces, bare = signing_traces(bare, unsigned)
    if bare == unsigned:
        return None, "identical once its signature is removed, but for " + "; ".join(traces)
    offset = first_difference(bare, unsigned)
    return (f"{name}: with its signature removed, {sum(x != y for x, y in zip(bare, unsigned))} bytes differ, "
            f"the first at offset {offset} (sizes {len(bare)} and {len(unsigned)})"), None


def compare_installer(name, signed, unsigned):
    bare = without_signature(signed)
    if bare is None:
        return f"{name}: carries no signature", None
    if bare == unsigned:
        return None, "identical once its signature is removed"
    stub = overlay_start(unsigned)
    traces, bare_stub = signing_traces(bare[:stub], unsigned[:stub])
    offset = first_difference(bare_stub, unsigned[:stub])
    if offset < stub:
        return (f"{name}: with its signature removed, the installer's own program differs at offset {offset} "
                f"(its data starts at {stub})"), None
    return None, (f"its program (the first {stub} bytes) identical once the signature is removed"
                  + "".join(f", but for {trace}" for trace in traces)
                  + f"; its compressed data differs from offset {stub + first_difference(bare[stub:], unsigned[stub:])} on, "
                  "as it holds the signed programs")


def compare_zip(name, signed, unsigned):
    problems = []
    with zipfile.ZipFile(io.BytesIO(signed)) as a, zipfile.ZipFile(io.BytesIO(unsigned)) as b:
        names_a, names_b = [i.filename for i in a.infolist()], [i.filename for i in b.infolist()]
        if names_a != names_b:
            return f"{name}: holds {names_a}, the unsigned zip {names_b}", None
        for info_a, info_b in zip(a.infolist(), b.infolist()):
            if (info_a.date_time, info_a.external_attr) != (info_b.date_time, info_b.external_attr):
                problems.append(f"{info_a.filename}: time or attributes differ")
            data_a, data_b = a.read(info_a), b.read(info_b)
            if info_a.filename.lower().endswith(PROGRAMS):
                problem, _ = compare_program(info_a.filename, data_a, data_b)
                if problem:
                    problems.append(problem)
            elif data_a != data_b:
                problems.append(f"{info_a.filename}: differs")
    if problems:
        return f"{name}: " + "; ".join(problems), None
    return None, "every entry identical, its programs once their signatures are removed"


def compare_text(name, signed, unsigned, hashes):
    text = signed.decode()
    for signed_hash, unsigned_hash in hashes:
        text = text.replace(signed_hash, unsigned_hash).replace(signed_hash.upper(), unsigned_hash.upper())
    if text.encode() == unsigned:
        return None, "identical but for the downloads' hashes"
    return f"{name}: differs in more than the downloads' hashes", None


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    signed_dir, unsigned_dir = sys.argv[1:]
    files = sorted(os.path.relpath(os.path.join(root, f), signed_dir)
                   for root, _, names in os.walk(signed_dir) for f in names)
    read = lambda folder, name: open(os.path.join(folder, name), "rb").read()
    downloads = [f for f in files if f.endswith(("-setup.exe", "-portable.zip")) and os.sep not in f]
    hashes = [(hashlib.sha256(read(signed_dir, f)).hexdigest(), hashlib.sha256(read(unsigned_dir, f)).hexdigest())
              for f in downloads if os.path.exists(os.path.join(unsigned_dir, f))]
    problems = []
    for name in files:
        if not os.path.exists(os.path.join(unsigned_dir, name)):
            problems.append(f"{name}: not in the unsigned release")
            continue
        signed, unsigned = read(signed_dir, name), read(unsigned_dir, name)
        if name in downloads and name.endswith(".exe"):
            problem, note = compare_installer(name, signed, unsigned)
        elif name in downloads:
            problem, note = compare_zip(name, signed, unsigned)
        elif name.lower().endswith(PROGRAMS):
            problem, note = compare_program(name, signed, unsigned)
        elif signed == unsigned:
            problem, note = None, "identical"
        else:
            problem, note = compare_text(name, signed, unsigned, hashes)
        if problem:
            problems.append(problem)
        else:
            print(f"  {name}: {note}")
    if problems:
        print(f"signed release: {len(problems)} files differ from the unsigned release in more than signatures:")
        for problem in problems:
            print(f"  {problem}")
        sys.exit(1)
    print(f"signed release: {len(files)} files differ only by their signatures")


if __name__ == "__main__":
    main()
