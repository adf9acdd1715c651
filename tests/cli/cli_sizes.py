#!/usr/bin/env python3
"""Every sector, any size: drives of boundary sizes are listed with their true
size, and the last sector of a medium whose size is not a multiple of 128
sectors is backed up, restored, scanned, erased and shown. Image files always;
loop devices too when run as root with losetup (the kernel's own sizes)."""
import json, os, shutil, subprocess, tempfile

import clitest
from clitest import check, done

TIB17 = 17 << 40


def run(*args):
    p = clitest.run(*args, timeout=600)
    lines = p.stdout.splitlines()
    return p, json.loads(lines[0]) if "--json" in args and len(lines) == 1 else {}


def read(path):
    with open(path, "rb") as f:
        return f.read()


def sparse(folder, name, sectors):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.truncate(sectors * 512)
    return path


def pattern(s):
    signed = s - (1 << 32) if (1 << 31) <= s < (1 << 32) else s
    fixed = bytes(range(256)) + bytes(b for i in range(26) for b in (65 + i, 97 + i)) + \
        bytes((k * 101) % 256 for k in range(188))
    return ("%07X%09d" % (s, signed)).encode()[:16] + fixed


def listed(drive_args):
    p, r = run("list", *drive_args, "--json")
    return [d for d in r.get("drives", []) if d.get("volume") in drive_args]


def the_last_sector(drive, node_args, folder, n, what):
    """Backup, restore, scan, erase and sector viewer on a medium of n sectors
    whose last sector holds a marker."""
    folder = tempfile.mkdtemp(dir=folder)
    marker = b"LAST" + str(n - 1).encode()
    content = os.urandom((n - 1) * 512) + marker.ljust(512, b"\0")
    with open(drive, "r+b") as f:
        f.write(content)
        f.flush()
        os.fsync(f.fileno())

    p, r = run("info", *node_args, "--json")
    check(what + ": info states every sector", r.get("capacity_sectors") == n and r.get("capacity_bytes") == n * 512)
    p, _ = run("sector", *node_args, str(n - 1))
    check(what + ": the sector viewer shows the marker in the last sector",
          p.returncode == 0 and p.stdout.splitlines()[0][-16:].startswith(marker.decode()))
    p, _ = run("sector", *node_args, str(n))
    check(what + ": one sector further is past the end", p.returncode == 3 and "past the end" in p.stderr)

    image = os.path.join(folder, "odd.qvn")
    p, r = run("backup", *node_args, image, "--json")
    check(what + ": the backup holds every sector, the marker last",
          p.returncode == 0 and read(image) == content
          and subprocess.run(["sha256sum", "--quiet", "-c", "odd.qvn.sha256"], cwd=folder).returncode == 0)

    with open(drive, "r+b") as f:
        f.write(bytes(n * 512))
    p, r = run("restore", *node_args, image, "--yes", "--json")
    check(what + ": the backup restores byte-exact, read back equal",
          p.returncode == 0 and r.get("result") == {"sectors": n, "verified": True} and read(drive)[:n * 512] == content)

    # A same-size dd image of the medium is no larger than it.
    dd = os.path.join(folder, "dd.img")
    subprocess.run(["dd", "if=" + drive, "of=" + dd, "bs=1M", "status=none"], check=True)
    p, r = run("restore", *node_args, dd, "--yes", "--json", "--no-verify")
    check(what + ": a same-size dd image restores", p.returncode == 0 and r.get("result", {}).get("sectors") == n)

    # A backup of the old rule, one sector short, still restores and leaves
    # the last sector as it was; one sector more is refused.
    short = os.path.join(folder, "short.qvn")
    with open(short, "wb") as f:
        f.write(bytes(512) * (n - 1))
    p, r = run("restore", *node_args, short, "--yes", "--json")
    after = read(drive)
    check(what + ": a one-sector-short backup restores, the last sector untouched",
          p.returncode == 0 and r.get("result") == {"sectors": n - 1, "verified": True}
          and after[:(n - 1) * 512] == bytes((n - 1) * 512) and after[(n - 1) * 512:n * 512] == content[-512:])
    long_image = os.path.join(folder, "long.qvn")
    with open(long_image, "wb") as f:
        f.write(bytes(512) * (n + 1))
    p, r = run("restore", *node_args, long_image, "--yes", "--json")
    check(what + ": one sector more than the medium is refused", p.returncode == 3 and r.get("outcome") == "too-large")

    p, r = run("errorscan", *node_args, "--write", "--yes", "--json")
    data = read(drive)
    check(what + ": the error scan writes and reads the last sector without an error",
          p.returncode == 0 and data[(n - 1) * 512:n * 512] == pattern(n - 1)
          and data[(n - 129) * 512:(n - 128) * 512] == pattern(n - 129))

    p, r = run("erase", *node_args, "--full", "--yes", "--json")
    check(what + ": a full erase zeroes the last sector",
          p.returncode == 0 and r.get("outcome") == "completed" and read(drive)[:n * 512] == bytes(n * 512))


with tempfile.TemporaryDirectory() as folder:
    # 1,953 sectors are 999,936 bytes: under 1 MB, not listed; 1,954 are.
    small = sparse(folder, "s1953.img", 1953)
    check("1953 sectors: not listed (under 1 MB)", listed(["--image", small]) == [])
    one = sparse(folder, "s1954.img", 1954)
    d = listed(["--image", one])
    check("1954 sectors: listed as 1 MB with every sector",
          len(d) == 1 and d[0]["sectors"] == 1954 and d[0]["text"].endswith("(1 MB)"))

    sizes = [(1 << 24) - 1, 1 << 24, (1 << 24) + 1, (1 << 32) - 1, 1 << 32, (1 << 32) + 1]
    for n in sizes:
        d = listed(["--image", sparse(folder, "b%d.img" % n, n)])
        check("%d sectors: listed with all of them and %s" % (n, "%d GB" % (n * 512 // 10**9)),
              len(d) == 1 and d[0]["sectors"] == n and d[0]["capacity_sectors"] == n
              and d[0]["text"].endswith("(%d GB)" % (n * 512 // 10**9)))
        os.remove(os.path.join(folder, "b%d.img" % n))

    # 17 TiB: past ext4's 16 TiB file limit, so where the file system takes it.
    for where in (folder, "/dev/shm"):
        try:
            big = sparse(where, "quorvane-17t-%d.img" % os.getpid(), TIB17 // 512)
        except OSError:
            continue
        try:
            d = listed(["--image", big])
            p, r = run("info", "--image", big, "--json")
            check("17 TiB: listed as 18691 GB, 36507222016 sectors",
                  len(d) == 1 and d[0]["text"].endswith("(18691 GB)") and r.get("capacity_sectors") == TIB17 // 512)
            p, _ = run("sector", "--image", big, str(TIB17 // 512 - 1))
            check("17 TiB: the last sector is shown", p.returncode == 0)
        finally:
            os.remove(big)
        break
    else:
        print("skip 17 TiB: no file system here takes a sparse file that large")

    n = 131072 + 77
    the_last_sector(sparse(folder, "odd.img", n), ["--image", os.path.join(folder, "odd.img")], folder, n,
                    "image of %d sectors" % n)

    if os.geteuid() == 0 and shutil.which("losetup"):
        def attach(path):
            p = subprocess.run(["losetup", "--find", "--show", path], capture_output=True, text=True)
            return p.stdout.strip() if p.returncode == 0 else ""

        loops = []
        try:
            backing = sparse(folder, "loop-odd.img", n)
            loop = attach(backing)
            if loop:
                loops.append(loop)
                the_last_sector(loop, [loop], folder, n, "loop device of %d sectors" % n)
            # A loop device is not removable: above 2^24 sectors it is no
            # stick, at 2^24 it is.
            for m, listed_ok in (((1 << 24), True), ((1 << 24) + 1, False)):
                loop = attach(sparse(folder, "loop%d.img" % m, m))
                if not loop:
                    continue
                loops.append(loop)
                p, r = run("info", loop, "--json")
                check("loop device of %d sectors: %s" % (m, "worked on" if listed_ok else "excluded by the 2^24 rule"),
                      (p.returncode == 0 and r.get("capacity_sectors") == m) if listed_ok else p.returncode == 3)
        finally:
            for loop in loops:
                subprocess.run(["losetup", "-d", loop])
    else:
        print("skip loop devices: needs root and losetup")

done()
