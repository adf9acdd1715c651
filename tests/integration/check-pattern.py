#!/usr/bin/env python3
"""Checks that a medium holds what one error scan with the write test leaves:
sectors 0 to 4095 zero, every later tested sector its pattern, and the
sectors past the tested count untouched (zero).

    check-pattern.py FILE TESTED-SECTORS
"""
import sys

FIXED = bytes(range(256)) + bytes(b for i in range(26) for b in (65 + i, 97 + i)) + \
    bytes((k * 101) % 256 for k in range(188))


def pattern(s):
    signed = s - (1 << 32) if s >= 1 << 31 else s
    return ("%07X%09d" % (s, signed)).encode()[:16] + FIXED


def main():
    path, tested = sys.argv[1], int(sys.argv[2])
    bad = []
    with open(path, "rb") as f:
        data = f.read()
    total = len(data) // 512
    for s in range(total):
        sector = data[s * 512:(s + 1) * 512]
        want = bytes(512) if s < 4096 or s >= tested else pattern(s)
        if sector != want:
            bad.append(s)
    if bad:
        print(f"{len(bad)} of {total} sectors wrong, first {bad[:8]}")
        return 1
    print(f"all {total} sectors as expected ({tested} tested)")
    return 0


sys.exit(main())
