"""What the command-line tool's test scripts share: the tool from the command
line, English texts, and ok/FAIL lines with the exit status they add up to."""
import os, subprocess, sys

cli = sys.argv[1]
env = dict(os.environ, QUORVANE_LANG="en")
failed = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failed.append(what)


def run(*args, timeout=120):
    return subprocess.run([cli, *args], capture_output=True, text=True, env=env, timeout=timeout)


def done():
    sys.exit(1 if failed else 0)
