#!/usr/bin/env python3
"""The command-line tool's error scan on image files: the failure line of a
missing image, and the one JSON object of a run with its figures."""
import json, os, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from clicheck import check, finish, run  # noqa: E402


p = run("errorscan", "--image", "/missing.img")
check("missing image: exit code 3", p.returncode == 3)
check("missing image: says what failed on what",
      "cannot open /missing.img: No such file or directory" in p.stderr)

with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "stick.img")
    with open(image, "wb") as f:
        f.truncate(4 << 20)
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

finish()
