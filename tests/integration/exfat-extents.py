#!/usr/bin/env python3
"""Where files of a mounted volume lie on it: reads names relative to MOUNT
from stdin and prints, per file, `NAME FIRST-SECTOR CONTIGUOUS` (the sector
of the volume holding its first byte, 1 when its blocks follow each other
without a break). Block numbers come from FIBMAP (root only).

    exfat-extents.py MOUNT <names
"""
import fcntl
import os
import struct
import sys

FIBMAP, FIGETBSZ = 1, 2


def blocks(path):
    fd = os.open(path, os.O_RDONLY)
    try:
        size = struct.unpack("i", fcntl.ioctl(fd, FIGETBSZ, struct.pack("i", 0)))[0]
        count = (os.fstat(fd).st_size + size - 1) // size
        return size, [struct.unpack("i", fcntl.ioctl(fd, FIBMAP, struct.pack("i", i)))[0] for i in range(count)]
    finally:
        os.close(fd)


def main():
    mount = sys.argv[1]
    for name in sys.stdin.read().split():
        size, found = blocks(os.path.join(mount, name))
        if not found or 0 in found:
            sys.exit(f"{name}: no blocks mapped")
        contiguous = all(b == found[0] + i for i, b in enumerate(found))
        print(name, found[0] * size // 512, int(contiguous))


if __name__ == "__main__":
    main()
