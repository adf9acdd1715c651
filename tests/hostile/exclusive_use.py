#!/usr/bin/env python3
"""One run on a drive at a time, across processes: a second writer, or a
reader beside a writer, is refused with the drive named as busy (exit 3)
and the first run's result stays right; a drive whose file system is
mounted is refused for writing. Arguments: an option combination that does
nothing is refused (exit 2), every exit-2 error under --json prints one
JSON object, and "--" ends the options."""
import fcntl, json, os, subprocess, tempfile, time

from outputs_rig import case, check, clitest, done, loop_mounted, run, sh, sha, write


def start(*args):
    return subprocess.Popen([clitest.cli, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=clitest.env)


def wait_for_writer(path, process):
    """Until process holds its exclusive lock on path (or has ended)."""
    with open(path, "rb") as f:
        while process.poll() is None:
            try:
                fcntl.flock(f, fcntl.LOCK_SH | fcntl.LOCK_NB)
                fcntl.flock(f, fcntl.LOCK_UN)
            except BlockingIOError:
                return True
            time.sleep(0.01)
    return False


def busy(p, drive):
    return p.returncode == 3 and drive + " is in use by another run" in p.stderr


with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
    card = os.path.join(folder, "card.img")
    with open(card, "wb") as f:
        f.truncate(64 << 20)

    # A writing scan and a full erase from a second process: the erase is
    # refused, the scan finds no differing byte.
    scan = start("errorscan", "--image", card, "--write", "--yes", "--passes", "4", "--json")
    held = wait_for_writer(card, scan)
    erase = run("erase", "--image", card, "--full", "--yes")
    out, _ = scan.communicate(timeout=300)
    result = json.loads(out)["result"] if scan.returncode in (0, 1) else {}
    check("second writer while a write scan runs: refused (exit 3), drive named busy",
          held and busy(erase, card))
    check("the scan's result stays right: exit 0, no differing byte",
          scan.returncode == 0 and result.get("differing_bytes") == 0 and result.get("passes_done") == 4)

    # A reader beside a writer waits briefly, then is refused.
    scan = start("errorscan", "--image", card, "--write", "--yes", "--passes", "4")
    held = wait_for_writer(card, scan)
    begun = time.monotonic()
    backup = run("backup", "--image", card, os.path.join(folder, "b.qvn"))
    waited = time.monotonic() - begun
    scan.wait(timeout=300)
    check("a backup (reader) while a writer runs: refused after a short wait, no backup left",
          held and busy(backup, card) and 1.0 < waited < 30 and not os.path.exists(os.path.join(folder, "b.qvn")))

    # Two readers may go together, and a reader keeps a writer off.
    with open(card, "r+b") as f:
        f.write(os.urandom(1 << 20))
    reader = start("errorscan", "--image", card, "--passes", "100000")
    time.sleep(0.3)
    second = run("backup", "--image", card, os.path.join(folder, "c.qvn"))
    before = sha(card)
    erase = run("erase", "--image", card, "--yes")
    still = reader.poll() is None
    reader.terminate()
    reader.wait(timeout=300)
    check("two readers together: the backup is done (exit 0) beside a reading scan", second.returncode == 0)
    check("a writer while a reader runs: refused, drive unchanged",
          still and busy(erase, card) and sha(card) == before)

    with case("a loop-mounted image"):
        image = os.path.join(folder, "mounted.img")
        mount_point = os.path.join(folder, "mnt")
        with loop_mounted(image, mount_point) as fsck:
            loop = sh("losetup", "-j", image).stdout.split(":")[0]
            p = run("erase", "--image", image, "--yes")
            check("erase of a loop-mounted image: refused (exit 3), mount named",
                  p.returncode == 3 and image + " is mounted (" + mount_point + ")" in p.stderr)
            p = run("errorscan", loop, "--write", "--yes")
            check("write scan of the mounted loop device: refused by the kernel's exclusive open, named",
                  p.returncode == 3 and loop + " is mounted (" + mount_point + ")" in p.stderr)
        check("the image's file system is whole (%s)" % fsck[0], sh(*fsck).returncode == 0)

    # Arguments.
    p = run("errorscan", "--image", card, "--no-read")
    check("errorscan --no-read without --write: refused (exit 2)", p.returncode == 2 and "nothing" in p.stderr)
    p = run("recover", "--image", card, "--list-only", "--out", folder)
    check("recover --list-only with --out: refused (exit 2)", p.returncode == 2)
    for args in (["errorscan", "--image", card, "--no-read", "--json"],
                 ["info", "--bogus", "--image", card, "--json"],
                 ["sector", "--image", card, "x", "--json"]):
        p = run(*args)
        lines = p.stdout.splitlines()
        obj = json.loads(lines[0]) if len(lines) == 1 else {}
        check("exit 2 under --json prints one JSON object with the reason: " + " ".join(args[:2]),
              p.returncode == 2 and obj.get("exit_code") == 2 and obj.get("failure"))
    named = os.path.join(folder, "-x")
    p = subprocess.run([clitest.cli, "backup", "--image", card, "--", "-x"], capture_output=True, text=True,
                       env=clitest.env, cwd=folder)
    check("'--' ends the options: a backup named -x is made", p.returncode == 0 and os.path.getsize(named) > 0)

    # The recovery folder is checked before the drive is scanned.
    big = os.path.join(folder, "big.img")
    with open(big, "wb") as f:
        f.truncate(4 << 30)
    begun = time.monotonic()
    p = run("recover", "--image", big, "--out", os.path.join(card, "sub"))
    check("recover --out under a file: refused before scanning (exit 3, under a second)",
          p.returncode == 3 and time.monotonic() - begun < 1.0)

done()
