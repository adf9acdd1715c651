#!/usr/bin/env python3
"""The command-line tool on image files: the failure line of a missing
image, and the one JSON object of each command's run with its figures."""
import json, os, struct, subprocess, sys, tempfile, zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from clitest import check, done, run  # noqa: E402


p = run("errorscan", "--image", "/missing.img")
check("missing image: exit code 3", p.returncode == 3)
check("missing image: says what failed on what",
      "cannot open /missing.img: No such file or directory" in p.stderr)

with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "stick.img")
    with open(image, "wb") as f:
        f.truncate(4 << 20)
    # An image named like a drive, by a relative path: taken as a path, and
    # the message points to --image.
    p = run("errorscan", os.path.join(".", os.path.relpath(image)))
    check("image as a drive: exit code 3 and the way to attach it", p.returncode == 3
          and "Block device required (an image file is attached with --image FILE)" in p.stderr)
    p = run("errorscan", "--image", image, "--write", "--yes", "--passes", "2", "--json")
    lines = p.stdout.splitlines()
    check("json: one line on stdout", len(lines) == 1)
    result = json.loads(lines[0]) if len(lines) == 1 else {}
    check("json: exit code 0 in the object and of the process", result.get("exit_code") == 0 == p.returncode)
    check("json: completed both passes", result.get("outcome") == "completed"
          and result.get("result", {}).get("passes_done") == 2)
    check("json: no faults", [result.get("result", {}).get(k) for k in
                               ("write_errors", "read_errors", "differing_bytes")] == [0, 0, 0])
    check("json: the drive and the settings", result.get("drive", {}).get("path") == image
          and result.get("settings") == {"write": True, "read": True, "passes": 2})
    check("json: log lines on stderr", p.stderr.count("Stage: ") == 4)

    # A picture at sector 100 of an otherwise empty medium.
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"\0\0")) + chunk(b"IEND", b""))
    with open(image, "r+b") as f:
        f.write(b"\0" * (4 << 20))
        f.seek(512 * 100)
        f.write(png)
    out = os.path.join(folder, "found")
    p = run("recover", "--image", image, "--out", out, "--json")
    result = json.loads(p.stdout) if p.stdout.count("\n") == 1 else {}
    files = result.get("result", {}).get("files", [])
    check("recover: one picture found and saved", p.returncode == 0 and result.get("outcome") == "completed"
          and [(f["kind"], f["sector"], f["length"]) for f in files] == [("png", 100, len(png))]
          and result["result"]["saved"] == 1)
    with open(os.path.join(out, "00000001.png"), "rb") as f:
        check("recover: the saved file is the picture", f.read() == png)
    p = run("recover", "sdz", "--list-only")
    check("recover: an unknown drive fails like errorscan's (3)", p.returncode == 3 == run("errorscan", "sdz").returncode)

    p = run("list", "--image", image, "--json")
    result = json.loads(p.stdout) if p.stdout.count("\n") == 1 else {}
    check("list: the image as the one drive", [d["volume"] for d in result.get("drives", [])] == [image])

done()
