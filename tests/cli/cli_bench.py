#!/usr/bin/env python3
"""The command-line benchmarks on image files: the write test's confirmation,
every sample of both directions in the JSON object, and the file benchmark
on a drive whose file system is not mounted."""
import json, os, subprocess, sys, tempfile

cli = sys.argv[1]
env = dict(os.environ, QUORVANE_LANG="en")
failed = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failed.append(what)


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True, env=env, timeout=120)


with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "stick.img")
    with open(image, "wb") as f:
        f.truncate(16 << 20)

    p = run("bench", "raw", "--image", image, "--write")
    check("raw: the write test wants --yes", p.returncode == 2 and "--yes" in p.stderr)

    p = run("bench", "raw", "--image", image, "--write", "--yes", "--json")
    result = json.loads(p.stdout) if p.stdout.strip() else {}
    r = result.get("result", {})
    check("raw: completed, exit code 0", result.get("outcome") == "completed" and p.returncode == 0)
    check("raw: 200 samples per direction", [len((r.get(d) or {}).get("samples", [])) for d in ("read", "write")]
          == [200, 200])
    check("raw: the average is the mean of the samples",
          r.get("read", {}).get("average") == sum(r["read"]["samples"]) // 200 if r.get("read") else False)
    check("raw: access times", all(((r.get(d) or {}).get("access_ms") or 0) > 0 for d in ("read", "write")))
    check("raw: 163 sectors per sample", r.get("sectors_per_sample") == 163)

    p = run("bench", "file", "--image", image, "--json")
    result = json.loads(p.stdout) if p.stdout.strip() else {}
    check("file: not mounted fails with exit code 3", p.returncode == 3 and result.get("outcome") == "failed")
    check("file: says the file system is not mounted and to mount it",
          "no file system is mounted from " + image in p.stderr and "Mount it" in p.stderr)
    check("file: seven sizes, none measured", result.get("result", {}).get("write_kb_s") == [-1] * 7)

sys.exit(1 if failed else 0)
