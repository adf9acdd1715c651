"""What every command-line test script shares: the tool under test (the
first argument) run in English, and a list of checks that sets the exit
status."""
import os, subprocess, sys

cli = sys.argv[1]
env = dict(os.environ, QUORVANE_LANG="en")
failed = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failed.append(what)


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True, env=env, timeout=120)


def finish():
    sys.exit(1 if failed else 0)
