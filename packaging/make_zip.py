#!/usr/bin/env python3
"""Writes the portable zip of a release folder, the same bytes from the same
files wherever and whenever it runs: entries in name order, every entry dated
SOURCE_DATE_EPOCH (in UTC, as the zip's local-time fields cannot say which
zone they mean), fixed permissions, and no owner, extra time fields or
comments that would carry who built it or when.

Usage: make_zip.py ZIP FOLDER   (FOLDER's own name becomes the top folder)
"""
import os
import sys
import time
import zipfile


def entry(name, epoch, is_dir):
    info = zipfile.ZipInfo(name, time.gmtime(epoch)[:6])
    info.create_system = 3  # Unix, so the permission bits below are read
    if is_dir:
        info.external_attr = (0o40755 << 16) | 0x10  # and MS-DOS's directory bit
    else:
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    zip_path, folder = sys.argv[1], os.path.abspath(sys.argv[2])
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "") or sys.exit("make_zip.py: SOURCE_DATE_EPOCH is not set"))
    # Zip times start in 1980; an older commit date would not fit.
    epoch = max(epoch, 315532800)
    top = os.path.basename(folder)
    names = []
    for root, dirs, files in os.walk(folder):
        relative = os.path.relpath(root, os.path.dirname(folder)).replace(os.sep, "/")
        names.append((relative + "/", None))
        names.extend((relative + "/" + name, os.path.join(root, name)) for name in files)
    names.sort()
    partial = zip_path + ".partial"
    try:
        with zipfile.ZipFile(partial, "w") as archive:
            for name, path in names:
                if path is None:
                    archive.writestr(entry(name, epoch, True), b"")
                else:
                    with open(path, "rb") as source:
                        archive.writestr(entry(name, epoch, False), source.read())
        os.replace(partial, zip_path)
    except OSError as error:
        if os.path.exists(partial):
            os.remove(partial)
        sys.exit(f"make_zip.py: cannot write {zip_path} from {top}: {error}")


if __name__ == "__main__":
    main()
