#!/usr/bin/env python3
"""The command-line tool's sector listing on an image file: the listing,
several sectors, a number past the end, and bad arguments."""
import json, os, tempfile

from clitest import check, done, run

with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "stick.img")
    with open(image, "wb") as f:
        f.truncate(4096 * 512)
        f.seek(0x20 * 512)
        f.write(b" " * 512)
        f.seek(5 * 512)
        f.write(b"Hello")

    p = run("sector", "--image", image, "32")
    lines = p.stdout.splitlines()
    check("one sector: 32 lines of 70 characters", p.returncode == 0 and len(lines) == 32
          and all(len(line) == 70 for line in lines))
    check("blank sector: twenty sixteen times and sixteen dots",
          lines and lines[0] == "000: " + "20 " * 16 + " " + "." * 16)
    check("the last line starts at 1F0", lines and lines[-1].startswith("1F0: "))

    p = run("sector", "--image", image, "5", "--count", "2")
    lines = p.stdout.splitlines()
    check("two sectors under headings", p.returncode == 0 and lines[0] == "Sector 5" and "Sector 6" in lines
          and lines[1].endswith("Hello..........."))

    p = run("sector", "--image", image, "4096")
    check("past the end: exit 3 and says so", p.returncode == 3 and "is past the end" in p.stderr
          and image in p.stderr and p.stdout == "")

    p = run("sector", "--image", image, "4094", "--count", "3", "--json")
    result = json.loads(p.stdout) if p.stdout.strip() else {}
    check("json: the sectors read before the end, then the failure",
          p.returncode == 3 and result.get("outcome") == "failed"
          and [s["sector"] for s in result.get("sectors", [])] == [4094, 4095])

    for args, what in ((["--image", image], "no number"), (["--image", image, "-5"], "negative number"),
                       (["--image", image, "12x"], "not a number"), (["--image", image, "1", "2"], "two numbers")):
        p = run("sector", *args)
        check("bad arguments (%s): exit 2" % what, p.returncode == 2 and p.stdout == "")

done()
