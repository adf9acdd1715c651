#!/usr/bin/env python3
"""The command-line tool's erase, backup and restore on image files: the
JSON object of each run, the image and its checksum, and the refusals that
leave the medium untouched."""
import json, os, subprocess, tempfile

import clitest
from clitest import check, done


def run(*args):
    p = clitest.run(*args)
    lines = p.stdout.splitlines()
    return p, json.loads(lines[0]) if "--json" in args and len(lines) == 1 else {}


def read(path):
    with open(path, "rb") as f:
        return f.read()


with tempfile.TemporaryDirectory() as folder:
    medium = os.path.join(folder, "stick.img")
    content = os.urandom(4 << 20)
    with open(medium, "wb") as f:
        f.write(content)
    sectors = (4 << 20) // 512  # every sector of the image, the last one too

    image = os.path.join(folder, "stick.qvn")
    p, r = run("backup", "--image", medium, image, "--json")
    check("backup: completed", p.returncode == 0 == r.get("exit_code") and r.get("outcome") == "completed")
    check("backup: the image holds every sector of the medium", read(image) == content)
    check("backup: sha256sum -c checks the image",
          subprocess.run(["sha256sum", "--quiet", "-c", "stick.qvn.sha256"], cwd=folder).returncode == 0)

    p, r = run("backup", "--image", medium, medium, "--force", "--json")
    check("backup onto the drive itself: refused, medium untouched",
          p.returncode == 3 and "lies on the drive" in r.get("failure", "") and read(medium) == content)

    target = os.path.join(folder, "blank.img")
    with open(target, "wb") as f:
        f.truncate(4 << 20)
    p, _ = run("restore", "--image", target, image)
    check("restore without --yes: bad arguments, nothing written",
          p.returncode == 2 and read(target) == bytes(4 << 20))

    big = os.path.join(folder, "big.qvn")
    with open(big, "wb") as f:
        f.write(os.urandom((sectors + 1) * 512))
    p, r = run("restore", "--image", target, big, "--yes", "--json")
    check("restore of one sector too many: too-large, nothing written",
          p.returncode == 3 and r.get("outcome") == "too-large" and read(target) == bytes(4 << 20))

    p, r = run("backup", "--image", medium, image, "--compress", "zstd", "--json")
    check("zstd backup: FILE.zst", p.returncode == 0 and r.get("result", {}).get("image") == image + ".zst")
    p, r = run("restore", "--image", target, image + ".zst", "--yes", "--json")
    check("restore of the zstd image: written and verified",
          p.returncode == 0 and r.get("result") == {"sectors": sectors, "verified": True}
          and read(target)[:sectors * 512] == content[:sectors * 512])

    p, r = run("erase", "--image", target, "--json", "--yes")
    after = read(target)
    check("quick erase: sectors 0 to 1024 zero, the rest kept",
          p.returncode == 0 and r.get("outcome") == "completed" and after[:1025 * 512] == bytes(1025 * 512)
          and after[1025 * 512:sectors * 512] == content[1025 * 512:sectors * 512])

done()
