#!/usr/bin/python3
# An independent reader for the scan benchmark: walks every folder of an
# NTFS image with libfsntfs (Debian's python3-libfsntfs) and counts the
# extents of each file's data, leaving out the metafiles of the root.
# Prints "files N extents E".
import sys

import pyfsntfs


def main(image):
    volume = pyfsntfs.volume()
    volume.open(image)
    files = extents = 0
    stack = [volume.get_root_directory()]
    while stack:
        folder = stack.pop()
        for entry in folder.sub_file_entries:
            if entry.file_reference & 0xFFFFFFFFFFFF < 16 or entry.name in (".", ".."):
                continue
            if entry.has_directory_entries_index():
                stack.append(entry)
            else:
                files += 1
                extents += entry.number_of_extents
    volume.close()
    print("files", files, "extents", extents)


if __name__ == "__main__":
    main(sys.argv[1])
