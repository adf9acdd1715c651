#!/usr/bin/env python3
"""The command-line tool's recovery on an image whose last sector begins a
file: the read past the medium's end is counted, but the clean image ends
without findings."""
import os, tempfile

from clitest import check, done, run

with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "card.img")
    with open(image, "wb") as f:
        f.truncate(1 << 20)
        # A PNG signature in the last sector the drive reports (an image's
        # drive ends one sector before the file's end): its rule reads two.
        f.seek((1 << 20) - 1024)
        f.write(b"\x89PNG\r\n\x1a\n")
    p = run("recover", "--image", image, "--list-only")
    check("the read past the end is counted apart", "read errors 1  of them past the medium's end 1" in p.stdout)
    check("no findings: exit code 0", p.returncode == 0)

done()
